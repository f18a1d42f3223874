// SPDX-License-Identifier: MIT
// The job's private folder, and the copies of the job.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
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

static bool write_all(int out, const char *bytes, ssize_t count)
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

bool copy_all(int in, int out, const char *what)
{
	// The kernel moves the bytes where it can: sendfile from a file,
	// splice from a pipe. read and write do the rest, such as an output
	// opened for appending.
	enum { by_sendfile, by_splice, by_read } method = by_sendfile;
	const int chunk = 1 << 20;
	// Into a pipe, a chunk at a time wakes the reader far less often than
	// the default 64 KiB. Where the pipe cannot grow, it stays as it is.
	(void)fcntl(out, F_SETPIPE_SZ, chunk);
	char buffer[buffer_size];
	for (;;) {
		if (cancel_requested()) {
			debug("the job was cancelled");
			return false;
		}
		ssize_t n;
		if (method == by_sendfile)
			n = sendfile(out, in, nullptr, chunk);
		else if (method == by_splice)
			n = splice(in, nullptr, out, nullptr, chunk, SPLICE_F_MOVE);
		else if ((n = read(in, buffer, sizeof buffer)) > 0 &&
		    !write_all(out, buffer, n))
			n = -1;
		if (n == 0)
			return true;
		if (n > 0 || errno == EINTR)
			continue;
		if ((errno == EINVAL || errno == ENOSYS) && method != by_read)
			method = method == by_sendfile ? by_splice : by_read;
		else if (!cancel_requested())
			return report_error("%s: %s", what, strerror(errno));
	}
}
