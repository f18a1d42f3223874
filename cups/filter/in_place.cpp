// SPDX-License-Identifier: MIT
// The job's own copy, made ready for pstops to read in place.
#include "in_place.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "log.h"

bool whole_job(const postscript_job *j, const document *doc)
{
	document next;
	const mapped_file *copy = &j->copy;
	return doc->before.end == 0 && copy->size - doc->body.end < buffer_size &&
	    next_document(copy->data, copy->size, doc->body.end, &next) ==
	    scan_end;
}

// Makes the bytes of the job's own copy blanks, their line ends kept, so
// that nothing else moves.
static bool blank(const mapped_file *copy, span bytes)
{
	char blanks[buffer_size];
	for (off_t p = bytes.start; p < bytes.end; ) {
		int n = bytes.end - p < buffer_size ? (int)(bytes.end - p) :
		    buffer_size;
		for (int k = 0; k < n; k++) {
			char c = copy->data[p + k];
			blanks[k] = c == '\n' || c == '\r' ? c : ' ';
		}
		ssize_t written = pwrite(copy->fd, blanks, n, p);
		if (written < 0)
			return report_error("cannot blank the job's setup:");
		if (written != n)
			return report_error("cannot blank the job's setup: the disk "
			    "is full");
		p += n;
	}
	return true;
}

// Moves the blocks to be placed into setup.ps, where blocks then point.
static bool move_blocks(const postscript_job *j, span blocks[], int count,
    int setup)
{
	off_t at = 0;
	for (int i = 0; i < count; i++) {
		off_t length = blocks[i].end - blocks[i].start;
		if (!write_all(setup, j->copy.data + blocks[i].start, length))
			return report_error("cannot write the job's setup:");
		blocks[i] = span{at, at + length};
		at += length;
	}
	return true;
}

bool clear_in_place(const postscript_job *j, const document *doc, span blocks[],
    int count, in_place *place)
{
	place->blocks_file = -1;
	if (doc->cut > 0 && (!make_file(j->job->folder, "setup.ps",
	    &place->blocks_file) ||
	    !move_blocks(j, blocks, count, place->blocks_file)))
		return false;
	for (int i = 0; i < doc->cut; i++)
		if (!blank(&j->copy, doc->block[i].bytes))
			return false;
	place->tail_length = (int)(j->copy.size - doc->body.end);
	memcpy(place->tail, j->copy.data + doc->body.end, place->tail_length);
	// Nothing reads the mapped bytes past the document again.
	return ftruncate(j->copy.fd, doc->body.end) == 0 ||
	    report_error("cannot cut the job's copy short:");
}
