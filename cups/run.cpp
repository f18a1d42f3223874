// SPDX-License-Identifier: MIT
// Running morvane and the record's command without a shell, their output
// passed on to the CUPS log, and the cancel of a job.
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "filter.h"

extern char **environ;

namespace {

// The one flag that the SIGTERM handler sets.
volatile sig_atomic_t cancelled = 0;

void on_sigterm(int)
{
	cancelled = 1;
}

// A line to the CUPS log, written whole by one call with the prefix that
// CUPS reads. The filters of a job share the log's pipe, and some write a
// line in pieces (cups-filters' pdftops does): an error starts on a line
// of its own, so that it is not taken into another filter's unfinished
// line and logged at its level. cupsd skips the empty line that this
// makes. Nothing better is left to do when even the write fails.
void write_line(const char *prefix, const char *name, int length,
    const char *text)
{
	char line[buffer_size];
	int used = snprintf(line, sizeof line, "%s%s: morvane-filter: ",
	    strcmp(prefix, "ERROR") == 0 ? "\n" : "", prefix);
	if (*name != '\0') {
		used = append_escaped(line, used, name, (int)strlen(name));
		used = append_escaped(line, used, ": ", 2);
	}
	used = append_escaped(line, used, text, length);
	line[used++] = '\n';
	// A lost log line has no better recovery.
	ssize_t written = write(STDERR_FILENO, line, used);
	(void)written;
}

// A stream from a child: its file descriptor (-1 once it has ended), and
// the start of a line not yet logged.
struct child_stream {
	int fd;
	const char *name;
	char line[buffer_size];
	int used;
};

// Logs the complete lines in the stream's buffer, and the rest too when
// the stream has ended or the buffer is full of one line.
void log_lines(child_stream *stream, bool at_end)
{
	char *start = stream->line;
	char *end = stream->line + stream->used;
	char *feed;
	while ((feed = (char *)memchr(start, '\n', end - start)) != nullptr) {
		write_line("DEBUG", stream->name, (int)(feed - start), start);
		start = feed + 1;
	}
	if (start < end && (at_end || end - start == buffer_size - 1)) {
		write_line("DEBUG", stream->name, (int)(end - start), start);
		start = end;
	}
	stream->used = (int)(end - start);
	memmove(stream->line, start, stream->used);
}

// Writes why the child must be stopped into failure: a text cut short at
// the buffer's end still says it. The compiler checks the format.
__attribute__((format(printf, 2, 3)))
// NOLINTNEXTLINE(cert-dcl50-cpp)
void set_failure(char failure[buffer_size], const char *format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	// NOLINTNEXTLINE(cert-err33-c,clang-analyzer-valist.Uninitialized)
	vsnprintf(failure, buffer_size, format, arguments);
	va_end(arguments);
}

// Writes why standard output failed to failure, and returns -1.
ssize_t output_failed(char failure[buffer_size])
{
	set_failure(failure, "cannot write standard output: %s",
	    strerror(errno));
	return -1;
}

bool line_starts(const char *start, const char *stop, const char *text)
{
	size_t length = strlen(text);
	return (size_t)(stop - start) >= length && memcmp(start, text, length) == 0;
}

// Sends what waited for the marker's line: the JCL, the held lines, and
// the blocks. Writes why it failed to failure.
bool place_setup(passing *pass, char failure[buffer_size])
{
	off_t at = pass->jcl.start, held = 0;
	transfer_result done = transfer(pass->from, &at,
	    pass->jcl.end - pass->jcl.start, STDOUT_FILENO);
	if (done == transfer_done)
		done = transfer(pass->held, &held, -1, STDOUT_FILENO);
	for (int i = 0; i < pass->count && done == transfer_done; i++) {
		at = pass->blocks[i].start;
		done = transfer(pass->from, &at, pass->blocks[i].end - at,
		    STDOUT_FILENO);
	}
	if (done == transfer_done && pass->before != nullptr &&
	    !write_all(STDOUT_FILENO, pass->before,
	    (off_t)strlen(pass->before)))
		done = transfer_write_error;
	if (done == transfer_write_error)
		output_failed(failure);
	else if (done != transfer_done)
		set_failure(failure, "cannot read the job's files: %s",
		    done == transfer_short ? "they ended early" : strerror(errno));
	pass->placed = done == transfer_done;
	return pass->placed;
}

// Passes on what the program wrote, as pass says: whole lines into the held
// file until one starts with the marker, then everything to standard
// output. Returns the bytes read, 0 at the end, or -1, with errno set, or
// with failure written when passing them on failed.
ssize_t pass_stream(child_stream *stream, passing *pass,
    char failure[buffer_size])
{
	char *line = stream->line;
	if (pass->placed && pass->after == nullptr) {
		// The kernel moves the bytes where standard output takes them.
		ssize_t n = splice(stream->fd, nullptr, STDOUT_FILENO, nullptr,
		    1 << 20, SPLICE_F_MOVE);
		if (n >= 0) {
			pass->passed += n;
			pass->small = n < 1 << 18 && pass->passed > 1 << 20;
			return n;
		}
		if ((n = read(stream->fd, line, buffer_size - 1)) > 0 &&
		    !write_all(STDOUT_FILENO, line, n))
			return output_failed(failure);
		return n;
	}
	ssize_t n = read(stream->fd, line + stream->used,
	    buffer_size - 1 - stream->used);
	if (n <= 0)
		return n;
	stream->used += (int)n;
	char *start = line, *end = line + stream->used;
	for (;;) {
		char *feed = (char *)memchr(start, '\n', end - start);
		char *stop = feed != nullptr ? feed + 1 : end;
		if (feed == nullptr && end - start < buffer_size - 1)
			break;
		if (!pass->placed && !pass->in_line &&
		    line_starts(start, stop, pass->marker) &&
		    !place_setup(pass, failure))
			return -1;
		if (pass->placed) {
			bool ends = pass->after != nullptr && !pass->in_line &&
			    line_starts(start, stop, "%%EndProcSet");
			if (!write_all(STDOUT_FILENO, start, stop - start) ||
			    (ends && !write_all(STDOUT_FILENO, pass->after,
			    (off_t)strlen(pass->after))))
				return output_failed(failure);
			if (ends)
				pass->after = nullptr;
		}
		if (pass->placed && pass->after == nullptr) {
			if (!write_all(STDOUT_FILENO, stop, end - stop))
				return output_failed(failure);
			stream->used = 0;
			return n;
		}
		if (!pass->placed && !write_all(pass->held, start, stop - start)) {
			set_failure(failure, "cannot hold the start of %s's "
			    "output: %s", stream->name, strerror(errno));
			return -1;
		}
		pass->in_line = feed == nullptr;
		start = stop;
	}
	stream->used = (int)(end - start);
	memmove(line, start, stream->used);
	return n;
}

// Reads what is there: into output, or on as pass says, or into the log.
// Returns the bytes read, 0 at the end, or -1 with errno set, or with
// failure written when the child must be stopped.
ssize_t read_stream(child_stream *stream, const program_io *io,
    int *length, char failure[buffer_size])
{
	if (io != nullptr && io->pass != nullptr)
		return pass_stream(stream, io->pass, failure);
	char *output = io != nullptr ? io->output : nullptr;
	if (output == nullptr) {
		// log_lines leaves room for at least one byte.
		ssize_t n = read(stream->fd, stream->line + stream->used,
		    buffer_size - 1 - stream->used);
		if (n > 0) {
			stream->used += (int)n;
			log_lines(stream, false);
		}
		return n;
	}
	char extra;
	bool full = *length == buffer_size - 1;
	ssize_t n = full ? read(stream->fd, &extra, 1) :
	    read(stream->fd, output + *length, buffer_size - 1 - *length);
	if (n > 0 && full) {
		set_failure(failure, "%s: it printed more than fits in "
		    "the buffer", stream->name);
		return -1;
	}
	if (n > 0) {
		*length += (int)n;
		output[*length] = '\0';
	}
	return n;
}

// Kills the child and whatever it started, which is all in its process
// group: nothing of their work is kept, and they cannot ignore the signal.
void stop_child(pid_t pid)
{
	kill(-pid, SIGKILL);
	while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR)
		;
}

