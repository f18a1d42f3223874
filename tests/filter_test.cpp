// SPDX-License-Identifier: MIT
// The CUPS filter: the documents, device setup and pages it finds in
// CUPS's PostScript.
#include <string>

#include <gtest/gtest.h>

#include "documents.h"
#include "log.h"

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

}
