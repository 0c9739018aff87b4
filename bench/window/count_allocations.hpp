// Heap allocations made by the whole process so far (see count_allocations.cpp).
#pragma once

namespace dorvik::bench {

struct AllocationCount {
  long long all = 0;
  // Those made inside the X client libraries (libX11, libxcb), counted only
  // while ClassifyAllocations is on.
  long long in_x_libraries = 0;
};

AllocationCount AllocationsSoFar();

// Classifying walks the stack of every allocation: slow, so off by default.
void ClassifyAllocations(bool on);

}  // namespace dorvik::bench