bool spawn(const char *const argv[], const char *folder, int in, int out,
    int err, pid_t *pid)
{
	posix_spawn_file_actions_t actions;
	posix_spawnattr_t attributes;
	sigset_t none, defaults;
	sigemptyset(&none);
	sigemptyset(&defaults);
	sigaddset(&defaults, SIGPIPE);
	sigaddset(&defaults, SIGTERM);
	posix_spawn_file_actions_init(&actions);
	if (in >= 0)
		posix_spawn_file_actions_adddup2(&actions, in, 0);
	else
		posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY,
		    0);
	posix_spawn_file_actions_adddup2(&actions, out, 1);
	posix_spawn_file_actions_adddup2(&actions, err, 2);
	if (folder != nullptr)
		posix_spawn_file_actions_addchdir_np(&actions, folder);
	// The child gets a process group of its own, so that a cancel stops
	// whatever it started too, and the signals as they were before the
	// filter changed them.
	posix_spawnattr_init(&attributes);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP |
	    POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
	posix_spawnattr_setpgroup(&attributes, 0);
	posix_spawnattr_setsigmask(&attributes, &none);
	posix_spawnattr_setsigdefault(&attributes, &defaults);
	int error = posix_spawnp(pid, argv[0], &actions, &attributes,
	    (char *const *)argv, environ);
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attributes);
	if (error != 0)
		return report_error("cannot run %s: %s", argv[0], strerror(error));
	return true;
}

