// A plain RGB picture for the frames tool's PNG output, with the few drawing
// operations the contact sheet and the lift chart need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvik::tools {

struct Rgb {
  std::uint8_t r, g, b;
};

class RgbImage {
 public:
  RgbImage(int width, int height, Rgb ground)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, ground) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<Rgb>& Pixels() const { return pixels_; }

  // Pixels outside the picture are dropped.
  void Set(int x, int y, Rgb colour) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_)
      pixels_[static_cast<size_t>(y) * width_ + x] = colour;
  }
  void FillRect(int x0, int y0, int x1, int y1, Rgb colour);
  // A line `thickness` pixels wide between two points.
  void Line(int x0, int y0, int x1, int y1, Rgb colour, int thickness = 1);
  // Text in a 5 x 7 pixel font (digits, capitals, space, '.', '-'), each
  // font pixel drawn as scale x scale.
  void Text(int x, int y, const std::string& text, Rgb colour, int scale = 1);
  static int TextWidth(const std::string& text, int scale = 1) {
    return static_cast<int>(text.size()) * 6 * scale - scale;
  }

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

// Writes `image` as an 8-bit RGB PNG file; false if the file cannot be written.
bool WritePng(const std::string& path, const RgbImage& image);

}  // namespace dorvik::tools
