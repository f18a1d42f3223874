// SPDX-License-Identifier: MIT
// morvane's own reading of a page-size text, for the filter's fuzz target:
// morvane's header and the filter's each define the buffer size, so they
// meet in no one file.
#include <cstdio>

#include "scan.h"

bool morvane_reads(const char *text, int length, float *width,
    float *height)
{
	FILE *stream = fmemopen((void *)text, length, "rb");
	if (stream == nullptr)
		return false;
	page_extent extent = scan_page_size(stream);
	*width = extent.width;
	*height = extent.height;
	return true;
}
