// The kinematic model of the valve gear: where every part stands in a given
// frame. The cam turn, follower rise and valve travel are set per frame; the
// arm is solved from the valve (its end stays on the stem top) and the lever
// from the rod (its end stays on the rod top). The lever turns on the control
// eccentric, whose setting differs between the two sets; the arm's pin rides
// loose in the lever's larger ring.
#pragma once

#include <array>

#include "pictures/cam_profile.hpp"
#include "pictures/geometry.hpp"

namespace dorvik::frames {

inline constexpr int kSets = 2;

// Valve travel in pixels in frames 1..18, small-lift set first.
inline constexpr std::array<std::array<int, kFramesPerSet>, kSets> kValveTravel = {{
    {0, 0, 2, 6, 7, 5, 4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 1, 13, 23, 27, 21, 15, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
}};

// Fixed points and sizes of the drawing, in pixels.
namespace layout {
inline constexpr Vec kCamCentre{262, 452};
inline constexpr double kCamBase = 62;
inline constexpr double kCamHub = 20;
// The follower face at rest (its pixel row) and the rod.
inline constexpr int kFaceRow = 452 - 62 - 1;
inline constexpr int kRodX = 262;
inline constexpr int kRodHalfWidth = 6;
inline constexpr int kRodCapHalfWidth = 8;  // the rod's top, where the lever bears
inline constexpr int kRodTopRow = 146;
// The valve: stem axis, the stem's top row and the head's bottom row, closed.
inline constexpr int kValveX = 46;
inline constexpr int kStemTopRow = 111;
inline constexpr int kHeadBottomRow = 486;
// The arm's shaft.
inline constexpr Vec kArmShaft{132, 118};
}  // namespace layout

// Where the parts stand in one frame.
struct Pose {
  double cam_turn = 0;  // radians, counterclockwise on the screen
  int rise = 0;         // follower and rod, pixels up
  int travel = 0;       // valve, pixels down
  double arm_turn = 0;  // counterclockwise on the screen
  double lever_turn = 0;
  Vec lever_origin;         // the lever's pivot: the eccentric's centre
  double control_turn = 0;  // the control part: 0 upright
};

// Frame 1..18 of set 0 or 1.
Pose SolvePose(int set, int frame);

// Part geometry in the part's own frame (turn 0), shared by the drawing.
namespace part {
// The arm, relative to its shaft.
// The end resting on the valve stem sits above the shaft's line, so that its
// lowest point stays over the stem as the arm turns.
inline constexpr Vec kArmPad{-(132 - 46), -13.5};
inline constexpr double kArmPadRadius = 6;
inline constexpr Vec kArmPin{30, 0};
inline constexpr double kArmPinRadius = 4;
inline constexpr double kShaftRadius = 7;
// The lever, relative to its pivot (the eccentric's centre), as it stands at
// rest in the small-lift set.
inline constexpr Vec kLeverPinRing{162 - 82, 121 - 74};
inline constexpr double kPinRingRadius = 11;  // hole around the arm's pin
inline constexpr Vec kLeverPad{260 - 82, 146 - 0.5 - 7 - 74};
inline constexpr double kLeverPadRadius = 7;
// The control part: an eccentric disc on a shaft, turned by a handle.
inline constexpr double kEccentricRadius = 20;
inline constexpr double kStrapRadius = 21;  // the lever's ring around the eccentric
inline constexpr double kHandleLength = 40;
}  // namespace part

// Where the control shaft (the black cross) stands, and the eccentric's
// centre relative to it with the handle upright.
Vec ControlShaft();
Vec EccentricOffset();

// Centres of the moving joints in a pose.
Vec ArmPinCentre(const Pose& pose);
Vec EccentricCentre(const Pose& pose);
Vec LeverPoint(const Pose& pose, Vec on_lever);

}  // namespace dorvik::frames
