// A small recursive (IIR) filter designer.
//
// Places Butterworth poles in the s-plane, pre-warps the corner frequencies,
// turns the low-pass prototype into a low-pass or a band-pass, maps it into
// the z-plane by the bilinear transform and multiplies the roots out into
// the coefficients of a difference equation, with the filter's complex gain
// at DC, at the centre and at half the sample rate. Everything in double
// precision; the designer keeps no state between calls.
#pragma once

#include <cstdint>

namespace dsp {

struct Complex {
    double re;
    double im;
};

// The textbook formulas, evaluated in the order written here, so that every
// build gives the same bits (the library's complex type scales its quotient).
Complex Multiply(Complex a, Complex b);            // (ac - bd, ad + bc)
Complex Divide(Complex a, Complex b);              // over c*c + d*d
Complex ExpJ(double theta);                        // (cos, sin)
double Modulus(Complex z);                         // sqrt(re*re + im*im)
// Principal square root; a slightly negative radicand (rounding) gives 0.
Complex SquareRoot(Complex z);

// Option bits. Only the Butterworth low-pass and band-pass are built.
constexpr std::int32_t kDesignButterworth = 0x2;
constexpr std::int32_t kDesignLowPass = 0x20;
constexpr std::int32_t kDesignBandPass = 0x80;

// Every plane array needs room for this many complex values and every
// coefficient array for one more double: at most 32 poles (band-pass of
// order 16, low-pass of order 32).
constexpr int kDesignMaxRoots = 32;

// One design: the caller sets options, order and the raw alphas (corner
// frequency / sample rate) and provides the six arrays; Design() writes
// the rest.
struct FilterDesign {
    Complex* sPoles;
    Complex* sZeros;
    std::int32_t sPoleCount;
    std::int32_t sZeroCount;
    Complex* zPoles;
    Complex* zZeros;
    std::int32_t zPoleCount;
    std::int32_t zZeroCount;
    std::int32_t order;
    double rawAlpha1;  // lower (or only) corner
    double rawAlpha2;  // upper corner of a band-pass; otherwise set to rawAlpha1
    Complex dcGain;             // response at z = 1
    Complex centreGain;         // response at z = e^{j pi (alpha1 + alpha2)}
    Complex highFrequencyGain;  // response at z = -1
    std::int32_t options;
    double warpedAlpha1;
    double warpedAlpha2;
    std::uint32_t poleMask;  // bit i admits the i-th left-half-plane prototype pole
    double* numerator;       // x_0 .. x_Z, Z = zZeroCount
    double* feedback;        // y_0 .. y_P, P = zPoleCount; y_P is -1
};

// Runs the whole design in place. False when the design cannot be made:
// an option set other than the Butterworth low-pass or band-pass, an order
// whose roots would not fit the arrays, or a coefficient whose imaginary
// part exceeds 1e-10 after multiplying out. The output fields are then not
// to be used.
bool Design(FilterDesign& design);

}  // namespace dsp
