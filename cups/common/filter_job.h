// SPDX-License-Identifier: MIT
// The job of a filter, made once when the filter starts and handed to
// every function that prints it: the arguments, the settings that the
// environment gives, the job's private folder, the queue's PPD (opened
// once), the queue as the job finds it, and the shifts of the papers met
// so far. Every filter's main is run_filter.
#ifndef MORVANE_FILTER_JOB_H
#define MORVANE_FILTER_JOB_H

#include "folder.h"
#include "image_shift.h"
#include "paper.h"
#include "ppd.h"
#include "queue.h"

// The settings that the environment gives, read once.
struct job_settings {
	const char *ppd;            // $PPD: the queue's PPD
	const char *morvane;        // $MORVANE, or morvane by PATH
	const char *psutils_pstops; // $MORVANE_PSTOPS, or the build's path:
	                            // the program that morvane's record names
	const char *cups_serverbin; // $CUPS_SERVERBIN, or the build's: its
	                            // filter folder has CUPS's own pstops
	const char *final_type;     // $FINAL_CONTENT_TYPE
	const char *content_type;   // $CONTENT_TYPE
};

// A paper of the job and the shift, in inches rightwards and upwards as
// the page lies on the sheet, of morvane's record for it.
struct paper_shift {
	paper sheet;
	double shift[2];
};
constexpr int max_papers = 16;

struct filter_job {
	const char *program;     // the filter's name, for its folder
	char *const *args;       // job user title copies options
	const char *file;        // the job's file; null: standard input
	job_settings env;
	char folder[folder_size]; // the job's private folder, once made
	ppd_handle ppd;
	queue *q;                // the queue as the job finds it
	marked_paper marked;     // the paper that the job's options mark
	int page_copies;         // the copies that each page written stands
	                         // for in the page log; 0: not the filter's
	                         // to count
	bool has_marked_shift;   // the shift of the marked paper is known,
	paper_shift marked_shift; // and serves every page within a point of it
	int known;               // the other papers whose shift is known, the
	paper_shift papers[max_papers]; // last replaced when all are taken
};

// Prints the job. Returns false after the error line, or on a cancel.
using job_printer = bool (*)(filter_job *job);

// Starts as every filter does, in this order: takes a cancel and keeps
// descriptors 0 to 2 taken, checks the arguments (job user title copies
// options [file]), reads the settings, opens the queue's PPD and reads the
// queue; then has print print the job and removes the job's folder.
// program names the filter, for the usage line and the folder. Returns
// the exit status.
int run_filter(int argc, char *argv[], const char *program,
    job_printer print);

// Makes the job's folder, where it is not made yet. Returns false after
// the error line.
bool make_job_folder(filter_job *job);

// Whether the job has no value of the vertical dots, and so passes
// unchanged; a debug line says so.
bool passes_unchanged(const filter_job *job);

// Opens the job's file for reading, or takes standard input where it has
// none. Returns false after the error line.
bool open_input(const filter_job *job, int *fd);

// For a filter that moves each page itself: makes the job's folder and has
// morvane give the shift of the marked paper, before the job's data comes.
// Returns false after the error line.
bool start_shifts(filter_job *job);

// The shift for a page of size points as the sheet has it, on that side
// of the sheet: morvane's record and the job's image shift for the side.
// Returns false after the error line: the value or the image shift puts
// the page off this paper, or morvane failed.
bool shift_for_page(filter_job *job, const float size[2], sheet_side side,
    double shift[2]);

// Counts the page written in the page log, where the job's pages are the
// filter's to count.
void count_written(const filter_job *job, long page);

#endif
