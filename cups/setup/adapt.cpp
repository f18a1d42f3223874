// SPDX-License-Identifier: MIT
// The PPD as text, a line at a time: morvane-setup changes only the lines
// that name filters and its own attribute, and leaves every other byte
// as it was. A line longer than the buffer is read in pieces; only its
// first piece can be one of those lines.
#include "adapt.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include <cups/file.h>

#include "kinds.h"
#include "log.h"
#include "text.h"

namespace {

// A piece of the PPD's text, and where it stands: a line's start outside
// a quoted value is where a keyword can be.
struct reader {
	FILE *in;
	char text[buffer_size];
	bool keyword;     // the piece starts a line outside a quoted value
	bool line_start;  // the next piece starts a line
	bool in_value;    // the next piece is inside a quoted value
	bool comment;     // the piece belongs to a comment line
	bool zero;        // a piece held a zero byte, which text would lose
};

// A line that morvane-setup took out, as it was.
const char *restored(const char *line)
{
	while (strncmp(line, taken_out, sizeof taken_out - 1) == 0)
		line += sizeof taken_out - 1;
	return line;
}

bool next_piece(reader *r)
{
	long before = ftell(r->in);
	if (fgets(r->text, buffer_size, r->in) == nullptr)
		return false;
	size_t length = strlen(r->text);
	r->zero = r->zero || ftell(r->in) - before != (long)length;
	r->keyword = r->line_start && !r->in_value;
	// A line that morvane-setup took out reads as the line it was.
	if (r->line_start)
		r->comment = r->keyword && strncmp(restored(r->text), "*%", 2) == 0;
	if (!r->comment)
		for (const char *c = r->text; (c = strchr(c, '"')) != nullptr; c++)
			r->in_value = !r->in_value;
	r->line_start = length > 0 && r->text[length - 1] == '\n';
	return true;
}

// A line that names a filter: its keyword, the type it takes and its
// program, the words of the quoted value.
enum line_kind { other_line, morvane_line, filter_line };

struct filter_entry {
	line_kind kind;
	const char *keyword;      // without its "*"
	char type[buffer_size];
	char rest[buffer_size];   // the words between the type and the program
	char program[buffer_size];
};

// The words of a quoted value "w1 w2 ...": the first is the type taken,
// the rest after skip more the program. False where there is no value.
bool read_quoted_words(const char *value, int skip, filter_entry *entry)
{
	while (*value == ' ' || *value == '\t')
		value++;
	if (*value++ != '"')
		return false;
	const char *end = strchr(value, '"');
	if (end == nullptr)
		end = value + strlen(value);
	char words[buffer_size];
	(void)snprintf(words, sizeof words, "%.*s", (int)(end - value), value);
	char *rest = nullptr;
	const char *type = strtok_r(words, " \t", &rest);
	entry->rest[0] = '\0';
	for (int i = 0; i < skip && type != nullptr; i++) {
		const char *word = strtok_r(nullptr, " \t", &rest);
		size_t used = strlen(entry->rest);
		// The words come from a piece as long.
		(void)snprintf(entry->rest + used, buffer_size - used, "%s%s",
		    used > 0 ? " " : "", word != nullptr ? word : "");
	}
	while (rest != nullptr && (*rest == ' ' || *rest == '\t'))
		rest++;
	copy_text(entry->type, buffer_size, type != nullptr ? type : "");
	copy_text(entry->program, buffer_size, rest != nullptr ? rest : "");
	size_t length = strlen(entry->program);
	while (length > 0 && isspace((unsigned char)entry->program[length - 1]))
		entry->program[--length] = '\0';
	return true;
}

// Whether a line is an attribute of morvane's: its vertical dots, also
// for a size ("*MorvaneVerticalDots Letter:"), and its reference size.
bool is_attribute(const char *line)
{
	const char *const keywords[] = {"*MorvaneVerticalDots:",
	    "*MorvaneVerticalDots ", "*MorvaneReferenceSize:"};
	const char *end = line + strlen(line);
	for (const char *keyword : keywords)
		if (has_prefix(line, end, keyword))
			return true;
	return false;
}

// What a line is, with the lines that morvane-setup took out as they were.
filter_entry read_entry(const char *line)
{
	filter_entry entry = {.kind = other_line, .keyword = "", .type = "",
	    .rest = "", .program = ""};
	line = restored(line);
	if (is_attribute(line)) {
		entry.kind = morvane_line;
		return entry;
	}
	const struct {
		const char *keyword;
		int skip;      // the words between the type and the program
		bool own;      // a line of the PPD's filters, not a pre-filter
	} keywords[] = {{.keyword = "*cupsFilter:", .skip = 1, .own = true},
	    {.keyword = "*cupsFilter2:", .skip = 2, .own = true},
	    {.keyword = "*cupsPreFilter:", .skip = 1, .own = false}};
	const char *const programs[] = {"morvane-filter", "morvane-pdf",
	    "morvane-raster"};
	for (const auto &k : keywords) {
		if (!has_prefix(line, line + strlen(line), k.keyword))
			continue;
		if (!read_quoted_words(line + strlen(k.keyword), k.skip, &entry))
			break;
		entry.keyword = k.keyword + 1;
		if (k.own)
			entry.kind = filter_line;
		for (const char *program : programs)
			if (strcmp(entry.program, program) == 0)
				entry.kind = morvane_line;
	}
	return entry;
}

// Whether a line says that the PPD is a fax's: CUPS's and cups-filters'
// attributes for one, a filter of a fax's, a model named a fax.
bool says_fax(const char *line, const filter_entry *entry)
{
	const char *end = line + strlen(line);
	const char *const attributes[] = {"*cupsFax: True", "*cupsIPPFaxOut: True"};
	for (const char *attribute : attributes)
		if (has_prefix(line, end, attribute))
			return true;
	if (has_prefix(line, end, "*ModelName:"))
		return strstr(line, " Fax ") != nullptr || strstr(line, " Fax\"") !=
		    nullptr;
	return entry->kind == filter_line && strstr(entry->program, "fax");
}

bool is_pdf(const char *type)
{
	return strcmp(type, "application/vnd.cups-pdf") == 0 ||
	    strcmp(type, "application/pdf") == 0;
}

void add_type(char types[buffer_size], const char *type)
{
	char quoted[buffer_size + 4];
	(void)snprintf(quoted, sizeof quoted, ", %s,", type);
	char list[buffer_size + 4];
	(void)snprintf(list, sizeof list, ", %s,", types);
	if (strstr(list, quoted) != nullptr)
		return;
	size_t used = strlen(types);
	// NOLINTNEXTLINE(cert-err33-c): a list cut short still names some.
	snprintf(types + used, buffer_size - used, "%s%s", used ? ", " : "", type);
}

// Takes a line that gives its type to the printer as it is: PDF before
// PWG or Apple raster, and the first line of each.
void take_direct(const filter_entry *entry, ppd_filters *filters)
{
	bool pdf = is_pdf(entry->type);
	bool raster = strcmp(entry->type, "image/urf") == 0 ||
	    strcmp(entry->type, "image/pwg-raster") == 0;
	if (strcmp(entry->program, "-") != 0 || (!pdf && !raster) ||
	    (filters->has_direct && (!pdf || is_pdf(filters->direct.type))))
		return;
	filters->has_direct = true;
	direct_line *direct = &filters->direct;
	// NOLINTBEGIN(cert-err33-c): each fits, from a piece as long.
	snprintf(direct->keyword, sizeof direct->keyword, "%.*s",
	    (int)strlen(entry->keyword) - 1, entry->keyword);
	copy_text(direct->type, buffer_size, entry->type);
	copy_text(direct->rest, buffer_size, entry->rest);
	// NOLINTEND(cert-err33-c)
}

// Takes what a filter line of the PPD's own says.
void take_filter(const filter_entry *entry, ppd_filters *filters)
{
	filters->count++;
	add_type(filters->types, entry->type);
	bool own = strcmp(entry->program, "-") != 0;
	if (strcmp(entry->type, "application/vnd.cups-postscript") == 0 &&
	    filters->program[0] == '\0')
		copy_text(filters->program, buffer_size, entry->program);
	if (strcmp(entry->type, "application/vnd.cups-raster") == 0 && own &&
	    filters->raster_program[0] == '\0')
		copy_text(filters->raster_program, buffer_size, entry->program);
	filters->pclm = filters->pclm ||
	    strcmp(entry->type, "application/PCLm") == 0;
	take_direct(entry, filters);
}

}

