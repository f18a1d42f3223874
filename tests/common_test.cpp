// SPDX-License-Identifier: MIT
// morvane-setup's papers and values: the values that keep the page on
// every paper of a PPD, which papers bound them, the one text that a
// value is stored as, and the calibration page on every paper.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "calibrate.h"
#include "dots.h"
#include "sizes.h"

namespace {

// A PPD of the papers, "NAME WIDTH LENGTH" a line, the first its default
// where default_size is true, written to a file of its own whose path
// goes to path.
bool write_ppd(char path[32], const char *papers, bool default_size)
{
	snprintf(path, 32, "/tmp/morvane-test.XXXXXX");
	int fd = mkstemp(path);
	if (fd < 0)
		return false;
	std::string sizes, dimensions, first;
	char name[64];
	float width = 0, length = 0;
	int used = 0;
	for (const char *p = papers; sscanf(p, "%63s %f %f%n", name, &width,
	    &length, &used) == 3; p += used) {
		first = first.empty() ? name : first;
		sizes += std::string("*PageSize ") + name + ": \"x\"\n";
		dimensions += std::string("*PaperDimension ") + name + ": \"" +
		    std::to_string(width) + " " + std::to_string(length) + "\"\n";
	}
	std::string text = "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
	    "*OpenUI *PageSize: PickOne\n" + (default_size ?
	    "*DefaultPageSize: " + first + "\n" : std::string()) + sizes +
	    "*CloseUI: *PageSize\n" + dimensions;
	bool ok = write(fd, text.data(), text.size()) == (ssize_t)text.size();
	return close(fd) == 0 && ok;
}

// The range common to a set of ranges, and which one bounds each end: the
// narrowest end, the first of equal ones; none may leave it empty.
TEST(narrow_bounds, keeps_the_narrowest_end_and_its_sheet)
{
	const struct {
		std::vector<dots_range> ranges;
		dots_range common;
		int low;
		int high;
	} cases[] = {
		{{{-35.43, 6981.23}}, {-35.43, 6981.23}, 0, 0},
		{{{-35.43, 6981.23}, {172.9, 6772.9}, {993.73, 5952.07}},
		    {993.73, 5952.07}, 2, 2},
		{{{10, 100}, {0, 50}, {20, 200}}, {20, 50}, 2, 1},
		// Equal ends: the earlier sheet.
		{{{-35, 100}, {-35, 90}, {-35, 90}}, {-35, 90}, 0, 1},
		// Ranges that share nothing: low above high.
		{{{0, 10}, {20, 30}}, {20, 10}, 1, 0},
	};
	for (const auto &c : cases) {
		dots_bounds bounds = no_bounds();
		for (size_t i = 0; i < c.ranges.size(); i++)
			narrow_bounds(&bounds, c.ranges[i], (int)i);
		EXPECT_EQ(bounds.range.low, c.common.low) << c.ranges.size();
		EXPECT_EQ(bounds.range.high, c.common.high) << c.ranges.size();
		EXPECT_EQ(bounds.low, c.low) << c.ranges.size();
		EXPECT_EQ(bounds.high, c.high) << c.ranges.size();
	}
	EXPECT_EQ(no_bounds().low, -1);
}

// The range of every paper of a PPD: each paper's moved from the reference,
// or its own where there is none, narrowed to what fits them all; a PPD
// without a paper has none.
TEST(every_size_bounds, names_the_papers_that_bound_the_range)
{
	const struct {
		const char *papers;
		const char *reference;   // "": each paper its own
		const char *low;
		const char *high;
	} cases[] = {
		{"A4 595 842 Letter 612 792 A5 420 595", "A4", "A5", "A5"},
		{"A4 595 842 Letter 612 792 A5 420 595", "A5", "A5", "A5"},
		{"A4 595 842 Letter 612 792 A5 420 595", "", "A4", "A5"},
		{"Letter 612 792 Label 144 216 A4 595 842", "Letter", "Label",
		    "Label"},
		{"Letter 612 792 Label 144 216 A4 595 842", "", "Letter", "Label"},
		{"A4 595 842", "", "A4", "A4"},
		{"A4 595 842", "A4", "A4", "A4"},
	};
	for (const auto &c : cases) {
		char path[32];
		ASSERT_TRUE(write_ppd(path, c.papers, true));
		paper reference, low, high;
		bool measured = c.reference[0] != '\0';
		ASSERT_TRUE(!measured || named_paper(path, c.reference, &reference));
		ASSERT_TRUE(named_paper(path, c.low, &low));
		ASSERT_TRUE(named_paper(path, c.high, &high));
		paper_bounds bounds;
		ASSERT_TRUE(every_size_bounds(path, measured ? &reference : nullptr,
		    &bounds)) << c.papers;
		EXPECT_STREQ(bounds.low.name, c.low) << c.papers << c.reference;
		EXPECT_STREQ(bounds.high.name, c.high) << c.papers << c.reference;
		EXPECT_EQ(bounds.range.low, dots_on_sheet(low.length, measured ?
		    reference.length : low.length).low) << c.papers << c.reference;
		EXPECT_EQ(bounds.range.high, dots_on_sheet(high.length, measured ?
		    reference.length : high.length).high) << c.papers << c.reference;
		// Every paper's own range holds the common one.
		for (const paper *p : {&low, &high}) {
			dots_range own = dots_on_sheet(p->length, measured ?
			    reference.length : p->length);
			EXPECT_LE(own.low, bounds.range.low);
			EXPECT_GE(own.high, bounds.range.high);
		}
		unlink(path);
	}
	char path[32];
	ASSERT_TRUE(write_ppd(path, "", false));
	paper_bounds bounds;
	EXPECT_FALSE(every_size_bounds(path, nullptr, &bounds));
	unlink(path);
}

// What the value is checked on: a value in the common range fits every
// paper, one just outside it is off the paper that bounds that end, which
// the one line names with the range.
TEST(fits_every_size, takes_the_values_inside_the_common_range)
{
	char path[32];
	ASSERT_TRUE(write_ppd(path, "A4 595 842 Letter 612 792 A5 420 595",
	    true));
	paper a4;
	ASSERT_TRUE(named_paper(path, "A4", &a4));
	paper_bounds bounds;
	ASSERT_TRUE(every_size_bounds(path, &a4, &bounds));
	const struct {
		double dots;
		bool fits;
	} cases[] = {
		{bounds.range.low, false},
		{std::nextafter(bounds.range.low, HUGE_VAL), true},
		{(bounds.range.low + bounds.range.high) / 2, true},
		{std::nextafter(bounds.range.high, 0), true},
		{bounds.range.high, false},
	};
	for (const auto &c : cases) {
		char text[64];
		snprintf(text, sizeof text, "%.17g", c.dots);
		testing::internal::CaptureStderr();
		EXPECT_EQ(fits_every_size(path, text, &a4), c.fits) << text;
		EXPECT_EQ(testing::internal::GetCapturedStderr().empty(), c.fits);
	}
	const std::string start = "\nERROR: morvane-filter: the vertical dots ";
	const struct {
		const char *text;
		bool measured;
		std::string said;
	} lines[] = {
		{"6500", false, "\"6500\" put the page off the sheet for the page "
		    "size A5, 420 points long: on every paper of the PPD they must "
		    "lie between -35.43 (bound by A4) and 3464.57 (bound by A5)\n"},
		{"-40", false, "\"-40\" put the page off the sheet for the page size "
		    "A4, 595 points long: on every paper of the PPD they must lie "
		    "between -35.43 (bound by A4) and 3464.57 (bound by A5)\n"},
		{"4500", true, "\"4500\" put the page off the sheet for the page "
		    "size A5, 420 points long: on every paper of the PPD they must "
		    "lie between 693.73 and 4193.73 (both bound by A5)\n"},
		{"600", true, "\"600\" put the page off the sheet for the page "
		    "size A5, 420 points long: on every paper of the PPD they must "
		    "lie between 693.73 and 4193.73 (both bound by A5)\n"},
		{"4500x", true, ""},
		{"4000", true, ""},
		{"3400", false, ""},
	};
	unlink(path);
	// Landscape sheets, 595 and 420 points long.
	ASSERT_TRUE(write_ppd(path, "A4 842 595 A5 595 420", true));
	ASSERT_TRUE(named_paper(path, "A4", &a4));
	for (const auto &l : lines) {
		testing::internal::CaptureStderr();
		EXPECT_EQ(fits_every_size(path, l.text, l.measured ? &a4 : nullptr),
		    l.said.empty()) << l.text;
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(said, l.said.empty() ? "" : start + l.said) << l.text;
	}
	unlink(path);
}

// The one text that morvane-setup stores for a value that read_dots takes,
// and the values that it refuses: hexadecimal ones, and those whose
// decimal would not fit.
TEST(canonical_dots, writes_the_shortest_plain_decimal)
{
	const struct {
		const char *text;
		const char *stored;  // nullptr: refused
	} cases[] = {
		{"3480", "3480"}, {" 3480", "3480"}, {"+3480", "3480"},
		{"3.48e3", "3480"}, {"3480.", "3480"}, {"3480 \t", "3480"},
		{"\t3480", "3480"}, {"3480.000", "3480"}, {"003480", "3480"},
		{"3100.5", "3100.5"}, {"-35.25", "-35.25"}, {"-0", "0"},
		{".5", "0.5"}, {"1e-5", "0.00001"}, {"2.5E+2", "250"},
		{"0.1", "0.1"}, {"1e20", "100000000000000000000"},
		{"123456789012345678", "123456789012345680"},
		{"-1.5e-3", "-0.0015"}, {"0", "0"},
		{"0xD98", nullptr}, {"0X1p3", nullptr}, {"-0x10", nullptr},
		{" +0x10", nullptr}, {"inf", nullptr}, {"nan", nullptr},
		{"3480abc", nullptr}, {"", nullptr}, {"1e300", nullptr},
		{"1e-300", nullptr},
	};
	for (const auto &c : cases) {
		char stored[dots_text_size] = "unchanged";
		testing::internal::CaptureStderr();
		EXPECT_EQ(canonical_dots(c.text, stored), c.stored != nullptr)
		    << c.text;
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(said.empty(), c.stored != nullptr) << c.text << said;
		if (c.stored != nullptr) {
			EXPECT_STREQ(stored, c.stored) << c.text;
		}
	}
	// Any value: the text reads back as it, needs no exponent, and is its
	// own stored form.
	std::mt19937 random(1);
	std::uniform_real_distribution<double> dots(-1e7, 1e7);
	std::uniform_int_distribution<int> digits(1, 17);
	for (int i = 0; i < 100000; i++) {
		char text[64], stored[dots_text_size], again[dots_text_size];
		snprintf(text, sizeof text, "%.*g", digits(random), dots(random));
		ASSERT_TRUE(canonical_dots(text, stored)) << text;
		EXPECT_EQ(strtod(stored, nullptr), strtod(text, nullptr)) << text;
		EXPECT_EQ(strpbrk(stored, "eE+ "), nullptr) << stored;
		ASSERT_TRUE(canonical_dots(stored, again)) << stored;
		EXPECT_STREQ(again, stored) << text;
		size_t length = strlen(stored);
		EXPECT_TRUE(strchr(stored, '.') == nullptr ||
		    (stored[length - 1] != '0' && stored[length - 1] != '.')) << stored;
	}
}

// The calibration page on papers down to labels: ghostscript, as the
// printer, finds the ink of every page on the paper, and no line of its
// text past the right margin, which is as wide as the left.
TEST(write_calibration_page, keeps_every_line_on_the_paper)
{
	if (system("gs -h >/dev/null 2>&1") != 0)
		GTEST_SKIP() << "no ghostscript";
	const std::string long_name(60, 'q');
	const struct {
		const char *queue;
		float width;
		float length;
		const char *size;
	} cases[] = {
		{"kyo", 595, 842, nullptr}, {"kyo", 612, 792, "Letter"},
		{"kyo", 420, 595, "A5"}, {"kyo", 298, 420, "A6"},
		{"kyo", 144, 216, "w144h216"}, {"kyo", 216, 144, "w216h144"},
		{"kyo", 288, 432, "w288h432"},
		{"Office_Printer_Second_Floor", 298, 420, "A6"},
		{long_name.c_str(), 144, 216, "w144h216"},
	};
	for (const auto &c : cases) {
		char path[] = "/tmp/morvane-test.XXXXXX";
		int fd = mkstemp(path);
		ASSERT_GE(fd, 0);
		FILE *file = fdopen(fd, "w");
		page_value dots = {.text = "3473.5", .size = c.size, .sheet = {
		    .name = "x", .width = c.width, .length = c.length}};
		ASSERT_TRUE(write_calibration_page(file, c.queue, &dots));
		ASSERT_EQ(fclose(file), 0);
		char command[256];
		snprintf(command, sizeof command, "gs -q -dSAFER -dBATCH -dNOPAUSE "
		    "-dDEVICEWIDTHPOINTS=%g -dDEVICEHEIGHTPOINTS=%g -dFIXEDMEDIA "
		    "-sDEVICE=bbox %s 2>&1", c.width, c.length, path);
		FILE *boxes = popen(command, "r");
		ASSERT_NE(boxes, nullptr);
		int pages = 0;
		char line[256];
		std::string where = std::string(c.queue) + " " +
		    std::to_string(c.width) + "x" + std::to_string(c.length);
		while (fgets(line, sizeof line, boxes) != nullptr) {
			double x0, y0, x1, y1;
			if (sscanf(line, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &x0, &y0,
			    &x1, &y1) != 4)
				continue;
			pages++;
			EXPECT_GT(x0, 0) << where << " page " << pages;
			EXPECT_GT(y0, 0) << where << " page " << pages;
			EXPECT_LT(x1, c.width) << where << " page " << pages;
			EXPECT_LT(y1, c.length) << where << " page " << pages;
			EXPECT_GE(c.width - x1, x0 - 1) << where << " page " << pages;
		}
		EXPECT_EQ(pclose(boxes), 0) << where;
		EXPECT_GT(pages, 0) << where;
		unlink(path);
	}
}

}
