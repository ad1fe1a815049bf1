// Replaces the global allocator of the benchmark it is linked into (see the header).
#include "counting_allocator.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace ivo::heapcount {
std::atomic<size_t> liveBytes{0}, peakBytes{0};
}  // namespace ivo::heapcount

using ivo::heapcount::liveBytes;
using ivo::heapcount::peakBytes;

namespace {

void* counted(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    const size_t now = liveBytes += malloc_usable_size(p);
    size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void uncounted(void* p) {
    if (!p) return;
    liveBytes -= malloc_usable_size(p);
    std::free(p);
}
}  // namespace

void* operator new(size_t n) {
    return counted(n);
}
void* operator new[](size_t n) {
    return counted(n);
}
void operator delete(void* p) noexcept {
    uncounted(p);
}
void operator delete[](void* p) noexcept {
    uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
    uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
    uncounted(p);
}
