// The main window's layout, the same on every platform: its title, its client
// area, the display area Picture1 at the client area's top-left (taller than
// the window, with a 2-pixel sunken border around its inner area, drawn in the
// classic desktop colours), and Picture1's own coordinate system, whose units
// every backend hands to Picture1_MouseMove. The one source of them: the
// page's markup, style sheet and script have them written in by the build,
// and the end-to-end tests read them from the build's output.
#pragma once

#include <array>

namespace dorvik::layout {

// The title bar's text, the program's only help.
inline constexpr char kTitle[] = "Ostrin Dorvik (for Vud etc)  SpaceBar +-*/,.mouse ESC";

// In pixels at 96 dots per inch.
inline constexpr int kClientWidth = 363;
inline constexpr int kClientHeight = 555;
inline constexpr int kAreaWidth = kClientWidth;  // Picture1 spans the client area
inline constexpr int kAreaHeight = 768;
inline constexpr int kBorder = 2;
inline constexpr int kInnerWidth = kAreaWidth - 2 * kBorder;
inline constexpr int kInnerHeight = kAreaHeight - 2 * kBorder;
// The inner area's extent in the display area's units.
inline constexpr float kScaleWidth = 14.882803f;
inline constexpr float kScaleHeight = 29.84375f;

struct Colour {
  int red;
  int green;
  int blue;
};

// The display area's background, and the classic desktop colours of its
// border.
inline constexpr Colour kButtonFace{192, 192, 192};
inline constexpr Colour kShadow{128, 128, 128};
inline constexpr Colour kDarkShadow{64, 64, 64};
inline constexpr Colour kLight{192, 192, 192};
inline constexpr Colour kHighlight{255, 255, 255};

// A rectangle of the display area, in pixels from its top-left corner.
struct Rect {
  int x;
  int y;
  int width;
  int height;
};

// One colour of the sunken border: its line along the top or bottom and its
// line down the left or right side.
struct BorderLines {
  Colour colour;
  std::array<Rect, 2> lines;
};

// The sunken border, drawn in this order over the background: the outer
// ring (shadow top-left, highlight bottom-right), then the inner one (dark
// shadow top-left, light bottom-right).
inline constexpr std::array<BorderLines, 4> kSunkenBorder{{
    {kShadow, {{{0, 0, kAreaWidth, 1}, {0, 0, 1, kAreaHeight}}}},
    {kHighlight, {{{0, kAreaHeight - 1, kAreaWidth, 1}, {kAreaWidth - 1, 0, 1, kAreaHeight}}}},
    {kDarkShadow, {{{1, 1, kAreaWidth - 2, 1}, {1, 1, 1, kAreaHeight - 2}}}},
    {kLight, {{{1, kAreaHeight - 2, kAreaWidth - 2, 1}, {kAreaWidth - 2, 1, 1, kAreaHeight - 2}}}},
}};

struct AreaPoint {
  float x;
  float y;
};

// A client-area position in pixels, in the display area's units: the origin
// at the inner area's top-left corner; positions outside the window are not
// clamped. Worked in double, rounded once to single precision.
constexpr AreaPoint ToAreaUnits(double client_x, double client_y) {
  return {static_cast<float>((client_x - kBorder) * kScaleWidth / kInnerWidth),
          static_cast<float>((client_y - kBorder) * kScaleHeight / kInnerHeight)};
}

}  // namespace dorvik::layout
