// SPDX-License-Identifier: MIT
// morvane: reads a page size and prints the command record for a print job.
#ifndef MORVANE_H
#define MORVANE_H

#include <cstdio>

// Every text the program builds lives in a buffer of this many bytes,
// terminating zero byte included.
constexpr int buffer_size = 1024;

// The page size in PostScript points; 0 by 0 means no page size is known.
struct page_extent {
	float width;
	float height;
};

// Reads one line, line feed included, into line and terminates it.
// Returns the number of bytes stored: 0 at the end of the stream, and
// buffer_size - 1 for a line cut short because it does not fit.
long read_line(char line[buffer_size], FILE *stream);

// Takes the page size from the leading run of lines that hold "PageSize",
// and closes the stream.
page_extent scan_page_size(FILE *stream);

// The vertical page offset in inches, computed in the 64-bit-significand
// extended format and rounded once to double.
double vertical_offset(float height, double vertical_dots);

// Composes the command record into record. Returns its length, or -1
// (leaving record empty) when it would not fit in buffer_size - 1 bytes.
int compose_record(char record[buffer_size], page_extent extent,
    double vertical_dots, const char *tool_command, const char *input_path,
    const char *output_path);

#endif
