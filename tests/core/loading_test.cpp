// The loading stage: the picture table filled from the holders, slot 0 shown
// at once, the event queue pumped between the loads, and what input during
// loading does to the playback that follows.
#include <gtest/gtest.h>

#include <vector>

#include "tests/core/session.hpp"

namespace dorvik::testing {
namespace {

TEST(Loading, FillsEverySlotFromTheHolderNumberedOneHigher) {
  Session s(1);
  ASSERT_FALSE(s.Run());
  for (int slot = 0; slot < Dorvik2Lifts::kSlots; ++slot) {
    EXPECT_EQ(ScriptedPlatform::HolderNumber(s.form.PictureInSlot(slot)), slot + 1) << slot;
  }
  std::vector<int> in_order;
  for (int number = 1; number <= 36; ++number) in_order.push_back(number);
  EXPECT_EQ(s.platform.holders_asked(), in_order);
}

TEST(Loading, ShowsSlotZeroBeforeAnyPumpAndSlotOneInTheFirstPass) {
  Session s(2);
  std::vector<int> shown_at_first_pump;
  int slots_filled_at_first_pump = 0;
  s.platform.Do(1, [&](Dorvik2Lifts& f) {
    shown_at_first_pump = s.platform.shown_slots();
    for (int slot = 0; slot < Dorvik2Lifts::kSlots; ++slot) {
      if (f.PictureInSlot(slot)) ++slots_filled_at_first_pump;
    }
  });
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(shown_at_first_pump, std::vector<int>{0});
  EXPECT_EQ(slots_filled_at_first_pump, 2);  // slots 0 and 1, then the first pump
  EXPECT_EQ(s.platform.shown_slots(), (std::vector<int>{0, 1, 2}));
}

TEST(Loading, PumpsBetweenEachTwoLoadsAndNotAfterTheLast) {
  Session s(2);
  std::vector<int> filled_before_pump;
  for (int pump = 1; pump <= ScriptedPlatform::kLoadingPumps + 1; ++pump) {
    s.platform.Do(pump, [&](Dorvik2Lifts& f) {
      int filled = 0;
      for (int slot = 0; slot < Dorvik2Lifts::kSlots; ++slot)
        filled += f.PictureInSlot(slot) ? 1 : 0;
      filled_before_pump.push_back(filled);
    });
  }
  ASSERT_FALSE(s.Run());
  // 34 loading pumps after slots 1..34, then the first playback pump.
  ASSERT_EQ(filled_before_pump.size(), 35u);
  for (int pump = 1; pump <= 34; ++pump) EXPECT_EQ(filled_before_pump[pump - 1], pump + 1);
  EXPECT_EQ(filled_before_pump[34], 36);
  EXPECT_EQ(s.platform.shown_slots().size(), 3u);  // slot 0, then two passes
}

struct DuringLoading {
  const char* name;
  const char* keys;
};

void PrintTo(const DuringLoading& c, std::ostream* out) { *out << c.name; }

class KeysDuringLoading : public ::testing::TestWithParam<DuringLoading> {};

// The start values replace what motion and set keys wrote while loading.
TEST_P(KeysDuringLoading, HaveNoLastingEffect) {
  Session s(3);
  s.platform.Keys(10, GetParam().keys);
  s.platform.Move(20, 3.0f, 4.0f);
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(s.PassSlots(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(s.wait.counts.front(), (IterationCount{0, 1000001}));
}

INSTANTIATE_TEST_SUITE_P(Loading, KeysDuringLoading,
                         ::testing::Values(DuringLoading{"Minus", "-"}, DuringLoading{"Plus", "+"},
                                           DuringLoading{"Stop", "*"}, DuringLoading{"Back", "/"},
                                           DuringLoading{"Space", " "},
                                           DuringLoading{"All", "-+,/*. "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Loading, ASpaceBeforeTheStartValuesFindsThemEmpty) {
  Session s(1);
  int hl = -9, updo = -9;
  s.platform.Key(5, ' ');
  s.platform.Do(6, [&](Dorvik2Lifts& f) {
    hl = f.hl;
    updo = f.updo;
  });
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(hl, 0);
  EXPECT_EQ(updo, 1);
}

// A click while loading enters scrub mode with the empty motion state saved;
// scrub moves then step, and the click that leaves puts back "stopped".
TEST(Loading, AClickEntersScrubModeAndItsSavedStateIsEmpty) {
  Session s(6);
  s.platform.Click(3);
  s.platform.Move(Session::AfterPass(1), 1.0f, 5.0f);  // down: step forward
  s.platform.Click(Session::AfterPass(3));             // leave: restore (0, 0, 0)
  ASSERT_FALSE(s.Run());
  EXPECT_EQ(s.form.nm, 0);
  // pass 1 runs on (start-up run), pass 2 steps one frame, then it stands.
  EXPECT_EQ(s.PassSlots(), (std::vector<int>{1, 2, 2, 2, 2, 2}));
  EXPECT_EQ(s.wait.counts[1], (IterationCount{0, 10001}));
}

TEST(Loading, EscapeEndsTheProcessBeforeAnyPass) {
  Session s(3);
  s.platform.Key(7, 27);
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(s.platform.shown_slots(), std::vector<int>{0});
  EXPECT_EQ(s.platform.pumps_run(), 7);
  EXPECT_EQ(s.platform.holders_asked().size(), 8u);  // holders 9..36 never touched
  EXPECT_EQ(s.platform.clears(), 1);
}

TEST(Loading, ADoubleClickEndsTheProcessBeforeAnyPass) {
  Session s(3);
  s.platform.Click(2);
  s.platform.DblClick(2);
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(s.platform.shown_slots(), std::vector<int>{0});
  EXPECT_EQ(s.form.nm, 1);  // the click came first
}

}  // namespace
}  // namespace dorvik::testing
