// SPDX-License-Identifier: MIT
// The command record.
#include <cstdio>

#include "extended.h"
#include "morvane.h"

constexpr double horizontal_offset = -0.06;

// Widens exactly. A NaN keeps its sign, as on x86-64, also where the
// processor's own conversion gives the default NaN instead (MIPS).
static double widen(float value)
{
	return to_double(from_float(value));
}

int compose_record(char record[buffer_size], page_extent extent,
    double vertical_dots, const char *tool_command, const char *input_path,
    const char *output_path)
{
	int length;

	if (extent.width == 0 && extent.height == 0)
		length = snprintf(record, buffer_size,
		    "PSCOMMAND=cp\nCMDARGV=-f %s %s", input_path, output_path);
	else
		length = snprintf(record, buffer_size,
		    "PSCOMMAND=%s\nCMDARGV=-w%f -h%f 1:0@1.0(%fin,%fin) %s %s",
		    tool_command, widen(extent.width), widen(extent.height),
		    horizontal_offset,
		    vertical_offset(extent.height, vertical_dots), input_path,
		    output_path);
	// A cut record would name the wrong file: refuse it whole.
	if (length < 0 || length >= buffer_size) {
		record[0] = '\0';
		return -1;
	}
	return length;
}
