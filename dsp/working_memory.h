// Where a processor's working memory comes from. Every buffer, line and
// state block of a processor is obtained through a MemorySource when the
// processor is created; nothing is obtained afterwards. The editor's frame
// supplies one on the editor's movable global memory, everyone else the
// heap.
#pragma once

#include <cstddef>

namespace dsp {

struct MemoryBlock {
    void* data = nullptr;    // null when the block could not be had
    void* handle = nullptr;  // whatever the source needs to give it back
};

class MemorySource {
public:
    virtual ~MemorySource() = default;
    virtual MemoryBlock Obtain(std::size_t bytes) = 0;
    virtual void Release(const MemoryBlock& block) = 0;
};

// The C heap. Usable from any thread.
MemorySource& HeapMemory();

// One block owned until destruction.
class WorkingMemory {
public:
    WorkingMemory() = default;
    WorkingMemory(const WorkingMemory&) = delete;
    WorkingMemory& operator=(const WorkingMemory&) = delete;
    ~WorkingMemory() {
        if (block_.data != nullptr) source_->Release(block_);
    }

    // False when the block cannot be had; nothing is kept then.
    bool Obtain(MemorySource& source, std::size_t bytes) {
        block_ = source.Obtain(bytes);
        source_ = &source;
        return block_.data != nullptr;
    }
    void* data() const { return block_.data; }
    template <class T>
    T* as() const { return static_cast<T*>(block_.data); }

private:
    MemorySource* source_ = nullptr;
    MemoryBlock block_;
};

}  // namespace dsp
