// SPDX-License-Identifier: MIT
// PWG and Apple raster moved in their compressed lines: each line record
// is decoded, moved and encoded once for all the lines that it repeats,
// and the page headers pass as they are.
#ifndef MORVANE_COMPRESSED_H
#define MORVANE_COMPRESSED_H

#include <sys/types.h>

#include "raster_move.h"
#include "filter_job.h"

// Where the raster comes from: a reader of its bytes, the first of which
// may have been read already.
struct raster_source {
	ssize_t (*read)(void *context, unsigned char *buffer, size_t length);
	void *context;
};

// Moves every page of PWG raster (apple false) or Apple raster, from
// source to the descriptor out, each by the shift of its paper, a back
// side by the printer's way back. Returns false after the error line.
bool move_compressed(const raster_source *source, bool apple, int out,
    filter_job *job, back_side back);

#endif
