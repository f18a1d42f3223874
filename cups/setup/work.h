// SPDX-License-Identifier: MIT
// The files of a run of morvane-setup, in a private folder.
#ifndef MORVANE_WORK_H
#define MORVANE_WORK_H

#include "folder.h"

struct work {
	char folder[folder_size];
	char given[buffer_size];    // the queue's PPD as the server has it
	char adapted[buffer_size];  // the PPD to print or install
	char chain[buffer_size];    // what cupsfilter prints
};

// Makes the folder. Returns false after the error line.
bool make_work(work *w);

#endif
