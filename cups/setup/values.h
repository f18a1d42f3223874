// SPDX-License-Identifier: MIT
// What morvane-setup writes into a PPD: the values that it takes, the paper
// that they are measured on, and the kinds of PPD that it refuses.
#ifndef MORVANE_VALUES_H
#define MORVANE_VALUES_H

#include "adapt.h"
#include "dots.h"
#include "sizes.h"
#include "work.h"

// What morvane-setup makes of a PPD: the file, its name for the messages,
// and the value to set (null: morvane's lines taken out): for every paper,
// measured on the queue's default paper, media (a PWG name), or on the
// PPD's default; or, where size is not null, for that paper alone.
struct adaptation {
	const char *from;
	ppd_file_t *ppd;            // the PPD at from, open, or null: adapt
	                            // opens it
	const char *name;
	const char *dots;
	const char *media;
	const char *size;
	const ppd_values *restore;  // the values that the server kept, put
	                            // back as they are, or null
};

// Writes the PPD adapted (or without morvane's lines) to w->adapted, after
// cupsfilter found that every kind of job passes the filter; the paper that
// the value is measured on goes to reference. Returns false after the error
// line.
bool adapt(const work *w, const adaptation *a, ppd_filters *filters,
    paper *reference);

// The vertical dots to write, from DOTS as typed: in the one decimal form
// that morvane-setup stores, in stored, where *dots then points; null
// where none were typed (--neutral, --remove). Returns false after the
// error line.
bool dots_to_write(const char *typed, char stored[dots_text_size],
    const char **dots);

#endif
