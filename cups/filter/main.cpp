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

#include "filter_job.h"
#include "log.h"
#include "ppd.h"
#include "postscript_job.h"
#include "print.h"

const log_style program_log = {.error = "\nERROR: morvane-filter: ",
    .debug = "DEBUG: morvane-filter: "};

// Prints the job's copy, once morvane's record for its paper is known.
static bool print_copy(postscript_job *j)
{
	const char *pstops = j->job->env.psutils_pstops;
	if (pstops[0] != '/')
		return report_error("pstops must be named by an absolute path, "
		    "not %s", pstops);
	const marked_paper *marked = &j->job->marked;
	if (!paper_record(j->job, marked->known ? &marked->value : nullptr,
	    &j->record))
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

// A job that passes unchanged goes straight through, unless its pages are
// counted: they are counted in its copy.
static bool print_job(postscript_job *j, int input, bool raw)
{
	if (!raw && !j->counts_pages && passes_unchanged(j->job))
		return copy_all(input, STDOUT_FILENO, "the job", "standard output");
	int fd = -1;
	if (!copy_job(j, input, raw, &fd))
		return false;
	bool ok = map_file(fd, "the job's copy", &j->copy);
	if (ok && passes_unchanged(j->job)) {
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

// Prints the job from its file, or from standard input.
static bool print(filter_job *job)
{
	int input = STDIN_FILENO;
	if (job->file != nullptr && !open_job(job->file, &input))
		return false;
	// CUPS names the file only for the first filter of a job: PostScript
	// named so went through none of CUPS's own.
	bool raw = job->q->raw_postscript && job->file != nullptr &&
	    strcmp(job->env.content_type, "application/postscript") == 0;
	postscript_job j = {.job = job, .copy = {.fd = -1, .data = "", .size = 0},
	    .record = {}, .counts_pages = ends_chain(job->q->chain_ends,
	    job->program)};
	return make_job_folder(job) && print_job(&j, input, raw);
}

int main(int argc, char *argv[])
{
	return run_filter(argc, argv, "morvane-filter", print);
}
