#include "window/sdl/x11_scale.hpp"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
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

X11DesktopScale::X11DesktopScale(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  display_ = display;
  root_ = DefaultRootWindow(display);
  resource_manager_ = XInternAtom(display, "RESOURCE_MANAGER", False);
  // xrdb replaces the root window's property; this connection hears of it.
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, root_, &attributes);
  XSelectInput(display, root_, attributes.your_event_mask | PropertyChangeMask);
  scale_ = Read();
}

bool X11DesktopScale::Changed(const SDL_Event& event) {
  if (display_ == nullptr || event.type != SDL_SYSWMEVENT ||
      event.syswm.msg->subsystem != SDL_SYSWM_X11) {
    return false;
  }
  const XEvent& x = event.syswm.msg->msg.x11.event;
  if (x.type != PropertyNotify || x.xproperty.window != root_ ||
      x.xproperty.atom != resource_manager_) {
    return false;
  }
  const int scale = Read();
  if (scale == scale_) return false;
  scale_ = scale;
  return true;
}

// The database as the root window holds it now (Xlib's copy is the one at
// connection time).
int X11DesktopScale::Read() const {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(static_cast<Display*>(display_), root_, resource_manager_, 0, 1 << 20,
                         False, XA_STRING, &type, &format, &items, &left, &data) != Success) {
    return 1;
  }
  const int scale =
      type == XA_STRING && format == 8 ? ScaleFromResources(reinterpret_cast<char*>(data)) : 1;
  if (data != nullptr) XFree(data);
  return scale;
}

}  // namespace dorvik::sdl
