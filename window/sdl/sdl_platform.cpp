#include "window/sdl/sdl_platform.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "pictures/bitmap_decode.hpp"
#include "pictures/window_definition.hpp"
#include "window/icon/cam_icon.hpp"
#include "window/sdl/display_probe.hpp"
#include "window/sdl/scaled_blit.hpp"

namespace dorvik::sdl {

namespace {

// A frame picture as decoded once, at start-up, in its stored form: 8 bits a
// pixel and the bitmap's own colour table. Painting converts it to the
// window's pixels on the way; no 32-bit copy of it is ever kept.
class SdlPicture final : public DecodedPicture {
 public:
  explicit SdlPicture(SDL_Surface* surface) : surface(surface) {}
  ~SdlPicture() override { SDL_FreeSurface(surface); }
  SdlPicture(const SdlPicture&) = delete;
  SdlPicture& operator=(const SdlPicture&) = delete;
  SDL_Surface* const surface;
};

struct Colour {
  Uint8 r, g, b;
};
// The display area's background and its sunken border, in the classic desktop
// colours: button face, shadow, dark shadow, light and highlight.
constexpr Colour kBackground{192, 192, 192};
constexpr Colour kShadow{128, 128, 128};
constexpr Colour kDarkShadow{64, 64, 64};
constexpr Colour kLight{192, 192, 192};
constexpr Colour kHighlight{255, 255, 255};

constexpr int kIconSize = 48;

SDL_Rect Scaled(const SDL_Rect& rect, int scale) {
  return {rect.x * scale, rect.y * scale, rect.w * scale, rect.h * scale};
}

[[noreturn]] void RaiseRenderFailure() {
  throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
}

void Check(int sdl_status) {
  if (sdl_status < 0) RaiseRenderFailure();
}

// Fills `rects` (in client-area pixels) of the window's pixels with `colour`
// (empty ones draw nothing).
void Fill(SDL_Surface* target, std::span<const SDL_Rect> rects, Colour colour, int scale) {
  const Uint32 pixel = SDL_MapRGB(target->format, colour.r, colour.g, colour.b);
  for (const SDL_Rect& rect : rects) {
    const SDL_Rect place = Scaled(rect, scale);
    Check(SDL_FillRect(target, &place, pixel));
  }
}

// The part of a picture that the inner area shows: from its top-left corner,
// at most the inner area's size.
SDL_Rect PictureSource(const SDL_Surface* picture) {
  return {0, 0, SDL_min(picture->w, kInnerWidth), SDL_min(picture->h, kInnerHeight)};
}

// Draws the part of `picture` the inner area shows at its top-left; returns
// where it went in the window's pixels.
SDL_Rect DrawPicture(SDL_Surface* picture, SDL_Surface* target, int scale) {
  SDL_Rect source = PictureSource(picture);
  SDL_Rect place{kBorder * scale, kBorder * scale, source.w * scale, source.h * scale};
  if (scale == 1) {
    Check(SDL_BlitSurface(picture, &source, target, &place));
  } else {
    Check(BlitScaled(picture, source, target, place.x, place.y, scale));
  }
  return place;
}

// The cam icon in the window's title bar and task switcher.
void SetWindowIcon(SDL_Window* window) {
  const std::vector<std::uint8_t> indices = icon::DrawCamIcon(kIconSize, false);
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, kIconSize, kIconSize, 32, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return;  // no icon is no reason not to start
  for (int row = 0; row < kIconSize; ++row) {
    auto* pixel = static_cast<Uint8*>(surface->pixels) + row * surface->pitch;
    for (int column = 0; column < kIconSize; ++column, pixel += 4) {
      const std::uint8_t index = indices[static_cast<std::size_t>(row * kIconSize + column)];
      const icon::Rgb rgb = index == icon::kClear ? icon::Rgb{0, 0, 0} : icon::kPalette.at(index);
      pixel[0] = rgb.r;
      pixel[1] = rgb.g;
      pixel[2] = rgb.b;
      pixel[3] = index == icon::kClear ? 0 : 255;
    }
  }
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}

}  // namespace

SdlPlatform::SdlPlatform() {
  report_first_frame_ = std::getenv(kFirstFrameReportVariable) != nullptr;
  OpenWindow();
  try {
    DecodeHolderPictures();
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  }
}

SdlPlatform::~SdlPlatform() {
  current_.reset();
  for (Picture& holder : holders_) holder.reset();  // and their surfaces
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_Quit();
}

void SdlPlatform::OpenWindow() {
  // Ctrl+C and kill end the process at once, as for any program without
  // handlers of its own, rather than queueing a quit event that only the
  // next pump would see.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Painting goes straight into the window's own surface (on X the window's
  // shared-memory image), with no renderer and no wait for the vertical
  // sync: that starts fastest, needs the least memory and copies pixels
  // exactly. Left to itself SDL may back the surface with an OpenGL texture.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");

  const bool wayland = StartVideo() == WindowSystem::kWayland;

  // On Wayland SDL sizes the window in the desktop's units and reports its
  // pixels at the output's scale; on X the window is sized in pixels here.
  window_ =
      SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kClientWidth,
                       kClientHeight, SDL_WINDOW_HIDDEN | (wayland ? SDL_WINDOW_ALLOW_HIGHDPI : 0));
  if (window_ == nullptr) FailToStart("cannot open the window: " + SdlReason());
  SetWindowIcon(window_);
  if (wayland) {
    std::string why;
    wayland_ = WaylandPixels::Open(window_, why);
    if (wayland_ == nullptr) FailToStart("cannot draw in the window: " + why);
    return;
  }
  x11_scale_ = std::make_unique<X11DesktopScale>(window_);
  if (x11_scale_->scale() > 1) {
    Rescale();
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  // X events reach the scale's watch through SDL.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  if (SDL_GetWindowSurface(window_) == nullptr) {
    FailToStart("cannot draw in the window: " + SdlReason());
  }
}

