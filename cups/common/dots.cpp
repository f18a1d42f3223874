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

dots_range dots_on_sheet(float length)
{
	// The top edge lands dots / 300 inch plus the margin above the
	// sheet's bottom.
	return dots_range{-vertical_margin * 300,
	    (2 * (double)length / 72 - vertical_margin) * 300};
}
