// A global operator new that counts the live heap and its peak, for the memory figures of a
// benchmark. Linking counting_allocator.cpp into a benchmark replaces its allocator.
#pragma once

#include <atomic>
#include <cstddef>

namespace ivo::heapcount {

extern std::atomic<size_t> liveBytes, peakBytes;

}  // namespace ivo::heapcount
