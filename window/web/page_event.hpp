// Web backend: the input record that the page's script writes into the
// module's memory for the event pump to take. The script names the kinds and
// finds the fields by the values that the build writes out of this header
// (make_page_layout_main.cpp, on the build machine).
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvik::web {

struct PageEvent {
  enum Kind : std::int32_t { kNone = 0, kKey = 1, kMove = 2, kClick = 3, kDoubleClick = 4 };
  std::int32_t kind;
  std::int32_t code;    // kKey: the character code
  std::int32_t button;  // kMove: 1 left, 2 right, 4 middle (the DOM's `buttons`)
  std::int32_t shift;   // kMove: 1 Shift, 2 Ctrl, 4 Alt
  double x;             // kMove: CSS pixels from the canvas's top-left corner
  double y;
};

// The script writes the integers through a 32-bit view of the memory and the
// positions through a 64-bit one, at offsets worked out on the build machine:
// the same layout must hold there and in the module.
static_assert(sizeof(PageEvent) == 32 && alignof(PageEvent) == alignof(double));
static_assert(offsetof(PageEvent, kind) == 0 && offsetof(PageEvent, code) == 4 &&
              offsetof(PageEvent, button) == 8 && offsetof(PageEvent, shift) == 12);
static_assert(offsetof(PageEvent, x) == 16 && offsetof(PageEvent, y) == 24);

}  // namespace dorvik::web
