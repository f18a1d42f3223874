// SPDX-License-Identifier: MIT
// The vertical offset: fixed cases on every architecture, and agreement bit
// for bit with the x87 extended format where long double is that format.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "offset.h"
#include "test_random.h"

namespace {

constexpr double margin = 0.11811023622047245;

std::string printed(double value)
{
	char text[64];
	snprintf(text, sizeof text, "%f", value);
	return text;
}

double from_bits(uint64_t bits)
{
	double value;
	memcpy(&value, &bits, sizeof value);
	return value;
}

uint64_t bits(double value)
{
	uint64_t bits;
	memcpy(&bits, &value, sizeof bits);
	return bits;
}

TEST(vertical_offset, prints_the_extended_result)
{
	// A NaN with every payload bit set, read as the operand is. On MIPS
	// it is the platform's default NaN, read as x86-64's: then it cannot
	// win over the other NaN, and the sign is lost.
	const double full_nan = strtod("-nan(0x7ffffffffffff)", nullptr);
	const double default_nan = std::numeric_limits<double>::quiet_NaN();
	const bool full_is_default =
	    (bits(full_nan) << 1) == (bits(default_nan) << 1);
	const struct {
		float height;
		double vertical_dots;
		const char *offset;
	} cases[] = {
		{0, 0, "0.118110"},
		{-0.0f, -0.0, "0.118110"},
		// Next to a tie of the sixth decimal, where double arithmetic
		// prints one unit off.
		{842, 3398.1626124671916, "-0.249125"},
		{842, 2875.2761124671915, "-1.992081"},
		{842, 2882.4032124671917, "-1.968323"},
		{842, 2939.4200124671916, "-1.778268"},
		// Subnormal and large operands.
		{1e-40f, 5e-324, "0.118110"},
		{0, 3e6, "10000.118110"},
		// The two quotients nearly cancel: the sum needs 97 bits.
		{72000000, 300000000.45, "0.119610"},
		{-7.2e6f, 0, "100000.118110"},
		// 1 less a tiny part rounds up to all ones and carries into
		// the next power of two.
		{1e-45f, 300, "1.118110"},
		// Infinities and NaNs: a NaN keeps its sign, infinity minus
		// infinity gives the negative NaN.
		{0, INFINITY, "inf"},
		{INFINITY, 0, "-inf"},
		{INFINITY, INFINITY, "-nan"},
		{-INFINITY, -INFINITY, "-nan"},
		{0, NAN, "nan"},
		{0, -NAN, "-nan"},
		{-NAN, 0, "-nan"},
		{NAN, -NAN, "nan"},
		{-NAN, NAN, "nan"},
		{-NAN, -NAN, "-nan"},
		{-NAN, from_bits(0x7ff8000000000001), "nan"},
		{-NAN, from_bits(0xfff8000000000001), "-nan"},
		{NAN, full_nan, full_is_default ? "nan" : "-nan"},
	};
	for (const auto &c : cases)
		EXPECT_EQ(printed(vertical_offset(c.height, c.vertical_dots)),
		    c.offset)
		    << "height " << c.height << ", vertical dots "
		    << c.vertical_dots;
}

#if LDBL_MANT_DIG == 64
float float_from_bits(uint32_t bits)
{
	float value;
	memcpy(&value, &bits, sizeof value);
	return value;
}

double hardware_offset(float height, double vertical_dots)
{
	long double down = (long double)vertical_dots / 300.0f;
	long double up = (long double)height / -72.0f;
	return (double)(down + up + (long double)margin);
}

bool same_bits(double a, double b)
{
	return memcmp(&a, &b, sizeof a) == 0;
}

// On i386 the x87 keeps float and double expressions in extended precision
// until they are stored, so an input made by arithmetic could reach the two
// computations as different values. A store to memory rounds it once.
template <typename T> T stored(T value)
{
	volatile T copy = value;
	return copy;
}

constexpr int random_inputs = 400000;
constexpr int tie_inputs = 100000;

TEST(vertical_offset, agrees_with_the_x87_format)
{
	uint64_t state = 2026;
	int compared = 0, mismatches = 0;
	auto compare = [&](float unrounded_height, double unrounded_dots) {
		float height = stored(unrounded_height);
		double vertical_dots = stored(unrounded_dots);
		double want = hardware_offset(height, vertical_dots);
		double got = vertical_offset(height, vertical_dots);
		compared++;
		if (!same_bits(got, want) && ++mismatches <= 10)
			ADD_FAILURE() << "height " << height << " ("
				      << std::hexfloat << height
				      << "), vertical dots " << vertical_dots
				      << ": " << got << ", want " << want;
	};
	for (int i = 0; i < random_inputs; i++) {
		uint64_t r = next_random(state);
		uint64_t s = next_random(state);
		switch (i % 4) {
		case 0: // any bit patterns: subnormals, infinities, NaNs
			compare(float_from_bits((uint32_t)r), from_bits(s));
			break;
		case 1: // any exponent, mixed magnitudes
			compare(float_from_bits((uint32_t)r),
			    std::ldexp((double)(s >> 11), (int)(r >> 40) % 200 - 100));
			break;
		default: // page heights and offsets of real jobs
			compare((float)(r % 400000) / 100,
			    (double)(int64_t)(s % 4000000 - 2000000) / 97);
			break;
		}
	}
	// Offsets next to a tie of the sixth decimal, and their neighbours.
	for (int i = 0; i < tie_inputs / 5; i++) {
		uint64_t r = next_random(state);
		float height = (float)(r % 300000) / 100;
		double tie = (double)(int64_t)(r >> 40 & 0xffffff) / 1e6 - 8 +
		    5e-7;
		double dots = std::nextafter(std::nextafter(
		    300 * (tie + (double)height / 72 - margin), -INFINITY),
		    -INFINITY);
		for (int step = 0; step < 5; step++) {
			compare(height, dots);
			dots = std::nextafter(dots, INFINITY);
		}
	}
	printf("compared %d inputs with long double\n", compared);
	EXPECT_EQ(compared, random_inputs + tie_inputs);
	EXPECT_EQ(mismatches, 0);
}
#endif

} // namespace
