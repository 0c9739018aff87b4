// dorvik-frames DIR, run as a program: the files it writes and how it refuses
// what it cannot do.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "pictures/window_definition.hpp"
#include "tests/pictures/decoded_frames.hpp"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string errors;
};

ToolRun Frames(const std::string& arguments) {
  const fs::path log = fs::temp_directory_path() / "dorvik_frames_test.err";
  const std::string command = std::string(DORVIK_FRAMES) + " " + arguments + " 2>" + log.string();
  const int raw = std::system(command.c_str());
  std::ifstream in(log);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
          std::string(std::istreambuf_iterator<char>(in), {})};
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FramesTool, WritesTheSlotsByteForByteAndBothFigures) {
  const fs::path dir = fs::temp_directory_path() / "dorvik_frames_test" / "out";
  fs::remove_all(dir.parent_path());
  ASSERT_EQ(Frames(dir.string()).status, 0);
  for (int slot = 0; slot < 36; ++slot) {
    char name[24];  // room for any int, so no truncation is possible
    std::snprintf(name, sizeof name, "slot%02d.bmp", slot);
    const auto embedded = dorvik::HolderBitmapFile(slot + 1);
    EXPECT_EQ(ReadFile(dir / name), std::vector<std::uint8_t>(embedded.begin(), embedded.end()))
        << name;
  }
  const std::vector<std::uint8_t> png_signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  for (const char* figure : {"frames.png", "lift.png"}) {
    const auto bytes = ReadFile(dir / figure);
    ASSERT_GT(bytes.size(), png_signature.size()) << figure;
    EXPECT_TRUE(std::equal(png_signature.begin(), png_signature.end(), bytes.begin())) << figure;
  }
  fs::remove_all(dir.parent_path());
}

// Each set's turn, read back with giflib: frame f has slot 18 * set + f's
// indices in the stored colours, a tenth of a second, looping forever.
TEST(FramesTool, WritesEachSetAsALoopingGifOfItsSlots) {
  const fs::path dir = fs::temp_directory_path() / "dorvik_frames_gif_test";
  ASSERT_EQ(Frames(dir.string()).status, 0);
  for (const auto& [set, name] : {std::pair{0, "small-lift.gif"}, {1, "large-lift.gif"}}) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName((dir / name).string().c_str(), &error);
    ASSERT_NE(gif, nullptr) << name << ": " << GifErrorString(error);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << name << ": " << GifErrorString(gif->Error);
    ASSERT_EQ(gif->ImageCount, 18) << name;
    ASSERT_NE(gif->SColorMap, nullptr) << name;
    std::vector<std::array<std::uint8_t, 3>> colours;
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i)
      colours.push_back({gif->SColorMap->Colors[i].Red, gif->SColorMap->Colors[i].Green,
                         gif->SColorMap->Colors[i].Blue});
    for (int f = 0; f < 18; ++f) {
      const DecodedFrame& slot = DecodedSlots()[static_cast<std::size_t>(18 * set + f)];
      const GifImageDesc& image = gif->SavedImages[f].ImageDesc;
      EXPECT_EQ(colours, slot.palette) << name << " frame " << f;
      EXPECT_EQ(image.ColorMap, nullptr) << name << " frame " << f;  // the global colours
      ASSERT_EQ(
          (std::array{gif->SWidth, gif->SHeight, image.Left, image.Top, image.Width, image.Height}),
          (std::array{slot.width, slot.height, 0, 0, slot.width, slot.height}));
      EXPECT_TRUE(
          std::equal(slot.indices.begin(), slot.indices.end(), gif->SavedImages[f].RasterBits))
          << name << " frame " << f;
      GraphicsControlBlock timing{};
      ASSERT_EQ(DGifSavedExtensionToGCB(gif, f, &timing), GIF_OK) << name << " frame " << f;
      EXPECT_EQ((std::array{timing.DelayTime, timing.TransparentColor}),
                (std::array{10, NO_TRANSPARENT_COLOR}))
          << name << " frame " << f;
    }
    // The loop: "NETSCAPE2.0", then sub-block 1 with a count of 0 (forever).
    const SavedImage& first = gif->SavedImages[0];
    const ExtensionBlock* begin = first.ExtensionBlocks;
    const ExtensionBlock* end = begin + first.ExtensionBlockCount;
    const ExtensionBlock* loop = std::find_if(begin, end, [](const ExtensionBlock& b) {
      return b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
             std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0;
    });
    ASSERT_LT(loop + 1, end) << name;
    EXPECT_EQ(std::vector<std::uint8_t>(loop[1].Bytes, loop[1].Bytes + loop[1].ByteCount),
              (std::vector<std::uint8_t>{1, 0, 0}))
        << name;
    DGifCloseFile(gif, &error);
  }
  fs::remove_all(dir);
}

TEST(FramesTool, RefusesWithAMessageAndAFailureStatus) {
  const fs::path file = fs::temp_directory_path() / "dorvik_frames_test_file";
  std::ofstream(file) << "a file, not a directory";
  struct Case {
    const char* name;
    std::string arguments;
  };
  const Case cases[] = {
      {"no directory", ""},
      {"two directories", "a b"},
      {"an option", "--help"},
      {"directory under a file", (file / "out").string()},
  };
  for (const Case& c : cases) {
    const ToolRun run = Frames(c.arguments);
    EXPECT_NE(run.status, 0) << c.name;
    EXPECT_NE(run.errors.find("dorvik-frames"), std::string::npos) << c.name << ": " << run.errors;
  }
  fs::remove(file);
}

}  // namespace
