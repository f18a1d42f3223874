// SPDX-License-Identifier: MIT
// morvane-setup: its reading and writing of a PPD (the shape its filter
// lines give it, and the lines it puts in, takes out and puts back), the
// values that keep the page on every paper of a PPD and which papers bound
// them, the calibration page on every paper, and the image shifts that it
// sets on a queue.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <cups/file.h>
#include <gtest/gtest.h>

#include "adapt.h"
#include "calibrate.h"
#include "dots.h"
#include "ppd.h"
#include "request.h"
#include "shift.h"
#include "shifts.h"
#include "sizes.h"

namespace {

const std::string head = "*PPD-Adobe: \"4.3\"\n*NickName: \"test\"\n";
const std::string filter = "*cupsFilter: \"application/vnd.cups-postscript 0 "
    "morvane-filter\"\n";
const std::string pre = "*cupsPreFilter: \"application/vnd.cups-postscript 0 "
    "morvane-filter\"\n";
const std::string foomatic = "*cupsFilter: \"application/vnd.cups-postscript "
    "0 foomatic-rip\"\n";
const std::string pdf = "*cupsFilter: \"application/vnd.cups-pdf 0 "
    "foomatic-rip\"\n";
const std::string out = "*%morvane-setup took out: ";
const std::string direct_pdf = "*cupsFilter: \"application/vnd.cups-pdf 0 -\"\n";
const std::string everywhere_pdf = "*cupsFilter2: \"application/vnd.cups-pdf "
    "application/pdf 10 -\"\n";
const std::string everywhere_urf = "*cupsFilter2: \"image/urf image/urf 100 "
    "-\"\n";
const std::string jpeg = "*cupsFilter2: \"image/jpeg image/jpeg 0 -\"\n";
const std::string pclm = "*cupsFilter2: \"application/PCLm application/PCLm "
    "200 -\"\n";
const std::string raster_driver = "*cupsFilter: \"application/vnd.cups-raster "
    "50 rastertohp\"\n";
const std::string dots = "*MorvaneVerticalDots: \"3473\"\n";

std::string crlf(const std::string &text)
{
	std::string lines;
	for (char c : text)
		lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
	return lines;
}

// Runs the PPD text through read_filters and write_adapted.
std::string adapt(const std::string &ppd, const char *dots_text,
    ppd_filters *filters, const char *reference = nullptr)
{
	const own_value own[] = {{.name = "Letter", .dots = "3300"}};
	const morvane_values values = {.dots = dots_text, .reference = reference,
	    .count = reference != nullptr ? 1 : 0, .own = own};
	FILE *in = fmemopen((void *)ppd.data(), ppd.size(), "rb");
	char *bytes = nullptr;
	size_t size = 0;
	FILE *written = open_memstream(&bytes, &size);
	read_filters(in, filters);
	rewind(in);
	EXPECT_TRUE(write_adapted(in, written, filters,
	    dots_text != nullptr ? &values : nullptr));
	fclose(in);
	fclose(written);
	std::string text(bytes, size);
	free(bytes);
	return text;
}

TEST(write_adapted, puts_the_filter_where_each_kind_needs_it)
{
	const std::string value = "*FoomaticRIPCommandLine: \"cat &&\n" + foomatic +
	    pdf + "\"\n*End\n";
	const std::string long_line = "*% " + std::string(2000, 'x') + pdf;
	const struct {
		std::string ppd;
		const char *dots;
		ppd_shape shape;
		std::string adapted;
		const char *reference = nullptr;
	} cases[] = {
		// No filter lines: CUPS's PostScript goes to the filter, once.
		{head, "3473", shape_no_filters, head + filter + dots},
		{head + filter + "*MorvaneVerticalDots: \"1\"\n", "3473",
		    shape_no_filters, head + filter + dots},
		{head + "*cupsFilter: \"application/postscript 0 morvane-filter\"\n",
		    "3473", shape_no_filters, head + filter + dots},
		// A filter of its own: the filter goes before it, and PDF stops
		// taking its own way, in a line that can be put back.
		{head + foomatic, "3473", shape_own_filter, head + foomatic + pre + dots},
		{head + pdf + foomatic, "3473", shape_own_filter,
		    head + out + pdf + foomatic + pre + dots},
		{head + out + pdf + foomatic + pre + dots, "3000", shape_own_filter,
		    head + out + pdf + foomatic + pre +
		    "*MorvaneVerticalDots: \"3000\"\n"},
		{head + "*cupsFilter2: \"application/pdf application/vnd.x 0 x\"\n"
		    "*cupsFilter2: \"application/vnd.cups-postscript application/vnd.x "
		    "0 x\"\n", "1", shape_own_filter, head + out +
		    "*cupsFilter2: \"application/pdf application/vnd.x 0 x\"\n"
		    "*cupsFilter2: \"application/vnd.cups-postscript application/vnd.x "
		    "0 x\"\n" + pre + "*MorvaneVerticalDots: \"1\"\n"},
		// The size that the value was measured on, and a size's own
		// value, are morvane's lines too.
		{head + filter + dots + "*MorvaneVerticalDots Letter: \"3300\"\n"
		    "*MorvaneReferenceSize: \"Letter\"\n", "3400", shape_no_filters,
		    head + filter + "*MorvaneVerticalDots: \"3400\"\n"
		    "*MorvaneReferenceSize: \"A4\"\n*MorvaneVerticalDots Letter: "
		    "\"3300\"\n", "A4"},
		{head + filter + dots + "*MorvaneReferenceSize: \"A4\"\n", nullptr,
		    shape_no_filters, head},
		// Taken back: the PPD as it was.
		{head + out + pdf + foomatic + pre + dots, nullptr, shape_own_filter,
		    head + pdf + foomatic},
		{head + filter + dots, nullptr, shape_no_filters, head},
		// Lines that name filters only inside a value or a comment, or
		// behind a line longer than the buffer, are none.
		{head + value + long_line, "1", shape_no_filters,
		    head + value + long_line + filter + "*MorvaneVerticalDots: \"1\"\n"},
		// The line ends of the PPD, and a last line without one.
		{crlf(head + pdf + foomatic), "1", shape_own_filter,
		    crlf(head + out + pdf + foomatic + pre) +
		    "*MorvaneVerticalDots: \"1\"\r\n"},
		{head + "*End", "1", shape_no_filters,
		    head + "*End\n" + filter + "*MorvaneVerticalDots: \"1\"\n"},
		// The line end is the first line's that is kept: a line of
		// morvane's is not.
		{dots + "\r", "1", shape_no_filters, "\r\n" + crlf(filter) +
		    "*MorvaneVerticalDots: \"1\"\r\n"},
		// PDF straight to the printer, as a PDF PPD and IPP Everywhere
		// give it: morvane-pdf takes its place, and the other lines that
		// pass it by go.
		{head + direct_pdf, "1", shape_pdf_direct, head + out + direct_pdf +
		    "*cupsFilter: \"application/vnd.cups-pdf 0 morvane-pdf\"\n"
		    "*MorvaneVerticalDots: \"1\"\n"},
		{head + everywhere_urf + everywhere_pdf + jpeg, "1", shape_pdf_direct,
		    head + out + everywhere_urf + out + everywhere_pdf + out + jpeg +
		    "*cupsFilter2: \"application/vnd.cups-pdf application/pdf 10 "
		    "morvane-pdf\"\n*MorvaneVerticalDots: \"1\"\n"},
		{head + out + everywhere_pdf + "*cupsFilter2: \"application/vnd.cups-"
		    "pdf application/pdf 10 morvane-pdf\"\n" + dots, nullptr,
		    shape_pdf_direct, head + everywhere_pdf},
		// PWG or Apple raster straight to the printer: morvane-raster.
		{head + everywhere_urf + jpeg, "1", shape_raster_direct,
		    head + out + everywhere_urf + out + jpeg + "*cupsFilter2: "
		    "\"image/urf image/urf 100 morvane-raster\"\n"
		    "*MorvaneVerticalDots: \"1\"\n"},
		// A raster driver: morvane-raster before it, on CUPS's raster, and
		// no way for PDF past it.
		{head + pdf + raster_driver, "1", shape_raster_driver, head + out + pdf +
		    raster_driver + "*cupsPreFilter: \"application/vnd.cups-raster 0 "
		    "morvane-raster\"\n*MorvaneVerticalDots: \"1\"\n"},
		{head + "*cupsFilter2: \"application/vnd.cups-raster image/urf 100 "
		    "rastertopwg\"\n", "1", shape_raster_driver, head +
		    "*cupsFilter2: \"application/vnd.cups-raster image/urf 100 "
		    "rastertopwg\"\n*cupsPreFilter: \"application/vnd.cups-raster 0 "
		    "morvane-raster\"\n*MorvaneVerticalDots: \"1\"\n"},
		// Refused, and left as they are: a fax, PCLm alone, other types.
		{head + "*cupsFilter: \"application/vnd.cups-raster 0 hpcupsfax\"\n",
		    nullptr, shape_fax, head + "*cupsFilter: \"application/vnd.cups-"
		    "raster 0 hpcupsfax\"\n"},
		{head + "*ModelName: \"HP Fax hpijs\"\n" + foomatic, nullptr,
		    shape_fax, head + "*ModelName: \"HP Fax hpijs\"\n" + foomatic},
		{head + "*cupsIPPFaxOut: True\n" + everywhere_pdf, nullptr, shape_fax,
		    head + "*cupsIPPFaxOut: True\n" + everywhere_pdf},
		{head + pclm, nullptr, shape_pclm, head + pclm},
		// A refused kind has no filter to put in: written all the same,
		// it gets only the values, and again the same.
		{head + "*cupsFax: True\n", "1", shape_fax,
		    head + "*cupsFax: True\n*MorvaneVerticalDots: \"1\"\n"},
		{head + pclm + everywhere_urf, nullptr, shape_raster_direct,
		    head + pclm + everywhere_urf},
		{head + "*cupsFilter: \"application/vnd.hp-HPGL 0 -\"\n", nullptr,
		    shape_no_postscript,
		    head + "*cupsFilter: \"application/vnd.hp-HPGL 0 -\"\n"},
	};
	for (const auto &c : cases) {
		ppd_filters filters;
		std::string adapted = adapt(c.ppd, c.dots, &filters, c.reference);
		EXPECT_EQ(filters.shape, c.shape) << c.ppd;
		EXPECT_EQ(adapted, c.adapted) << c.ppd;
		EXPECT_EQ(adapt(adapted, c.dots, &filters, c.reference), adapted)
		    << c.ppd;
	}
}

TEST(read_filters, names_the_types_and_the_program)
{
	ppd_filters filters;
	adapt(head + pdf + "*cupsFilter: \"application/vnd.cups-pdf 0 x\"\n" +
	    "*cupsFilter: \"image/png 0 -\"\n", nullptr, &filters);
	EXPECT_EQ(filters.count, 3);
	EXPECT_STREQ(filters.types, "application/vnd.cups-pdf, image/png");
	adapt(head + pdf + foomatic, nullptr, &filters);
	EXPECT_STREQ(filters.program, "foomatic-rip");
	EXPECT_EQ(filters.morvane, 0);
	adapt(head + out + pdf + foomatic + pre + dots, nullptr, &filters);
	EXPECT_EQ(filters.morvane, 3);
	EXPECT_FALSE(filters.zero);
	// A zero byte would be lost from the text written: such a PPD is
	// refused.
	adapt(head + std::string("*% a\0b\n", 7) + foomatic, nullptr, &filters);
	EXPECT_TRUE(filters.zero);
	// The driver for CUPS's raster, and the line that gives the printer its
	// type as it is: PDF before raster.
	adapt(head + everywhere_urf + pdf + raster_driver + everywhere_pdf,
	    nullptr, &filters);
	EXPECT_STREQ(filters.raster_program, "rastertohp");
	EXPECT_STREQ(filters.program, "");
	EXPECT_STREQ(filters.direct.keyword, "cupsFilter2");
	EXPECT_STREQ(filters.direct.type, "application/vnd.cups-pdf");
	EXPECT_STREQ(filters.direct.rest, "application/pdf 10");
}

// The text of a file, or "none" where it cannot be read.
std::string read_text(const char *path)
{
	FILE *in = fopen(path, "rb");
	if (in == nullptr)
		return "none";
	std::string text;
	char bytes[256];
	for (size_t n; (n = fread(bytes, 1, sizeof bytes, in)) > 0;)
		text.append(bytes, n);
	fclose(in);
	return text;
}

// A PPD compressed by gzip is read as libcups reads it: its text, written
// to a file of the run's folder that was not there before; a plain PPD,
// or a file that cannot be opened, is read where it is.
TEST(plain_ppd, writes_the_text_of_a_gzip_ppd_to_a_file_of_its_own)
{
	work w = {};
	ASSERT_TRUE(make_work(&w));
	const std::string text = head + foomatic + std::string(5000, '%') + "\n";
	char gz[buffer_size], cut[buffer_size], plain_file[buffer_size],
	    elsewhere[buffer_size], plain[buffer_size];
	path_in(gz, w.folder, "given.ppd.gz");
	path_in(cut, w.folder, "cut.ppd.gz");
	path_in(plain_file, w.folder, "given.ppd");
	path_in(elsewhere, w.folder, "elsewhere");
	cups_file_t *out = cupsFileOpen(gz, "w9");
	ASSERT_NE(out, nullptr);
	ASSERT_EQ(cupsFileWrite(out, text.data(), text.size()),
	    (ssize_t)text.size());
	ASSERT_EQ(cupsFileClose(out), 0);
	std::string zipped = read_text(gz);
	FILE *file = fopen(cut, "wb");
	fwrite(zipped.data(), 1, zipped.size() - 20, file);
	fclose(file);
	file = fopen(plain_file, "wb");
	fwrite(text.data(), 1, text.size(), file);
	fclose(file);
	char missing[] = "/nonexistent/x.ppd";
	path_in(plain, w.folder, "plain.ppd");
	const struct {
		const char *path;
		const char *read;        // nullptr: refused
		const char *link;        // where not null, plain.ppd is a link to it
	} cases[] = {
		{plain_file, plain_file, nullptr},
		{missing, missing, nullptr},
		{gz, plain, nullptr},
		{cut, nullptr, nullptr},
		{gz, nullptr, elsewhere},
	};
	for (const auto &c : cases) {
		unlink(plain);
		if (c.link != nullptr) {
			ASSERT_EQ(symlink(c.link, plain), 0);
		}
		char written[buffer_size] = "";
		testing::internal::CaptureStderr();
		const char *read = plain_ppd(&w, c.path, "the PPD", written);
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(said.empty(), c.read != nullptr) << c.path << said;
		EXPECT_STREQ(read, c.read) << c.path;
		// The text where it is read, no file where it is not.
		struct stat made;
		if (c.read == plain) {
			EXPECT_EQ(read_text(plain), text);
		} else {
			EXPECT_TRUE(c.link != nullptr || lstat(plain, &made) != 0)
			    << c.path;
		}
		EXPECT_EQ(read_text(elsewhere), "none") << c.path;
	}
	remove_folder(w.folder);
}

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
		ASSERT_TRUE(!measured || find_paper(ppd_at(path).get(), c.reference, &reference));
		ASSERT_TRUE(find_paper(ppd_at(path).get(), c.low, &low));
		ASSERT_TRUE(find_paper(ppd_at(path).get(), c.high, &high));
		paper_bounds bounds;
		ASSERT_TRUE(every_size_bounds(ppd_at(path).get(), measured ? &reference : nullptr,
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
	EXPECT_FALSE(every_size_bounds(ppd_at(path).get(), nullptr, &bounds));
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
	ASSERT_TRUE(find_paper(ppd_at(path).get(), "A4", &a4));
	paper_bounds bounds;
	ASSERT_TRUE(every_size_bounds(ppd_at(path).get(), &a4, &bounds));
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
		EXPECT_EQ(fits_every_size(ppd_at(path).get(), text, &a4), c.fits) << text;
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
	ASSERT_TRUE(find_paper(ppd_at(path).get(), "A4", &a4));
	for (const auto &l : lines) {
		testing::internal::CaptureStderr();
		EXPECT_EQ(fits_every_size(ppd_at(path).get(), l.text, l.measured ? &a4 : nullptr),
		    l.said.empty()) << l.text;
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(said, l.said.empty() ? "" : start + l.said) << l.text;
	}
	unlink(path);
}

// The calibration page on papers down to labels, one- and two-sided:
// ghostscript, as the printer, finds the ink of every page on the paper,
// the ruler from its left edge, and no line of its text past the right
// margin, which is as wide as the text's left margin, 15 mm or a seventh
// of a narrower paper's width.
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
		bool two_sided;
	} cases[] = {
		{"kyo", 595, 842, nullptr, false},
		{"kyo", 612, 792, "Letter", false},
		{"kyo", 420, 595, "A5", false}, {"kyo", 298, 420, "A6", false},
		{"kyo", 144, 216, "w144h216", false},
		{"kyo", 216, 144, "w216h144", false},
		{"kyo", 288, 432, "w288h432", false},
		{"Office_Printer_Second_Floor", 298, 420, "A6", false},
		{long_name.c_str(), 144, 216, "w144h216", false},
		{"kyo", 595, 842, nullptr, true}, {"kyo", 298, 420, "A6", true},
		{long_name.c_str(), 144, 216, "w144h216", true},
		{"kyo", 216, 144, "w216h144", true},
	};
	for (const auto &c : cases) {
		char path[] = "/tmp/morvane-test.XXXXXX";
		int fd = mkstemp(path);
		ASSERT_GE(fd, 0);
		FILE *file = fdopen(fd, "w");
		page_value dots = {.text = "3473.5", .size = c.size, .sheet = {
		    .name = "x", .width = c.width, .length = c.length}, .shifts = {
		    .two_sided = c.two_sided, .front_x = -1234, .back_x = 2345,
		    .back_y = -125, .front_name = "x-front"}};
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
		    std::to_string(c.width) + "x" + std::to_string(c.length) +
		    (c.two_sided ? " two-sided" : "");
		double margin = std::min(15 / 25.4 * 72, c.width / 7.0);
		while (fgets(line, sizeof line, boxes) != nullptr) {
			double x0, y0, x1, y1;
			if (sscanf(line, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &x0, &y0,
			    &x1, &y1) != 4)
				continue;
			pages++;
			EXPECT_GE(x0, 0) << where << " page " << pages;
			EXPECT_GT(y0, 0) << where << " page " << pages;
			EXPECT_LT(x1, c.width) << where << " page " << pages;
			EXPECT_LT(y1, c.length) << where << " page " << pages;
			EXPECT_GE(c.width - x1, margin - 1) << where << " page " << pages;
		}
		EXPECT_EQ(pclose(boxes), 0) << where;
		EXPECT_GT(pages, 0) << where;
		unlink(path);
	}
}