// Each holder's stored bitmap is decoded now, once, into an 8-bit surface with
// the bitmap's colour table; showing a frame later only picks one of them.
// Decoded straight into the surface, in a seventeenth of the processor time
// that SDL's BMP loader takes (pictures_bench).
void SdlPlatform::DecodeHolderPictures() {
  for (int number = 1; number <= Dorvik2Lifts::kSlots; ++number) {
    const BitmapLayout layout = ReadBitmapLayout(HolderBitmapFile(number));
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, layout.width, layout.height, 8, SDL_PIXELFORMAT_INDEX8);
    if (surface == nullptr) throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
    auto picture = std::make_shared<const SdlPicture>(surface);  // owns it from here
    std::array<SDL_Color, 256> colours{};
    for (int i = 0; i < layout.colours; ++i) {
      const auto entry = layout.colour_table.subspan(static_cast<std::size_t>(4 * i), 4);
      colours[static_cast<std::size_t>(i)] = {entry[2], entry[1], entry[0], SDL_ALPHA_OPAQUE};
    }
    // The new surface's pixels are all 0, as the decoder expects for any it skips.
    DecodeBitmapPixels(layout, static_cast<std::uint8_t*>(surface->pixels), surface->pitch);
    // Pixels copied as they are: no colour key, no blending.
    if (SDL_SetPaletteColors(surface->format->palette, colours.data(), 0, layout.colours) < 0 ||
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE) < 0) {
      throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
    }
    holders_[static_cast<std::size_t>(number - 1)] = std::move(picture);
  }
}

void SdlPlatform::ShowWindow() {
  // A Wayland window takes pixels only once the compositor has configured it,
  // which SDL waits for when it shows the window.
  if (wayland_ == nullptr) Paint();
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  if (wayland_ != nullptr) {
    wayland_->KeepSize(kClientWidth, kClientHeight);
    Paint();
  }
}

