// dorvik-page-layout DIR PAGE_FILE...: writes the window's layout into the
// page, so that the page has no copy of its own. DIR/page_layout.js is the
// script's part (an emscripten JS library, $dorvikLayout): the client area,
// the display area's background and sunken border, the size of the page's
// window round it, and the kinds and field offsets of the input record. Each
// PAGE_FILE (the markup, the style sheet) is written to DIR under its own
// name with every @NAME@ in it replaced by that value: the layout's values,
// and the lesson's numbers from the kinematic model that draws the frames
// (@LIFTS@, @PART_ANCHORS@). Runs on the build machine, during the build; the
// same sources always give the same bytes.
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "core/window_layout.hpp"
#include "pictures/mechanism.hpp"
#include "window/web/page_event.hpp"

namespace {

namespace layout = dorvik::layout;
using dorvik::web::PageEvent;

// The page's frame round the title bar and the client area, in client-area
// pixels, as the style sheet draws it: a border and padding all round, and a
// title bar with padding above and below its text.
constexpr int kFrameBorder = 1;
constexpr int kFramePadding = 3;
constexpr int kTitleBarHeight = 16;
constexpr int kTitleBarPadding = 2;
constexpr int kFrame = kFrameBorder + kFramePadding;
constexpr int kWindowWidth = layout::kClientWidth + 2 * kFrame;
constexpr int kWindowHeight =
    layout::kClientHeight + kTitleBarHeight + 2 * kTitleBarPadding + 2 * kFrame;

std::string CssColour(const layout::Colour& colour) {
  std::ostringstream out;
  out << "'rgb(" << colour.red << ',' << colour.green << ',' << colour.blue << ")'";
  return out.str();
}

std::string RectList(const layout::Rect& rect) {
  std::ostringstream out;
  out << '[' << rect.x << ", " << rect.y << ", " << rect.width << ", " << rect.height << ']';
  return out.str();
}

std::string LayoutLibrary() {
  std::ostringstream out;
  out << "// The window's layout for the page's script, written by dorvik-page-layout\n"
         "// from core/window_layout.hpp and window/web/page_event.hpp.\n"
         "mergeInto(LibraryManager.library, {\n"
         "  $dorvikLayout: {\n"
      << "    clientWidth: " << layout::kClientWidth << ",\n"
      << "    clientHeight: " << layout::kClientHeight << ",\n"
      << "    border: " << layout::kBorder << ",\n"
      << "    innerWidth: " << layout::kInnerWidth << ",\n"
      << "    innerHeight: " << layout::kInnerHeight << ",\n"
      << "    background: " << CssColour(layout::kButtonFace) << ",\n"
      << "    sunkenBorder: [\n";
  for (const layout::BorderLines& lines : layout::kSunkenBorder) {
    out << "      [" << CssColour(lines.colour) << ", [" << RectList(lines.lines[0]) << ", "
        << RectList(lines.lines[1]) << "]],\n";
  }
  out << "    ],\n"
      << "    windowWidth: " << kWindowWidth << ",\n"
      << "    windowHeight: " << kWindowHeight << ",\n"
      << "    kinds: {key: " << PageEvent::kKey << ", move: " << PageEvent::kMove
      << ", click: " << PageEvent::kClick << ", doubleClick: " << PageEvent::kDoubleClick << "},\n"
      << "    fields: {kind: " << offsetof(PageEvent, kind)
      << ", code: " << offsetof(PageEvent, code) << ", button: " << offsetof(PageEvent, button)
      << ", shift: " << offsetof(PageEvent, shift) << ", x: " << offsetof(PageEvent, x)
      << ", y: " << offsetof(PageEvent, y) << "},\n"
      << "  },\n"
         "});\n";
  return out.str();
}

// The title as markup text.
std::string HtmlText(const char* text) {
  std::string escaped;
  for (; *text != '\0'; ++text) {
    switch (*text) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += *text;
    }
  }
  return escaped;
}

// The lift chart's numbers: for frames 1..18, the follower and rod's rise and
// the valve's travel in either set, in the drawing's pixels, as JSON.
std::string Lifts() {
  namespace frames = dorvik::frames;
  std::ostringstream out;
  out << '[';
  for (int frame = 1; frame <= frames::kFramesPerSet; ++frame) {
    out << (frame > 1 ? ", [" : "[") << frames::kFollowerRise[frame - 1];
    for (int set = 0; set < frames::kSets; ++set)
      out << ", " << frames::kValveTravel[set][frame - 1];
    out << ']';
  }
  out << ']';
  return out.str();
}

