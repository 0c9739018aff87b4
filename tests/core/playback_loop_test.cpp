// The playback loop: what one pass does from every motion state, and what
// whole runs of passes show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/session.hpp"

namespace dorvik::testing {
namespace {

struct PassCase {
  int n, m, mm;      // at the start of the pass
  int phase_change;  // from phase 5
  int n_after, m_after, mm_after;
};

void PrintTo(const PassCase& c, std::ostream* out) {
  *out << "n=" << c.n << " m=" << c.m << " mm=" << c.mm;
}

class OnePass : public ::testing::TestWithParam<PassCase> {};

// Sets the state at the pump after pass 1, then pass 2 runs from it.
TEST_P(OnePass, MovesThePhaseAndLeavesTheMotionState) {
  const PassCase c = GetParam();
  Session s(2);
  s.platform.Do(Session::AfterPass(1), [&](Dorvik2Lifts& f) {
    f.l = 5;
    f.n = static_cast<std::int16_t>(c.n);
    f.m = static_cast<std::int16_t>(c.m);
    f.mm = static_cast<std::int16_t>(c.mm);
  });
  ASSERT_FALSE(s.Run());
  ASSERT_EQ(s.PassSlots().size(), 2u);
  const int expected = (5 + c.phase_change + 18) % 18;
  EXPECT_EQ(s.PassSlots()[1], expected);
  EXPECT_EQ(s.form.l, expected);
  EXPECT_EQ(s.form.n, c.n_after);
  EXPECT_EQ(s.form.m, c.m_after);
  EXPECT_EQ(s.form.mm, c.mm_after);
}

INSTANTIATE_TEST_SUITE_P(NetEffect, OnePass,
                         ::testing::Values(
                             // start backwards, from any run direction
                             PassCase{-1, 0, 0, -2, 1, 1, 0}, PassCase{-1, 1, 0, -2, 1, 1, 0},
                             PassCase{-1, 0, 1, -2, 1, 1, 0},
                             // start forwards
                             PassCase{3, 0, 0, +2, 1, 0, 1}, PassCase{3, 1, 0, +2, 1, 0, 1},
                             PassCase{3, 0, 1, +2, 1, 0, 1},
                             // step back: one frame when stopped, none during a run a key began
                             PassCase{-2, 0, 0, -1, 0, 0, 0}, PassCase{-2, 1, 0, 0, 0, 0, 0},
                             PassCase{-2, 0, 1, 0, 0, 0, 0},
                             // step forward, likewise
                             PassCase{2, 0, 0, +1, 0, 0, 0}, PassCase{2, 1, 0, 0, 0, 0, 0},
                             PassCase{2, 0, 1, 0, 0, 0, 0},
                             // running: forwards carried by n, backwards by m
                             PassCase{1, 0, 0, +1, 1, 0, 0}, PassCase{1, 0, 1, +1, 1, 0, 1},
                             PassCase{1, 1, 0, -1, 1, 1, 0},
                             // stopped
                             PassCase{0, 0, 0, 0, 0, 0, 0}));

// Keys typed at the pump after `pass`, and the slots the passes then show.
struct Sequence {
  std::string name;
  std::vector<std::pair<int, std::string>> keys;
  int passes;
  std::vector<int> slots;
};

void PrintTo(const Sequence& c, std::ostream* out) { *out << c.name; }

class Sequences : public ::testing::TestWithParam<Sequence> {};

TEST_P(Sequences, ShowTheseSlots) {
  const Sequence& c = GetParam();
  Session s(c.passes);
  for (const auto& [pass, text] : c.keys) s.platform.Keys(Session::AfterPass(pass), text.c_str());
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(s.PassSlots(), c.slots);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Sequences,
    ::testing::Values(
        Sequence{"StartUpRunWrapsAround", {}, 20, {1,  2,  3,  4,  5,  6,  7,  8, 9, 10,
                                                   11, 12, 13, 14, 15, 16, 17, 0, 1, 2}},
        // "*" at phase 5 of the start-up run: one frame on, then it stands
        Sequence{"StepDuringStartUpRun", {{5, "*"}}, 8, {1, 2, 3, 4, 5, 6, 6, 6}},
        // from stopped at 5, "+": 7, then 8, 9, ...
        Sequence{"PlusFromStopped", {{3, "*"}, {6, "+"}}, 9, {1, 2, 3, 4, 4, 4, 6, 7, 8}},
        // stopped at 0 ("*" at phase 17), "-": 16, 15, ...
        Sequence{"MinusFromStopped", {{17, "*"}, {19, "-"}}, 22, {1,  2,  3,  4,  5,  6,  7,  8,
                                                                  9,  10, 11, 12, 13, 14, 15, 16,
                                                                  17, 0,  0,  16, 15, 14}},
        // stopped at 0, "/": 17 and it stays
        Sequence{"SlashFromStoppedAtZero",
                 {{17, "*"}, {19, "/"}},
                 21,
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 0, 0, 17, 17}},
        // a forward run that "+" began, then "*": stops on the frame shown
        Sequence{"StarStopsKeyRun", {{2, "+"}, {4, "*"}}, 7, {1, 2, 4, 5, 5, 5, 5}},
        Sequence{"SlashStopsKeyRun", {{2, "+"}, {4, "/"}}, 7, {1, 2, 4, 5, 5, 5, 5}},
        Sequence{"StarStopsBackwardRun", {{4, "-"}, {6, "."}}, 8, {1, 2, 3, 4, 2, 1, 1, 1}},
        // "-" during a forward run jumps two back from the frame shown last
        Sequence{"MinusReversesDuringRun", {{4, "-"}}, 7, {1, 2, 3, 4, 2, 1, 0}},
        // "+" during a forward run skips a frame
        Sequence{"PlusSkipsAFrame", {{3, "+"}}, 6, {1, 2, 3, 5, 6, 7}},
        // space at phase 4 of set 0: phase 5 of set 1, and on
        Sequence{"SpaceKeepsThePhase", {{4, " "}}, 7, {1, 2, 3, 4, 23, 24, 25}},
        Sequence{"TwoSpacesInOnePump", {{4, "  "}}, 6, {1, 2, 3, 4, 5, 6}},
        Sequence{"ThreeSpacesInOnePump", {{4, "   "}}, 6, {1, 2, 3, 4, 23, 24}},
        Sequence{"SetWrapsWithinSet",
                 {{2, " "}},
                 19,
                 {1, 2, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 18, 19}},
        // several commands in one pump: only the last motion code acts
        Sequence{"LastCodeInPumpWins", {{3, "+/"}}, 5, {1, 2, 3, 2, 2}},
        Sequence{"MinusThenPlusInPump", {{3, "-+"}}, 5, {1, 2, 3, 5, 6}}),
    [](const auto& info) { return info.param.name; });

TEST(PlaybackLoop, EveryPassWaitsFromThePacingCount) {
  Session s(3);
  s.platform.Do(Session::AfterPass(2), [](Dorvik2Lifts& f) { f.k = 2.5; });
  ASSERT_FALSE(s.Run());
  const std::vector<IterationCount> expected = {{0, 1000001}, {0, 1000001}, {0, 3}};
  EXPECT_EQ(s.wait.counts, expected);
  EXPECT_EQ(s.platform.pumps_run(), Session::AfterPass(3));
}

TEST(PlaybackLoop, StartValuesAreStoredAfterLoading) {
  Session s(1);
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(s.form.k, 1000000.0);
  EXPECT_EQ(s.form.hl, 0);
  EXPECT_EQ(s.form.updo, 1);
  EXPECT_EQ(s.form.n, 1);
}

struct BadSet {
  int hl;
  int l;
};

void PrintTo(const BadSet& c, std::ostream* out) { *out << "hl=" << c.hl << " l=" << c.l; }

class OutOfRange : public ::testing::TestWithParam<BadSet> {};

TEST_P(OutOfRange, ASlotOutsideTheTableRaisesTheRunTimeError) {
  const BadSet c = GetParam();
  Session s(3);
  s.platform.Do(Session::AfterPass(1), [&](Dorvik2Lifts& f) {
    f.hl = static_cast<std::int16_t>(c.hl);
    f.l = static_cast<std::int16_t>(c.l);
    f.n = 0;
  });
  try {
    s.Run();
    FAIL() << "no run-time error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), error_number::kSubscriptOutOfRange);
  }
  EXPECT_EQ(s.PassSlots().size(), 1u);  // pass 2 showed nothing
}

INSTANTIATE_TEST_SUITE_P(Slots, OutOfRange,
                         ::testing::Values(BadSet{2, 0}, BadSet{-1, 17}, BadSet{1, 18},
                                           BadSet{0, -1}));

TEST(PlaybackLoop, AFailingShowPictureEndsTheLoopWithItsError) {
  Session s(5);
  s.platform.FailShowPictureAt(3);  // the second pass
  try {
    s.Run();
    FAIL() << "no run-time error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), error_number::kInvalidPicture);
  }
  EXPECT_EQ(s.PassSlots(), std::vector<int>{1});
}

TEST(PlaybackLoop, ASecondActivationWhileRunningReturnsAtOnce) {
  Session s(3);
  int returned = 0;
  s.platform.Do(Session::AfterPass(1), [&](Dorvik2Lifts& f) {
    f.Form_Activate();
    ++returned;
  });
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(returned, 1);
  EXPECT_EQ(s.PassSlots(), (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace dorvik::testing
