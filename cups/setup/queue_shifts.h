// SPDX-License-Identifier: MIT
// The image shifts of a queue of the CUPS server: morvane-setup sets and
// drops them as the queue's IPP defaults, which the server keeps in its
// options (they survive a new PPD), says them, and checks them.
#ifndef MORVANE_QUEUE_SHIFTS_H
#define MORVANE_QUEUE_SHIFTS_H

#include "server.h"
#include "work.h"

// Sets the queue's shift typed to mm millimetres, after checking that it
// keeps the image on every paper of its PPD, and notes that morvane-setup
// set it. Says what it set. Returns false after the error line.
bool set_shift(const work *w, const char *queue, const char *typed,
    const char *mm);

// Drops the queue's shift typed, and its name from the note. Says what it
// dropped, or that it was not set. Returns false after the error line.
bool drop_shift(const work *w, const char *queue, const char *typed);

// Whether the queue has a shift set.
bool has_shifts(const queue_facts *facts);

// Says each shift that the queue has, in millimetres and with its default.
void show_shifts(const char *queue, const queue_facts *facts);

// Whether each shift that the queue has is a whole number of hundredths,
// which the filters read. Only reads. Returns false after the error line
// of each that is not.
bool shifts_whole(const char *queue, const queue_facts *facts);

// Says each shift that the queue has and checks that it keeps the image on
// every paper of its PPD. Only reads. Returns false after the error line
// of each that fails the queue's jobs.
bool check_shifts(const char *queue, const queue_facts *facts);

// Drops every shift of the queue that morvane-setup sets, and the note,
// where it has some, and says which: a vertical shift of both sides that an
// administrator set stays. Returns false after the error line.
bool forget_shifts(http_t *http, const char *queue, const queue_facts *facts);

#endif
