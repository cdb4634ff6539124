// Pieces of the Cylonator that its tests reach directly.
#pragma once

namespace dsp {

// Bands in use at the sample rate r: 15 up to 8000 Hz, 16 below 9200 Hz,
// 17 below 12500 Hz, 18 from there on.
int CylonatorBandCount(float r);
// Bands that are two-pole resonators: 8, or 10 above 26000 Hz.
int CylonatorResonatorCount(float r);
// Samples between pulses, less one: floor(r / (p * freq)) with p and freq
// the single-precision pitch multiplier and base frequency.
double CylonatorPulsePeriod(double r, float p, float freq);

}  // namespace dsp
