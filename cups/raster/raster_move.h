// SPDX-License-Identifier: MIT
// A raster page moved on its sheet: how far, in the raster's own pixels
// and lines, and each line of it moved across. What is moved off the page
// is cut; what is moved in is white.
#ifndef MORVANE_RASTER_MOVE_H
#define MORVANE_RASTER_MOVE_H

#include <cups/raster.h>

#include "image_shift.h"

// How a page's lines are laid out: segments of units side by side, one
// per color where the colors come in bands, else one; where the colors
// come in planes, the page holds its lines once for each.
struct raster_layout {
	unsigned bytes_per_line;
	unsigned segments;         // per line
	unsigned segment_bytes;
	unsigned unit_bits;        // a pixel's bits, or a color's in bands
	                           // and planes
	unsigned lines;            // of a plane
	unsigned planes;
	unsigned char white;       // the byte of a white run
};

// The layout of a page with this header. Returns false where the header
// describes no page that can be moved: its line is not as long as its
// pixels need, or its bands or planes have no number of colors.
bool read_layout(const cups_page_header2_t *h, raster_layout *layout);

// How the printer turns the back side of a sheet, as the PPD's
// *cupsBackSide names it.
enum back_side { back_normal, back_flipped, back_rotated, back_manual_tumble };

// The PPD's value of *cupsBackSide, or null: normal where it names none
// that is known.
back_side read_back_side(const char *value);

// The move of a page in its raster: columns rightwards, lines downwards.
struct raster_move {
	long columns;
	long lines;
};

// The side of the sheet that the page number page (from 1) of a job
// prints on.
sheet_side side_of_page(const cups_page_header2_t *h, long page);

// The move of the page number page (from 1) of a job, for a shift in
// inches rightwards and upwards on the sheet. A back side that the
// raster holds turned, by the printer's way and the job's duplex, has
// its move turned with it.
raster_move move_for_page(const cups_page_header2_t *h, back_side back,
    long page, const double shift[2]);

// Writes to out the line in, each segment moved by columns units.
void move_line(const raster_layout *layout, long columns,
    const unsigned char *in, unsigned char *out);

#endif
