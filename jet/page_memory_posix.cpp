#include <sys/mman.h>

#include <cstdint>

#include "jet/page_memory.h"

namespace jet::page_memory {

// Mapped with room to spare and cut down to an aligned block, so that the whole block can be one
// large page where the system allows it.
void* systemBlock() noexcept {
    const size_t mapped = kBlockBytes * 2;
    void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kBlockBytes - 1) & ~uintptr_t(kBlockBytes - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const uintptr_t tail = start + mapped - (aligned + kBlockBytes);
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + kBlockBytes), tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(block, kBlockBytes, MADV_HUGEPAGE);  // advice only: small pages work as well
#endif
    return block;
}

}  // namespace jet::page_memory
