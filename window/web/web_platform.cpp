#include "window/web/web_platform.hpp"

#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <span>

#include "pictures/bitmap_decode.hpp"
#include "pictures/window_definition.hpp"

// The browser side, in dorvik_page.js. The one that takes control away from
// the wasm code (yield) is an Asyncify import: the call stack is kept while
// the browser runs, and the call returns into it afterwards.
extern "C" {
void dorvik_page_open();
void dorvik_page_pictures(const std::uint32_t* const* pixels, const int* widths, const int* heights,
                          int count);
void dorvik_page_yield();
void dorvik_page_share();
int dorvik_page_take(dorvik::web::PageEvent* event);
void dorvik_page_paint(int picture);
[[noreturn]] void dorvik_page_end(int error_number, const char* error_text);
}

namespace dorvik::web {

namespace {

// One row of palette indices to RGBA pixels, eight at a time where eight are
// the same (most of a line drawing is its white ground). The indices may lie
// in the pixels' own memory, ahead of them: each is read before a pixel is
// written. A function of its own, called for every row: the browser compiles
// a hot function again, optimised, after some calls, while a long loop would
// run to its end in the first, quick code.
[[gnu::noinline]] void LookUpRow(const std::uint8_t* indices, std::uint32_t* pixels, int width,
                                 const std::array<std::uint32_t, 256>& colours) {
  constexpr std::uint64_t kEveryByte = 0x0101010101010101U;
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, indices + x, sizeof eight);
    if (eight == (eight & 0xFF) * kEveryByte) {
      const std::uint64_t two = colours[eight & 0xFF] * 0x100000001U;
      for (int i = 0; i < 8; i += 2) std::memcpy(pixels + x + i, &two, sizeof two);
    } else {
      for (int i = 0; i < 8; ++i) pixels[x + i] = colours[indices[x + i]];
    }
  }
  for (; x < width; ++x) pixels[x] = colours[indices[x]];
}

// A frame picture as the page holds it: its number among the pictures
// handed to the page.
class WebPicture final : public DecodedPicture {
 public:
  explicit WebPicture(int index) : index(index) {}
  const int index;
};

}  // namespace

WebPlatform::WebPlatform() {
  dorvik_page_open();
  try {
    DecodeHolderPictures();
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  }
}

// Every holder's stored bitmap file is decoded here, once, by the program's
// own decoder. The colours are looked up once for each picture, into the RGBA
// pixels that the canvas takes as they are, before the picture is first shown
// (LookUpColours): showing a frame hands the page one of them, with no
// decoding and no conversion.
void WebPlatform::DecodeHolderPictures() {
  // Room for the pixels of pictures of the stored size: static, so zero
  // before the program runs, and written by nothing else. Each picture's
  // indices (one byte a pixel, 0 where the data skips one) are decoded into
  // the last quarter of its part, which needs no clearing, and its colours
  // looked up in place, front to back: each index is read before its pixel's
  // four bytes are written, and those never reach an index not yet read.
  static std::uint32_t pool[Dorvik2Lifts::kSlots * 360 * 552];
  std::size_t pool_used = 0;
  std::array<const std::uint32_t*, Dorvik2Lifts::kSlots> pixels{};
  std::array<int, Dorvik2Lifts::kSlots> widths{};
  std::array<int, Dorvik2Lifts::kSlots> heights{};
  for (int slot = 0; slot < Dorvik2Lifts::kSlots; ++slot) {
    const auto at = static_cast<std::size_t>(slot);
    const BitmapLayout layout = ReadBitmapLayout(HolderBitmapFile(slot + 1));
    const std::size_t count =
        static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height);
    std::uint32_t* rgba = nullptr;
    if (count <= std::size(pool) - pool_used) {
      rgba = pool + pool_used;
      pool_used += count;
    } else {  // a picture of another size: room of its own, cleared
      extra_pixels_[at] = std::make_unique<std::uint32_t[]>(count);
      rgba = extra_pixels_[at].get();
    }
    DecodeBitmapPixels(layout, reinterpret_cast<std::uint8_t*>(rgba) + 3 * count, layout.width);
    Decoded& decoded = decoded_[at];
    decoded = {rgba, layout.width, layout.height, {}, false};
    // Opaque R, G, B, A bytes in memory: a little-endian word A B G R.
    decoded.colours.fill(0xFF000000U);
    for (int i = 0; i < layout.colours; ++i) {
      const auto entry = layout.colour_table.subspan(static_cast<std::size_t>(4 * i), 4);
      decoded.colours[static_cast<std::size_t>(i)] =
          0xFF000000U | static_cast<std::uint32_t>(entry[0]) << 16 |
          static_cast<std::uint32_t>(entry[1]) << 8 | entry[2];
    }
    pixels[at] = rgba;
    widths[at] = layout.width;
    heights[at] = layout.height;
    holders_.Set(slot + 1, std::make_shared<const WebPicture>(slot));
  }
  dorvik_page_pictures(pixels.data(), widths.data(), heights.data(), Dorvik2Lifts::kSlots);
}

