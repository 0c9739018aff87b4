// The counted wait: how many empty iterations a pacing count asks for, that
// the real spinner runs exactly that many, and that WaitFrame asks for them.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "tests/core/session.hpp"

namespace dorvik::testing {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

struct CountCase {
  double k;
  IterationCount expected;
};

void PrintTo(const CountCase& c, std::ostream* out) { *out << "k=" << c.k; }

class IterationsForK : public ::testing::TestWithParam<CountCase> {};

TEST_P(IterationsForK, IsFloorPlusOneOrNone) {
  EXPECT_EQ(IterationsFor(GetParam().k), GetParam().expected) << GetParam().k;
}

INSTANTIATE_TEST_SUITE_P(
    Counts, IterationsForK,
    ::testing::Values(CountCase{-1, {0, 0}}, CountCase{-0.5, {0, 0}}, CountCase{-3e38, {0, 0}},
                      CountCase{std::nan(""), {0, 0}}, CountCase{0, {0, 1}},
                      CountCase{0.999, {0, 1}}, CountCase{2.5, {0, 3}}, CountCase{30, {0, 31}},
                      CountCase{10000, {0, 10001}}, CountCase{1000000, {0, 1000001}},
                      // Beyond 2^24 a single-precision counter would stop counting.
                      CountCase{16777216.0f, {0, 16777217}}, CountCase{16777218.0f, {0, 16777219}},
                      CountCase{0x1.fffffep+40f, {0, 0x1fffffe0000ull + 1}},
                      // Beyond 2^53 and 2^64: still exact, in two words.
                      CountCase{0x1p+60, {0, (1ull << 60) + 1}},
                      CountCase{0x1.fffffffffffffp+63, {0, 0xfffffffffffff800ull + 1}},
                      CountCase{0x1p+64, {1, 1}},
                      CountCase{0x1.000002p+64f, {1, 0x20000000000ull + 1}},
                      CountCase{0x1.8p+100, {0x1800000000ull, 1}},
                      // The largest pacing count a mouse move can store.
                      CountCase{FLT_MAX, {0xffffff0000000000ull, 1}},
                      CountCase{std::numeric_limits<double>::infinity(), {kMax, kMax}}));

TEST(SpinningWait, RunsExactlyTheIterationsAskedFor) {
  SpinningWait wait;
  for (std::uint64_t n : {0ull, 1ull, 2ull, 3ull, 17ull, 1000ull}) {
    EXPECT_EQ(wait.Count({0, n}), (IterationCount{0, n}));
  }
}

// A sliced wait's chunks, and "|" where it gave the thread back.
class SlicedWaitLog : public ::testing::Test, public CountedWait, public SharedThread {
 protected:
  IterationCount Count(IterationCount count) override {
    log += std::to_string(count.low) + " ";
    return count;
  }
  bool TurnOver() override { return every > 0 && ++asked % every == 0; }
  void GiveBack() override { log += "| "; }
  std::string log;
  int every = 0, asked = 0;  // the turn is over at every every-th question
};

TEST_F(SlicedWaitLog, AddsUpExactlyAndGivesBackOnlyBetweenChunks) {
  const std::string half = std::to_string(1ull << 63);  // past 2^64 in the last case
  const std::tuple<IterationCount, std::uint64_t, int, std::string> cases[] = {
      {{0, 0}, 4, 1, ""},
      {{0, 5}, 4, 1, "4 | 1 "},
      {{0, 10}, 3, 2, "3 3 | 3 1 "},
      {{1, 5}, 1ull << 63, 1, half + " | " + half + " | 5 "}};
  for (const auto& [count, chunk, turn, expected] : cases) {
    log.clear(), every = turn, asked = 0;
    EXPECT_EQ(SlicedWait(*this, *this, chunk).Count(count), count) << expected;
    EXPECT_EQ(log, expected);
  }
}

// WaitFrame asks for the count of the pacing count as it stands, then pumps.
TEST(WaitFrame, AsksForTheCountOfEachPassesPacingCount) {
  const double ks[] = {-1, 0, 2.5, 10000, 1000000, 16777217.0, 3e9, 0x1p+70};
  Session s(static_cast<int>(std::size(ks)) + 1);
  for (int i = 0; i < static_cast<int>(std::size(ks)); ++i) {
    s.platform.Do(Session::AfterPass(i + 1), [k = ks[i]](Dorvik2Lifts& f) { f.k = k; });
  }
  ASSERT_FALSE(s.Run());
  ASSERT_EQ(s.wait.counts.size(), std::size(ks) + 1);
  for (std::size_t i = 0; i < std::size(ks); ++i) {
    EXPECT_EQ(s.wait.counts[i + 1], IterationsFor(ks[i])) << ks[i];
  }
  EXPECT_EQ(s.wait.counts[2], (IterationCount{0, 1}));
  EXPECT_EQ(s.wait.counts[3], (IterationCount{0, 3}));
  EXPECT_EQ(s.wait.counts[5], (IterationCount{0, 1000001}));
}

}  // namespace
}  // namespace dorvik::testing