void read_filters(FILE *in, ppd_filters *filters)
{
	*filters = ppd_filters{.shape = shape_no_filters, .count = 0, .morvane = 0,
	    .runs_filter = false, .running = "", .fax = false, .pclm = false, .unclosed = false,
	    .zero = false, .program = "", .raster_program = "",
	    .has_direct = false, .direct = {}, .types = ""};
	reader r = {.in = in, .text = "", .keyword = false, .line_start = true,
	    .in_value = false, .comment = false, .zero = false};
	while (next_piece(&r)) {
		if (!r.keyword)
			continue;
		filter_entry entry = read_entry(r.text);
		filters->morvane += entry.kind == morvane_line ||
		    has_prefix(r.text, r.text + strlen(r.text), taken_out);
		if (entry.kind == morvane_line && !is_attribute(restored(r.text))) {
			filters->runs_filter = true;
			// NOLINTNEXTLINE(cert-err33-c): morvane's names fit.
			snprintf(filters->running, sizeof filters->running, "%.15s",
			    entry.program);
		}
		filters->fax = filters->fax || says_fax(restored(r.text), &entry);
		if (entry.kind == filter_line)
			take_filter(&entry, filters);
	}
	filters->unclosed = r.in_value;
	filters->zero = r.zero;
	filters->shape = kind_of(filters)->shape;
}

