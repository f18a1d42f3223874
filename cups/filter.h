// SPDX-License-Identifier: MIT
// morvane-filter: a CUPS filter that runs morvane and its record on a job.
#ifndef MORVANE_FILTER_H
#define MORVANE_FILTER_H

// Every text the filter builds lives in a buffer of this many bytes,
// terminating zero byte included, as in morvane itself.
constexpr int buffer_size = 1024;

// What the queue's PPD and the job's options say about the job.
struct page_setup {
	bool has_size;               // a page size is marked
	char size_name[buffer_size]; // its name in the PPD
	float width;                 // its width and length in points
	float length;
	bool has_dots;               // the PPD has *MorvaneVerticalDots
	char vertical_dots[buffer_size];
};

// Reads the PPD at path and the size that the job's options mark in it.
// Returns false, after the one ERROR: line, when the PPD cannot be used.
bool read_page_setup(const char *path, const char *options,
    page_setup *setup);

// The page-size file's text for a size, printed so that morvane reads back
// the same 32-bit floats. Returns its length.
int format_page_size(char text[buffer_size], float width, float length);

// The number of words in the argument vector of an accepted record,
// program included, and the terminating null pointer.
constexpr int record_words = 7;

enum record_kind { refused_record, copy_record, pstops_record };

// Accepts a record only when it is pstops (by the path given) or cp, on
// the filter's own files in.ps and out.ps. Splits the record in place into
// the argument vector of its command.
record_kind accept_record(char record[buffer_size], const char *pstops,
    const char *argv[record_words]);

// What a program that the filter ran did.
struct run_result {
	int status;         // its exit status, or 128 + the signal that ended it
	int stderr_bytes;   // how much it wrote on standard error
	int output_length;  // the bytes of standard output kept, when asked to
};

// Runs argv (argv[0] is looked up in PATH when it holds no "/") in folder,
// or in the current folder when folder is null, with /dev/null as its
// input. Its standard output goes into output (at most buffer_size - 1
// bytes, terminated) or, when output is null, to the log like its
// standard error. Returns false when it cannot be run or prints more than
// output holds, after the ERROR: line, and when the job is cancelled.
bool run_program(const char *const argv[], const char *folder,
    char output[buffer_size], run_result *result);

// Copies from in, at its offset, to out until the end of in. Returns
// false on a failure, after the ERROR: line naming what, and on a cancel.
bool copy_all(int in, int out, const char *what);

// The job's private folder under $TMPDIR (default /tmp): its name leaves
// room for the names of the files in it.
constexpr int folder_size = buffer_size - 16;
bool make_folder(char folder[folder_size]);

// Removes the folder and what the filter's programs left in it; only a
// DEBUG: line tells when it cannot.
void remove_folder(const char *folder);

// The value of the environment variable name, or fallback where it is
// unset or empty.
const char *setting(const char *name, const char *fallback);

// Sets up the handler that takes CUPS's SIGTERM as a cancel of the job.
void catch_cancel();
bool cancel_requested();

// The filter's lines to the CUPS log; report_error returns false.
bool report_error(const char *format, ...)
    __attribute__((format(printf, 1, 2)));
void debug(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
