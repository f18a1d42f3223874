// SPDX-License-Identifier: MIT
// morvane-setup: puts morvane-filter into a printer's PPD, where CUPS feeds
// the printer PostScript, and checks with CUPS's own cupsfilter that every
// kind of job then passes it.
//   morvane-setup --ppd FILE DOTS   FILE adapted, on standard output
//   morvane-setup QUEUE DOTS        the same for a queue of the server
//   morvane-setup QUEUE             the vertical dots that its jobs get
//   morvane-setup --calibrate QUEUE a page that tells which to set
//   morvane-setup --remove QUEUE    the queue's PPD without morvane's lines
#include <cstdio>
#include <cstring>

#include "adapt.h"
#include "calibrate.h"
#include "chain.h"
#include "check.h"
#include "dots.h"
#include "kinds.h"
#include "log.h"
#include "ppd.h"
#include "server.h"
#include "sizes.h"

const log_style program_log = {.error = "morvane-setup: ", .debug = nullptr};

// Reads the filter lines of the PPD at from, and refuses what cannot be
// adapted: name is the PPD's, for the messages.
static bool read_ppd(FILE *in, const char *name, const char *dots,
    ppd_filters *filters)
{
	read_filters(in, filters);
	if (ferror(in) || fseek(in, 0, SEEK_SET) != 0)
		return report_error("cannot read the PPD file %s:", name);
	if (filters->unclosed)
		return report_error("cannot read the PPD file %s: a quoted value "
		    "runs to its end", name);
	if (filters->zero)
		return report_error("cannot read the PPD file %s: it holds a zero "
		    "byte", name);
	const printer_kind *kind = kind_of(filters);
	if (dots != nullptr && kind->refusal != nullptr)
		// NOLINTNEXTLINE(clang-diagnostic-format-nonliteral): the table's.
		return report_error(kind->refusal, name, filters->types);
	return true;
}

// What morvane-setup makes of a PPD: the file, its name for the messages,
// and the value to set (null: morvane's lines taken out): for every paper,
// measured on the queue's default paper, media (a PWG name), or on the
// PPD's default; or, where size is not null, for that paper alone.
struct adaptation {
	const char *from;
	const char *name;
	const char *dots;
	const char *media;
	const char *size;
	const ppd_values *restore;  // the values that the server kept, put
	                            // back as they are, or null
};

// The values that the PPD gets for a value of one paper's own: the PPD's
// value for every paper as it was, and the papers' own, that one's new.
static bool choose_own_value(const adaptation *a, paper *reference,
    ppd_values *had, morvane_values *values)
{
	if (had->dots[0] == '\0')
		return report_error("%s has no vertical dots for every paper, which "
		    "the others get: set them first", a->name);
	if (!named_paper(a->from, a->size, reference))
		return report_error("%s has no page size %s", a->name, a->size);
	int i = 0;
	while (i < had->count && strcmp(had->own[i].name, reference->name) != 0)
		i++;
	if (i == max_own_values)
		return report_error("%s has values of their own for %d papers "
		    "already", a->name, max_own_values);
	had->count += i == had->count;
	// NOLINTNEXTLINE(cert-err33-c): the name is libcups', the value checked.
	snprintf(had->own[i].name, sizeof had->own[i].name, "%s", reference->name);
	// NOLINTNEXTLINE(cert-err33-c): as above.
	snprintf(had->own[i].dots, sizeof had->own[i].dots, "%s", a->dots);
	*values = morvane_values{.dots = had->dots, .reference =
	    had->reference[0] != '\0' ? had->reference : nullptr,
	    .count = had->count, .own = had->own};
	return fits_paper(a->dots, reference);
}

