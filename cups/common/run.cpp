// SPDX-License-Identifier: MIT
// Running a program without a shell, and the cancel of a run.
#include "run.h"

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

#include "log.h"

extern char **environ;

namespace {

// The one flag that the SIGTERM handler sets.
volatile sig_atomic_t cancelled = 0;

void on_sigterm(int)
{
	cancelled = 1;
}

// The child's standard error: its descriptor (-1 once it has ended), and
// the start of a line not yet logged.
struct error_stream {
	int fd;
	const char *name;
	char line[buffer_size];
	int used;
};

void take_line(error_stream *stream, const char *start, int length,
    run_result *result)
{
	debug_from(stream->name, start, length);
	if (length > 0)
		// NOLINTNEXTLINE(cert-err33-c): the line came from a buffer as long.
		snprintf(result->last_line, buffer_size, "%.*s", length, start);
}

// Logs the complete lines in the stream's buffer, and the rest too when
// the stream has ended or the buffer is full of one line.
void log_lines(error_stream *stream, bool at_end, run_result *result)
{
	char *start = stream->line;
	char *end = stream->line + stream->used;
	char *feed;
	while ((feed = (char *)memchr(start, '\n', end - start)) != nullptr) {
		take_line(stream, start, (int)(feed - start), result);
		start = feed + 1;
	}
	if (start < end && (at_end || end - start == buffer_size - 1)) {
		take_line(stream, start, (int)(end - start), result);
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

// Reads what is there of the child's standard error into the log.
ssize_t read_errors(error_stream *stream, run_result *result)
{
	// log_lines leaves room for at least one byte.
	ssize_t n = read(stream->fd, stream->line + stream->used,
	    buffer_size - 1 - stream->used);
	if (n > 0) {
		stream->used += (int)n;
		result->stderr_bytes += (int)n;
		log_lines(stream, false, result);
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

// Starts the program with its standard output on out and its standard
// error on err. The child gets a process group of its own, so that a
// cancel stops whatever it started too, and the signals as they were
// before the program changed them.
bool spawn(const program *p, int out, int err, pid_t *pid)
{
	posix_spawn_file_actions_t actions;
	posix_spawnattr_t attributes;
	sigset_t none, defaults;
	sigemptyset(&none);
	sigemptyset(&defaults);
	sigaddset(&defaults, SIGPIPE);
	sigaddset(&defaults, SIGTERM);
	posix_spawn_file_actions_init(&actions);
	if (p->in >= 0)
		posix_spawn_file_actions_adddup2(&actions, p->in, 0);
	else
		posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY,
		    0);
	posix_spawn_file_actions_adddup2(&actions, out, 1);
	posix_spawn_file_actions_adddup2(&actions, err, 2);
	if (p->folder != nullptr)
		posix_spawn_file_actions_addchdir_np(&actions, p->folder);
	posix_spawnattr_init(&attributes);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP |
	    POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
	posix_spawnattr_setpgroup(&attributes, 0);
	posix_spawnattr_setsigmask(&attributes, &none);
	posix_spawnattr_setsigdefault(&attributes, &defaults);
	int error = posix_spawnp(pid, p->argv[0], &actions, &attributes,
	    (char *const *)p->argv, environ);
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attributes);
	errno = error;
	return error == 0 || report_error("cannot run %s:", p->argv[0]);
}

// A running child: its standard output as the reader takes it (fd -1
// where it goes elsewhere), its standard error, and the signals as they
// were before the run blocked SIGTERM.
struct child {
	pid_t pid;
	int out;
	const output_reader *reader;
	error_stream errors;
	sigset_t waiting;
};

// Reads from the streams that poll found ready. Writes failure when the
// child must be stopped.
void read_ready(const pollfd fds[2], child *c, run_result *result,
    char failure[buffer_size])
{
	int *fd[2] = {&c->out, &c->errors.fd};
	for (int i = 0; i < 2; i++) {
		if (fds[i].revents == 0)
			continue;
		ssize_t n = i == 0 ? c->reader->read(c->reader->context, c->out,
		    failure) : read_errors(&c->errors, result);
		if (failure[0] != '\0')
			return;
		if (n == 0 || (n < 0 && errno != EINTR)) {
			if (i == 1)
				log_lines(&c->errors, true, result);
			close(*fd[i]);
			*fd[i] = -1;
		}
	}
}

// Passes the child's output on until its streams end, and waits for the
// child. SIGTERM is blocked but for the wait in ppoll, so that a cancel can
// neither slip in just before that wait nor be missed.
bool watch(child *c, run_result *result)
{
	char failure[buffer_size] = "";
	while (failure[0] == '\0' && (c->out >= 0 || c->errors.fd >= 0)) {
		pollfd fds[2] = {{c->out, POLLIN, 0}, {c->errors.fd, POLLIN, 0}};
		if (ppoll(fds, 2, nullptr, &c->waiting) < 0 && errno != EINTR)
			set_failure(failure, "%s: %s", c->errors.name, strerror(errno));
		else if (!cancelled)
			read_ready(fds, c, result, failure);
		if (cancelled)
			break;
	}
	int status = 0;
	pid_t waited = -1;
	if (failure[0] == '\0' && !cancelled) {
		// With its streams closed, the child is ending. A cancel that
		// comes meanwhile ends the wait, or is seen right after it.
		sigprocmask(SIG_SETMASK, &c->waiting, nullptr);
		while ((waited = waitpid(c->pid, &status, 0)) < 0 &&
		    errno == EINTR && !cancelled)
			;
		if (waited < 0 && !cancelled)
			set_failure(failure, "%s: %s", c->errors.name, strerror(errno));
	}
	if (waited < 0)
		stop_child(c->pid);
	if (cancelled)
		return false;
	if (failure[0] != '\0')
		return report_error("%s", failure);
	result->status = WIFEXITED(status) ? WEXITSTATUS(status) :
	    128 + WTERMSIG(status);
	return true;
}

void close_all(int fds[], int count)
{
	for (int i = 0; i < count; i++)
		if (fds[i] >= 0)
			close(fds[i]);
}

// Runs the program with its standard output on out, or, where reader is
// not null, through a pipe to it.
bool run(const program *p, int out, const output_reader *reader,
    run_result *result)
{
	*result = run_result{.status = -1, .stderr_bytes = 0, .last_line = ""};
	// Read end and write end of the output's pipe, then of the errors'.
	int pipes[4] = {-1, -1, -1, -1};
	if ((reader != nullptr && pipe2(pipes, O_CLOEXEC) != 0) ||
	    pipe2(pipes + 2, O_CLOEXEC) != 0) {
		int error = errno;
		close_all(pipes, 4);
		errno = error;
		return report_error("cannot make a pipe:");
	}
	// A large output gathers in the pipe, and wakes the reader less often.
	if (reader != nullptr)
		(void)fcntl(pipes[0], F_SETPIPE_SZ, 1 << 20);
	child c = {.pid = 0, .out = pipes[0], .reader = reader,
	    .errors = {.fd = pipes[2], .name = p->argv[0], .line = {}, .used = 0},
	    .waiting = {}};
	sigset_t term;
	sigemptyset(&term);
	sigaddset(&term, SIGTERM);
	sigprocmask(SIG_BLOCK, &term, &c.waiting);
	bool ok = !cancelled && spawn(p, reader != nullptr ? pipes[1] : out,
	    pipes[3], &c.pid);
	pipes[0] = pipes[2] = -1;
	close_all(pipes, 4);
	if (ok)
		ok = watch(&c, result);
	int left[2] = {c.out, c.errors.fd};
	close_all(left, 2);
	sigprocmask(SIG_SETMASK, &c.waiting, nullptr);
	return ok;
}

}

bool run_program(const program *p, int out, run_result *result)
{
	return run(p, out, nullptr, result);
}

bool read_program(const program *p, const output_reader *reader,
    run_result *result)
{
	return run(p, -1, reader, result);
}

void catch_cancel()
{
	struct sigaction action = {};
	action.sa_handler = on_sigterm;
	sigemptyset(&action.sa_mask);
	// No SA_RESTART: a cancel ends a blocking call at once.
	sigaction(SIGTERM, &action, nullptr);
}

bool start_filter(bool reads_input)
{
	(void)signal(SIGPIPE, SIG_IGN);
	// An ignored SIGCHLD survives exec, and would leave the filter unable
	// to wait for its programs.
	(void)signal(SIGCHLD, SIG_DFL);
	catch_cancel();
	bool closed[3];
	for (int fd = 0; fd <= 2; fd++) {
		closed[fd] = fcntl(fd, F_GETFD) < 0;
		if (closed[fd] && open("/dev/null", O_RDWR) != fd)
			return false;
	}
	if (closed[STDOUT_FILENO])
		return report_error("standard output is closed");
	if (closed[STDIN_FILENO] && reads_input)
		return report_error("standard input is closed, and no file names "
		    "the job");
	return true;
}

bool cancel_requested()
{
	return cancelled != 0;
}
