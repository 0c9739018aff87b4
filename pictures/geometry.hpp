// Plane geometry for the frame drawings: picture coordinates in pixels, x to
// the right and y downwards, pixel (x, y) centred on the point (x, y).
#pragma once

#include <cmath>
#include <vector>

namespace dorvik::frames {

struct Vec {
  double x = 0;
  double y = 0;
};

inline constexpr Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline constexpr Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline constexpr Vec operator*(double s, Vec a) { return {s * a.x, s * a.y}; }
inline constexpr double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline double Length(Vec a) { return std::sqrt(Dot(a, a)); }

// Turns `v` by `angle` radians counterclockwise as seen on the screen (y runs
// downwards, so this is the clockwise turn of the usual y-up formula).
inline Vec TurnOnScreen(Vec v, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {c * v.x + s * v.y, -s * v.x + c * v.y};
}

inline constexpr double kPi = 3.14159265358979323846;
inline double Degrees(double d) { return d * kPi / 180.0; }

using Polygon = std::vector<Vec>;

}  // namespace dorvik::frames
