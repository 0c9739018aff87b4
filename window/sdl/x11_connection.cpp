#include "window/sdl/x11_connection.hpp"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace dorvik::sdl {

namespace {

// Xlib calls this from whichever call found the connection broken; it must
// not return (Xlib would end the process itself).
int LostConnection(Display* display) {
  std::fprintf(stderr, "dorvik: the connection to the X display %s was lost\n",
               XDisplayString(display));
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace

void EndOnLostXConnection() {
  // Whatever writes to the closed socket gets EPIPE, which Xlib reports to
  // the handler, rather than a signal that would end the process unseen.
  std::signal(SIGPIPE, SIG_IGN);
  XSetIOErrorHandler(LostConnection);
}

}  // namespace dorvik::sdl
