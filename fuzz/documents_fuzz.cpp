// SPDX-License-Identifier: MIT
// Fuzzes the CUPS filter's reading of the PostScript that CUPS prepares,
// which holds whatever the job's author wrote. Every document, the JCL
// around it and every block of its setup must lie within the job, in
// order, and each document must move the scan on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "documents.h"
#include "log.h"

const log_style program_log = {.error = "\nERROR: morvane-filter: ",
    .debug = "DEBUG: morvane-filter: "};

namespace {

void require(bool holds, const char *what)
{
	if (!holds) {
		fprintf(stderr, "invariant broken: %s\n", what);
		abort();
	}
}

void check_blocks(const document *doc)
{
	require(0 <= doc->cut && doc->cut <= doc->blocks &&
	    doc->blocks <= max_setup_blocks, "block counts");
	off_t last = doc->body.start;
	for (int i = 0; i < doc->blocks; i++) {
		const setup_block &block = doc->block[i];
		require(last <= block.bytes.start &&
		    block.bytes.start < block.bytes.end &&
		    block.bytes.end <= doc->body.end, "blocks in order, in the body");
		require(block.size.start == block.size.end ||
		    (block.bytes.start <= block.size.start &&
		    block.size.start < block.size.end &&
		    block.size.end <= block.bytes.end), "a size in its block");
		last = block.bytes.end;
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *job = (const char *)data;
	document doc;
	scan_result result;
	off_t at = 0;
	while ((result = next_document(job, size, at, &doc)) == scan_document) {
		require(doc.before.start == at && doc.before.end == doc.body.start,
		    "the JCL runs up to the document");
		require(doc.body.start < doc.body.end &&
		    doc.body.end <= (off_t)size, "the document moves the scan on");
		check_blocks(&doc);
		sets_own_size(job, &doc);
		page_sizes sizes = {0, {}};
		bool fit = own_page_sizes(job, &doc, &sizes);
		require(sizes.count <= max_page_sizes && (fit || sizes.count ==
		    max_page_sizes), "the sizes stay in their table");
		float size[2];
		for (int i = 0; i < doc.blocks; i++)
			(void)code_page_size(job, doc.block[i].bytes, size);
		at = doc.body.end;
	}
	require(result == scan_too_many || (doc.before.start == at &&
	    doc.before.end == (off_t)size), "the rest is after the last");
	return 0;
}
