// Which processor-specific paths the engine takes. Every such path does the
// same IEEE operations in the same order as the portable one beside it, and
// where that one calls the C library's atan2, cos or sin, it takes a value
// of its own only where that provably keeps every bit
// (dsp/enclosures_avx2.h); so both give the same bits, and this only
// chooses the faster one the processor can run. The choice is read when a
// path runs, so turning it off affects the next call (tests run both paths
// that way).
#pragma once

namespace dsp {

// True when the processor runs AVX2 (and FMA) and the AVX2 paths are not
// turned off.
bool UseAvx2();

// false: the portable paths only, whatever the processor has; true: AVX2
// again where the processor has it.
void AllowAvx2(bool allowed);

}  // namespace dsp
