#include "tools/slide_gif.hpp"

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "pictures/bitmap_decode.hpp"
#include "pictures/window_definition.hpp"

namespace dorvik::tools {
namespace {

constexpr int kFramesPerSet = 18;
constexpr int kMapSize = 256;  // 8-bit indices; a GIF colour map has 2^n entries

struct MapFree {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
struct GifDrop {
  void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};

int Append(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

void Check(int result, const GifFileType* gif, const char* step) {
  if (result != GIF_OK)
    throw std::runtime_error(std::string("GIF ") + step + ": " + GifErrorString(gif->Error));
}

}  // namespace

std::vector<std::uint8_t> SlideGif(int set) {
  const BitmapLayout first = ReadBitmapLayout(HolderBitmapFile(kFramesPerSet * set + 1));
  std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(kMapSize, nullptr));
  if (!map) throw std::runtime_error("GIF: out of memory");
  // The decoder takes at most 256 colours; the entries past the table, black.
  std::fill_n(map->Colors, kMapSize, GifColorType{0, 0, 0});
  for (int i = 0; i < first.colours; ++i) {
    const auto entry = first.colour_table.subspan(static_cast<std::size_t>(4 * i), 4);
    map->Colors[i] = {entry[2], entry[1], entry[0]};
  }

  std::vector<std::uint8_t> bytes;
  int error = 0;
  std::unique_ptr<GifFileType, GifDrop> gif(EGifOpen(&bytes, Append, &error));
  if (!gif) throw std::runtime_error(std::string("GIF: ") + GifErrorString(error));
  EGifSetGifVersion(gif.get(), true);
  Check(EGifPutScreenDesc(gif.get(), first.width, first.height, 8, 0, map.get()), gif.get(),
        "screen");
  // The application extension that browsers and slide programs read as
  // "loop": a count of 0 repeats forever.
  const GifByteType loop[] = {1, 0, 0};
  Check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE), gif.get(), "loop");
  Check(EGifPutExtensionBlock(gif.get(), 11, "NETSCAPE2.0"), gif.get(), "loop");
  Check(EGifPutExtensionBlock(gif.get(), sizeof loop, loop), gif.get(), "loop");
  Check(EGifPutExtensionTrailer(gif.get()), gif.get(), "loop");

  const GraphicsControlBlock timing{DISPOSE_DO_NOT, false, kSlideDelay, NO_TRANSPARENT_COLOR};
  GifByteType control[4];
  EGifGCBToExtension(&timing, control);
  for (int frame = 0; frame < kFramesPerSet; ++frame) {
    const BitmapLayout layout = ReadBitmapLayout(HolderBitmapFile(kFramesPerSet * set + frame + 1));
    if (layout.width != first.width || layout.height != first.height ||
        !std::ranges::equal(layout.colour_table, first.colour_table))
      throw std::runtime_error("GIF: the frames differ in size or colours");
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(layout.width * layout.height));
    DecodeBitmapPixels(layout, pixels.data(), layout.width);
    Check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, sizeof control, control), gif.get(),
          "timing");
    Check(EGifPutImageDesc(gif.get(), 0, 0, layout.width, layout.height, false, nullptr), gif.get(),
          "frame");
    for (int y = 0; y < layout.height; ++y)
      Check(EGifPutLine(gif.get(), pixels.data() + y * layout.width, layout.width), gif.get(),
            "frame");
  }
  // Closing writes the trailer.
  if (EGifCloseFile(gif.release(), &error) != GIF_OK)
    throw std::runtime_error(std::string("GIF: ") + GifErrorString(error));
  return bytes;
}

}  // namespace dorvik::tools
