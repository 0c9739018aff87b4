#include "window/sdl/wayland_pixels.hpp"

#include <SDL_syswm.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dorvik::sdl {

namespace {

// At most this many buffers at once: one on the screen, one being drawn, and
// the ones of the last scale that the compositor has not given back yet.
constexpr std::size_t kMaxBuffers = 4;

}  // namespace

std::unique_ptr<WaylandPixels> WaylandPixels::Open(SDL_Window* window, std::string& why) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WAYLAND) {
    why = std::string("cannot reach the Wayland window: ") + SDL_GetError();
    return nullptr;
  }
  std::unique_ptr<WaylandPixels> pixels(
      new WaylandPixels(window, info.info.wl.display, info.info.wl.surface));
  // The registry, and so the wl_shm bound from it, on our own queue.
  auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(pixels->display_));
  if (wrapper == nullptr) {
    why = "cannot talk to the Wayland compositor: out of memory";
    return nullptr;
  }
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), pixels->queue_);
  pixels->registry_ = wl_display_get_registry(wrapper);
  wl_proxy_wrapper_destroy(wrapper);
  static constexpr wl_registry_listener kListener{OnGlobal, OnGlobalRemoved};
  wl_registry_add_listener(pixels->registry_, &kListener, pixels.get());
  // The globals, then the outputs' first descriptions.
  int answered = wl_display_roundtrip_queue(pixels->display_, pixels->queue_);
  if (answered >= 0) answered = wl_display_roundtrip_queue(pixels->display_, pixels->queue_);
  if (answered < 0) {
    why = "the Wayland compositor did not answer";
    return nullptr;
  }
  if (pixels->shm_ == nullptr) {
    why = "the Wayland compositor offers no shared-memory buffers (wl_shm)";
    return nullptr;
  }
  return pixels;
}

WaylandPixels::WaylandPixels(SDL_Window* window, wl_display* display, wl_surface* surface)
    : window_(window),
      display_(display),
      surface_(surface),
      queue_(wl_display_create_queue(display)) {}

WaylandPixels::~WaylandPixels() {
  for (auto& buffer : buffers_) Release(*buffer);
  for (auto& output : outputs_) wl_output_destroy(output->output);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_event_queue_destroy(queue_);
}

void WaylandPixels::KeepSize(int width, int height) const {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  // With libdecor's title bar the window's geometry is not its client area.
  if (!decorated_by_compositor_ || SDL_GetWindowWMInfo(window_, &info) != SDL_TRUE ||
      info.info.wl.xdg_toplevel == nullptr) {
    return;
  }
  // xdg_toplevel's set_max_size and set_min_size, by their request numbers.
  auto* toplevel = reinterpret_cast<wl_proxy*>(info.info.wl.xdg_toplevel);
  wl_proxy_marshal(toplevel, 7, width, height);
  wl_proxy_marshal(toplevel, 8, width, height);
}

void WaylandPixels::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                             const char* interface, std::uint32_t version) {
  auto* pixels = static_cast<WaylandPixels*>(data);
  if (std::strcmp(interface, wl_shm_interface.name) == 0 && pixels->shm_ == nullptr) {
    pixels->shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0) {
    // The compositor draws title bars (so SDL draws none with libdecor).
    pixels->decorated_by_compositor_ = true;
  } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
    pixels->AddOutput(name);  // version 2 tells the scale
  }
}

void WaylandPixels::OnGlobalRemoved(void* data, wl_registry* /*registry*/, std::uint32_t name) {
  std::erase_if(static_cast<WaylandPixels*>(data)->outputs_,
                [&](const std::unique_ptr<Output>& output) {
                  if (output->name != name) return false;
                  wl_output_destroy(output->output);
                  return true;
                });
}

// SDL 2.26 keeps the scale an output had when the window entered it: after
// the desktop's scale changes, the window's size in pixels that SDL reports
// is the old scale's. So the outputs' scales are followed here.
void WaylandPixels::AddOutput(std::uint32_t name) {
  auto output = std::make_unique<Output>();
  output->name = name;
  output->output =
      static_cast<wl_output*>(wl_registry_bind(registry_, name, &wl_output_interface, 2));
  static constexpr wl_output_listener kListener{
      [](void* data, wl_output* /*output*/, std::int32_t x, std::int32_t y, std::int32_t /*mm*/,
         std::int32_t /*mm*/, std::int32_t /*subpixel*/, const char* /*make*/,
         const char* /*model*/, std::int32_t /*transform*/) {
        static_cast<Output*>(data)->x = x;
        static_cast<Output*>(data)->y = y;
      },
      [](void* /*data*/, wl_output* /*output*/, std::uint32_t /*flags*/, std::int32_t /*width*/,
         std::int32_t /*height*/, std::int32_t /*refresh*/) {},
      [](void* /*data*/, wl_output* /*output*/) {},
      [](void* data, wl_output* /*output*/, std::int32_t factor) {
        static_cast<Output*>(data)->scale = std::max(1, factor);
      },
      nullptr,
      nullptr};  // name and description: only from version 4
  wl_output_add_listener(output->output, &kListener, output.get());
  outputs_.push_back(std::move(output));
}