// The values that the PPD gets: the value, the paper that it is measured
// on, where the PPD has one, in reference (else its name is empty), and
// the papers' own values that the PPD had. Refuses a value that would put
// the page off one of the PPD's sizes.
static bool choose_values(const adaptation *a, paper *reference,
    ppd_values *had, morvane_values *values)
{
	read_values(a->from, had);
	if (a->size != nullptr)
		return choose_own_value(a, reference, had, values);
	if (a->restore != nullptr) {
		*had = *a->restore;
		*values = morvane_values{.dots = had->dots, .reference =
		    had->reference, .count = had->count, .own = had->own};
		if (!named_paper(a->from, had->reference, reference))
			return report_error("%s has no page size %s, which its "
			    "calibration was measured on", a->name, had->reference);
		return fits_every_size(a->from, had->dots, reference);
	}
	bool measured = default_paper(a->from, a->media, reference);
	if (!measured)
		reference->name[0] = '\0';
	*values = morvane_values{.dots = a->dots,
	    .reference = measured ? reference->name : nullptr,
	    .count = had->count, .own = had->own};
	return fits_every_size(a->from, a->dots, measured ? reference : nullptr);
}

// Writes the PPD adapted (or without morvane's lines) to w->adapted; the
// paper that the value is measured on goes to reference.
static bool adapt(const work *w, const adaptation *a, ppd_filters *filters,
    paper *reference)
{
	char why[buffer_size];
	if (!ppd_readable(a->from, why))
		return report_error("%s", why);
	FILE *in = fopen(a->from, "rb");
	if (in == nullptr)
		return report_error("cannot open the PPD file %s:", a->name);
	morvane_values values;
	ppd_values had;
	reference->name[0] = '\0';
	bool ok = read_ppd(in, a->name, a->dots, filters) &&
	    (a->dots == nullptr || choose_values(a, reference, &had, &values));
	FILE *out = ok ? fopen(w->adapted, "wb") : nullptr;
	if (ok && out == nullptr)
		ok = report_error("cannot make %s:", w->adapted);
	if (ok && (!write_adapted(in, out, filters, a->dots != nullptr ?
	    &values : nullptr) || fflush(out) != 0))
		ok = report_error("cannot write %s:", w->adapted);
	if (out != nullptr && fclose(out) != 0 && ok)
		ok = report_error("cannot write %s:", w->adapted);
	(void)fclose(in);
	return ok && (a->dots == nullptr ||
	    check_chains(w, a->name, kind_of(filters), filters));
}

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

// ", measured on NAME", where the paper has a name, for the messages.
static const char *measured_on(const char *name, char text[buffer_size])
{
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(text, buffer_size, "%s%.63s", name[0] != '\0' ?
	    ", measured on " : "", name);
	return text;
}

// Says the queue's value for every paper, where it comes from and what it
// was measured on, and the papers' own.
static void show_values(const work *w, const char *queue,
    const queue_dots *dots)
{
	char measured[buffer_size];
	printf("%s: vertical dots %s, %s%s\n", queue, dots->value, dots->source,
	    measured_on(dots->reference, measured));
	ppd_values had;
	read_values(w->given, &had);
	for (int i = 0; i < had.count; i++)
		printf("%s: vertical dots %s for %s, its PPD's *MorvaneVerticalDots "
		    "%s\n", queue, had.own[i].dots, had.own[i].name, had.own[i].name);
}

// What morvane-setup does to a queue: sets dots, or the value that leaves
// the page where it is on the queue's default paper (neutral), or takes
// morvane's lines out (neither); for every paper, or for the paper size
// alone where it is not null.
struct queue_change {
	const char *queue;
	const char *dots;
	bool neutral;
	const char *size;
	const ppd_values *restore;  // the calibration that the server kept,
	                            // put back, or null
};

static bool setup_queue(const work *w, const queue_change *c);

// Puts back the calibration that the server kept of a queue whose PPD
// lost it, and says so.
static bool restore_queue(const work *w, const char *queue,
    const ppd_values *kept)
{
	printf("%s: its PPD had lost the calibration that the server keeps, "
	    "vertical dots %s measured on %s; putting it back\n", queue,
	    kept->dots, kept->reference);
	const queue_change change = {.queue = queue, .dots = kept->dots,
	    .neutral = false, .size = nullptr, .restore = kept};
	return setup_queue(w, &change);
}