// Writes morvane's lines at the PPD's end: the filter's, the value for
// every paper and its reference, before the papers' own values.
static bool write_lines(FILE *out, const printer_kind *kind,
    const ppd_filters *filters, const morvane_values *values, const char *eol)
{
	const direct_line *direct = &filters->direct;
	// A kind that is refused has no filter to put in: only its values.
	bool ok = kind->program == nullptr ||
	    (kind->type != nullptr ?
	    fprintf(out, "*%s: \"%s %s\"%s", kind->keyword, kind->type,
	    kind->program, eol) > 0 :
	    fprintf(out, "*%s: \"%s %s %s\"%s", direct->keyword, direct->type,
	    direct->rest, kind->program, eol) > 0);
	ok = ok && fprintf(out, "*MorvaneVerticalDots: \"%s\"%s", values->dots,
	    eol) > 0;
	ok = ok && (values->reference == nullptr || fprintf(out,
	    "*MorvaneReferenceSize: \"%s\"%s", values->reference, eol) > 0);
	for (int i = 0; ok && i < values->count; i++)
		ok = fprintf(out, "*MorvaneVerticalDots %s: \"%s\"%s",
		    values->own[i].name, values->own[i].dots, eol) > 0;
	return ok;
}

// Whether the kind takes out the PPD's own line entry, so that no job
// passes by the filter.
static bool taken_by(const printer_kind *kind, const filter_entry *entry)
{
	size_t length = strlen(entry->type);
	switch (kind->takes_out) {
	case take_out_pdf:
		return is_pdf(entry->type);
	case take_out_others:
		return kind->type == nullptr ||
		    strncmp(kind->type, entry->type, length) != 0 ||
		    kind->type[length] != ' ';
	default:
		return false;
	}
}

