#include <windows.h>

#include "jet/page_memory.h"

namespace jet::page_memory {

// Large pages need a privilege that clerks' accounts do not hold; plain committed memory.
void* systemBlock() noexcept {
    return ::VirtualAlloc(nullptr, kBlockBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

}  // namespace jet::page_memory
