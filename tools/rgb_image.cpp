#include "tools/rgb_image.hpp"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace dorvik::tools {
namespace {

// Rows of each glyph, top first; '#' is ink.
const std::map<char, const char*>& Glyphs() {
  static const std::map<char, const char*> glyphs = {
      {'0', ".###.#...##..###.#.###..##...#.###."}, {'1', "..#...##....#....#....#....#...###."},
      {'2', ".###.#...#....#...#...#...#...#####"}, {'3', "#####...#...#.....#.....##...#.###."},
      {'4', "...#...##..#.#.#..#.#####...#....#."}, {'5', "######....####.....#....##...#.###."},
      {'6', "..##..#...#....####.#...##...#.###."}, {'7', "#####....#...#...#...#....#....#..."},
      {'8', ".###.#...##...#.###.#...##...#.###."}, {'9', ".###.#...##...#.####....#...#..##.."},
      {'A', ".###.#...##...#######...##...##...#"}, {'D', "####.#...##...##...##...##...#####."},
      {'E', "######....#....####.#....#....#####"}, {'F', "######....#....####.#....#....#...."},
      {'I', ".###...#....#....#....#....#...###."}, {'L', "#....#....#....#....#....#....#####"},
      {'M', "#...###.###.#.##.#.##...##...##...#"}, {'N', "#...###..##.#.##..###...##...##...#"},
      {'O', ".###.#...##...##...##...##...#.###."}, {'P', "####.#...##...#####.#....#....#...."},
      {'R', "####.#...##...#####.#.#..#..#.#...#"}, {'S', ".#####....#.....###.....#....#####."},
      {'T', "#####..#....#....#....#....#....#.."}, {'V', "#...##...##...##...##...#.#.#...#.."},
      {'W', "#...##...##...##.#.##.#.##.#.#.#.#."}, {'X', "#...##...#.#.#...#...#.#.#...##...#"},
      {'.', "..........................##...##.."}, {'-', "...............#####..............."},
      {' ', "..................................."}, {'(', "...#...#...#....#....#.....#.....#."},
      {')', ".#.....#.....#....#....#...#...#..."},
  };
  return glyphs;
}

}  // namespace

void RgbImage::FillRect(int x0, int y0, int x1, int y1, Rgb colour) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) Set(x, y, colour);
}

void RgbImage::Line(int x0, int y0, int x1, int y1, Rgb colour, int thickness) {
  const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  const int lo = -(thickness - 1) / 2, hi = thickness / 2;
  for (;;) {
    FillRect(x0 + lo, y0 + lo, x0 + hi, y0 + hi, colour);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

void RgbImage::Text(int x, int y, const std::string& text, Rgb colour, int scale) {
  for (char c : text) {
    const auto glyph = Glyphs().find(c);
    if (glyph != Glyphs().end()) {
      const std::string rows = glyph->second;
      for (int i = 0; i < 35 && i < static_cast<int>(rows.size()); ++i)
        if (rows[i] == '#')
          FillRect(x + (i % 5) * scale, y + (i / 5) * scale, x + (i % 5) * scale + scale - 1,
                   y + (i / 5) * scale + scale - 1, colour);
    }
    x += 6 * scale;
  }
}

bool WritePng(const std::string& path, const RgbImage& image) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png)))
    ok = false;
  else if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, image.Width(), image.Height(), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.Height(); ++y) {
      auto row = const_cast<Rgb*>(image.Pixels().data() + static_cast<size_t>(y) * image.Width());
      png_write_row(png, reinterpret_cast<png_bytep>(row));
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

}  // namespace dorvik::tools
