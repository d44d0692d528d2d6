#pragma once
// The counting allocator of the benchmark programs: linking
// pudlet_counting_allocator replaces the process's heap allocation functions
// with counting ones. Installed programs never link it.
#include <cstdint>

namespace Zeb::Kamblo::Bench {

// Heap allocations made by the process so far (operator new and the C
// allocation functions); the hook for RunOptions::allocationCount.
std::uint64_t allocationCount();

} // namespace Zeb::Kamblo::Bench
