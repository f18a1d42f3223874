// SPDX-License-Identifier: MIT
// The page-size file scan, run over in-memory files.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "scan.h"

namespace {

FILE *open_bytes(std::string &bytes)
{
	FILE *stream = fmemopen(bytes.data(), bytes.size(), "rb");
	EXPECT_NE(stream, nullptr);
	return stream;
}

struct scan_case {
	const char *name;
	std::string file;
	float width;
	float height;
};

// Compares bit patterns so that -0 and 0 count as different results.
bool same_float(float a, float b)
{
	return std::signbit(a) == std::signbit(b) &&
	    (a == b || (std::isnan(a) && std::isnan(b)));
}

TEST(scan_page_size, reads_the_leading_page_size_lines)
{
	const std::string cut_tail(2000, 'x');
	const std::string cut_line = "PageSize [612 792] " + cut_tail + "\n";
	const scan_case cases[] = {
		{"empty file", "", 0, 0},
		{"one line without line feed", "PageSize [595 842]", 595, 842},
		{"first line lacks the keyword",
		    "%!PS\nPageSize [595 842]\n", 0, 0},
		{"last line of the run wins",
		    "PageSize [595 842]\nPageSize [612 792]\n", 612, 792},
		{"empty line ends the run",
		    "PageSize [595 842]\n\nPageSize [612 792]\n", 595, 842},
		{"keyword in other case", "pagesize [595 842]\n", 0, 0},
		{"one number", "PageSize [595]\n", 595, 0},
		{"comma separated", "PageSize [595,842]\n", 595, 0},
		{"comma and space", "PageSize [595, 842]\n", 595, 0},
		{"no closing bracket", "PageSize [595 842\n", 0, 0},
		{"closing bracket only before the opening",
		    "PageSize ] 595 842 [\n", 0, 0},
		{"closing bracket just before the opening",
		    "PageSize ][595 842\n", 0, 0},
		{"two pairs", "PageSize [595 842] [612 792]\n", 595, 842},
		{"later line without brackets replaces",
		    "PageSize [595 842]\nPageSize\n", 0, 0},
		{"carriage return", "PageSize [595 842]\r\n", 595, 842},
		{"float rounding", "PageSize [595.28 841.89]\n", 595.28f,
		    841.89f},
		{"negative zero width", "PageSize [-0 0]\n", -0.0f, 0},
		{"hexadecimal and infinity", "PageSize [0x10 -inf]\n", 16,
		    -INFINITY},
		{"no white space needed between numbers", "PageSize [1-2]\n", 1,
		    -2},
		{"zero byte hides the rest of the line",
		    std::string("PageSize [5\0 6]\n", 16), 0, 0},
		{"zero byte before the keyword",
		    std::string("\0PageSize [5 6]\n", 16), 0, 0},
		{"text before the first number", "PageSize [a 842]\n", 0, 0},
		// Long lines: the kept 1023 bytes decide, the rest is skipped.
		{"cut line with keyword, then the next line",
		    cut_line + "PageSize [100 200]\n", 100, 200},
		{"cut line keeps its pair", cut_line, 612, 792},
		{"keyword only past the cut",
		    std::string(1020, ' ') + "PageSize [1 2]\n", 0, 0},
		{"cut line without keyword ends the run",
		    "PageSize [1 2]\n" + cut_tail + "\nPageSize [3 4]\n", 1, 2},
		{"line of exactly 1023 bytes",
		    "PageSize [7 8]" + std::string(1008, ' ') +
		        "\nPageSize [9 10]\n",
		    9, 10},
		{"line of 1023 bytes before its line feed",
		    "PageSize [7 8]" + std::string(1009, ' ') +
		        "\nPageSize [9 10]\n",
		    9, 10},
	};
	for (const scan_case &c : cases) {
		std::string bytes = c.file;
		page_extent extent = scan_page_size(open_bytes(bytes));
		EXPECT_TRUE(same_float(extent.width, c.width))
		    << c.name << ": width " << extent.width;
		EXPECT_TRUE(same_float(extent.height, c.height))
		    << c.name << ": height " << extent.height;
	}
}

TEST(read_line, returns_lengths_and_cuts_at_the_buffer)
{
	struct line_case {
		const char *name;
		std::string file;
		long lengths[4]; // ends with the 0 of the end of the stream
	} cases[] = {
		{"lines and a last one without line feed", "ab\n\nxyz",
		    {3, 1, 3, 0}},
		{"carriage return is kept", "a\r\n", {3, 0}},
		{"zero byte is stored", std::string("a\0b\n", 4), {4, 0}},
		{"1023 bytes with line feed", std::string(1022, 'a') + "\n",
		    {1023, 0}},
		{"1024 bytes are cut", std::string(1023, 'a') + "\n",
		    {1023, 1, 0}},
	};
	for (const line_case &c : cases) {
		std::string bytes = c.file;
		FILE *stream = open_bytes(bytes);
		char line[buffer_size];
		size_t offset = 0;
		for (long want : c.lengths) {
			long got = read_line(line, stream);
			EXPECT_EQ(got, want) << c.name;
			if (got != want || got == 0)
				break;
			EXPECT_EQ(std::string(line, got), c.file.substr(offset, got))
			    << c.name;
			EXPECT_EQ(line[got], '\0') << c.name;
			offset += got;
		}
		fclose(stream);
	}
}

} // namespace
