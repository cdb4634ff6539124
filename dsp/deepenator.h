// Pieces of the Deepenator that its tests reach directly.
#pragma once

namespace dsp {

// The pitch factor for `halfSteps`, rounded to a float: the parabola
// (m + 1)(0.25 m + 0.5) + 0.5 with m = halfSteps / 12, which passes through
// 0.5, 1 and 2 at -12, 0 and +12 half-steps (+6 gives 1.4375, not 2^0.5).
float DeepenatorPitchFactor(double halfSteps);

}  // namespace dsp
