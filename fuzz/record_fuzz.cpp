// SPDX-License-Identifier: MIT
// Fuzzes the page-size scan and the record composer together.
//
// An input is a page-size file, optionally followed by two zero bytes and
// the operands that reach the record, separated by zero bytes: vertical
// dots, command name, input file name, output file name. Operands that are
// not given keep the values a print job would pass.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "offset.h"
#include "record.h"
#include "scan.h"

namespace {

void require(bool holds, const char *what)
{
	if (!holds) {
		fprintf(stderr, "invariant broken: %s\n", what);
		abort();
	}
}

// The whole record, however long, built apart from the composer.
std::string full_record(page_extent extent, double vertical_dots,
    const std::string operand[4])
{
	const std::string files = " " + operand[2] + " " + operand[3];
	if (extent.width == 0 && extent.height == 0)
		return "PSCOMMAND=cp\nCMDARGV=-f" + files;
	char numbers[2048];
	snprintf(numbers, sizeof numbers, "-w%f -h%f 1:0@1.0(%fin,%fin)",
	    (double)extent.width, (double)extent.height, -0.06,
	    vertical_offset(extent.height, vertical_dots));
	return "PSCOMMAND=" + operand[1] + "\nCMDARGV=" + numbers + files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *bytes = (const char *)data;
	const char *end = bytes + size;
	const char *split = (const char *)memmem(bytes, size, "\0\0", 2);
	std::string file(bytes, split ? split : end);
	std::string operand[4] = {"150", "pstops", "in.ps", "out.ps"};
	if (split != nullptr) {
		const char *p = split + 2;
		for (int i = 0; i < 4 && p <= end; i++) {
			const char *stop = (const char *)memchr(p, '\0', end - p);
			operand[i].assign(p, stop ? stop : end);
			p = (stop ? stop : end) + 1;
		}
	}

	FILE *stream = fmemopen(&file[0], file.size(), "rb");
	require(stream != nullptr, "fmemopen");
	page_extent extent = scan_page_size(stream);
	double vertical_dots = strtod(operand[0].c_str(), nullptr);

	char record[buffer_size];
	memset(record, 'X', sizeof record);
	int length = compose_record(record, extent, vertical_dots,
	    operand[1].c_str(), operand[2].c_str(), operand[3].c_str());
	std::string full = full_record(extent, vertical_dots, operand);
	std::string copy = "PSCOMMAND=cp\nCMDARGV=-f " + operand[2] + " " +
	    operand[3];
	bool is_copy = extent.width == 0 && extent.height == 0;

	if (full.size() > buffer_size - 1) {
		require(length == -1, "an over-long record is refused");
		require(record[0] == '\0', "a refused record is left empty");
		return 0;
	}
	require(length >= 0 && length <= buffer_size - 1, "record length");
	require(record[length] == '\0' && strlen(record) == (size_t)length,
	    "record terminated at its length");
	require(strncmp(record, "PSCOMMAND=", 10) == 0, "record key");
	require(full == record, "record is whole");
	require(is_copy == (copy == record), "copy form exactly at 0 by 0");
	return 0;
}
