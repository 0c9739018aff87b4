// Web backend, part 2 of 3: event delivery. Turns the page's input records
// (queued by dorvik_page.js while the browser had control) into calls of the
// display area's handlers: typed characters to Picture1_KeyPress, pointer
// positions to Picture1_MouseMove in the display area's own units, clicks and
// double-clicks on the canvas to Picture1_Click and Picture1_DblClick.
#pragma once

#include <cstdint>

#include "core/dorvik2lifts.hpp"
#include "core/window_layout.hpp"

namespace dorvik::web {

// The client area is the page's canvas, in CSS pixels, laid out as the
// desktop window: the layout and Picture1's units are every backend's.
using namespace layout;

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

// Delivers one record to its handler and runs the handler to its end.
void Deliver(Dorvik2Lifts& form, const PageEvent& event);

}  // namespace dorvik::web
