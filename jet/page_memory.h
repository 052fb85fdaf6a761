// Memory for page buffers. A transfer keeps tens of megabytes of 4 KB pages at once (the clean
// cache, the transaction's copies); taken from the heap one by one, each fresh page costs a page
// fault of its own. Pages come instead from blocks of 2 MB that the system may back with large
// pages, and a page let go of is kept for the next one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace jet {

namespace page_memory {

// The one size served from the blocks: a Jet 4 page. Other sizes go to the heap.
constexpr size_t kPageBytes = 4096;
constexpr size_t kBlockBytes = size_t(2) << 20;

// A kPageBytes buffer (its bytes undefined); throws std::bad_alloc when no block can be had.
void* take();
// A buffer from take(), to be handed out again.
void give(void* page) noexcept;
// Bytes of blocks taken from the system so far (blocks are kept until the process ends).
size_t blockBytes() noexcept;

// The system's side: a kBlockBytes block aligned to kBlockBytes, or null.
void* systemBlock() noexcept;

}  // namespace page_memory

// Allocates page-sized arrays from page_memory, every other size from the heap.
template <class T>
struct PageAllocator {
    using value_type = T;
    PageAllocator() noexcept = default;
    template <class U>
    PageAllocator(const PageAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n * sizeof(T) == page_memory::kPageBytes) return static_cast<T*>(page_memory::take());
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n * sizeof(T) == page_memory::kPageBytes) {
            page_memory::give(p);
        } else {
            std::allocator<T>().deallocate(p, n);
        }
    }
    template <class U>
    bool operator==(const PageAllocator<U>&) const noexcept {
        return true;
    }
};

using PageBuffer = std::vector<uint8_t, PageAllocator<uint8_t>>;

}  // namespace jet
