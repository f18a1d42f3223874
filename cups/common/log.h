// SPDX-License-Identifier: MIT
// The one way the programs report: a line to standard error, which CUPS
// reads as its log for a filter, with every control character of the
// text escaped so that each message is one line.
#ifndef MORVANE_LOG_H
#define MORVANE_LOG_H

// How a program's lines start; each program defines its own.
struct log_style {
	const char *error;  // the start of an error line
	const char *debug;  // the start of a debug line; null: none is written
};
extern const log_style program_log;

// Writes the error line and returns false. A format that ends in ":"
// gets the text of errno after it, as the C library words it.
bool report_error(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

// Writes a debug line, where the program writes them.
void debug(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Writes CUPS's page line: the page written, and the copies that it
// stands for in the page log.
void count_page(long page, int copies);

// Writes length bytes of text that the program name wrote as a debug
// line, after its name.
void debug_from(const char *name, const char *text, int length);

#endif
