// The base-10 logarithm the level gates decide with, the same on every build.
//
// A gate's decision flips where 10*log10(power) crosses its limit, and a
// follower fed silence sits at a power of exactly 1e-9, right on the -90 dB
// switch point. There the last bit of the logarithm decides, and C runtimes
// round it differently (Windows' runtime and the GNU C library disagree on
// 1e-9 nine representable powers up), which would shift a modulator's
// counter and with it everything after. So the logarithm is computed here:
// the classic reduction x = 2^k * m with m in [1, 2) (or [0.5, 1) for k < 0),
// log10 x = k*log10(2) + log(m)/ln(10) summed as the C library sums it, and
// log(m) evaluated in double-double arithmetic and rounded once. Its
// decisions match the GNU C library's log10 at every whole-decibel limit.
#pragma once

namespace dsp {

double Log10(double x);

}  // namespace dsp
