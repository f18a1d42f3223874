// SPDX-License-Identifier: MIT
// The code that the programs share: the vertical dots (what counts as a
// value, the one text that a value is stored as, the values that keep the
// page on a sheet), the page-size text and the records that the filters
// accept, and what the queue's PPD says of the paper and of the chain.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "calibration.h"
#include "dots.h"
#include "image_shift.h"
#include "queue.h"
#include "ppd.h"
#include "shift.h"

namespace {

// Both programs take a value by this one rule: a PPD's "3400.5 " is a
// value for the filter, so " 3473" and "3473 " are for morvane-setup too.
TEST(read_dots, takes_a_number_alone_blanks_around_it)
{
	const struct {
		const char *text;
		bool valid;
		double value;
	} cases[] = {{"3473", true, 3473}, {"3400.5", true, 3400.5},
	    {"-10", true, -10}, {" 3473", true, 3473}, {"3473 \t", true, 3473},
	    {"", false, 0}, {" ", false, 0}, {"3473abc", false, 0},
	    {"3473 x", false, 0}, {"3473\n", false, 0}, {"inf", false, 0},
	    {"nan", false, 0}, {"1e999", false, 0}};
	for (const auto &c : cases) {
		double value = -1;
		EXPECT_EQ(read_dots(c.text, &value), c.valid) << c.text;
		if (c.valid) {
			EXPECT_EQ(value, c.value) << c.text;
		}
	}
}

// The dots of a length in points: 300 dots and 72 points an inch.
double dots_of(double points)
{
	return points / 72 * 300;
}

// A value measured on one paper moves the page as far from the top edge of
// a sheet of another length: by the difference of the lengths, in dots.
TEST(dots_on_paper, adds_the_difference_of_the_lengths_in_dots)
{
	const struct {
		const char *what;
		double dots;
		float length;
		float reference;
		double on_paper;
	} cases[] = {
		{"the same paper", 3473, 842, 842, 3473},
		{"A4, measured on Letter: 50 points longer", 3473, 842, 792,
		    3473 + 208.333333},
		{"Letter, measured on A4", 3473, 792, 842, 3473 - 208.333333},
		{"A5, measured on A4: 247 points shorter", 3000, 595, 842,
		    3000 - 1029.166667},
		{"a label, measured on Letter: 8 inches shorter", 0, 216, 792,
		    -2400},
		{"an inch longer", -35.25, 864, 792, 264.75},
		{"a length of a float's own", 3473, 841.89f, 595.28f,
		    3473 + 1027.541667},
	};
	for (const auto &c : cases)
		EXPECT_NEAR(dots_on_paper(c.dots, c.length, c.reference), c.on_paper,
		    1e-3) << c.what;
}

// The values measured on the reference that keep the page's top edge on
// a sheet: above its bottom, and less than the page's length above its
// top, each less the margin of 3 mm that the page's top edge keeps.
TEST(dots_on_sheet, spans_the_sheet_and_a_page_above_it)
{
	const double margin = 300 * 3 / 25.4;
	const struct {
		const char *what;
		float length;
		float reference;
		double low;
		double high;
	} cases[] = {
		{"A4 on itself", 842, 842, -35.433071, 6981.233596},
		{"Letter on itself", 792, 792, -35.433071, 6564.566929},
		{"A4, measured on Letter", 842, 792, -243.766404, 6772.900262},
		{"Letter, measured on A4", 792, 842, 172.900262, 6772.900262},
		{"A5, measured on A4", 595, 842, 993.733596, 5952.066929},
		{"a label, measured on A4", 216, 842, 2572.900262, 4372.900262},
		{"an inch, on itself", 72, 72, -35.433071, 564.566929},
	};
	for (const auto &c : cases) {
		dots_range range = dots_on_sheet(c.length, c.reference);
		EXPECT_NEAR(range.low, c.low, 1e-5) << c.what;
		EXPECT_NEAR(range.high, c.high, 1e-5) << c.what;
		// The same by the rule: the difference of the lengths moves both
		// ends, the range is twice the sheet long.
		double shift = dots_of((double)c.length - (double)c.reference);
		EXPECT_NEAR(range.low, -margin - shift, 1e-6) << c.what;
		EXPECT_NEAR(range.high - range.low, 2 * dots_of(c.length), 1e-6)
		    << c.what;
		// Moved to the paper, the ends are the paper's own.
		dots_range own = dots_on_sheet(c.length, c.length);
		EXPECT_NEAR(dots_on_paper(range.low, c.length, c.reference), own.low,
		    1e-6) << c.what;
		EXPECT_NEAR(dots_on_paper(range.high, c.length, c.reference),
		    own.high, 1e-6) << c.what;
	}
}

// Which value a paper gets: its own, by name or within a point of its
// size, measured on itself; else the value for every paper, measured on
// the reference, or on the paper itself where there is none.
TEST(value_in_effect, takes_the_papers_own_value_then_the_one_for_every_paper)
{
	calibration c = {};
	c.has_dots = true;
	c.value = dots_value{.text = "3000", .dots = 3000, .source = "every"};
	c.has_reference = true;
	c.reference = 842;
	c.own_count = 2;
	c.own[0] = own_dots{.for_paper = named_paper("Letter", 612, 792),
	    .value = {.text = "3100", .dots = 3100, .source = "Letter's"}};
	c.own[1] = own_dots{.for_paper = named_paper("Label", 144, 216),
	    .value = {.text = "250", .dots = 250, .source = "Label's"}};
	const struct {
		const char *what;
		paper p;
		bool measured;       // the value for every paper has a reference
		const char *text;
		float reference;
	} cases[] = {
		{"A4", named_paper("A4", 595, 842), true, "3000", 842},
		{"A5, moved from A4", named_paper("A5", 420, 595), true, "3000", 842},
		{"Letter by name", named_paper("Letter", 612, 792), true, "3100", 792},
		{"Letter by name, another size", named_paper("Letter", 600, 780),
		    true, "3100", 780},
		{"Letter's size by another name", named_paper("612x792", 612, 792),
		    true, "3100", 792},
		{"within a point of Letter", named_paper("x", 612.9f, 791.1f), true,
		    "3100", 791.1f},
		{"a point and more off Letter", named_paper("x", 613.5f, 792), true,
		    "3000", 842},
		{"the label", named_paper("Label", 144, 216), true, "250", 216},
		{"A5, no reference", named_paper("A5", 420, 595), false, "3000", 595},
		{"Letter, no reference", named_paper("Letter", 612, 792), false,
		    "3100", 792},
	};
	for (const auto &r : cases) {
		c.has_reference = r.measured;
		float reference = -1;
		const dots_value *v = value_in_effect(&c, r.p, &reference);
		EXPECT_STREQ(v->text, r.text) << r.what;
		EXPECT_EQ(reference, r.reference) << r.what;
	}
}

// Whether the value in effect keeps the page on the sheet: the range
// ends are refused with one line that names the paper and the range.
TEST(dots_fit, refuses_the_range_ends_with_one_line)
{
	calibration c = {};
	c.has_dots = true;
	c.has_reference = false;
	const paper a4 = named_paper("A4", 595, 842);
	// On its own paper, the range is the margin below 0 to the page's
	// length above it: from -0.11811 in (3 mm) to (2 * 842 / 72 - 0.11811)
	// in, in dots.
	const struct {
		double dots;
		bool fits;
	} cases[] = {
		{-35.43, true}, {-35.44, false}, {0, true}, {3464.57, true},
		{6981.2, true}, {6981.3, false}, {1e300, false},
	};
	for (const auto &r : cases) {
		c.value = dots_value{.text = "", .dots = r.dots, .source = "the value"};
		snprintf(c.value.text, sizeof c.value.text, "%g", r.dots);
		testing::internal::CaptureStderr();
		EXPECT_EQ(dots_fit(&c, a4), r.fits) << r.dots;
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(said.empty(), r.fits) << said;
		if (!r.fits) {
			EXPECT_NE(said.find("puts the page off the sheet for the page "
			    "size A4, 842 points long: it must lie between -35.43 and "
			    "6981.23"), std::string::npos) << said;
		}
	}
}

// The image shifts: a side's own attribute wins over the one for both
// sides, on its axis only; text that is not a whole number fails with one
// line that names it.
TEST(read_image_shifts, takes_each_sides_own_over_both)
{
	const struct {
		const char *what;
		const char *texts[image_shift_attributes];
		bool read;
		long front[2];
		long back[2];
		const char *from; // the back's x and y attributes, or the error
	} cases[] = {
	    {"none", {}, true, {0, 0}, {0, 0}, " "},
	    {"both sides", {"150", "-120"}, true, {150, -120}, {150, -120},
		"x-image-shift y-image-shift"},
	    {"the back's own y", {"150", "-120", nullptr, nullptr, nullptr,
		"40"}, true, {150, -120}, {150, 40},
		"x-image-shift y-side2-image-shift"},
	    {"the front's own x, a zero", {"150", nullptr, "0"}, true, {0, 0},
		{150, 0}, "x-image-shift "},
	    {"the back's alone", {nullptr, nullptr, nullptr, nullptr, "+7",
		"-2147483648"}, true, {0, 0}, {7, -2147483648L},
		"x-side2-image-shift y-side2-image-shift"},
	    {"a fraction", {"1.5"}, false, {}, {},
		"x-image-shift=1.5 is not a whole number of hundredths of a "
		"millimetre"},
	    {"a blank", {nullptr, " 5"}, false, {}, {}, "y-image-shift= 5 is"},
	    {"text after", {nullptr, nullptr, nullptr, nullptr, "5mm"}, false,
		{}, {}, "x-side2-image-shift=5mm is"},
	    {"empty", {nullptr, nullptr, nullptr, ""}, false, {}, {},
		"y-side1-image-shift= is"},
	    {"a sign alone", {"-"}, false, {}, {}, "x-image-shift=- is"},
	    {"beyond IPP's integers", {nullptr, nullptr, nullptr, nullptr,
		nullptr, "2147483648"}, false, {}, {}, "=2147483648 is"},
	};
	for (const auto &c : cases) {
		image_shifts s = {};
		testing::internal::CaptureStderr();
		bool read = read_image_shifts(c.texts, &s);
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(read, c.read) << c.what;
		EXPECT_EQ(said.empty(), c.read) << c.what << said;
		if (!c.read) {
			EXPECT_NE(said.find(c.from), std::string::npos) << said;
			continue;
		}
		EXPECT_EQ(s.given, c.texts[0] != nullptr || c.texts[1] != nullptr ||
		    c.texts[2] != nullptr || c.texts[5] != nullptr) << c.what;
		EXPECT_EQ(s.side[side_front].x, c.front[0]) << c.what;
		EXPECT_EQ(s.side[side_front].y, c.front[1]) << c.what;
		EXPECT_EQ(s.side[side_back].x, c.back[0]) << c.what;
		EXPECT_EQ(s.side[side_back].y, c.back[1]) << c.what;
		const side_shift *b = &s.side[side_back];
		std::string from = std::string(b->x_from ? b->x_from : "") + " " +
		    (b->y_from ? b->y_from : "");
		EXPECT_EQ(from, c.from) << c.what;
	}
}

// A side's shift adds to the record's, x rightwards and y downwards; one
// that leaves none of the image on the sheet fails with one line that
// names the attribute, its value, the side and the range that fits.
TEST(add_image_shift, adds_within_the_sheet_and_names_the_range)
{
	const paper a4 = named_paper("A4", 595, 842);
	// A4 is 595/72 in wide: 20990.3 hundredths of a millimetre; the record
	// moves the page 0.06 in (152.4) leftwards and 0.1 in (254) upwards.
	const double record[2] = {-0.06, 0.1};
	const struct {
		const char *what;
		const char *texts[image_shift_attributes];
		sheet_side side;
		bool fits;
		double shift[2];   // in inches, where it fits
		const char *error; // where it does not
	} cases[] = {
	    {"none", {}, side_front, true, {-0.06, 0.1}, ""},
	    {"right and down", {"254", "508"}, side_front, true, {0.04, -0.1},
		""},
	    {"the back's own, on the front", {nullptr, nullptr, nullptr,
		nullptr, "254", "508"}, side_front, true, {-0.06, 0.1}, ""},
	    {"the back's own, on the back", {"1000", nullptr, nullptr, nullptr,
		"-254", "-254"}, side_back, true, {-0.16, 0.2}, ""},
	    {"the right end", {"21142"}, side_front, true,
		{-0.06 + 21142 / 2540.0, 0.1}, ""},
	    {"past the right end", {"21143"}, side_front, false, {},
		"x-image-shift=21143 puts the front side's image off the sheet "
		"of A4: from -20837 to 21142 hundredths of a millimetre fit"},
	    {"past the left end", {"-20838"}, side_front, false, {},
		"from -20837 to"},
	    {"past the bottom", {nullptr, "29958"}, side_front, false, {},
		"y-image-shift=29958 puts the front side's image off the sheet of "
		"A4: from -29449 to 29957 hundredths"},
	    {"the back's past the top", {nullptr, nullptr, nullptr, nullptr,
		nullptr, "-29450"}, side_back, false, {},
		"y-side2-image-shift=-29450 puts the back side's image off"},
	};
	for (const auto &c : cases) {
		image_shifts s = {};
		ASSERT_TRUE(read_image_shifts(c.texts, &s)) << c.what;
		double shift[2] = {record[0], record[1]};
		testing::internal::CaptureStderr();
		bool fits = add_image_shift(&s, c.side, a4, shift);
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(fits, c.fits) << c.what << said;
		if (c.fits) {
			EXPECT_NEAR(shift[0], c.shift[0], 1e-12) << c.what;
			EXPECT_NEAR(shift[1], c.shift[1], 1e-12) << c.what;
			EXPECT_EQ(said, "") << c.what;
		} else {
			EXPECT_NE(said.find(c.error), std::string::npos) << said;
			EXPECT_EQ(said.find("ERROR:"), said.rfind("ERROR:")) << said;
		}
	}
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
		    "in.ps out.ps one two three\n", nullptr},
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
		// A word too many must not land past the vector's end.
		const char *argv[record_words + 1] = {};
		const char *guard = "guard";
		argv[record_words] = guard;
		record_kind kind = accept_record(record, "/usr/bin/pstops", argv);
		EXPECT_EQ(argv[record_words], guard) << c.record;
		EXPECT_EQ(kind != refused_record, c.command != nullptr) << c.record;
		if (kind != refused_record && c.command != nullptr) {
			EXPECT_STREQ(argv[0], c.command) << c.record;
			EXPECT_EQ(kind == copy_record, strcmp(c.command, "cp") == 0);
		}
	}
}

