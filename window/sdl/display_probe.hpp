// SDL2 backend: finding the display to open the window on, X or Wayland,
// whichever the environment names, and the one-line messages that say why
// the program cannot start when there is none to reach.
#pragma once

#include <string>

namespace dorvik::sdl {

enum class WindowSystem { kX11, kWayland };

// Starts SDL's video on the display the environment names: X where there is
// X, Wayland alone otherwise. When neither can be reached, ends the process
// with a line naming each display that was tried, and status 1.
WindowSystem StartVideo();

// Failures before the window can show anything: one line, then status 1.
[[noreturn]] void FailToStart(const std::string& what);

// SDL's reason for the last failure; never empty.
std::string SdlReason();

}  // namespace dorvik::sdl
