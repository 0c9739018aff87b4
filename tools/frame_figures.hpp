// The frames tool's two figures: the contact sheet of all 36 frames and the
// chart of the lifts read off them.
#pragma once

#include "tools/rgb_image.hpp"

namespace dorvik::tools {

// Every frame at half size, frame k of the small-lift set above frame k of
// the large-lift set, nine pairs to a row, each pair numbered.
RgbImage ContactSheet();

// Follower rise and the valve travel of both sets against the frame number,
// as measured from the drawn frames.
RgbImage LiftChart();

}  // namespace dorvik::tools
