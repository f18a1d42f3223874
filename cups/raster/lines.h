// SPDX-License-Identifier: MIT
// The compressed lines of PWG and Apple raster. A line's record is a
// repeat count (the line is there count + 1 times) and runs of units, a
// pixel's bytes (a byte where a pixel is less): a byte n below 128 gives
// the next unit n + 1 times, one above 128 gives the next 257 - n units as
// they are, and 128 fills the rest of the line with white.
#ifndef MORVANE_LINES_H
#define MORVANE_LINES_H

#include <cstddef>

struct line_format {
	size_t bytes;          // of a line
	size_t unit;           // of a run
	unsigned char white;   // the byte of white
};

// The most bytes that the runs of a line can take.
size_t runs_room(const line_format *f);

// Decodes the runs of one line from in, avail bytes, into line. Returns
// the bytes of in that they took, or 0 where in does not hold a whole line
// or its runs overrun it.
size_t decode_runs(const line_format *f, const unsigned char *in,
    size_t avail, unsigned char *line);

// Encodes line as runs into out, which has runs_room bytes. Returns the
// bytes written.
size_t encode_runs(const line_format *f, const unsigned char *line,
    unsigned char *out);

#endif
