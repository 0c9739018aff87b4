// Web backend, part 2 of 3: event delivery. Turns the page's input records
// (queued by dorvik_page.js while the browser had control) into calls of the
// display area's handlers: typed characters to Picture1_KeyPress, pointer
// positions to Picture1_MouseMove in the display area's own units, clicks and
// double-clicks on the canvas to Picture1_Click and Picture1_DblClick.
#pragma once

#include <cstdint>

#include "core/dorvik2lifts.hpp"

namespace dorvik::web {

// The client area is the page's canvas, in CSS pixels; the display area
// Picture1 is 363 x 768 at its top-left, with a 2-pixel sunken border around
// a 359 x 764 inner area, as in the desktop window.
inline constexpr int kClientWidth = 363;
inline constexpr int kClientHeight = 555;
inline constexpr int kAreaWidth = 363;
inline constexpr int kAreaHeight = 768;
inline constexpr int kBorder = 2;
inline constexpr int kInnerWidth = kAreaWidth - 2 * kBorder;
inline constexpr int kInnerHeight = kAreaHeight - 2 * kBorder;
// The inner area's extent in the display area's units.
inline constexpr float kScaleWidth = 14.882803f;
inline constexpr float kScaleHeight = 29.84375f;

// One input record as dorvik_page.js writes it into the module's memory.
// The layout is shared with the script: keep the two in step.
struct PageEvent {
  enum Kind : std::int32_t { kNone = 0, kKey = 1, kMove = 2, kClick = 3, kDoubleClick = 4 };
  std::int32_t kind;
  std::int32_t code;    // kKey: the character code
  std::int32_t button;  // kMove: 1 left, 2 right, 4 middle (the DOM's `buttons`)
  std::int32_t shift;   // kMove: 1 Shift, 2 Ctrl, 4 Alt
  double x;             // kMove: CSS pixels from the canvas's top-left corner
  double y;
};

struct AreaPoint {
  float x;
  float y;
};

// A canvas position in the display area's units: the origin at the inner
// area's top-left corner; positions outside the canvas are not clamped.
AreaPoint ToAreaUnits(double canvas_x, double canvas_y);

// Delivers one record to its handler and runs the handler to its end.
void Deliver(Dorvik2Lifts& form, const PageEvent& event);

}  // namespace dorvik::web
