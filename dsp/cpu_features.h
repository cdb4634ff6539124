// Which processor-specific paths the engine takes. Every such path does the
// same IEEE operations in the same order as the portable one beside it, so
// both give the same bits; this only chooses the faster one the processor
// can run. The choice is read when a path runs, so turning it off affects
// the next call (tests run both paths that way).
#pragma once

namespace dsp {

// True when the processor runs AVX2 and the AVX2 paths are not turned off.
bool UseAvx2();

// false: the portable paths only, whatever the processor has; true: AVX2
// again where the processor has it.
void AllowAvx2(bool allowed);

}  // namespace dsp
