// SPDX-License-Identifier: MIT
// The vertical dots.
#include "dots.h"

#include <cmath>
#include <cstdlib>

#include "offset.h"

bool read_dots(const char *text, double *value)
{
	char *end = nullptr;
	*value = strtod(text, &end);
	if (end == text || !std::isfinite(*value))
		return false;
	while (*end == ' ' || *end == '\t')
		end++;
	return *end == '\0';
}

dots_source dots_in_effect(const char *option, const char *attribute)
{
	if (option != nullptr)
		return dots_from_option;
	return attribute != nullptr ? dots_from_ppd : dots_from_nowhere;
}

// The dots of the difference of two lengths in points.
static double difference(float length, float reference)
{
	return 300 * ((double)length - (double)reference) / 72;
}

double dots_on_paper(double dots, float length, float reference)
{
	return dots + difference(length, reference);
}

dots_range dots_on_sheet(float length, float reference)
{
	// The top edge lands the value for the paper / 300 inch plus the
	// margin above the sheet's bottom.
	double shift = difference(length, reference);
	return dots_range{-vertical_margin * 300 - shift,
	    (2 * (double)length / 72 - vertical_margin) * 300 - shift};
}

dots_bounds no_bounds()
{
	return dots_bounds{.range = {.low = -HUGE_VAL, .high = HUGE_VAL},
	    .low = -1, .high = -1};
}

void narrow_bounds(dots_bounds *bounds, dots_range range, int index)
{
	if (bounds->low < 0 || range.low > bounds->range.low) {
		bounds->range.low = range.low;
		bounds->low = index;
	}
	if (bounds->high < 0 || range.high < bounds->range.high) {
		bounds->range.high = range.high;
		bounds->high = index;
	}
}