// A page as ghostscript renders it, 20 dots a millimetre: ink[y][x].
struct rendered_page {
	int width;
	std::vector<std::vector<bool>> ink;
};
constexpr int dots_per_mm = 20;

// Reads the header of a page of ghostscript's pbmraw, which may have a
// comment line after its "P4".
bool pbm_header(FILE *file, int *width, int *height)
{
	char line[256];
	if (fscanf(file, " P4") != 0 || fgetc(file) != '\n')
		return false;
	while (fgets(line, sizeof line, file) != nullptr)
		if (line[0] != '#')
			return sscanf(line, "%d %d", width, height) == 2;
	return false;
}

// Renders the PostScript file's pages on the paper; none where
// ghostscript fails.
std::vector<rendered_page> render(const char *path, float width,
    float length)
{
	std::string out = std::string(path) + ".pbm";
	char command[512];
	snprintf(command, sizeof command, "gs -q -dSAFER -dBATCH -dNOPAUSE "
	    "-dDEVICEWIDTHPOINTS=%g -dDEVICEHEIGHTPOINTS=%g -dFIXEDMEDIA "
	    "-r%d -sDEVICE=pbmraw -sOutputFile=%s %s", width, length,
	    (int)(dots_per_mm * 25.4), out.c_str(), path);
	std::vector<rendered_page> pages;
	FILE *file = system(command) == 0 ? fopen(out.c_str(), "rb") : nullptr;
	int w = 0, h = 0;
	while (file != nullptr && pbm_header(file, &w, &h)) {
		rendered_page page = {.width = w, .ink = {}};
		std::vector<unsigned char> row((w + 7) / 8);
		for (int y = 0; y < h && fread(row.data(), 1, row.size(), file) ==
		    row.size(); y++) {
			page.ink.emplace_back(w);
			for (int x = 0; x < w; x++)
				page.ink.back()[x] = (row[x / 8] >> (7 - x % 8) & 1) != 0;
		}
		pages.push_back(page);
	}
	if (file != nullptr)
		fclose(file);
	unlink(out.c_str());
	return pages;
}

