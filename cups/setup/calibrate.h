// SPDX-License-Identifier: MIT
// The calibration page: a page that tells which vertical dots and which
// horizontal shift to set, with a back that tells the back's shifts on a
// queue that prints two-sided.
#ifndef MORVANE_CALIBRATE_H
#define MORVANE_CALIBRATE_H

#include <cstdio>

#include "sizes.h"
#include "work.h"

// Prints the calibration page on the queue, as a job of its own that gets
// the queue's vertical dots and image shifts as every job does: on the
// paper size, where it is not null, else on the queue's default; on both
// sides of one sheet where the queue's PPD prints two-sided. Returns false
// after the error line.
bool calibrate(const work *w, const char *queue, const char *size);

// The image shifts in effect, in hundredths of a millimetre, that the
// page's rulers and its back's table add to: the front's and the back's
// horizontal shifts, the back's vertical one, and the command's name for
// the front's (x, or x-front where the queue has a front's own).
struct page_shifts {
	bool two_sided;
	long front_x;
	long back_x;
	long back_y;
	const char *front_name;
};

// What the page says: the value in effect on its paper, the paper that a
// value set from it is for, where it is one paper's own, the paper it
// prints on, and the shifts; a two-sided page has a back.
struct page_value {
	char text[buffer_size];
	const char *size;
	paper sheet;
	page_shifts shifts;
};

// Writes the PostScript of the calibration page that calibrate sends, for
// the queue and the value, to file. Returns false when a write fails.
bool write_calibration_page(FILE *file, const char *queue,
    const page_value *dots);

#endif
