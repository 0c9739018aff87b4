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

// What the registry's roundtrip finds.
struct Globals {
  wl_shm* shm = nullptr;
  // The compositor draws title bars (so SDL draws none with libdecor).
  bool decorates = false;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
  auto* globals = static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    globals->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0) {
    globals->decorates = true;
  }
}

void OnGlobalRemoved(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemoved};

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
  wl_registry* registry = wl_display_get_registry(wrapper);
  wl_proxy_wrapper_destroy(wrapper);
  Globals globals;
  wl_registry_add_listener(registry, &kRegistryListener, &globals);
  const int answered = wl_display_roundtrip_queue(pixels->display_, pixels->queue_);
  wl_registry_destroy(registry);
  pixels->shm_ = globals.shm;
  pixels->decorated_by_compositor_ = globals.decorates;
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
  if (shm_ != nullptr) wl_shm_destroy(shm_);
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

int WaylandPixels::OutputScale(int pixels_across) const {
  int width = 0;
  SDL_GetWindowSize(window_, &width, nullptr);
  return width > 0 ? std::max(1, pixels_across / width) : 1;
}

SDL_Surface* WaylandPixels::Target() {
  int width = 0;
  int height = 0;
  SDL_GetWindowSizeInPixels(window_, &width, &height);
  scale_ = OutputScale(width);
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