// Where runs of ink start on the page's row at y mm, left of right mm:
// in mm from the page's left edge.
std::vector<double> ink_starts(const rendered_page &page, double y,
    double right)
{
	std::vector<double> starts;
	const std::vector<bool> &row = page.ink.at(lround(y * dots_per_mm));
	for (int x = 0; x < right * dots_per_mm; x++)
		if (row[x] && (x == 0 || !row[x - 1]))
			starts.push_back((double)x / dots_per_mm);
	return starts;
}

// The text that ghostscript finds of the given size on each page: its
// runs, each where it starts, in points from the page's left and bottom
// edges (whole points).
struct found_text {
	int page;
	int x;
	int y;
	std::string text;
};

std::vector<found_text> text_of(const char *path, float width, float length,
    const char *size)
{
	char command[512];
	snprintf(command, sizeof command, "gs -q -dSAFER -dBATCH -dNOPAUSE "
	    "-dDEVICEWIDTHPOINTS=%g -dDEVICEHEIGHTPOINTS=%g -dFIXEDMEDIA "
	    "-sDEVICE=txtwrite -dTextFormat=0 -sOutputFile=- %s", width, length,
	    path);
	std::vector<found_text> found;
	FILE *text = popen(command, "r");
	char line[512];
	int page = 0;
	bool wanted = false;
	while (text != nullptr && fgets(line, sizeof line, text) != nullptr) {
		int x0, y0, x1, y1;
		char size_text[32], c[16];
		if (strncmp(line, "<page>", 6) == 0)
			page++;
		if (sscanf(line, "<span bbox=\"%d %d %d %d\" font=\"%*[^\"]\" "
		    "size=\"%31[^\"]\"", &x0, &y0, &x1, &y1, size_text) == 5) {
			wanted = strtod(size_text, nullptr) == strtod(size, nullptr);
			if (wanted)
				found.push_back({.page = page, .x = x0, .y = y0, .text = ""});
		} else if (wanted && sscanf(line, "<char bbox=\"%*d %*d %*d %*d\" "
		    "c=\"%15[^\"]\"", c) == 1) {
			found.back().text += c;
		}
	}
	if (text != nullptr)
		pclose(text);
	return found;
}

