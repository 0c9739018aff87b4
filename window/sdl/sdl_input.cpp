#include "window/sdl/sdl_input.hpp"

namespace dorvik::sdl {

namespace {

// The next code point of a UTF-8 string, or -1 for a malformed sequence;
// advances `text` past what it read.
long NextCodePoint(const char*& text) {
  const auto lead = static_cast<unsigned char>(*text++);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0) return -1;
  long code = lead & (0x3F >> extra);
  for (; extra > 0; --extra) {
    const auto next = static_cast<unsigned char>(*text);
    if ((next & 0xC0) != 0x80) return -1;
    ++text;
    code = (code << 6) | (next & 0x3F);
  }
  return code;
}

}  // namespace

std::int16_t ButtonArgument(std::uint32_t button_mask) {
  std::int16_t button = 0;
  if (button_mask & SDL_BUTTON_LMASK) button |= 1;
  if (button_mask & SDL_BUTTON_RMASK) button |= 2;
  if (button_mask & SDL_BUTTON_MMASK) button |= 4;
  return button;
}

std::int16_t ShiftArgument(SDL_Keymod modifiers) {
  std::int16_t shift = 0;
  if (modifiers & KMOD_SHIFT) shift |= 1;
  if (modifiers & KMOD_CTRL) shift |= 2;
  if (modifiers & KMOD_ALT) shift |= 4;
  return shift;
}

void SdlInput::Deliver(const SDL_Event& event) {
  switch (event.type) {
    case SDL_TEXTINPUT:
      DeliverText(event.text.text);
      break;
    case SDL_KEYDOWN:
      DeliverKeyDown(event.key);
      break;
    case SDL_MOUSEMOTION: {
      const AreaPoint at = ToAreaUnits(static_cast<double>(event.motion.x) / pointer_scale_,
                                       static_cast<double>(event.motion.y) / pointer_scale_);
      form_.Picture1_MouseMove(ButtonArgument(event.motion.state), ShiftArgument(SDL_GetModState()),
                               at.x, at.y);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
      DeliverButtonDown(event.button);
      break;
    case SDL_MOUSEBUTTONUP:
      DeliverButtonUp(event.button);
      break;
    default:
      break;
  }
}

// Characters come from text input, so the keyboard layout and Shift are
// already applied ("+" is Shift+"=" on many layouts). One event may carry
// several characters; each is its own KeyPress, in typing order.
void SdlInput::DeliverText(const char* utf8) {
  while (*utf8 != '\0') {
    const long code = NextCodePoint(utf8);
    if (code < 0 || code > 0x7FFF) continue;  // no 16-bit character code for it
    form_.Picture1_KeyPress(static_cast<std::int16_t>(code));
  }
}

// The control characters that keys produce arrive only as key-downs (held
// keys included, as repeats).
void SdlInput::DeliverKeyDown(const SDL_KeyboardEvent& key) {
  switch (key.keysym.sym) {
    case SDLK_ESCAPE:
      form_.Picture1_KeyPress(27);
      break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      form_.Picture1_KeyPress(13);
      break;
    case SDLK_BACKSPACE:
      form_.Picture1_KeyPress(8);
      break;
    default:
      break;
  }
}

// A second press within the double-click time is the double-click, reported
// after the click that the first press and release made; a third press starts
// over as a plain press.
void SdlInput::DeliverButtonDown(const SDL_MouseButtonEvent& button) {
  if (button.button != SDL_BUTTON_LEFT || !InsideClientArea(button.x, button.y)) return;
  if (button.clicks % 2 == 0) {
    left_down_on_area_ = false;
    form_.Picture1_DblClick();
    return;
  }
  left_down_on_area_ = true;
}

bool SdlInput::InsideClientArea(int x, int y) const {
  return x >= 0 && y >= 0 && x < kClientWidth * pointer_scale_ &&
         y < kClientHeight * pointer_scale_;
}

void SdlInput::DeliverButtonUp(const SDL_MouseButtonEvent& button) {
  if (button.button != SDL_BUTTON_LEFT || !left_down_on_area_) return;
  left_down_on_area_ = false;
  if (InsideClientArea(button.x, button.y)) form_.Picture1_Click();
}

}  // namespace dorvik::sdl
