#include "window/sdl/display_probe.hpp"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "window/sdl/x11_connection.hpp"

namespace dorvik::sdl {

namespace {

// The X display or Wayland compositor named in the environment, or null.
const char* Named(const char* variable) {
  const char* name = std::getenv(variable);
  return name != nullptr && *name != '\0' ? name : nullptr;
}

// Why no window could be opened, naming each display that was tried.
std::string MissingDisplay() {
  const char* x = Named("DISPLAY");
  const char* wayland = Named("WAYLAND_DISPLAY");
  std::string why = "no display to open the window on: ";
  if (x == nullptr && wayland == nullptr) {
    return why + "neither DISPLAY (X) nor WAYLAND_DISPLAY (Wayland) is set";
  }
  if (x != nullptr) why += std::string("cannot connect to the X display DISPLAY=") + x;
  if (wayland != nullptr) {
    why += x != nullptr ? " nor to" : "cannot connect to";
    why += std::string(" the Wayland compositor WAYLAND_DISPLAY=") + wayland;
  }
  return why;
}

// Why the Wayland compositor that the environment names cannot be reached
// (empty when its socket is there). Looked at before SDL tries, which makes
// libwayland print complaints of its own.
std::string WaylandSocketProblem() {
  const char* name = Named("WAYLAND_DISPLAY");
  if (name == nullptr) return "WAYLAND_DISPLAY is not set";
  std::string path = name;
  if (path.front() != '/') {
    const char* runtime = Named("XDG_RUNTIME_DIR");
    if (runtime == nullptr) {
      return std::string("the Wayland socket WAYLAND_DISPLAY=") + name +
             " is looked for in XDG_RUNTIME_DIR, which is not set";
    }
    path = std::string(runtime) + "/" + name;
  }
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) {
    return "no Wayland compositor socket " + path + " (WAYLAND_DISPLAY)";
  }
  return {};
}

}  // namespace

WindowSystem StartVideo() {
  const bool has_x = Named("DISPLAY") != nullptr;
  const std::string wayland_problem = WaylandSocketProblem();
  const bool has_wayland = wayland_problem.empty();
  if (!has_x && Named("WAYLAND_DISPLAY") == nullptr) FailToStart(MissingDisplay());
  if (!has_x && !has_wayland) {
    FailToStart("no display to open the window on: DISPLAY is not set, and " + wayland_problem);
  }
  // X where there is X (under a Wayland desktop, its X server): there the
  // window is as lean as it gets (bench/window). Wayland alone otherwise;
  // drivers not asked for are not probed, and print no complaints.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, has_x ? (has_wayland ? "x11,wayland" : "x11") : "wayland");

  EndOnLostXConnection();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) FailToStart(MissingDisplay());
  // Without a display SDL falls back to drivers that draw nowhere.
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool wayland = driver != nullptr && std::strcmp(driver, "wayland") == 0;
  if (driver == nullptr || (!wayland && std::strcmp(driver, "x11") != 0)) {
    FailToStart(MissingDisplay());
  }
  return wayland ? WindowSystem::kWayland : WindowSystem::kX11;
}

void FailToStart(const std::string& what) {
  std::fprintf(stderr, "dorvik: %s\n", what.c_str());
  std::fflush(nullptr);
  std::_Exit(1);
}

std::string SdlReason() {
  const char* error = SDL_GetError();
  return error != nullptr && *error != '\0' ? error : "SDL gave no reason";
}

}  // namespace dorvik::sdl
