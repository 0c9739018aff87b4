// dorvik-frames DIR: writes the 36 frame pictures exactly as the program
// carries them (DIR/slot00.bmp .. DIR/slot35.bmp, slot i being Image<i+1>), a
// contact sheet DIR/frames.png, a lift chart DIR/lift.png, the window's
// title and client size as the program lays it out (DIR/window.json), for
// the checks of what the window shows, and one turn of each set as a looping
// GIF for slides (DIR/small-lift.gif, DIR/large-lift.gif).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include "core/window_layout.hpp"
#include "pictures/picture_record.hpp"
#include "pictures/window_definition.hpp"
#include "tools/frame_figures.hpp"
#include "tools/slide_gif.hpp"

namespace {

bool WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

// The window's title and client size, as JSON.
std::string WindowJson() {
  std::string title;
  for (const char* c = dorvik::layout::kTitle; *c != '\0'; ++c) {
    if (*c == '"' || *c == '\\') title += '\\';
    title += *c;
  }
  return "{\"title\": \"" + title + "\", \"client_size\": [" +
         std::to_string(dorvik::layout::kClientWidth) + ", " +
         std::to_string(dorvik::layout::kClientHeight) + "]}\n";
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "dorvik-frames: %s\n", message.c_str());
  return 1;
}

int WriteAll(const std::filesystem::path& dir) {
  for (int slot = 0; slot < dorvik::kHolderCount; ++slot) {
    char name[24];  // room for any int, so no truncation is possible
    std::snprintf(name, sizeof name, "slot%02d.bmp", slot);
    if (!WriteFile(dir / name, dorvik::HolderBitmapFile(slot + 1)))
      return Fail("cannot write " + (dir / name).string());
  }
  if (!dorvik::tools::WritePng((dir / "frames.png").string(), dorvik::tools::ContactSheet()))
    return Fail("cannot write " + (dir / "frames.png").string());
  if (!dorvik::tools::WritePng((dir / "lift.png").string(), dorvik::tools::LiftChart()))
    return Fail("cannot write " + (dir / "lift.png").string());
  const std::string window = WindowJson();
  if (!WriteFile(dir / "window.json",
                 {reinterpret_cast<const std::uint8_t*>(window.data()), window.size()}))
    return Fail("cannot write " + (dir / "window.json").string());
  for (const auto& [set, name] : {std::pair{0, "small-lift.gif"}, std::pair{1, "large-lift.gif"}})
    if (!WriteFile(dir / name, dorvik::tools::SlideGif(set)))
      return Fail("cannot write " + (dir / name).string());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]).empty() || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: dorvik-frames DIR\n"
                 "writes DIR/slot00.bmp .. DIR/slot35.bmp, DIR/frames.png, DIR/lift.png,\n"
                 "DIR/window.json, DIR/small-lift.gif and DIR/large-lift.gif\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  std::error_code not_there;
  if (!std::filesystem::is_directory(dir, not_there))
    return Fail("cannot create directory " + dir.string() +
                (error ? ": " + error.message() : std::string()));

  try {
    return WriteAll(dir);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
