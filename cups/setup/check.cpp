// SPDX-License-Identifier: MIT
// The check of the queues: it only reads.
#include "check.h"

#include <cstdio>
#include <cstring>

#include "dots.h"
#include "log.h"
#include "queue_shifts.h"

bool lost_calibration(ppd_file_t *ppd, const queue_dots *dots,
    ppd_values *kept)
{
	if (!parse_calibration(dots->kept, kept))
		return false;
	ppd_values had;
	read_values(ppd, &had);
	return !dots->runs_filter || !same_values(&had, kept);
}

namespace {

// Whether text, from source, is a value that the filters take; says what
// is wrong where it is not: every job of the queue fails.
bool a_number(const char *queue, const char *source, const char *text,
    const char *mend)
{
	double value = 0;
	return read_dots(text, &value) || report_error("%s: %s \"%s\" is not a "
	    "number, so every job fails: %s", queue, source, text, mend);
}

// Whether each value that the queue's jobs take is a number: the one in
// effect, and every paper's own, which the filters read for every job.
bool numbers(const char *queue, const queue_dots *dots,
    const ppd_values *had)
{
	char mend[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c): a command cut short still says it.
	snprintf(mend, sizeof mend, "morvane-setup %s DOTS sets a new one",
	    queue);
	bool ok = a_number(queue, dots->source, dots->value, mend);
	for (int i = 0; i < had->count; i++) {
		char source[buffer_size];
		// NOLINTNEXTLINE(cert-err33-c): libcups keeps names short.
		snprintf(source, sizeof source, "its PPD's *MorvaneVerticalDots %s",
		    had->own[i].name);
		// NOLINTNEXTLINE(cert-err33-c): as above.
		snprintf(mend, sizeof mend, "morvane-setup %s DOTS --media %s sets "
		    "a new one", queue, had->own[i].name);
		ok = a_number(queue, source, had->own[i].dots, mend) && ok;
	}
	return ok;
}

// Whether the queue's values are numbers that fit every paper of its PPD.
// Says them.
bool values_fit(ppd_file_t *ppd, const char *queue, const queue_dots *dots)
{
	ppd_values had;
	read_values(ppd, &had);
	if (!numbers(queue, dots, &had))
		return false;
	printf("%s: %s runs, vertical dots %s, %s%s%s\n", queue, dots->filter,
	    dots->value, dots->source, dots->reference[0] != '\0' ?
	    ", measured on " : "", dots->reference);
	for (int i = 0; i < had.count; i++)
		printf("%s: vertical dots %s for %s, its own\n", queue,
		    had.own[i].dots, had.own[i].name);
	paper reference, size;
	bool measured = reference_paper(ppd, &reference);
	bool fits = fits_every_size(ppd, dots->value, measured ?
	    &reference : nullptr);
	for (int i = 0; i < had.count; i++)
		fits = (!find_paper(ppd, had.own[i].name, &size) ||
		    fits_paper(had.own[i].dots, &size)) && fits;
	return fits;
}

// Checks the vertical dots of a queue that morvane-setup can set up.
// Returns false where it has lost its calibration or has a value that
// fails its jobs.
bool check_dots(const work *w, const char *queue, const queue_facts &facts)
{
	queue_dots dots;
	ppd_values kept;
	if (!find_dots(w, &facts, &dots))
		return false;
	if (lost_calibration(facts.ppd.get(), &dots, &kept)) {
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
	return values_fit(facts.ppd.get(), queue, &dots);
}

// Checks one queue: its vertical dots, and then its image shifts. Returns
// false where it has lost its calibration or has a value that fails its
// jobs.
bool check_queue(http_t *http, const work *w, const char *queue)
{
	queue_facts facts;
	char why[buffer_size];
	if (!fetch_queue(http, w, queue, &facts))
		return false;
	if (queue_unusable(queue, &facts, why)) {
		printf("%s\n", why);
		return true;
	}
	return check_dots(w, queue, facts) && check_shifts(queue, &facts);
}

}

bool each_queue(const work *w, queue_task task)
{
	http_handle http = connect_server();
	if (!http)
		return false;
	cups_dest_t *dests = nullptr;
	int count = server_queues(http.get(), &dests);
	bool ok = count >= 0;
	for (int i = 0; i < count; i++)
		if (dests[i].instance == nullptr)
			ok = task(http.get(), w, dests[i].name) && ok;
	cupsFreeDests(count > 0 ? count : 0, dests);
	return ok;
}

bool check_queues(const work *w, const char *queue)
{
	if (queue == nullptr)
		return each_queue(w, check_queue);
	http_handle http = connect_server();
	return http && check_queue(http.get(), w, queue);
}
