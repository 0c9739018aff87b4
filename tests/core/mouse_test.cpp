// Mouse control: the pacing count from the pointer, scrubbing, the click's
// save and restore of the motion state, and the double-click.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "tests/core/session.hpp"

namespace dorvik::testing {
namespace {

struct Window {
  Window() : platform(0), form(platform, wait) { platform.Attach(form); }
  ScriptedPlatform platform;
  RecordingWait wait;
  Dorvik2Lifts form;
};

struct PaceCase {
  float x, y;
  float k;  // X * 30 * Y rounded once to single precision
};

void PrintTo(const PaceCase& c, std::ostream* out) { *out << "X=" << c.x << " Y=" << c.y; }

class NormalModeMove : public ::testing::TestWithParam<PaceCase> {};

TEST_P(NormalModeMove, SetsThePacingCountOnly) {
  const PaceCase c = GetParam();
  for (std::int16_t button : {0, 1, 2}) {
    for (std::int16_t shift : {0, 1}) {
      Window w;
      w.form.k = 1000000;
      w.form.n = 1;
      PlaybackState expected = StateOf(w.form);
      expected.k = c.k;
      w.form.Picture1_MouseMove(button, shift, c.x, c.y);
      EXPECT_EQ(StateOf(w.form), expected) << c.x << " " << c.y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pacing, NormalModeMove,
    ::testing::Values(PaceCase{0.0f, 12.0f, 0.0f}, PaceCase{7.0f, 0.0f, 0.0f},
                      PaceCase{1.0f, 1.0f, 30.0f}, PaceCase{0.5f, 4.0f, 60.0f},
                      PaceCase{-2.0f, 3.0f, -180.0f}, PaceCase{-0.25f, -8.0f, 60.0f},
                      PaceCase{14.882803f, 21.6f, 9644.056640625f},
                      // Rounding X * 30 to single precision first would give
                      // 4956.33740234375 here: the product is rounded once.
                      PaceCase{0x1.36522ap+3f, 0x1.109532p+4f, 4956.3369140625f},
                      PaceCase{0x1.659ad4p+0f, 0x1.39801cp-1f, 25.659772872924805f},
                      // Far beyond the window, still in range: nothing is clamped.
                      PaceCase{-1e6f, 1e6f, -3e13f}));

struct FaultCase {
  float x, y;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << "X=" << c.x << " Y=" << c.y; }

class NormalModeFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(NormalModeFault, RaisesTheOverflowErrorAndKeepsThePacingCount) {
  Window w;
  w.form.k = 1234;
  try {
    w.form.Picture1_MouseMove(0, 0, GetParam().x, GetParam().y);
    FAIL() << "no run-time error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), error_number::kOverflow);
  }
  EXPECT_EQ(w.form.k, 1234);
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Faults, NormalModeFault,
                         ::testing::Values(FaultCase{1e20f, 1e20f}, FaultCase{FLT_MAX, 1.0f},
                                           FaultCase{-FLT_MAX, 0.5f}, FaultCase{kInf, 1.0f},
                                           FaultCase{kInf, 0.0f}, FaultCase{kNaN, 1.0f},
                                           FaultCase{1.0f, kNaN}));

TEST(NormalModeMove, AProductJustInsideTheRangeIsStored) {
  Window w;
  w.form.Picture1_MouseMove(0, 0, FLT_MAX / 30.0f, 1.0f);
  EXPECT_TRUE(std::isfinite(w.form.k));
  EXPECT_GT(w.form.k, 0.99 * FLT_MAX);
}

struct ScrubCase {
  float yyy_before, y;
  int n_after;
};

void PrintTo(const ScrubCase& c, std::ostream* out) {
  *out << "yyy=" << c.yyy_before << " Y=" << c.y;
}

class ScrubModeMove : public ::testing::TestWithParam<ScrubCase> {};

TEST_P(ScrubModeMove, StepsDownwardsForwardUpwardsBack) {
  const ScrubCase c = GetParam();
  Window w;
  w.form.nm = 1;
  w.form.n = 1;
  w.form.k = 55;
  w.form.yyy = c.yyy_before;
  PlaybackState expected = StateOf(w.form);
  expected.k = 10000;
  expected.n = c.n_after;
  expected.yyy = c.y;
  w.form.Picture1_MouseMove(1, 1, 123.0f, c.y);
  EXPECT_EQ(StateOf(w.form), expected);
}

INSTANTIATE_TEST_SUITE_P(Scrubbing, ScrubModeMove,
                         ::testing::Values(ScrubCase{0.0f, 0.0f, 2},      // first move, level
                                           ScrubCase{0.0f, 7.5f, 2},      // first move, down
                                           ScrubCase{0.0f, -0.5f, -2},    // above the area
                                           ScrubCase{5.0f, 5.0f, 2},      // purely horizontal
                                           ScrubCase{5.0f, 5.25f, 2},     // down
                                           ScrubCase{5.0f, 4.75f, -2},    // up
                                           ScrubCase{-3.0f, 40.0f, 2}));  // below the window

// What is written between the two clicks is thrown away; pace, phase, set and
// the scrub position are not part of the saved state.
TEST(Click, TwoClicksPutBackTheMotionStateExactly) {
  const int states[][3] = {{1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {0, 0, 0}, {3, 0, 0}, {-2, 1, 0}};
  for (const auto& [n, m, mm] : states) {
    Window w;
    w.form.n = static_cast<std::int16_t>(n);
    w.form.m = static_cast<std::int16_t>(m);
    w.form.mm = static_cast<std::int16_t>(mm);
    w.form.Picture1_Click();
    EXPECT_EQ(w.form.nm, 1);
    EXPECT_EQ((std::array<int, 3>{w.form.n1, w.form.m1, w.form.mm1}),
              (std::array<int, 3>{n, m, mm}));
    w.form.Picture1_MouseMove(0, 0, 1, 9);
    w.form.Picture1_KeyPress('-');
    w.form.m = 1;
    w.form.mm = 0;
    w.form.Picture1_MouseMove(0, 0, 1, 3);
    w.form.Picture1_KeyPress(' ');
    w.form.Picture1_Click();
    EXPECT_EQ(w.form.nm, 0);
    EXPECT_EQ((std::array<int, 3>{w.form.n, w.form.m, w.form.mm}), (std::array<int, 3>{n, m, mm}));
    EXPECT_EQ(w.form.k, 10000);
    EXPECT_EQ(w.form.yyy, 3.0f);
    EXPECT_EQ(w.form.hl, 0);
    EXPECT_EQ(w.form.updo, 1);
  }
}

TEST(Click, LeavingScrubModeResumesTheRunFromTheFrameReached) {
  Session s(12);
  s.platform.Keys(Session::AfterPass(2), "+");      // pass 3 shows 4
  s.platform.Click(Session::AfterPass(4));          // saved: forward run
  s.platform.Move(Session::AfterPass(4), 1, 2);     // stops on 5
  s.platform.Move(Session::AfterPass(6), 1, 3);     // 6
  s.platform.Move(Session::AfterPass(7), 1, 4);     // 7
  s.platform.Move(Session::AfterPass(8), 1, 3.5f);  // back to 6
  s.platform.Click(Session::AfterPass(9));          // runs forward again
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(s.PassSlots(), (std::vector<int>{1, 2, 4, 5, 5, 5, 6, 7, 6, 7, 8, 9}));
  EXPECT_EQ(s.form.k, 10000);
  EXPECT_EQ(s.wait.counts.back(), (IterationCount{0, 10001}));
}

TEST(Click, MovesWithinOnePumpMakeAtMostOneStep) {
  Session s(5);
  s.platform.Click(Session::AfterPass(2));
  for (float y : {1.0f, 2.0f, 3.0f, 2.5f}) s.platform.Move(Session::AfterPass(2), 1, y);
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(s.PassSlots(), (std::vector<int>{1, 2, 1, 1, 1}));  // the last move was upwards
}

TEST(DoubleClick, EndsTheProcessInEitherMode) {
  for (bool scrub : {false, true}) {
    Session s(10);
    if (scrub) s.platform.Click(Session::AfterPass(1));
    s.platform.Click(Session::AfterPass(3));
    s.platform.DblClick(Session::AfterPass(3));
    EXPECT_TRUE(s.Run());
    EXPECT_EQ(s.PassSlots().size(), 3u);
    EXPECT_EQ(s.platform.clears(), 1);
  }
}

}  // namespace
}  // namespace dorvik::testing
