// SPDX-License-Identifier: MIT
// The CUPS filter's side of morvane's files (the page-size text it writes,
// the records it accepts) and of CUPS's: the documents and device setup it
// finds in CUPS's PostScript, and what CUPS's own queue gets of the size.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "documents.h"
#include "log.h"
#include "paper.h"
#include "ppd.h"
#include "shift.h"

// The tests write the filter's lines.
const log_style program_log = {.error = "\nERROR: morvane-filter: ",
    .debug = "DEBUG: morvane-filter: "};

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

// What next_document finds, one line a document: the bytes before it, its
// body's first line, its length, "!" if it asks for a size outside its
// carried setup, the sizes that its code names ("{WxH}"), the last that
// its setup asks for outside the blocks ("<WxH at OFFSET>"), and each block of setup it carries ("+" if cut, "=" if
// left in place, with the size it sets); then what follows the last.
std::string scan(const std::string &job)
{
	std::string found;
	document doc;
	scan_result result;
	off_t at = 0;
	const char *data = job.data();
	while ((result = next_document(data, job.size(), at, &doc)) ==
	    scan_document) {
		std::string body(data + doc.body.start, doc.body.end - doc.body.start);
		found += "[" + std::string(data + doc.before.start,
		    doc.before.end - doc.before.start) + "]" +
		    body.substr(0, body.find('\n')) + " " +
		    std::to_string(doc.body.end - doc.body.start) +
		    (sets_own_size(data, &doc) ? "!" : "");
		page_sizes sizes = {0, {}};
		if (!own_page_sizes(data, &doc, &sizes))
			found += "{too many}";
		for (int i = 0; i < sizes.count; i++)
			found += "{" + std::to_string((int)sizes.size[i][0]) + "x" +
			    std::to_string((int)sizes.size[i][1]) + "}";
		float asked[2];
		off_t where = 0;
		if (setup_page_size(data, &doc, asked, &where))
			found += "<" + std::to_string((int)asked[0]) + "x" +
			    std::to_string((int)asked[1]) + " at " +
			    std::to_string(where) + ">";
		for (int i = 0; i < doc.blocks; i++) {
			const setup_block &b = doc.block[i];
			float size[2];
			found += (i < doc.cut ? " +" : " =") + std::to_string(
			    b.bytes.end - b.bytes.start) + (b.custom_size ? "c" : "") +
			    (b.paper_size ? "p" : "") +
			    std::string(data + b.size.start, b.size.end - b.size.start);
			if (code_page_size(data, b.bytes, size))
				found += "[" + std::to_string((int)size[0]) + "x" +
				    std::to_string((int)size[1]) + "]";
		}
		found += "\n";
		at = doc.body.end;
	}
	if (result == scan_too_many)
		return found + "too many";
	return found + "[" + std::string(data + doc.before.start,
	    doc.before.end - doc.before.start) + "]";
}

