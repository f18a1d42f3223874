// SPDX-License-Identifier: MIT
// The job: made once, from the filter's arguments and the queue's PPD,
// and handed to every function that prints it.
#ifndef MORVANE_JOB_H
#define MORVANE_JOB_H

#include "copy.h"
#include "folder.h"
#include "paper.h"
#include "shift.h"

// Where the job comes from and what prints it.
struct job {
	record_run run;       // the filter's arguments (job user title copies
	                      // options [file]), the job's private folder,
	                      // morvane, and psutils' pstops by its absolute path
	const char *ppd;      // the queue's PPD
	mapped_file copy;     // the job, in a file of the folder's
	page_setup paper;     // the paper that the job's options mark
	command_record record; // morvane's record for it
	bool counts_pages;    // the filter ends the job's chain: the page log
	                      // counts the pages that it writes
};

// Opens the job's file, which must be a regular file as the descriptor
// opened says. Returns false after the error line, or on a cancel.
bool open_job(const char *file, int *fd);

// Copies the job from input into a file of the folder, fd: as it is, or,
// where raw, through CUPS's own pstops first. Returns false after the
// error line, or on a cancel.
bool copy_job(const job *j, int input, bool raw, int *fd);

// A new file of the job's folder, for reading and writing.
bool make_file(const char *folder, const char *name, int *fd);

#endif
