// SPDX-License-Identifier: MIT
// morvane: reads a page size and prints the command record for a print job.
// The types and limits that its parts, and the programs that run it, share.
#ifndef MORVANE_H
#define MORVANE_H

// Every text the program builds lives in a buffer of this many bytes,
// terminating zero byte included.
constexpr int buffer_size = 1024;

// The page size in PostScript points; 0 by 0 means no page size is known.
struct page_extent {
	float width;
	float height;
};

#endif
