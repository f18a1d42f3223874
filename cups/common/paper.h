// SPDX-License-Identifier: MIT
// A paper: a small value, passed as it is, and the one place that tells
// two papers apart and names a paper by its size.
#ifndef MORVANE_PAPER_H
#define MORVANE_PAPER_H

#include <cups/ppd.h>

// A paper: its name in the PPD (libcups keeps them under 41 bytes), or
// one made of its size, and its width and length in points.
struct paper {
	char name[64];
	float width;
	float length;
};

// Whether two papers are the same: within a point of each other each
// way, as PPDs and documents round sizes.
bool same_paper(const paper &a, const paper &b);

// A paper of that size, width and length in points, named by it
// ("595x842").
paper paper_of_size(const float size[2]);

// A paper of that name and size, the name cut to fit.
paper named_paper(const char *name, float width, float length);

// The largest page, in points, that a size without a custom range may
// have: 200 inches, as in PDF.
constexpr float largest_page = 14400;

// Whether a sheet can have the paper: each side finite and positive, a
// custom size of ppd's within the PPD's range for custom sizes, any other
// (or any where ppd is null) at most largest_page. asked is the paper's
// name as the job asked for it, for the error line. Returns false after
// it.
bool sheet_fits(ppd_file_t *ppd, const paper &p, const char *asked);

#endif
