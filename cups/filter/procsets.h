// SPDX-License-Identifier: MIT
// The filter's PostScript procedure sets, which go into pstops' output:
// its own setpagedevice, and the table of shifts for the page sizes that
// the pages may ask for.
#ifndef MORVANE_PROCSETS_H
#define MORVANE_PROCSETS_H

#include "morvane.h"

// Goes before pstops' procedure set.
extern const char page_device[];

// The table of shifts, as it is written: it goes after pstops' procedure
// set, and puts the filter's setpagedevice in place.
struct shift_rows {
	char *text;  // buffer_size bytes
	int used;
};
void begin_shifts(shift_rows *rows);
// A row: the page size in points, and the shift in inches of morvane's
// record for it.
void add_shift(shift_rows *rows, const float size[2], const double shift[2]);
// Ends the table; where the document's sides are shifted apart (sided),
// a page's request of the device that keeps its size keeps the page's
// place on its side. Returns false where the table does not fit in the
// buffer.
bool end_shifts(shift_rows *rows, bool sided);

#endif
