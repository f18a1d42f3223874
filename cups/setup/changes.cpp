// SPDX-License-Identifier: MIT
// morvane-setup's changes to the queues of the CUPS server, and what it
// says of them.
#include "changes.h"

#include <cstdio>
#include <cstring>

#include "check.h"
#include "dots.h"
#include "kinds.h"
#include "log.h"
#include "queue_shifts.h"
#include "server.h"
#include "text.h"
#include "values.h"

namespace {

// ", measured on NAME", where the paper has a name, for the messages.
const char *measured_on(const char *name, char text[buffer_size])
{
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(text, buffer_size, "%s%.63s", name[0] != '\0' ?
	    ", measured on " : "", name);
	return text;
}

// Says the queue's value for every paper, where it comes from and what it
// was measured on, and the papers' own.
void show_values(ppd_file_t *ppd, const char *queue, const queue_dots *dots)
{
	char measured[buffer_size];
	printf("%s: vertical dots %s, %s%s\n", queue, dots->value, dots->source,
	    measured_on(dots->reference, measured));
	ppd_values had;
	read_values(ppd, &had);
	for (int i = 0; i < had.count; i++)
		printf("%s: vertical dots %s for %s, its PPD's *MorvaneVerticalDots "
		    "%s\n", queue, had.own[i].dots, had.own[i].name, had.own[i].name);
}

// Says the value that the jobs on the paper size get: the paper's own, or
// the value for every paper moved from the paper it was measured on.
bool show_paper(ppd_file_t *ppd, const char *queue, const queue_dots *dots,
    const char *size)
{
	paper found, reference;
	if (!find_paper(ppd, size, &found))
		return report_error("the PPD of %s has no page size %s", queue, size);
	ppd_values had;
	read_values(ppd, &had);
	for (int i = 0; i < had.count; i++)
		if (strcmp(had.own[i].name, found.name) == 0) {
			printf("%s: vertical dots %s for %s, its PPD's "
			    "*MorvaneVerticalDots %s\n", queue, had.own[i].dots,
			    found.name, found.name);
			return true;
		}
	double value = 0;
	if (!read_dots(dots->value, &value))
		return report_error("%s: %s \"%s\" is not a number", queue,
		    dots->source, dots->value);
	if (reference_paper(ppd, &reference))
		value = dots_on_paper(value, found.length, reference.length);
	char measured[buffer_size];
	printf("%s: vertical dots %.1f for %s, from %s, %s%s\n", queue, value,
	    found.name, dots->value, dots->source,
	    measured_on(dots->reference, measured));
	return true;
}

// Says what changed.
void say_done(const queue_change *c, const ppd_filters *filters,
    const char *dots, const paper *reference)
{
	char measured[buffer_size];
	measured_on(reference->name, measured);
	if (c->size != nullptr)
		// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
		snprintf(measured, sizeof measured, " for %.63s", reference->name);
	const printer_kind *kind = kind_of(filters);
	const char *program = kind->program != nullptr ? kind->program :
	    "morvane-filter";
	if (dots == nullptr)
		printf("%s: %s no longer runs; the PPD's own filter lines are "
		    "back%s\n", c->queue, program, c->keep ? "; the server keeps its "
		    "calibration for morvane-setup --restore" : "");
	else if (kind->last)
		printf("%s: %s now runs after CUPS's filters, with vertical dots "
		    "%s%s\n", c->queue, program, dots, measured);
	else
		printf("%s: %s now runs before %s, with vertical dots %s%s\n",
		    c->queue, program, filters->*kind->before, dots, measured);
}

// The value that leaves the page where it is on the change's paper, or on
// the queue's default paper, media. Returns false after the error line.
bool neutral_value(ppd_file_t *ppd, const queue_change *c,
    const char *media, char text[64])
{
	paper start;
	if (!(c->size != nullptr ? find_paper(ppd, c->size, &start) :
	    default_paper(ppd, media, &start)))
		return report_error("the PPD of %s has no paper %s to leave in place: "
		    "morvane-setup %s DOTS sets a value", c->queue, c->size != nullptr ?
		    c->size : "by default", c->queue);
	// NOLINTNEXTLINE(cert-err33-c): a number fits.
	snprintf(text, 64, "%ld", neutral_dots(start.length));
	return true;
}

// Installs w->adapted for the queue with the settings that go with it:
// the new value in the queue's default for the dots where it has one, and
// the calibration kept by the server: the new one, or the one it had
// where the lines go but c->keep, or none.
bool install(http_t *http, const work *w, const queue_change *c,
    const char *dots, const queue_facts *facts)
{
	ppd_values now;
	char kept[buffer_size] = "";
	read_values(ppd_at(w->adapted).get(), &now);
	if (dots != nullptr)
		format_calibration(&now, kept);
	else if (c->keep)
		copy_text(kept, sizeof kept, facts->calibration);
	const queue_settings settings = {.dots = dots != nullptr &&
	    c->size == nullptr && facts->dots[0] != '\0' ? now.dots : nullptr,
	    .calibration = kept[0] != '\0' ? kept : nullptr};
	return install_ppd(http, w, c->queue, &settings);
}

// A PPD without lines of morvane's changes nothing; --remove drops the
// calibration that the server keeps all the same, which would otherwise
// tell the check, for ever, that the PPD lost it.
bool nothing_to_take_out(http_t *http, const queue_change *c,
    const queue_facts *facts)
{
	ppd_values kept;
	if (c->keep || !parse_calibration(facts->calibration, &kept)) {
		printf("%s: its PPD has no lines of morvane's; nothing changed\n",
		    c->queue);
		return true;
	}
	if (!forget_calibration(http, c->queue))
		return false;
	printf("%s: its PPD has no lines of morvane's; the server no longer "
	    "keeps its calibration, vertical dots %s measured on %s\n", c->queue,
	    kept.dots, kept.reference);
	return true;
}

// Makes the change to the queue, whose PPD is in w->given and whose facts
// the server gave. A default of the queue's for the dots, which its jobs
// would get before the PPD's, takes the new value too.
bool apply_change(http_t *http, const work *w, const queue_change *c,
    const queue_facts *facts)
{
	char name[buffer_size], neutral[64];
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(name, sizeof name, "the PPD of %s", c->queue);
	if (facts->temporary && (c->dots != nullptr || c->neutral))
		return report_error("%s is a temporary queue, which CUPS deletes "
		    "with its shift: make a permanent one with lpadmin -p QUEUE -E "
		    "-v URI -m everywhere, and set that up", c->queue);
	const char *media = facts->media[0] != '\0' ? facts->media : nullptr;
	if (c->neutral && !neutral_value(facts->ppd.get(), c, media, neutral))
		return false;
	const adaptation a = {.from = w->given, .ppd = facts->ppd.get(),
	    .name = name,
	    .dots = c->neutral ? neutral : c->dots, .media = media,
	    .size = c->size, .restore = c->restore};
	ppd_filters filters;
	paper reference;
	if (!adapt(w, &a, &filters, &reference))
		return false;
	if (a.dots == nullptr && filters.morvane == 0)
		return nothing_to_take_out(http, c, facts);
	if (!install(http, w, c, a.dots, facts))
		return false;
	say_done(c, &filters, a.dots, &reference);
	return true;
}

// Puts back the calibration that the server kept of a queue whose PPD
// lost it, and says so.
bool restore_queue(http_t *http, const work *w, const char *queue,
    const ppd_values *kept, const queue_facts *facts)
{
	printf("%s: its PPD had lost the calibration that the server keeps, "
	    "vertical dots %s measured on %s; putting it back\n", queue,
	    kept->dots, kept->reference);
	const queue_change change = {.queue = queue, .dots = kept->dots,
	    .neutral = false, .size = nullptr, .restore = kept, .keep = false};
	return apply_change(http, w, &change, facts);
}

// Restores the queue where its PPD lost its calibration.
bool restore_lost(http_t *http, const work *w, const char *queue)
{
	queue_facts facts;
	queue_dots dots;
	ppd_values kept;
	char why[buffer_size];
	if (!fetch_queue(http, w, queue, &facts))
		return false;
	if (queue_unusable(queue, &facts, why))
		return true;
	if (!find_dots(w, &facts, &dots))
		return false;
	return !lost_calibration(facts.ppd.get(), &dots, &kept) ||
	    restore_queue(http, w, queue, &kept, &facts);
}

// Takes morvane's lines out of the queue's PPD where it has them; the
// server keeps the calibration.
bool suspend_queue(http_t *http, const work *w, const char *queue)
{
	queue_facts facts;
	char why[buffer_size];
	if (!fetch_queue(http, w, queue, &facts))
		return false;
	if (queue_unusable(queue, &facts, why))
		return true;
	ppd_filters filters = {};
	if (!given_filters(w, &filters))
		return false;
	const queue_change change = {.queue = queue, .dots = nullptr,
	    .neutral = false, .size = nullptr, .restore = nullptr, .keep = true};
	return filters.morvane == 0 || apply_change(http, w, &change, &facts);
}

}

