// Global memory on Windows: kernel32's own calls, behind the same fault
// hooks as the portable build, with a count of the blocks this layer has
// handed out and not yet freed.
#include <windows.h>

#include <atomic>

#include "platform/memory.h"
#include "platform/memory_faults.h"

namespace platform {
namespace {
std::atomic<long> g_liveBlocks{0};
}

MemHandle GlobalAlloc(unsigned flags, std::size_t bytes) {
    if (detail::AllocationFaultDue()) return nullptr;
    HGLOBAL block = ::GlobalAlloc(flags, bytes);
    if (block != nullptr) ++g_liveBlocks;
    return block;
}

void* GlobalLock(MemHandle block) {
    if (block == nullptr || detail::LockFaultDue()) return nullptr;
    return ::GlobalLock(block);
}

bool GlobalUnlock(MemHandle block) { return ::GlobalUnlock(block) != FALSE; }

MemHandle GlobalFree(MemHandle block) {
    HGLOBAL result = ::GlobalFree(block);
    if (result == nullptr && block != nullptr) --g_liveBlocks;
    return result;
}

namespace testing {
std::size_t LiveBlocks() { return static_cast<std::size_t>(g_liveBlocks.load()); }
}  // namespace testing

}  // namespace platform