// Reads from the streams that poll found ready: standard output as io
// says, standard error into the log. Writes failure when the child must
// be stopped.
void read_streams(const pollfd fds[2], child_stream streams[2],
    const program_io *io, run_result *result, char failure[buffer_size])
{
	for (int i = 0; i < 2; i++) {
		if (fds[i].revents == 0)
			continue;
		ssize_t n = read_stream(&streams[i], i == 0 ? io : nullptr,
		    &result->output_length, failure);
		if (n > 0 && i == 1)
			result->stderr_bytes += (int)n;
		if (failure[0] != '\0')
			return;
		if (n == 0 || (n < 0 && errno != EINTR)) {
			log_lines(&streams[i], true);
			close(streams[i].fd);
			streams[i].fd = -1;
		}
	}
}

// Passes the child's output on until both streams end, and waits for the
// child. SIGTERM is blocked but for the wait in ppoll, so that a cancel can
// neither slip in just before that wait nor be missed.
bool watch(pid_t pid, child_stream streams[2], const program_io *io,
    run_result *result, const sigset_t *waiting)
{
	char failure[buffer_size] = "";
	while (failure[0] == '\0' && (streams[0].fd >= 0 || streams[1].fd >= 0)) {
		pollfd fds[2] = {{streams[0].fd, POLLIN, 0},
		    {streams[1].fd, POLLIN, 0}};
		if (ppoll(fds, 2, nullptr, waiting) < 0 && errno != EINTR)
			set_failure(failure, "%s: %s", streams[0].name,
			    strerror(errno));
		else if (!cancelled)
			read_streams(fds, streams, io, result, failure);
		if (cancelled)
			break;
		// pstops writes its output a few KiB at a time, and would wake
		// the filter for each: in a large output, a moment's wait lets
		// the pieces gather in the pipe, grown to 1 MiB for them.
		const timespec moment = {0, 500000};
		if (io->pass != nullptr && io->pass->small && streams[0].fd >= 0)
			ppoll(nullptr, 0, &moment, waiting);
	}
	int status = 0;
	pid_t waited = -1;
	if (failure[0] == '\0' && !cancelled) {
		// With both its streams closed, the child is ending. A cancel
		// that comes meanwhile ends the wait, or is seen right after it.
		sigprocmask(SIG_SETMASK, waiting, nullptr);
		while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR &&
		    !cancelled)
			;
		if (waited < 0 && !cancelled)
			set_failure(failure, "%s: %s", streams[0].name,
			    strerror(errno));
	}
	if (waited < 0)
		stop_child(pid);
	if (cancelled)
		return false;
	if (failure[0] != '\0')
		return report_error("%s", failure);
	result->status = WIFEXITED(status) ? WEXITSTATUS(status) :
	    128 + WTERMSIG(status);
	return true;
}

}

