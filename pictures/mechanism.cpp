#include "pictures/mechanism.hpp"

#include <cmath>

namespace dorvik::frames {
namespace {

// Turn of the control part per set: upright, then 45° to the left.
constexpr double kControlTurn[kSets] = {0, 45};

// Height of the arm's pin above the centre of the lever's ring with the gear
// at rest, per set: the small-lift set starts with the pin high in the ring,
// the large-lift set with the pin low, so the pin has room for its travel.
constexpr double kPinAboveRingAtRest[kSets] = {3, -3};

// Bisection for the x in [lo, hi] where a rising function crosses zero.
template <typename F>
double Bisect(F f, double lo, double hi) {
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    (f(mid) < 0 ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// Arm turn that puts the arm's end on the stem top; the end drops as the arm
// turns counterclockwise.
double SolveArmTurn(int travel) {
  const double pad_bottom = layout::kStemTopRow + travel - 0.5 - part::kArmPadRadius;
  return Bisect(
      [&](double turn) {
        return (layout::kArmShaft + TurnOnScreen(part::kArmPad, turn)).y - pad_bottom;
      },
      -0.6, 0.6);
}

// Lever turn about `pivot` that puts the lever's end on the rod top; the end
// rises as the lever turns counterclockwise.
double SolveLeverTurn(Vec pivot, int rise) {
  const double pad_bottom = layout::kRodTopRow - rise - 0.5 - part::kLeverPadRadius;
  return Bisect(
      [&](double turn) { return pad_bottom - (pivot + TurnOnScreen(part::kLeverPad, turn)).y; },
      -0.6, 0.6);
}

// The lever's pivot at rest in each set: where the lever, with its end on the
// rod and the pin at its rest height in the ring, has its pivot.
Vec PivotAtRest(int set) {
  const Vec pin = layout::kArmShaft + part::kArmPin;
  const Vec ring{pin.x, pin.y + kPinAboveRingAtRest[set]};
  const double pad_y = layout::kRodTopRow - 0.5 - part::kLeverPadRadius;
  // The lever's turn: the ring-to-pad line must end on the pad's rest height.
  const Vec ring_to_pad = part::kLeverPad - part::kLeverPinRing;
  const double turn =
      Bisect([&](double t) { return pad_y - (ring + TurnOnScreen(ring_to_pad, t)).y; }, -0.6, 0.6);
  return ring - TurnOnScreen(part::kLeverPinRing, turn);
}

}  // namespace

// The control shaft sits where turning the handle 45° carries the eccentric
// from its small-lift place to its large-lift place.
Vec ControlShaft() {
  const Vec a = PivotAtRest(0), b = PivotAtRest(1);
  const Vec middle = 0.5 * (a + b);
  const Vec chord = b - a;
  const double reach = 0.5 * Length(chord) / std::tan(Degrees(kControlTurn[1] / 2));
  const Vec across = (1.0 / Length(chord)) * Vec{chord.y, -chord.x};
  return middle + reach * across;
}

Vec EccentricOffset() { return PivotAtRest(0) - ControlShaft(); }

Vec ArmPinCentre(const Pose& pose) {
  return layout::kArmShaft + TurnOnScreen(part::kArmPin, pose.arm_turn);
}

Vec EccentricCentre(const Pose& pose) {
  return ControlShaft() + TurnOnScreen(EccentricOffset(), pose.control_turn);
}

Vec LeverPoint(const Pose& pose, Vec on_lever) {
  return pose.lever_origin + TurnOnScreen(on_lever, pose.lever_turn);
}

Pose SolvePose(int set, int frame) {
  Pose pose;
  pose.cam_turn = Degrees(kStepDegrees * (frame - 1));
  pose.rise = kFollowerRise[frame - 1];
  pose.travel = kValveTravel[set][frame - 1];
  pose.arm_turn = SolveArmTurn(pose.travel);
  pose.control_turn = Degrees(kControlTurn[set]);
  pose.lever_origin = EccentricCentre(pose);
  pose.lever_turn = SolveLeverTurn(pose.lever_origin, pose.rise);
  return pose;
}

}  // namespace dorvik::frames
