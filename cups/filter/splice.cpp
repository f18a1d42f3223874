// SPDX-License-Identifier: MIT
// pstops' output, passed on with the job's device setup, the JCL and the
// filter's procedure sets spliced in.
#include "splice.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

#include "log.h"
#include "text.h"

namespace {

// Writes why standard output failed to failure, and returns -1.
ssize_t output_failed(char failure[buffer_size])
{
	// NOLINTNEXTLINE(cert-err33-c): a message cut short still says it.
	snprintf(failure, buffer_size, "cannot write standard output: %s",
	    strerror(errno));
	return -1;
}

// Sends what waited for the marker's line: the JCL, the held lines, the
// blocks and the procedure set before. It starts with nothing of the
// output sent, the marker's line read but not passed on, and leaves the
// output just before that line, which the caller passes on next. Writes
// why it failed to failure.
bool place_setup(splice_state *s, char failure[buffer_size])
{
	const splice_plan *plan = s->plan;
	off_t at = plan->jcl.start, held = 0;
	transfer_result done = transfer(plan->from, &at,
	    plan->jcl.end - plan->jcl.start, STDOUT_FILENO);
	if (done == transfer_done)
		done = transfer(plan->held, &held, -1, STDOUT_FILENO);
	for (int i = 0; i < plan->count && done == transfer_done; i++) {
		at = plan->blocks[i].start;
		done = transfer(plan->from, &at, plan->blocks[i].end - at,
		    STDOUT_FILENO);
	}
	if (done == transfer_done && !write_all(STDOUT_FILENO, plan->before,
	    (off_t)strlen(plan->before)))
		done = transfer_write_error;
	if (done == transfer_write_error)
		output_failed(failure);
	else if (done != transfer_done)
		// NOLINTNEXTLINE(cert-err33-c): as above.
		snprintf(failure, buffer_size, "cannot read the job's files: %s",
		    done == transfer_short ? "they ended early" : strerror(errno));
	s->placed = done == transfer_done;
	return s->placed;
}

// Passes on the bytes [start, stop) of one line, after the marker's line
// or that line itself. Where the line is the first "%%EndProcSet" after
// it, the text after goes out right behind it, and the output is left
// after pstops' procedure set and the shifts: all is placed. Returns false
// after failure.
bool pass_line(splice_state *s, const char *start, const char *stop,
    char failure[buffer_size])
{
	bool ends = !s->after_placed && !s->in_line &&
	    has_prefix(start, stop, "%%EndProcSet");
	if (!write_all(STDOUT_FILENO, start, stop - start) ||
	    (ends && !write_all(STDOUT_FILENO, s->plan->after,
	    (off_t)strlen(s->plan->after)))) {
		output_failed(failure);
		return false;
	}
	s->after_placed = s->after_placed || ends;
	return true;
}

// Holds the bytes [start, stop) of a line before the marker's.
bool hold_line(splice_state *s, const char *start, const char *stop,
    char failure[buffer_size])
{
	if (write_all(s->plan->held, start, stop - start))
		return true;
	// NOLINTNEXTLINE(cert-err33-c): as above.
	snprintf(failure, buffer_size, "cannot hold the start of %s's output: "
	    "%s", s->name, strerror(errno));
	return false;
}

// Once all is placed, the bytes go on as they come: the kernel moves them
// where standard output takes them.
ssize_t pass_straight(splice_state *s, int fd, char failure[buffer_size])
{
	ssize_t n = splice(fd, nullptr, STDOUT_FILENO, nullptr, 1 << 20,
	    SPLICE_F_MOVE);
	if (n >= 0) {
		s->passed += n;
		// pstops writes its output a few KiB at a time, and would wake
		// the filter for each: in a large output, a moment's wait lets
		// the pieces gather in the pipe. A cancel meanwhile is seen
		// right after it.
		if (n > 0 && n < 1 << 18 && s->passed > 1 << 20) {
			const timespec moment = {0, 500000};
			nanosleep(&moment, nullptr);
		}
		return n;
	}
	if ((n = read(fd, s->line, buffer_size - 1)) > 0 &&
	    !write_all(STDOUT_FILENO, s->line, n))
		return output_failed(failure);
	return n;
}

// Passes on what the program wrote, as the plan says: whole lines into
// the held file until one starts with the marker, then everything to
// standard output. Each call starts at a line's start, or inside a line
// longer than a buffer, with the bytes of an unfinished line kept in
// s->line, and leaves the same way. Returns the bytes read, 0 at the end,
// or -1, with errno set, or with failure written when passing them on
// failed.
ssize_t pass_output(void *context, int fd, char failure[buffer_size])
{
	splice_state *s = (splice_state *)context;
	if (s->placed && s->after_placed)
		return pass_straight(s, fd, failure);
	ssize_t n = read(fd, s->line + s->used, buffer_size - 1 - s->used);
	if (n <= 0)
		return n;
	s->used += (int)n;
	char *start = s->line, *end = s->line + s->used;
	for (;;) {
		char *feed = (char *)memchr(start, '\n', end - start);
		char *stop = feed != nullptr ? feed + 1 : end;
		if (feed == nullptr && end - start < buffer_size - 1)
			break;
		if (!s->placed && !s->in_line &&
		    has_prefix(start, stop, s->plan->marker) &&
		    !place_setup(s, failure))
			return -1;
		if (s->placed && !pass_line(s, start, stop, failure))
			return -1;
		if (s->placed && s->after_placed) {
			if (!write_all(STDOUT_FILENO, stop, end - stop))
				return output_failed(failure);
			s->used = 0;
			return n;
		}
		if (!s->placed && !hold_line(s, start, stop, failure))
			return -1;
		s->in_line = feed == nullptr;
		start = stop;
	}
	s->used = (int)(end - start);
	memmove(s->line, start, s->used);
	return n;
}

}

bool run_spliced(const program *p, const splice_plan *plan,
    bool *placed, bool *after_placed)
{
	splice_state s = {.plan = plan, .name = p->argv[0], .placed = false,
	    .after_placed = false, .in_line = false,
	    .passed = 0, .line = {}, .used = 0};
	const output_reader reader = {.read = pass_output, .context = &s};
	run_result result;
	bool ok = read_program(p, &reader, &result);
	*placed = s.placed;
	*after_placed = s.after_placed;
	return ok && (result.status == 0 || report_error("%s failed with status "
	    "%d", p->argv[0], result.status));
}
