// The main window's layout, the same on every platform: its client area, the
// display area Picture1 at the client area's top-left (taller than the window,
// with a 2-pixel sunken border around its inner area), and Picture1's own
// coordinate system, whose units every backend hands to Picture1_MouseMove.
#pragma once

namespace dorvik::layout {

// In pixels at 96 dots per inch.
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
