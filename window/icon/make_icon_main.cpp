// dorvik-icon OUTDIR [SIZE...]: writes the program's icon as OUTDIR/dorvik.ico
// (32 x 32 in 2 colours, 32 x 32 in 16 colours, 16 x 16 in 16 colours) for the
// Windows resources and, for the Linux desktop's icon theme, OUTDIR/dorvik-N.png
// (N x N, RGBA) for each SIZE N given.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "window/icon/cam_icon.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, unsigned v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

struct IconImage {
  int size;
  int bits;  // 1 or 4
};

// One icon image: an information header for double height, the colour
// table, the colour bits and the transparency mask, both bottom row first.
Bytes EncodeImage(const IconImage& image) {
  const bool two = image.bits == 1;
  const Bytes art = dorvik::icon::DrawCamIcon(image.size, two);
  const int colours = 1 << image.bits;
  const int xor_stride = ((image.size * image.bits + 31) / 32) * 4;
  const int and_stride = ((image.size + 31) / 32) * 4;

  Bytes out;
  Put32(out, 40);
  Put32(out, image.size);
  Put32(out, image.size * 2);
  Put16(out, 1);
  Put16(out, image.bits);
  Put32(out, 0);
  Put32(out, (xor_stride + and_stride) * image.size);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (int i = 0; i < colours; ++i) {
    const auto rgb =
        dorvik::icon::kPalette[two ? (i == 0 ? dorvik::icon::kBlack : dorvik::icon::kWhite)
                                   : static_cast<std::size_t>(i)];
    out.insert(out.end(), {rgb.b, rgb.g, rgb.r, 0});
  }
  Bytes colour_rows, mask_rows;
  for (int y = image.size - 1; y >= 0; --y) {
    Bytes row(static_cast<std::size_t>(xor_stride), 0),
        mask(static_cast<std::size_t>(and_stride), 0);
    for (int x = 0; x < image.size; ++x) {
      std::uint8_t index = art[static_cast<std::size_t>(y) * image.size + x];
      if (index == dorvik::icon::kClear) {
        mask[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        index = 0;
      }
      if (two) {
        if (index == dorvik::icon::kWhite) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      } else {
        row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
      }
    }
    colour_rows.insert(colour_rows.end(), row.begin(), row.end());
    mask_rows.insert(mask_rows.end(), mask.begin(), mask.end());
  }
  out.insert(out.end(), colour_rows.begin(), colour_rows.end());
  out.insert(out.end(), mask_rows.begin(), mask_rows.end());
  return out;
}

Bytes EncodeIco() {
  const IconImage images[] = {{32, 1}, {32, 4}, {16, 4}};
  Bytes head, body;
  Put16(head, 0);
  Put16(head, 1);
  Put16(head, 3);
  unsigned offset = 6 + 16 * 3;
  for (const IconImage& image : images) {
    const Bytes data = EncodeImage(image);
    head.push_back(static_cast<std::uint8_t>(image.size));
    head.push_back(static_cast<std::uint8_t>(image.size));
    head.push_back(static_cast<std::uint8_t>(1 << image.bits));
    head.push_back(0);
    Put16(head, 1);
    Put16(head, image.bits);
    Put32(head, static_cast<unsigned>(data.size()));
    Put32(head, offset);
    offset += static_cast<unsigned>(data.size());
    body.insert(body.end(), data.begin(), data.end());
  }
  head.insert(head.end(), body.begin(), body.end());
  return head;
}

bool WritePng(const std::string& path, int size) {
  const Bytes art = dorvik::icon::DrawCamIcon(size, false);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(size);
  image.height = static_cast<png_uint_32>(size);
  image.format = PNG_FORMAT_RGBA;
  Bytes rgba;
  for (std::uint8_t index : art) {
    if (index == dorvik::icon::kClear) {
      rgba.insert(rgba.end(), {0, 0, 0, 0});
    } else {
      const auto c = dorvik::icon::kPalette[index];
      rgba.insert(rgba.end(), {c.r, c.g, c.b, 255});
    }
  }
  return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 8 || size > 1024) {
      std::fprintf(stderr, "dorvik-icon: not an icon size: %s\n", argv[i]);
      return 2;
    }
    sizes.push_back(size);
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: dorvik-icon OUTDIR [SIZE...]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const Bytes ico = EncodeIco();
  std::ofstream out(dir + "/dorvik.ico", std::ios::binary);
  out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "dorvik-icon: cannot write %s/dorvik.ico\n", dir.c_str());
    return 1;
  }
  for (int size : sizes) {
    const std::string path = dir + "/dorvik-" + std::to_string(size) + ".png";
    if (!WritePng(path, size)) {
      std::fprintf(stderr, "dorvik-icon: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
