// SDL2 backend on Wayland: the window's pixels. SDL 2.26's Wayland driver
// has no window surface of its own without OpenGL (which would cost Mesa's
// 100 MiB and more), so the window draws into shared-memory buffers of the
// compositor (wl_shm) that it puts on SDL's wl_surface itself, at the
// output's whole-number scale, which it follows itself. Also ends the
// program when the compositor goes away.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_buffer;
struct wl_display;
struct wl_event_queue;
struct wl_output;
struct wl_registry;
struct wl_shm;
struct wl_surface;

namespace dorvik::sdl {

class WaylandPixels {
 public:
  // The pixels of `window` (an SDL Wayland window); nullptr, with the reason
  // in `why`, when the compositor offers no shared-memory buffers.
  static std::unique_ptr<WaylandPixels> Open(SDL_Window* window, std::string& why);
  ~WaylandPixels();
  WaylandPixels(const WaylandPixels&) = delete;
  WaylandPixels& operator=(const WaylandPixels&) = delete;

  // Tells the compositor that the shown window has this one size (SDL 2.26
  // does not, for a window of fixed size), so that tiling desktops float it;
  // only where the compositor draws the title bar.
  void KeepSize(int width, int height) const;
  // A buffer the compositor is not reading, of the window's size in device
  // pixels (32-bit XRGB), to draw the whole window into; nullptr when none
  // can be made.
  SDL_Surface* Target();
  // Device pixels per unit of the window's size in the last Target().
  int Scale() const { return scale_; }
  // Puts the last Target() on the window, whole; false on failure.
  bool Present();
  // When the connection to the compositor is broken: one line on standard
  // error and status 1, at once.
  void EndIfLost() const;
  [[noreturn]] void EndLost() const;

 private:
  struct Buffer {
    wl_buffer* buffer = nullptr;
    SDL_Surface* surface = nullptr;
    void* data = nullptr;
    std::size_t size = 0;
    bool busy = false;  // attached, and not yet released by the compositor
  };
  // An output of the desktop: where it is in the desktop and its scale.
  struct Output {
    std::uint32_t name = 0;  // the registry's
    wl_output* output = nullptr;
    int x = 0;
    int y = 0;
    int scale = 1;
  };
  WaylandPixels(SDL_Window* window, wl_display* display, wl_surface* surface);
  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void OnGlobalRemoved(void* data, wl_registry* registry, std::uint32_t name);
  void AddOutput(std::uint32_t name);
  // The scale of the output the window is on.
  int OutputScale() const;
  Buffer* NewBuffer(int width, int height);
  void Release(Buffer& buffer);
  static void OnRelease(void* data, wl_buffer* buffer);

  SDL_Window* window_;
  wl_display* display_;
  wl_surface* surface_;
  // Our own objects' events go to a queue of their own, dispatched here,
  // not by SDL's event pump.
  wl_event_queue* queue_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_shm* shm_ = nullptr;
  std::vector<std::unique_ptr<Output>> outputs_;
  std::vector<std::unique_ptr<Buffer>> buffers_;
  Buffer* drawn_ = nullptr;
  int scale_ = 1;
  int committed_scale_ = 0;
  bool decorated_by_compositor_ = false;
};

}  // namespace dorvik::sdl