bool run_program(const char *const argv[], const char *folder,
    const program_io *io, run_result *result)
{
	*result = run_result{-1, 0, 0};
	if (io->output != nullptr)
		io->output[0] = '\0';
	// Its standard output comes through a pipe unless it goes to a file.
	int pipes[2][2] = {{-1, -1}, {-1, -1}};
	if ((io->out < 0 && pipe2(pipes[0], O_CLOEXEC) != 0) ||
	    pipe2(pipes[1], O_CLOEXEC) != 0) {
		int error = errno;
		for (auto &pipe : pipes)
			for (int fd : pipe)
				if (fd >= 0)
					close(fd);
		return report_error("cannot make a pipe: %s", strerror(error));
	}
	child_stream streams[2] = {{pipes[0][0], argv[0], {}, 0},
	    {pipes[1][0], argv[0], {}, 0}};
	if (io->pass != nullptr)
		(void)fcntl(pipes[0][0], F_SETPIPE_SZ, 1 << 20);

	sigset_t term, waiting;
	sigemptyset(&term);
	sigaddset(&term, SIGTERM);
	sigprocmask(SIG_BLOCK, &term, &waiting);
	pid_t pid = 0;
	bool ok = !cancelled && spawn(argv, folder, io->in,
	    io->out >= 0 ? io->out : pipes[0][1], pipes[1][1], &pid);
	for (auto &pipe : pipes)
		if (pipe[1] >= 0)
			close(pipe[1]);
	if (ok)
		ok = watch(pid, streams, io, result, &waiting);
	for (child_stream &stream : streams)
		if (stream.fd >= 0)
			close(stream.fd);
	sigprocmask(SIG_SETMASK, &waiting, nullptr);
	return ok;
}

int append_escaped(char line[buffer_size], int used, const char *text,
    int length)
{
	// C's escapes: \n, \r, \t and \\ by name, other control bytes in octal.
	const char named[] = "\n\r\t\\";
	const char letters[] = "nrt\\";
	// Room is left for the line feed and the terminating zero byte.
	const int room = buffer_size - 2;
	for (int i = 0; i < length; i++) {
		unsigned char c = (unsigned char)text[i];
		const char *name = c != 0 ? strchr(named, c) : nullptr;
		char escape[8] = {(char)c};
		int n = 1;
		if (name != nullptr)
			n = snprintf(escape, sizeof escape, "\\%c", letters[name - named]);
		else if (c < 0x20 || c == 0x7f)
			n = snprintf(escape, sizeof escape, "\\%03o", c);
		if (used + n > room)
			break;
		memcpy(line + used, escape, n);
		used += n;
	}
	line[used] = '\0';
	return used;
}

void catch_cancel()
{
	struct sigaction action = {};
	action.sa_handler = on_sigterm;
	sigemptyset(&action.sa_mask);
	// No SA_RESTART: a cancel ends a blocking call at once.
	sigaction(SIGTERM, &action, nullptr);
}

bool cancel_requested()
{
	return cancelled != 0;
}

// The log lines of the filter's own: a longer message is cut, not lost.
// clang-tidy 14 takes the va_list for uninitialized when it checks several
// files in one run.
static void log_message(const char *prefix, const char *format,
    va_list arguments)
{
	char text[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c,clang-analyzer-valist.Uninitialized)
	vsnprintf(text, sizeof text, format, arguments);
	write_line(prefix, "", (int)strlen(text), text);
}

// The two are printf-like, and the compiler checks their formats as such.
// NOLINTNEXTLINE(cert-dcl50-cpp)
bool report_error(const char *format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	log_message("ERROR", format, arguments);
	va_end(arguments);
	return false;
}

// NOLINTNEXTLINE(cert-dcl50-cpp)
void debug(const char *format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	log_message("DEBUG", format, arguments);
	va_end(arguments);
}
