// SPDX-License-Identifier: MIT
// pstops' output passed on as it comes, with what pstops must not see
// spliced into it: the JCL before the document, the document's device
// setup and the filter's procedure sets.
#ifndef MORVANE_SPLICE_H
#define MORVANE_SPLICE_H

#include "copy.h"
#include "morvane.h"
#include "run.h"

// What goes where in the output. Before the first line that starts with
// marker go the bytes jcl of the file from, then the bytes of its blocks,
// then the text before; the text after goes after the first
// "%%EndProcSet" line that follows. The lines before the marker's
// wait in the file held until it comes; without it, nothing goes out.
struct splice_plan {
	int from;
	span jcl;
	const span *blocks;
	int count;
	const char *before;
	const char *after;
	const char *marker;
	int held;
};

// Where the splice stands in the output.
struct splice_state {
	const splice_plan *plan;
	const char *name;        // the program's, for the error lines
	bool placed;             // the marker's line has come, and all before it
	bool after_placed;       // the text after has gone out
	bool in_line;            // a line longer than a buffer is being held
	off_t passed;            // the bytes passed on straight since
	char line[buffer_size];  // the start of a line not yet passed on
	int used;
};

// Runs the program and passes its output on to standard output as the
// plan says. Returns false after the error line, or on a cancel; *placed
// and *after_placed tell how far the splice came.
bool run_spliced(const program *p, const splice_plan *plan,
    bool *placed, bool *after_placed);

#endif
