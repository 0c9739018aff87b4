// Heap allocations made by the whole process so far (see count_allocations.cpp).
#pragma once

namespace dorvik::bench {
long long AllocationsSoFar();
}
