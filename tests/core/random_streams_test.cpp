// Random event streams, pump by pump, against a small model of the motion
// rules written from the net effect of a pass, and the invariants that must
// hold between any two passes. Seeded, so every failure reproduces.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "tests/core/session.hpp"

namespace dorvik::testing {
namespace {

struct Model {
  int l = 0, n = 0, m = 0, mm = 0, n1 = 0, m1 = 0, mm1 = 0, nm = 0, hl = 0, updo = 0;
  float yyy = 0;
  double k = 0;
  bool ended = false;

  void StartValues() {
    n = 1;
    k = 1000000;
    hl = 0;
    updo = 1;
  }

  // One pass by its net effect; returns the slot shown.
  int Pass() {
    const bool key_run = m == 1 || mm == 1;
    int move = 0;
    switch (n) {
      case -1:
        move = -2, n = 1, m = 1, mm = 0;
        break;
      case 3:
        move = +2, n = 1, m = 0, mm = 1;
        break;
      case -2:
        move = key_run ? 0 : -1, n = 0, m = 0, mm = 0;
        break;
      case 2:
        move = key_run ? 0 : +1, n = 0, m = 0, mm = 0;
        break;
      case 1:
        move = m == 1 ? -1 : +1;
        break;
      case 0:
        move = 0;
        break;
      default:
        ADD_FAILURE() << "motion code " << n;
    }
    l = (l + move + 36) % 18;
    return l + 18 * hl;
  }

  void Key(int code) {
    switch (code) {
      case 27:
        ended = true;
        break;
      case '-':
        n = -1;
        break;
      case '+':
      case ',':
        n = 3;
        break;
      case '/':
        n = -2;
        break;
      case '*':
      case '.':
        n = 2;
        break;
      case ' ':
        hl += updo;
        updo = hl == 1 ? -1 : 1;
        break;
      default:
        break;
    }
  }

  void Move(float x, float y) {
    if (nm == 0) {
      k = static_cast<float>(static_cast<long double>(x) * 30.0L * static_cast<long double>(y));
    } else {
      k = 10000;
      n = y >= yyy ? 2 : -2;
      yyy = y;
    }
  }

  void Click() {
    if (nm == 0)
      n1 = n, m1 = m, mm1 = mm, nm = 1;
    else
      n = n1, m = m1, mm = mm1, nm = 0;
  }
};

void ExpectSameState(const Dorvik2Lifts& f, const Model& model) {
  const PlaybackState expected{model.k,   model.l,  model.m,  model.mm,  model.n,  model.m1,
                               model.mm1, model.n1, model.nm, model.yyy, model.hl, model.updo};
  EXPECT_EQ(StateOf(f), expected);
}

void ExpectInvariants(const Dorvik2Lifts& f) {
  EXPECT_TRUE(f.l >= 0 && f.l <= 17) << f.l;
  EXPECT_TRUE((f.m == 0 || f.m == 1) && (f.mm == 0 || f.mm == 1) && f.m + f.mm <= 1);
  EXPECT_TRUE((f.hl == 0 && f.updo == 1) || (f.hl == 1 && f.updo == -1));
  EXPECT_TRUE(f.nm == 0 || f.nm == 1);
}

float Coordinate(std::mt19937& rng) {
  switch (rng() % 6) {
    case 0:
      return 0.0f;
    case 1:
      return std::uniform_real_distribution<float>(-1e6f, 1e6f)(rng);
    case 2:
      return static_cast<float>(static_cast<int>(rng() % 40) - 5);
    default:
      return std::uniform_real_distribution<float>(-2.0f, 30.0f)(rng);
  }
}

std::int16_t Character(std::mt19937& rng) {
  if (rng() % 200 == 0) return 27;
  if (rng() % 8 == 0) return static_cast<std::int16_t>(rng());  // beyond ASCII, or negative
  const std::int16_t code = static_cast<std::int16_t>(rng() % 128);
  return code == 27 ? 'a' : code;
}

TEST(RandomStreams, FollowTheModelAndKeepTheInvariants) {
  std::mt19937 rng(20261208);
  int passes_checked = 0, ended = 0;
  for (int stream = 0; stream < 2000; ++stream) {
    const int passes = 2 + static_cast<int>(rng() % 40);
    Session s(passes);
    Model model;
    std::vector<int> slots;

    // At every playback pump, first compare the pass just made.
    for (int pass = 1; pass < passes; ++pass) {
      s.platform.Do(Session::AfterPass(pass), [&, pass](Dorvik2Lifts& f) {
        if (pass == 1) model.StartValues();
        slots.push_back(model.Pass());
        EXPECT_EQ(s.platform.shown_slots().back(), slots.back());
        ExpectSameState(f, model);
        ExpectInvariants(f);
        ++passes_checked;
      });
    }
    // Then the stream's events, on the window and on the model alike.
    const int last_pump = Session::AfterPass(passes) - 1;
    const int events = static_cast<int>(rng() % 60);
    for (int e = 0; e < events; ++e) {
      const int pump = 1 + static_cast<int>(rng() % static_cast<unsigned>(last_pump));
      const unsigned kind = rng() % 100;
      if (kind < 45) {
        const std::int16_t code = Character(rng);
        s.platform.Do(pump, [&, code](Dorvik2Lifts& f) {
          model.Key(code);
          f.Picture1_KeyPress(code);
        });
      } else if (kind < 85) {
        const float x = Coordinate(rng), y = Coordinate(rng);
        s.platform.Do(pump, [&, x, y](Dorvik2Lifts& f) {
          model.Move(x, y);
          f.Picture1_MouseMove(static_cast<std::int16_t>(rng() % 3), 0, x, y);
        });
      } else if (kind < 99) {
        s.platform.Do(pump, [&](Dorvik2Lifts& f) {
          model.Click();
          f.Picture1_Click();
        });
      } else {
        s.platform.Do(pump, [&](Dorvik2Lifts& f) {
          model.ended = true;
          f.Picture1_DblClick();
        });
      }
    }
    const bool process_ended = s.Run();
    ASSERT_EQ(process_ended, model.ended) << "stream " << stream;
    ended += process_ended ? 1 : 0;
    if (::testing::Test::HasFailure()) {
      FAIL() << "stream " << stream;
    }
  }
  // The streams reach far into playback, and some end by Escape or a double-click.
  EXPECT_GT(passes_checked, 20000);
  EXPECT_GT(ended, 50);
}

}  // namespace
}  // namespace dorvik::testing
