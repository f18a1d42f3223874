// SPDX-License-Identifier: MIT
// The job's paper: what the queue's PPD and the job's options say of its
// size and of the vertical dots, and the only code of the filter that
// calls the PPD functions of libcups.
#ifndef MORVANE_PAPER_H
#define MORVANE_PAPER_H

#include "morvane.h"

// A value of the vertical dots: its text, its number, and where it comes
// from.
struct dots_value {
	char text[buffer_size];
	double dots;
	char source[128];
};

// A paper's own value, from the PPD's *MorvaneVerticalDots NAME: it holds
// for that paper as it is, and wins over the value for every paper.
struct size_dots {
	char name[64];
	float width;
	float length;
	dots_value value;
};
constexpr int max_size_dots = 16;

// What the queue's PPD and the job's options say about the job.
struct page_setup {
	bool has_size;               // a page size is marked
	char size_name[buffer_size]; // its name in the PPD
	float width;                 // its width and length in points
	float length;
	bool has_dots;               // the job's option or the PPD gives the
	dots_value value;            // vertical dots for every paper
	bool has_reference;          // that value was measured on a paper
	float reference;             // of this length in points; without
	                             // one, it applies as it is to each
	int own_count;               // the papers that have values of their
	size_dots own[max_size_dots]; // own
	bool raw_postscript;         // the PPD takes PostScript that CUPS has
	                             // not prepared (application/postscript)
	bool plain_sends_size;       // the PPD without morvane's lines would
	                             // have CUPS send the size's code too
	char back_side[16];          // how the printer turns a sheet's back
	                             // side, its *cupsBackSide, or empty
	bool manual_copies;          // the printer makes no copies itself
	char chain_ends[buffer_size]; // the programs that may end the job's
	                             // chain, to $FINAL_CONTENT_TYPE
};

// Reads the PPD at path and the size that the job's options mark in it.
// Returns false, after the one error line, when the PPD cannot be used
// or the size is not one that a sheet can have; has_size is then false.
bool read_page_setup(const char *path, const char *options,
    page_setup *setup);

// Replaces the size in setup by the PPD's size of that name, checked as
// read_page_setup checks it. Returns false after the one error line, or
// with *missing and no line where the PPD has no size of that name.
bool read_named_size(const char *path, const char *name, page_setup *setup,
    bool *missing);

// Replaces the size in setup by a size of a name that the PPD lacks, as
// the job's code asks for it, checked as the PPD's named sizes are.
// Returns false after the one error line.
bool take_code_size(const char *name, const float size[2],
    page_setup *setup);

// Whether two papers, width and length in points, are the same: within a
// point of each other each way, as PPDs and documents round sizes.
bool same_paper(float width, float length, float other_width,
    float other_length);

// Replaces the size in setup by the PPD's size within a point of size, a
// page's as the sheet has it, or else by size itself, named by its
// dimensions. Returns false after the one error line.
bool take_sheet_size(const char *path, const float size[2],
    page_setup *setup);

// The value in effect for the size in setup: the size's own, or else the
// value for every paper. The length of the paper that it was measured on
// goes to reference.
const dots_value *value_in_effect(const page_setup *setup, float *reference);

// Whether the vertical dots keep the page's top edge on the sheet for
// the size in setup. Returns false after the one error line.
bool dots_fit(const page_setup *setup);

// The largest page, in points, that a size without a custom range may
// have: 200 inches, as in PDF.
constexpr float largest_page = 14400;

#endif
