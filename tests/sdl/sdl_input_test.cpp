// The SDL backend's event delivery: which SDL events reach which handler, with
// which arguments. The handlers' effects on the playback state show it.
#include "window/sdl/sdl_input.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "window/scripted/scripted_platform.hpp"

namespace dorvik::sdl {
namespace {

SDL_Event Text(const char* text) {
  SDL_Event event{};
  event.type = SDL_TEXTINPUT;
  std::strncpy(event.text.text, text, sizeof event.text.text - 1);
  return event;
}

SDL_Event KeyDown(SDL_Keycode key, Uint16 modifiers = KMOD_NONE) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  event.key.keysym.mod = modifiers;
  return event;
}

SDL_Event Motion(int x, int y, Uint32 buttons = 0) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  event.motion.state = buttons;
  return event;
}

SDL_Event Button(Uint32 type, Uint8 button, Uint8 clicks, int x = 100, int y = 100) {
  SDL_Event event{};
  event.type = type;
  event.button.button = button;
  event.button.clicks = clicks;
  event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.button.x = x;
  event.button.y = y;
  return event;
}

SDL_Event LeftDown(Uint8 clicks, int x = 100, int y = 100) {
  return Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, clicks, x, y);
}
SDL_Event LeftUp(int x = 100, int y = 100) {
  return Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1, x, y);
}

// A playing window: start values in place, its handlers fed through SdlInput.
struct PlayingWindow {
  explicit PlayingWindow(int pointer_scale = 1)
      : platform(1), form(platform), input(form, pointer_scale) {
    platform.Attach(form);
    form.n = 1;
    form.k = Dorvik2Lifts::kStartPacingCount;
    form.updo = 1;
  }

  // Delivers the events in order; true if one of them ended the process.
  bool Deliver(const std::vector<SDL_Event>& events) {
    try {
      for (const SDL_Event& event : events) input.Deliver(event);
    } catch (const ScriptedPlatform::ProcessEnded&) {
      return true;
    }
    return false;
  }

  ScriptedPlatform platform;
  Dorvik2Lifts form;
  SdlInput input;
};

struct TypedCase {
  const char* text;
  std::int16_t n;
  std::int16_t hl;
};

TEST(SdlInputTest, TypedCharactersReachKeyPressInOrder) {
  const TypedCase cases[] = {
      {"+", 3, 0}, {",", 3, 0}, {"-", -1, 0},       {"/", -2, 0}, {"*", 2, 0},
      {".", 2, 0}, {" ", 1, 1}, {"  ", 1, 0},       {"-+", 3, 0}, {"+-", -1, 0},
      {"a", 1, 0}, {"5", 1, 0}, {"\xc3\xa9", 1, 0},  // e acute: a character the handler ignores
  };
  for (const TypedCase& c : cases) {
    SCOPED_TRACE(std::string("typed \"") + c.text + "\"");
    PlayingWindow fresh;
    EXPECT_FALSE(fresh.Deliver({Text(c.text)}));
    EXPECT_EQ(fresh.form.n, c.n);
    EXPECT_EQ(fresh.form.hl, c.hl);
  }
}

TEST(SdlInputTest, EscapeKeyRunsTheQuitSequence) {
  PlayingWindow w;
  EXPECT_TRUE(w.Deliver({KeyDown(SDLK_ESCAPE)}));
  EXPECT_EQ(w.platform.clears(), 1);
}

TEST(SdlInputTest, KeysAreNotCharacters) {
  PlayingWindow w;
  // "*" typed as Shift+8 arrives as text; its key-down alone is no character,
  // and neither are arrows, function keys or Shift.
  const SDL_Keycode keys[] = {SDLK_8,    SDLK_KP_MULTIPLY, SDLK_MINUS, SDLK_SPACE,
                              SDLK_LEFT, SDLK_F1,          SDLK_LSHIFT};
  for (SDL_Keycode key : keys) {
    EXPECT_FALSE(w.Deliver({KeyDown(key, KMOD_LSHIFT)}));
  }
  EXPECT_EQ(w.form.n, 1);
  EXPECT_EQ(w.form.hl, 0);
  EXPECT_EQ(w.platform.clears(), 0);
}

struct PointCase {
  int x, y;
  float units_x, units_y;
};

