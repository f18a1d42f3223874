// SPDX-License-Identifier: MIT
// A job's raster, read and written a line at a time.
#include "stream.h"

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <memory>

#include <unistd.h>

#include "compressed.h"
#include "copy.h"
#include "log.h"
#include "run.h"

namespace {

// The start of the input, read to tell its format, then handed to
// libcups before the rest.
struct peeked_input {
	int fd;
	unsigned char start[16];
	size_t length;
	size_t given;
};

ssize_t read_input(void *context, unsigned char *buffer, size_t length)
{
	peeked_input *input = (peeked_input *)context;
	if (input->given < input->length) {
		size_t n = input->length - input->given;
		n = n < length ? n : length;
		memcpy(buffer, input->start + input->given, n);
		input->given += n;
		return (ssize_t)n;
	}
	ssize_t n;
	do
		n = read(input->fd, buffer, length);
	while (n < 0 && errno == EINTR && !cancel_requested());
	return n;
}

ssize_t write_output(void *context, unsigned char *buffer, size_t length)
{
	int fd = *(int *)context;
	return write_all(fd, (const char *)buffer, (off_t)length) ?
	    (ssize_t)length : -1;
}

// Reads the start of the input. Returns false after the error line.
bool peek(peeked_input *input)
{
	while (input->length < sizeof input->start) {
		ssize_t n = read(input->fd, input->start + input->length,
		    sizeof input->start - input->length);
		if (n == 0)
			break;
		if (n < 0 && (errno != EINTR || cancel_requested()))
			return report_error("cannot read the raster:");
		if (n > 0)
			input->length += (size_t)n;
	}
	return input->length >= 4 ||
	    report_error("the job holds no raster: %zu bytes", input->length);
}

// The format to write, the one read: version 3 of CUPS raster (not
// compressed), or else compressed CUPS raster.
cups_mode_t output_mode(const peeked_input *input)
{
	const unsigned char *start = input->start;
	return memcmp(start, "RaS3", 4) == 0 || memcmp(start, "3SaR", 4) == 0 ?
	    CUPS_RASTER_WRITE : CUPS_RASTER_WRITE_COMPRESSED;
}

struct raster_close {
	void operator()(cups_raster_t *r) const { cupsRasterClose(r); }
};
using raster_handle = std::unique_ptr<cups_raster_t, raster_close>;

struct buffer_free {
	void operator()(unsigned char *bytes) const { free(bytes); }
};

// Both ends of the job's raster, and a page's buffers of a line each: the
// line read, the line moved, and a white line.
struct raster_ends {
	raster_handle in;
	raster_handle out;
	std::unique_ptr<unsigned char, buffer_free> lines;
	unsigned char *line;
	unsigned char *moved;
	unsigned char *white;
};

// Makes the page's buffers for lines of the layout's. Returns false after
// the error line.
bool make_lines(raster_ends *ends, const raster_layout *layout)
{
	size_t bytes = layout->bytes_per_line;
	ends->lines.reset((unsigned char *)malloc(3 * bytes));
	ends->line = ends->moved = ends->white = nullptr;
	if (!ends->lines)
		return report_error("cannot hold the raster's lines of %zu bytes:",
		    bytes);
	ends->line = ends->lines.get();
	ends->moved = ends->line + bytes;
	ends->white = ends->moved + bytes;
	memset(ends->white, layout->white, bytes);
	return true;
}

bool read_line(raster_ends *ends, unsigned bytes)
{
	return cupsRasterReadPixels(ends->in.get(), ends->line, bytes) ==
	    bytes || report_error("the raster ends within a page");
}

bool write_line(raster_ends *ends, const unsigned char *line, unsigned bytes)
{
	return cupsRasterWritePixels(ends->out.get(),
	    const_cast<unsigned char *>(line), bytes) == bytes ||
	    report_error("cannot write the raster:");
}

// One plane of a page: its lines moved down by move.lines (up where
// negative), each moved across by move.columns.
bool move_plane(raster_ends *ends, const raster_layout *layout,
    raster_move move)
{
	unsigned bytes = layout->bytes_per_line;
	long lines = layout->lines;
	long skip = move.lines < 0 ? -move.lines : 0;
	long blank = move.lines > 0 ? move.lines : 0;
	skip = skip < lines ? skip : lines;
	blank = blank < lines ? blank : lines;
	for (long i = 0; i < blank; i++)
		if (!write_line(ends, ends->white, bytes))
			return false;
	for (long i = 0; i < lines; i++) {
		if (!read_line(ends, bytes))
			return false;
		if (i < skip || i >= lines - blank)
			continue;
		move_line(layout, move.columns, ends->line, ends->moved);
		if (!write_line(ends, ends->moved, bytes))
			return false;
	}
	for (long i = 0; i < skip; i++)
		if (!write_line(ends, ends->white, bytes))
			return false;
	return true;
}

bool move_page(const raster_job *j, raster_ends *ends,
    cups_page_header2_t *h, long page)
{
	raster_layout layout;
	if (!read_layout(h, &layout))
		return report_error("page %ld: the raster's lines of %u bytes do "
		    "not hold %u pixels of %u bits", page, h->cupsBytesPerLine,
		    h->cupsWidth, h->cupsBitsPerPixel);
	float size[2] = {h->cupsPageSize[0], h->cupsPageSize[1]};
	if (size[0] <= 0 || size[1] <= 0) {
		size[0] = (float)h->PageSize[0];
		size[1] = (float)h->PageSize[1];
	}
	double shift[2];
	if (!shift_for_page(j->job, size, side_of_page(h, page), shift))
		return false;
	raster_move move = move_for_page(h, j->back, page, shift);
	debug("page %ld: moved %ld pixels rightwards and %ld lines downwards",
	    page, move.columns, move.lines);
	if (!make_lines(ends, &layout))
		return false;
	if (cupsRasterWriteHeader2(ends->out.get(), h) == 0)
		return report_error("cannot write the raster:");
	for (unsigned plane = 0; plane < layout.planes; plane++)
		if (!move_plane(ends, &layout, move))
			return false;
	return true;
}

}

bool move_raster(const raster_job *j)
{
	peeked_input input = {.fd = j->in, .start = {}, .length = 0, .given = 0};
	if (!peek(&input))
		return false;
	const unsigned char *start = input.start;
	bool apple = input.length >= 12 && memcmp(start, "UNIRAST", 8) == 0;
	bool pwg = input.length >= 14 && memcmp(start, "RaS2PwgRaster", 14) == 0;
	if (apple || pwg) {
		const raster_source source = {.read = read_input, .context = &input};
		return move_compressed(&source, apple, j->out, j->job, j->back);
	}
	raster_ends ends = {.in = nullptr, .out = nullptr, .lines = nullptr,
	    .line = nullptr, .moved = nullptr, .white = nullptr};
	ends.in.reset(cupsRasterOpenIO(read_input, &input, CUPS_RASTER_READ));
	cups_page_header2_t h;
	if (!ends.in || cupsRasterReadHeader2(ends.in.get(), &h) == 0)
		return report_error("the job is not CUPS, PWG or Apple raster");
	int out = j->out;
	ends.out.reset(cupsRasterOpenIO(write_output, &out, output_mode(&input)));
	if (!ends.out)
		return report_error("cannot write the raster:");
	long page = 0;
	do {
		if (!move_page(j, &ends, &h, ++page))
			return false;
		count_written(j->job, page);
	} while (cupsRasterReadHeader2(ends.in.get(), &h) != 0);
	debug("pages moved: %ld", page);
	return true;
}
