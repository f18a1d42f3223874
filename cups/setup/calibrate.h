// SPDX-License-Identifier: MIT
// The calibration page: a page that tells which vertical dots to set.
#ifndef MORVANE_CALIBRATE_H
#define MORVANE_CALIBRATE_H

#include <cstdio>

#include "sizes.h"
#include "work.h"

// Prints the calibration page on the queue, as a job of its own that gets
// the queue's vertical dots as every job does: on the paper size, where
// it is not null, else on the queue's default. Returns false after the
// error line.
bool calibrate(const work *w, const char *queue, const char *size);

// What the page says: the value in effect on its paper, the paper that a
// value set from it is for, where it is one paper's own, and the paper it
// prints on.
struct page_value {
	char text[buffer_size];
	const char *size;
	paper sheet;
};

// Writes the PostScript of the calibration page that calibrate sends, for
// the queue and the value, to file. Returns false when a write fails.
bool write_calibration_page(FILE *file, const char *queue,
    const page_value *dots);

#endif
