// SPDX-License-Identifier: MIT
// morvane-filter: a CUPS filter that fits the PostScript that CUPS prepared
// for a printer to its page size.
//
// Called as CUPS calls a filter, with the queue's PPD named by $PPD:
//   morvane-filter job user title copies options [file]
// It reads the job from FILE or standard input: CUPS's PostScript, with
// the device setup of the job's options, and JCL where the PPD has it. It
// takes the page size that the options mark in the PPD, runs morvane on it
// and the command of morvane's record (psutils' pstops, or a copy) on each
// document of the job, and writes the result to standard output: the JCL
// as it was, and the device setup moved before pstops' own prolog, which
// disables setpagedevice.
#include <cstring>

#include <unistd.h>

#include "job.h"
#include "log.h"
#include "ppd.h"
#include "print.h"
#include "run.h"

const log_style program_log = {.error = "\nERROR: morvane-filter: ",
    .debug = "DEBUG: morvane-filter: "};

// Prints the job's copy, once morvane's record for its paper is known.
static bool print_copy(job *j)
{
	j->run.pstops = setting("MORVANE_PSTOPS", PSTOPS_PATH);
	if (j->run.pstops[0] != '/')
		return report_error("pstops must be named by an absolute path, "
		    "not %s", j->run.pstops);
	if (!paper_record(&j->run, &j->paper, &j->record))
		return false;
	if (j->record.kind == pstops_record)
		return print_documents(j);
	debug("page size unknown: the job passes unchanged");
	if (!copy_range(j->copy.fd, span{0, j->copy.size}, STDOUT_FILENO,
	    "standard output"))
		return false;
	count_unchanged(j);
	return true;
}

static bool print_job(job *j, int input, bool raw)
{
	const char *unshifted = "neither the job's option morvane-vertical-dots "
	    "nor the PPD's *MorvaneVerticalDots gives the shift: the job passes "
	    "unchanged";
	// A job that passes unchanged goes straight through, unless its pages
	// are counted: they are counted in its copy.
	if (!j->paper.has_dots && !raw && !j->counts_pages) {
		debug("%s", unshifted);
		return copy_all(input, STDOUT_FILENO, "the job", "standard output");
	}
	int fd = -1;
	if (!copy_job(j, input, raw, &fd))
		return false;
	bool ok = map_file(fd, "the job's copy", &j->copy);
	if (ok && !j->paper.has_dots) {
		debug("%s", unshifted);
		ok = copy_range(fd, span{0, j->copy.size}, STDOUT_FILENO,
		    "standard output");
		if (ok)
			count_unchanged(j);
	} else if (ok) {
		ok = print_copy(j);
	}
	unmap_file(&j->copy);
	close(fd);
	return ok;
}

// Prints the job from file, or from standard input when file is null.
// Returns the exit status.
static int print(job *j, const char *file)
{
	int input = STDIN_FILENO;
	if (file != nullptr && !open_job(file, &input))
		return 1;
	// CUPS names the file only for the first filter of a job: PostScript
	// named so went through none of CUPS's own.
	bool raw = j->paper.raw_postscript && file != nullptr &&
	    strcmp(setting("CONTENT_TYPE", ""), "application/postscript") == 0;
	bool ok = make_folder("morvane-filter", j->run.folder);
	if (ok) {
		ok = print_job(j, input, raw);
		remove_folder(j->run.folder);
	}
	if (cancel_requested())
		debug("the job was cancelled");
	return ok && !cancel_requested() ? 0 : 1;
}

int main(int argc, char *argv[])
{
	if (!start_filter(argc == 6))
		return 1;
	if (argc != 6 && argc != 7) {
		report_error("usage: morvane-filter job user title copies options "
		    "[file]");
		return 1;
	}
	const char *ppd = setting("PPD", nullptr);
	if (ppd == nullptr) {
		report_error("no PPD file: PPD is not set");
		return 1;
	}
	job j = {.run = {.args = argv, .folder = "",
	    .morvane = setting("MORVANE", "morvane"), .pstops = nullptr},
	    .ppd = ppd, .copy = {.fd = -1, .data = "", .size = 0}, .paper = {}, .record = {},
	    .counts_pages = false};
	if (!read_page_setup(ppd, argv[5], &j.paper))
		return 1;
	j.counts_pages = ends_chain(j.paper.chain_ends, "morvane-filter");
	return print(&j, argc == 7 ? argv[6] : nullptr);
}