void SdlPlatform::Run(Dorvik2Lifts& form) {
  // SDL hands pointer positions on in window pixels on X, in the desktop's
  // units (the client area's) on Wayland.
  input_ = std::make_unique<SdlInput>(form, wayland_ != nullptr ? 1 : scale_);
  try {
    ShowWindow();
    bool activated = false;
    SDL_Event event;
    for (;;) {
      const bool waited = SDL_WaitEvent(&event) != 0;
      if (wayland_ != nullptr) wayland_->EndIfLost();
      if (!waited) RaiseRenderFailure();
      // The window is the program's active window once it is shown (or given
      // the focus, whichever SDL reports first); that is when Activate runs.
      const bool activation =
          event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_SHOWN ||
                                            event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED);
      if (HandleWindowEvent(event)) {
        if (damage_ != Damage::kNone) Paint();
        if (activation && !activated) {
          activated = true;
          form.Form_Activate();
        }
      } else if (activated) {
        input_->Deliver(event);
      }
    }
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  } catch (const std::bad_alloc&) {
    ReportRunTimeError(RunTimeError(7, "Out of memory"));
  }
}

bool SdlPlatform::HandleWindowEvent(const SDL_Event& event) {
  if (event.type == SDL_QUIT) {
    // SDL's Wayland driver reports a lost compositor as a quit.
    if (wayland_ != nullptr) wayland_->EndIfLost();
    EndProcess();
  }
  if (event.type == SDL_SYSWMEVENT) {
    if (x11_scale_ != nullptr && x11_scale_->Changed(event)) Rescale();
    return true;
  }
  if (event.type != SDL_WINDOWEVENT) return false;
  switch (event.window.event) {
    case SDL_WINDOWEVENT_CLOSE:
      // A close request from the window system ends the program as the
      // quit sequence does: at once, with status 0.
      EndProcess();
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:  // perhaps at another scale
      damage_ = Damage::kWhole;
      break;
    default:
      break;
  }
  return true;
}

void SdlPlatform::ShowPicture(const Picture& picture) {
  const auto* sdl_picture = dynamic_cast<const SdlPicture*>(picture.get());
  if (sdl_picture == nullptr) {
    throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
  }
  // The same picture again changes nothing on the screen: no repaint.
  if (sdl_picture->surface != current_surface_ && damage_ == Damage::kNone) {
    damage_ = Damage::kPicture;
  }
  current_ = picture;
  current_surface_ = sdl_picture->surface;
}

// Takes the waiting events off the queue in batches without pumping again, so
// events that arrive while the handlers run wait for the next pump.
void SdlPlatform::PumpEvents() {
  SDL_PumpEvents();
  if (wayland_ != nullptr) wayland_->EndIfLost();
  for (;;) {
    const int taken = SDL_PeepEvents(batch_.data(), static_cast<int>(batch_.size()), SDL_GETEVENT,
                                     SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (taken < 0) RaiseRenderFailure();
    for (int i = 0; i < taken; ++i) {
      const SDL_Event& event = batch_[static_cast<std::size_t>(i)];
      if (!HandleWindowEvent(event) && input_ != nullptr) input_->Deliver(event);
    }
    if (taken < static_cast<int>(batch_.size())) break;
  }
  if (damage_ != Damage::kNone) Paint();
}

Picture SdlPlatform::HolderPicture(int number) {
  if (number < 1 || number > Dorvik2Lifts::kSlots) {
    throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
  }
  return holders_[static_cast<std::size_t>(number - 1)];
}

void SdlPlatform::ClearWindow() {
  current_.reset();
  current_surface_ = nullptr;
  damage_ = Damage::kWhole;
  Paint();
}

void SdlPlatform::EndProcess() {
  std::fflush(nullptr);
  std::_Exit(0);
}

void SdlPlatform::ReportRunTimeError(const RunTimeError& error) {
  std::fprintf(stderr, "dorvik: run-time error %d: %s\n", error.number(), error.text());
  std::fflush(nullptr);
  if (window_ != nullptr) {
    const std::string message =
        "Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.text();
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "dorvik", message.c_str(), window_);
  }
  std::_Exit(1);
}

