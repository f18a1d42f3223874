// SPDX-License-Identifier: MIT
// The shift of each page, for the filters that move the pages themselves
// (a PDF's, a raster's): morvane's record for the page's paper, with the
// job's value of the vertical dots moved to that paper, as morvane-filter
// gets it. morvane runs once for each paper of the job.
#ifndef MORVANE_PAGE_SHIFT_H
#define MORVANE_PAGE_SHIFT_H

#include "paper.h"
#include "shift.h"

// A paper of the job, in points, and its shift in inches, rightwards and
// upwards as the page lies on the sheet.
struct paper_shift {
	float size[2];
	double shift[2];
};

constexpr int max_papers = 16;

struct page_shifts {
	record_run run;      // morvane, run in the job's folder
	const char *ppd;     // the queue's PPD
	page_setup setup;    // the value of the dots, as the PPD and the
	                     // job's options give it
	int page_copies;     // the copies that each page written stands for
	                     // in the page log; 0: another filter counts
	bool has_job_paper;  // the shift of the job's own paper is known
	paper_shift job_paper; // and serves every page within a point of it
	int count;           // the papers whose shift is known, the last one
	paper_shift papers[max_papers]; // replaced when all are taken
};

// Reads the queue's PPD, from $PPD, the job's copies and options, args[4]
// and args[5], tells whether the job's pages are program's to count, makes
// the job's folder, named after program, and has morvane give the shift of
// the job's own paper, before the job's data comes. Returns false after
// the error line.
bool start_shifts(page_shifts *s, char *const *args, const char *program);

// Whether the job has a value of the vertical dots; where it has none, a
// debug line says that the job passes unchanged.
bool shifts_pages(const page_shifts *s);

// The shift for a page of size points as the sheet has it. Returns false
// after the error line: the value puts the page off this paper, or
// morvane failed.
bool shift_for_page(page_shifts *s, const float size[2], double shift[2]);

// Counts the page written in the page log, where the job's pages are the
// filter's to count.
void count_written(const page_shifts *s, long page);

// Removes the job's folder.
void end_shifts(const page_shifts *s);

// A filter that moves the pages itself: checks its arguments (job user
// title copies options [file]), starts as a filter does, reads the PPD and
// the options, and has print print the job, from the file, or from
// standard input where file is null; removes the job's folder. program is
// the filter's name, for the usage line and the folder. Returns the exit
// status.
using page_printer = bool (*)(page_shifts *shifts, const char *file);
int run_page_filter(int argc, char *argv[], const char *program,
    page_printer print);

#endif
