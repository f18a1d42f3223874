// SPDX-License-Identifier: MIT
// morvane-raster: a CUPS filter that moves each page of a raster job, CUPS,
// PWG or Apple raster, by morvane's shift for its paper.
//
// Called as CUPS calls a filter, with the queue's PPD named by $PPD:
//   morvane-raster job user title copies options [file]
// It reads the raster from FILE or standard input and writes it to
// standard output in the same format, a line at a time: each page moved
// by the shift of morvane's record for its paper, with the value of the
// vertical dots that the job's options or the PPD give. A back side that
// the printer turns (*cupsBackSide) is moved as it lies in the raster.
#include <unistd.h>

#include "copy.h"
#include "filter_job.h"
#include "log.h"
#include "stream.h"

const log_style program_log = {.error = "\nERROR: morvane-raster: ",
    .debug = "DEBUG: morvane-raster: "};

// Moves the job's pages, or passes the job unchanged where it has no
// value. Returns false after the error line.
static bool print(filter_job *job)
{
	int in = -1;
	if ((job->q->values.has_dots && !start_shifts(job)) ||
	    !open_input(job, &in))
		return false;
	const raster_job j = {.in = in, .out = STDOUT_FILENO, .job = job,
	    .back = read_back_side(job->q->back_side)};
	bool ok = passes_unchanged(job) ?
	    copy_all(in, STDOUT_FILENO, "the raster", "standard output") :
	    move_raster(&j);
	if (in != STDIN_FILENO)
		close(in);
	return ok;
}

int main(int argc, char *argv[])
{
	return run_filter(argc, argv, "morvane-raster", print);
}
