// SPDX-License-Identifier: MIT
// The job's files: copies between them, and the job's copy mapped.
#ifndef MORVANE_COPY_H
#define MORVANE_COPY_H

#include <sys/types.h>

// A run of bytes [start, end) of a file.
struct span {
	off_t start;
	off_t end;
};

// How a copy ended; errno tells why it failed.
enum transfer_result {
	transfer_done, transfer_short, transfer_read_error, transfer_write_error,
	transfer_cancelled
};

// Copies count bytes (all, when count is -1) from in to out: from *offset
// when offset is given, else from in's own position.
transfer_result transfer(int in, off_t *offset, off_t count, int out);

// Copies from in, at its position, to out until the end of in. Returns
// false on a failure, after the error line that names the file, from or
// to, that failed, and on a cancel.
bool copy_all(int in, int out, const char *from, const char *to);

// Copies the bytes of the file in to out. Returns false as copy_all does.
bool copy_range(int in, span bytes, int out, const char *to);

// Writes count bytes to out. Returns false, with errno set, when it
// cannot, and on a cancel.
bool write_all(int out, const char *bytes, off_t count);

// A file of the filter's own, mapped into memory to be read.
struct mapped_file {
	int fd;
	const char *data;
	off_t size;
};

// Maps the whole of the file fd. Returns false after the error line.
bool map_file(int fd, const char *name, mapped_file *map);
void unmap_file(const mapped_file *map);

#endif
