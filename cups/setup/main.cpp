// SPDX-License-Identifier: MIT
// morvane-setup: puts morvane-filter into a printer's PPD, where CUPS feeds
// the printer PostScript, and checks with CUPS's own cupsfilter that every
// kind of job then passes it.
//   morvane-setup --ppd FILE DOTS   FILE adapted, on standard output
//   morvane-setup QUEUE [DOTS | --neutral] [--media SIZE]
//                                   the same for a queue of the server, or
//                                   with the value that leaves the page where
//                                   it is; without either, the vertical dots
//                                   that its jobs get; for the paper SIZE
//                                   alone with --media
//   morvane-setup --calibrate QUEUE [--media SIZE]
//                                   a page that tells which to set, on its
//                                   default paper or on SIZE
//   morvane-setup QUEUE --shift NAME MM
//                                   the queue's image shift NAME (x, x-front,
//                                   y-front, x-back, y-back) of MM
//                                   millimetres, its IPP default
//   morvane-setup QUEUE --no-shift NAME
//                                   that default dropped (also y, the
//                                   vertical one of both sides, which an
//                                   administrator may have set)
//   morvane-setup --check [QUEUE]   whether the queues have what was set
//   morvane-setup --remove QUEUE    the queue's PPD without morvane's lines,
//                                   and without its image shifts
//   morvane-setup --restore         each calibration that a new PPD lost,
//                                   put back
//   morvane-setup --suspend         every queue's PPD without morvane's
//                                   lines, the calibrations kept
//   morvane-setup --help (or -h)    the usage line
//   morvane-setup --version         the version
#include <cstdio>

#include "calibrate.h"
#include "check.h"
#include "log.h"
#include "changes.h"
#include "queue_shifts.h"
#include "request.h"
#include "values.h"

const log_style program_log = {.error = "morvane-setup: ", .debug = nullptr};

static const char usage[] = "usage: morvane-setup --ppd FILE DOTS | QUEUE "
    "[DOTS | --neutral] [--media SIZE] | QUEUE --shift NAME MM | QUEUE "
    "--no-shift NAME | --calibrate QUEUE [--media SIZE] | --check [QUEUE] | "
    "--remove QUEUE | --restore | --suspend | --help | --version";

// Copies the file to standard output, whose failure main reports.
static bool print_file(const char *path)
{
	FILE *in = fopen(path, "rb");
	if (in == nullptr)
		return report_error("cannot read %s:", path);
	char bytes[buffer_size];
	size_t n;
	while ((n = fread(bytes, 1, sizeof bytes, in)) > 0 &&
	    fwrite(bytes, 1, n, stdout) == n)
		;
	bool ok = !ferror(in);
	(void)fclose(in);
	return ok || report_error("cannot read %s", path);
}

// Writes the file of --ppd adapted to standard output.
static bool print_adapted(const work *w, const setup_request *r,
    const char *dots)
{
	const adaptation a = {.from = r->file, .ppd = nullptr, .name = r->file,
	    .dots = dots, .media = nullptr, .size = r->size, .restore = nullptr};
	ppd_filters filters;
	paper reference;
	return adapt(w, &a, &filters, &reference) && print_file(w->adapted);
}

// Sets the queue's value, or takes morvane's lines out of its PPD.
static bool set_queue(const work *w, const setup_request *r, const char *dots)
{
	const queue_change change = {.queue = r->queue, .dots = dots,
	    .neutral = r->neutral, .size = r->size, .restore = nullptr,
	    .keep = false};
	return change_queue(w, &change);
}

// Does what the request asks; a request of no form of the usage line gets
// the usage line.
static bool run(const setup_request *r, const work *w)
{
	char stored[dots_text_size];
	const char *dots = nullptr;
	switch (r->command) {
	case ppd_request:
		return dots_to_write(r->dots, stored, &dots) &&
		    print_adapted(w, r, dots);
	case set_request:
	case remove_request:
		return dots_to_write(r->dots, stored, &dots) &&
		    set_queue(w, r, dots);
	case show_request: return show_queue(w, r->queue, r->size);
	case calibrate_request: return calibrate(w, r->queue, r->size);
	case check_request: return check_queues(w, r->queue);
	case restore_request: return restore_queues(w);
	case suspend_request: return suspend_queues(w);
	case shift_request: return set_shift(w, r->queue, r->shift, r->mm);
	case no_shift_request: return drop_shift(w, r->queue, r->shift);
	default: return report_error("%s", usage);
	}
}

int main(int argc, char *argv[])
{
	setup_request request;
	if (!read_request(argc, argv, &request))
		request.command = no_request;
	if (request.command == help_request ||
	    request.command == version_request) {
		printf("%s\n", request.command == help_request ? usage :
		    "morvane-setup " MORVANE_VERSION);
		return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
	}
	work w = {};
	if (!make_work(&w))
		return 1;
	bool ok = run(&request, &w);
	remove_folder(w.folder);
	if (fflush(stdout) != 0 || ferror(stdout))
		ok = report_error("cannot write standard output:");
	return ok ? 0 : 1;
}
