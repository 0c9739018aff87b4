#include "tools/frame_figures.hpp"

#include <array>
#include <map>
#include <string>
#include <vector>

#include "pictures/bitmap_file.hpp"
#include "pictures/canvas.hpp"
#include "pictures/frame_drawing.hpp"
#include "pictures/lift_measure.hpp"
#include "pictures/mechanism.hpp"

namespace dorvik::tools {
namespace {

using frames::kFramesPerSet;
using frames::kHeight;
using frames::kSets;
using frames::kWidth;

constexpr Rgb kPaper{255, 255, 255};
constexpr Rgb kGap{214, 214, 214};
constexpr Rgb kInk{0, 0, 0};
constexpr Rgb kGrid{225, 225, 225};

Rgb PaletteColour(std::uint8_t index) {
  static const auto table = frames::ColourTable();
  return {table[4 * index + 2], table[4 * index + 1], table[4 * index]};
}

// Half size for line art: a 2 x 2 block takes the colour of any line in it,
// so 1-pixel outlines stay unbroken.
void PasteHalfSize(RgbImage& sheet, const frames::Canvas& frame, int left, int top) {
  for (int y = 0; y < kHeight / 2; ++y)
    for (int x = 0; x < kWidth / 2; ++x) {
      std::uint8_t pick = frames::kWhite;
      for (int dy = 0; dy < 2 && pick == frames::kWhite; ++dy)
        for (int dx = 0; dx < 2 && pick == frames::kWhite; ++dx)
          pick = frame.At(2 * x + dx, 2 * y + dy);
      sheet.Set(left + x, top + y, PaletteColour(pick));
    }
}

}  // namespace

RgbImage ContactSheet() {
  constexpr int kPerRow = 9, kTileW = kWidth / 2, kTileH = kHeight / 2, kGapPx = 6, kLabel = 14;
  constexpr int kRows = kFramesPerSet / kPerRow;
  RgbImage sheet(kPerRow * (kTileW + kGapPx) + kGapPx,
                 kRows * (kLabel + kSets * (kTileH + kGapPx)) + kGapPx, kGap);
  for (int frame = 1; frame <= kFramesPerSet; ++frame) {
    const int column = (frame - 1) % kPerRow, row = (frame - 1) / kPerRow;
    const int left = kGapPx + column * (kTileW + kGapPx);
    const int top = kGapPx + row * (kLabel + kSets * (kTileH + kGapPx));
    const std::string label = "FRAME " + std::to_string(frame);
    sheet.Text(left + (kTileW - RgbImage::TextWidth(label)) / 2, top + 2, label, kInk);
    for (int set = 0; set < kSets; ++set)
      PasteHalfSize(sheet, frames::DrawFrame(set, frame), left,
                    top + kLabel + set * (kTileH + kGapPx));
  }
  return sheet;
}

RgbImage LiftChart() {
  // Lifts read off the pixels, relative to frame 1 of each set.
  std::array<std::array<int, kFramesPerSet>, 3> lift{};
  for (int set = 0; set < kSets; ++set) {
    std::vector<frames::PartRows> rows;
    for (int frame = 1; frame <= kFramesPerSet; ++frame)
      rows.push_back(frames::MeasureParts(frames::DrawFrame(set, frame).Pixels()));
    for (int f = 0; f < kFramesPerSet; ++f) {
      if (set == 0) lift[0][f] = rows[0].follower_bottom - rows[f].follower_bottom;
      lift[1 + set][f] = rows[f].valve_bottom - rows[0].valve_bottom;
    }
  }
  const std::array<Rgb, 3> colours = {Rgb{0, 0, 255}, Rgb{230, 0, 0}, Rgb{0, 150, 0}};
  const std::array<std::string, 3> names = {"FOLLOWER AND ROD RISE", "VALVE TRAVEL SET 0",
                                            "VALVE TRAVEL SET 1"};

  constexpr int kW = 720, kH = 440, kLeft = 60, kRight = 20, kTop = 20, kBottom = 50;
  constexpr int kMaxPx = 30;
  RgbImage chart(kW, kH, kPaper);
  const int plot_w = kW - kLeft - kRight, plot_h = kH - kTop - kBottom;
  auto px = [&](int frame) { return kLeft + (frame - 1) * plot_w / (kFramesPerSet - 1); };
  auto py = [&](int value) { return kTop + plot_h - value * plot_h / kMaxPx; };
  for (int v = 0; v <= kMaxPx; v += 5) {
    chart.Line(kLeft, py(v), kW - kRight, py(v), kGrid);
    const std::string text = std::to_string(v);
    chart.Text(kLeft - 8 - RgbImage::TextWidth(text), py(v) - 3, text, kInk);
  }
  for (int f = 1; f <= kFramesPerSet; ++f) {
    chart.Line(px(f), kTop, px(f), kTop + plot_h, kGrid);
    const std::string text = std::to_string(f);
    chart.Text(px(f) - RgbImage::TextWidth(text) / 2, kTop + plot_h + 8, text, kInk);
  }
  chart.Line(kLeft, kTop, kLeft, kTop + plot_h, kInk);
  chart.Line(kLeft, kTop + plot_h, kW - kRight, kTop + plot_h, kInk);
  chart.Text(kLeft + (plot_w - RgbImage::TextWidth("FRAME")) / 2, kH - 20, "FRAME", kInk);
  chart.Text(8, kTop - 14, "PIXELS", kInk);
  for (int c = 0; c < 3; ++c) {
    for (int f = 1; f < kFramesPerSet; ++f)
      chart.Line(px(f), py(lift[c][f - 1]), px(f + 1), py(lift[c][f]), colours[c], 2);
    for (int f = 1; f <= kFramesPerSet; ++f)
      chart.FillRect(px(f) - 2, py(lift[c][f - 1]) - 2, px(f) + 2, py(lift[c][f - 1]) + 2,
                     colours[c]);
    const int ly = kTop + 12 + 16 * c, lx = kW - kRight - 200;
    chart.FillRect(lx, ly + 2, lx + 16, ly + 4, colours[c]);
    chart.Text(lx + 24, ly, names[c], kInk);
  }
  return chart;
}

}  // namespace dorvik::tools
