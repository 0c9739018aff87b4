#include "window/sdl/sdl_platform.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "window/icon/cam_icon.hpp"
#include "window/sdl/display_area.hpp"
#include "window/sdl/display_probe.hpp"
#include "window/sdl/sdl_picture.hpp"
#include "window/sdl/wayland_presenter.hpp"
#include "window/sdl/x11_presenter.hpp"

namespace dorvik::sdl {

namespace {

constexpr int kIconSize = 48;

[[noreturn]] void RaiseRenderFailure() {
  throw RunTimeError(error_number::kInvalidCall, "Invalid procedure call or argument");
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
  // Each holder's stored bitmap is decoded now, once; showing a frame later
  // only picks one of them.
  try {
    for (int number = 1; number <= Dorvik2Lifts::kSlots; ++number) {
      holders_.Set(number, DecodeHolderPicture(number));
    }
  } catch (const RunTimeError& error) {
    ReportRunTimeError(error);
  }
}

SdlPlatform::~SdlPlatform() {
  current_.reset();
  holders_ = {};  // and their surfaces
  presenter_.reset();
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_Quit();
}

void SdlPlatform::OpenWindow() {
  // Ctrl+C and kill end the process at once, as for any program without
  // handlers of its own, rather than queueing a quit event that only the
  // next pump would see.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Painting goes straight into the window's own pixels, with no renderer
  // and no wait for the vertical sync: that starts fastest, needs the least
  // memory and copies pixels exactly. Left to itself SDL may back the X
  // window's surface with an OpenGL texture.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  const bool wayland = StartVideo() == WindowSystem::kWayland;

  // On Wayland SDL sizes the window in the desktop's units and reports its
  // pixels at the output's scale; on X the presenter sizes it in pixels.
  window_ =
      SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kClientWidth,
                       kClientHeight, SDL_WINDOW_HIDDEN | (wayland ? SDL_WINDOW_ALLOW_HIGHDPI : 0));
  if (window_ == nullptr) FailToStart("cannot open the window: " + SdlReason());
  SetWindowIcon(window_);
  std::string why;
  if (wayland) {
    presenter_ = WaylandPresenter::Open(window_, why);
  } else {
    presenter_ = X11Presenter::Open(window_, why);
  }
  if (presenter_ == nullptr) FailToStart("cannot draw in the window: " + why);
}

void SdlPlatform::ShowWindow() {
  const bool paint_first = presenter_->PaintsHidden();
  if (paint_first) Paint();
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  presenter_->Shown();
  if (!paint_first) Paint();
}

void SdlPlatform::Run(Dorvik2Lifts& form) {
  input_ = std::make_unique<SdlInput>(form, presenter_->PointerScale());
  try {
    ShowWindow();
    bool activated = false;
    SDL_Event event;
    for (;;) {
      const bool waited = SDL_WaitEvent(&event) != 0;
      presenter_->EndIfLost();
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
    ReportRunTimeError(RunTimeError(error_number::kOutOfMemory, "Out of memory"));
  }
}

bool SdlPlatform::HandleWindowEvent(const SDL_Event& event) {
  if (event.type == SDL_QUIT) {
    // SDL's Wayland driver reports a lost compositor as a quit.
    presenter_->EndIfLost();
    EndProcess();
  }
  if (event.type == SDL_SYSWMEVENT) {
    if (presenter_->Rescaled(event)) {
      if (input_ != nullptr) input_->SetPointerScale(presenter_->PointerScale());
      damage_ = Damage::kWhole;
    }
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
  presenter_->EndIfLost();
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

Picture SdlPlatform::HolderPicture(int number) { return holders_.Get(number); }

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

// A pass that only changes the picture, into pixels that hold the last
// paint, draws the picture alone and puts only its rectangle on the screen.
void SdlPlatform::Paint() {
  const Canvas canvas = presenter_->Target();
  if (canvas.pixels == nullptr) RaiseRenderFailure();
  // Another picture of the same size covers all of the last one.
  const bool covers_last = current_surface_ != nullptr && painted_picture_ != nullptr &&
                           current_surface_->w == painted_picture_->w &&
                           current_surface_->h == painted_picture_->h;
  if (!canvas.holds_last_paint || damage_ == Damage::kWhole || !covers_last) {
    if (!DrawDisplayArea(current_surface_, canvas.pixels, canvas.scale) ||
        !presenter_->Present({})) {
      RaiseRenderFailure();
    }
  } else {
    SDL_Rect place;
    if (!DrawPicture(current_surface_, canvas.pixels, canvas.scale, place) ||
        !presenter_->Present({&place, 1})) {
      RaiseRenderFailure();
    }
  }
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

}  // namespace dorvik::sdl
