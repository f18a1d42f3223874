// SPDX-License-Identifier: MIT
// A job's raster read and written a line at a time, in the format that it
// came in: CUPS raster through libcups, PWG and Apple raster in their
// compressed lines.
#ifndef MORVANE_STREAM_H
#define MORVANE_STREAM_H

#include "raster_move.h"
#include "filter_job.h"

// Where the job comes from and goes to, and how its pages are moved.
struct raster_job {
	int in;              // the raster, read from its start
	int out;
	filter_job *job; // the shift of each page's paper
	back_side back;      // how the printer turns the back side
};

// Moves every page of the job's raster by the shift of its paper. Returns
// false after the error line; what was written of the raster before stays
// written.
bool move_raster(const raster_job *j);

#endif
