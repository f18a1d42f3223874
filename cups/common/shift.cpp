// SPDX-License-Identifier: MIT
// The shift for a paper, from morvane's record.
#include "shift.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "dots.h"
#include "folder.h"
#include "log.h"
#include "record.h"
#include "run.h"

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

static bool write_page_size(const char *path, const page_setup *paper)
{
	char text[buffer_size] = "";
	int length = paper->has_size ?
	    format_page_size(text, paper->width, paper->length) : 0;
	int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	bool ok = file >= 0 && write(file, text, length) == length;
	if (file >= 0 && close(file) != 0)
		ok = false;
	return ok || report_error("cannot write %s:", path);
}

// The vertical dots for the paper: the value as it was given on its
// reference, and on another paper the value that moves the page by the
// same distance from the sheet's top edge.
static void paper_dots(const page_setup *paper, char dots[buffer_size])
{
	float reference = 0;
	const dots_value *value = value_in_effect(paper, &reference);
	if (paper->length == reference)
		// NOLINTNEXTLINE(cert-err33-c): as long as the value's.
		snprintf(dots, buffer_size, "%s", value->text);
	else
		// NOLINTNEXTLINE(cert-err33-c): a number fits.
		snprintf(dots, buffer_size, "%.17g", dots_on_paper(value->dots,
		    paper->length, reference));
}

// morvane's output, kept whole in a buffer.
struct kept_output {
	char *text;
	int length;
	const char *name;
};

static ssize_t keep_output(void *context, int fd, char failure[buffer_size])
{
	kept_output *kept = (kept_output *)context;
	char extra;
	bool full = kept->length == buffer_size - 1;
	ssize_t n = full ? read(fd, &extra, 1) :
	    read(fd, kept->text + kept->length, buffer_size - 1 - kept->length);
	if (n > 0 && full) {
		// NOLINTNEXTLINE(cert-err33-c): a message cut short still says it.
		snprintf(failure, buffer_size, "%s: it printed more than fits in "
		    "the buffer", kept->name);
		return -1;
	}
	if (n > 0) {
		kept->length += (int)n;
		kept->text[kept->length] = '\0';
	}
	return n;
}

bool paper_record(const record_run *run, const page_setup *paper,
    command_record *record)
{
	char page_size[buffer_size];
	path_in(page_size, run->folder, "page.size");
	if ((paper->has_size && !dots_fit(paper)) ||
	    !write_page_size(page_size, paper))
		return false;
	char dots[buffer_size];
	paper_dots(paper, dots);
	char *const *args = run->args;
	const char *argv[] = {run->morvane, args[1], args[2], args[3], args[4],
	    args[5], dots, run->pstops, "in.ps", "out.ps", page_size, nullptr};
	const program p = {.argv = argv, .folder = nullptr, .in = -1};
	record->text[0] = '\0';
	kept_output kept = {.text = record->text, .length = 0, .name = run->morvane};
	const output_reader reader = {.read = keep_output, .context = &kept};
	run_result result;
	record->kind = refused_record;
	if (!read_program(&p, &reader, &result))
		return false;
	if (result.status != 0)
		return report_error("%s failed with status %d", run->morvane,
		    result.status);
	if (result.stderr_bytes != 0)
		return report_error("%s reported an error", run->morvane);
	record->kind = split_record(record->text, run->pstops, record->argv,
	    record->shift);
	if (record->kind == refused_record)
		return report_error("%s printed no usable command record",
		    run->morvane);
	const char **words = record->argv;
	if (record->kind == pstops_record)
		debug("page size %s: %s %s %s %s in.ps out.ps", paper->size_name,
		    words[0], words[1], words[2], words[3]);
	return true;
}

bool pstops_record_for(const record_run *run, const page_setup *paper,
    const char *name, command_record *record)
{
	return paper_record(run, paper, record) && (record->kind == pstops_record ||
	    report_error("morvane printed no pstops record for %s", name));
}