// The output of SDL's display for the window, found by its place in the
// desktop; failing that, the scale of the window's size in pixels as SDL
// reports it.
int WaylandPixels::OutputScale() const {
  SDL_Rect bounds{};
  const int display = SDL_GetWindowDisplayIndex(window_);
  if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0) {
    for (const auto& output : outputs_) {
      if (output->x == bounds.x && output->y == bounds.y) return output->scale;
    }
  }
  int units = 0;
  int pixels = 0;
  SDL_GetWindowSize(window_, &units, nullptr);
  SDL_GetWindowSizeInPixels(window_, &pixels, nullptr);
  return units > 0 ? std::max(1, pixels / units) : 1;
}

SDL_Surface* WaylandPixels::Target() {
  // The outputs' news first: the scale may have changed.
  if (wl_display_dispatch_queue_pending(display_, queue_) < 0) EndLost();
  scale_ = OutputScale();
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  width *= scale_;
  height *= scale_;
  drawn_ = nullptr;
  for (;;) {
    if (wl_display_dispatch_queue_pending(display_, queue_) < 0) EndLost();
    // Buffers of another size (the scale changed) go once they are given back.
    std::erase_if(buffers_, [&](const std::unique_ptr<Buffer>& buffer) {
      if (buffer->busy || (buffer->surface->w == width && buffer->surface->h == height)) {
        return false;
      }
      Release(*buffer);
      return true;
    });
    for (auto& buffer : buffers_) {
      if (!buffer->busy) drawn_ = buffer.get();
    }
    if (drawn_ == nullptr && buffers_.size() < kMaxBuffers) {
      drawn_ = NewBuffer(width, height);
      if (drawn_ == nullptr) return nullptr;  // no memory for it
    }
    if (drawn_ != nullptr) return drawn_->surface;
    // All in the compositor's hands: ask it to catch up.
    if (wl_display_roundtrip_queue(display_, queue_) < 0) EndLost();
  }
}

bool WaylandPixels::Present() {
  if (drawn_ == nullptr) return false;
  if (scale_ != committed_scale_) {  // a request less on most passes
    wl_surface_set_buffer_scale(surface_, scale_);
    committed_scale_ = scale_;
  }
  wl_surface_attach(surface_, drawn_->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  drawn_->busy = true;
  drawn_ = nullptr;
  // A closed connection shows first here, and is not kept as its error.
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) EndLost();
  return true;
}

void WaylandPixels::EndIfLost() const {
  if (wl_display_get_error(display_) != 0) EndLost();
}

void WaylandPixels::EndLost() const {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  std::fprintf(stderr, "dorvik: the connection to the Wayland display %s was lost\n",
               name != nullptr ? name : "wayland-0");
  std::fflush(nullptr);
  std::_Exit(1);
}

WaylandPixels::Buffer* WaylandPixels::NewBuffer(int width, int height) {
  auto buffer = std::make_unique<Buffer>();
  const int stride = 4 * width;
  buffer->size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  const int fd = memfd_create("dorvik-window", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, static_cast<off_t>(buffer->size)) == 0) {
    buffer->data = mmap(nullptr, buffer->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  if (buffer->data == nullptr || buffer->data == MAP_FAILED) {
    buffer->data = nullptr;
    close(fd);
    return nullptr;
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(buffer->size));
  buffer->buffer =
      wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  static constexpr wl_buffer_listener kListener{OnRelease};
  wl_buffer_add_listener(buffer->buffer, &kListener, buffer.get());
  buffer->surface = SDL_CreateRGBSurfaceWithFormatFrom(buffer->data, width, height, 32, stride,
                                                       SDL_PIXELFORMAT_RGB888);
  if (buffer->surface == nullptr) {
    Release(*buffer);
    return nullptr;
  }
  buffers_.push_back(std::move(buffer));
  return buffers_.back().get();
}

void WaylandPixels::Release(Buffer& buffer) {
  if (buffer.surface != nullptr) SDL_FreeSurface(buffer.surface);
  if (buffer.buffer != nullptr) wl_buffer_destroy(buffer.buffer);
  if (buffer.data != nullptr) munmap(buffer.data, buffer.size);
  buffer = Buffer{};
}

void WaylandPixels::OnRelease(void* data, wl_buffer* /*buffer*/) {
  static_cast<Buffer*>(data)->busy = false;
}

}  // namespace dorvik::sdl
