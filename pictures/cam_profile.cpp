#include "pictures/cam_profile.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace dorvik::frames {
namespace {

constexpr int kOutlinePoints = 1440;

// Knot j sits at cam angle 90° - 20° j: the follower (straight up) sees that
// angle of the cam in frame j + 1, when the lobe has turned 20° j.
double KnotValue(int j) {
  return kFollowerRise[((j % kFramesPerSet) + kFramesPerSet) % kFramesPerSet];
}

// Second derivatives (per knot step squared) of the periodic cubic spline
// through the knots. A spline keeps the curvature low, so the cam stays convex
// over the lobe's shoulders.
const std::array<double, kFramesPerSet>& SplineMoments() {
  static const std::array<double, kFramesPerSet> moments = [] {
    std::array<double, kFramesPerSet> m{};
    // M[j-1] + 4 M[j] + M[j+1] = 6 (y[j+1] - 2 y[j] + y[j-1]), by Gauss-Seidel:
    // the system is diagonally dominant, and a fixed count keeps it repeatable.
    for (int sweep = 0; sweep < 200; ++sweep)
      for (int j = 0; j < kFramesPerSet; ++j) {
        const double rhs = 6 * (KnotValue(j + 1) - 2 * KnotValue(j) + KnotValue(j - 1));
        m[j] = (rhs - m[(j + kFramesPerSet - 1) % kFramesPerSet] - m[(j + 1) % kFramesPerSet]) / 4;
      }
    return m;
  }();
  return moments;
}

// Lift and its derivative (per radian of `psi`). Between two frames without
// lift the follower stays on the base circle; elsewhere the spline, cut off
// at zero where it would dip below the base circle. Both cut-offs only ever
// flatten the cam, so it stays convex.
std::pair<double, double> LiftWithSlope(double psi) {
  const double step = Degrees(kStepDegrees);
  // u runs with the knot index: u = (90° - psi) / 20°.
  double u = (Degrees(90) - psi) / step;
  u = std::fmod(u, kFramesPerSet);
  if (u < 0) u += kFramesPerSet;
  const int j = std::min(static_cast<int>(u), kFramesPerSet - 1);
  const double t = u - j, s = 1 - t;
  const double y0 = KnotValue(j), y1 = KnotValue(j + 1);
  if (y0 == 0 && y1 == 0) return {0, 0};
  const double m0 = SplineMoments()[j], m1 = SplineMoments()[(j + 1) % kFramesPerSet];
  const double value = s * y0 + t * y1 + (s * s * s - s) * m0 / 6 + (t * t * t - t) * m1 / 6;
  if (value <= 0) return {0, 0};
  const double per_u = y1 - y0 + (1 - 3 * s * s) * m0 / 6 + (3 * t * t - 1) * m1 / 6;
  return {value, -per_u / step};  // u falls as psi rises
}

}  // namespace

double CamLift(double psi) { return LiftWithSlope(psi).first; }

Polygon CamOutline(Vec centre, double base_radius, double turn) {
  Polygon outline;
  outline.reserve(kOutlinePoints);
  for (int i = 0; i < kOutlinePoints; ++i) {
    const double psi = 2 * kPi * i / kOutlinePoints;
    const auto [lift, slope] = LiftWithSlope(psi);
    // Support distance p and the envelope point p n + p' t (y up, on the cam).
    const double p = base_radius + lift + 0.5;
    const Vec n{std::cos(psi), std::sin(psi)};
    const Vec t{-n.y, n.x};
    const Vec on_cam = p * n + slope * t;
    // Onto the screen: flip y, then turn with the cam.
    outline.push_back(centre + TurnOnScreen({on_cam.x, -on_cam.y}, turn));
  }
  return outline;
}

Shape CamShape(Vec centre, Polygon outline) {
  // Sort by polar angle about the centre so each pixel finds its edge by search.
  std::vector<std::pair<double, Vec>> polar;
  polar.reserve(outline.size());
  double reach = 0;
  for (const Vec& v : outline) {
    const Vec d = v - centre;
    polar.push_back({std::atan2(d.y, d.x), d});
    reach = std::max(reach, Length(d));
  }
  std::sort(polar.begin(), polar.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  const Box box{static_cast<int>(std::floor(centre.x - reach)) - 1,
                static_cast<int>(std::floor(centre.y - reach)) - 1,
                static_cast<int>(std::ceil(centre.x + reach)) + 1,
                static_cast<int>(std::ceil(centre.y + reach)) + 1};
  return Shape(box, [centre, polar = std::move(polar)](Vec p) {
    const Vec d = p - centre;
    if (d.x == 0 && d.y == 0) return true;
    const double angle = std::atan2(d.y, d.x);
    auto hi = std::upper_bound(polar.begin(), polar.end(), angle,
                               [](double a, const auto& e) { return a < e.first; });
    const Vec b = hi == polar.end() ? polar.front().second : hi->second;
    const Vec a = hi == polar.begin() ? polar.back().second : std::prev(hi)->second;
    // Inside when d lies on the centre's side of the edge a-b.
    const double edge = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x);
    const double origin = (b.x - a.x) * (0 - a.y) - (b.y - a.y) * (0 - a.x);
    return edge * origin >= 0;
  });
}

}  // namespace dorvik::frames