bool change_queue(const work *w, const queue_change *c)
{
	http_handle http = connect_server();
	queue_facts facts;
	char why[buffer_size];
	if (!http || !fetch_queue(http.get(), w, c->queue, &facts))
		return false;
	if (queue_unusable(c->queue, &facts, why))
		return report_error("%s", why);
	// --remove takes the queue's image shifts out with morvane's lines.
	return apply_change(http.get(), w, c, &facts) &&
	    (c->dots != nullptr || c->neutral || c->keep ||
	    forget_shifts(http.get(), c->queue, &facts));
}

bool show_queue(const work *w, const char *queue, const char *size)
{
	http_handle http = connect_server();
	queue_facts facts;
	queue_dots dots;
	ppd_values kept;
	if (!http || !ask_queue(http.get(), w, queue, &facts, &dots))
		return false;
	ppd_file_t *ppd = facts.ppd.get();
	if (lost_calibration(ppd, &dots, &kept))
		return restore_queue(http.get(), w, queue, &kept, &facts);
	if (size != nullptr && dots.runs_filter && dots.value[0] != '\0') {
		if (!show_paper(ppd, queue, &dots, size))
			return false;
		show_shifts(queue, &facts);
		return true;
	}
	char start[buffer_size] = "";
	if (dots.start.name[0] != '\0' && snprintf(start, sizeof start,
	    "; morvane-setup %s --neutral sets %ld, which leaves the page where "
	    "it is on %s", queue, neutral_dots(dots.start.length),
	    dots.start.name) >=
	    (int)sizeof start)
		start[0] = '\0';
	if (!dots.runs_filter)
		printf("%s: its PPD does not run %s%s\n", queue, dots.filter,
		    start[0] != '\0' ? start : "; morvane-setup QUEUE DOTS sets it "
		    "up");
	else if (dots.value[0] != '\0')
		show_values(ppd, queue, &dots);
	else if (has_shifts(&facts))
		printf("%s: no vertical dots: only its shifts move its jobs' "
		    "pages%s\n", queue, start);
	else
		printf("%s: no vertical dots: its jobs pass unshifted%s\n", queue,
		    start);
	show_shifts(queue, &facts);
	return true;
}

bool restore_queues(const work *w)
{
	return each_queue(w, restore_lost);
}

bool suspend_queues(const work *w)
{
	return each_queue(w, suspend_queue);
}
