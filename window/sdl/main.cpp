// dorvik: the viewer program on Linux. Builds the SDL2 window with its
// pictures, hands its platform services to the main window object and lets
// the window's dispatch run it. Without arguments it opens the window; it
// answers --help and --version on the terminal without one, and refuses
// anything else with status 2.
#include <cstdio>
#include <cstring>

#include "core/dorvik2lifts.hpp"
#include "window/sdl/sdl_platform.hpp"

namespace {

constexpr char kUsage[] = "usage: dorvik [--help | --version]";

constexpr char kHelp[] =
    "Shows a looping animation of a cam-driven valve gear in a window, in two\n"
    "phase-aligned sets of 18 frames: a small and a large valve lift.\n"
    "\n"
    "Keys (the window's title lists them):\n"
    "  Escape         end the program\n"
    "  -              run backwards\n"
    "  + or ,         run forwards\n"
    "  /              step one frame back and stop (during a run: stop)\n"
    "  * or .         step one frame forward and stop (during a run: stop)\n"
    "  space bar      switch between the small and the large lift\n"
    "Mouse:\n"
    "  moving         sets the speed: faster towards the left and top edges\n"
    "  click          scrub mode on or off (then moving down or up steps frames)\n"
    "  double-click   end the program\n"
    "\n"
    "  --help         print this and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0 after Escape, a double-click or closing the window; 1 when\n"
    "there is no display, the display goes away or a run-time error ends it;\n"
    "2 for a wrong argument.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s\n\n%s", kUsage, kHelp);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("dorvik 1.00\n");
    return 0;
  }
  if (argc > 1) {
    // Named: the first argument that is not the one option there may be.
    const bool option =
        std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0;
    const char* wrong = option ? argv[2] : argv[1];
    std::fprintf(stderr, "dorvik: unknown argument '%s'; %s\n", wrong, kUsage);
    return 2;
  }
  dorvik::sdl::SdlPlatform platform;
  dorvik::Dorvik2Lifts form(platform);
  platform.Run(form);
}
