// SPDX-License-Identifier: MIT
// The page-size file scan.
#ifndef MORVANE_SCAN_H
#define MORVANE_SCAN_H

#include <cstdio>

#include "morvane.h"

// Reads one line, line feed included, into line and terminates it.
// Returns the number of bytes stored: 0 at the end of the stream, and
// buffer_size - 1 for a line cut short because it does not fit.
long read_line(char line[buffer_size], FILE *stream);

// Takes the page size from the leading run of lines that hold "PageSize",
// and closes the stream.
page_extent scan_page_size(FILE *stream);

#endif
