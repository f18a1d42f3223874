// SPDX-License-Identifier: MIT
// The PostScript that CUPS prepares for a printer: its documents, the JCL
// around them, and the device setup in them that pstops would disable.
//
// CUPS writes the code of each marked option as
//   [{
//   %%BeginFeature: *Option Choice
//   ...
//   %%EndFeature
//   } stopped cleartomark
// and the copies between "%RBIBeginNonPPDFeature:" and
// "%RBIEndNonPPDFeature". Only comment lines matter here, so the scan
// jumps from one "%" that starts a line to the next.
#include "documents.h"

#include <cstdlib>
#include <cstring>

#include "paper.h"
#include "text.h"

namespace {

// Where the scan of one document stands.
struct scan_state {
	const char *data;       // the whole job
	const char *end;
	document *doc;
	int depth;              // of documents embedded in this one
	bool in_setup;          // in its setup section
	const char *setup;      // where the setup section starts, or null
	int pages;              // the "%%Page:" lines seen
	const char *page_run;   // where a block of the first page's setup
	                        // must start to be carried, or null
	const char *open;       // the start of the block being read, or null
	const char *feature;    // its first line
	bool open_in_page;      // it is one of the first page's
	bool overflow;          // more blocks than a document may carry
};

// The start of the next line: just after the line feed, or the end.
const char *next_line(const char *p, const char *end)
{
	const char *feed = (const char *)memchr(p, '\n', end - p);
	return feed != nullptr ? feed + 1 : end;
}

// The line at p holds exactly text, with a carriage return or not.
bool line_is(const char *p, const char *end, const char *text)
{
	size_t length = strlen(text);
	if (!has_prefix(p, end, text))
		return false;
	p += length;
	if (p < end && *p == '\r')
		p++;
	return p == end || *p == '\n';
}

// The first key in [p, end), or null. The keys start with a byte that is
// rare in most of a document's text (a name's "/", a comment's "%"), so
// memchr, which skips to the next one, finds a key several times faster
// than memmem.
const char *find_key(const char *p, const char *end, const char *key)
{
	size_t length = strlen(key);
	for (; (p = (const char *)memchr(p, *key, end - p)) != nullptr; p++) {
		if ((size_t)(end - p) < length)
			return nullptr;
		if (memcmp(p, key, length) == 0)
			return p;
	}
	return nullptr;
}

bool starts_line(const char *data, const char *p)
{
	return p == data || p[-1] == '\n' || p[-1] == '\r';
}

// A document starts with "%!" at the start of a line, or right after the
// universal exit of the JCL before it.
const char *document_start(const char *data, const char *p, const char *end)
{
	const char exit_language[] = "\033%-12345X";
	const size_t exit_length = sizeof exit_language - 1;
	while ((p = (const char *)memmem(p, end - p, "%!", 2)) != nullptr) {
		if (starts_line(data, p) || ((size_t)(p - data) >= exit_length &&
		    memcmp(p - exit_length, exit_language, exit_length) == 0))
			return p;
		p += 2;
	}
	return nullptr;
}

// A block starts at its "[{" line where CUPS wrote one, and ends after its
// "} stopped cleartomark" line.
const char *block_start(const scan_state *state, const char *line)
{
	const char *body = state->data + state->doc->body.start;
	const char *openers[] = {"[{\n", "[{\r\n"};
	for (const char *opener : openers) {
		size_t length = strlen(opener);
		if ((size_t)(line - body) >= length &&
		    memcmp(line - length, opener, length) == 0 &&
		    starts_line(state->data, line - length))
			return line - length;
	}
	return line;
}

const char *block_end(const scan_state *state, const char *after)
{
	return line_is(after, state->end, "} stopped cleartomark") ?
	    next_line(after, state->end) : after;
}

// The words of a comment line from p on, without the blanks around them.
span words(const scan_state *state, const char *p, const char *line)
{
	const char *stop = next_line(line, state->end);
	while (p < stop && *p == ' ')
		p++;
	while (stop > p && (stop[-1] == '\n' || stop[-1] == '\r' ||
	    stop[-1] == ' '))
		stop--;
	return span{p - state->data, stop - state->data};
}

// The choice of a size feature's line: "*PageSize NAME", "*PageRegion
// NAME" or "*CustomPageSize True" (which sets custom).
void size_choice(const scan_state *state, const char *line,
    setup_block *block)
{
	span feature = words(state, line + strlen("%%BeginFeature:"), line);
	const char *p = state->data + feature.start;
	const char *stop = state->data + feature.end;
	const char *keywords[] = {"*PageSize ", "*PageRegion ",
	    "*CustomPageSize "};
	for (const char *keyword : keywords) {
		if (!has_prefix(p, stop, keyword))
			continue;
		block->custom_size = keyword == keywords[2];
		if (!block->custom_size)
			block->size = words(state, p + strlen(keyword), line);
		return;
	}
}

// The name of a paper that the document's own code selects, as dvips
// writes it: "%%BeginPaperSize: NAME".
void paper_choice(const scan_state *state, const char *line,
    setup_block *block)
{
	span name = words(state, line + strlen("%%BeginPaperSize:"), line);
	if (name.end > name.start)
		block->size = name;
}

// A block opens at its "%%BeginFeature:", "%RBIBeginNonPPDFeature:" or
// "%%BeginPaperSize:" line. It is carried where it stands in the setup
// section, or in the run of blocks that starts the first page's setup;
// any other ends that run.
void open_block(scan_state *state, const char *line)
{
	const char *start = block_start(state, line);
	state->open = nullptr;
	if (state->in_setup || (state->page_run != nullptr &&
	    start == state->page_run)) {
		state->open = start;
		state->feature = line;
		state->open_in_page = !state->in_setup;
	} else {
		state->page_run = nullptr;
	}
}

// A carried block closes at its end line, after which lies after: it runs
// from its "[{" line to its "} stopped cleartomark" line, where CUPS wrote
// them. Blocks of the setup section are cut; the first page's are left.
void close_block(scan_state *state, const char *after)
{
	if (state->open == nullptr)
		return;
	document *doc = state->doc;
	if (doc->blocks == max_setup_blocks) {
		state->overflow = true;
		return;
	}
	const char *end = block_end(state, after);
	setup_block *block = &doc->block[doc->blocks++];
	block->bytes = span{state->open - state->data, end - state->data};
	if (state->open_in_page)
		state->page_run = end;
	else
		doc->cut = doc->blocks;
	if (has_prefix(state->feature, state->end, "%%BeginFeature:"))
		size_choice(state, state->feature, block);
	block->paper_size = has_prefix(state->feature, state->end,
	    "%%BeginPaperSize:");
	if (block->paper_size)
		paper_choice(state, state->feature, block);
	state->open = nullptr;
}

// A count in decimal digits, bounded by end; -1 when there is none. A
// count larger than most, which no job's data can reach, stays there.
off_t read_count(const char *p, const char *end, off_t most)
{
	while (p < end && *p == ' ')
		p++;
	off_t count = -1;
	for (; p < end && *p >= '0' && *p <= '9'; p++)
		if ((count = (count < 0 ? 0 : count) * 10 + (*p - '0')) > most)
			return most;
	return count;
}

// Skips the bytes or lines that a "%%BeginData:" or "%%BeginBinary:" line
// announces, so that no byte of the data is taken for a comment.
const char *skip_data(const scan_state *state, const char *line,
    const char *after)
{
	const char *end = state->end;
	const char *p = (const char *)memchr(line, ':', after - line);
	off_t count = p != nullptr ? read_count(p + 1, after, end - after) : -1;
	if (count <= 0)
		return after;
	bool lines = has_prefix(line, end, "%%BeginData:") &&
	    memmem(line, after - line, "Lines", 5) != nullptr;
	if (!lines)
		return count < end - after ? after + count : end;
	while (count-- > 0 && after < end)
		after = next_line(after, end);
	return after;
}

// CUPS's setup for several pages on a sheet disables setpagedevice, and
// the feature code of its pages then sets nothing: nor may it when carried.
bool pages_set_nothing(const scan_state *state, const char *page)
{
	const char disabled[] = "/setpagedevice{pop}";
	return state->setup != nullptr &&
	    find_key(state->setup, page, disabled) != nullptr;
}

// CUPS's line before the copies that a document asks the printer for.
const char copies_line[] = "%RBIBeginNonPPDFeature: *NumCopies";

// Reads the comment line at line. Returns where the scan goes on, or null
// at the end of the document.
const char *read_comment(scan_state *state, const char *line)
{
	const char *end = state->end;
	const char *after = next_line(line, end);
	if (has_prefix(line, end, "%%BeginData:") ||
	    has_prefix(line, end, "%%BeginBinary:"))
		return skip_data(state, line, after);
	if (has_prefix(line, end, "%%BeginDocument"))
		state->depth++;
	else if (has_prefix(line, end, "%%EndDocument") && state->depth > 0)
		state->depth--;
	if (state->depth > 0)
		return after;

	if (line_is(line, end, "%%EOF")) {
		state->doc->body.end = after - state->data;
		return nullptr;
	} else if (line_is(line, end, "%%BeginSetup")) {
		state->in_setup = state->pages == 0;
		state->setup = after;
		if (state->in_setup)
			state->doc->setup = span{after - state->data, after - state->data};
	} else if (line_is(line, end, "%%EndSetup")) {
		if (state->in_setup)
			state->doc->setup.end = line - state->data;
		state->in_setup = false;
	} else if (has_prefix(line, end, "%%Page:")) {
		if (state->in_setup)
			state->doc->setup.end = line - state->data;
		state->in_setup = false;
		state->page_run = nullptr;
		state->pages++;
	} else if (line_is(line, end, "%%BeginPageSetup")) {
		state->page_run = state->pages == 1 && !pages_set_nothing(state,
		    line) ? after : nullptr;
	} else if (has_prefix(line, end, copies_line) && state->pages == 0) {
		off_t copies = read_count(line + strlen(copies_line), after, 9999);
		state->doc->copies = copies > 0 ? (int)copies : 1;
		open_block(state, line);
	} else if (has_prefix(line, end, "%%BeginFeature:") ||
	    has_prefix(line, end, "%RBIBeginNonPPDFeature:") ||
	    has_prefix(line, end, "%%BeginPaperSize:")) {
		open_block(state, line);
	} else if (line_is(line, end, "%%EndFeature") ||
	    line_is(line, end, "%RBIEndNonPPDFeature") ||
	    line_is(line, end, "%%EndPaperSize")) {
		close_block(state, after);
	}
	return after;
}

// Whether the byte at is in a block of device setup that is carried.
bool carried(const document *doc, off_t at)
{
	for (int i = 0; i < doc->blocks; i++)
		if (at >= doc->block[i].bytes.start && at < doc->block[i].bytes.end)
			return true;
	return false;
}

}

