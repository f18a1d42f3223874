// SPDX-License-Identifier: MIT
// The papers of a PPD: the one that a queue's value is measured on, and
// every one that the value must keep the page on.
#ifndef MORVANE_SIZES_H
#define MORVANE_SIZES_H

#include <cups/ppd.h>

#include "adapt.h"
#include "calibration.h"
#include "dots.h"
#include "morvane.h"
#include "paper.h"


// Each function takes the PPD open, once for the run, or null where it
// cannot be read: then it finds nothing.

// The paper that a value set now is measured on: the queue's default,
// media (a PWG name, or null), as the PPD names it, or else the PPD's
// default size. Returns false where the PPD has neither.
bool default_paper(ppd_file_t *ppd, const char *media, paper *found);

// The values, measured on reference (null: each on its paper itself),
// that keep the page on the sheet for every size of the PPD: the range
// common to every paper's, and the papers that bound its ends. Returns
// false where the PPD has no size.
struct paper_bounds {
	dots_range range;
	paper low;
	paper high;
};
bool every_size_bounds(ppd_file_t *ppd, const paper *reference,
    paper_bounds *bounds);

// Whether the value text, measured on reference (null: on each paper
// itself), keeps the page on the sheet for every size of the PPD, as a
// job's must. Returns false after the error line that names a paper that
// it puts the page off, and the range that fits every paper.
bool fits_every_size(ppd_file_t *ppd, const char *text,
    const paper *reference);

// The values of morvane's that a PPD has: for every paper (dots, empty
// where it has none), the paper that they were measured on (reference,
// empty where it has none), and the papers' own.
struct ppd_values {
	char dots[buffer_size];
	char reference[64];
	int count;
	own_value own[max_own_values];
};
void read_values(ppd_file_t *ppd, ppd_values *values);

// The calibration that the server keeps of a queue, in its option
// morvane-calibration-default, which survives a new PPD: the values as
// "DOTS@REFERENCE", then ":NAME=DOTS" for each paper's own.
constexpr char calibration_option[] = "morvane-calibration-default";
void format_calibration(const ppd_values *values, char text[buffer_size]);
bool parse_calibration(const char *text, ppd_values *values);

// Whether the PPD's values are those of the calibration.
bool same_values(const ppd_values *a, const ppd_values *b);

// The PPD's size of that name, other than a custom one. Returns false
// where it has none.
bool find_paper(ppd_file_t *ppd, const char *name, paper *found);

// Whether the value text, the paper's own, keeps the page on its sheet.
// Returns false after the error line.
bool fits_paper(const char *text, const paper *size);

#endif
