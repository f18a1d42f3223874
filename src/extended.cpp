// SPDX-License-Identifier: MIT
// Arithmetic in the x87 extended format.
//
// Its operands here come from doubles and floats divided by 300 and by 72,
// so no intermediate result leaves the exponent range of the format: it
// needs no overflow or subnormal handling of its own, only the final
// rounding to double does.
#include <algorithm>
#include <cstring>
#include <limits>

#include "extended.h"

constexpr uint64_t integer_bit = UINT64_C(1) << 63;
constexpr uint64_t quiet_bit = UINT64_C(1) << 62;

// The NaN that an invalid operation gives on x86-64: sign set, no payload.
constexpr extended default_nan = {extended_nan, true, 0,
	integer_bit | quiet_bit};

// An unsigned 128-bit number in two halves, so that 32-bit targets need
// neither a 128-bit type nor a division helper of the compiler.
struct wide {
	uint64_t high;
	uint64_t low;
};

static int bit_length(uint64_t value)
{
	int length = 0;
	for (int step = 32; step > 0; step /= 2)
		if (value >> step != 0) {
			value >>= step;
			length += step;
		}
	return length + (value != 0);
}

static int bit_length(wide value)
{
	return value.high != 0 ? 64 + bit_length(value.high) :
	    bit_length(value.low);
}

// Shifts by 0 to 127 bits.
static wide shift_left(wide value, int count)
{
	if (count == 0)
		return value;
	if (count >= 64)
		return {value.low << (count - 64), 0};
	return {value.high << count | value.low >> (64 - count),
		value.low << count};
}

// Shifts by any count from 0 on.
static wide shift_right(wide value, int count)
{
	if (count >= 128)
		return {0, 0};
	if (count >= 64)
		return {0, value.high >> (count - 64)};
	if (count == 0)
		return value;
	return {value.high >> count,
		value.low >> count | value.high << (64 - count)};
}

// Whether any of the lowest count bits is set.
static bool any_below(wide value, int count)
{
	if (count >= 128)
		return value.high != 0 || value.low != 0;
	wide kept = shift_left(shift_right(value, count), count);
	return kept.high != value.high || kept.low != value.low;
}

// Shifts right, folding the bits shifted out into the lowest bit.
static wide shift_right_sticky(wide value, int count)
{
	wide kept = shift_right(value, count);
	kept.low |= any_below(value, count);
	return kept;
}

static wide wide_add(wide a, wide b)
{
	wide sum = {a.high + b.high, a.low + b.low};
	sum.high += sum.low < a.low;
	return sum;
}

static wide wide_subtract(wide a, wide b)
{
	wide difference = {a.high - b.high, a.low - b.low};
	difference.high -= a.low < b.low;
	return difference;
}

// Shifts right by count (at least 1), rounding to nearest with ties to
// even on the bits shifted out.
static wide shift_right_rounded(wide value, int count)
{
	wide kept = shift_right(value, count);
	bool half = shift_right(value, count - 1).low & 1;
	if (half && (any_below(value, count - 1) || (kept.low & 1)))
		kept = wide_add(kept, {0, 1});
	return kept;
}

// Builds value * 2^scale from a non-zero magnitude, rounded to 64 bits.
// A caller that dropped non-zero bits below value has set its lowest bit,
// and has kept at least two bits below the 64 that stay.
static extended round_extended(bool negative, int scale, wide value)
{
	int shift = bit_length(value) - 64;
	if (shift <= 0)
		return {extended_finite, negative, scale + shift + 63,
			value.low << -shift};
	wide kept = shift_right_rounded(value, shift);
	// Rounding up all ones gives the next power of two.
	if (kept.high != 0) {
		kept.low = integer_bit;
		shift++;
	}
	return {extended_finite, negative, scale + shift + 63, kept.low};
}

// Long division of two significands with their top bits set: the 67-bit
// quotient a * 2^66 / b, its lowest bit set when a remainder is left.
// The remainder stays below 2b, so a carry out of its top bit means that
// b fits.
static wide divide_significands(uint64_t a, uint64_t b)
{
	wide quotient = {0, 0};
	uint64_t remainder = a;
	bool carry = false;
	for (int bit = 66; bit >= 0; bit--) {
		bool fits = carry || remainder >= b;
		if (fits)
			remainder -= b;
		quotient.high = quotient.high << 1 | quotient.low >> 63;
		quotient.low = quotient.low << 1 | fits;
		carry = remainder >> 63;
		remainder <<= 1;
	}
	// The last step doubled the remainder: a carry means it was not 0.
	quotient.low |= carry || remainder != 0;
	return quotient;
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
		    {0, fraction});
	return {extended_finite, negative, field - bias,
		integer_bit | fraction << (63 - fraction_bits)};
}

// The C library reads "nan" as the platform's default NaN, which has no
// payload on x86-64 but every payload bit set on MIPS. It is read as
// x86-64's everywhere, so that every platform prints the same sign when
// two NaNs meet. The patterns are aligned to the top of 64 bits.
static uint64_t as_x86_nan(uint64_t bits, uint64_t platform_nan,
    uint64_t x86_nan)
{
	constexpr uint64_t sign = UINT64_C(1) << 63;
	if ((bits & ~sign) != (platform_nan & ~sign))
		return bits;
	return (bits & sign) | x86_nan;
}

static uint64_t bits_of(double value)
{
	uint64_t bits;
	memcpy(&bits, &value, sizeof bits);
	return bits;
}

static uint64_t bits_of(float value)
{
	uint32_t bits;
	memcpy(&bits, &value, sizeof bits);
	return (uint64_t)bits << 32;
}

extended from_double(double value)
{
	uint64_t bits = as_x86_nan(bits_of(value),
	    bits_of(std::numeric_limits<double>::quiet_NaN()),
	    UINT64_C(0x7ff8000000000000));
	return widen(bits, 52, 1023);
}

// Shifted to the top of 64 bits, a float reads as a format with its 8
// exponent bits and 23 + 32 fraction bits.
extended from_float(float value)
{
	uint64_t bits = as_x86_nan(bits_of(value),
	    bits_of(std::numeric_limits<float>::quiet_NaN()),
	    UINT64_C(0x7fc00000) << 32);
	return widen(bits, 23 + 32, 127);
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
	return round_extended(negative, a.exponent - b.exponent - 66,
	    divide_significands(a.significand, b.significand));
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
	wide sum = shift_left({0, a.significand}, 62);
	wide part = shift_right_sticky(shift_left({0, b.significand}, 62),
	    a.exponent - b.exponent);
	sum = a.negative == b.negative ? wide_add(sum, part) :
	    wide_subtract(sum, part);
	if (sum.high == 0 && sum.low == 0)
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
		// Below 2^-1022 every halving of the value keeps one bit less,
		// and from 2^-1087 down none is left: the shift stays within
		// 11 to 76, however small the exponent.
		int shift = 11 + std::clamp(-1022 - x.exponent, 0, 65);
		uint64_t kept = shift_right_rounded({0, x.significand},
		    shift).low;
		// The integer bit, and a carry out of the fraction, move into
		// the exponent field.
		uint64_t field = shift == 11 ? x.exponent + 1022 : 0;
		bits += (field << 52) + kept;
	}
	double value;
	memcpy(&value, &bits, sizeof value);
	return value;
}