// A point on each named part, in client-area pixels, for every frame of
// either set, as JSON: {part: [[[x, y] for each frame] for each set]}. Each
// is a point that stays on its part as it moves.
std::string PartAnchors() {
  namespace frames = dorvik::frames;
  namespace at = dorvik::frames::layout;
  namespace part = dorvik::frames::part;
  using frames::Pose;
  using frames::Vec;
  const std::pair<const char*, Vec (*)(const Pose&)> parts[] = {
      // Inside the base circle, which the cam always covers.
      {"cam",
       [](const Pose&) {
         return at::kCamCentre + Vec{-0.5 * at::kCamBase, 0.5 * at::kCamBase};
       }},
      // The cup's left wall, halfway up.
      {"follower",
       [](const Pose& p) {
         return Vec{at::kRodX - 32.0, at::kFaceRow - 15.0 - p.rise};
       }},
      {"rod",
       [](const Pose& p) {
         return Vec{double(at::kRodX + at::kRodHalfWidth),
                    (at::kRodTopRow + at::kFaceRow) / 2.0 - p.rise};
       }},
      {"lever",
       [](const Pose& p) {
         return frames::LeverPoint(p, 0.5 * (part::kLeverPinRing + part::kLeverPad));
       }},
      {"arm",
       [](const Pose& p) {
         return at::kArmShaft + frames::TurnOnScreen(0.5 * part::kArmPad, p.arm_turn);
       }},
      // The stem, a third of the way down to the head.
      {"valve",
       [](const Pose& p) {
         return Vec{at::kValveX + 3.0,
                    at::kStemTopRow + (at::kHeadBottomRow - at::kStemTopRow) / 3.0 + p.travel};
       }},
      // Inside the disc, clear of the control shaft's cross.
      {"eccentric",
       [](const Pose& p) {
         return frames::EccentricCentre(p) + Vec{-0.6 * part::kEccentricRadius, 0};
       }},
  };
  std::ostringstream out;
  out << '{';
  bool first_part = true;
  for (const auto& [name, where] : parts) {
    out << (first_part ? "" : ", ") << '"' << name << "\": [";
    first_part = false;
    for (int set = 0; set < frames::kSets; ++set) {
      out << (set > 0 ? ", [" : "[");
      for (int frame = 1; frame <= frames::kFramesPerSet; ++frame) {
        const Vec point = where(frames::SolvePose(set, frame));
        out << (frame > 1 ? ", [" : "[") << std::lround(point.x) + layout::kBorder << ", "
            << std::lround(point.y) + layout::kBorder << ']';
      }
      out << ']';
    }
    out << ']';
  }
  out << '}';
  return out.str();
}

const std::map<std::string, std::string>& PageValues() {
  static const std::map<std::string, std::string> values{
      {"TITLE", HtmlText(layout::kTitle)},
      {"CLIENT_WIDTH", std::to_string(layout::kClientWidth)},
      {"CLIENT_HEIGHT", std::to_string(layout::kClientHeight)},
      {"WINDOW_WIDTH", std::to_string(kWindowWidth)},
      {"WINDOW_HEIGHT", std::to_string(kWindowHeight)},
      {"FRAME_BORDER", std::to_string(kFrameBorder)},
      {"FRAME_PADDING", std::to_string(kFramePadding)},
      {"TITLE_BAR_HEIGHT", std::to_string(kTitleBarHeight)},
      {"TITLE_BAR_PADDING", std::to_string(kTitleBarPadding)},
      {"LIFTS", Lifts()},
      {"PART_ANCHORS", PartAnchors()},
  };
  return values;
}

bool IsNameCharacter(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }

// `text` with each @NAME@ replaced; false, with `unknown` set, at a name that
// has no value.
bool Substitute(const std::string& text, std::string& out, std::string& unknown) {
  std::size_t from = 0;
  for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', from)) {
    std::size_t end = at + 1;
    while (end < text.size() && IsNameCharacter(text[end])) ++end;
    if (end == at + 1 || end == text.size() || text[end] != '@') {
      out.append(text, from, end - from);
      from = end;
      continue;
    }
    const std::string name = text.substr(at + 1, end - at - 1);
    const auto value = PageValues().find(name);
    if (value == PageValues().end()) {
      unknown = name;
      return false;
    }
    out.append(text, from, at - from);
    out += value->second;
    from = end + 1;
  }
  out.append(text, from);
  return true;
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  return static_cast<bool>(file);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "dorvik-page-layout: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: dorvik-page-layout DIR [PAGE_FILE ...]\n"
                 "writes DIR/page_layout.js, and each PAGE_FILE to DIR with @NAME@ filled in\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return Fail("cannot create " + dir.string() + ": " + error.message());
  if (!WriteText(dir / "page_layout.js", LayoutLibrary())) {
    return Fail("cannot write " + (dir / "page_layout.js").string());
  }
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path source = argv[i];
    std::ifstream in(source, std::ios::binary);
    if (!in) return Fail("cannot read " + source.string());
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string filled;
    std::string unknown;
    if (!Substitute(text, filled, unknown)) {
      return Fail(source.string() + ": no value for @" + unknown + "@");
    }
    if (!WriteText(dir / source.filename(), filled)) {
      return Fail("cannot write " + (dir / source.filename()).string());
    }
  }
  return 0;
}
