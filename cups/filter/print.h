// SPDX-License-Identifier: MIT
// The job's documents printed through pstops, each with morvane's record
// for its paper.
#ifndef MORVANE_PRINT_H
#define MORVANE_PRINT_H

#include "postscript_job.h"

// Prints the documents of the job's copy to standard output: several
// where CUPS makes the copies itself, JCL and all. Returns false after the
// error line, or on a cancel.
bool print_documents(const postscript_job *j);

// Counts the pages of the job's copy in the page log, where they are the
// filter's to count, for a job that passes unchanged.
void count_unchanged(const postscript_job *j);

#endif