// Writes text to the file at path.
bool write_text(const char *path, const std::string &text)
{
	FILE *file = fopen(path, "w");
	if (file == nullptr)
		return false;
	bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
	return fclose(file) == 0 && ok;
}

// Whether CUPS's own queue would get the size's code: not where the tray
// or the manual feed has code of its own, unless *RequiresPageRegion says.
// A job's tray unmarks the manual feed, so the default tray has none.
TEST(read_page_setup, sends_the_size_where_cups_own_queue_gets_it)
{
	char path[] = "/tmp/morvane-test.XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	const std::string ppd = "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
	    "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n"
	    "*PageSize A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
	    "*CloseUI: *PageSize\n*PaperDimension A4: \"595 842\"\n"
	    "*OpenUI *InputSlot: PickOne\n*DefaultInputSlot: Auto\n"
	    "*InputSlot Tray1: \"1 t\"\n*InputSlot Tray2: \"2 t\"\n"
	    "*InputSlot Auto: \"\"\n*CloseUI: *InputSlot\n"
	    "*RequiresPageRegion Tray2: True\n"
	    "*OpenUI *ManualFeed: Boolean\n*DefaultManualFeed: False\n"
	    "*ManualFeed True: \"true m\"\n*ManualFeed False: \"false m\"\n"
	    "*CloseUI: *ManualFeed\n*VariablePaperSize: True\n"
	    "*MaxMediaWidth: \"900\"\n*MaxMediaHeight: \"900\"\n"
	    "*CustomPageSize True: \"pop pop pop <</PageSize[5 -2 roll]>>"
	    "setpagedevice\"\n*ParamCustomPageSize Width: 1 points 1 900\n"
	    "*ParamCustomPageSize Height: 2 points 1 900\n";
	close(fd);
	// A filter line of the PPD's own (foomatic-rip's, say) has CUPS send
	// the size to its own queue too; morvane's lines do not count.
	const char own[] = "*cupsFilter: \"application/vnd.cups-postscript 0 "
	    "foomatic-rip\"\n";
	const char morvane[] = "*cupsFilter: \"application/vnd.cups-postscript 0 "
	    "morvane-filter\"\n*cupsPreFilter: \"application/vnd.cups-postscript "
	    "0 morvane-filter\"\n";
	const struct {
		const char *lines;
		const char *options;
		bool sends;
	} cases[] = {
		{"", "", true},                        // no tray code, the feed False
		{"", "InputSlot=Tray1", false},        // the tray has code
		{"", "ManualFeed=True", false},        // the feed has code
		{"", "InputSlot=Tray2", true},         // *RequiresPageRegion
		{"", "InputSlot=Tray1 PageSize=Custom.300x400", true}, // a custom size
		{morvane, "InputSlot=Tray1", false},
		{own, "InputSlot=Tray1", true},
		{own, "ManualFeed=True", true},
		{own, "InputSlot=Tray2", true},
	};
	for (const auto &c : cases) {
		ASSERT_TRUE(write_text(path, ppd + c.lines));
		ppd_handle ppd = ppd_at(path);
		ASSERT_TRUE(ppd) << c.lines;
		const queue_source source = {.ppd = ppd.get(), .options = c.options,
		    .final_type = ""};
		queue q = {};
		marked_paper marked = {};
		ASSERT_TRUE(read_queue(&source, &q, &marked)) << c.options;
		EXPECT_EQ(q.plain_sends_size, c.sends) << c.lines << c.options;
	}
	unlink(path);
}

