// SPDX-License-Identifier: MIT
// The job's private folder, and the copies of the job.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filter.h"

const char *setting(const char *name, const char *fallback)
{
	const char *value = getenv(name);
	return value != nullptr && *value != '\0' ? value : fallback;
}

bool make_folder(char folder[folder_size])
{
	const char *tmpdir = setting("TMPDIR", "/tmp");
	if (snprintf(folder, folder_size, "%s/morvane-filter.XXXXXX", tmpdir) >=
	    folder_size)
		return report_error("the name of TMPDIR is too long");
	if (mkdtemp(folder) == nullptr)
		return report_error("cannot make a folder in %s: %s", tmpdir,
		    strerror(errno));
	return true;
}

void remove_folder(const char *folder)
{
	// The folder holds only files: the job's and what its programs left.
	DIR *entries = opendir(folder);
	if (entries != nullptr) {
		for (dirent *entry; (entry = readdir(entries)) != nullptr;)
			if (strcmp(entry->d_name, ".") != 0 &&
			    strcmp(entry->d_name, "..") != 0)
				unlinkat(dirfd(entries), entry->d_name, 0);
		closedir(entries);
	}
	if (rmdir(folder) != 0)
		debug("cannot remove %s: %s", folder, strerror(errno));
}

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

// Copies as transfer does, and reports a failure.
static bool copy(int in, off_t *offset, off_t count, int out,
    const char *from, const char *to)
{
	switch (transfer(in, offset, count, out)) {
	case transfer_done:
		return true;
	case transfer_cancelled:
		return false;
	case transfer_short:
		return report_error("cannot read %s: it ended early", from);
	case transfer_read_error:
		return report_error("cannot read %s: %s", from, strerror(errno));
	default:
		return report_error("cannot write %s: %s", to, strerror(errno));
	}
}

bool copy_all(int in, int out, const char *from, const char *to)
{
	return copy(in, nullptr, -1, out, from, to);
}

bool copy_range(int in, off_t start, off_t end, int out, const char *to)
{
	off_t offset = start;
	return copy(in, &offset, end - start, out, "the job's files", to);
}

bool map_file(int fd, const char *name, mapped_file *map)
{
	struct stat status;
	map->fd = fd;
	map->data = "";
	map->size = 0;
	if (fstat(fd, &status) != 0)
		return report_error("cannot read %s: %s", name, strerror(errno));
	if (status.st_size == 0)
		return true;
	void *data = mmap(nullptr, status.st_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
	if (data == MAP_FAILED)
		return report_error("cannot map %s into memory: %s", name,
		    strerror(errno));
	map->data = (const char *)data;
	map->size = status.st_size;
	return true;
}

void unmap_file(const mapped_file *map)
{
	if (map->size > 0)
		munmap((void *)map->data, map->size);
}
