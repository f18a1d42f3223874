// SPDX-License-Identifier: MIT
// morvane-setup: puts morvane-filter into a printer's PPD, where CUPS feeds
// the printer PostScript, and checks with CUPS's own cupsfilter that every
// kind of job then passes it.
//   morvane-setup --ppd FILE DOTS   FILE adapted, on standard output
//   morvane-setup QUEUE DOTS        the same for a queue of the server
//   morvane-setup QUEUE             the vertical dots that its jobs get
//   morvane-setup --calibrate QUEUE a page that tells which to set
//   morvane-setup --remove QUEUE    the queue's PPD without morvane's lines
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cups/cups.h>

#include "adapt.h"

extern char **environ;

// The one line of a failure, its control characters escaped. Returns false.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-like, checked by the compiler.
__attribute__((format(printf, 1, 2))) static bool fail(const char *format, ...)
{
	char text[buffer_size], line[buffer_size] = "morvane-setup: ";
	va_list arguments;
	va_start(arguments, format);
	// NOLINTNEXTLINE(cert-err33-c,clang-analyzer-valist.Uninitialized)
	vsnprintf(text, sizeof text, format, arguments);
	va_end(arguments);
	(void)append_escaped(line, (int)strlen(line), text, (int)strlen(text));
	// A lost message has no better recovery.
	(void)fprintf(stderr, "%s\n", line);
	return false;
}

// The files of a run, in a private folder.
struct work {
	char folder[folder_size];
	char given[buffer_size];    // the queue's PPD as the server has it
	char adapted[buffer_size];  // the PPD to print or install
	char chain[buffer_size];    // what cupsfilter prints
	char errors[buffer_size];   // and its messages
};

static bool make_work(work *w)
{
	const char *tmpdir = setting("TMPDIR", "/tmp");
	if (snprintf(w->folder, sizeof w->folder, "%s/morvane-setup.XXXXXX",
	    tmpdir) >= (int)sizeof w->folder || mkdtemp(w->folder) == nullptr)
		return fail("cannot make a folder in %s: %s", tmpdir,
		    strerror(errno));
	const struct { char *path; const char *name; } files[] = {
	    {w->given, "given.ppd"}, {w->adapted, "adapted.ppd"},
	    {w->chain, "chain"}, {w->errors, "errors"}};
	for (const auto &f : files)
		// NOLINTNEXTLINE(cert-err33-c): the folder's name leaves room.
		snprintf(f.path, buffer_size, "%s/%s", w->folder, f.name);
	return true;
}

static void remove_work(const work *w)
{
	const char *const files[] = {w->given, w->adapted, w->chain, w->errors};
	for (const char *path : files)
		(void)unlink(path);
	(void)rmdir(w->folder);
}

// The chain that cupsfilter finds for a job of type with the PPD, one
// program a line in w->chain. Returns false after the line that says why.
static bool list_filters(const work *w, const char *name, const char *type)
{
	const char *argv[] = {CUPSFILTER_PATH, "-p", w->adapted, "-e", "-m",
	    "printer/morvane", "--list-filters", "-i", type, w->adapted, nullptr};
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_addopen(&actions, 1, w->chain,
	    O_WRONLY | O_CREAT | O_TRUNC, 0600);
	posix_spawn_file_actions_addopen(&actions, 2, w->errors,
	    O_WRONLY | O_CREAT | O_TRUNC, 0600);
	pid_t pid = 0;
	int error = posix_spawn(&pid, argv[0], &actions, nullptr,
	    (char *const *)argv, environ);
	posix_spawn_file_actions_destroy(&actions);
	if (error != 0)
		return fail("cannot run %s: %s", argv[0], strerror(error));
	int status = 0;
	while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
		;
	if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
		return true;
	// cupsfilter's last line says what is missing.
	char line[buffer_size] = "", last[buffer_size] = "it failed";
	FILE *messages = fopen(w->errors, "r");
	while (messages != nullptr && fgets(line, sizeof line, messages) != nullptr)
		if (line[0] != '\n')
			// NOLINTNEXTLINE(cert-err33-c): as long as the line.
			snprintf(last, sizeof last, "%.*s", (int)strcspn(line, "\n"), line);
	if (messages != nullptr)
		(void)fclose(messages);
	return fail("%s: CUPS finds no way for %s to the printer: %s", name,
	    type, last);
}

