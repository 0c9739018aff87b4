// One turn of a frame set as an animated GIF, for slides.
#pragma once

#include <cstdint>
#include <vector>

namespace dorvik::tools {

// Hundredths of a second a frame: the viewer's start-up pace, measured at
// about 10.4 frames a second (96 ms each, docs/performance.md).
inline constexpr int kSlideDelay = 10;

// The 18 frames of `set` (0: the small lift, 1: the large), decoded from the
// stored bitmaps, as a GIF89a that loops forever: every pixel keeps its
// palette index and the stored colour table is the global colour map (padded
// with black to 256 entries), so no colour is added or dithered; each frame
// shows for kSlideDelay. Raises std::runtime_error where giflib fails or the
// frames' sizes or colour tables differ.
std::vector<std::uint8_t> SlideGif(int set);

}  // namespace dorvik::tools
