// Counts every heap allocation of the process, SDL's and Xlib's included: the
// executable's malloc family takes the place of the C library's for every
// shared library, and forwards to the C library's own entry points.
#include "bench/window/count_allocations.hpp"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstddef>
#include <cstring>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

std::atomic<long long> all{0};
std::atomic<long long> in_x_libraries{0};
std::atomic<bool> classify{false};
thread_local bool classifying = false;

bool FromXLibraries() {
  void* frames[32];
  const int depth = backtrace(frames, 32);
  for (int i = 0; i < depth; ++i) {
    Dl_info info;
    if (dladdr(frames[i], &info) != 0 && info.dli_fname != nullptr &&
        (std::strstr(info.dli_fname, "libxcb") != nullptr ||
         std::strstr(info.dli_fname, "libX11") != nullptr)) {
      return true;
    }
  }
  return false;
}

void Count() {
  all.fetch_add(1, std::memory_order_relaxed);
  if (!classify.load(std::memory_order_relaxed) || classifying) return;
  classifying = true;  // backtrace may allocate the first time
  if (FromXLibraries()) in_x_libraries.fetch_add(1, std::memory_order_relaxed);
  classifying = false;
}

}  // namespace

dorvik::bench::AllocationCount dorvik::bench::AllocationsSoFar() {
  return {all.load(std::memory_order_relaxed), in_x_libraries.load(std::memory_order_relaxed)};
}

void dorvik::bench::ClassifyAllocations(bool on) {
  if (on) {
    classifying = true;  // loads what backtrace needs, uncounted
    void* frame[1];
    backtrace(frame, 1);
    classifying = false;
  }
  classify.store(on, std::memory_order_relaxed);
}

extern "C" {

void* malloc(std::size_t size) {
  Count();
  return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
  Count();
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
  Count();
  return __libc_realloc(pointer, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
  Count();
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) return 12;  // ENOMEM
  *result = pointer;
  return 0;
}

}  // extern "C"
