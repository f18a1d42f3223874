// SPDX-License-Identifier: MIT
// The shift for a paper, from morvane's record.
#include "shift.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "calibration.h"
#include "dots.h"
#include "filter_job.h"
#include "folder.h"
#include "log.h"
#include "record.h"
#include "run.h"
#include "text.h"

int format_page_size(char text[buffer_size], float width, float length)
{
	// Nine significant digits carry any float through text and back.
	return snprintf(text, buffer_size, "PageSize [%.9g %.9g]\n",
	    (double)width, (double)length);
}

// Accepts the record as accept_record does, and takes its shift.
static record_kind split_record(char record[buffer_size], const char *pstops,
    const char *argv[record_words], double shift[2])
{
	record_parts parts;
	if (!read_record(record, &parts))
		return refused_record;
	const char *const *words = parts.words;
	int files = parts.count - 2;
	if (strcmp(words[files], "in.ps") != 0 ||
	    strcmp(words[files + 1], "out.ps") != 0 ||
	    (parts.form == pstops_form && strcmp(parts.command, pstops) != 0))
		return refused_record;
	argv[0] = parts.command;
	for (int i = 0; i < parts.count; i++)
		argv[i + 1] = words[i];
	argv[parts.count + 1] = nullptr;
	shift[0] = parts.shift[0];
	shift[1] = parts.shift[1];
	return parts.form == copy_form ? copy_record : pstops_record;
}

record_kind accept_record(char record[buffer_size], const char *pstops,
    const char *argv[record_words])
{
	double shift[2];
	return split_record(record, pstops, argv, shift);
}

static bool write_page_size(const char *path, const paper *p)
{
	char text[buffer_size] = "";
	int length = p != nullptr ? format_page_size(text, p->width, p->length) :
	    0;
	int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	bool ok = file >= 0 && write(file, text, length) == length;
	if (file >= 0 && close(file) != 0)
		ok = false;
	return ok || report_error("cannot write %s:", path);
}

// The vertical dots for the paper: the value as it was given on its
// reference, and on another paper the value that moves the page by the
// same distance from the sheet's top edge.
static void paper_dots(const calibration *c, const paper &p,
    char dots[buffer_size])
{
	float reference = 0;
	const dots_value *value = value_in_effect(c, p, &reference);
	if (p.length == reference)
		copy_text(dots, buffer_size, value->text);
	else
		// NOLINTNEXTLINE(cert-err33-c): a number fits.
		snprintf(dots, buffer_size, "%.17g", dots_on_paper(value->dots,
		    p.length, reference));
}

// morvane's output, whole in a buffer.
struct record_output {
	char *text;
	int length;
	const char *name;
};

static ssize_t read_output(void *context, int fd, char failure[buffer_size])
{
	record_output *out = (record_output *)context;
	char extra;
	bool full = out->length == buffer_size - 1;
	ssize_t n = full ? read(fd, &extra, 1) :
	    read(fd, out->text + out->length, buffer_size - 1 - out->length);
	if (n > 0 && full) {
		// NOLINTNEXTLINE(cert-err33-c): a message cut short still says it.
		snprintf(failure, buffer_size, "%s: it printed more than fits in "
		    "the buffer", out->name);
		return -1;
	}
	if (n > 0) {
		out->length += (int)n;
		out->text[out->length] = '\0';
	}
	return n;
}

// Runs morvane with the vertical dots for the paper and reads what it
// printed into record's text. Returns false after the error line.
static bool run_morvane(const filter_job *job, const char *dots,
    const char *page_size, command_record *record)
{
	const char *morvane = job->env.morvane;
	char *const *args = job->args;
	const char *argv[] = {morvane, args[1], args[2], args[3], args[4],
	    args[5], dots, job->env.psutils_pstops, "in.ps", "out.ps", page_size,
	    nullptr};
	const program p = {.argv = argv, .folder = nullptr, .in = -1};
	record->text[0] = '\0';
	record_output out = {.text = record->text, .length = 0, .name = morvane};
	const output_reader reader = {.read = read_output, .context = &out};
	run_result result;
	if (!read_program(&p, &reader, &result))
		return false;
	if (result.status != 0)
		return report_error("%s failed with status %d", morvane,
		    result.status);
	return result.stderr_bytes == 0 ||
	    report_error("%s reported an error", morvane);
}

bool paper_record(const filter_job *job, const paper *p,
    command_record *record)
{
	record->kind = refused_record;
	char page_size[buffer_size];
	path_in(page_size, job->folder, "page.size");
	const calibration *values = &job->q->values;
	if ((p != nullptr && !dots_fit(values, *p)) ||
	    !write_page_size(page_size, p))
		return false;
	// Without a paper, morvane's record is a copy whatever the value.
	const paper none = {.name = "", .width = 0, .length = 0};
	char dots[buffer_size];
	paper_dots(values, p != nullptr ? *p : none, dots);
	if (!run_morvane(job, dots, page_size, record))
		return false;
	record->kind = split_record(record->text, job->env.psutils_pstops,
	    record->argv, record->shift);
	if (record->kind == refused_record)
		return report_error("%s printed no usable command record",
		    job->env.morvane);
	const char **words = record->argv;
	if (record->kind == pstops_record)
		debug("page size %s: %s %s %s %s in.ps out.ps", p != nullptr ? p->name : "",
		    words[0], words[1], words[2], words[3]);
	return true;
}

bool shift_record(const filter_job *job, const paper *p, const char *what,
    command_record *record)
{
	return paper_record(job, p, record) && (record->kind == pstops_record ||
	    report_error("morvane printed no pstops record for %s", what));
}

bool record_shift(const calibration *c, const paper &p, double shift[2])
{
	char dots[buffer_size], record[buffer_size];
	paper_dots(c, p, dots);
	// morvane's own reading of its arguments and its record's.
	int length = compose_record(record, page_extent{.width = p.width,
	    .height = p.length}, strtod(dots, nullptr), "pstops", "in.ps",
	    "out.ps");
	if (length < 0 || length + 1 >= buffer_size)
		return false;
	record[length] = '\n';
	record[length + 1] = '\0';
	record_parts parts;
	if (!read_record(record, &parts) || parts.form != pstops_form)
		return false;
	shift[0] = parts.shift[0];
	shift[1] = parts.shift[1];
	return true;
}