bool write_adapted(FILE *in, FILE *out, const ppd_filters *filters,
    const morvane_values *values)
{
	reader r = {.in = in, .text = "", .keyword = false, .line_start = true,
	    .in_value = false, .comment = false, .zero = false};
	const printer_kind *kind = kind_of(filters);
	bool dropping = false;
	// The line end of the first line written, which the lines added get
	// too, and how the last piece written ends.
	bool decided = false, crlf = false, ended = true, cr = false;
	bool ok = true;
	while (ok && next_piece(&r)) {
		const char *text = r.text;
		if (r.keyword) {
			filter_entry entry = read_entry(r.text);
			dropping = entry.kind == morvane_line;
			text = restored(text);
			if (values != nullptr && entry.kind == filter_line &&
			    taken_by(kind, &entry))
				ok = fputs(taken_out, out) >= 0;
		}
		if (dropping)
			continue;
		ok = ok && fputs(text, out) >= 0;
		size_t length = strlen(text);
		ended = r.line_start;
		cr = length > 0 && text[length - 1] == '\r';
		if (!decided && ended)
			crlf = length > 1 && text[length - 2] == '\r';
		decided = decided || ended;
	}
	// The last line gets its line end either way, so that the PPD taken
	// back is the same whether it was adapted first or not.
	// A last line that ends in CR gets only the LF.
	if (!decided)
		crlf = cr;
	const char *eol = crlf ? "\r\n" : "\n";
	if (ok && !ended)
		ok = fputs(cr && crlf ? "\n" : eol, out) >= 0;
	if (ferror(in))
		ok = false;
	return ok && (values == nullptr || write_lines(out, kind, filters,
	    values, eol));
}

namespace {

// Whether the file at path holds gzip's data, as libcups tells it, and
// the length of the text, less whole 4 GiB, that its end gives.
bool gzip_length(const char *path, uint32_t *length)
{
	FILE *in = fopen(path, "rb");
	unsigned char head[3] = {}, tail[4] = {};
	bool gzip = in != nullptr && fread(head, 1, 3, in) == 3 &&
	    head[0] == 0x1f && head[1] == 0x8b && head[2] == 8 &&
	    fseek(in, -4, SEEK_END) == 0 && fread(tail, 1, 4, in) == 4;
	if (in != nullptr)
		(void)fclose(in);
	*length = (uint32_t)tail[0] | (uint32_t)tail[1] << 8 |
	    (uint32_t)tail[2] << 16 | (uint32_t)tail[3] << 24;
	return gzip;
}

// Writes the text of in to out; its length goes to length. libcups ends
// a read with -1 both at the end and on damaged data, which alone sets
// errno. Returns false after the error line.
bool write_plain(cups_file_t *in, FILE *out, const char *name,
    const char *plain, uint32_t *length)
{
	char bytes[buffer_size];
	ssize_t n = 0;
	*length = 0;
	errno = 0;
	while ((n = cupsFileRead(in, bytes, sizeof bytes)) > 0) {
		if (fwrite(bytes, 1, n, out) != (size_t)n)
			return report_error("cannot write %s:", plain);
		*length += (uint32_t)n;
		errno = 0;
	}
	if (n < 0 && errno != 0)
		return report_error("cannot read the PPD file %s: its gzip data is "
		    "damaged", name);
	return true;
}

}

const char *plain_ppd(const work *w, const char *path, const char *name,
    char plain[buffer_size])
{
	uint32_t length = 0, written = 0;
	if (!gzip_length(path, &length))
		return path;
	path_in(plain, w->folder, "plain.ppd");
	cups_file_t *in = cupsFileOpen(path, "r");
	if (in == nullptr) {
		report_error("cannot open the PPD file %s:", name);
		return nullptr;
	}
	// A file of the run's own folder: never one that was there.
	int fd = open(plain, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW |
	    O_CLOEXEC, 0600);
	FILE *out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
	bool ok = out != nullptr || report_error("cannot make %s:", plain);
	if (out == nullptr && fd >= 0)
		(void)close(fd);
	ok = ok && write_plain(in, out, name, plain, &written);
	if (out != nullptr && fclose(out) != 0 && ok)
		ok = report_error("cannot write %s:", plain);
	(void)cupsFileClose(in);
	if (ok && written != length)
		ok = report_error("cannot read the PPD file %s: its gzip data ends "
		    "short", name);
	if (!ok && out != nullptr)
		(void)unlink(plain);
	return ok ? plain : nullptr;
}
