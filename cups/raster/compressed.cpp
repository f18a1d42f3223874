// SPDX-License-Identifier: MIT
// PWG and Apple raster moved in their compressed lines.
#include "compressed.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <unistd.h>

#include "copy.h"
#include "lines.h"
#include "log.h"
#include "run.h"

namespace {

constexpr size_t pwg_header = 1796;
constexpr size_t apple_header = 32;

struct buffer_free {
	void operator()(unsigned char *bytes) const { free(bytes); }
};
using buffer = std::unique_ptr<unsigned char, buffer_free>;

// The input, read into a buffer that always holds what a record needs.
struct reader {
	const raster_source *source;
	buffer bytes;
	size_t size, at, end;
};

// Makes at least need bytes ready at r->at, or as many as there are.
// Returns false on a read error, after the error line.
bool fill(reader *r, size_t need)
{
	if (r->end - r->at >= need)
		return true;
	memmove(r->bytes.get(), r->bytes.get() + r->at, r->end - r->at);
	r->end -= r->at;
	r->at = 0;
	while (r->end < need) {
		ssize_t n = r->source->read(r->source->context,
		    r->bytes.get() + r->end, r->size - r->end);
		if (n == 0)
			break;
		if (n < 0)
			return report_error("cannot read the raster:");
		r->end += (size_t)n;
	}
	return true;
}

// The output, written a buffer at a time.
struct writer {
	int fd;
	buffer bytes;
	size_t size, used;
};

bool flush(writer *w)
{
	if (!write_all(w->fd, (const char *)w->bytes.get(), (off_t)w->used))
		return cancel_requested() ? false :
		    report_error("cannot write the raster:");
	w->used = 0;
	return true;
}

bool put(writer *w, const unsigned char *bytes, size_t length)
{
	while (length > 0) {
		if (w->used == w->size && !flush(w))
			return false;
		size_t n = w->size - w->used;
		n = n < length ? n : length;
		memcpy(w->bytes.get() + w->used, bytes, n);
		w->used += n;
		bytes += n;
		length -= n;
	}
	return true;
}

unsigned number(const unsigned char *at)
{
	return (unsigned)at[0] << 24 | (unsigned)at[1] << 16 |
	    (unsigned)at[2] << 8 | at[3];
}

// What the moves need of a page header of PWG raster.
void read_pwg(const unsigned char *raw, cups_page_header2_t *h)
{
	memset(h, 0, sizeof *h);
	h->Duplex = number(raw + 272) ? CUPS_TRUE : CUPS_FALSE;
	h->HWResolution[0] = number(raw + 276);
	h->HWResolution[1] = number(raw + 280);
	h->PageSize[0] = number(raw + 352);
	h->PageSize[1] = number(raw + 356);
	h->Tumble = number(raw + 368) ? CUPS_TRUE : CUPS_FALSE;
	h->cupsWidth = number(raw + 372);
	h->cupsHeight = number(raw + 376);
	h->cupsBitsPerColor = number(raw + 384);
	h->cupsBitsPerPixel = number(raw + 388);
	h->cupsBytesPerLine = number(raw + 392);
	h->cupsColorOrder = (cups_order_t)number(raw + 396);
	h->cupsColorSpace = (cups_cspace_t)number(raw + 400);
	h->cupsNumColors = number(raw + 420);
}

// The same of Apple raster's: its duplex byte is 1 for one side, 2 for
// the short edge, 3 for the long edge.
void read_apple(const unsigned char *raw, cups_page_header2_t *h)
{
	static const cups_cspace_t spaces[] = {CUPS_CSPACE_SW, CUPS_CSPACE_SRGB,
	    CUPS_CSPACE_CIELab, CUPS_CSPACE_ADOBERGB, CUPS_CSPACE_W,
	    CUPS_CSPACE_RGB, CUPS_CSPACE_CMYK};
	memset(h, 0, sizeof *h);
	h->cupsBitsPerPixel = raw[0];
	h->cupsBitsPerColor = raw[0] >= 8 ? 8 : raw[0];
	h->cupsColorSpace = raw[1] < 7 ? spaces[raw[1]] : CUPS_CSPACE_DEVICE1;
	h->Duplex = raw[2] > 1 ? CUPS_TRUE : CUPS_FALSE;
	h->Tumble = raw[2] == 2 ? CUPS_TRUE : CUPS_FALSE;
	h->cupsWidth = number(raw + 12);
	h->cupsHeight = number(raw + 16);
	h->HWResolution[0] = h->HWResolution[1] = number(raw + 20);
	h->cupsBytesPerLine = (h->cupsWidth * h->cupsBitsPerPixel + 7) / 8;
	h->cupsColorOrder = CUPS_ORDER_CHUNKED;
	h->cupsNumColors = 1;
	if (h->HWResolution[0] != 0) {
		h->PageSize[0] = h->cupsWidth * 72 / h->HWResolution[0];
		h->PageSize[1] = h->cupsHeight * 72 / h->HWResolution[1];
		h->cupsPageSize[0] = (float)h->cupsWidth * 72 /
		    (float)h->HWResolution[0];
		h->cupsPageSize[1] = (float)h->cupsHeight * 72 /
		    (float)h->HWResolution[1];
	}
}

// A page's line buffers: the line decoded, moved, and its runs.
struct page_lines {
	line_format format;
	buffer line, moved, runs;
	size_t room;
};

// Writes count lines of the runs given, in records of at most 256 lines.
bool put_lines(writer *w, const unsigned char *runs, size_t length,
    long count)
{
	for (; count > 0; count -= 256) {
		unsigned char repeat = (unsigned char)((count > 256 ? 256 : count) - 1);
		if (!put(w, &repeat, 1) || !put(w, runs, length))
			return false;
	}
	return true;
}

// The white lines of a page.
bool put_white(writer *w, page_lines *p, long count)
{
	if (count <= 0)
		return true;
	memset(p->moved.get(), p->format.white, p->format.bytes);
	size_t length = encode_runs(&p->format, p->moved.get(), p->runs.get());
	return put_lines(w, p->runs.get(), length, count);
}

// The lines of a page: those moved off it left out, white ones in their
// place.
bool move_lines(reader *r, writer *w, page_lines *p,
    const raster_layout *layout, raster_move move)
{
	long lines = layout->lines;
	long skip = move.lines < 0 ? -move.lines : 0;
	long blank = move.lines > 0 ? move.lines : 0;
	skip = skip < lines ? skip : lines;
	blank = blank < lines ? blank : lines;
	if (!put_white(w, p, blank))
		return false;
	for (long done = 0; done < lines;) {
		if (!fill(r, p->room + 1))
			return false;
		const unsigned char *at = r->bytes.get() + r->at;
		size_t used = r->end > r->at ? decode_runs(&p->format, at + 1,
		    r->end - r->at - 1, p->line.get()) : 0;
		if (used == 0)
			return report_error("the raster ends within a page, or its "
			    "lines overrun it");
		long count = at[0] + 1L;
		r->at += used + 1;
		count = count < lines - done ? count : lines - done;
		long from = done > skip ? done : skip;
		long to = done + count < lines - blank ? done + count : lines - blank;
		done += count;
		if (from >= to)
			continue;
		move_line(layout, move.columns, p->line.get(), p->moved.get());
		size_t length = encode_runs(&p->format, p->moved.get(),
		    p->runs.get());
		if (!put_lines(w, p->runs.get(), length, to - from))
			return false;
	}
	return put_white(w, p, skip);
}

bool make_page_lines(const raster_layout *layout, unsigned bits,
    page_lines *p, reader *r)
{
	p->format = {.bytes = layout->bytes_per_line,
	    .unit = bits >= 8 ? bits / 8 : 1, .white = layout->white};
	p->room = runs_room(&p->format);
	p->line.reset((unsigned char *)malloc(p->format.bytes));
	p->moved.reset((unsigned char *)malloc(p->format.bytes));
	p->runs.reset((unsigned char *)malloc(p->room));
	size_t size = 65536 > 2 * p->room + 2 ? 65536 : 2 * p->room + 2;
	if (size > r->size) {
		unsigned char *bigger = (unsigned char *)realloc(r->bytes.get(), size);
		if (bigger != nullptr) {
			(void)r->bytes.release();
			r->bytes.reset(bigger);
			r->size = size;
		}
	}
	return (p->line && p->moved && p->runs && r->size >= size) ||
	    report_error("cannot hold the raster's lines of %zu bytes",
	    p->format.bytes);
}

// The job: its two ends, its format, and how its pages move.
struct compressed_job {
	reader r;
	writer w;
	bool apple;
	filter_job *job;
	back_side back;
};

// One page, its header first. Returns false after the error line.
bool move_page(compressed_job *j, long page)
{
	reader *r = &j->r;
	writer *w = &j->w;
	bool apple = j->apple;
	size_t header = apple ? apple_header : pwg_header;
	cups_page_header2_t h;
	const unsigned char *raw = r->bytes.get() + r->at;
	(apple ? read_apple : read_pwg)(raw, &h);
	raster_layout layout;
	unsigned bits = h.cupsBitsPerPixel;
	if (h.cupsColorOrder != CUPS_ORDER_CHUNKED || !read_layout(&h, &layout) ||
	    (bits > 8 && bits % 8 != 0) || h.HWResolution[0] == 0 ||
	    h.HWResolution[1] == 0)
		return report_error("page %ld: no raster of %u by %u pixels of %u "
		    "bits, chunked, in lines of %u bytes", page, h.cupsWidth,
		    h.cupsHeight, bits, h.cupsBytesPerLine);
	if (!put(w, raw, header))
		return false;
	r->at += header;
	float size[2] = {h.cupsPageSize[0] > 0 ? h.cupsPageSize[0] :
	    (float)h.PageSize[0], h.cupsPageSize[1] > 0 ? h.cupsPageSize[1] :
	    (float)h.PageSize[1]};
	double shift[2];
	if (!shift_for_page(j->job, size, side_of_page(&h, page), shift))
		return false;
	raster_move move = move_for_page(&h, j->back, page, shift);
	debug("page %ld: moved %ld pixels rightwards and %ld lines downwards",
	    page, move.columns, move.lines);
	page_lines p;
	return make_page_lines(&layout, bits, &p, r) &&
	    move_lines(r, w, &p, &layout, move);
}

}

bool move_compressed(const raster_source *source, bool apple, int out,
    filter_job *job, back_side back)
{
	compressed_job j = {.r = {.source = source,
	    .bytes = buffer((unsigned char *)malloc(65536)), .size = 65536,
	    .at = 0, .end = 0},
	    .w = {.fd = out, .bytes = buffer((unsigned char *)malloc(65536)),
	    .size = 65536, .used = 0}, .apple = apple, .job = job,
	    .back = back};
	reader *r = &j.r;
	writer *w = &j.w;
	if (!r->bytes || !w->bytes)
		return report_error("cannot hold the raster:");
	size_t start = apple ? 12 : 4;
	if (!fill(r, start) || r->end < start || !put(w, r->bytes.get(), start))
		return report_error("the raster ends before its first page");
	r->at = start;
	long page = 0;
	size_t header = apple ? apple_header : pwg_header;
	for (;;) {
		if (!fill(r, header))
			return false;
		if (r->end == r->at)
			break;
		if (r->end - r->at < header)
			return report_error("the raster ends within a page header");
		if (!move_page(&j, ++page))
			return false;
		count_written(job, page);
	}
	debug("pages moved: %ld", page);
	return flush(w);
}