// Says which vertical dots the queue's jobs get, from where and measured
// on which paper; for a queue without them, the value to start from.
static bool show_queue(const work *w, const char *queue)
{
	http_handle http = connect_server();
	queue_dots dots;
	ppd_values kept;
	if (!http || !find_dots(http.get(), w, queue, &dots))
		return false;
	if (lost_calibration(w, &dots, &kept))
		return restore_queue(w, queue, &kept);
	char start[buffer_size] = "";
	if (dots.start.name[0] != '\0' && snprintf(start, sizeof start,
	    "; morvane-setup %s --neutral sets %ld, which leaves the page where "
	    "it is on %s", queue, neutral_dots(&dots.start), dots.start.name) >=
	    (int)sizeof start)
		start[0] = '\0';
	if (!dots.runs_filter)
		printf("%s: its PPD does not run %s%s\n", queue, dots.filter,
		    start[0] != '\0' ? start : "; morvane-setup QUEUE DOTS sets it "
		    "up");
	else if (dots.value[0] != '\0')
		show_values(w, queue, &dots);
	else
		printf("%s: no vertical dots: its jobs pass unshifted%s\n", queue,
		    start);
	return true;
}


// Says what changed.
static void say_done(const queue_change *c, const ppd_filters *filters,
    const char *dots, const paper *reference)
{
	char measured[buffer_size];
	measured_on(reference->name, measured);
	if (c->size != nullptr)
		// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
		snprintf(measured, sizeof measured, " for %.63s", reference->name);
	const printer_kind *kind = kind_of(filters);
	if (dots == nullptr)
		printf("%s: %s no longer runs; the PPD's own filter lines are "
		    "back\n", c->queue, kind->program != nullptr ? kind->program :
		    "morvane-filter");
	else if (kind->last)
		printf("%s: %s now runs after CUPS's filters, with vertical dots "
		    "%s%s\n", c->queue, kind->program, dots, measured);
	else
		printf("%s: %s now runs before %s, with vertical dots %s%s\n",
		    c->queue, kind->program, filters->*kind->before, dots, measured);
}

// Adapts the queue's PPD, or takes morvane's lines out of it, and
// installs it. A default of the queue's for the dots, which its jobs
// would get before the PPD's, takes the new value too.
// The value that leaves the page where it is on the change's paper, or on
// the queue's default paper, media. Returns false after the error line.
static bool neutral_value(const work *w, const queue_change *c,
    const char *media, char text[64])
{
	paper start;
	if (!(c->size != nullptr ? named_paper(w->given, c->size, &start) :
	    default_paper(w->given, media, &start)))
		return report_error("the PPD of %s has no paper %s to leave in place: "
		    "morvane-setup %s DOTS sets a value", c->queue, c->size != nullptr ?
		    c->size : "by default", c->queue);
	// NOLINTNEXTLINE(cert-err33-c): a number fits.
	snprintf(text, 64, "%ld", neutral_dots(&start));
	return true;
}

// Installs w->adapted for the queue with the settings that go with it:
// the new value in the queue's default for the dots where it has one, and
// the calibration kept by the server, or none where it is taken out.
static bool install(http_t *http, const work *w, const queue_change *c,
    const char *dots, const queue_defaults *defaults)
{
	ppd_values now;
	char kept[buffer_size] = "";
	read_values(w->adapted, &now);
	if (dots != nullptr)
		format_calibration(&now, kept);
	const queue_settings settings = {.dots = dots != nullptr &&
	    c->size == nullptr && defaults->dots[0] != '\0' ? now.dots : nullptr,
	    .calibration = kept[0] != '\0' ? kept : nullptr};
	return install_ppd(http, w, c->queue, &settings);
}

