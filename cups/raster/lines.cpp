// SPDX-License-Identifier: MIT
// The compressed lines of PWG and Apple raster.
#include "lines.h"

#include <cstring>

size_t runs_room(const line_format *f)
{
	// Each run's byte gives at least one unit.
	size_t units = (f->bytes + f->unit - 1) / f->unit;
	return f->bytes + units + 1;
}

size_t decode_runs(const line_format *f, const unsigned char *in,
    size_t avail, unsigned char *line)
{
	size_t at = 0, filled = 0;
	while (filled < f->bytes) {
		if (at >= avail)
			return 0;
		unsigned count = in[at++];
		if (count == 128) {
			memset(line + filled, f->white, f->bytes - filled);
			return at;
		}
		size_t units = count < 128 ? count + 1 : 257 - count;
		size_t bytes = units * f->unit;
		if (filled + bytes > f->bytes)
			return 0;
		if (count < 128) {
			if (avail - at < f->unit)
				return 0;
			if (f->unit == 1)
				memset(line + filled, in[at], units);
			for (size_t i = 0; f->unit > 1 && i < units; i++)
				memcpy(line + filled + i * f->unit, in + at, f->unit);
			at += f->unit;
		} else {
			if (avail - at < bytes)
				return 0;
			memcpy(line + filled, in + at, bytes);
			at += bytes;
		}
		filled += bytes;
	}
	return at;
}

namespace {

// How many units from unit i on equal unit i, at most 128.
size_t same_units(const line_format *f, const unsigned char *line, size_t i,
    size_t units)
{
	size_t n = 1;
	size_t unit = f->unit;
	const unsigned char *first = line + i * unit;
	if (unit == 1) {
		while (i + n < units && n < 128 && first[n] == first[0])
			n++;
		return n;
	}
	while (i + n < units && n < 128 &&
	    memcmp(first + n * unit, first, unit) == 0)
		n++;
	return n;
}

}

size_t encode_runs(const line_format *f, const unsigned char *line,
    unsigned char *out)
{
	size_t units = f->bytes / f->unit;
	size_t at = 0, i = 0;
	while (i < units) {
		size_t same = same_units(f, line, i, units);
		if (same > 1) {
			out[at++] = (unsigned char)(same - 1);
			memcpy(out + at, line + i * f->unit, f->unit);
			at += f->unit;
			i += same;
			continue;
		}
		// Units as they are, up to the next that repeats.
		size_t start = i;
		while (i < units && i - start < 128 &&
		    (i == start || same_units(f, line, i, units) == 1))
			i++;
		// A run of one unit is a repeat of none: 257 - 1 is no byte.
		out[at++] = (unsigned char)(i - start == 1 ? 0 : 257 - (i - start));
		memcpy(out + at, line + start * f->unit, (i - start) * f->unit);
		at += (i - start) * f->unit;
	}
	return at;
}
