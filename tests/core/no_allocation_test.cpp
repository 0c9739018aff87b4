// Playing allocates no memory: once the table is loaded, a pass (show, wait,
// pump) makes no heap allocation. Counted by replacing the global allocator.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/core/session.hpp"

namespace {
std::atomic<long> allocations{0};
}

// GCC, once it inlines these replacements into the test's own new and delete
// (at -O1 and above), takes the malloc/free pair for a mismatch with new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace dorvik::testing {
namespace {

TEST(Playing, AllocatesNothingPerPass) {
  Session s(400);
  long at_first_pass = -1, at_last_pass = -1;
  s.platform.Do(Session::AfterPass(1), [&](Dorvik2Lifts&) { at_first_pass = allocations.load(); });
  // Keys, moves and clicks are handled without allocating too (the scripted
  // events themselves were stored up front).
  s.platform.Keys(Session::AfterPass(100), "+ -*/.,");
  s.platform.Move(Session::AfterPass(150), 3.0f, 4.0f);
  s.platform.Click(Session::AfterPass(200));
  s.platform.Move(Session::AfterPass(210), 3.0f, 5.0f);
  s.platform.Click(Session::AfterPass(250));
  s.platform.Do(Session::AfterPass(399), [&](Dorvik2Lifts&) { at_last_pass = allocations.load(); });
  ASSERT_FALSE(s.Run());
  ASSERT_GE(at_first_pass, 0);
  EXPECT_EQ(at_last_pass, at_first_pass);
  EXPECT_EQ(s.PassSlots().size(), 400u);
}

}  // namespace
}  // namespace dorvik::testing