// The ruler on each side of the calibration page, rendered by ghostscript:
// where the sheet's left edge cuts it, its tick's value is the horizontal
// shift that puts the page's left edge on the sheet's, the shift in effect
// added: the tick of the value k lies k mm less the shift from the page's
// left edge, for every whole millimetre from that edge to 2 mm short of
// the text's margin, every fifth longer, its value written just right of
// it. A two-sided page has a second page, its back, with the same marks,
// the back's horizontal shift for its ruler, and a table whose row for
// the back's mark d mm below the front's gives the back's vertical shift
// less d.
TEST(write_calibration_page, puts_the_ruler_where_the_edge_reads_the_shift)
{
	if (system("gs -h >/dev/null 2>&1") != 0)
		GTEST_SKIP() << "no ghostscript";
	const struct {
		float width;
		float length;
		bool two_sided;
		long front_x; // hundredths of a millimetre
		long back_x;
		long back_y;
		int pages;
		int rows; // the back's rows checked: from -rows to rows
	} cases[] = {
		{595, 842, false, 0, 0, 0, 1, 0},
		{595, 842, false, 150, 0, 0, 1, 0},
		{612, 792, false, -275, 0, 0, 1, 0},
		{298, 420, false, 40, 0, 0, 3, 0},
		{144, 216, false, -1000, 0, 0, 7, 0},
		{595, 842, true, 0, 0, 0, 2, 10},
		{612, 792, true, 120, 120, 0, 2, 3},
		{595, 842, true, 120, -150, 35, 2, 10},
		{298, 420, true, -60, 999, -300, 4, 2},
		{144, 216, true, 250, 250, 140, 8, 0},
	};
	for (const auto &c : cases) {
		char path[] = "/tmp/morvane-test.XXXXXX";
		int fd = mkstemp(path);
		ASSERT_GE(fd, 0);
		FILE *file = fdopen(fd, "w");
		page_value dots = {.text = "3473", .size = nullptr, .sheet = {
		    .name = "x", .width = c.width, .length = c.length}, .shifts = {
		    .two_sided = c.two_sided, .front_x = c.front_x,
		    .back_x = c.back_x, .back_y = c.back_y, .front_name = "x"}};
		ASSERT_TRUE(write_calibration_page(file, "kyo", &dots));
		ASSERT_EQ(fclose(file), 0);
		std::string where = std::to_string(c.width) + "x" +
		    std::to_string(c.length) + (c.two_sided ? " two-sided " : " ") +
		    std::to_string(c.front_x) + "/" + std::to_string(c.back_x);
		std::vector<rendered_page> pages = render(path, c.width, c.length);
		std::vector<found_text> labels = text_of(path, c.width, c.length,
		    "4.5");
		std::vector<found_text> rows = text_of(path, c.width, c.length, "9");
		unlink(path);
		ASSERT_EQ(pages.size(), (size_t)c.pages) << where;
		double margin = std::min(15.0, c.width / 72 * 25.4 / 7);
		for (int side = 0; side < (c.two_sided ? 2 : 1); side++) {
			long shift = side == 0 ? c.front_x : c.back_x;
			std::vector<double> ticks, fifths;
			for (long k = -100; k <= 100; k++) {
				double x = (double)(k * 100 - shift) / 100;
				if (x < 0 || x > margin - 2)
					continue;
				(k % 5 == 0 ? fifths : ticks).push_back(x);
				EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
					    [&](const found_text &l) {
						return l.page == side + 1 && l.text == std::to_string(k) &&
						    fabs(l.x - (x + 0.3) / 25.4 * 72) <= 0.75; }))
					    << where << " side " << side << ": no value " << k;
			}
			ticks.insert(ticks.end(), fifths.begin(), fifths.end());
			std::sort(ticks.begin(), ticks.end());
			std::vector<double> short_ink = ink_starts(pages[side], 26,
			    margin - 1);
			std::vector<double> long_ink = ink_starts(pages[side], 27.5,
			    margin - 1);
			ASSERT_EQ(short_ink.size(), ticks.size()) << where << " side " << side;
			for (size_t i = 0; i < ticks.size(); i++)
				EXPECT_NEAR(short_ink[i], ticks[i], 0.06) << where << " side " << side;
			ASSERT_EQ(long_ink.size(), fifths.size()) << where << " side " << side;
			for (size_t i = 0; i < fifths.size(); i++)
				EXPECT_NEAR(long_ink[i], fifths[i], 0.06) << where << " side " << side;
		}
		if (!c.two_sided)
			continue;
		// The same marks on the back: the line and, for the same shift,
		// the ruler, ink for ink.
		for (int y = 0; y <= 25 * dots_per_mm + 3; y++)
			for (int x = c.front_x == c.back_x ? 0 : (int)(margin *
			    dots_per_mm); x < pages[0].width; x++)
				ASSERT_EQ(pages[0].ink[y][x], pages[1].ink[y][x])
				    << where << " at " << x << "," << y;
		for (int d = -c.rows; d <= c.rows; d++) {
			// A row: its two texts on one baseline, 16 mm apart.
			std::string value;
			for (const found_text &label : rows)
				for (const found_text &r : rows)
					if (label.page == 2 && r.page == 2 && r.y == label.y &&
					    fabs(r.x - label.x - 16 / 25.4 * 72) <= 1 &&
					    label.text == (d > 0 ? "+" : "") + std::to_string(d))
						value = r.text;
			ASSERT_FALSE(value.empty()) << where << " row " << d;
			EXPECT_NEAR(strtod(value.c_str(), nullptr),
			    (c.back_y - d * 100) / 100.0, 1e-9) << where << " row " << d;
		}
	}
}