// Adapts the queue's PPD, or takes morvane's lines out of it, and
// installs it. A default of the queue's for the dots, which its jobs
// would get before the PPD's, takes the new value too.
static bool setup_queue(const work *w, const queue_change *c)
{
	char name[buffer_size], neutral[64];
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(name, sizeof name, "the PPD of %s", c->queue);
	http_handle http = connect_server();
	queue_defaults defaults;
	if (!http || !fetch_queue(http.get(), w, c->queue, &defaults))
		return false;
	if (!defaults.has_ppd)
		return report_error("the queue %s has no PPD", c->queue);
	if (defaults.temporary && (c->dots != nullptr || c->neutral))
		return report_error("%s is a temporary queue, which CUPS deletes "
		    "with its shift: make a permanent one with lpadmin -p QUEUE -E "
		    "-v URI -m everywhere, and set that up", c->queue);
	const char *media = defaults.media[0] != '\0' ? defaults.media : nullptr;
	if (c->neutral && !neutral_value(w, c, media, neutral))
		return false;
	const adaptation a = {.from = w->given, .name = name,
	    .dots = c->neutral ? neutral : c->dots, .media = media,
	    .size = c->size, .restore = c->restore};
	ppd_filters filters;
	paper reference;
	if (!adapt(w, &a, &filters, &reference))
		return false;
	if (a.dots == nullptr && filters.morvane == 0) {
		printf("%s: its PPD has no lines of morvane's; nothing changed\n",
		    c->queue);
		return true;
	}
	if (!install(http.get(), w, c, a.dots, &defaults))
		return false;
	say_done(c, &filters, a.dots, &reference);
	return true;
}

static const char usage[] = "usage: morvane-setup --ppd FILE DOTS | QUEUE "
    "[DOTS | --neutral] [--media SIZE] | --calibrate QUEUE [--media SIZE] | "
    "--check [QUEUE] | --remove QUEUE | --help | --version";

static bool setup(int argc, char *argv[], const work *w)
{
	// A value or a calibration page for one paper size.
	const char *size = nullptr;
	if (argc >= 4 && strcmp(argv[argc - 2], "--media") == 0) {
		size = argv[argc - 1];
		argc -= 2;
	}
	if ((argc == 2 || argc == 3) && strcmp(argv[1], "--check") == 0 &&
	    size == nullptr)
		return check_queues(w, argc == 3 ? argv[2] : nullptr);
	bool file = argc == 4 && strcmp(argv[1], "--ppd") == 0;
	bool remove = argc == 3 && strcmp(argv[1], "--remove") == 0;
	if (argc == 3 && strcmp(argv[1], "--calibrate") == 0)
		return calibrate(w, argv[2], size);
	bool queue = (argc == 2 || argc == 3) && argv[1][0] != '-';
	if ((!file && !remove && !queue) || (size != nullptr &&
	    (remove || argc == 2)))
		return report_error("%s", usage);
	if (queue && argc == 2)
		return show_queue(w, argv[1]);
	bool neutral = queue && strcmp(argv[2], "--neutral") == 0;
	const char *dots = remove || neutral ? nullptr : argv[argc - 1];
	double value = 0;
	if (dots != nullptr && !read_dots(dots, &value))
		return report_error("the vertical dots \"%s\" are not a number", dots);
	const queue_change change = {.queue = argv[remove ? 2 : 1], .dots = dots,
	    .neutral = neutral, .size = size, .restore = nullptr};
	if (!file)
		return setup_queue(w, &change);
	const adaptation a = {.from = argv[2], .name = argv[2], .dots = dots,
	    .media = nullptr, .size = size, .restore = nullptr};
	ppd_filters filters;
	paper reference;
	return adapt(w, &a, &filters, &reference) && print_file(w->adapted);
}

int main(int argc, char *argv[])
{
	if (argc == 2 && (strcmp(argv[1], "--help") == 0 ||
	    strcmp(argv[1], "--version") == 0)) {
		bool help = argv[1][2] == 'h';
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
