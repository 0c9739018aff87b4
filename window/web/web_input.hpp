// Web backend: event delivery. Turns the page's input records (queued by
// dorvik_page.js while the browser had control) into calls of the display
// area's handlers: typed characters to Picture1_KeyPress, pointer positions
// to Picture1_MouseMove in the display area's own units, clicks and
// double-clicks on the canvas to Picture1_Click and Picture1_DblClick.
#pragma once

#include "core/dorvik2lifts.hpp"
#include "core/window_layout.hpp"
#include "window/web/page_event.hpp"

namespace dorvik::web {

// The client area is the page's canvas, in CSS pixels, laid out as the
// desktop window: the layout and Picture1's units are every backend's.
using namespace layout;

// Delivers one record to its handler and runs the handler to its end.
void Deliver(Dorvik2Lifts& form, const PageEvent& event);

}  // namespace dorvik::web
