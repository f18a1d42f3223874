// SPDX-License-Identifier: MIT
// morvane-filter's job: the filter's job, with what is morvane-filter's
// own, and handed to every function that prints it.
#ifndef MORVANE_POSTSCRIPT_JOB_H
#define MORVANE_POSTSCRIPT_JOB_H

#include "copy.h"
#include "filter_job.h"
#include "shift.h"

struct postscript_job {
	const filter_job *job;
	mapped_file copy;     // the job, in a file of the job's folder
	command_record record; // morvane's record for the marked paper
	bool counts_pages;    // the filter ends the job's chain: the page log
	                      // counts the pages that it writes
};

// Opens the job's file, which must be a regular file as the descriptor
// opened says. Returns false after the error line, or on a cancel.
bool open_job(const char *file, int *fd);

// Copies the job from input into a file of the folder, fd: as it is, or,
// where raw, through CUPS's own pstops filter first. Returns false after
// the error line, or on a cancel.
bool copy_job(const postscript_job *j, int input, bool raw, int *fd);

// A new file of the job's folder, for reading and writing.
bool make_file(const char *folder, const char *name, int *fd);

#endif
