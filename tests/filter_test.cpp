// SPDX-License-Identifier: MIT
// The CUPS filter: the documents, device setup and pages it finds in
// CUPS's PostScript, and its plan for each document.
#include <cstdio>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "documents.h"
#include "folder.h"
#include "filter_job.h"
#include "log.h"
#include "plan.h"
#include "postscript_job.h"
#include "text.h"

// The tests write the filter's lines.
const log_style program_log = {.error = "\nERROR: morvane-filter: ",
    .debug = "DEBUG: morvane-filter: "};

namespace {

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


// A stand-in for morvane, run by the plan for a paper other than the job's:
// its record shifts the page by the paper's width / 1000 inch across and
// by the dots / 1000 inch down.
const char fake_morvane[] = "#!/bin/sh\n"
    "read -r word width length < \"${10}\"\n"
    "width=${width#[}\n"
    "length=${length%]}\n"
    "awk -v p=\"$7\" -v w=\"$width\" -v l=\"$length\" -v d=\"$6\" 'BEGIN {\n"
    "  printf \"PSCOMMAND=%s\\nCMDARGV=-w%s -h%s 1:0@1.0(%.6fin,%.6fin) "
    "in.ps out.ps\\n\", p, w, l, w / 1000, d / 1000 }'\n";

// Writes text to the file name of folder, with the mode given.
bool write_file(const char *folder, const char *name, const std::string &text,
    mode_t mode, char path[buffer_size])
{
	path_in(path, folder, name);
	FILE *file = fopen(path, "w");
	if (file == nullptr)
		return false;
	bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
	return fclose(file) == 0 && ok && chmod(path, mode) == 0;
}

// The queue as the job finds it: the value 3000 for every paper
// (measured on a paper 832 points long, or on each paper itself).
queue marked_queue(bool measured, bool plain_sends)
{
	queue q = {};
	q.values.has_dots = true;
	q.values.value = dots_value{.text = "3000", .dots = 3000,
	    .source = "the job's vertical dots"};
	q.values.has_reference = measured;
	q.values.reference = 832;
	q.plain_sends_size = plain_sends;
	return q;
}

// The plan of a document: the block of CUPS's size code that does not go
// to the printer, the paper in effect, and the table of shifts, a row
// "[W H DX DY]" in points for each size that its pages may ask for, the
// paper's first.
TEST(plan_document, drops_cups_block_and_takes_the_documents_sizes)
{
	char folder[folder_size];
	ASSERT_TRUE(make_folder("morvane-test", folder));
	char morvane[buffer_size], ppd[buffer_size];
	ASSERT_TRUE(write_file(folder, "morvane", fake_morvane, 0755, morvane));
	ASSERT_TRUE(write_file(folder, "given.ppd", "*PPD-Adobe: \"4.3\"\n"
	    "*FormatVersion: \"4.3\"\n*OpenUI *PageSize: PickOne\n"
	    "*DefaultPageSize: A4\n*PageSize A4: \"a\"\n*PageSize Letter: \"l\"\n"
	    "*CloseUI: *PageSize\n*PaperDimension A4: \"595 842\"\n"
	    "*PaperDimension Letter: \"612 792\"\n", 0644, ppd));
	auto cups = [](const std::string &feature) {
		return "[{\n%%BeginFeature: *" + feature + "\nx\n%%EndFeature\n"
		    "} stopped cleartomark\n";
	};
	auto bare = [](const std::string &feature, const std::string &code) {
		return "%%BeginFeature: *" + feature + "\n" + code + "\n"
		    "%%EndFeature\n";
	};
	auto setup = [](const std::string &code) {
		return "%!PS-Adobe-3.0\n%%BeginSetup\n" + code + "%%EndSetup\n"
		    "%%Page: 1 1\np\n%%EOF\n";
	};
	auto page = [&](const std::string &code) {
		return "%!PS-Adobe-3.0\n%%BeginSetup\n" + cups("PageSize A4") +
		    "%%EndSetup\n%%Page: 1 1\n" + code + "p\n%%EOF\n";
	};
	std::string many;
	for (int i = 0; i <= max_page_sizes; i++)
		many += "<</PageSize [" + std::to_string(300 + 2 * i) +
		    " 400]>>setpagedevice\n";
	const std::string a4 = "[595 842 7.200000 18.000000]";
	const struct {
		const char *what;
		std::string job;
		const char *marked;
		bool plain_sends;   // CUPS's own queue would get the size's code
		bool measured;      // the value measured on 832 points
		bool planned;
		bool own_sizes;
		int dropped;        // -1: none
		const char *paper;  // refused: words of the error line
		std::string rows;
	} cases[] = {
		{"no setup", "%!PS-Adobe-3.0\n%%Page: 1 1\np\n%%EOF\n", "A4", false,
		    false, true, false, -1, "A4", a4},
		{"CUPS's block, which its own queue would not get",
		    setup(cups("PageSize A4")), "A4", false, false, true, false, 0,
		    "A4", a4},
		{"CUPS's block, which its own queue gets too",
		    setup(cups("PageSize A4")), "A4", true, false, true, false, -1,
		    "A4", a4},
		{"CUPS's block of the size after one of another feature",
		    setup(cups("Duplex None") + cups("PageSize A4")), "A4", false,
		    false, true, false, 1, "A4", a4},
		{"the document's own Letter after CUPS's A4",
		    setup(cups("PageSize A4") + bare("PageSize Letter", "l")), "A4",
		    false, false, true, false, 0, "Letter",
		    "[612 792 44.064000 216.000000]"},
		{"the document's own Letter, without CUPS's block",
		    setup(bare("PageSize Letter", "l")), "A4", false, false, true,
		    false, -1, "Letter", "[612 792 44.064000 216.000000]"},
		{"the document's own A4, as marked", setup(cups("PageSize A4") +
		    bare("PageSize A4", "a")), "A4", false, false, true, false, 0,
		    "A4", a4},
		{"a name that the PPD lacks, whose code asks for a size",
		    setup(cups("PageSize A4") + bare("PageSize Default",
		    "<< /PageSize [ 595.5 842 ] >> setpagedevice")), "A4", false,
		    false, true, false, 0, "Default",
		    "[595.5 842 42.876000 216.000000]"},
		{"a name that the PPD lacks, whose code asks for none",
		    setup(cups("PageSize A4") + bare("PageSize X", "/PageSize [1]")),
		    "A4", false, false, true, false, 0, "A4", a4},
		{"the setup asks for Letter's size after CUPS's block",
		    setup(cups("PageSize A4") +
		    "<</PageSize [612 792]>>setpagedevice\n"), "A4", false, false,
		    true, true, -1, "612x792", "[612 792 44.064000 216.000000]"},
		{"the setup asks for A4's size, within a point",
		    setup(cups("PageSize A4") +
		    "<</PageSize [595.5 842.4]>>setpagedevice\n"), "A4", false, false,
		    true, true, -1, "A4", a4},
		{"a page asks for a size of its own",
		    page("<</PageSize [300 400]>>setpagedevice\n"), "A4", false,
		    false, true, true, -1, "A4", a4 + "[300 400 21.600000 216.000000]"},
		{"a page asks for a size of its own, the value measured",
		    page("<</PageSize [300 400]>>setpagedevice\n"), "A4", false, true,
		    true, true, -1, "A4", a4 + "[300 400 21.600000 86.400000]"},
		{"a custom size, as marked", setup(cups("CustomPageSize True")),
		    "Custom", false, false, true, false, -1, "Custom",
		    "[595 842 7.200000 18.000000]"},
		// Refused, with the error line.
		{"a custom size of the document's own",
		    setup(cups("CustomPageSize True")), "A4", false, false, false,
		    false, -1, "a custom page size of its own", ""},
		{"a page's size that the value puts the page off",
		    page("<</PageSize [100 100]>>setpagedevice\n"), "A4", false,
		    false, false, true, -1, "puts the page off the sheet for the page "
		    "size 100x100", ""},
		{"more sizes than the table takes", page(many), "A4", false, false,
		    false, true, -1, "more than 24 page sizes", ""},
		{"a name longer than the buffer", setup(cups("PageSize A4") +
		    bare("PageSize " + std::string(buffer_size, 'x'), "x")), "A4",
		    false, false, false, false, 0, "a page size whose name is too long",
		    ""},
	};
	char job_id[] = "1", user[] = "user", title[] = "title", copies[] = "1",
	    options[] = "", name[] = "morvane-filter";
	char *const args[] = {name, job_id, user, title, copies, options,
	    nullptr};
	for (const auto &c : cases) {
		queue q = marked_queue(c.measured, c.plain_sends);
		// The job as the options mark it: the paper marked, 595 by 842
		// points, and the record for it, 0.1 inch across and 0.25 inch
		// down.
		filter_job fj = {.program = "morvane-filter", .args = args,
		    .file = nullptr, .env = {.ppd = ppd, .morvane = morvane,
		    .psutils_pstops = "/usr/bin/pstops", .cups_serverbin = "",
		    .final_type = "", .content_type = ""}, .folder = "",
		    .ppd = ppd_at(ppd), .q = &q,
		    .marked = {.known = true, .value = named_paper(c.marked, 595,
		    842)}, .page_copies = 0, .has_marked_shift = false,
		    .marked_shift = {}, .known = 0, .papers = {}};
		ASSERT_TRUE(fj.ppd);
		copy_text(fj.folder, sizeof fj.folder, folder);
		postscript_job j = {.job = &fj, .copy = {.fd = -1,
		    .data = c.job.data(), .size = (off_t)c.job.size()},
		    .record = {.text = "", .argv = {}, .kind = pstops_record,
		    .shift = {0.1, 0.25}}, .counts_pages = false};
		document doc;
		ASSERT_EQ(next_document(c.job.data(), c.job.size(), 0, &doc),
		    scan_document) << c.what;
		document_plan plan;
		testing::internal::CaptureStderr();
		bool planned = plan_document(&j, &doc, &plan);
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(planned, c.planned) << c.what << said;
		size_t errors = 0;
		for (size_t at = 0; (at = said.find("ERROR:", at)) !=
		    std::string::npos; at++)
			errors++;
		EXPECT_EQ(errors, c.planned ? 0u : 1u) << c.what << said;
		EXPECT_TRUE(c.planned || said.find(c.paper) != std::string::npos)
		    << c.what << said;
		EXPECT_EQ(plan.own_sizes, c.own_sizes) << c.what;
		EXPECT_EQ(plan.drops, c.dropped >= 0) << c.what;
		if (plan.drops) {
			EXPECT_EQ(plan.dropped, c.dropped) << c.what;
		}
		// The job keeps its paper and record.
		EXPECT_STREQ(fj.marked.value.name, c.marked) << c.what;
		EXPECT_EQ(j.record.shift[1], 0.25) << c.what;
		if (!c.planned)
			continue;
		EXPECT_STREQ(plan.in_effect.name, c.paper) << c.what;
		std::string shifts = plan.shifts;
		size_t start = shifts.find("MorvanePageSizes[") + 17;
		EXPECT_EQ(shifts.substr(start, shifts.find("]put") - start), c.rows)
		    << c.what;
	}
	remove_folder(folder);
}


// The job's image shifts in a document's plan: on the record's shift, the
// same on both sides in the record's own layout and table, and a layout of
// two pages where a two-sided job shifts its sides apart, with the table's
// procedure that keeps a page's side.
TEST(plan_document, gives_each_side_its_image_shift)
{
	char folder[folder_size];
	ASSERT_TRUE(make_folder("morvane-test", folder));
	char morvane[buffer_size], ppd[buffer_size];
	ASSERT_TRUE(write_file(folder, "morvane", fake_morvane, 0755, morvane));
	ASSERT_TRUE(write_file(folder, "given.ppd", "*PPD-Adobe: \"4.3\"\n"
	    "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n"
	    "*PageSize A4: \"a\"\n*CloseUI: *PageSize\n"
	    "*PaperDimension A4: \"595 842\"\n", 0644, ppd));
	const std::string one = "%!PS-Adobe-3.0\n%%Page: 1 1\np\n%%EOF\n";
	const std::string plain = "%!PS-Adobe-3.0\n%%Page: 1 1\np\n"
	    "%%Page: 2 2\np\n%%EOF\n";
	const std::string sized = "%!PS-Adobe-3.0\n%%Page: 1 1\n"
	    "<</PageSize [300 400]>>setpagedevice\np\n%%Page: 2 2\np\n%%EOF\n";
	// The record: 0.595 in across, 3 in down (the stand-in's).
	const struct {
		const char *what;
		const char *texts[image_shift_attributes];
		bool two_sided;
		const std::string &job;
		const char *layout; // or the error line's words
		bool sided;
		const char *row;
	} cases[] = {
	    {"none", {}, true, plain, "1:0@1.0(0.595000in,3.000000in)", false,
		"[595 842 42.840000 216.000000]"},
	    {"both sides, one-sided", {"254", "-508"}, false, plain,
		"1:0@1.0(0.695000in,3.200000in)", false,
		"[595 842 50.040000 230.400000]"},
	    {"both sides, two-sided", {"254", "-508"}, true, plain,
		"1:0@1.0(0.695000in,3.200000in)", false,
		"[595 842 50.040000 230.400000]"},
	    {"the back's own, one-sided", {nullptr, nullptr, nullptr, nullptr,
		"254", "254"}, false, plain, "1:0@1.0(0.595000in,3.000000in)",
		false, "[595 842 42.840000 216.000000]"},
	    {"the back's own, two-sided", {"-254", nullptr, nullptr, nullptr,
		"254", "254"}, true, plain, "2:0@1.0(0.495000in,3.000000in),"
		"1@1.0(0.695000in,2.900000in)", true,
		"[595 842 35.640000 216.000000]"},
	    {"the back's own, two-sided, a document of one page", {"-254",
		nullptr, nullptr, nullptr, "254", "254"}, true, one,
		"1:0@1.0(0.495000in,3.000000in)", false,
		"[595 842 35.640000 216.000000]"},
	    {"the back's own, a page's own size", {nullptr, nullptr, nullptr,
		nullptr, nullptr, "254"}, true, sized,
		"cannot be shifted apart on the two sides", false, nullptr},
	    {"the back's off the sheet", {nullptr, nullptr, nullptr, nullptr,
		"-22502"}, true, plain, "x-side2-image-shift=-22502 puts the back "
		"side's image off the sheet of A4: from -22501 to 19478", false,
		nullptr},
	};
	char job_id[] = "1", user[] = "user", title[] = "title", copies[] = "1",
	    options[] = "", name[] = "morvane-filter";
	char *const args[] = {name, job_id, user, title, copies, options,
	    nullptr};
	for (const auto &c : cases) {
		queue q = marked_queue(false, false);
		q.two_sided = c.two_sided;
		ASSERT_TRUE(read_image_shifts(c.texts, &q.shifts)) << c.what;
		filter_job fj = {.program = "morvane-filter", .args = args,
		    .file = nullptr, .env = {.ppd = ppd, .morvane = morvane,
		    .psutils_pstops = "/usr/bin/pstops", .cups_serverbin = "",
		    .final_type = "", .content_type = ""}, .folder = "",
		    .ppd = ppd_at(ppd), .q = &q,
		    .marked = {.known = true, .value = named_paper("A4", 595, 842)},
		    .page_copies = 0, .has_marked_shift = false,
		    .marked_shift = {}, .known = 0, .papers = {}};
		ASSERT_TRUE(fj.ppd);
		copy_text(fj.folder, sizeof fj.folder, folder);
		char record[buffer_size] = "PSCOMMAND=/usr/bin/pstops\n"
		    "CMDARGV=-w595 -h842 1:0@1.0(0.595000in,3.000000in) in.ps "
		    "out.ps\n";
		postscript_job j = {.job = &fj, .copy = {.fd = -1,
		    .data = c.job.data(), .size = (off_t)c.job.size()},
		    .record = {}, .counts_pages = false};
		ASSERT_EQ(accept_record(record, "/usr/bin/pstops", j.record.argv),
		    pstops_record);
		j.record.kind = pstops_record;
		j.record.shift[0] = 0.595;
		j.record.shift[1] = 3;
		document doc;
		ASSERT_EQ(next_document(c.job.data(), c.job.size(), 0, &doc),
		    scan_document) << c.what;
		document_plan plan;
		testing::internal::CaptureStderr();
		bool planned = plan_document(&j, &doc, &plan);
		std::string said = testing::internal::GetCapturedStderr();
		EXPECT_EQ(planned, c.row != nullptr) << c.what << said;
		if (c.row == nullptr) {
			EXPECT_NE(said.find(c.layout), std::string::npos) << said;
			continue;
		}
		EXPECT_STREQ(plan.record.argv[3], c.layout) << c.what;
		EXPECT_EQ(plan.sided, c.sided) << c.what;
		std::string shifts = plan.shifts;
		EXPECT_NE(shifts.find(std::string("MorvanePageSizes[") + c.row +
		    "]put"), std::string::npos) << c.what << shifts;
		// A page's request of the device keeps its side's place where
		// the sides are apart.
		EXPECT_EQ(shifts.find("MorvaneFrontDevice") != std::string::npos,
		    c.sided) << c.what;
	}
	remove_folder(folder);
}
}
