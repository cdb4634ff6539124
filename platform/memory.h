// Movable global memory, as the editor and the processing runs use it.
//
// The semantics are those of the Win32 calls of the same names: a block is
// allocated as a handle, locked to obtain its address, unlocked and freed.
// On Windows these forward to kernel32; elsewhere a small table of blocks
// stands in. Both builds share the fault hooks below so that every
// out-of-memory path can be exercised by tests.
#pragma once

#include <cstddef>

namespace platform {

using MemHandle = void*;

constexpr unsigned kGmemMoveable = 0x0002;
constexpr unsigned kGmemZeroInit = 0x0040;

MemHandle GlobalAlloc(unsigned flags, std::size_t bytes);
// Address of the block, or null when the handle is invalid or a fault is due.
void* GlobalLock(MemHandle block);
// True while the block stays locked (lock count above zero after this call).
bool GlobalUnlock(MemHandle block);
// Null on success, the handle itself on failure (as Win32 reports it).
MemHandle GlobalFree(MemHandle block);

namespace testing {
// Make the n-th allocation (or lock) from now on fail; 0 clears the fault.
void FailNthAllocation(int n);
void FailNthLock(int n);
void ClearMemoryFaults();
// Blocks allocated and not yet freed through this layer.
std::size_t LiveBlocks();
}  // namespace testing

}  // namespace platform
