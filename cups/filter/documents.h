// SPDX-License-Identifier: MIT
// The PostScript that CUPS prepares for a printer: its documents, the JCL
// around them, the device setup in them that pstops would disable, and the
// page sizes that their code asks for.
#ifndef MORVANE_DOCUMENTS_H
#define MORVANE_DOCUMENTS_H

#include "copy.h"

// A document may carry this many blocks of device setup; more fail it.
constexpr int max_setup_blocks = 256;

// A block of device setup: its bytes, and for a *PageSize or *PageRegion
// feature, or a paper that the document selects (%%BeginPaperSize), the
// choice, or for *CustomPageSize that it is one.
struct setup_block {
	span bytes;
	span size;
	bool custom_size;
	bool paper_size;    // the document's own %%BeginPaperSize block
};

// One PostScript document of the job that CUPS prepared, and the device
// setup in it that pstops would disable: the feature code and copies of
// its setup section (cut from it), then the feature code that starts the
// first page's setup (left in every page, where CUPS repeats it).
struct document {
	span before;                   // the bytes before it: JCL, or none
	span body;                     // "%!" through its "%%EOF" line
	span setup;                    // its setup section, or none
	int blocks;                    // device-setup blocks, in order
	int cut;                       // the first this many are cut
	setup_block block[max_setup_blocks];
	int pages;                     // its "%%Page:" lines
	int copies;                    // the copies that its setup asks the
	                               // printer for: its "*NumCopies", or 1
};

enum scan_result { scan_document, scan_end, scan_too_many };

// Finds the next document in data[from, size). At scan_end, no document
// follows and doc->before holds the rest.
scan_result next_document(const char *data, off_t size, off_t from,
    document *doc);

// The size that the code in bytes asks for with "/PageSize [W H]".
// Returns false where it has none that can be read.
bool code_page_size(const char *data, span bytes, float size[2]);

// The page sizes, in points, that a document's pages may ask for.
constexpr int max_page_sizes = 24;
struct page_sizes {
	int count;
	float size[max_page_sizes][2];
};

// Adds to sizes the sizes that the document's code names: "/PageSize
// [W H]" outside the device setup that is carried, "/MediaBox [X0 Y0 X1
// Y1]" as ghostscript's PostScript of PDF pages writes it, and the media
// of "%%DocumentMedia:". A size within a point of one in sizes is that
// one. Returns false where they do not fit.
bool own_page_sizes(const char *data, const document *doc,
    page_sizes *sizes);

// The last "/PageSize [W H]" that the document's setup section asks for
// outside the device setup that is carried, and where it is. Returns
// false where it asks for none that can be read.
bool setup_page_size(const char *data, const document *doc, float size[2],
    off_t *at);

// Whether the document asks for a page size itself, outside the device
// setup that is carried: PDF turned into PostScript does so on each page.
bool sets_own_size(const char *data, const document *doc);

#endif
