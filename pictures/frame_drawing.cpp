#include "pictures/frame_drawing.hpp"

#include <algorithm>
#include <cmath>

#include "pictures/cam_profile.hpp"
#include "pictures/mechanism.hpp"

namespace dorvik::frames {
namespace {

using layout::kRodX;

// Shapes of the parts that only slide are built at rest and drawn shifted by
// whole pixels, so their pixels move exactly with the rise or travel.
Canvas Shifted(const Shape& shape, std::uint8_t colour, int dy) {
  Canvas layer;
  DrawOutline(layer, shape, colour);
  Canvas out;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (layer.At(x, y) != kWhite) out.Set(x, y + dy, layer.At(x, y));
  return out;
}

void Overlay(Canvas& canvas, const Canvas& layer) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (layer.At(x, y) != kWhite) canvas.Set(x, y, layer.At(x, y));
}

void DrawCam(Canvas& canvas, double turn) {
  const Vec centre = layout::kCamCentre;
  DrawOutline(canvas, CamShape(centre, CamOutline(centre, layout::kCamBase, turn)), kBlack);
  // The hub, with a keyway that turns with the cam.
  const Vec key = centre + TurnOnScreen({layout::kCamHub, 0}, turn + Degrees(90));
  DrawOutline(canvas, Shape::Disc(centre, layout::kCamHub) | Shape::Capsule(centre, key, 3),
              kBlack);
  Fill(canvas, Shape::Disc(centre, 1.5), kBlack);
}

// The cup follower with the rod's ball end seated in it, and the rod, a tube
// closed by its end fittings, up to its capped top; at rest.
Shape FollowerAndRod() {
  const double face = layout::kFaceRow;
  const double x = kRodX;
  const Shape cup = Shape::Rect(x - 32, face - 30, x + 32, face) -
                    Shape::Rect(x - 26, face - 40, x + 26, face - 6);
  const double top = layout::kRodTopRow;
  const double wall = layout::kRodHalfWidth;
  const Shape rod =
      (Shape::Rect(x - layout::kRodCapHalfWidth, top, x + layout::kRodCapHalfWidth, top + 5) |
       Shape::Rect(x - wall, top + 5, x + wall, face - 16) | Shape::Disc({x, face - 14}, 8)) -
      Shape::Rect(x - wall + 3.5, top + 12, x + wall - 3.5, face - 26);
  return cup | rod;
}

// The rod's break mark: a zigzag across the rod halfway up, moving with it.
void DrawBreakMark(Canvas& canvas, int rise) {
  const int y = (layout::kRodTopRow + layout::kFaceRow) / 2 - rise;
  const int x = kRodX;
  for (int i = -2; i < 2; ++i) {
    const int from = (i % 2 == 0) ? 3 : -3;
    DrawLine(canvas, x + 6 * i, y + from, x + 6 * i + 6, y - from, kBlack);
  }
}

// Half-width of the valve's flare at row y of the closed valve.
double FlareHalfWidth(double y) {
  const double t = (y - 440) / 36;
  return 3.5 + 26.5 * t * t;
}

Shape Valve() {
  const double x = layout::kValveX;
  Polygon head;
  for (int y = 440; y <= 476; y += 2) head.push_back({x + FlareHalfWidth(y), 1.0 * y});
  head.push_back({x + 30, 481});
  head.push_back({x + 27, layout::kHeadBottomRow});
  head.push_back({x - 27, layout::kHeadBottomRow});
  head.push_back({x - 30, 481});
  for (int y = 476; y >= 440; y -= 2) head.push_back({x - FlareHalfWidth(y), 1.0 * y});
  return Shape::Rect(x - 3, layout::kStemTopRow, x + 3, 444) | Shape::Area(head);
}

// Two seat wedges filling the corner beside the closed valve's flare.
void DrawSeatMarks(Canvas& canvas) {
  const double x = layout::kValveX;
  for (int side : {-1, 1}) {
    const double inner = x + side * (FlareHalfWidth(458) - 1);
    const double outer = x + side * (FlareHalfWidth(468) + 1);
    DrawOutline(canvas,
                Shape::Rect(std::min(inner, outer), 458, std::max(inner, outer), 468) - Valve(),
                kBlack);
  }
}

void DrawArm(Canvas& canvas, const Pose& pose) {
  const Vec shaft = layout::kArmShaft;
  auto at = [&](Vec local) { return shaft + TurnOnScreen(local, pose.arm_turn); };
  const Vec pad = at(part::kArmPad), pin = at(part::kArmPin);
  const Shape arm = (Shape::Disc(shaft, 13) | Shape::Capsule(shaft, pad, 5) |
                     Shape::Disc(pad, part::kArmPadRadius) | Shape::Capsule(shaft, pin, 6) |
                     Shape::Disc(pin, 8)) -
                    Shape::Disc(shaft, part::kShaftRadius + 1) -
                    Shape::Disc(pin, part::kArmPinRadius);
  DrawOutline(canvas, arm, kBlue);
}

void DrawLever(Canvas& canvas, const Pose& pose) {
  const Vec pivot = LeverPoint(pose, {0, 0});
  const Vec ring = LeverPoint(pose, part::kLeverPinRing);
  const Vec pad = LeverPoint(pose, part::kLeverPad);
  const Shape lever = (Shape::Disc(pivot, part::kStrapRadius + 4) | Shape::Capsule(pivot, ring, 6) |
                       Shape::Disc(ring, part::kPinRingRadius + 4) | Shape::Capsule(ring, pad, 5) |
                       Shape::Disc(pad, part::kLeverPadRadius)) -
                      Shape::Disc(pivot, part::kStrapRadius) -
                      Shape::Disc(ring, part::kPinRingRadius);
  DrawOutline(canvas, lever, kGreen);
}

void DrawControl(Canvas& canvas, const Pose& pose) {
  const Vec shaft = ControlShaft();
  const Vec knob = shaft + TurnOnScreen({0, -part::kHandleLength}, pose.control_turn);
  const Shape control = Shape::Disc(EccentricCentre(pose), part::kEccentricRadius) |
                        Shape::Capsule(shaft, knob, 4) | Shape::Disc(knob, 6);
  DrawOutline(canvas, control, kRed);
}

void DrawCross(Canvas& canvas, Vec at) {
  const int x = static_cast<int>(std::lround(at.x)), y = static_cast<int>(std::lround(at.y));
  DrawLine(canvas, x - 4, y, x + 4, y, kBlack);
  DrawLine(canvas, x, y - 4, x, y + 4, kBlack);
}

}  // namespace

Canvas DrawFrame(int set, int frame) {
  const Pose pose = SolvePose(set, frame);
  Canvas canvas;
  DrawCam(canvas, pose.cam_turn);
  Overlay(canvas, Shifted(FollowerAndRod(), kBlue, -pose.rise));
  Overlay(canvas, Shifted(Valve(), kRed, pose.travel));
  DrawArm(canvas, pose);
  DrawLever(canvas, pose);
  DrawControl(canvas, pose);
  // The black marks last, so that no moving part covers them.
  DrawOutline(canvas, Shape::Disc(layout::kArmShaft, part::kShaftRadius), kBlack);
  DrawCross(canvas, ControlShaft());
  DrawSeatMarks(canvas);
  DrawBreakMark(canvas, pose.rise);
  return canvas;
}

}  // namespace dorvik::frames