TEST(AreaUnitsTest, PixelsMapToTheDisplayAreasOwnUnits) {
  const PointCase cases[] = {
      {2, 2, 0.0f, 0.0f},                 // inner area's top-left corner
      {361, 766, 14.882803f, 29.84375f},  // its bottom-right corner, beyond the window
      {2, 258, 0.0f, 10.0f},              // one Y unit is 25.6 pixels
      {0, 0, -2 * 14.882803f / 359, -2 * 29.84375f / 764},  // on the border: negative
      {-98, 2, -100 * 14.882803f / 359, 0.0f},              // dragged past the left edge
  };
  for (const PointCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "pixel " << c.x << "," << c.y);
    const AreaPoint at = ToAreaUnits(c.x, c.y);
    EXPECT_FLOAT_EQ(at.x, c.units_x);
    EXPECT_FLOAT_EQ(at.y, c.units_y);
  }
}

TEST(SdlInputTest, MotionInNormalModeSetsThePaceFromThePosition) {
  PlayingWindow w;
  w.Deliver({Motion(361, 258)});
  EXPECT_FLOAT_EQ(static_cast<float>(w.form.k), 14.882803f * 300.0f);
  w.Deliver({Motion(200, 2, SDL_BUTTON_LMASK)});
  EXPECT_EQ(w.form.k, 0);
  w.Deliver({Motion(-50, 258, SDL_BUTTON_LMASK)});  // dragged beyond the window
  EXPECT_LT(w.form.k, 0);
  PlayingWindow doubled(2);  // positions in window pixels at scale 2
  doubled.Deliver({Motion(722, 516)});
  EXPECT_FLOAT_EQ(static_cast<float>(doubled.form.k), 14.882803f * 300.0f);
}

TEST(SdlInputTest, MotionInScrubModeStepsByDirection) {
  PlayingWindow w;
  w.form.nm = 1;
  w.Deliver({Motion(100, 258)});
  EXPECT_EQ(w.form.n, 2);
  EXPECT_EQ(w.form.k, Dorvik2Lifts::kScrubPacingCount);
  EXPECT_FLOAT_EQ(w.form.yyy, 10.0f);
  w.Deliver({Motion(100, 130)});
  EXPECT_EQ(w.form.n, -2);
  w.Deliver({Motion(300, 130)});  // sideways counts as down
  EXPECT_EQ(w.form.n, 2);
}

struct ClickCase {
  const char* what;
  std::vector<SDL_Event> events;
  std::int16_t nm;
  bool ended;
};

TEST(SdlInputTest, LeftClicksToggleModeAndDoubleClickQuits) {
  const ClickCase cases[] = {
      {"press and release", {LeftDown(1), LeftUp()}, 1, false},
      {"two separate clicks", {LeftDown(1), LeftUp(), LeftDown(1), LeftUp()}, 0, false},
      {"press without release", {LeftDown(1)}, 0, false},
      {"release without press", {LeftUp()}, 0, false},
      {"released outside the window", {LeftDown(1), LeftUp(400, 100)}, 0, false},
      {"released below the window", {LeftDown(1), LeftUp(100, 560)}, 0, false},
      {"right button",
       {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1),
        Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 1)},
       0,
       false},
      {"double-click: the click, then the quit", {LeftDown(1), LeftUp(), LeftDown(2)}, 1, true},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.what);
    PlayingWindow fresh;
    EXPECT_EQ(fresh.Deliver(c.events), c.ended);
    EXPECT_EQ(fresh.form.nm, c.nm);
    EXPECT_EQ(fresh.platform.clears(), c.ended ? 1 : 0);
  }
}

TEST(HandlerArgumentsTest, ButtonsAndModifiersAsTheHandlerTakesThem) {
  EXPECT_EQ(ButtonArgument(0), 0);
  EXPECT_EQ(ButtonArgument(SDL_BUTTON_LMASK), 1);
  EXPECT_EQ(ButtonArgument(SDL_BUTTON_RMASK | SDL_BUTTON_MMASK), 6);
  EXPECT_EQ(ShiftArgument(KMOD_NONE), 0);
  EXPECT_EQ(ShiftArgument(KMOD_RSHIFT), 1);
  EXPECT_EQ(ShiftArgument(static_cast<SDL_Keymod>(KMOD_LCTRL | KMOD_RALT)), 6);
}

}  // namespace
}  // namespace dorvik::sdl
