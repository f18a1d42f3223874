// SPDX-License-Identifier: MIT
// What morvane-setup does to the queues of the CUPS server.
#ifndef MORVANE_CHANGES_H
#define MORVANE_CHANGES_H

#include "sizes.h"
#include "work.h"

// What morvane-setup does to a queue: sets dots, or the value that leaves
// the page where it is on the queue's default paper (neutral), or takes
// morvane's lines out (neither); for every paper, or for the paper size
// alone where it is not null.
struct queue_change {
	const char *queue;
	const char *dots;
	bool neutral;
	const char *size;
	const ppd_values *restore;  // the calibration that the server kept,
	                            // put back, or null
	bool keep;                  // where the lines go: the server keeps
	                            // the calibration, for --restore
};

// Adapts the queue's PPD, or takes morvane's lines out of it (and the
// calibration that the server keeps, unless c->keep), and installs it.
// Returns false after the error line.
bool change_queue(const work *w, const queue_change *c);

// Says which vertical dots the queue's jobs get, from where and measured
// on which paper, or on the paper size alone where it is not null; for a
// queue without them, the value to start from. A queue whose PPD lost the
// calibration that the server keeps gets it back.
bool show_queue(const work *w, const char *queue, const char *size);

// Every queue whose PPD lost the calibration that the server keeps gets it
// back, with a line that says so; the others are left alone, silently.
bool restore_queues(const work *w);

// Every queue that runs a filter of morvane's gets its PPD back without
// morvane's lines, with a line that says so; the server keeps each
// calibration, for restore_queues.
bool suspend_queues(const work *w);

#endif