scan_result next_document(const char *data, off_t size, off_t from,
    document *doc)
{
	const char *end = data + size;
	const char *start = document_start(data, data + from, end);
	*doc = document{};
	doc->copies = 1;
	if (start == nullptr) {
		doc->before = span{from, size};
		doc->body = span{size, size};
		return scan_end;
	}
	doc->before = span{from, start - data};
	doc->body = span{start - data, size};
	scan_state state = {.data = data, .end = end, .doc = doc, .depth = 0,
	    .in_setup = false, .setup = nullptr, .pages = 0, .page_run = nullptr,
	    .open = nullptr, .feature = nullptr, .open_in_page = false,
	    .overflow = false};
	const char *p = next_line(start, end);
	while (p != nullptr && !state.overflow &&
	    (p = (const char *)memchr(p, '%', end - p)) != nullptr)
		p = starts_line(data, p) ? read_comment(&state, p) : p + 1;
	doc->pages = state.pages;
	return state.overflow ? scan_too_many : scan_document;
}

bool sets_own_size(const char *data, const document *doc)
{
	const char *end = data + doc->body.end;
	const char key[] = "/PageSize";
	for (const char *p = data + doc->body.start; (p = find_key(p, end,
	    key)) != nullptr; p += sizeof key - 1)
		if (!carried(doc, p - data))
			return true;
	return false;
}

