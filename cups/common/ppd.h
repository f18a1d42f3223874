// SPDX-License-Identifier: MIT
// What both programs read of a PPD with libcups. CUPS 2.x marks its PPD
// functions deprecated but still ships them, so their warnings are
// silenced for the files that call them.
#ifndef MORVANE_PPD_H
#define MORVANE_PPD_H

#include <memory>

#include <cups/ppd.h>

#include "morvane.h"

// A PPD open, closed with its handle.
struct ppd_closer {
	void operator()(ppd_file_t *ppd) const;
};
using ppd_handle = std::unique_ptr<ppd_file_t, ppd_closer>;

// Opens the PPD at path. Returns false after the error line that says why
// libcups cannot read it.
bool open_ppd(const char *path, ppd_handle *ppd);

// The PPD at path, open, or empty where libcups cannot read it.
ppd_handle ppd_at(const char *path);

// Why ppdOpenFile failed on path, as libcups says it.
void ppd_failure(const char *path, char why[buffer_size]);


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


#endif