// The values of a PPD: dots, the paper they were measured on, and the
// papers' own, "NAME=DOTS" each.
ppd_values values_of(const std::string &dots, const std::string &reference,
    const std::vector<std::string> &own)
{
	ppd_values values = {.dots = "", .reference = "", .count = 0, .own = {}};
	snprintf(values.dots, sizeof values.dots, "%s", dots.c_str());
	snprintf(values.reference, sizeof values.reference, "%s",
	    reference.c_str());
	for (const std::string &paper : own) {
		own_value *o = &values.own[values.count++];
		size_t equals = paper.find('=');
		snprintf(o->name, sizeof o->name, "%s",
		    paper.substr(0, equals).c_str());
		snprintf(o->dots, sizeof o->dots, "%s",
		    paper.substr(equals + 1).c_str());
	}
	return values;
}

// The calibration that the server keeps of a queue: "DOTS@REFERENCE",
// then ":NAME=DOTS" for each paper's own, or nothing where that does not
// fit in the buffer; it reads back as the values it was written from.
TEST(format_calibration, writes_the_dots_the_reference_and_each_papers_own)
{
	std::vector<std::string> sixteen;
	for (int i = 0; i < max_own_values; i++)
		sixteen.push_back("w" + std::to_string(100 + i) + "h200=" +
		    std::to_string(3000 + i));
	std::string all = "3473@A4";
	for (const std::string &own : sixteen)
		all += ":" + own;
	const std::string name(63, 'n'), value(63, '9');
	const struct {
		const char *what;
		ppd_values values;
		std::string text;
	} cases[] = {
		{"the value alone", values_of("3473", "A4", {}), "3473@A4"},
		{"a value of its own", values_of("3400.5", "Letter", {"A5=3100"}),
		    "3400.5@Letter:A5=3100"},
		{"two papers' own", values_of("-35.25", "A4",
		    {"A5=3100", "w144h216=2600"}), "-35.25@A4:A5=3100:w144h216=2600"},
		{"as many papers as a PPD may have", values_of("3473", "A4",
		    sixteen), all},
		{"the longest names", values_of(value, name, {name + "=" + value}),
		    value + "@" + name + ":" + name + "=" + value},
		// 1023 characters fit the buffer, 1024 do not.
		{"the buffer full", values_of(std::string(1023 - 64, '1'), name, {}),
		    std::string(1023 - 64, '1') + "@" + name},
		{"one more than fits", values_of(std::string(1024 - 64, '1'), name,
		    {}), ""},
		{"papers' own past the buffer", values_of("3473", "A4",
		    std::vector<std::string>(16, name + "=" + value)), ""},
	};
	for (const auto &c : cases) {
		char text[buffer_size] = "unchanged";
		format_calibration(&c.values, text);
		EXPECT_EQ(text, c.text) << c.what;
		ppd_values back;
		if (!c.text.empty()) {
			EXPECT_TRUE(parse_calibration(text, &back)) << c.what;
			EXPECT_TRUE(same_values(&back, &c.values)) << c.what;
		}
	}
}

