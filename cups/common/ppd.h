// SPDX-License-Identifier: MIT
// What both programs read of a PPD with libcups. CUPS 2.x marks its PPD
// functions deprecated but still ships them, so their warnings are
// silenced for the files that call them.
#ifndef MORVANE_PPD_H
#define MORVANE_PPD_H

#include <cups/ppd.h>

#include "morvane.h"

// Why ppdOpenFile failed on path, as libcups says it.
void ppd_failure(const char *path, char why[buffer_size]);

// Whether libcups reads the file at path as a PPD; if not, why.
bool ppd_readable(const char *path, char why[buffer_size]);

// The programs that may end a job's chain of filters to the type final,
// into programs, separated by spaces, each named without its folder: that
// of the PPD's *cupsFilter2 line to final or, where the PPD has none of
// those, that of each *cupsFilter line, whose filters all end the chain.
// Empty where no filter of the PPD ends it.
void ppd_chain_ends(ppd_file_t *ppd, const char *final,
    char programs[buffer_size]);

// Whether program is one of programs, as ppd_chain_ends gives them.
bool ends_chain(const char *programs, const char *program);

// The value of the PPD's *MorvaneVerticalDots for every paper, or null
// where it has none.
const char *ppd_dots(ppd_file_t *ppd);

// A paper's own value in the PPD, *MorvaneVerticalDots NAME: the paper's
// name and the value, as the PPD holds them.
struct ppd_own_dots {
	const char *name;
	const char *value;
};

// The papers' own values, in the PPD's order, at most max of them.
// Returns their count.
int ppd_papers_dots(ppd_file_t *ppd, ppd_own_dots own[], int max);

// The same for the PPD at path, copied to text: false where it has none.
bool ppd_dots_at(const char *path, char text[buffer_size]);

#endif
