// SPDX-License-Identifier: MIT
// Each operation of the extended format against the hardware's long double,
// where long double is the x87 extended format.
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "extended.h"
#include "test_random.h"

namespace {

#if LDBL_MANT_DIG == 64
// The x87 layout: the significand, then the sign and the biased exponent.
long double to_hardware(extended x)
{
	unsigned char bytes[sizeof(long double)] = {0};
	int field = x.kind == extended_finite ? x.exponent + 16383 :
	    x.kind == extended_zero ? 0 : 0x7fff;
	memcpy(bytes, &x.significand, 8);
	bytes[8] = (unsigned char)field;
	bytes[9] = (unsigned char)(field >> 8 | (x.negative ? 0x80 : 0));
	long double value;
	memcpy(&value, bytes, sizeof value);
	return value;
}

bool same_value(extended x, long double hardware)
{
	long double ours = to_hardware(x);
	return memcmp(&ours, &hardware, 10) == 0;
}

// A finite operand, or now and then a zero, an infinity or a NaN.
extended random_operand(uint64_t &state)
{
	uint64_t r = next_random(state);
	uint64_t significand = next_random(state) | UINT64_C(1) << 63;
	bool negative = r & 1;
	switch (r >> 1 & 31) {
	case 0:
		return {extended_zero, negative, 0, 0};
	case 1:
		return {extended_infinite, negative, 0, UINT64_C(1) << 63};
	case 2:
		return {extended_nan, negative, 0, significand | UINT64_C(1) << 62};
	default:
		return {extended_finite, negative, (int)(r >> 8 & 127) - 64,
			significand};
	}
}

// b shifted just past the round bit of a, with its last bits set, so that
// only the sticky bit tells a tie from a value above it.
extended sticky_partner(extended a, uint64_t &state)
{
	uint64_t r = next_random(state);
	int distance = 62 + (int)(r % 5);
	uint64_t tail = distance == 63 ? UINT64_C(3) << 62 : UINT64_C(1) << 63;
	return {extended_finite, (r >> 8 & 1) != 0, a.exponent - distance,
		tail | (r >> 16 & 3)};
}

constexpr int operations = 200000;

TEST(extended, agrees_with_the_x87_format_operation_by_operation)
{
	uint64_t state = 72;
	int compared = 0;
	int mismatches = 0;
	auto check = [&](const char *what, int input, bool same) {
		compared++;
		if (!same && ++mismatches <= 10)
			ADD_FAILURE() << what << " differs on input " << input;
	};
	for (int i = 0; i < operations; i++) {
		extended a = random_operand(state);
		extended b = random_operand(state);
		if (a.kind == extended_finite && i % 4 == 0)
			b = sticky_partner(a, state);
		if (i % 4 == 1) { // cancels to a zero of the right sign
			b = a;
			b.negative = !a.negative;
		}
		long double x = to_hardware(a), y = to_hardware(b);
		check("a + b", i, same_value(add(a, b), x + y));
		check("b + a", i, same_value(add(b, a), y + x));
		check("a / b", i, same_value(divide(a, b), x / y));
		double rounded = to_double(a), want = (double)x;
		check("double of a", i, memcmp(&rounded, &want, 8) == 0);

		uint64_t bits = next_random(state);
		double d;
		float f;
		memcpy(&d, &bits, sizeof d);
		memcpy(&f, &bits, sizeof f);
		check("widened double", i, same_value(from_double(d), d));
		check("widened float", i, same_value(from_float(f), f));
	}
	printf("compared %d results with long double\n", compared);
	EXPECT_EQ(compared, 6 * operations);
	EXPECT_EQ(mismatches, 0);
}
#endif

} // namespace
