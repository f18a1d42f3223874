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
#include <fcntl.h>
#include <unistd.h>

#include "copy.h"
#include "folder.h"
#include "log.h"
#include "run.h"
#include "stream.h"

const log_style program_log = {.error = "\nERROR: morvane-raster: ",
    .debug = "DEBUG: morvane-raster: "};

// Moves the job's pages, or passes the job unchanged where it has no
// value. Returns false after the error line.
static bool print(page_shifts *shifts, int in)
{
	if (!shifts_pages(shifts))
		return copy_all(in, STDOUT_FILENO, "the raster", "standard output");
	const raster_job j = {.in = in, .out = STDOUT_FILENO, .shifts = shifts,
	    .back = read_back_side(shifts->setup.back_side)};
	return move_raster(&j);
}

int main(int argc, char *argv[])
{
	if (argc != 6 && argc != 7) {
		report_error("usage: morvane-raster job user title copies "
		    "options [file]");
		return 1;
	}
	if (!start_filter(argc == 6))
		return 1;
	int in = STDIN_FILENO;
	if (argc == 7 && (in = open(argv[6], O_RDONLY | O_CLOEXEC)) < 0) {
		report_error("cannot open %s:", argv[6]);
		return 1;
	}
	page_shifts shifts;
	shifts.run = {.args = argv, .folder = "",
	    .morvane = setting("MORVANE", "morvane"),
	    .pstops = setting("MORVANE_PSTOPS", PSTOPS_PATH)};
	bool ok = start_shifts(&shifts, argv, "morvane-raster") &&
	    print(&shifts, in);
	end_shifts(&shifts);
	return ok ? 0 : 1;
}
