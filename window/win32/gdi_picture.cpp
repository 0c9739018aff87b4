// Win32 backend, picture decoding: see gdi_picture.hpp.
#include "window/win32/gdi_picture.hpp"

#include <cstring>
#include <vector>

namespace dorvik::win32 {

namespace {

constexpr std::size_t kFileHeaderSize = 14;

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

[[noreturn]] void InvalidPicture() {
  throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
}

}  // namespace

std::shared_ptr<const GdiPicture> DecodeBitmapFile(std::span<const std::uint8_t> file, HDC screen) {
  if (file.size() < kFileHeaderSize + sizeof(BITMAPINFOHEADER) || file[0] != 'B' ||
      file[1] != 'M') {
    InvalidPicture();
  }
  const std::uint32_t bits_offset = Read32(file, 10);
  const std::uint32_t info_size = Read32(file, kFileHeaderSize);
  if (info_size < sizeof(BITMAPINFOHEADER) || bits_offset > file.size() ||
      bits_offset < kFileHeaderSize + info_size) {
    InvalidPicture();
  }

  // The header and colour table, copied so the GDI gets them properly aligned.
  std::vector<std::uint32_t> info((bits_offset - kFileHeaderSize + 3) / 4);
  std::memcpy(info.data(), file.data() + kFileHeaderSize, bits_offset - kFileHeaderSize);
  auto* bitmap_info = reinterpret_cast<BITMAPINFO*>(info.data());
  const BITMAPINFOHEADER& header = bitmap_info->bmiHeader;

  const std::size_t colours = header.biClrUsed != 0 ? header.biClrUsed : 256;
  const bool compressed = header.biCompression == BI_RLE8;
  if (header.biBitCount != 8 || colours > 256 ||
      info_size + colours * sizeof(RGBQUAD) > bits_offset - kFileHeaderSize ||
      (header.biCompression != BI_RGB && !compressed) || header.biWidth <= 0 ||
      header.biHeight == 0) {
    InvalidPicture();
  }
  // The GDI trusts the data size of a compressed bitmap: it must lie in the file.
  if (compressed && (header.biSizeImage == 0 || header.biSizeImage > file.size() - bits_offset)) {
    InvalidPicture();
  }
  if (!compressed) {
    const std::size_t stride = (static_cast<std::size_t>(header.biWidth) + 3) / 4 * 4;
    const std::size_t rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (stride * rows > file.size() - bits_offset) InvalidPicture();
  }

  HBITMAP bitmap = CreateDIBitmap(screen, &header, CBM_INIT, file.data() + bits_offset, bitmap_info,
                                  DIB_RGB_COLORS);
  if (bitmap == nullptr) InvalidPicture();
  const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  return std::make_shared<const GdiPicture>(bitmap, header.biWidth, height);
}

}  // namespace dorvik::win32
