// SPDX-License-Identifier: MIT
// The image shifts of IPP's attributes.
#include "image_shift.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "log.h"

const char *const image_shift_names[image_shift_attributes] = {
    "x-image-shift", "y-image-shift", "x-side1-image-shift",
    "y-side1-image-shift", "x-side2-image-shift", "y-side2-image-shift"};

// Hundredths of a millimetre to the inch.
constexpr double per_inch = 2540;

// IPP's integers are 32 bits wide.
bool read_image_shift(const char *text, long *value)
{
	const char *digits = text + (*text == '-' || *text == '+');
	if (*digits < '0' || *digits > '9')
		return false;
	char *end = nullptr;
	errno = 0;
	long long whole = strtoll(text, &end, 10);
	*value = (long)whole;
	return *end == '\0' && errno == 0 && whole >= INT32_MIN &&
	    whole <= INT32_MAX;
}

bool read_image_shifts(const char *const texts[image_shift_attributes],
    image_shifts *shifts)
{
	long values[image_shift_attributes] = {};
	shifts->given = false;
	for (int i = 0; i < image_shift_attributes; i++) {
		if (texts[i] == nullptr)
			continue;
		if (!read_image_shift(texts[i], &values[i]))
			return report_error("%s=%s is not a whole number of "
			    "hundredths of a millimetre", image_shift_names[i],
			    texts[i]);
		shifts->given = true;
	}
	for (int s = side_front; s <= side_back; s++) {
		// The side's own attribute, else the one for both sides.
		int x = texts[2 + 2 * s] != nullptr ? 2 + 2 * s :
		    texts[0] != nullptr ? 0 : -1;
		int y = texts[3 + 2 * s] != nullptr ? 3 + 2 * s :
		    texts[1] != nullptr ? 1 : -1;
		shifts->side[s] = side_shift{
		    .x = x >= 0 ? values[x] : 0, .y = y >= 0 ? values[y] : 0,
		    .x_from = x >= 0 ? image_shift_names[x] : nullptr,
		    .y_from = y >= 0 ? image_shift_names[y] : nullptr};
	}
	return true;
}

// The whole number at or below value, and at or above it: rounded here,
// where std::floor and std::ceil would cost every filter's start the
// lookup of their symbols.
static long below(double value)
{
	long whole = (long)value;
	return (double)whole > value ? whole - 1 : whole;
}

static long above(double value)
{
	long whole = (long)value;
	return (double)whole < value ? whole + 1 : whole;
}

// The whole values strictly between the ends, in inches.
static shift_range whole_between(double low, double high)
{
	return shift_range{.low = below(low * per_inch) + 1,
	    .high = above(high * per_inch) - 1};
}

// Some of the image stays on the sheet while it moves by less than the
// sheet's width or length, in all.
shift_range x_shift_range(const paper &p, double record)
{
	double width = (double)p.width / 72;
	return whole_between(-width - record, width - record);
}

shift_range y_shift_range(const paper &p, double record)
{
	double length = (double)p.length / 72;
	return whole_between(record - length, record + length);
}

static bool shift_fits(const char *name, long value, shift_range range,
    sheet_side side, const paper &p)
{
	return (value >= range.low && value <= range.high) ||
	    report_error("%s=%ld puts the %s side's image off the sheet of %s: "
	    "from %ld to %ld hundredths of a millimetre fit", name, value,
	    side == side_front ? "front" : "back", p.name, range.low,
	    range.high);
}

bool add_image_shift(const image_shifts *shifts, sheet_side side,
    const paper &p, double shift[2])
{
	const side_shift *s = &shifts->side[side];
	if ((s->x_from != nullptr &&
	    !shift_fits(s->x_from, s->x, x_shift_range(p, shift[0]), side, p)) ||
	    (s->y_from != nullptr &&
	    !shift_fits(s->y_from, s->y, y_shift_range(p, shift[1]), side, p)))
		return false;
	shift[0] += (double)s->x / per_inch;
	shift[1] -= (double)s->y / per_inch;
	return true;
}

bool shift_each_side(const image_shifts *shifts, bool two_sided,
    const paper &p, const double record[2], double sides[2][2])
{
	for (int s = side_front; s <= side_back; s++) {
		sides[s][0] = record[0];
		sides[s][1] = record[1];
	}
	return add_image_shift(shifts, side_front, p, sides[side_front]) &&
	    (!two_sided || add_image_shift(shifts, side_back, p,
	    sides[side_back]));
}
