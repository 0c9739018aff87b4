#include "window/web/web_platform.hpp"

#include <cstdint>
#include <memory>
#include <new>
#include <span>

#include "pictures/window_definition.hpp"

// The browser side, in dorvik_page.js. The two that take control away from
// the wasm code (decode, yield) are Asyncify imports: the call stack is kept
// while the browser runs, and the call returns into it afterwards.
extern "C" {
void dorvik_page_open();
int dorvik_page_decode(const std::uint8_t* const* files, const std::uint32_t* sizes, int count);
void dorvik_page_yield();
int dorvik_page_take(dorvik::web::PageEvent* event);
void dorvik_page_paint(int picture);
[[noreturn]] void dorvik_page_end(int error_number, const char* error_text);
}

namespace dorvik::web {

namespace {

// A frame picture as the page holds it: its number among the browser's
// decoded pictures.
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

// Every holder's stored bitmap file goes to the browser's decoder now, all at
// once; showing a frame later only names one of the decoded pictures.
void WebPlatform::DecodeHolderPictures() {
  std::array<const std::uint8_t*, Dorvik2Lifts::kSlots> files{};
  std::array<std::uint32_t, Dorvik2Lifts::kSlots> sizes{};
  for (int number = 1; number <= Dorvik2Lifts::kSlots; ++number) {
    const std::span<const std::uint8_t> file = HolderBitmapFile(number);
    files[static_cast<std::size_t>(number - 1)] = file.data();
    sizes[static_cast<std::size_t>(number - 1)] = static_cast<std::uint32_t>(file.size());
  }
  if (dorvik_page_decode(files.data(), sizes.data(), Dorvik2Lifts::kSlots) == 0) {
    throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
  }
  for (int slot = 0; slot < Dorvik2Lifts::kSlots; ++slot) {
    holders_[static_cast<std::size_t>(slot)] = std::make_shared<const WebPicture>(slot);
  }
}

void WebPlatform::Run(Dorvik2Lifts& form) {
  form_ = &form;
  try {
    Paint();
    form.Form_Activate();
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  } catch (const std::bad_alloc&) {
    ReportRunTimeError(RunTimeError(7, "Out of memory"));
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
// here, in arrival order, on this call stack.
void WebPlatform::PumpEvents() {
  if (needs_paint_) Paint();
  dorvik_page_yield();
  PageEvent event{};
  while (dorvik_page_take(&event) != 0) {
    if (form_ != nullptr) Deliver(*form_, event);
  }
  if (needs_paint_) Paint();
}

Picture WebPlatform::HolderPicture(int number) {
  if (number < 1 || number > Dorvik2Lifts::kSlots) {
    throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
  }
  return holders_[static_cast<std::size_t>(number - 1)];
}

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
  dorvik_page_paint(current_index_);
  needs_paint_ = false;
}

}  // namespace dorvik::web
