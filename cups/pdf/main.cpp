// SPDX-License-Identifier: MIT
// morvane-pdf: a CUPS filter that moves the content of each page of a PDF
// job by morvane's shift for its paper, for printers that take PDF.
//
// Called as CUPS calls a filter, with the queue's PPD named by $PPD:
//   morvane-pdf job user title copies options [file]
// It reads the PDF from FILE, or copies it from standard input into a
// private folder first, and writes it to standard output with each page's
// content moved by the shift of morvane's record for its paper, the page
// as the sheet has it (its /Rotate counted), with the value of the
// vertical dots that the job's options or the PPD give.
#include <fcntl.h>
#include <unistd.h>

#include "copy.h"
#include "document.h"
#include "filter_job.h"
#include "folder.h"
#include "log.h"

const log_style program_log = {.error = "\nERROR: morvane-pdf: ",
    .debug = "DEBUG: morvane-pdf: "};

// Copies standard input into the file path. Returns false after the error
// line.
static bool save_input(const char *path)
{
	int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	if (fd < 0)
		return report_error("cannot make %s:", path);
	bool ok = copy_all(STDIN_FILENO, fd, "standard input", path);
	if (close(fd) != 0 && ok)
		ok = report_error("cannot write %s:", path);
	return ok;
}

static bool print(filter_job *job)
{
	if (passes_unchanged(job)) {
		int in = -1;
		if (!open_input(job, &in))
			return false;
		bool ok = copy_all(in, STDOUT_FILENO, "the PDF", "standard output");
		if (in != STDIN_FILENO)
			close(in);
		return ok;
	}
	if (!start_shifts(job))
		return false;
	char saved[buffer_size];
	const char *file = job->file;
	if (file == nullptr) {
		path_in(saved, job->folder, "job.pdf");
		if (!save_input(saved))
			return false;
		file = saved;
	}
	return move_pdf(file, job);
}

int main(int argc, char *argv[])
{
	return run_filter(argc, argv, "morvane-pdf", print);
}
