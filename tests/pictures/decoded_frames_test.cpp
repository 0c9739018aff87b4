// The embedded frames as the Linux window's decoder (bitmap_decode.hpp) sees
// them: every pixel as drawn, the lifts and contacts read off the pixels, and
// the alignment of the two sets.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "pictures/bitmap_file.hpp"
#include "pictures/cam_profile.hpp"
#include "pictures/canvas.hpp"
#include "pictures/frame_drawing.hpp"
#include "pictures/lift_measure.hpp"
#include "pictures/mechanism.hpp"
#include "tests/pictures/decoded_frames.hpp"

namespace {

using namespace dorvik::frames;

const DecodedFrame& Slot(int set, int frame) { return DecodedSlots()[18 * set + frame - 1]; }
std::uint8_t At(const DecodedFrame& f, int x, int y) { return f.indices[y * kWidth + x]; }

TEST(DecodedFrames, EveryPixelIsTheGeneratorsAndThePaletteIsTheTable) {
  const auto table = ColourTable();
  for (int set = 0; set < kSets; ++set)
    for (int frame = 1; frame <= kFramesPerSet; ++frame) {
      SCOPED_TRACE(testing::Message() << "set " << set << " frame " << frame);
      const DecodedFrame& decoded = Slot(set, frame);
      ASSERT_EQ(decoded.width, kWidth);
      ASSERT_EQ(decoded.height, kHeight);
      ASSERT_EQ(decoded.bits_per_pixel, 8);
      ASSERT_EQ(decoded.palette.size(), 256u);
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(decoded.palette[i],
                  (std::array<std::uint8_t, 3>{table[4 * i + 2], table[4 * i + 1], table[4 * i]}))
            << "entry " << i;
      EXPECT_EQ(decoded.indices, DrawFrame(set, frame).Pixels());
    }
}

// Lifts in pixels, frames 1..8 (0 in 9..18), read off the decoded pixels.
TEST(DecodedFrames, LiftsToThePixel) {
  const std::array<int, 8> rise = {0, 1, 8, 12, 14, 12, 8, 2};
  const std::array<std::array<int, 8>, 2> travel = {
      {{0, 0, 2, 6, 7, 5, 4, 1}, {0, 1, 13, 23, 27, 21, 15, 4}}};
  for (int set = 0; set < kSets; ++set) {
    const PartRows rest = MeasureParts(Slot(set, 1).indices);
    for (int frame = 1; frame <= kFramesPerSet; ++frame) {
      SCOPED_TRACE(testing::Message() << "set " << set << " frame " << frame);
      const PartRows rows = MeasureParts(Slot(set, frame).indices);
      const int want_rise = frame <= 8 ? rise[frame - 1] : 0;
      const int want_travel = frame <= 8 ? travel[set][frame - 1] : 0;
      EXPECT_EQ(rest.follower_bottom - rows.follower_bottom, want_rise) << "follower";
      EXPECT_EQ(rest.rod_top - rows.rod_top, want_rise) << "rod";
      EXPECT_EQ(rows.valve_bottom - rest.valve_bottom, want_travel) << "valve head";
      EXPECT_EQ(rows.stem_top - rest.stem_top, want_travel) << "valve stem";
    }
  }
}

bool AnyInRow(const DecodedFrame& f, std::uint8_t colour, int y, int x0, int x1) {
  for (int x = x0; x <= x1; ++x)
    if (At(f, x, y) == colour) return true;
  return false;
}

// Parts that rest on each other touch: their pixels are neighbours.
TEST(DecodedFrames, RestingPartsTouch) {
  using namespace layout;
  for (int set = 0; set < kSets; ++set)
    for (int frame = 1; frame <= kFramesPerSet; ++frame) {
      SCOPED_TRACE(testing::Message() << "set " << set << " frame " << frame);
      const DecodedFrame& f = Slot(set, frame);
      const PartRows rows = MeasureParts(f.indices);
      // The cam's top is the row under the follower's face.
      int cam_top = -1;
      for (int y = rows.follower_bottom + 1; y < kHeight && cam_top < 0; ++y)
        if (AnyInRow(f, kBlack, y, kRodX - 32, kRodX + 32)) cam_top = y;
      EXPECT_EQ(cam_top, rows.follower_bottom + 1) << "cam under follower";
      EXPECT_TRUE(
          AnyInRow(f, kGreen, rows.rod_top - 1, kRodX - kRodCapHalfWidth, kRodX + kRodCapHalfWidth))
          << "lever on rod";
      EXPECT_TRUE(AnyInRow(f, kBlue, rows.stem_top - 1, kValveX - 3, kValveX + 3))
          << "arm on valve stem";
      // Seat marks: black pixels beside the valve head while it is closed, none
      // once it is 2 pixels or more off its seats (1 pixel off a sloping seat
      // leaves no whole pixel between them).
      bool seated = false;
      for (int y = 400; y < kHeight - 1; ++y)
        for (int x = 1; x < 120; ++x)
          if (At(f, x, y) == kBlack && (At(f, x - 1, y) == kRed || At(f, x + 1, y) == kRed ||
                                        At(f, x, y - 1) == kRed || At(f, x, y + 1) == kRed))
            seated = true;
      const int travel = kValveTravel[set][frame - 1];
      if (travel != 1) {
        EXPECT_EQ(seated, travel == 0) << "valve on its seats";
      }
    }
}

// Frame k of both sets: same cam, break mark, cross and seat marks (all the
// black there is), and the same follower and rod.
TEST(DecodedFrames, SetsAreAlignedFrameByFrame) {
  for (int frame = 1; frame <= kFramesPerSet; ++frame) {
    SCOPED_TRACE(testing::Message() << "frame " << frame);
    const DecodedFrame& a = Slot(0, frame);
    const DecodedFrame& b = Slot(1, frame);
    int black = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        if (At(a, x, y) == kBlack || At(b, x, y) == kBlack) {
          ++black;
          ASSERT_EQ(At(a, x, y), At(b, x, y)) << "black at " << x << "," << y;
        }
        if (x >= layout::kRodX - 32 && x <= layout::kRodX + 32 && y > layout::kRodTopRow + 5) {
          ASSERT_EQ(At(a, x, y), At(b, x, y)) << "follower or rod at " << x << "," << y;
        }
      }
    EXPECT_GT(black, 500);
  }
}