TEST(next_document, finds_the_documents_jcl_and_setup_that_cups_wrote)
{
	const std::string feature = "[{\n%%BeginFeature: *PageSize A4\nx\n"
	    "%%EndFeature\n} stopped cleartomark\n";
	const std::string copies = "%RBIBeginNonPPDFeature: *NumCopies 2\n"
	    "2 c\n%RBIEndNonPPDFeature\n";
	const std::string page = "%%Page: 1 1\n%%BeginPageSetup\n";
	const std::string doc = "%!PS-Adobe-3.0\n%%BeginSetup\n" + feature +
	    copies + "%%EndSetup\n" + page + feature + "p\n%%EOF\n";
	const std::string pjl = "\033%-12345X@PJL\n";
	const std::string custom = "[{\r\n%%BeginFeature: *CustomPageSize "
	    "True\r\n%%EndFeature\r\n} stopped cleartomark\r\n";
	const std::string region = "%%BeginFeature: *PageRegion Letter \r\n"
	    "%%EndFeature\r\n";
	const std::string crlf = "%!PS\r\n%%BeginSetup\r\n" + custom + region +
	    "%%EndSetup\r\n";
	const std::string bare = "%%BeginFeature: *Duplex None\n%%EndFeature\n";
	const std::string embedded = "%!PS\n%%BeginSetup\n%%BeginDocument: x\n"
	    "%%BeginSetup\n" + feature + "%%EOF\n%%EndDocument\n%%BeginData: 7 "
	    "Binary Bytes\n%%EOF\n\ngs\n" + bare + "%%BeginData: 2 ASCII "
	    "Lines\nx\n%%EOF\n" + bare + "%%EndSetup\n" + page + "p\n" + feature +
	    "%%EOF\n";
	const std::string n_up = "%!PS\n%%BeginSetup\nuserdict/setpagedevice"
	    "{pop}bind put\n%%EndSetup\n" + page + feature + "%%EOF\n";
	const std::string own_size = "%!PS\n%%BeginSetup\n" + feature +
	    "%%EndSetup\n" + page + "<</PageSize[1 2]>>setpagedevice\n%%EOF\n";
	// dvips's paper, and groff's size of a name that no PPD has.
	const std::string paper = "%%BeginPaperSize: a4\n/setpagedevice where "
	    "{ pop << /PageSize [ 595 842 ] >> setpagedevice } if\n"
	    "%%EndPaperSize\n";
	const std::string groff = "%%BeginFeature: *PageSize Default\n"
	    "<< /PageSize [ 595.5 842 ] /ImagingBBox null >> setpagedevice\n"
	    "%%EndFeature\n";
	const std::string unread = "%%BeginFeature: *PageSize X\n/PageSize "
	    "[1]\n%%EndFeature\n";
	const std::string papers = "%!PS\n%%BeginSetup\n" + paper + groff +
	    unread + "%%EndSetup\n";
	// Sizes from the media comment, a page's box and its request; one
	// within a point of another is that one, and code is not read.
	const std::string media = "%!PS\n%%DocumentMedia: A4 595 842 0 () ()\n"
	    "%%+ (US Letter) 612 792 0 () ()\n%%+ Bad x\n%%BeginSetup\n" +
	    feature + "%%EndSetup\n" + page + "/MediaBox [10 10 305 410]\n"
	    "/PageSize [595.5 842.5]\n/PageSize [300 2 mul 400]\n%%EOF\n";
	// The setup's own request after CUPS's block, and one in a page.
	const std::string asks = "%!PS\n%%BeginSetup\n" + feature +
	    "<</PageSize [612 792]>>setpagedevice\n%%EndSetup\n" + page +
	    "<</PageSize [1 2]>>setpagedevice\n%%EOF\n";
	std::string sizes = "%!PS\n";
	for (int i = 0; i <= max_page_sizes; i++)
		sizes += "/PageSize [" + std::to_string(300 + 2 * i) + " 400]\n";
	std::string many = "%!PS\n%%BeginSetup\n";
	for (int i = 0; i <= max_setup_blocks; i++)
		many += "%%BeginFeature: *A B\n%%EndFeature\n";
	auto size = [](const std::string &text) {
		return std::to_string(text.size());
	};
	const std::string found = "%!PS-Adobe-3.0 " + size(doc) + " +" +
	    size(feature) + "A4 +" + size(copies) + " =" + size(feature) + "A4\n";
	const struct {
		std::string job;
		std::string found;
	} cases[] = {
		// JCL around two documents, as for collated copies.
		{pjl + doc + pjl + doc + pjl, "[" + pjl + "]" + found + "[" + pjl +
		    "]" + found + "[" + pjl + "]"},
		// A document after the universal exit, with no line feed.
		{"\033%-12345X%!PS\n%%EOF\n", "[\033%-12345X]%!PS 11\n[]"},
		// No %%EOF: the document runs to the end.
		{"%!PS\nshowpage\n", "[]%!PS 14\n[]"},
		// No document at all, and "%!" within a line.
		{"text %!PS\n", "[text %!PS\n]"},
		// CRLF lines, a custom size, and a block without its wrapper.
		{crlf, "[]%!PS\r " + size(crlf) + " +" + size(custom) + "c +" +
		    size(region) + "Letter\n[]"},
		// Neither an embedded document's setup and end, nor data counted
		// in bytes or lines, nor feature code after a page's setup has
		// begun counts; the code right after data does, without the
		// short line before it.
		{embedded, "[]%!PS " + size(embedded) + " +" + size(bare) + " +" +
		    size(bare) + "\n[]"},
		// Several pages on a sheet: CUPS's setup disables setpagedevice,
		// and the pages' feature code sets nothing.
		{n_up, "[]%!PS " + size(n_up) + "\n[]"},
		// A page that asks for its own size, besides the setup's.
		{own_size, "[]%!PS " + size(own_size) + "!{1x2} +" +
		    size(feature) + "A4\n[]"},
		{media, "[]%!PS " + size(media) + "!{595x842}{295x400}{612x792} +" +
		    size(feature) + "A4\n[]"},
		{asks, "[]%!PS " + size(asks) + "!{612x792}{1x2}<612x792 at " +
		    std::to_string(asks.find("/PageSize")) + "> +" +
		    size(feature) + "A4\n[]"},
		{sizes, "[]%!PS " + size(sizes) + "!{too many}{300x400}{302x400}"
		    "{304x400}{306x400}{308x400}{310x400}{312x400}{314x400}{316x400}"
		    "{318x400}{320x400}{322x400}{324x400}{326x400}{328x400}{330x400}"
		    "{332x400}{334x400}{336x400}{338x400}{340x400}{342x400}{344x400}"
		    "{346x400}\n[]"},
		// A name at the very end, after another "/", and one cut short.
		{"%!PS\n//PageSize", "[]%!PS 15!\n[]"},
		{"%!PS\n/PageSiz", "[]%!PS 13\n[]"},
		{papers, "[]%!PS " + size(papers) + " +" + size(paper) +
		    "pa4[595x842] +" + size(groff) + "Default[595x842] +" +
		    size(unread) + "X\n[]"},
		{many, "too many"},
	};
	for (const auto &c : cases)
		EXPECT_EQ(scan(c.job), c.found) << c.job;
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
		page_setup setup = {};
		ASSERT_TRUE(read_page_setup(path, c.options, &setup)) << c.options;
		EXPECT_EQ(setup.plain_sends_size, c.sends) << c.lines << c.options;
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

// The pages of each document, which the page log counts, and the copies
// that its setup asks the printer for; a page's own request for copies,
// or one that is no count, is none.
TEST(next_document, counts_the_pages_and_the_copies_of_each_document)
{
	auto copies = [](const char *n) {
		return std::string("%RBIBeginNonPPDFeature: *NumCopies ") + n +
		    "\nc\n%RBIEndNonPPDFeature\n";
	};
	const std::string page = "%%Page: 1 1\np\n";
	const struct {
		std::string job;
		const char *found;
	} cases[] = {
		{"%!PS\n" + page + page + "%%EOF\n", "2x1"},
		{"%!PS\n%%BeginSetup\n" + copies("3") + "%%EndSetup\n" + page +
		    "%%EOF\n", "1x3"},
		{"%!PS\n" + page + copies("3") + page + "%%EOF\n", "2x1"},
		{"%!PS\n%%BeginSetup\n" + copies("x") + "%%EndSetup\n%%EOF\n",
		    "0x1"},
		{"%!PS\n%%BeginSetup\n" + copies("0") + "%%EndSetup\n" + page +
		    "%%EOF\n", "1x1"},
		// An embedded document's pages are its own; two documents, as
		// CUPS sends collated copies.
		{"%!PS\n%%BeginDocument: x\n" + page + "%%EndDocument\n" + page +
		    "%%EOF\n%!PS\n" + page + "%%EOF\n", "1x1 1x1"},
	};
	for (const auto &c : cases) {
		std::string found;
		document doc;
		for (off_t at = 0; next_document(c.job.data(), c.job.size(), at,
		    &doc) == scan_document; at = doc.body.end)
			found += (found.empty() ? "" : " ") + std::to_string(doc.pages) +
			    "x" + std::to_string(doc.copies);
		EXPECT_EQ(found, c.found) << c.job;
	}
}

}
