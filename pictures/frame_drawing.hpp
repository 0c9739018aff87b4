// Draws one frame of the animation: the valve gear of the kinematic model in
// 1-pixel outlines on a white ground.
#pragma once

#include "pictures/canvas.hpp"

namespace dorvik::frames {

// Frame 1..18 of set 0 (small valve lift) or set 1 (large valve lift).
Canvas DrawFrame(int set, int frame);

}  // namespace dorvik::frames