// From frame 9 to frame 18 only the cam moves.
TEST(DecodedFrames, OnlyTheCamMovesInFramesNineToEighteen) {
  const double reach = layout::kCamBase + 16;
  for (int set = 0; set < kSets; ++set)
    for (int frame = 10; frame <= kFramesPerSet; ++frame) {
      SCOPED_TRACE(testing::Message() << "set " << set << " frame " << frame);
      const DecodedFrame& before = Slot(set, frame - 1);
      const DecodedFrame& now = Slot(set, frame);
      int changed_on_cam = 0;
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          if (At(before, x, y) == At(now, x, y)) continue;
          const bool on_cam =
              std::hypot(x - layout::kCamCentre.x, y - layout::kCamCentre.y) <= reach;
          ASSERT_TRUE(on_cam) << "change at " << x << "," << y;
          ++changed_on_cam;
        }
      EXPECT_GT(changed_on_cam, 0);
    }
}

// The cam is the true flat-faced-follower cam: non-negative lift, a base
// circle where the lift is zero, a convex outline, the frames' rises at the
// follower.
TEST(CamProfile, ConvexWithItsBaseCircleAndTheFramesRises) {
  for (int i = 0; i < 3600; ++i) EXPECT_GE(CamLift(Degrees(0.1 * i)), 0.0) << 0.1 * i;
  for (int frame = 1; frame <= kFramesPerSet; ++frame)
    EXPECT_NEAR(CamLift(Degrees(90 - 20.0 * (frame - 1))), kFollowerRise[frame - 1], 1e-9);
  const Vec centre{0, 0};
  const Polygon outline = CamOutline(centre, layout::kCamBase, 0);
  for (size_t i = 0; i < outline.size(); ++i) {
    const Vec a = outline[i], b = outline[(i + 1) % outline.size()],
              c = outline[(i + 2) % outline.size()];
    const double turn = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
    ASSERT_LE(turn, 1e-9) << "outline turns the wrong way at point " << i;
  }
  // Frames 10..17 see only the base circle: the cam angles 110° to 250°.
  for (int degrees = 115; degrees <= 245; degrees += 5) {
    const double psi = Degrees(degrees);
    const double reach = layout::kCamBase + 0.5;  // the outline lies half a pixel out
    bool found = false;
    for (const Vec& p : outline)
      if (std::abs(std::atan2(-p.y, p.x) - (psi > kPi ? psi - 2 * kPi : psi)) < 0.01) {
        EXPECT_NEAR(std::hypot(p.x, p.y), reach, 1e-6) << degrees;
        found = true;
      }
    EXPECT_TRUE(found) << degrees;
  }
}

}  // namespace
