// SPDX-License-Identifier: MIT
// morvane-setup: puts morvane-filter into a printer's PPD, where CUPS feeds
// the printer PostScript, and checks with CUPS's own cupsfilter that every
// kind of job then passes it.
//   morvane-setup --ppd FILE DOTS   FILE adapted, on standard output
//   morvane-setup QUEUE DOTS        the same for a queue of the server
//   morvane-setup QUEUE             the vertical dots that its jobs get
//   morvane-setup --calibrate QUEUE a page that tells which to set
//   morvane-setup --check [QUEUE]   whether the queues have what was set
//   morvane-setup --remove QUEUE    the queue's PPD without morvane's lines
//   morvane-setup --restore         each calibration that a new PPD lost,
//                                   put back
//   morvane-setup --suspend         every queue's PPD without morvane's
//                                   lines, the calibrations kept
#include <cstdio>
#include <cstring>

#include "calibrate.h"
#include "check.h"
#include "dots.h"
#include "log.h"
#include "queue.h"
#include "values.h"

const log_style program_log = {.error = "morvane-setup: ", .debug = nullptr};

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

static const char usage[] = "usage: morvane-setup --ppd FILE DOTS | QUEUE "
    "[DOTS | --neutral] [--media SIZE] | --calibrate QUEUE [--media SIZE] | "
    "--check [QUEUE] | --remove QUEUE | --restore | --suspend | --help | "
    "--version";

// Whether the arguments are the option alone, or with one more.
static bool alone(int argc, char *argv[], const char *option)
{
	return argc == 2 && strcmp(argv[1], option) == 0;
}
static bool with_one(int argc, char *argv[], const char *option)
{
	return argc == 3 && strcmp(argv[1], option) == 0;
}

static bool setup(int argc, char *argv[], const work *w)
{
	// A value, a calibration page or the value shown for one paper size.
	const char *size = nullptr;
	if (argc >= 4 && strcmp(argv[argc - 2], "--media") == 0) {
		size = argv[argc - 1];
		argc -= 2;
	}
	if (size == nullptr && (alone(argc, argv, "--check") ||
	    with_one(argc, argv, "--check")))
		return check_queues(w, argc == 3 ? argv[2] : nullptr);
	if (size == nullptr && alone(argc, argv, "--restore"))
		return restore_queues(w);
	if (size == nullptr && alone(argc, argv, "--suspend"))
		return suspend_queues(w);
	if (with_one(argc, argv, "--calibrate"))
		return calibrate(w, argv[2], size);
	bool file = argc == 4 && strcmp(argv[1], "--ppd") == 0;
	bool remove = with_one(argc, argv, "--remove") && size == nullptr;
	bool queue = (argc == 2 || argc == 3) && argv[1][0] != '-';
	if (!file && !remove && !queue)
		return report_error("%s", usage);
	if (queue && argc == 2)
		return show_queue(w, argv[1], size);
	bool neutral = queue && strcmp(argv[2], "--neutral") == 0;
	const char *dots = remove || neutral ? nullptr : argv[argc - 1];
	char stored[dots_text_size];
	if (dots != nullptr && !canonical_dots(dots, stored))
		return false;
	if (dots != nullptr)
		dots = stored;
	const queue_change change = {.queue = argv[remove ? 2 : 1], .dots = dots,
	    .neutral = neutral, .size = size, .restore = nullptr, .keep = false};
	if (!file)
		return change_queue(w, &change);
	const adaptation a = {.from = argv[2], .ppd = nullptr, .name = argv[2],
	    .dots = dots,
	    .media = nullptr, .size = size, .restore = nullptr};
	ppd_filters filters;
	paper reference;
	return adapt(w, &a, &filters, &reference) && print_file(w->adapted);
}

int main(int argc, char *argv[])
{
	if (alone(argc, argv, "--help") || alone(argc, argv, "-h") ||
	    alone(argc, argv, "--version")) {
		bool help = argv[1][1] == 'h' || argv[1][2] == 'h';
		printf("%s\n", help ? usage : "morvane-setup " MORVANE_VERSION);
		return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
	}
	work w = {};
	if (!make_work(&w))
		return 1;
	bool ok = setup(argc, argv, &w);
	remove_folder(w.folder);
	if (fflush(stdout) != 0 || ferror(stdout))
		ok = report_error("cannot write standard output:");
	return ok ? 0 : 1;
}
