// Which processor-specific paths the engine takes. Every such path does the
// same IEEE operations in the same order as the portable one beside it, and
// where that one calls the C library's atan2, cos or sin, it takes a value
// of its own only where that provably keeps every bit
// (dsp/enclosures_simd.h); so both give the same bits, and this only
// chooses the faster one the processor can run. The choice is read when a
// path runs, so turning it off affects the next call (tests run both paths
// that way).
#pragma once

namespace dsp {

// True when the processor runs AVX2 (and FMA) and the AVX2 paths are not
// turned off.
bool UseAvx2();

// false: the portable paths only, whatever the processor has; true: AVX2
// again where the processor has it. Turning AVX2 off turns AVX-512 off too.
void AllowAvx2(bool allowed);

// True when UseAvx2() is, the processor (and its operating system) also runs
// AVX-512F, and the AVX-512 paths are not turned off.
bool UseAvx512();

// True when UseAvx512() is and the processor runs 512-bit work at full
// width without lowering its clock for it: AMD's from Zen 5 (family 1Ah)
// on. Where 512-bit work takes two halves (Zen 4) the transforms measured
// no faster with it; on an Intel Xeon, whose clock drops, the transforms'
// 512-bit stages, faster alone, left the 256-bit code around them slower
// than they gained. The paths that ask this take AVX2 there.
bool UseFullWidthAvx512();

// true: UseFullWidthAvx512() answers as UseAvx512() does, whoever made
// the processor (so that tests run those paths wherever they can run);
// false: as the processor is again.
void AssumeFullWidthAvx512(bool assumed);

// false: the AVX2 paths where AVX-512 ones exist (or the portable ones, if
// AVX2 is off); true: AVX-512 again where the processor has it.
void AllowAvx512(bool allowed);

}  // namespace dsp
