#include "window/icon/cam_icon.hpp"

#include <cmath>

namespace dorvik::icon {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint8_t kBody = 7;  // silver
constexpr std::uint8_t kHub = 4;   // navy
constexpr std::uint8_t kRod = 12;  // blue

// Radius of the cam profile at angle t (radians, counterclockwise from the
// right, y up): a base circle swelling into one lobe towards lobe_angle.
double CamRadius(double t, double base, double lift) {
  const double lobe_angle = kPi / 4;
  const double c = std::cos(t - lobe_angle);
  return base + (c > 0 ? lift * c * c * c : 0.0);
}

}  // namespace

std::vector<std::uint8_t> DrawCamIcon(int size, bool two_colours) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size, kClear);
  const double s = size;
  // Centre a little below and left of the middle, leaving room for the lobe.
  const double cx = s * 0.42, cy = s * 0.58;
  const double base = s * 0.30, lift = s * 0.24, hub = s * 0.12;

  auto inside_cam = [&](double x, double y) {
    const double dx = x - cx, dy = cy - y;
    return std::hypot(dx, dy) <= CamRadius(std::atan2(dy, dx), base, lift);
  };
  auto at = [&](int x, int y) -> std::uint8_t& {
    return pixels[static_cast<std::size_t>(y) * size + x];
  };

  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      if (!inside_cam(px, py)) continue;
      const bool edge = !inside_cam(px - 1, py) || !inside_cam(px + 1, py) ||
                        !inside_cam(px, py - 1) || !inside_cam(px, py + 1);
      const double r = std::hypot(px - cx, py - cy);
      std::uint8_t colour = two_colours ? kWhite : kBody;
      if (size >= 24) {
        if (r <= hub) colour = two_colours ? kWhite : kHub;
        if (std::abs(r - hub) < 0.5 || r < s / 32 + 0.5) colour = kBlack;  // hub ring, centre dot
      } else if (r < hub * 0.8) {
        colour = kBlack;  // too small for a ring: a solid hub
      }
      if (edge) colour = kBlack;
      at(x, y) = colour;
    }
  }
  // A stub of the follower rod standing on the top of the cam.
  const int rod_x = static_cast<int>(cx);
  const int rod_w = size >= 32 ? 3 : 2;
  for (int y = 0; y < static_cast<int>(cy - base); ++y) {
    for (int x = rod_x - rod_w / 2; x < rod_x - rod_w / 2 + rod_w; ++x) {
      at(x, y) = two_colours ? kBlack : kRod;
    }
  }
  return pixels;
}

}  // namespace dorvik::icon
