// SPDX-License-Identifier: MIT
// The kinds of printer that morvane-setup tells apart by their PPD's own
// filter lines, and what it does with each: a new kind is a new row.
#ifndef MORVANE_KINDS_H
#define MORVANE_KINDS_H

#include "adapt.h"

struct printer_kind {
	ppd_shape shape;
	// Whether a PPD is of this kind; the first row that says so holds.
	bool (*recognised)(const ppd_filters *filters);
	// The keyword of the line that puts the filter in; refusal, where not
	// null, refuses the kind with that message, whose words are the PPD's
	// name and the types that its filters take.
	const char *keyword;
	const char *refusal;
	// Where the filter stands in CUPS's chain: last, or right before the
	// PPD's own filter for CUPS's PostScript.
	bool last;
	// Its lines for PDF are taken out, which would take PDF past the
	// PostScript, and so past the filter.
	bool takes_out_pdf;
};

// The row of the PPD's kind.
const printer_kind *kind_of(const ppd_filters *filters);

#endif
