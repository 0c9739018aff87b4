// dorvik-framegen OUTPUT.cpp: draws the 36 frames, stores each as an RLE8
// bitmap in its image control's picture record, and writes the window
// definition's bytes as a C++ source file for the program to carry.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pictures/bitmap_file.hpp"
#include "pictures/frame_drawing.hpp"
#include "pictures/mechanism.hpp"
#include "pictures/picture_record.hpp"

namespace {

void WriteSource(std::ostream& out, const std::vector<std::uint8_t>& bytes) {
  out << "// Written by dorvik-framegen: the window definition and its 36 frame pictures.\n"
         "#include \"pictures/window_definition_data.hpp\"\n\n"
         "namespace dorvik::window_definition_data {\n\n"
         "const std::uint8_t kBytes[] = {\n";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out << static_cast<int>(bytes[i]) << ',';
    if (i % 24 == 23) out << '\n';
  }
  out << "};\nconst std::size_t kSize = sizeof(kBytes);\n\n"
         "}  // namespace dorvik::window_definition_data\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dorvik-framegen OUTPUT.cpp\n");
    return 2;
  }
  using namespace dorvik::frames;
  std::vector<std::vector<std::uint8_t>> files;
  for (int set = 0; set < kSets; ++set)
    for (int frame = 1; frame <= kFramesPerSet; ++frame)
      files.push_back(BitmapFile(DrawFrame(set, frame).Pixels(), kWidth, kHeight));
  const std::string path = argv[1];
  std::ofstream out(path, std::ios::binary);
  if (out) WriteSource(out, dorvik::WindowDefinitionBytes(files));
  out.close();
  if (!out) {
    std::fprintf(stderr, "dorvik-framegen: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
