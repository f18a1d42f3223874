// SPDX-License-Identifier: MIT
// The command record and its offsets.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "record.h"

namespace {

struct record_case {
	const char *name;
	page_extent extent;
	double vertical_dots;
	const char *record; // nullptr: the record is refused
};

TEST(compose_record, formats_both_forms)
{
	const record_case cases[] = {
		{"copy form", {0, 0}, 150, "PSCOMMAND=cp\nCMDARGV=-f in out"},
		{"negative zero is zero", {-0.0f, 0}, 150,
		    "PSCOMMAND=cp\nCMDARGV=-f in out"},
		{"A4", {595, 842}, 0,
		    "PSCOMMAND=tool\nCMDARGV=-w595.000000 -h842.000000 "
		    "1:0@1.0(-0.060000in,-11.576334in) in out"},
		{"A4 shifted", {595, 842}, 150,
		    "PSCOMMAND=tool\nCMDARGV=-w595.000000 -h842.000000 "
		    "1:0@1.0(-0.060000in,-11.076334in) in out"},
		{"offset is the margin", {612, 144}, 600,
		    "PSCOMMAND=tool\nCMDARGV=-w612.000000 -h144.000000 "
		    "1:0@1.0(-0.060000in,0.118110in) in out"},
		{"float rounding shows", {595.28f, 841.89f}, 0,
		    "PSCOMMAND=tool\nCMDARGV=-w595.280029 -h841.890015 "
		    "1:0@1.0(-0.060000in,-11.574807in) in out"},
		{"zero height", {100, 0}, 0,
		    "PSCOMMAND=tool\nCMDARGV=-w100.000000 -h0.000000 "
		    "1:0@1.0(-0.060000in,0.118110in) in out"},
		{"zero width", {0, 100}, 0,
		    "PSCOMMAND=tool\nCMDARGV=-w0.000000 -h100.000000 "
		    "1:0@1.0(-0.060000in,-1.270779in) in out"},
		{"negative zero width", {-0.0f, 100}, 0,
		    "PSCOMMAND=tool\nCMDARGV=-w-0.000000 -h100.000000 "
		    "1:0@1.0(-0.060000in,-1.270779in) in out"},
		{"infinity and not a number", {NAN, INFINITY}, INFINITY,
		    "PSCOMMAND=tool\nCMDARGV=-wnan -hinf "
		    "1:0@1.0(-0.060000in,-nanin) in out"},
		{"not a number is not zero", {NAN, 0}, 0,
		    "PSCOMMAND=tool\nCMDARGV=-wnan -h0.000000 "
		    "1:0@1.0(-0.060000in,0.118110in) in out"},
	};
	for (const record_case &c : cases) {
		char record[buffer_size];
		int length = compose_record(record, c.extent, c.vertical_dots,
		    "tool", "in", "out");
		EXPECT_EQ(length, (int)strlen(c.record)) << c.name;
		EXPECT_STREQ(record, c.record) << c.name;
	}
}

// pstops' layout: the record's own for one page, and a page of its own
// for each side of a sheet; one that does not fit is refused whole.
TEST(compose_layout, gives_each_page_of_a_round_its_shift)
{
	const double shifts[2][2] = {{-0.06, 0.000332}, {0.136850, -0.078408}};
	const double many[40][2] = {};
	const struct {
		const char *name;
		const double (*shifts)[2];
		int count;
		const char *layout; // empty: refused
	} cases[] = {
		{"one page", shifts, 1, "1:0@1.0(-0.060000in,0.000332in)"},
		{"front and back", shifts, 2, "2:0@1.0(-0.060000in,0.000332in),"
		    "1@1.0(0.136850in,-0.078408in)"},
		{"more than fit", many, 40, ""},
	};
	for (const auto &c : cases) {
		char layout[buffer_size];
		int length = compose_layout(layout, c.shifts, c.count);
		EXPECT_STREQ(layout, c.layout) << c.name;
		EXPECT_EQ(length, c.layout[0] ? (int)strlen(c.layout) : -1)
		    << c.name;
	}
}

// The copy record is 25 characters plus the lengths of its two file names.
TEST(compose_record, refuses_records_that_do_not_fit)
{
	struct limit_case {
		const char *name;
		page_extent extent;
		size_t tool_length;
		size_t input_length;
		size_t output_length;
		bool fits;
	} cases[] = {
		{"copy record of 1023 characters", {0, 0}, 4, 499, 499, true},
		{"copy record of 1024 characters", {0, 0}, 4, 499, 500, false},
		{"long command name does not count in the copy form", {0, 0},
		    5000, 10, 10, true},
		{"rearrangement record of 1023 characters", {595, 842}, 4, 10,
		    929, true},
		{"rearrangement record of 1024 characters", {595, 842}, 4, 10,
		    930, false},
		{"long command name", {595, 842}, 2000, 2, 2, false},
		{"long file name", {595, 842}, 4, 4000, 4, false},
	};
	for (const limit_case &c : cases) {
		std::string tool(c.tool_length, 't');
		std::string input(c.input_length, 'i');
		std::string output(c.output_length, 'o');
		char record[buffer_size];
		int length = compose_record(record, c.extent, 0, tool.c_str(),
		    input.c_str(), output.c_str());
		if (c.fits) {
			EXPECT_EQ(length, (int)strlen(record)) << c.name;
			EXPECT_LE(length, buffer_size - 1) << c.name;
			EXPECT_EQ(std::string(record).substr(length - output.size()),
			    output)
			    << c.name;
		} else {
			EXPECT_EQ(length, -1) << c.name;
			EXPECT_STREQ(record, "") << c.name;
		}
	}
}

} // namespace