// The calibration read back: a text that format_calibration writes, and
// no other.
TEST(parse_calibration, takes_only_what_format_calibration_writes)
{
	std::string seventeen = "3473@A4";
	for (int i = 0; i <= max_own_values; i++)
		seventeen += ":P" + std::to_string(i) + "=" + std::to_string(i);
	std::string sixteen = seventeen.substr(0, seventeen.rfind(':'));
	std::vector<std::string> own;
	for (int i = 0; i < max_own_values; i++)
		own.push_back("P" + std::to_string(i) + "=" + std::to_string(i));
	const std::string name(63, 'n');
	const struct {
		std::string text;
		bool parsed;
		ppd_values values;
	} cases[] = {
		{"3473@A4", true, values_of("3473", "A4", {})},
		{"3400.5@Letter:A5=3100:w144h216=-35.25", true,
		    values_of("3400.5", "Letter", {"A5=3100", "w144h216=-35.25"})},
		{sixteen, true, values_of("3473", "A4", own)},
		{"3473@" + name, true, values_of("3473", name, {})},
		{"3473@A4:" + name + "=1", true, values_of("3473", "A4",
		    {name + "=1"})},
		// Something missing: the value, the paper, the "@", a paper's
		// name, its "=" or its value.
		{"", false, {}},
		{"@A4", false, {}},
		{"3473@", false, {}},
		{"3473", false, {}},
		{"3473A4:A5=3100", false, {}},
		{"3473@A4:", false, {}},
		{"3473@A4:A5", false, {}},
		{"3473@A4:=3100", false, {}},
		{"3473@A4:A5=", false, {}},
		{"3473@A4::A5=3100", false, {}},
		// The "@" after the first ":", or a field too long for its place.
		{"3473:A5=3100@A4", false, {}},
		{"3473@" + name + "n", false, {}},
		{"3473@A4:" + name + "n=1", false, {}},
		{"3473@A4:A5=" + std::string(64, '1'), false, {}},
		// More papers' own than a PPD may have.
		{seventeen, false, {}},
	};
	for (const auto &c : cases) {
		ppd_values values;
		EXPECT_EQ(parse_calibration(c.text.c_str(), &values), c.parsed)
		    << c.text;
		if (c.parsed) {
			EXPECT_STREQ(values.dots, c.values.dots) << c.text;
			EXPECT_STREQ(values.reference, c.values.reference) << c.text;
			EXPECT_TRUE(same_values(&values, &c.values)) << c.text;
			char again[buffer_size];
			format_calibration(&values, again);
			EXPECT_EQ(again, c.text);
		}
	}
}

// The request that read_request makes of the arguments after the
// program's name, written out, or "refused".
std::string request_of(const std::vector<std::string> &arguments)
{
	std::vector<std::string> copies = {"morvane-setup"};
	copies.insert(copies.end(), arguments.begin(), arguments.end());
	std::vector<char *> argv;
	for (std::string &copy : copies)
		argv.push_back(copy.data());
	argv.push_back(nullptr);
	setup_request r = {};
	if (!read_request((int)copies.size(), argv.data(), &r))
		return "refused";
	const char *const commands[] = {"none", "help", "version", "ppd", "show",
	    "set", "calibrate", "check", "remove", "restore", "suspend", "shift",
	    "no-shift"};
	std::string said = commands[r.command];
	const char *const labels[] = {" file=", " queue=", " dots=", " size=",
	    " shift=", " mm="};
	const char *const operands[] = {r.file, r.queue, r.dots, r.size, r.shift,
	    r.mm};
	for (int i = 0; i < 6; i++)
		if (operands[i] != nullptr)
			said += labels[i] + std::string(operands[i]);
	return said + (r.neutral ? " neutral" : "");
}

struct request_case {
	std::vector<std::string> arguments;
	const char *request;
};

TEST(read_request, takes_the_forms_of_the_usage_line_and_refuses_others)
{
	const request_case cases[] = {
	    {{"--ppd", "f.ppd", "3473"}, "ppd file=f.ppd dots=3473"},
	    {{"--ppd", "f.ppd", "-35.25"}, "ppd file=f.ppd dots=-35.25"},
	    {{"--ppd", "-f", "-3480", "--media", "A5"},
	        "ppd file=-f dots=-3480 size=A5"},
	    {{"--ppd", "f.ppd", "--neutral"}, "ppd file=f.ppd dots=--neutral"},
	    {{"office"}, "show queue=office"},
	    {{"office", "--media", "Letter"}, "show queue=office size=Letter"},
	    {{"office", "3479"}, "set queue=office dots=3479"},
	    {{"office", "-3480"}, "set queue=office dots=-3480"},
	    {{"office", "-35.25", "--media", "A5"},
	        "set queue=office dots=-35.25 size=A5"},
	    {{"office", "3270", "--media", "Letter"},
	        "set queue=office dots=3270 size=Letter"},
	    {{"office", "--neutral"}, "set queue=office neutral"},
	    {{"office", "--neutral", "--media", "A5"},
	        "set queue=office size=A5 neutral"},
	    // After QUEUE, what is neither --neutral nor the last --media SIZE
	    // is DOTS, which the reading of the value refuses.
	    {{"office", "--media"}, "set queue=office dots=--media"},
	    {{"office", "--neut"}, "set queue=office dots=--neut"},
	    {{"office", "-h"}, "set queue=office dots=-h"},
	    {{"office", "--"}, "set queue=office dots=--"},
	    {{"--calibrate", "office"}, "calibrate queue=office"},
	    {{"--calibrate", "office", "--media", "A6"},
	        "calibrate queue=office size=A6"},
	    {{"--calibrate", "--media"}, "calibrate queue=--media"},
	    {{"--check"}, "check"},
	    {{"--check", "office"}, "check queue=office"},
	    {{"--check", "-35"}, "check queue=-35"},
	    {{"--check", "--media"}, "check queue=--media"},
	    {{"--remove", "office"}, "remove queue=office"},
	    {{"--remove", "-r"}, "remove queue=-r"},
	    {{"--restore"}, "restore"},
	    {{"--suspend"}, "suspend"},
	    {{"--help"}, "help"},
	    {{"-h"}, "help"},
	    {{"--version"}, "version"},
	    {{}, "refused"},
	    {{"--ppd", "f.ppd"}, "refused"},
	    {{"--ppd", "f.ppd", "--media", "A5"}, "refused"},
	    {{"--ppd", "--media", "A5"}, "refused"},
	    {{"--ppd", "f.ppd", "3473", "extra"}, "refused"},
	    {{"office", "3479", "extra"}, "refused"},
	    {{"office", "3479", "--neutral"}, "refused"},
	    {{"office", "--neutral", "--neutral"}, "refused"},
	    {{"office", "--neutral", "3479"}, "refused"},
	    {{"office", "3479", "--med", "A4"}, "refused"},
	    {{"office", "3479", "--media", "A4", "--media", "A5"}, "refused"},
	    {{"-35"}, "refused"},
	    {{"-"}, "refused"},
	    {{"--neutral", "office"}, "refused"},
	    {{"--media", "A4"}, "refused"},
	    {{"--media", "A4", "office"}, "refused"},
	    {{"--calibrate"}, "refused"},
	    {{"--calibrate", "office", "extra"}, "refused"},
	    {{"--calibrate", "--media", "A4"}, "refused"},
	    {{"--calibrate", "office", "--"}, "refused"},
	    {{"--calibrate=office"}, "refused"},
	    {{"--cal", "office"}, "refused"},
	    {{"--check", "--media", "A4"}, "refused"},
	    {{"--check", "office", "--media", "A4"}, "refused"},
	    {{"--check", "one", "two"}, "refused"},
	    {{"--restore", "--media", "A4"}, "refused"},
	    {{"--suspend", "--media", "A4"}, "refused"},
	    {{"--restore", "--check"}, "refused"},
	    {{"--remove"}, "refused"},
	    {{"--remove", "office", "--media", "A4"}, "refused"},
	    {{"--", "office"}, "refused"},
	    {{"--help", "extra"}, "refused"},
	    {{"--version", "--media", "A4"}, "refused"},
	    // --shift NAME MM and --no-shift NAME follow QUEUE alone; MM is
	    // taken as it is, as DOTS is, and NAME too.
	    {{"office", "--shift", "x-front", "1.5"},
	        "shift queue=office shift=x-front mm=1.5"},
	    {{"office", "--shift", "y-back", "-0.25"},
	        "shift queue=office shift=y-back mm=-0.25"},
	    {{"office", "--shift", "x", "--neutral"},
	        "shift queue=office shift=x mm=--neutral"},
	    {{"office", "--shift", "z", "1"}, "shift queue=office shift=z mm=1"},
	    {{"office", "--no-shift", "y-front"},
	        "no-shift queue=office shift=y-front"},
	    {{"office", "--no-shift", "-x"}, "no-shift queue=office shift=-x"},
	    {{"office", "--shift", "x"}, "refused"},
	    {{"office", "--shift"}, "refused"},
	    {{"office", "--no-shift"}, "refused"},
	    {{"office", "--shift", "x", "1", "extra"}, "refused"},
	    {{"office", "--no-shift", "x", "1"}, "refused"},
	    {{"office", "--shift", "x", "1", "--media", "A4"}, "refused"},
	    {{"office", "--shift", "x", "--media", "A4"}, "refused"},
	    {{"office", "--no-shift", "x", "--media", "A4"}, "refused"},
	    {{"office", "3479", "--shift", "x", "1"}, "refused"},
	    {{"office", "--neutral", "--shift", "x", "1"}, "refused"},
	    {{"office", "--shift", "x", "1", "--shift", "y-front", "1"},
	        "refused"},
	    {{"office", "--shift", "x", "1", "--no-shift", "x"}, "refused"},
	    {{"office", "--shift=x", "1"}, "refused"},
	    {{"office", "--shi", "x", "1"}, "refused"},
	    {{"--shift", "x", "1"}, "refused"},
	    {{"--shift", "x", "1", "office"}, "refused"},
	    {{"--check", "office", "--shift", "x", "1"}, "refused"},
	    {{"--remove", "office", "--no-shift", "x"}, "refused"},
	    // Refused in the middle of "-hh": the next reading starts afresh.
	    {{"-hh"}, "refused"},
	    {{"-h"}, "help"},
	};
	for (const request_case &c : cases) {
		std::string row;
		for (const std::string &argument : c.arguments)
			row += " " + argument;
		EXPECT_EQ(request_of(c.arguments), c.request) << row;
	}
}

