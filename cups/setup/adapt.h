// SPDX-License-Identifier: MIT
// morvane-setup's reading and writing of a printer's PPD: where CUPS sends
// a job, and the lines that put a filter of morvane's there.
#ifndef MORVANE_ADAPT_H
#define MORVANE_ADAPT_H

#include <cstdio>

#include "morvane.h"
#include "work.h"

// What a PPD's own filter lines (*cupsFilter and *cupsFilter2, morvane's
// left out and those that morvane-setup took out put back) say of where
// CUPS sends a job.
enum ppd_shape {
	shape_fax,            // a fax, whose pages no sheet shows as they are
	shape_no_filters,     // none: CUPS's PostScript goes to the printer
	shape_own_filter,     // a filter of its own takes CUPS's PostScript
	shape_pdf_direct,     // PDF goes straight to the printer
	shape_raster_direct,  // PWG or Apple raster goes straight to it
	shape_raster_driver,  // a driver takes CUPS's raster
	shape_pclm,           // it takes PCLm alone
	shape_no_postscript   // nothing that a filter of morvane's moves
};

// A line that gives a type to the printer as it is, "-" for its program:
// its keyword and the words before the program.
struct direct_line {
	char keyword[16];
	char type[buffer_size];
	char rest[buffer_size];   // *cupsFilter2's type for the printer, and
	                          // the cost; *cupsFilter's cost
};

struct ppd_filters {
	ppd_shape shape;
	int count;                    // the PPD's own filter lines
	int morvane;                  // lines of morvane's, and lines that
	                              // morvane-setup took out
	bool runs_filter;             // a line of morvane's runs a filter,
	char running[16];             // this one
	bool fax;                     // it is a fax's
	bool pclm;                    // a line takes PCLm
	bool unclosed;                // a quoted value runs to the end: no
	                              // line can be added after it
	bool zero;                    // it holds a zero byte, which is no text
	char program[buffer_size];    // the filter that takes the PostScript
	char raster_program[buffer_size]; // the one that takes CUPS's raster
	bool has_direct;              // the PPD gives PDF, else PWG or Apple
	direct_line direct;           // raster, to the printer as it is
	char types[buffer_size];      // the types its filters take, for a
	                              // refusal: "a, b"
};

// Reads the filter lines of the PPD in from where it is, to its end.
void read_filters(FILE *in, ppd_filters *filters);

// A paper's own value: the size's name in the PPD, and the value.
struct own_value {
	char name[64];
	char dots[64];
};
constexpr int max_own_values = 16;

// The lines of morvane's that a PPD gets besides the filter's: its vertical
// dots for every paper, the size that they were measured on (where not
// null), and the papers' own values.
struct morvane_values {
	const char *dots;
	const char *reference;
	int count;
	const own_value *own;
};

// What to write: the PPD as morvane-filter needs it, with the values
// given, or back as it was before morvane-setup, when values is null.
// Writes the PPD in, from where it is, to out; returns false when a read
// or write fails.
bool write_adapted(FILE *in, FILE *out, const ppd_filters *filters,
    const morvane_values *values);

// The text of the PPD at path as CUPS reads it: where path holds gzip's
// data, which libcups reads as the text it holds, that text, written to a
// file of w's folder whose path goes to plain; else path itself, also
// where it cannot be opened, for the caller's message. name is the PPD's,
// for the messages. Returns null after the error line.
const char *plain_ppd(const work *w, const char *path, const char *name,
    char plain[buffer_size]);

// The prefix of a line that morvane-setup took out, which CUPS keeps as
// a comment.
constexpr char taken_out[] = "*%morvane-setup took out: ";

#endif
