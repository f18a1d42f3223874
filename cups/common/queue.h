// SPDX-License-Identifier: MIT
// The queue as a job finds it: what its PPD and the job's options say,
// read once when the job starts and not changed after. The filters call
// libcups' PPD functions here and in ppd.cpp, calibration.cpp and
// paper.cpp only.
#ifndef MORVANE_QUEUE_H
#define MORVANE_QUEUE_H

#include <cups/ppd.h>

#include "calibration.h"
#include "image_shift.h"
#include "morvane.h"
#include "paper.h"

struct queue {
	calibration values;     // the vertical dots that the job gets
	bool raw_postscript;    // the PPD takes PostScript that CUPS has not
	                        // prepared (application/postscript)
	bool plain_sends_size;  // the PPD without morvane's lines would have
	                        // CUPS send the size's code too
	char back_side[16];     // how the printer turns a sheet's back side,
	                        // its *cupsBackSide, or empty
	bool manual_copies;     // the printer makes no copies itself
	bool two_sided;         // the job's marked duplex prints both sides
	image_shifts shifts;    // the job's image shifts
	char chain_ends[buffer_size]; // the programs that may end the job's
	                        // chain, to final_type
};

// The job's paper, as its options mark it in the PPD: none where neither
// they nor the PPD's default mark a size.
struct marked_paper {
	bool known;
	paper value;
};

// What read_queue reads: the PPD, open, the job's options, and the type
// that the job's chain of filters ends in ($FINAL_CONTENT_TYPE).
struct queue_source {
	ppd_file_t *ppd;
	const char *options;
	const char *final_type;
};

// Marks the job's options in the PPD and reads the queue and the job's
// paper, which must be one that a sheet can have. Returns false after the
// one error line, with no paper known.
bool read_queue(const queue_source *source, queue *q, marked_paper *job);

// The PPD's size of that name, checked as the job's paper is. Returns
// false after the error line, or with *missing and no line where the PPD
// has no size of that name.
bool ppd_paper(ppd_file_t *ppd, const char *name, paper *found,
    bool *missing);

// The paper of a size that the job's code asks for, by a name that the
// PPD lacks, checked as the PPD's named sizes are. Returns false after
// the error line.
bool code_paper(const char *name, const float size[2], paper *found);

// The PPD's size within a point of size, a page's as the sheet has it,
// or else the paper of that size, named by it. Returns false after the
// error line.
bool sheet_paper(ppd_file_t *ppd, const float size[2], paper *found);

// The PPD's option and choice that print on both sides of a sheet, its
// back turned over the long edge, where the PPD has a duplex option:
// whichever choice of it neither prints one side nor turns over the short
// edge. Returns false where it has none.
bool long_edge_choice(ppd_file_t *ppd, const char **name,
    const char **choice);

#endif
