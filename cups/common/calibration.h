// SPDX-License-Identifier: MIT
// morvane's lines of a PPD and the rules on them, for the filters and
// morvane-setup alike: the value of the vertical dots for every paper,
// the papers' own values, the paper that the value was measured on, and
// the values that keep the page on a sheet.
#ifndef MORVANE_CALIBRATION_H
#define MORVANE_CALIBRATION_H

#include <cups/ppd.h>

#include "morvane.h"
#include "paper.h"

// A value of the vertical dots: its text, its number, and where it comes
// from.
struct dots_value {
	char text[buffer_size];
	double dots;
	char source[128];
};

// A paper's own value, from the PPD's *MorvaneVerticalDots NAME: it holds
// for that paper as it is, and wins over the value for every paper.
struct own_dots {
	paper for_paper;
	dots_value value;
};
constexpr int max_own_dots = 16;

// The values that a job gets.
struct calibration {
	bool has_dots;      // the job's option or the PPD gives the
	dots_value value;   // vertical dots for every paper
	bool has_reference; // that value was measured on a paper of this
	float reference;    // length in points; without one, it applies as
	                    // it is to each
	int own_count;      // the papers that have values of their own
	own_dots own[max_own_dots];
};

// Reads the values of the PPD, the job's option morvane-vertical-dots
// (null: none) winning over the PPD's value for every paper. Returns
// false after the error line that names a value that is not a number.
bool read_calibration(ppd_file_t *ppd, const char *option, calibration *c);

// The size of the PPD as a paper that a value can be measured on: not
// the custom size, and longer than 0. Returns false where it is not one,
// or size is null.
bool measured_paper(const ppd_size_t *size, paper *found);

// The PPD's default size, as measured_paper takes it.
bool default_size(ppd_file_t *ppd, paper *found);

// The paper that the PPD's value was measured on: the size that its
// *MorvaneReferenceSize names, or else its default size. Returns false
// where it has neither, or ppd is null.
bool reference_paper(ppd_file_t *ppd, paper *found);

// The value in effect for a paper: the paper's own, or else the value for
// every paper. The length of the paper that it was measured on goes to
// reference.
const dots_value *value_in_effect(const calibration *c, const paper &p,
    float *reference);

// Whether the value in effect keeps the page's top edge on the sheet of
// the paper. Returns false after the error line.
bool dots_fit(const calibration *c, const paper &p);

// The value that leaves a page of a paper length points long where it is.
long neutral_dots(float length);

// Gives every paper the value that leaves its page where it is, for a
// job whose image shifts apply where the queue has no value.
void take_neutral(calibration *c);

#endif
