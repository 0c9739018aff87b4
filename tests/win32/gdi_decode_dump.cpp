// dorvik-gdi-dump: writes, into the current directory, storedNN.bmp (the bitmap
// file that image control ImageNN carries, byte for byte) and gdiNN.bmp (the
// same picture as the Windows program decodes it with the GDI, read back as an
// uncompressed 24-bit bitmap), for NN = 01..36. Exit status 1 on any failure.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "pictures/window_definition.hpp"
#include "window/win32/gdi_picture.hpp"

namespace {

bool SaveFile(const char* name, std::span<const std::uint8_t> bytes) {
  std::FILE* file = std::fopen(name, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The GDI bitmap's pixels as a 24-bit bottom-up bitmap file.
std::vector<std::uint8_t> ReadBack(const dorvik::win32::GdiPicture& picture, HDC screen) {
  const int width = picture.width();
  const int height = picture.height();
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
  const std::uint32_t data_size = stride * static_cast<std::uint32_t>(height);
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put(out, 54 + data_size, 4);
  Put(out, 0, 4);
  Put(out, 54, 4);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const auto* header = reinterpret_cast<const std::uint8_t*>(&info.bmiHeader);
  out.insert(out.end(), header, header + sizeof(BITMAPINFOHEADER));
  const std::size_t pixels_at = out.size();
  out.resize(pixels_at + data_size);
  if (GetDIBits(screen, picture.bitmap(), 0, static_cast<UINT>(height), out.data() + pixels_at,
                &info, DIB_RGB_COLORS) != height) {
    out.clear();
  }
  return out;
}

}  // namespace

int main() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    std::fprintf(stderr, "dorvik-gdi-dump: no screen to decode for\n");
    return 1;
  }
  for (int number = 1; number <= 36; ++number) {
    char stored_name[32];
    char gdi_name[32];
    std::snprintf(stored_name, sizeof stored_name, "stored%02d.bmp", number);
    std::snprintf(gdi_name, sizeof gdi_name, "gdi%02d.bmp", number);
    try {
      const std::span<const std::uint8_t> stored = dorvik::HolderBitmapFile(number);
      const auto picture = dorvik::win32::DecodeBitmapFile(stored, screen);
      const std::vector<std::uint8_t> decoded = ReadBack(*picture, screen);
      if (decoded.empty() || !SaveFile(stored_name, stored) || !SaveFile(gdi_name, decoded)) {
        std::fprintf(stderr, "dorvik-gdi-dump: cannot read back or write picture %d\n", number);
        return 1;
      }
    } catch (const dorvik::RunTimeError& error) {
      std::fprintf(stderr, "dorvik-gdi-dump: picture %d: run-time error %d: %s\n", number,
                   error.number(), error.text());
      return 1;
    }
  }
  ReleaseDC(nullptr, screen);
  return 0;
}