// The window's surface keeps what was drawn into it: a pass that only changes
// the picture draws the picture alone and puts only its rectangle on the
// screen.
void SdlPlatform::Paint() {
  // On X the same surface from one call to the next, unless the window
  // changed size; then SDL makes a new one here, and all of it is to be
  // drawn. On Wayland whichever buffer the compositor has given back.
  SDL_Surface* target = PaintTarget();
  if (target == nullptr) RaiseRenderFailure();
  // Another picture of the same size covers all of the last one.
  const bool covers_last = current_surface_ != nullptr && painted_picture_ != nullptr &&
                           current_surface_->w == painted_picture_->w &&
                           current_surface_->h == painted_picture_->h;
  if (target != painted_surface_ || damage_ == Damage::kWhole || !covers_last) {
    PaintWhole(target);
    Present({});
  } else {
    const SDL_Rect place = DrawPicture(current_surface_, target, scale_);
    Present({&place, 1});
  }
  painted_surface_ = target;
  painted_picture_ = current_surface_;
  damage_ = Damage::kNone;

  if (report_first_frame_ && current_surface_ != nullptr) {
    report_first_frame_ = false;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("dorvik: first frame %lld\n",
                static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
  }
}

// The whole client area is the display area: the current picture unscaled at
// the inner area's top-left (clipped to the inner area), the background around
// it and the sunken border over both.
void SdlPlatform::PaintWhole(SDL_Surface* target) {
  const SDL_Rect picture =
      current_surface_ == nullptr ? SDL_Rect{0, 0, 0, 0} : PictureSource(current_surface_);
  if (current_surface_ != nullptr) DrawPicture(current_surface_, target, scale_);
  const SDL_Rect background[] = {
      {kBorder + picture.w, kBorder, kInnerWidth - picture.w, kInnerHeight},
      {kBorder, kBorder + picture.h, picture.w, kInnerHeight - picture.h}};
  Fill(target, background, kBackground, scale_);
  const int right = kAreaWidth - 1;
  const int bottom = kAreaHeight - 1;
  const SDL_Rect outer_top_left[] = {{0, 0, kAreaWidth, 1}, {0, 0, 1, kAreaHeight}};
  const SDL_Rect outer_bottom_right[] = {{0, bottom, kAreaWidth, 1}, {right, 0, 1, kAreaHeight}};
  const SDL_Rect inner_top_left[] = {{1, 1, kAreaWidth - 2, 1}, {1, 1, 1, kAreaHeight - 2}};
  const SDL_Rect inner_bottom_right[] = {{1, bottom - 1, kAreaWidth - 2, 1},
                                         {right - 1, 1, 1, kAreaHeight - 2}};
  Fill(target, outer_top_left, kShadow, scale_);
  Fill(target, outer_bottom_right, kHighlight, scale_);
  Fill(target, inner_top_left, kDarkShadow, scale_);
  Fill(target, inner_bottom_right, kLight, scale_);
}

// On X: the window at the desktop's scale now, drawn anew (SDL makes a new
// window surface for the new size).
void SdlPlatform::Rescale() {
  scale_ = x11_scale_->scale();
  SDL_SetWindowSize(window_, kClientWidth * scale_, kClientHeight * scale_);
  if (input_ != nullptr) input_->SetPointerScale(scale_);
  damage_ = Damage::kWhole;
}

SDL_Surface* SdlPlatform::PaintTarget() {
  if (wayland_ == nullptr) return SDL_GetWindowSurface(window_);
  SDL_Surface* target = wayland_->Target();
  scale_ = wayland_->Scale();
  return target;
}

// All of the window's pixels when `rects` is empty.
void SdlPlatform::Present(std::span<const SDL_Rect> rects) {
  if (wayland_ != nullptr) {
    if (!wayland_->Present()) RaiseRenderFailure();
  } else if (rects.empty()) {
    Check(SDL_UpdateWindowSurface(window_));
  } else {
    Check(SDL_UpdateWindowSurfaceRects(window_, rects.data(), static_cast<int>(rects.size())));
  }
}

}  // namespace dorvik::sdl
