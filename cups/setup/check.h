// SPDX-License-Identifier: MIT
// Whether a queue still has the shift that morvane-setup gave it: a new
// PPD (a driver update, lpadmin -P or -m) takes morvane's lines out, but
// the server keeps the calibration in the queue's options.
#ifndef MORVANE_CHECK_H
#define MORVANE_CHECK_H

#include "server.h"
#include "sizes.h"

// Whether the queue's PPD, in w->given, has lost the calibration that the
// server keeps: it does not run the filter, or its values are not those
// kept, which go to kept.
bool lost_calibration(const work *w, const queue_dots *dots,
    ppd_values *kept);

// Says for the queue, or for every queue of the server where queue is
// null, whether its PPD runs the filter, which values it has, and whether
// each fits the queue's sizes. Returns false when a queue has lost its
// calibration or has a value that does not fit, after the lines that say
// so, or when the server cannot be asked.
bool check_queues(const work *w, const char *queue);

#endif
