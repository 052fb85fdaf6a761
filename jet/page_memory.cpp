#include "jet/page_memory.h"

#include <mutex>
#include <new>

namespace jet::page_memory {
namespace {

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer every page is a heap allocation of its own, so that a read past a
// page's end or a page used after it was let go of is caught.
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif

struct Pool {
    std::mutex mutex;
    void* free = nullptr;  // pages let go of, each holding the next one's address
    uint8_t* next = nullptr;
    uint8_t* end = nullptr;
    size_t blocks = 0;
};

Pool& pool() {
    static Pool* const instance = new Pool;  // never destroyed: pages may be let go of at exit
    return *instance;
}

}  // namespace

void* take() {
    if (!kPooled) return ::operator new(kPageBytes);
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.free) {
        void* page = p.free;
        p.free = *static_cast<void**>(page);
        return page;
    }
    if (p.next == p.end) {
        auto* block = static_cast<uint8_t*>(systemBlock());
        if (!block) throw std::bad_alloc();
        p.next = block;
        p.end = block + kBlockBytes;
        ++p.blocks;
    }
    void* page = p.next;
    p.next += kPageBytes;
    return page;
}

void give(void* page) noexcept {
    if (!page) return;
    if (!kPooled) {
        ::operator delete(page);
        return;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    *static_cast<void**>(page) = p.free;
    p.free = page;
}

size_t blockBytes() noexcept {
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.blocks * kBlockBytes;
}

}  // namespace jet::page_memory
