// SPDX-License-Identifier: MIT
// The job's copy in the filter's own folder, which nothing else changes
// while the filter reads it.
#include "postscript_job.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log.h"
#include "run.h"

// A folder or a device is no job, and on a FIFO pstops would wait for
// ever. Only what was opened here is read, never the name again.
bool open_job(const char *file, int *fd)
{
	*fd = open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
	if (*fd < 0)
		return cancel_requested() ? false :
		    report_error("cannot read the job %s:", file);
	struct stat status;
	const char *kind = nullptr;
	if (fstat(*fd, &status) != 0)
		kind = strerror(errno);
	else if (S_ISDIR(status.st_mode))
		kind = "it is a folder";
	else if (S_ISFIFO(status.st_mode))
		kind = "it is a FIFO";
	else if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
		kind = "it is a device";
	else if (!S_ISREG(status.st_mode))
		kind = "it is not a regular file";
	if (kind == nullptr)
		return true;
	close(*fd);
	return report_error("cannot read the job %s: %s", file, kind);
}

bool make_file(const char *folder, const char *name, int *fd)
{
	char path[buffer_size];
	path_in(path, folder, name);
	*fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	return *fd >= 0 || report_error("cannot make %s:", path);
}

// PostScript that comes straight from the client, through a PPD with the
// filter lines of morvane 1.3.0: CUPS's own pstops filter prepares it
// first, as it does in a queue of CUPS's own.
static bool prepare_job(const postscript_job *j, int input, int out)
{
	char pstops[buffer_size];
	const char *server = j->job->env.cups_serverbin;
	if (server[0] != '/' || snprintf(pstops, sizeof pstops, "%s/filter/pstops",
	    server) >= (int)sizeof pstops)
		return report_error("CUPS_SERVERBIN must be an absolute path, "
		    "not %s", server);
	char *const *args = j->job->args;
	const char *argv[] = {pstops, args[1], args[2], args[3], args[4],
	    args[5], nullptr};
	const program p = {.argv = argv, .folder = nullptr, .in = input};
	run_result result;
	return run_program(&p, out, &result) && (result.status == 0 ||
	    report_error("%s failed with status %d", pstops, result.status));
}

bool copy_job(const postscript_job *j, int input, bool raw, int *fd)
{
	if (!make_file(j->job->folder, "job.ps", fd))
		return false;
	if (raw ? prepare_job(j, input, *fd) :
	    copy_all(input, *fd, "the job", "the job's copy"))
		return true;
	close(*fd);
	return false;
}
