// SPDX-License-Identifier: MIT
// Whether a queue still has the shift that morvane-setup gave it: a new
// PPD (a driver update, lpadmin -P or -m) takes morvane's lines out, but
// the server keeps the calibration in the queue's options.
#ifndef MORVANE_CHECK_H
#define MORVANE_CHECK_H

#include "server.h"
#include "sizes.h"

// Whether the queue's PPD, open, has lost the calibration that the server
// keeps: it does not run the filter, or its values are not those kept,
// which go to kept.
bool lost_calibration(ppd_file_t *ppd, const queue_dots *dots,
    ppd_values *kept);

// Runs task on every queue of the server, each once (not its instances),
// on one connection. Returns false where the server cannot be asked or a
// task failed, after the others ran.
using queue_task = bool (*)(http_t *http, const work *w, const char *queue);
bool each_queue(const work *w, queue_task task);

// Says for the queue, or for every queue of the server where queue is
// null, whether its PPD runs the filter, which values it has, and whether
// each is a number that fits the queue's sizes; a queue that morvane-setup
// cannot set up gets the line that says why. Only reads. Returns false
// when a queue has lost its calibration or has a value that fails its
// jobs, after the lines that say so, or when the server cannot be asked.
bool check_queues(const work *w, const char *queue);

#endif
