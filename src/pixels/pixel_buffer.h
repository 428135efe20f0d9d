// Storage for whole frames. A frame is about 2 MB; backed by transparent huge
// pages it costs one page fault instead of about 470, which is most of the
// start-up time of a short script.
#pragma once

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "pixels/raster.h"

namespace tessel {

template <class T>
struct FrameAllocator {
    using value_type = T;
    static constexpr size_t kHugePage = size_t{1} << 21;

    FrameAllocator() = default;
    template <class U>
    FrameAllocator(const FrameAllocator<U>&) {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        size_t bytes = n * sizeof(T);
        void* p;
#ifndef _WIN32
        if (bytes >= kHugePage / 2) {
            size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
            p = std::aligned_alloc(kHugePage, rounded);
            if (p) madvise(p, rounded, MADV_HUGEPAGE);  // a hint; failure is harmless
        } else {
            p = std::malloc(bytes ? bytes : 1);
        }
#else
        // (Windows has neither transparent huge pages nor aligned_alloc.)
        p = std::malloc(bytes ? bytes : 1);
#endif
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) { std::free(p); }

    template <class U>
    bool operator==(const FrameAllocator<U>&) const { return true; }
};

// Pixels of a whole frame, 0xAARRGGBB, row-major.
using FrameBuffer = std::vector<uint32_t, FrameAllocator<uint32_t>>;

// Rows first <= y < last of a frame.
struct RowSpan {
    int first = 0;
    int last = 0;

    bool empty() const { return first >= last; }
};

}  // namespace tessel