namespace {

// Reads "[N1 ... Ncount]" at p, blanks around the numbers allowed, into
// numbers. Returns false where that is not what is there.
bool read_array(const char *p, const char *end, float *numbers, int count)
{
	const char *close = p < end && *p == '[' ?
	    (const char *)memchr(p, ']', end - p) : nullptr;
	char text[96];
	if (close == nullptr || close - p >= (long)sizeof text)
		return false;
	memcpy(text, p + 1, close - p - 1);
	text[close - p - 1] = '\0';
	char *at = text;
	for (int i = 0; i < count; i++) {
		char *after = nullptr;
		numbers[i] = strtof(at, &after);
		if (after == at)
			return false;
		at = after;
	}
	while (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n')
		at++;
	return *at == '\0';
}

// The array after the key at p, blanks before it allowed.
bool read_array_after(const char *p, const char *end, const char *key,
    float *numbers, int count)
{
	for (p += strlen(key); p < end && strchr(" \t\r\n", *p) != nullptr; p++)
		;
	return read_array(p, end, numbers, count);
}

// Adds a size that none in sizes is within a point of. Returns false
// where sizes is full.
bool add_size(float width, float length, page_sizes *sizes)
{
	if (!(width > 0 && length > 0))
		return true;
	const paper asked = {.name = "", .width = width, .length = length};
	for (int i = 0; i < sizes->count; i++)
		if (same_paper(paper{.name = "", .width = sizes->size[i][0],
		    .length = sizes->size[i][1]}, asked))
			return true;
	if (sizes->count == max_page_sizes)
		return false;
	sizes->size[sizes->count][0] = width;
	sizes->size[sizes->count][1] = length;
	sizes->count++;
	return true;
}

// The sizes of the "%%DocumentMedia:" line at p and the "%%+" lines after
// it: "NAME WIDTH LENGTH ...", the name in parentheses where it has blanks.
bool add_media(const char *p, const char *end, page_sizes *sizes)
{
	p += strlen("%%DocumentMedia:");
	for (;;) {
		const char *stop = next_line(p, end);
		while (p < stop && *p == ' ')
			p++;
		const char *name_end = p < stop && *p == '(' ?
		    (const char *)memchr(p, ')', stop - p) : p;
		while (name_end != nullptr && name_end < stop && *name_end != ' ')
			name_end++;
		char text[96] = "";
		if (name_end != nullptr && stop - name_end < (long)sizeof text) {
			memcpy(text, name_end, stop - name_end);
			text[stop - name_end] = '\0';
		}
		char *after = nullptr, *last = nullptr;
		float width = strtof(text, &after);
		float length = strtof(after, &last);
		if (last != after && !add_size(width, length, sizes))
			return false;
		if (!has_prefix(stop, end, "%%+"))
			return true;
		p = stop + strlen("%%+");
	}
}

}

bool code_page_size(const char *data, span bytes, float size[2])
{
	const char key[] = "/PageSize";
	const char *p = find_key(data + bytes.start, data + bytes.end, key);
	return p != nullptr && read_array_after(p, data + bytes.end, key, size, 2);
}

bool setup_page_size(const char *data, const document *doc, float size[2],
    off_t *at)
{
	const char key[] = "/PageSize";
	const char *end = data + doc->setup.end;
	bool found = false;
	for (const char *p = data + doc->setup.start; (p = find_key(p, end,
	    key)) != nullptr; p += sizeof key - 1) {
		float read[2];
		if (carried(doc, p - data) || !read_array_after(p, end, key, read, 2))
			continue;
		size[0] = read[0];
		size[1] = read[1];
		*at = p - data;
		found = true;
	}
	return found;
}

bool own_page_sizes(const char *data, const document *doc,
    page_sizes *sizes)
{
	const char *start = data + doc->body.start, *end = data + doc->body.end;
	const char *keys[] = {"/PageSize", "/MediaBox", "%%DocumentMedia:"};
	for (const char *key : keys) {
		size_t length = strlen(key);
		for (const char *p = start; (p = find_key(p, end, key)) != nullptr;
		    p += length) {
			float box[4] = {0, 0, 0, 0};
			bool fits = true;
			if (key == keys[2])
				fits = !starts_line(data, p) || add_media(p, end, sizes);
			else if (key == keys[1])
				fits = !read_array_after(p, end, key, box, 4) ||
				    add_size(box[2] - box[0], box[3] - box[1], sizes);
			else if (!carried(doc, p - data))
				fits = !read_array_after(p, end, key, box, 2) ||
				    add_size(box[0], box[1], sizes);
			if (!fits)
				return false;
		}
	}
	return true;
}
