// SPDX-License-Identifier: MIT
// Running a program without a shell, its standard error logged, and the
// cancel of a run by SIGTERM.
#ifndef MORVANE_RUN_H
#define MORVANE_RUN_H

#include <sys/types.h>

#include "morvane.h"

// A program to run.
struct program {
	const char *const *argv;  // argv[0] is looked up in PATH where it
	                          // holds no "/"
	const char *folder;       // where it runs; null: the current folder
	int in;                   // its standard input; -1: /dev/null
};

// What a program did.
struct run_result {
	int status;                // its exit status, or 128 + the signal
	                           // that ended it
	int stderr_bytes;          // how much it wrote on standard error
	char last_line[buffer_size]; // the last line of that, or empty
};

// Takes a program's standard output as it comes: reads what is there on
// fd and passes it on. Returns the bytes read, 0 at the end, or -1 with
// errno set, or with failure written when the program must be stopped.
struct output_reader {
	ssize_t (*read)(void *context, int fd, char failure[buffer_size]);
	void *context;
};

// Runs the program with its standard output on the descriptor out, and
// each line of its standard error logged as a debug line. Returns false
// when it cannot be run, after the error line, and when the run is
// cancelled.
bool run_program(const program *p, int out, run_result *result);

// Runs the program with its standard output read by reader, through a
// pipe. Returns false as run_program does, and when the reader fails.
bool read_program(const program *p, const output_reader *reader,
    run_result *result);

// Sets up the handler that takes SIGTERM as a cancel of the run.
void catch_cancel();

// What a filter does first: takes a cancel, and a failure of the filter
// further down as an error of its writes, not a death unheard; keeps
// descriptors 0 to 2 taken, so that no file of the filter's lands on one
// and gets the log or the job. A closed standard output is an error, as is
// a closed standard input where reads_input; the others are opened on
// /dev/null. Returns false after the error line.
bool start_filter(bool reads_input);
bool cancel_requested();

#endif