// Every kind of job must pass morvane-filter: in the place of a filter
// after CUPS's, or just before the PPD's own filter for PostScript, where
// alone the scheduler runs a pre-filter.
static bool check_chains(const work *w, const char *name,
    const ppd_filters *filters)
{
	const char *const types[] = {"application/pdf", "application/postscript",
	    "text/plain", "image/png"};
	for (const char *type : types) {
		if (!list_filters(w, name, type))
			return false;
		char line[buffer_size], chain[buffer_size] = "", after[buffer_size] = "";
		bool seen = false, placed = false;
		FILE *list = fopen(w->chain, "r");
		while (list != nullptr && fgets(line, sizeof line, list) != nullptr) {
			line[strcspn(line, "\n")] = '\0';
			if (seen && after[0] == '\0')
				// NOLINTNEXTLINE(cert-err33-c): as long as the line.
				snprintf(after, sizeof after, "%s", line);
			seen = seen || strcmp(line, "morvane-filter") == 0;
			size_t used = strlen(chain);
			// A chain cut short still shows.
			if (snprintf(chain + used, sizeof chain - used, "%s%s",
			    used > 0 ? " " : "", line) >= (int)(sizeof chain - used))
				break;
		}
		if (list != nullptr)
			(void)fclose(list);
		if (filters->shape == shape_no_filters)
			placed = seen && after[0] == '\0';
		else
			placed = seen && strcmp(after, filters->program) == 0;
		if (!placed)
			return fail("%s: %s jobs would not pass morvane-filter: CUPS's "
			    "chain for them is %s", name, type, chain);
	}
	return true;
}

// Writes the PPD at from, adapted for dots (or without morvane's lines
// when dots is null), to w->adapted. name is the PPD's, for the messages.
static bool adapt(const work *w, const char *from, const char *name,
    const char *dots, ppd_filters *filters)
{
	char why[buffer_size];
	if (!ppd_readable(from, why))
		return fail("%s", why);
	FILE *in = fopen(from, "rb");
	if (in == nullptr)
		return fail("cannot open the PPD file %s: %s", name, strerror(errno));
	read_filters(in, filters);
	bool ok = !ferror(in) && fseek(in, 0, SEEK_SET) == 0;
	if (!ok)
		fail("cannot read the PPD file %s: %s", name, strerror(errno));
	else if (filters->unclosed)
		ok = fail("cannot read the PPD file %s: a quoted value runs to its "
		    "end", name);
	else if (filters->zero)
		ok = fail("cannot read the PPD file %s: it holds a zero byte", name);
	else if (dots != nullptr && filters->shape == shape_pdf_direct)
		ok = fail("%s: the printer takes PDF straight from CUPS, so its jobs "
		    "never become PostScript that morvane-filter can shift: use "
		    "the printer's PostScript PPD", name);
	else if (dots != nullptr && filters->shape == shape_no_postscript)
		ok = fail("%s: CUPS sends the printer no PostScript for "
		    "morvane-filter to shift: its filters take only %s", name,
		    filters->types);
	FILE *out = ok ? fopen(w->adapted, "wb") : nullptr;
	if (ok && out == nullptr)
		ok = fail("cannot make %s: %s", w->adapted, strerror(errno));
	if (ok && (!write_adapted(in, out, filters, dots) || fflush(out) != 0))
		ok = fail("cannot write %s: %s", w->adapted, strerror(errno));
	if (out != nullptr && fclose(out) != 0 && ok)
		ok = fail("cannot write %s: %s", w->adapted, strerror(errno));
	(void)fclose(in);
	return ok && (dots == nullptr || check_chains(w, name, filters));
}

// Copies the file to standard output, whose failure main reports.
static bool print_file(const char *path)
{
	FILE *in = fopen(path, "rb");
	if (in == nullptr)
		return fail("cannot read %s: %s", path, strerror(errno));
	char bytes[buffer_size];
	size_t n;
	while ((n = fread(bytes, 1, sizeof bytes, in)) > 0 &&
	    fwrite(bytes, 1, n, stdout) == n)
		;
	bool ok = !ferror(in);
	(void)fclose(in);
	return ok || fail("cannot read %s", path);
}

// The server's name, for the messages: host and port.
static const char *server_name(char name[buffer_size])
{
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(name, buffer_size, "%s:%d", cupsServer(), ippPort());
	return name;
}

// The queue's default for the vertical dots, as the server keeps it.
constexpr char dots_option[] = "morvane-vertical-dots-default";

// Sends request for the queue to the server, with the PPD file ppd where
// it is not null. Returns false after the line that says why it failed;
// *missing when there is no such queue. The queue's default for the dots
// goes to dots, where it is not null: empty where it has none.
static bool ask_server(http_t *http, ipp_t *request, const char *queue,
    const char *ppd, bool *missing, char dots[buffer_size])
{
	char server[buffer_size];
	ipp_t *response = ppd != nullptr ?
	    cupsDoFileRequest(http, request, "/admin/", ppd) :
	    cupsDoRequest(http, request, "/");
	ipp_attribute_t *found = dots != nullptr ? ippFindAttribute(response,
	    dots_option, IPP_TAG_ZERO) : nullptr;
	const char *value = found != nullptr ? ippGetString(found, 0, nullptr) :
	    nullptr;
	if (dots != nullptr)
		// NOLINTNEXTLINE(cert-err33-c): a value cut short still shows.
		snprintf(dots, buffer_size, "%s", value != nullptr ? value : "");
	ippDelete(response);
	ipp_status_t status = cupsLastError();
	*missing = status == IPP_STATUS_ERROR_NOT_FOUND;
	if (status <= IPP_STATUS_OK_CONFLICTING)
		return true;
	if (*missing)
		return fail("there is no queue %s on the CUPS server %s", queue,
		    server_name(server));
	return fail("the CUPS server %s refused to %s %s: %s",
	    server_name(server), ppd != nullptr ? "change" : "show", queue,
	    cupsLastErrorString());
}

