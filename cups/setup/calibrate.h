// SPDX-License-Identifier: MIT
// The calibration page: a page that tells which vertical dots to set.
#ifndef MORVANE_CALIBRATE_H
#define MORVANE_CALIBRATE_H

#include "work.h"

// Prints the calibration page on the queue, as a job of its own that gets
// the queue's vertical dots as every job does: on the paper size, where
// it is not null, else on the queue's default. Returns false after the
// error line.
bool calibrate(const work *w, const char *queue, const char *size);

#endif
