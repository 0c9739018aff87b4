// The keyboard commands: the key table, the set switch, Escape, and every
// other character left alone.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/core/session.hpp"

namespace dorvik::testing {
namespace {

// A window that has not been activated, in the start-up run's state.
struct IdleWindow {
  IdleWindow() : platform(0), form(platform, wait) {
    platform.Attach(form);
    form.n = 1;
    form.k = 1000000;
    form.hl = 0;
    form.updo = 1;
    form.l = 7;
  }
  ScriptedPlatform platform;
  RecordingWait wait;
  Dorvik2Lifts form;
};

struct KeyCase {
  char key;
  int n_after;
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << "key " << c.key; }

class MotionKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(MotionKeys, WriteTheirMotionCodeAndNothingElse) {
  IdleWindow w;
  PlaybackState expected = StateOf(w.form);
  expected.n = GetParam().n_after;
  w.form.Picture1_KeyPress(GetParam().key);
  EXPECT_EQ(StateOf(w.form), expected);
}

INSTANTIATE_TEST_SUITE_P(KeyTable, MotionKeys,
                         ::testing::Values(KeyCase{'-', -1}, KeyCase{'+', 3}, KeyCase{',', 3},
                                           KeyCase{'/', -2}, KeyCase{'*', 2}, KeyCase{'.', 2}));

TEST(SpaceBar, AlternatesTheSetAndItsStep) {
  IdleWindow w;
  const int expected[][2] = {{1, -1}, {0, 1}, {1, -1}, {0, 1}};
  for (const auto& [hl, updo] : expected) {
    PlaybackState before = StateOf(w.form);
    w.form.Picture1_KeyPress(' ');
    EXPECT_EQ(w.form.hl, hl);
    EXPECT_EQ(w.form.updo, updo);
    before.hl = hl;
    before.updo = updo;
    EXPECT_EQ(StateOf(w.form), before);  // phase, motion and pace untouched
  }
}

TEST(SpaceBar, FromEmptyValuesGivesSetZero) {
  ScriptedPlatform platform(0);
  RecordingWait wait;
  Dorvik2Lifts form(platform, wait);
  form.Picture1_KeyPress(' ');
  EXPECT_EQ(form.hl, 0);
  EXPECT_EQ(form.updo, 1);
}

TEST(OtherCharacters, ChangeNothing) {
  const std::int16_t commands[] = {27, '-', '+', ',', '/', '*', '.', ' '};
  int checked = 0;
  for (int code = -32768; code <= 32767; ++code) {
    bool is_command = false;
    for (std::int16_t c : commands) is_command = is_command || c == code;
    if (is_command) continue;
    IdleWindow w;
    const PlaybackState before = StateOf(w.form);
    w.form.Picture1_KeyPress(static_cast<std::int16_t>(code));
    ASSERT_EQ(StateOf(w.form), before) << "code " << code;
    ++checked;
  }
  EXPECT_EQ(checked, 65536 - 8);
}

TEST(Escape, ClearsTheWindowThenEndsTheProcess) {
  IdleWindow w;
  EXPECT_THROW(w.form.Picture1_KeyPress(27), ScriptedPlatform::ProcessEnded);
  EXPECT_EQ(w.platform.clears(), 1);
}

TEST(Escape, AFailingWindowOperationIsARunTimeErrorAndTheProcessGoesOnToReportIt) {
  IdleWindow w;
  w.platform.FailClearWindow();
  EXPECT_THROW(w.form.Picture1_KeyPress(27), RunTimeError);
  EXPECT_THROW(w.form.Picture1_DblClick(), RunTimeError);
}

TEST(Escape, EndsPlaybackInScrubModeToo) {
  Session s(10);
  s.platform.Click(Session::AfterPass(2));
  s.platform.Key(Session::AfterPass(3), 27);
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(s.PassSlots(), (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace dorvik::testing