// Millimetres as a person types them, to the hundredths that the queue's
// default holds: at most two decimals, a sign allowed, nothing else.
TEST(read_millimetres, takes_at_most_two_decimals)
{
	const struct {
		const char *text;
		bool read;
		long hundredths;
	} cases[] = {
		{"1.5", true, 150}, {"-0.25", true, -25}, {"0", true, 0},
		{"-0", true, 0}, {"+2", true, 200}, {"12.05", true, 1205},
		{".5", true, 50}, {"-.05", true, -5}, {"007.10", true, 710},
		{"21474836.47", true, 2147483647},
		{"-21474836.47", true, -2147483647},
		{"21474836.48", false, 0}, {"99999999999999999999", false, 0},
		{"1.555", false, 0}, {"1.", false, 0}, {".", false, 0},
		{"", false, 0}, {"-", false, 0}, {"1,5", false, 0},
		{"1.5mm", false, 0}, {" 1.5", false, 0}, {"1.5 ", false, 0},
		{"1e2", false, 0}, {"0x10", false, 0}, {"1.2.3", false, 0},
		{"--1", false, 0}, {"+-1", false, 0}, {"1.-5", false, 0},
	};
	for (const auto &c : cases) {
		long hundredths = -1;
		EXPECT_EQ(read_millimetres(c.text, &hundredths), c.read) << c.text;
		if (c.read) {
			EXPECT_EQ(hundredths, c.hundredths) << c.text;
		}
	}
}

// The millimetres said back: the shortest text that reads as the same
// hundredths.
TEST(format_millimetres, writes_what_read_millimetres_reads_back)
{
	const struct {
		long hundredths;
		const char *text;
	} cases[] = {
		{150, "1.5"}, {-25, "-0.25"}, {0, "0"}, {100, "1"}, {-5, "-0.05"},
		{1205, "12.05"}, {-14664, "-146.64"}, {2147483647, "21474836.47"},
	};
	for (const auto &c : cases) {
		char text[mm_text_size];
		format_millimetres(c.hundredths, text);
		EXPECT_STREQ(text, c.text) << c.hundredths;
		long again = 0;
		EXPECT_TRUE(read_millimetres(text, &again)) << text;
		EXPECT_EQ(again, c.hundredths) << text;
	}
}

// The shift typed and its millimetres: refused with one line that names
// what is wrong, else the default's index and the hundredths.
TEST(shift_to_set, names_the_default_and_refuses_with_one_line)
{
	const struct {
		const char *typed;
		const char *mm;
		const char *option;  // null: refused with the line said
		long hundredths;
		const char *said;
	} cases[] = {
		{"x", "1.5", "x-image-shift-default", 150, ""},
		{"x-front", "-0.25", "x-side1-image-shift-default", -25, ""},
		{"y-front", "0", "y-side1-image-shift-default", 0, ""},
		{"x-back", "3", "x-side2-image-shift-default", 300, ""},
		{"y-back", "-12.5", "y-side2-image-shift-default", -1250, ""},
		{"y", "1", nullptr, 0, "the vertical shift of both sides is the "
		    "queue's vertical dots, which morvane-setup QUEUE DOTS sets: NAME "
		    "is x, x-front, y-front, x-back or y-back"},
		{"x-side1", "1", nullptr, 0, "there is no shift \"x-side1\": NAME is "
		    "x, x-front, y-front, x-back or y-back"},
		{"X", "1", nullptr, 0, "there is no shift \"X\": NAME is x, "
		    "x-front, y-front, x-back or y-back"},
		{"x-front", "1.555", nullptr, 0, "the shift x-front \"1.555\" is not "
		    "millimetres with at most two decimals, such as 1.5 or -0.25"},
		{"y-back", "--neutral", nullptr, 0, "the shift y-back \"--neutral\" "
		    "is not millimetres with at most two decimals, such as 1.5 or "
		    "-0.25"},
	};
	for (const auto &c : cases) {
		int index = -1;
		long hundredths = -1;
		testing::internal::CaptureStderr();
		bool ok = shift_to_set(c.typed, c.mm, &index, &hundredths);
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(ok, c.option != nullptr) << c.typed << " " << c.mm;
		if (c.option != nullptr) {
			ASSERT_GE(index, 0);
			EXPECT_STREQ(shift_names[index].option, c.option);
			EXPECT_EQ(hundredths, c.hundredths);
			EXPECT_EQ(said, "");
		} else {
			EXPECT_EQ(said, "\nERROR: morvane-filter: " + std::string(c.said) +
			    "\n");
		}
	}
}

