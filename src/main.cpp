// SPDX-License-Identifier: MIT
// morvane: prints the command record that prepares a PostScript file for
// its page size.
#include <cstdio>
#include <cstdlib>

#include "morvane.h"

static const char error_line[] = "ERROR:morvane terminates.\n";

int main(int argc, char *argv[])
{
	if (argc != 11)
		return 0;
	double vertical_dots = strtod(argv[6], nullptr);
	FILE *stream = fopen(argv[10], "rb");
	if (stream == nullptr) {
		fputs(error_line, stderr);
		return 0;
	}
	page_extent extent = scan_page_size(stream);

	char record[buffer_size];
	int length = compose_record(record, extent, vertical_dots, argv[7],
	    argv[8], argv[9]);
	// A record that did not reach its reader must not pass for success:
	// the write and the flush in fclose are both checked.
	int failed = length < 0;
	if (!failed) {
		record[length++] = '\n';
		failed = fwrite(record, 1, length, stdout) != (size_t)length;
	}
	if (fclose(stdout) != 0)
		failed = 1;
	if (failed) {
		fputs(error_line, stderr);
		return 1;
	}
	return 0;
}
