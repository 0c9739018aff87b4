// Win32 backend, picture decoding: turns a stored bitmap file (8 bits per
// pixel, run-length encoded, bottom row first) into a device-dependent bitmap
// with the GDI's own decoder, once, while the window is built. Showing a frame
// afterwards only selects the bitmap; nothing is decoded per frame.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>

#include "core/platform.hpp"

namespace dorvik::win32 {

class GdiPicture final : public DecodedPicture {
 public:
  GdiPicture(HBITMAP bitmap, int width, int height)
      : bitmap_(bitmap), width_(width), height_(height) {}
  ~GdiPicture() override { DeleteObject(bitmap_); }
  GdiPicture(const GdiPicture&) = delete;
  GdiPicture& operator=(const GdiPicture&) = delete;

  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HBITMAP bitmap_;
  int width_;
  int height_;
};

// Decodes `file` for the device of `screen`. Raises RunTimeError (invalid
// picture) if the bytes are no complete bitmap file or the GDI refuses them.
std::shared_ptr<const GdiPicture> DecodeBitmapFile(std::span<const std::uint8_t> file, HDC screen);

}  // namespace dorvik::win32
