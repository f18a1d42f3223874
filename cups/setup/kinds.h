// SPDX-License-Identifier: MIT
// The kinds of printer that morvane-setup tells apart by their PPD's own
// filter lines, and what it does with each: a new kind is a new row.
#ifndef MORVANE_KINDS_H
#define MORVANE_KINDS_H

#include "adapt.h"

// Which of the PPD's own filter lines morvane-setup takes out, so that no
// job passes by the filter.
enum taken_lines {
	take_out_none,
	take_out_pdf,    // its lines for PDF, which would take PDF past the
	                 // PostScript, and so past the filter
	take_out_others  // every line but those of the type that the
	                 // filter's line takes
};

struct printer_kind {
	ppd_shape shape;
	// Whether a PPD is of this kind; the first row that says so holds.
	bool (*recognised)(const ppd_filters *filters);
	// The filter that the kind's queues run, and the keyword and type of
	// the line that puts it in; a null type: the PPD's line that gives
	// the printer its type as it is, with the filter for program.
	const char *program;
	const char *keyword;
	const char *type;
	// Where not null, refuses the kind with that message, whose words are
	// the PPD's name and the types that its filters take.
	const char *refusal;
	// Where the filter stands in CUPS's chain: last, or right before the
	// PPD's own filter that before names.
	bool last;
	char (ppd_filters::*before)[buffer_size];
	taken_lines takes_out;
};

// The row of the PPD's kind.
const printer_kind *kind_of(const ppd_filters *filters);

#endif
