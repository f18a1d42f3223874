// SPDX-License-Identifier: MIT
// morvane: prints the command record that prepares a PostScript file for
// its page size.
#include <cstdio>
#include <cstdlib>

#include "record.h"
#include "scan.h"

// Writes the one error line and gives back the status. When even this line
// cannot be written, nothing better is left to do.
static int fail(int status)
{
	// NOLINTNEXTLINE(cert-err33-c): a lost error line has no better recovery.
	fputs("ERROR:morvane terminates.\n", stderr);
	return status;
}

int main(int argc, char *argv[])
{
	if (argc != 11)
		return 0;
	double vertical_dots = strtod(argv[6], nullptr);
	FILE *stream = fopen(argv[10], "rb");
	if (stream == nullptr)
		return fail(0);
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
	return failed ? fail(1) : 0;
}
