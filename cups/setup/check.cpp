// SPDX-License-Identifier: MIT
// The check of the queues.
#include "check.h"

#include <cstdio>
#include <cstring>

#include "log.h"

bool lost_calibration(const work *w, const queue_dots *dots,
    ppd_values *kept)
{
	if (!parse_calibration(dots->kept, kept))
		return false;
	ppd_values had;
	read_values(w->given, &had);
	return !dots->runs_filter || !same_values(&had, kept);
}

namespace {

// Whether the queue's values fit every paper of its PPD. Says them.
bool values_fit(const work *w, const char *queue, const queue_dots *dots)
{
	ppd_values had;
	read_values(w->given, &had);
	printf("%s: %s runs, vertical dots %s, %s%s%s\n", queue, dots->filter,
	    dots->value, dots->source, dots->reference[0] != '\0' ?
	    ", measured on " : "", dots->reference);
	for (int i = 0; i < had.count; i++)
		printf("%s: vertical dots %s for %s, its own\n", queue,
		    had.own[i].dots, had.own[i].name);
	paper reference, size;
	bool measured = reference_paper(w->given, &reference);
	bool fits = fits_every_size(w->given, dots->value, measured ?
	    &reference : nullptr);
	for (int i = 0; i < had.count; i++)
		fits = (!named_paper(w->given, had.own[i].name, &size) ||
		    fits_paper(had.own[i].dots, &size)) && fits;
	return fits;
}

// Checks one queue. Returns false where it has lost its calibration or
// has a value that does not fit.
bool check_queue(http_t *http, const work *w, const char *queue)
{
	queue_defaults defaults;
	if (!fetch_queue(http, w, queue, &defaults))
		return false;
	if (!defaults.has_ppd) {
		printf("%s: no PPD, so no morvane-filter\n", queue);
		return true;
	}
	queue_dots dots;
	ppd_values kept;
	if (!find_dots(http, w, queue, &dots))
		return false;
	if (lost_calibration(w, &dots, &kept)) {
		printf("%s: its PPD has lost the calibration that the server keeps, "
		    "vertical dots %s measured on %s; morvane-setup %s puts it "
		    "back\n", queue, kept.dots, kept.reference, queue);
		return false;
	}
	if (!dots.runs_filter) {
		printf("%s: %s does not run\n", queue, dots.filter);
		return true;
	}
	if (dots.value[0] == '\0') {
		printf("%s: %s runs, with no vertical dots: its jobs pass "
		    "unshifted\n", queue, dots.filter);
		return true;
	}
	return values_fit(w, queue, &dots);
}

}

bool check_queues(const work *w, const char *queue)
{
	http_handle http = connect_server();
	if (!http)
		return false;
	if (queue != nullptr)
		return check_queue(http.get(), w, queue);
	cups_dest_t *dests = nullptr;
	int count = server_queues(http.get(), &dests);
	bool ok = count >= 0;
	for (int i = 0; i < count; i++)
		if (dests[i].instance == nullptr)
			ok = check_queue(http.get(), w, dests[i].name) && ok;
	cupsFreeDests(count > 0 ? count : 0, dests);
	return ok;
}