// Each default that morvane-setup knows is the one whose name, without
// "-default", the filters read, in their order (the calibration page reads
// the queue's defaults by it), on the axis of its name.
TEST(shift_names, are_defaults_of_the_filters_attributes)
{
	for (int i = 0; i < shift_count; i++) {
		const shift_name &name = shift_names[i];
		EXPECT_EQ(std::string(name.option),
		    std::string(image_shift_names[i]) + "-default");
		EXPECT_EQ(name.option[0], name.axis == 0 ? 'x' : 'y') << name.option;
		EXPECT_EQ(name.typed[0], name.option[0]) << name.typed;
	}
}

// The note of the defaults that morvane-setup set: each once, in one
// order, and nothing that is no shift's.
TEST(change_note, adds_and_takes_out_one_name)
{
	const struct {
		const char *note;
		const char *option;
		bool add;
		const char *changed;
	} cases[] = {
		{"", "x-image-shift-default", true, "x-image-shift-default"},
		{"", "x-image-shift-default", false, ""},
		{"x-image-shift-default", "x-image-shift-default", true,
		    "x-image-shift-default"},
		{"x-image-shift-default", "x-image-shift-default", false, ""},
		{"y-side2-image-shift-default", "x-side1-image-shift-default", true,
		    "x-side1-image-shift-default,y-side2-image-shift-default"},
		{"x-side1-image-shift-default,y-side2-image-shift-default",
		    "x-side1-image-shift-default", false,
		    "y-side2-image-shift-default"},
		{"media-default,x-image-shift", "y-side1-image-shift-default", true,
		    "y-side1-image-shift-default"},
		{"x-image-shift-defaultx", "x-side2-image-shift-default", true,
		    "x-side2-image-shift-default"},
	};
	for (const auto &c : cases) {
		char changed[buffer_size];
		change_note(c.note, c.option, c.add, changed);
		EXPECT_STREQ(changed, c.changed) << c.note << " " << c.option;
		EXPECT_EQ(note_names(changed, c.option), c.add) << changed;
	}
}

// The record's shift for a paper, without morvane: -0.06 inch across, and
// up by what the queue's vertical dots in effect for the paper give it:
// none with the neutral value (a queue without them), an inch for 300
// dots more, on every paper, the value measured on A4.
TEST(record_shift, gives_each_paper_the_calibrated_shift)
{
	char path[32];
	ASSERT_TRUE(write_ppd(path, "A4 595 842 Letter 612 792 A5 420 595",
	    true));
	ppd_handle ppd = ppd_at(path);
	const struct {
		const char *dots;  // the queue's default, or null
		double up;         // inches
	} cases[] = {{nullptr, 0}, {"3473", 0}, {"3773", 1}, {"3173", -1}};
	for (const auto &c : cases) {
		calibration values;
		ASSERT_TRUE(queue_calibration(ppd.get(), c.dots, &values));
		for (const char *name : {"A4", "Letter", "A5"}) {
			paper p;
			ASSERT_TRUE(find_paper(ppd.get(), name, &p));
			double shift[2];
			ASSERT_TRUE(record_shift(&values, p, shift));
			EXPECT_EQ(shift[0], -0.06) << name;
			// 3473 is the neutral value of A4, 3472.8 dots, rounded.
			EXPECT_NEAR(shift[1], c.up, 0.001) << name << " " <<
			    (c.dots != nullptr ? c.dots : "none");
		}
	}
	unlink(path);
}

// The range that keeps the image on every paper: the narrowest paper's
// across, the shortest's down, with the record's shift; a value at an end
// fits, one beyond it is refused with one line that names that paper and
// the range in millimetres.
TEST(shift_fits_papers, refuses_a_value_off_a_paper_with_the_range)
{
	char path[32];
	ASSERT_TRUE(write_ppd(path, "A4 595 842 Letter 612 792 A5 420 595",
	    true));
	ppd_handle ppd = ppd_at(path);
	paper a5;
	ASSERT_TRUE(find_paper(ppd.get(), "A5", &a5));
	for (const char *dots : {static_cast<const char *>(nullptr), "3773"}) {
		calibration values;
		ASSERT_TRUE(queue_calibration(ppd.get(), dots, &values));
		double record[2];
		ASSERT_TRUE(record_shift(&values, a5, record));
		for (int index : {0, 2}) {
			int axis = shift_names[index].axis;
			shift_bounds b;
			ASSERT_TRUE(every_paper_shifts(ppd.get(), &values, axis, &b));
			shift_range own = axis == 0 ? x_shift_range(a5, record[0]) :
			    y_shift_range(a5, record[1]);
			EXPECT_STREQ(b.low.name, "A5");
			EXPECT_STREQ(b.high.name, "A5");
			EXPECT_EQ(b.range.low, own.low);
			EXPECT_EQ(b.range.high, own.high);
			char low[mm_text_size], high[mm_text_size];
			format_millimetres(b.range.low, low);
			format_millimetres(b.range.high, high);
			const struct {
				long value;
				bool fits;
			} cases[] = {{b.range.low, true}, {b.range.high, true}, {0, true},
			    {b.range.low - 1, false}, {b.range.high + 1, false}};
			for (const auto &c : cases) {
				testing::internal::CaptureStderr();
				bool fits = shift_fits_papers(ppd.get(), &values, "office", index,
				    c.value);
				std::string said = testing::internal::GetCapturedStderr();
				EXPECT_EQ(fits, c.fits) << c.value;
				char mm[mm_text_size];
				format_millimetres(c.value, mm);
				EXPECT_EQ(said, c.fits ? std::string() :
				    "\nERROR: morvane-filter: office: shift " +
				    std::string(shift_names[index].typed) + " " + mm + " mm puts "
				    "the image off the sheet of A5: from " + low + " to " + high +
				    " mm fit every paper of the queue\n") << c.value;
			}
		}
	}
	unlink(path);
}

}