void WebPlatform::LookUpColours(int index) {
  Decoded& decoded = decoded_[static_cast<std::size_t>(index)];
  if (decoded.looked_up) return;
  const auto width = static_cast<std::size_t>(decoded.width);
  const std::size_t count = width * static_cast<std::size_t>(decoded.height);
  const auto* indices = reinterpret_cast<const std::uint8_t*>(decoded.pixels) + 3 * count;
  for (std::size_t row = 0; row < count; row += width) {
    LookUpRow(indices + row, decoded.pixels + row, decoded.width, decoded.colours);
  }
  decoded.looked_up = true;
}

void WebPlatform::Run(Dorvik2Lifts& form) {
  form_ = &form;
  try {
    Paint();
    form.Form_Activate();
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  } catch (const std::bad_alloc&) {
    ReportRunTimeError(RunTimeError(error_number::kOutOfMemory, "Out of memory"));
  }
  // Form_Activate returns only when called a second time; nothing does.
  EndProcess();
}

void WebPlatform::ShowPicture(const Picture& picture) {
  const auto* web_picture = dynamic_cast<const WebPicture*>(picture.get());
  if (web_picture == nullptr) {
    throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
  }
  // The same picture again changes nothing on the screen: no repaint.
  if (web_picture->index != current_index_) needs_paint_ = true;
  current_ = picture;
  current_index_ = web_picture->index;
}

// The new picture goes onto the canvas first, so the browser can show it
// while it has control; the input that it queued meanwhile is then handled
// here, in arrival order, on this call stack. The first pumps (the loading
// stage's 34) also look up the colours of two pictures each, so that the
// first frame waits for one picture's alone.
void WebPlatform::PumpEvents() {
  if (needs_paint_) Paint();
  for (int done = 0; done < 2 && next_to_look_up_ < Dorvik2Lifts::kSlots; ++done) {
    LookUpColours(next_to_look_up_++);
  }
  dorvik_page_yield();
  turn_began_ = -1;
  PageEvent event{};
  while (dorvik_page_take(&event) != 0) {
    if (form_ != nullptr) Deliver(*form_, event);
  }
  if (needs_paint_) Paint();
}

// The clock is read from the first chunk of a pass's count on: a pass that
// counts nothing (k < 0) reads it not at all.
bool WebPlatform::TurnOver() {
  const double now = emscripten_get_now();
  if (turn_began_ < 0) turn_began_ = now;
  return now - turn_began_ >= kTurnMilliseconds;
}

// The browser runs what waits (input is queued for the next pump, painting),
// then the count goes on: no handler runs here.
void WebPlatform::GiveBack() {
  dorvik_page_share();
  turn_began_ = emscripten_get_now();
}

Picture WebPlatform::HolderPicture(int number) { return holders_.Get(number); }

void WebPlatform::ClearWindow() {
  current_.reset();
  current_index_ = -1;
  Paint();
}

void WebPlatform::EndProcess() { dorvik_page_end(0, nullptr); }

void WebPlatform::ReportRunTimeError(const RunTimeError& error) {
  dorvik_page_end(error.number(), error.text());
}

void WebPlatform::Paint() {
  if (current_index_ >= 0) LookUpColours(current_index_);
  dorvik_page_paint(current_index_);
  needs_paint_ = false;
}

}  // namespace dorvik::web
