// SPDX-License-Identifier: MIT
// What prints one document of the job, decided before anything of it
// goes out.
#ifndef MORVANE_PLAN_H
#define MORVANE_PLAN_H

#include "documents.h"
#include "postscript_job.h"
#include "shift.h"

struct document_plan {
	bool own_sizes;           // its code asks for page sizes of its own
	bool drops;               // a block of CUPS's size code does not go
	int dropped;              // to the printer: this one
	paper in_effect;          // the paper in effect for it
	command_record record;    // morvane's record for that paper, its
	                          // layout the sides' where they differ
	bool sided;               // its sides are shifted apart
	double front[2];          // the shift of its fronts, in inches
	char layout[buffer_size]; // the layout of the sides, where sided
	char shifts[buffer_size]; // the procedure set of the shifts for the
	                          // sizes that its pages may ask for
};

// Plans the document: which block of size code is dropped, which paper is
// in effect, morvane's record for it with the job's image shifts, and the
// shifts for the sizes that its pages ask for. It writes no output and
// changes neither the job nor its copy. Returns false after the error
// line, or on a cancel.
bool plan_document(const postscript_job *j, const document *doc,
    document_plan *plan);

#endif
