// SPDX-License-Identifier: MIT
// A raster page moved on its sheet.
#include "raster_move.h"

#include <cmath>
#include <cstring>

#include <strings.h>

namespace {

// Color spaces whose zero is ink: every other one has white at zero.
bool additive(cups_cspace_t space)
{
	switch (space) {
	case CUPS_CSPACE_W:
	case CUPS_CSPACE_RGB:
	case CUPS_CSPACE_RGBA:
	case CUPS_CSPACE_RGBW:
	case CUPS_CSPACE_SW:
	case CUPS_CSPACE_SRGB:
	case CUPS_CSPACE_ADOBERGB:
		return true;
	default:
		return false;
	}
}

// The byte at index of a segment, white outside it.
unsigned char byte_at(const unsigned char *segment, long length, long index,
    unsigned char white)
{
	return index >= 0 && index < length ? segment[index] : white;
}

// Moves a segment of length bytes by whole bytes, rightwards where
// positive.
void move_bytes(const unsigned char *in, long length, long bytes,
    unsigned char white, unsigned char *out)
{
	long kept = length - (bytes < 0 ? -bytes : bytes);
	if (kept <= 0) {
		memset(out, white, (size_t)length);
	} else if (bytes >= 0) {
		memset(out, white, (size_t)bytes);
		memcpy(out + bytes, in, (size_t)kept);
	} else {
		memcpy(out, in - bytes, (size_t)kept);
		memset(out + kept, white, (size_t)-bytes);
	}
}

// Moves a segment of length bytes by bits, rightwards where positive.
void move_bits(const unsigned char *in, long length, long bits,
    unsigned char white, unsigned char *out)
{
	if (bits % 8 == 0) {
		move_bytes(in, length, bits / 8, white, out);
		return;
	}
	long bytes = bits >= 0 ? bits / 8 : -((-bits + 7) / 8);
	int rest = (int)(bits - bytes * 8);
	for (long i = 0; i < length; i++) {
		unsigned high = byte_at(in, length, i - bytes, white);
		if (rest == 0) {
			out[i] = (unsigned char)high;
			continue;
		}
		unsigned low = byte_at(in, length, i - bytes - 1, white);
		out[i] = (unsigned char)(((low << 8 | high) >> rest) & 0xff);
	}
}

}

bool read_layout(const cups_page_header2_t *h, raster_layout *layout)
{
	// Bands and planes hold one color each, of cupsNumColors.
	bool chunked = h->cupsColorOrder == CUPS_ORDER_CHUNKED;
	unsigned colors = chunked ? 1 : h->cupsNumColors;
	unsigned unit = chunked ? h->cupsBitsPerPixel : h->cupsBitsPerColor;
	bool banded = h->cupsColorOrder == CUPS_ORDER_BANDED;
	unsigned long long bits = (unsigned long long)h->cupsWidth * unit;
	unsigned long long segment = (bits + 7) / 8;
	*layout = {.bytes_per_line = h->cupsBytesPerLine,
	    .segments = banded ? colors : 1, .segment_bytes = (unsigned)segment,
	    .unit_bits = unit, .lines = h->cupsHeight,
	    .planes = h->cupsColorOrder == CUPS_ORDER_PLANAR ? colors : 1,
	    .white = (unsigned char)(additive(h->cupsColorSpace) ? 0xff : 0)};
	return unit != 0 && unit <= 64 && colors != 0 && colors <= 16 &&
	    h->cupsBytesPerLine != 0 &&
	    segment * layout->segments <= h->cupsBytesPerLine;
}

back_side read_back_side(const char *value)
{
	const struct {
		const char *name;
		back_side side;
	} sides[] = {{"Flipped", back_flipped}, {"Rotated", back_rotated},
	    {"ManualTumble", back_manual_tumble}};
	for (const auto &side : sides)
		if (value != nullptr && strcasecmp(value, side.name) == 0)
			return side.side;
	return back_normal;
}

sheet_side side_of_page(const cups_page_header2_t *h, long page)
{
	return h->Duplex && page % 2 == 0 ? side_back : side_front;
}

raster_move move_for_page(const cups_page_header2_t *h, back_side back,
    long page, const double shift[2])
{
	// The renderer turns a back side as the printer will turn it back:
	// across (x), along the feed (y), or both.
	bool turned_x = false, turned_y = false;
	if (side_of_page(h, page) == side_back) {
		bool tumble = h->Tumble != 0;
		turned_x = (back == back_flipped && tumble) ||
		    (back == back_rotated && !tumble) ||
		    (back == back_manual_tumble && tumble);
		turned_y = (back == back_flipped && !tumble) ||
		    (back == back_rotated && !tumble) ||
		    (back == back_manual_tumble && tumble);
	}
	double columns = shift[0] * h->HWResolution[0];
	double lines = -shift[1] * h->HWResolution[1];
	return {.columns = lround(turned_x ? -columns : columns),
	    .lines = lround(turned_y ? -lines : lines)};
}

void move_line(const raster_layout *layout, long columns,
    const unsigned char *in, unsigned char *out)
{
	long bits = columns * (long)layout->unit_bits;
	long length = layout->segment_bytes;
	for (unsigned s = 0; s < layout->segments; s++)
		move_bits(in + s * length, length, bits, layout->white,
		    out + s * length);
	unsigned used = layout->segments * layout->segment_bytes;
	memcpy(out + used, in + used, layout->bytes_per_line - used);
}
