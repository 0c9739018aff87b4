// dorvik-frames DIR, run as a program: the files it writes and how it refuses
// what it cannot do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pictures/window_definition.hpp"

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
