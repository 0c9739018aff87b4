// The drawing surface of one frame (360 x 552 palette indices, top row first)
// and the shapes the parts are made of. A part is drawn as the 1-pixel outline
// of its shape: the pixels inside it that have a 4-neighbour outside it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "pictures/geometry.hpp"

namespace dorvik::frames {

inline constexpr int kWidth = 360;
inline constexpr int kHeight = 552;

// The five colour-table entries the frames use.
inline constexpr std::uint8_t kWhite = 255;
inline constexpr std::uint8_t kBlack = 0;
inline constexpr std::uint8_t kBlue = 3;
inline constexpr std::uint8_t kGreen = 28;
inline constexpr std::uint8_t kRed = 224;

class Canvas {
 public:
  Canvas() : pixels_(kWidth * kHeight, kWhite) {}

  std::uint8_t At(int x, int y) const { return pixels_[y * kWidth + x]; }
  // Pixels outside the picture are dropped.
  void Set(int x, int y, std::uint8_t colour) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels_[y * kWidth + x] = colour;
  }
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

 private:
  std::vector<std::uint8_t> pixels_;
};

// Inclusive pixel bounds.
struct Box {
  int x0, y0, x1, y1;
};

// A region of the plane: a membership test and pixel bounds that hold it.
class Shape {
 public:
  Shape(Box box, std::function<bool(Vec)> contains) : box_(box), contains_(std::move(contains)) {}

  static Shape Disc(Vec centre, double radius);
  // All points within `radius` of the segment a-b.
  static Shape Capsule(Vec a, Vec b, double radius);
  // Even-odd rule; the polygon is closed implicitly.
  static Shape Area(Polygon corners);
  static Shape Rect(double x0, double y0, double x1, double y1);

  Shape operator|(const Shape& other) const;
  Shape operator-(const Shape& other) const;

  bool Contains(Vec p) const { return contains_(p); }
  const Box& Bounds() const { return box_; }

 private:
  Box box_;
  std::function<bool(Vec)> contains_;
};

void DrawOutline(Canvas& canvas, const Shape& shape, std::uint8_t colour);
void Fill(Canvas& canvas, const Shape& shape, std::uint8_t colour);
// A 1-pixel line between two pixel centres (Bresenham), ends included.
void DrawLine(Canvas& canvas, int x0, int y0, int x1, int y1, std::uint8_t colour);

}  // namespace dorvik::frames
