// SPDX-License-Identifier: MIT
// The programs' lines to standard error.
#include "log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "morvane.h"

namespace {

// Appends length bytes of text to the used bytes of line, with its
// control characters and backslashes escaped as C writes them, as far as
// they fit with a line feed after them. Returns the new length.
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

// A line, written whole by one call after its start, which is not
// escaped. For a filter, the filters of a job share the log's pipe, and
// some write a line in pieces (cups-filters' pdftops does): the error
// line's start begins with a line feed, so that it is not taken into
// another filter's unfinished line and logged at its level; cupsd skips
// the empty line that this makes. Nothing better is left to do when even
// the write fails.
void write_line(const char *start, const char *name, int length,
    const char *text)
{
	char line[buffer_size];
	int used = snprintf(line, sizeof line, "%s", start);
	if (*name != '\0') {
		used = append_escaped(line, used, name, (int)strlen(name));
		used = append_escaped(line, used, ": ", 2);
	}
	used = append_escaped(line, used, text, length);
	line[used++] = '\n';
	ssize_t written = write(STDERR_FILENO, line, used);
	(void)written;
}

// A longer message is cut, not lost. clang-tidy 14 takes the va_list for
// uninitialized when it checks several files in one run.
void log_message(const char *start, const char *format, va_list arguments)
{
	int error = errno;
	char text[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c,clang-analyzer-valist.Uninitialized)
	vsnprintf(text, sizeof text, format, arguments);
	size_t length = strlen(format);
	if (length > 0 && format[length - 1] == ':') {
		size_t used = strlen(text);
		// NOLINTNEXTLINE(cert-err33-c): as above.
		snprintf(text + used, sizeof text - used, " %s", strerror(error));
	}
	write_line(start, "", (int)strlen(text), text);
}

}

// The two are printf-like, and the compiler checks their formats as such.
// NOLINTNEXTLINE(cert-dcl50-cpp)
bool report_error(const char *format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	log_message(program_log.error, format, arguments);
	va_end(arguments);
	return false;
}

// NOLINTNEXTLINE(cert-dcl50-cpp)
void debug(const char *format, ...)
{
	if (program_log.debug == nullptr)
		return;
	va_list arguments;
	va_start(arguments, format);
	log_message(program_log.debug, format, arguments);
	va_end(arguments);
}

void count_page(long page, int copies)
{
	char text[64];
	int length = snprintf(text, sizeof text, "%ld %d", page, copies);
	write_line("PAGE: ", "", length, text);
}

void debug_from(const char *name, const char *text, int length)
{
	if (program_log.debug != nullptr)
		write_line(program_log.debug, name, length, text);
}
