// SPDX-License-Identifier: MIT
// The x87 extended format, computed with integers: a sign, a 64-bit
// significand with an explicit integer bit, an exponent wider than any
// result here needs, and rounding to nearest with ties to even. Every
// architecture gets the digits that x86-64 gets from its long double.
#ifndef EXTENDED_H
#define EXTENDED_H

#include <cstdint>

enum extended_kind {
	extended_zero,
	extended_finite,
	extended_infinite,
	extended_nan,
};

// A finite value is significand * 2^(exponent - 63), with the top bit
// of the significand set. A NaN keeps its payload in the significand.
struct extended {
	extended_kind kind;
	bool negative;
	int exponent;
	uint64_t significand;
};

// Exact widenings.
extended from_double(double value);
extended from_float(float value);

// Each result is rounded once to the extended format. A NaN operand gives
// a NaN of its own sign; an invalid operation gives the negative NaN.
extended divide(extended a, extended b);
extended add(extended a, extended b);

// Rounds to the nearest double, ties to even.
double to_double(extended x);

#endif
