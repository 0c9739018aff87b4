// The cam: a true cam for a flat-faced follower. Its outline is the envelope
// of the follower face over a turn, built from the follower's lift curve.
#pragma once

#include <array>

#include "pictures/canvas.hpp"
#include "pictures/geometry.hpp"

namespace dorvik::frames {

inline constexpr int kFramesPerSet = 18;
inline constexpr double kStepDegrees = 360.0 / kFramesPerSet;

// Follower rise in pixels in frames 1..18 of either set.
inline constexpr std::array<int, kFramesPerSet> kFollowerRise = {0, 1, 8, 12, 14, 12, 8, 2, 0,
                                                                 0, 0, 0, 0,  0,  0,  0, 0, 0};

// Follower lift at cam angle `psi` (radians, counterclockwise from the lobe's
// pointing direction, measured on the cam): the frames' rises joined by a
// periodic cubic spline, never below zero, exactly zero between frames
// without lift.
double CamLift(double psi);

// The cam outline for a base-circle radius, centred at `centre` and turned
// `turn` radians counterclockwise on the screen (lobe to the right at 0). The
// outline lies half a pixel beyond the follower face it touches, so the face's
// pixel row and the cam's top row are neighbours.
Polygon CamOutline(Vec centre, double base_radius, double turn);

// The region inside a cam outline (star-shaped about `centre`).
Shape CamShape(Vec centre, Polygon outline);

}  // namespace dorvik::frames
