// SPDX-License-Identifier: MIT
// The CUPS filter's side of morvane's files: the page-size text it writes,
// and the records it accepts.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "filter.h"

namespace {

// morvane reads the size back with sscanf's "%f": every float must return
// bit for bit, the ones that need all nine digits included.
TEST(format_page_size, morvane_reads_back_the_same_floats)
{
	std::mt19937 random(1);
	std::uniform_real_distribution<float> size(0, 20000);
	for (int i = 0; i < 100000; i++) {
		float width = i == 0 ? 595.28f : size(random);
		float length = i == 0 ? 841.89f : std::nextafter(width, 0.0f);
		char text[buffer_size];
		format_page_size(text, width, length);
		float read[2] = {0, 0};
		ASSERT_EQ(sscanf(text, "PageSize [%f %f]", &read[0], &read[1]), 2);
		ASSERT_EQ(read[0], width) << text;
		ASSERT_EQ(read[1], length) << text;
	}
}

TEST(accept_record, takes_only_pstops_or_cp_on_the_filters_files)
{
	const struct {
		const char *record;
		const char *command; // nullptr: refused
	} cases[] = {
		{"PSCOMMAND=/usr/bin/pstops\nCMDARGV=-w595.000000 -h842.000000 "
		    "1:0@1.0(-0.060000in,0.000332in) in.ps out.ps\n", "/usr/bin/pstops"},
		{"PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps\n", "cp"},
		{"PSCOMMAND=pstops\nCMDARGV=-w1 -h1 1:0@1.0(0in,0in) in.ps out.ps\n",
		    nullptr},
		{"PSCOMMAND=cp\nCMDARGV=-f /etc/passwd out.ps\n", nullptr},
		{"PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps\nmore\n", nullptr},
		{"PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps", nullptr},
		{"PSCOMMAND=/usr/bin/pstops\nCMDARGV=-w1 -h1 1:0@1.0(0in,0in) "
		    "in.ps out.ps extra\n", nullptr},
		{"PSCOMMAND=/usr/bin/pstops\nCMDARGV=-w1 -h1 1:0@1.0(0in,0in) "
		    "in.ps /tmp/x\n", nullptr},
		{"PSCOMMAND=/usr/bin/pstops\nCMDARGV=-w1 -h1 -o x in.ps out.ps\n",
		    nullptr},
		{"PSCOMMAND=/usr/bin/pstops\nCMDARGV=in.ps out.ps\n", nullptr},
		{"", nullptr},
	};
	for (const auto &c : cases) {
		char record[buffer_size];
		snprintf(record, sizeof record, "%s", c.record);
		const char *argv[record_words] = {};
		record_kind kind = accept_record(record, "/usr/bin/pstops", argv);
		EXPECT_EQ(kind != refused_record, c.command != nullptr) << c.record;
		if (kind != refused_record && c.command != nullptr) {
			EXPECT_STREQ(argv[0], c.command) << c.record;
			EXPECT_EQ(kind == copy_record, strcmp(c.command, "cp") == 0);
		}
	}
}

}