// The choice that a two-sided calibration page asks for: of the first of
// the duplex options that the PPD has, the first choice that prints both
// sides without turning the back over the short edge, whatever the
// default; none where no option has one.
TEST(long_edge_choice, finds_the_duplex_choice_over_the_long_edge)
{
	char path[] = "/tmp/morvane-test.XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	close(fd);
	const std::string head = "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
	    "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n"
	    "*PageSize A4: \"\"\n*CloseUI: *PageSize\n";
	const struct {
		const char *option;
		const char *choices; // the first is the default
		const char *found;   // "OPTION=CHOICE", or empty
	} cases[] = {
		{"Duplex", "None DuplexNoTumble DuplexTumble", "Duplex=DuplexNoTumble"},
		{"Duplex", "DuplexTumble DuplexNoTumble None", "Duplex=DuplexNoTumble"},
		{"JCLDuplex", "False True", "JCLDuplex=True"},
		{"EFDuplex", "None Top Bottom", "EFDuplex=Top"},
		{"EFDuplexing", "Off LongEdge ShortEdge", "EFDuplexing=LongEdge"},
		{"KD03Duplex", "Simplex On", "KD03Duplex=On"},
		{"ARDuplex", "Off On", "ARDuplex=On"},
		{"Duplex", "None DuplexTumble", ""},
		{"Duplex", "None", ""},
		{"Sides", "OneSided TwoSided", ""},
	};
	for (const auto &c : cases) {
		std::string text = head + "*OpenUI *" + c.option + ": PickOne\n";
		std::string choices = c.choices;
		text += "*Default" + std::string(c.option) + ": " +
		    choices.substr(0, choices.find(' ')) + "\n";
		for (size_t at = 0; at < choices.size();) {
			size_t end = std::min(choices.find(' ', at), choices.size());
			text += "*" + std::string(c.option) + " " +
			    choices.substr(at, end - at) + ": \"\"\n";
			at = end + 1;
		}
		text += "*CloseUI: *" + std::string(c.option) + "\n";
		ASSERT_TRUE(write_text(path, text));
		ppd_handle ppd = ppd_at(path);
		ASSERT_TRUE(ppd) << c.option << " " << c.choices;
		const char *name = nullptr, *choice = nullptr;
		bool found = long_edge_choice(ppd.get(), &name, &choice);
		EXPECT_EQ(found ? std::string(name) + "=" + choice : "", c.found)
		    << c.option << " " << c.choices;
	}
	unlink(path);
}

