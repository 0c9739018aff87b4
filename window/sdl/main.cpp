// dorvik: the viewer program on Linux. Builds the SDL2 window with its
// pictures, hands its platform services to the main window object and lets
// the window's dispatch run it. Takes no arguments (any given are ignored).
#include "core/dorvik2lifts.hpp"
#include "window/sdl/sdl_platform.hpp"

int main() {
  dorvik::sdl::SdlPlatform platform;
  dorvik::Dorvik2Lifts form(platform);
  platform.Run(form);
}
