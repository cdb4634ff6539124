#include "dsp/working_memory.h"

#include <cstdlib>

namespace dsp {
namespace {

class Heap : public MemorySource {
public:
    MemoryBlock Obtain(std::size_t bytes) override {
        MemoryBlock block;
        block.data = std::malloc(bytes == 0 ? 1 : bytes);
        return block;
    }
    void Release(const MemoryBlock& block) override { std::free(block.data); }
};

}  // namespace

MemorySource& HeapMemory() {
    static Heap heap;
    return heap;
}

}  // namespace dsp
