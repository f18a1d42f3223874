// SPDX-License-Identifier: MIT
// morvane-setup's reading and writing of a PPD: the shape its filter lines
// give it, and the lines it puts in, takes out and puts back.
#include <cstdio>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <cups/file.h>
#include <gtest/gtest.h>

#include "adapt.h"
#include "dots.h"

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

}