// Whether a filter ends the job's chain, as the page log needs to know:
// the program of the *cupsFilter2 line to the final type, or of every
// *cupsFilter line where the PPD has no *cupsFilter2 line.
TEST(ppd_chain_ends, names_the_filters_that_end_a_job)
{
	char path[] = "/tmp/morvane-test.XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	close(fd);
	const std::string ppd = "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
	    "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n"
	    "*PageSize A4: \"a\"\n*CloseUI: *PageSize\n"
	    "*PaperDimension A4: \"595 842\"\n";
	const struct {
		const char *lines;
		const char *final;
		const char *ends;
	} cases[] = {
		{"", "application/pdf", ""},
		{"*cupsFilter: \"application/vnd.cups-postscript 0 morvane-filter\"\n"
		    "*cupsFilter: \"application/vnd.cups-raster 0 /usr/x/rastertox\"\n",
		    "printer/q", "morvane-filter rastertox"},
		{"*cupsFilter2: \"application/vnd.cups-pdf application/pdf 10 "
		    "morvane-pdf\"\n*cupsFilter2: \"image/jpeg image/jpeg 0 -\"\n",
		    "application/pdf", "morvane-pdf"},
		{"*cupsFilter2: \"application/vnd.cups-pdf application/pdf 10 "
		    "morvane-pdf\"\n", "image/jpeg", ""},
		// A type that only starts the line's is another type.
		{"*cupsFilter2: \"image/pwg-raster image/pwg-raster-x 0 a\"\n",
		    "image/pwg-raster", ""},
		{"*cupsFilter2: \"image/urf IMAGE/URF 100 maxsize(100) b \"\n",
		    "image/urf", "b"},
		// A raster driver's pre-filter never ends the chain.
		{"*cupsPreFilter: \"application/vnd.cups-raster 0 morvane-raster\"\n"
		    "*cupsFilter: \"application/vnd.cups-raster 0 rastertopwg\"\n",
		    "printer/q", "rastertopwg"},
	};
	for (const auto &c : cases) {
		ASSERT_TRUE(write_text(path, ppd + c.lines));
		ppd_file_t *opened = ppdOpenFile(path);
		ASSERT_NE(opened, nullptr) << c.lines;
		char ends[buffer_size];
		ppd_chain_ends(opened, c.final, ends);
		ppdClose(opened);
		EXPECT_STREQ(ends, c.ends) << c.lines;
	}
	unlink(path);
	const struct {
		const char *programs;
		const char *program;
		bool ends;
	} names[] = {
		{"morvane-filter rastertox", "rastertox", true},
		{"morvane-filter rastertox", "morvane-filter", true},
		{"morvane-filterx", "morvane-filter", false},
		{"x-morvane-filter", "morvane-filter", false},
		{"", "morvane-pdf", false},
	};
	for (const auto &n : names)
		EXPECT_EQ(ends_chain(n.programs, n.program), n.ends) << n.programs;
}

}
