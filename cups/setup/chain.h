// SPDX-License-Identifier: MIT
// The chain of filters that CUPS finds for a queue's jobs, as CUPS's own
// cupsfilter lists it.
#ifndef MORVANE_CHAIN_H
#define MORVANE_CHAIN_H

#include "kinds.h"
#include "work.h"

// Whether every kind of job passes the kind's filter in the PPD w->adapted,
// where the kind puts it. name is the PPD's, for the messages. Returns
// false after the line that says why not.
bool check_chains(const work *w, const char *name, const printer_kind *kind,
    const ppd_filters *filters);

#endif