// A request of op for the queue, with the operation's attributes, which
// come first.
static ipp_t *queue_request(ipp_op_t op, const char *queue)
{
	char uri[HTTP_MAX_URI];
	httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr,
	    "localhost", 0, "/printers/%s", queue);
	ipp_t *request = ippNewRequest(op);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri",
	    nullptr, uri);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME,
	    "requesting-user-name", nullptr, cupsUser());
	return request;
}

using http_handle = std::unique_ptr<http_t, decltype(&httpClose)>;

static http_handle connect_server()
{
	http_handle http(httpConnect2(cupsServer(), ippPort(), nullptr,
	    AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr), httpClose);
	char server[buffer_size];
	if (!http)
		fail("cannot reach the CUPS server %s: %s", server_name(server),
		    cupsLastErrorString());
	return http;
}

// The queue's PPD, from the server, in w->given, and its default for the
// dots in dots.
static bool fetch_queue(http_t *http, const work *w, const char *queue,
    char dots[buffer_size])
{
	ipp_t *request = queue_request(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
	const char *const wanted[] = {"printer-name", dots_option};
	ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD,
	    "requested-attributes", 2, nullptr, wanted);
	bool missing = false;
	if (!ask_server(http, request, queue, nullptr, &missing, dots))
		return false;
	char server[buffer_size];
	if (!fetch_ppd(http, queue, w->given, &missing))
		return missing ? fail("the queue %s has no PPD", queue) :
		    fail("cannot get the PPD of %s from the CUPS server %s: %s",
		    queue, server_name(server), cupsLastErrorString());
	return true;
}

// The vertical dots that a queue's jobs get, and where they come from.
struct queue_dots {
	bool runs_filter;          // its PPD runs morvane-filter
	char value[buffer_size];   // empty where neither place has them
	const char *source;
};

// Finds the vertical dots that the queue's jobs get: the queue's default,
// which CUPS puts in every job's options, or its PPD's.
static bool find_dots(http_t *http, const work *w, const char *queue,
    queue_dots *dots)
{
	char option[buffer_size], attribute[buffer_size];
	if (!fetch_queue(http, w, queue, option))
		return false;
	FILE *in = fopen(w->given, "rb");
	if (in == nullptr)
		return fail("cannot read the PPD of %s: %s", queue, strerror(errno));
	ppd_filters filters;
	read_filters(in, &filters);
	(void)fclose(in);
	bool in_ppd = ppd_dots(w->given, attribute);
	dots->runs_filter = filters.runs_filter;
	dots->source = option[0] != '\0' ?
	    "the queue's morvane-vertical-dots-default" :
	    "its PPD's *MorvaneVerticalDots";
	// NOLINTNEXTLINE(cert-err33-c): both came from buffers of this size.
	snprintf(dots->value, buffer_size, "%s", option[0] != '\0' ? option :
	    in_ppd ? attribute : "");
	return true;
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
// null, and installs it as lpadmin -P does: the server keeps the queue's
// settings. A default of the queue's for the dots, which its jobs would
// get before the PPD's, takes the new value too.
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
	ipp_t *request = queue_request(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
	if (dots != nullptr && option[0] != '\0')
		ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, dots_option,
		    nullptr, dots);
	bool missing = false;
	if (!ask_server(http.get(), request, queue, w->adapted, &missing,
	    nullptr))
		return false;
	if (dots == nullptr)
		printf("%s: morvane-filter no longer runs; the PPD's own filter "
		    "lines are back\n", queue);
	else if (filters.shape == shape_no_filters)
		printf("%s: morvane-filter now runs after CUPS's filters, with "
		    "vertical dots %s\n", queue, dots);
	else
		printf("%s: morvane-filter now runs before %s, with vertical dots "
		    "%s\n", queue, filters.program, dots);
	return true;
}

// The calibration page's mark lies this far below the page's top edge,
// and its table gives the value to set for each millimetre this far to
// either side.
constexpr int mark_mm = 25;
constexpr int table_mm = 15;

