// SPDX-License-Identifier: MIT
// The shift for a paper: morvane run on the paper's size, and its record
// read back, the one place where the filters write a page-size file or
// read a record; and the shift that the record gives a paper, for
// morvane-setup, which runs no morvane.
#ifndef MORVANE_SHIFT_H
#define MORVANE_SHIFT_H

#include "calibration.h"
#include "morvane.h"
#include "paper.h"

struct filter_job;

// The page-size file's text for a size, printed so that morvane reads back
// the same 32-bit floats. Returns its length.
int format_page_size(char text[buffer_size], float width, float length);

// The number of words in the argument vector of an accepted record,
// program included, and the terminating null pointer.
constexpr int record_words = 7;

enum record_kind { refused_record, copy_record, pstops_record };

// Accepts a record only when it is pstops (by the path given) or cp, on
// the filter's own files in.ps and out.ps. Splits the record in place into
// the argument vector of its command.
record_kind accept_record(char record[buffer_size], const char *pstops,
    const char *argv[record_words]);

// morvane's record for a paper, split into its command's arguments, and
// the page's shift in inches that it gives.
struct command_record {
	char text[buffer_size];
	const char *argv[record_words];
	record_kind kind;
	double shift[2];
};

// Runs morvane for the paper (null: none is known), with the job's
// arguments, its page-size file in the job's folder and psutils' pstops
// as the command that its record must name, after checking that the job's
// vertical dots keep the page on the paper, and accepts what it printed.
// Returns false after the error line, or on a cancel.
bool paper_record(const filter_job *job, const paper *p,
    command_record *record);

// The same for a paper whose record must move the page (a pstops record):
// what names the paper for the error line.
bool shift_record(const filter_job *job, const paper *p, const char *what,
    command_record *record);

// The page's shift in inches, rightwards and upwards, in the record that
// morvane prints for the paper with the calibration's vertical dots, as the
// filters run it. Returns false where no record fits buffer_size.
bool record_shift(const calibration *c, const paper &p, double shift[2]);

#endif
