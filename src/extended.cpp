// SPDX-License-Identifier: MIT
// Arithmetic in the x87 extended format.
//
// Its operands here come from doubles and floats divided by 300 and by 72,
// so no intermediate result leaves the exponent range of the format: it
// needs no overflow or subnormal handling of its own, only the final
// rounding to double does.
#include <cstring>

#include "extended.h"

typedef unsigned __int128 uint128;

constexpr uint64_t integer_bit = UINT64_C(1) << 63;
constexpr uint64_t quiet_bit = UINT64_C(1) << 62;

// The NaN that an invalid operation gives on x86-64: sign set, no payload.
constexpr extended default_nan = {extended_nan, true, 0,
	integer_bit | quiet_bit};

static int bit_length(uint128 value)
{
	uint64_t high = (uint64_t)(value >> 64);
	if (high != 0)
		return 128 - __builtin_clzll(high);
	uint64_t low = (uint64_t)value;
	return low == 0 ? 0 : 64 - __builtin_clzll(low);
}

// Builds value * 2^scale from a non-zero magnitude, rounded to 64 bits.
// A caller that dropped non-zero bits below value has set its lowest bit,
// and has kept at least two bits below the 64 that stay.
static extended round_extended(bool negative, int scale, uint128 value)
{
	int shift = bit_length(value) - 64;
	if (shift <= 0)
		return {extended_finite, negative, scale + shift + 63,
			(uint64_t)(value << -shift)};
	uint64_t kept = (uint64_t)(value >> shift);
	uint128 rest = value & (((uint128)1 << shift) - 1);
	uint128 half = (uint128)1 << (shift - 1);
	if (rest > half || (rest == half && (kept & 1))) {
		kept++;
		if (kept == 0) {
			kept = integer_bit;
			shift++;
		}
	}
	return {extended_finite, negative, scale + shift + 63, kept};
}

// Widens an IEEE binary format exactly: fraction_bits and bias describe it.
static extended widen(uint64_t bits, int fraction_bits, int bias)
{
	int exponent_bits = 63 - fraction_bits;
	bool negative = bits >> 63;
	int field = (int)(bits >> fraction_bits) & ((1 << exponent_bits) - 1);
	uint64_t fraction = bits & ((UINT64_C(1) << fraction_bits) - 1);
	if (field == (1 << exponent_bits) - 1) {
		if (fraction == 0)
			return {extended_infinite, negative, 0, integer_bit};
		return {extended_nan, negative, 0,
			integer_bit | quiet_bit | fraction << (63 - fraction_bits)};
	}
	if (field == 0 && fraction == 0)
		return {extended_zero, negative, 0, 0};
	if (field == 0)
		return round_extended(negative, 1 - bias - fraction_bits,
		    fraction);
	return {extended_finite, negative, field - bias,
		integer_bit | fraction << (63 - fraction_bits)};
}

extended from_double(double value)
{
	uint64_t bits;
	memcpy(&bits, &value, sizeof bits);
	return widen(bits, 52, 1023);
}

extended from_float(float value)
{
	uint32_t bits;
	memcpy(&bits, &value, sizeof bits);
	// Shifted to the top of 64 bits, a float reads as a format with its
	// 8 exponent bits and 23 + 32 fraction bits.
	return widen((uint64_t)bits << 32, 23 + 32, 127);
}

// Of two NaN operands the one with the larger significand wins; of two
// with the same significand, the positive one.
static extended pick_nan(extended a, extended b)
{
	if (a.kind != extended_nan)
		return b;
	if (b.kind != extended_nan || a.significand > b.significand)
		return a;
	if (b.significand > a.significand)
		return b;
	a.negative = a.negative && b.negative;
	return a;
}

extended divide(extended a, extended b)
{
	bool negative = a.negative != b.negative;
	if (a.kind == extended_nan || b.kind == extended_nan)
		return pick_nan(a, b);
	if (a.kind == b.kind &&
	    (a.kind == extended_zero || a.kind == extended_infinite))
		return default_nan;
	if (a.kind == extended_infinite || b.kind == extended_zero)
		return {extended_infinite, negative, 0, integer_bit};
	if (a.kind == extended_zero || b.kind == extended_infinite)
		return {extended_zero, negative, 0, 0};
	// 66 or 67 quotient bits, at least two below the 64 that stay, and
	// the remainder as the sticky bit.
	uint128 numerator = (uint128)a.significand << 64;
	uint128 quotient = numerator / b.significand;
	uint128 remainder = numerator % b.significand;
	quotient = quotient << 2 | (remainder << 2) / b.significand;
	remainder = (remainder << 2) % b.significand;
	return round_extended(negative, a.exponent - b.exponent - 66,
	    quotient | (remainder != 0));
}

// Shifts right, folding the bits shifted out into the lowest bit.
static uint128 shift_right_sticky(uint128 value, int shift)
{
	if (shift >= 128)
		return value != 0;
	if (shift == 0)
		return value;
	uint128 lost = value & (((uint128)1 << shift) - 1);
	return value >> shift | (lost != 0);
}

extended add(extended a, extended b)
{
	if (a.kind == extended_nan || b.kind == extended_nan)
		return pick_nan(a, b);
	if (a.kind == extended_infinite && b.kind == extended_infinite)
		return a.negative == b.negative ? a : default_nan;
	if (a.kind == extended_infinite || b.kind == extended_zero) {
		if (a.kind == extended_zero)
			a.negative = a.negative && b.negative;
		return a;
	}
	if (b.kind == extended_infinite || a.kind == extended_zero)
		return b;
	if (a.exponent < b.exponent ||
	    (a.exponent == b.exponent && a.significand < b.significand)) {
		extended larger = b;
		b = a;
		a = larger;
	}
	// 62 bits below each significand and two above it for the carry.
	uint128 sum = (uint128)a.significand << 62;
	uint128 part = shift_right_sticky((uint128)b.significand << 62,
	    a.exponent - b.exponent);
	if (a.negative == b.negative)
		sum += part;
	else
		sum -= part;
	if (sum == 0)
		return {extended_zero, false, 0, 0};
	return round_extended(a.negative, a.exponent - 125, sum);
}

double to_double(extended x)
{
	uint64_t bits = (uint64_t)x.negative << 63;
	constexpr uint64_t fraction_mask = (UINT64_C(1) << 52) - 1;
	constexpr uint64_t infinity = UINT64_C(0x7ff) << 52;

	if (x.kind == extended_nan)
		bits |= infinity | (x.significand >> 11 & fraction_mask);
	else if (x.kind == extended_infinite ||
	    (x.kind == extended_finite && x.exponent > 1023))
		bits |= infinity;
	else if (x.kind == extended_finite) {
		// Below 2^-1022 every halving of the value keeps one bit less;
		// past 64 bits nothing is left to round up.
		int shift = x.exponent >= -1022 ? 11 : 11 - 1022 - x.exponent;
		uint64_t kept = 0;
		if (shift <= 64) {
			uint128 wide = x.significand;
			uint128 rest = wide & (((uint128)1 << shift) - 1);
			uint128 half = (uint128)1 << (shift - 1);
			kept = (uint64_t)(wide >> shift);
			if (rest > half || (rest == half && (kept & 1)))
				kept++;
		}
		// The integer bit, and a carry out of the fraction, move into
		// the exponent field.
		uint64_t field = shift == 11 ? x.exponent + 1022 : 0;
		bits += (field << 52) + kept;
	}
	double value;
	memcpy(&value, &bits, sizeof value);
	return value;
}

