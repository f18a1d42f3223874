// SPDX-License-Identifier: MIT
// The copies of the job, by the kernel where it can.
#include "copy.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log.h"
#include "run.h"

bool write_all(int out, const char *bytes, off_t count)
{
	while (count > 0) {
		ssize_t n = write(out, bytes, count);
		if (n < 0 && errno != EINTR)
			return false;
		if (n > 0) {
			bytes += n;
			count -= n;
		}
		if (cancel_requested())
			return false;
	}
	return true;
}

transfer_result transfer(int in, off_t *offset, off_t count, int out)
{
	// The kernel moves the bytes where it can, sendfile from a file and
	// splice from a pipe; read and write do the rest, such as an output
	// opened for appending, and tell which side failed, so any other
	// failure of the kernel's copy is retried with them.
	enum { by_sendfile, by_splice, by_read } method = by_sendfile;
	const off_t chunk = 1 << 20;
	// Into a pipe, a chunk at a time wakes the reader far less often than
	// the default 64 KiB. Where the pipe cannot grow, it stays as it is.
	(void)fcntl(out, F_SETPIPE_SZ, (int)chunk);
	char buffer[buffer_size];
	while (count != 0) {
		if (cancel_requested())
			return transfer_cancelled;
		size_t want = count < 0 || count > chunk ? chunk : count;
		ssize_t n;
		bool reading = false;
		if (method == by_sendfile) {
			n = sendfile(out, in, offset, want);
		} else if (method == by_splice) {
			n = splice(in, offset, out, nullptr, want, SPLICE_F_MOVE);
		} else {
			want = want < sizeof buffer ? want : sizeof buffer;
			n = offset != nullptr ? pread(in, buffer, want, *offset) :
			    read(in, buffer, want);
			reading = n < 0;
			if (n > 0 && !write_all(out, buffer, n))
				n = -1;
			else if (n > 0 && offset != nullptr)
				*offset += n;
		}
		if (n == 0)
			return count < 0 ? transfer_done : transfer_short;
		if (n > 0)
			count -= count < 0 ? 0 : n;
		else if (errno != EINTR && method != by_read)
			method = method == by_sendfile ? by_splice : by_read;
		else if (errno != EINTR && !cancel_requested())
			return reading ? transfer_read_error : transfer_write_error;
	}
	return transfer_done;
}

// Reports how a copy failed.
static bool reported(transfer_result done, const char *from, const char *to)
{
	switch (done) {
	case transfer_done:
		return true;
	case transfer_cancelled:
		return false;
	case transfer_short:
		return report_error("cannot read %s: it ended early", from);
	case transfer_read_error:
		return report_error("cannot read %s:", from);
	default:
		return report_error("cannot write %s:", to);
	}
}

bool copy_all(int in, int out, const char *from, const char *to)
{
	return reported(transfer(in, nullptr, -1, out), from, to);
}

bool copy_range(int in, span bytes, int out, const char *to)
{
	off_t offset = bytes.start;
	return reported(transfer(in, &offset, bytes.end - bytes.start, out),
	    "the job's files", to);
}

bool map_file(int fd, const char *name, mapped_file *map)
{
	struct stat status;
	map->fd = fd;
	map->data = "";
	map->size = 0;
	if (fstat(fd, &status) != 0)
		return report_error("cannot read %s:", name);
	if (status.st_size == 0)
		return true;
	void *data = mmap(nullptr, status.st_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
	if (data == MAP_FAILED)
		return report_error("cannot map %s into memory:", name);
	map->data = (const char *)data;
	map->size = status.st_size;
	return true;
}

void unmap_file(const mapped_file *map)
{
	if (map->size > 0)
		munmap((void *)map->data, map->size);
}
