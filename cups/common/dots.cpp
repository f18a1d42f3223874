// SPDX-License-Identifier: MIT
// The vertical dots.
#include "dots.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"
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
	return dots_per_inch * ((double)length - (double)reference) / 72;
}

double dots_on_paper(double dots, float length, float reference)
{
	return dots + difference(length, reference);
}

dots_range dots_on_sheet(float length, float reference)
{
	// The top edge lands the value for the paper, in dots, plus the margin
	// above the sheet's bottom.
	double shift = difference(length, reference);
	return dots_range{-vertical_margin * dots_per_inch - shift,
	    (2 * (double)length / 72 - vertical_margin) * dots_per_inch - shift};
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

namespace {

// The fewest significant digits of value's magnitude that read back as
// it, into digits, and the power of ten of the first.
int shortest_digits(double value, char digits[32])
{
	char text[32];
	for (int precision = 0; precision < 17; precision++) {
		// NOLINTNEXTLINE(cert-err33-c): 17 digits and an exponent fit.
		snprintf(text, sizeof text, "%.*e", precision, fabs(value));
		if (strtod(text, nullptr) == fabs(value))
			break;
	}
	// "d.ddde+XX": the digits without the point, then the exponent.
	char *e = strchr(text, 'e');
	int used = 0;
	for (const char *p = text; p < e; p++)
		if (*p != '.')
			digits[used++] = *p;
	digits[used] = '\0';
	return (int)strtol(e + 1, nullptr, 10);
}

}

bool canonical_dots(const char *text, char canonical[dots_text_size])
{
	double value = 0;
	if (!read_dots(text, &value))
		return report_error("the vertical dots \"%s\" are not a number", text);
	const char *start = text + strspn(text, " \t\n\v\f\r");
	start += *start == '+' || *start == '-';
	if (start[0] == '0' && (start[1] == 'x' || start[1] == 'X'))
		return report_error("the vertical dots \"%s\" are not a decimal "
		    "number", text);
	char digits[32] = {};
	int before = shortest_digits(value, digits) + 1;  // digits before the point
	int count = (int)strlen(digits);
	int length = (value < 0) + (before >= count ? before : before > 0 ?
	    count + 1 : 2 - before + count);
	if (length >= dots_text_size)
		return report_error("the vertical dots \"%s\" take more than %d "
		    "characters written out in decimal", text, dots_text_size - 1);
	char *out = canonical;
	if (value < 0)
		*out++ = '-';
	if (before <= 0) {
		*out++ = '0';
		*out++ = '.';
	}
	for (int i = before; i < 0; i++)
		*out++ = '0';
	for (int i = 0; i < count || i < before; i++) {
		if (i == before && before > 0)
			*out++ = '.';
		*out++ = i < count ? digits[i] : '0';
	}
	*out = '\0';
	return true;
}
