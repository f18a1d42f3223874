// SPDX-License-Identifier: MIT
// The image shifts that a job asks for by IPP's attributes x-image-shift,
// y-image-shift and their side1 and side2 forms: hundredths of a
// millimetre, in the frame of each side of the sheet as it is read
// (upright, the page size portrait), x rightwards and y downwards. They
// add to the shift of morvane's record.
#ifndef MORVANE_IMAGE_SHIFT_H
#define MORVANE_IMAGE_SHIFT_H

#include "paper.h"

// The sides of a sheet; a one-sided job prints fronts only.
enum sheet_side { side_front, side_back };

// The names of the attributes, in the order that image_shifts reads their
// values: both sides, then the front's own, then the back's own, each x
// before y.
constexpr int image_shift_attributes = 6;
extern const char *const image_shift_names[image_shift_attributes];

// One side's shift, and the attributes that gave it (null: none, 0).
struct side_shift {
	long x;
	long y;
	const char *x_from;
	const char *y_from;
};

struct image_shifts {
	bool given;         // some attribute gave a shift
	side_shift side[2]; // by sheet_side
};

// Reads one attribute's text: a whole number, a sign allowed, that fits
// IPP's 32-bit integers. Says nothing; returns false where it is not one.
bool read_image_shift(const char *text, long *value);

// Reads the attributes' texts (null: not given), in the order of
// image_shift_names: a side's own attribute wins over the one for both.
// A text is a whole number, a sign allowed. Returns false after the error
// line that names the attribute and its text.
bool read_image_shifts(const char *const texts[image_shift_attributes],
    image_shifts *shifts);

// The values of an attribute that keep the image on the sheet, where the
// record already shifts it by record inches (rightwards for x, upwards for
// y): those that leave some of it on the sheet.
struct shift_range {
	long low;
	long high;
};
shift_range x_shift_range(const paper &p, double record);
shift_range y_shift_range(const paper &p, double record);

// Adds the side's shift to the record's shift, in inches rightwards and
// upwards, after checking that it keeps the image on the paper. Returns
// false after the error line, which names the attribute, its value and
// the range that fits.
bool add_image_shift(const image_shifts *shifts, sheet_side side,
    const paper &p, double shift[2]);

// The shift of each side that a job prints on a paper: sides[side_front],
// and where it is two-sided sides[side_back], each the record's shift and
// the side's own; a one-sided job's back keeps the record's. Returns false
// after add_image_shift's error line.
bool shift_each_side(const image_shifts *shifts, bool two_sided,
    const paper &p, const double record[2], double sides[2][2]);

#endif