// The PostScript of the calibration page, with the value in effect and
// its table, sent as it is made. Text goes in PostScript strings, with
// the queue's name escaped.
static bool write_page(http_t *http, const char *queue,
    const queue_dots *dots)
{
	char name[buffer_size] = "";
	for (int i = 0, used = 0; queue[i] != '\0' && used < buffer_size - 2; i++) {
		if (strchr("()\\", queue[i]) != nullptr)
			name[used++] = '\\';
		name[used++] = queue[i];
		name[used] = '\0';
	}
	char text[buffer_size];
	int length = snprintf(text, sizeof text, "%%!PS-Adobe-3.0\n"
	    "%%%%Title: calibration page\n%%%%Pages: 1\n%%%%EndComments\n"
	    "%%%%Page: 1 1\n/mm{72 mul 25.4 div}def\n"
	    "currentpagedevice/PageSize get aload pop/H exch def/W exch def\n"
	    "/top{H exch mm sub}def\n"
	    "/line{top 15 mm exch moveto show}def\n"
	    "/row{top exch mm exch 2 copy moveto 4 -1 roll show\n"
	    " exch 16 mm add exch moveto show}def\n"
	    "W 5 div %d top 0.5 sub W 3 mul 5 div 0.5 rectfill\n"
	    "/Helvetica findfont 9 scalefont setfont\n"
	    "(The line above: its top edge lies %d mm below the page's top "
	    "edge.) %d line\n"
	    "(Measure the distance from the sheet's top edge to the line's top "
	    "edge,) %d line\n"
	    "(and set the value of that row: morvane-setup %s VALUE) %d line\n"
	    "(Vertical dots in effect: %s) %d line\n"
	    "(mm) (value) 15 %d row (mm) (value) 60 %d row\n", mark_mm, mark_mm, mark_mm + 7,
	    mark_mm + 12, name, mark_mm + 17, dots->value, mark_mm + 24,
	    mark_mm + 31, mark_mm + 31);
	// The value's text came through dots_valid: a number, no parenthesis.
	double value = strtod(dots->value, nullptr);
	bool ok = length < (int)sizeof text && cupsWriteRequestData(http, text,
	    length) == HTTP_STATUS_CONTINUE;
	const int rows = table_mm + 1;
	for (int mm = mark_mm - table_mm; ok && mm <= mark_mm + table_mm; mm++) {
		int row = mm - (mark_mm - table_mm);
		length = snprintf(text, sizeof text, "(%d) (%ld) %d %d row\n", mm,
		    lround(value + (mm - mark_mm) * 300 / 25.4), row < rows ? 15 : 60,
		    mark_mm + 36 + 5 * (row % rows));
		ok = cupsWriteRequestData(http, text, length) == HTTP_STATUS_CONTINUE;
	}
	const char end[] = "showpage\n%%EOF\n";
	return ok && cupsWriteRequestData(http, end, sizeof end - 1) ==
	    HTTP_STATUS_CONTINUE;
}

// Prints the calibration page on the queue, as a job of its own that gets
// the queue's vertical dots as every job does.
static bool calibrate(const work *w, const char *queue)
{
	http_handle http = connect_server();
	queue_dots dots;
	if (!http || !find_dots(http.get(), w, queue, &dots))
		return false;
	if (!dots.runs_filter || dots.value[0] == '\0' || !dots_valid(dots.value))
		return fail("%s has no vertical dots to calibrate: morvane-setup %s "
		    "DOTS sets them", queue, queue);
	char server[buffer_size];
	int job = cupsCreateJob(http.get(), queue, "calibration page", 0,
	    nullptr);
	if (job == 0)
		return fail("the CUPS server %s refused a job on %s: %s",
		    server_name(server), queue, cupsLastErrorString());
	bool sent = cupsStartDocument(http.get(), queue, job, "calibration page",
	    CUPS_FORMAT_POSTSCRIPT, 1) == HTTP_STATUS_CONTINUE &&
	    write_page(http.get(), queue, &dots);
	if (cupsFinishDocument(http.get(), queue) != IPP_STATUS_OK || !sent) {
		fail("cannot send the calibration page to %s on the CUPS server "
		    "%s: %s", queue, server_name(server), cupsLastErrorString());
		(void)cupsCancelJob2(http.get(), queue, job, 0);
		return false;
	}
	printf("%s: the calibration page is job %s-%d, with vertical dots %s, "
	    "%s\n", queue, queue, job, dots.value, dots.source);
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
		return fail("%s", usage);
	if (queue && argc == 2)
		return show_queue(w, argv[1]);
	const char *dots = remove ? nullptr : argv[argc - 1];
	if (dots != nullptr && !dots_valid(dots))
		return fail("the vertical dots \"%s\" are not a number", dots);
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
	remove_work(&w);
	if (fflush(stdout) != 0 || ferror(stdout))
		ok = fail("cannot write standard output: %s", strerror(errno));
	return ok ? 0 : 1;
}
