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
#include "dots.h"
#include "kinds.h"
#include "log.h"
#include "ppd.h"
#include "server.h"

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

// Writes the PPD at from, adapted for dots (or without morvane's lines
// when dots is null), to w->adapted. name is the PPD's, for the messages.
static bool adapt(const work *w, const char *from, const char *name,
    const char *dots, ppd_filters *filters)
{
	char why[buffer_size];
	if (!ppd_readable(from, why))
		return report_error("%s", why);
	FILE *in = fopen(from, "rb");
	if (in == nullptr)
		return report_error("cannot open the PPD file %s:", name);
	bool ok = read_ppd(in, name, dots, filters);
	FILE *out = ok ? fopen(w->adapted, "wb") : nullptr;
	if (ok && out == nullptr)
		ok = report_error("cannot make %s:", w->adapted);
	if (ok && (!write_adapted(in, out, filters, dots) || fflush(out) != 0))
		ok = report_error("cannot write %s:", w->adapted);
	if (out != nullptr && fclose(out) != 0 && ok)
		ok = report_error("cannot write %s:", w->adapted);
	(void)fclose(in);
	return ok && (dots == nullptr ||
	    check_chains(w, name, kind_of(filters), filters));
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

// Says which vertical dots the queue's jobs get, and from where.
static bool show_queue(const work *w, const char *queue)
{
	http_handle http = connect_server();
	queue_dots dots;
	if (!http || !find_dots(http.get(), w, queue, &dots))
		return false;
	if (!dots.runs_filter)
		printf("%s: its PPD does not run morvane-filter; morvane-setup %s "
		    "DOTS sets it up\n", queue, queue);
	else if (dots.value[0] != '\0')
		printf("%s: vertical dots %s, %s\n", queue, dots.value,
		    dots.source);
	else
		printf("%s: no vertical dots: its jobs pass unshifted\n", queue);
	return true;
}

// Adapts the queue's PPD, or takes morvane's lines out of it when dots is
// null, and installs it. A default of the queue's for the dots, which its
// jobs would get before the PPD's, takes the new value too.
static bool setup_queue(const work *w, const char *queue, const char *dots)
{
	char name[buffer_size], option[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(name, sizeof name, "the PPD of %s", queue);
	http_handle http = connect_server();
	ppd_filters filters;
	if (!http || !fetch_queue(http.get(), w, queue, option) ||
	    !adapt(w, w->given, name, dots, &filters))
		return false;
	if (dots == nullptr && filters.morvane == 0) {
		printf("%s: its PPD has no lines of morvane's; nothing changed\n",
		    queue);
		return true;
	}
	if (!install_ppd(http.get(), w, queue, dots != nullptr &&
	    option[0] != '\0' ? dots : nullptr))
		return false;
	if (dots == nullptr)
		printf("%s: morvane-filter no longer runs; the PPD's own filter "
		    "lines are back\n", queue);
	else if (kind_of(&filters)->last)
		printf("%s: morvane-filter now runs after CUPS's filters, with "
		    "vertical dots %s\n", queue, dots);
	else
		printf("%s: morvane-filter now runs before %s, with vertical dots "
		    "%s\n", queue, filters.program, dots);
	return true;
}

static bool setup(int argc, char *argv[], const work *w)
{
	const char *usage = "usage: morvane-setup --ppd FILE DOTS | QUEUE [DOTS] "
	    "| --calibrate QUEUE | --remove QUEUE";
	bool file = argc == 4 && strcmp(argv[1], "--ppd") == 0;
	bool remove = argc == 3 && strcmp(argv[1], "--remove") == 0;
	if (argc == 3 && strcmp(argv[1], "--calibrate") == 0)
		return calibrate(w, argv[2]);
	bool queue = (argc == 2 || argc == 3) && argv[1][0] != '-';
	if (!file && !remove && !queue)
		return report_error("%s", usage);
	if (queue && argc == 2)
		return show_queue(w, argv[1]);
	const char *dots = remove ? nullptr : argv[argc - 1];
	double value = 0;
	if (dots != nullptr && !read_dots(dots, &value))
		return report_error("the vertical dots \"%s\" are not a number", dots);
	if (!file)
		return setup_queue(w, argv[remove ? 2 : 1], dots);
	ppd_filters filters;
	return adapt(w, argv[2], argv[2], dots, &filters) &&
	    print_file(w->adapted);
}

int main(int argc, char *argv[])
{
	work w = {};
	if (!make_work(&w))
		return 1;
	bool ok = setup(argc, argv, &w);
	remove_folder(w.folder);
	if (fflush(stdout) != 0 || ferror(stdout))
		ok = report_error("cannot write standard output:");
	return ok ? 0 : 1;
}
