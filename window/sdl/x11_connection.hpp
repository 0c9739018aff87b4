// SDL2 backend: the end of the program when its X display goes away (the
// server ends, a remote session drops). Left to Xlib, the first call that
// finds the connection gone prints a message of its own (one line or two,
// depending on how the connection broke) and calls exit(), which runs the
// process's exit handlers from inside Xlib.
#pragma once

namespace dorvik::sdl {

// From now on a lost X connection ends the process at once: one line on
// standard error, status 1. Call before the display is opened.
void EndOnLostXConnection();

}  // namespace dorvik::sdl
