// Global memory without Windows: each handle is a small header that owns
// the block's bytes and counts its locks. Handles are checked against the
// set of live blocks, so a stale or foreign handle fails instead of being
// dereferenced.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/memory.h"
#include "platform/memory_faults.h"

namespace platform {
namespace {

struct Block {
    unsigned char* bytes;
    std::size_t size;
    unsigned locks;
};

std::mutex g_mutex;
std::unordered_set<Block*>& LiveSet() {
    static std::unordered_set<Block*> live;
    return live;
}

Block* Find(MemHandle handle) {
    auto* block = static_cast<Block*>(handle);
    return LiveSet().count(block) != 0 ? block : nullptr;
}

}  // namespace

MemHandle GlobalAlloc(unsigned flags, std::size_t bytes) {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (detail::AllocationFaultDue()) return nullptr;
    auto* data = new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes];
    if (data == nullptr) return nullptr;
    if ((flags & kGmemZeroInit) != 0) std::fill(data, data + bytes, 0);
    auto* block = new (std::nothrow) Block{data, bytes, 0};
    if (block == nullptr) {
        delete[] data;
        return nullptr;
    }
    LiveSet().insert(block);
    return block;
}

void* GlobalLock(MemHandle handle) {
    std::lock_guard<std::mutex> guard(g_mutex);
    Block* block = Find(handle);
    if (block == nullptr || detail::LockFaultDue()) return nullptr;
    ++block->locks;
    return block->bytes;
}

bool GlobalUnlock(MemHandle handle) {
    std::lock_guard<std::mutex> guard(g_mutex);
    Block* block = Find(handle);
    if (block == nullptr || block->locks == 0) return false;
    return --block->locks > 0;
}

MemHandle GlobalFree(MemHandle handle) {
    std::lock_guard<std::mutex> guard(g_mutex);
    Block* block = Find(handle);
    if (block == nullptr) return handle;
    LiveSet().erase(block);
    delete[] block->bytes;
    delete block;
    return nullptr;
}

namespace testing {
std::size_t LiveBlocks() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return LiveSet().size();
}
}  // namespace testing

}  // namespace platform
