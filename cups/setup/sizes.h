// SPDX-License-Identifier: MIT
// The papers of a PPD: the one that a queue's value is measured on, and
// every one that the value must keep the page on.
#ifndef MORVANE_SIZES_H
#define MORVANE_SIZES_H

#include "morvane.h"

// A paper of the PPD: its name and length in points.
struct paper {
	char name[64];    // libcups keeps names under 41 bytes
	float length;
};

// The paper that a value set now is measured on: the queue's default,
// media (a PWG name, or null), as the PPD at path names it, or else the
// PPD's default size. Returns false where the PPD has neither.
bool default_paper(const char *path, const char *media, paper *found);

// The paper that the PPD's value was measured on: its
// *MorvaneReferenceSize, or its default size. Returns false where it has
// neither.
bool reference_paper(const char *path, paper *found);

// Whether the value text, measured on reference (null: on each paper
// itself), keeps the page on the sheet for every size of the PPD at path,
// as a job's must. Returns false
// after the error line that names the first that it does not.
bool fits_every_size(const char *path, const char *text,
    const paper *reference);

// The value that leaves a page of the paper where it is.
long neutral_dots(const paper *reference);

#endif
