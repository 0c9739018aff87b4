#include "window/sdl/x11_scale.hpp"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

namespace dorvik::sdl {

// Beyond this the window would not fit on any screen.
constexpr int kMaxScale = 8;

int ScaleFromResources(const char* resources) {
  constexpr char kName[] = "Xft.dpi:";
  for (const char* line = resources; line != nullptr && *line != '\0';) {
    if (std::strncmp(line, kName, sizeof kName - 1) == 0) {
      const double dpi = std::strtod(line + sizeof kName - 1, nullptr);
      const double scale = dpi / 96;
      return scale >= kMaxScale ? kMaxScale : scale >= 1 ? static_cast<int>(scale) : 1;
    }
    line = std::strchr(line, '\n');
    if (line != nullptr) ++line;
  }
  return 1;
}

int X11DesktopScale(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 1;
  return ScaleFromResources(XResourceManagerString(info.info.x11.display));
}

}  // namespace dorvik::sdl
