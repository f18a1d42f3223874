// SPDX-License-Identifier: MIT
// The vertical dots: what counts as a value, which source of it wins, and
// which values keep the page on the sheet.
#ifndef MORVANE_DOTS_H
#define MORVANE_DOTS_H

// The printer's dots that a value counts: 300 to the inch.
constexpr double dots_per_inch = 300;

// Whether text is a value of the vertical dots: a finite number, blanks
// allowed around it, nothing else. morvane would read anything else as
// 0, which moves the page off the sheet. The number goes to value.
bool read_dots(const char *text, double *value);

// Where a queue's jobs get their vertical dots: from the job's option,
// which CUPS fills in from the queue's morvane-vertical-dots-default, or
// else from the PPD's *MorvaneVerticalDots.
enum dots_source { dots_from_nowhere, dots_from_option, dots_from_ppd };
dots_source dots_in_effect(const char *option, const char *attribute);

// A value is measured on one paper, its reference, reference points long.
// On a paper length points long the page moves by the same distance from
// the sheet's top edge, so morvane gets the value for that paper: the
// value plus the difference of the lengths, in dots.
double dots_on_paper(double dots, float length, float reference);

// The values measured on the reference that put the page's top edge on a
// sheet length points long: above the sheet's bottom and less than the
// page's length above its top.
struct dots_range {
	double low;
	double high;
};
dots_range dots_on_sheet(float length, float reference);

// The values that keep the page on each of a set of sheets: the range
// common to theirs, and the sheet that bounds each end, by its index (-1
// before the first). The range is empty where low is not below high.
struct dots_bounds {
	dots_range range;
	int low;
	int high;
};
dots_bounds no_bounds();

// Narrows bounds to the range of the sheet index; of two sheets with the
// same end, the earlier bounds it.
void narrow_bounds(dots_bounds *bounds, dots_range range, int index);

// The text that morvane-setup stores for a value: the shortest decimal
// that reads back as the same number, with no sign but a minus, no
// exponent, no blanks and no point without digits after it ("3480",
// "3100.5", "-35.25"). Its size leaves room for every value that can keep
// a page on a sheet.
constexpr int dots_text_size = 64;

// The value text, as read_dots takes it, in that form. read_dots also
// takes the hexadecimal numbers of strtod, which PPDs in use may hold and
// the filters still take; morvane-setup stores none. Returns false after
// the error line that names text.
bool canonical_dots(const char *text, char canonical[dots_text_size]);

#endif
