// SPDX-License-Identifier: MIT
// A job of one document, which pstops reads in the job's own copy, so
// that the job is not written out again.
#ifndef MORVANE_IN_PLACE_H
#define MORVANE_IN_PLACE_H

#include "documents.h"
#include "postscript_job.h"

// What the job's copy held besides the document, for pstops to read it in
// place: the device setup to be placed, moved to a file of its own, and
// the bytes that follow the document, which go out after pstops' output.
struct in_place {
	int blocks_file;          // setup.ps, where blocks were cut; else -1
	char tail[buffer_size];
	int tail_length;
};

// Whether pstops can read the document in the job's own copy: it starts
// the job (no JCL before it) and no other document follows it, only a
// few bytes that can be kept.
bool whole_job(const postscript_job *j, const document *doc);

// Takes out of the job's own copy what pstops must not read there: the
// count blocks to be placed go to place->blocks_file first, and blocks then
// point into it, and the cut ones are blanked; what follows the document
// goes to place's tail. The copy starts with the document's "%!" line and
// is left ending with its "%%EOF" line, every byte of it where it was.
// Returns false after the error line.
bool clear_in_place(const postscript_job *j, const document *doc, span blocks[],
    int count, in_place *place);

#endif
