// SPDX-License-Identifier: MIT
// morvane-filter: a CUPS filter that runs morvane and its record on a job.
#ifndef MORVANE_FILTER_H
#define MORVANE_FILTER_H

#include <sys/types.h>

#include <cups/http.h>

// Every text the filter builds lives in a buffer of this many bytes,
// terminating zero byte included, as in morvane itself.
constexpr int buffer_size = 1024;

// What the queue's PPD and the job's options say about the job.
struct page_setup {
	bool has_size;               // a page size is marked
	char size_name[buffer_size]; // its name in the PPD
	float width;                 // its width and length in points
	float length;
	bool has_dots;               // the job's option or the PPD gives the
	char vertical_dots[buffer_size]; // vertical dots, whose text this is,
	double dots;                 // their value,
	char dots_source[64];        // and where they come from
	bool raw_postscript;         // the PPD takes PostScript that CUPS has
	                             // not prepared (application/postscript)
	bool plain_sends_size;       // the PPD without morvane's lines would
	                             // have CUPS send the size's code too
};

// Reads the PPD at path and the size that the job's options mark in it.
// Returns false, after the one ERROR: line, when the PPD cannot be used
// or the size is not one that a sheet can have; has_size is then false.
bool read_page_setup(const char *path, const char *options,
    page_setup *setup);

// Replaces the size in setup by the PPD's size of that name, checked as
// read_page_setup checks it. Returns false after the one ERROR: line, or
// with *missing and no line where the PPD has no size of that name.
bool read_named_size(const char *path, const char *name, page_setup *setup,
    bool *missing);

// Replaces the size in setup by a size of a name that the PPD lacks, as
// the job's code asks for it, checked as the PPD's named sizes are.
// Returns false after the one ERROR: line.
bool take_code_size(const char *name, const float size[2],
    page_setup *setup);

// Whether the vertical dots keep the page's top edge on the sheet for
// the size in setup. Returns false after the one ERROR: line.
bool dots_fit(const page_setup *setup);

// Whether the PPD at path has *MorvaneVerticalDots, whose value goes to
// text.
bool ppd_dots(const char *path, char text[buffer_size]);

// Whether libcups reads the file at path as a PPD; if not, why is the
// message, as read_page_setup reports it.
bool ppd_readable(const char *path, char why[buffer_size]);

// Writes the PPD of the server's queue to path. Returns false when the
// server has none for it (*missing) or cannot be asked; cupsLastError-
// String says why.
bool fetch_ppd(http_t *http, const char *queue, const char *path,
    bool *missing);

// The largest page, in points, that a size without a custom range may
// have: 200 inches, as in PDF.
constexpr float largest_page = 14400;

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

// A run of bytes [start, end) of a file.
struct span {
	off_t start;
	off_t end;
};

// A document may carry this many blocks of device setup; more fail it.
constexpr int max_setup_blocks = 256;

// A block of device setup: its bytes, and for a *PageSize or *PageRegion
// feature, or a paper that the document selects (%%BeginPaperSize), the
// choice, or for *CustomPageSize that it is one.
struct setup_block {
	span bytes;
	span size;
	bool custom_size;
	bool paper_size;    // the document's own %%BeginPaperSize block
};

// One PostScript document of the job that CUPS prepared, and the device
// setup in it that pstops would disable: the feature code and copies of
// its setup section (cut from it), then the feature code that starts the
// first page's setup (left in every page, where CUPS repeats it).
struct document {
	span before;                   // the bytes before it: JCL, or none
	span body;                     // "%!" through its "%%EOF" line
	span setup;                    // its setup section, or none
	int blocks;                    // device-setup blocks, in order
	int cut;                       // the first this many are cut
	setup_block block[max_setup_blocks];
};

enum scan_result { scan_document, scan_end, scan_too_many };

// Finds the next document in data[from, size). At scan_end, no document
// follows and doc->before holds the rest.
scan_result next_document(const char *data, off_t size, off_t from,
    document *doc);

// The size that the code in bytes asks for with "/PageSize [W H]".
// Returns false where it has none that can be read.
bool code_page_size(const char *data, span bytes, float size[2]);

// The page sizes, in points, that a document's pages may ask for.
constexpr int max_page_sizes = 24;
struct page_sizes {
	int count;
	float size[max_page_sizes][2];
};

// Adds to sizes the sizes that the document's code names: "/PageSize
// [W H]" outside the device setup that is carried, "/MediaBox [X0 Y0 X1
// Y1]" as ghostscript's PostScript of PDF pages writes it, and the media
// of "%%DocumentMedia:". A size within a point of one in sizes is that
// one. Returns false where they do not fit.
bool own_page_sizes(const char *data, const document *doc,
    page_sizes *sizes);

// The last "/PageSize [W H]" that the document's setup section asks for
// outside the device setup that is carried, and where it is. Returns
// false where it asks for none that can be read.
bool setup_page_size(const char *data, const document *doc, float size[2],
    off_t *at);

// Whether the document asks for a page size itself, outside the device
// setup that is carried: PDF turned into PostScript does so on each page.
bool sets_own_size(const char *data, const document *doc);

// What a program that the filter ran did.
struct run_result {
	int status;         // its exit status, or 128 + the signal that ended it
	int stderr_bytes;   // how much it wrote on standard error
	int output_length;  // the bytes of standard output kept, when asked to
};

// Where a program's output goes as it comes: on to standard output, after
// the bytes jcl of the file from, with the bytes of its blocks and then
// the text before put in before the first line that starts with marker,
// and the text after (where not null) after the first "%%EndProcSet" line
// that follows. The lines before the marker's wait in the file held until
// it comes; without it, nothing goes out.
struct passing {
	int from;
	span jcl;
	const span *blocks;
	int count;
	const char *before;
	const char *after;  // null once it is placed
	const char *marker;
	int held;
	bool placed;        // the marker's line has come, and all before it
	bool in_line;       // a line longer than a buffer is being held
	off_t passed;       // the bytes passed on straight since
	bool small;         // the last of them came in a small piece
};

// What a program that the filter runs reads and writes: its standard input
// is in, or /dev/null when in is -1; its standard output goes to the file
// out when out is not -1, else into output (at most buffer_size - 1 bytes,
// terminated) when output is not null, else on as pass says when pass is
// not null, else to the log like its standard error.
struct program_io {
	int in;
	int out;
	char *output;
	passing *pass;
};

// Runs argv (argv[0] is looked up in PATH when it holds no "/") in folder,
// or in the current folder when folder is null. Returns false when it
// cannot be run, prints more than output holds, or its output cannot be
// passed on, after the ERROR: line, and when the job is cancelled.
bool run_program(const char *const argv[], const char *folder,
    const program_io *io, run_result *result);

// How a copy ended; errno tells why it failed.
enum transfer_result {
	transfer_done, transfer_short, transfer_read_error, transfer_write_error,
	transfer_cancelled
};

// Copies count bytes (all, when count is -1) from in to out: from *offset
// when offset is given, else from in's own position.
transfer_result transfer(int in, off_t *offset, off_t count, int out);

// Copies from in, at its position, to out until the end of in. Returns
// false on a failure, after the ERROR: line that names the file, from or
// to, that failed, and on a cancel.
bool copy_all(int in, int out, const char *from, const char *to);

// Copies the bytes [start, end) of the file in to out. Returns false as
// copy_all does.
bool copy_range(int in, off_t start, off_t end, int out, const char *to);

// Writes count bytes to out. Returns false, with errno set, when it
// cannot, and on a cancel.
bool write_all(int out, const char *bytes, off_t count);

// A file of the filter's own, mapped into memory to be read.
struct mapped_file {
	int fd;
	const char *data;
	off_t size;
};

// Maps the whole of the file fd. Returns false after the ERROR: line.
bool map_file(int fd, const char *name, mapped_file *map);
void unmap_file(const mapped_file *map);

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

// The filter's lines to the CUPS log, with every control character of the
// text escaped, so that each is one line; report_error returns false.
bool report_error(const char *format, ...)
    __attribute__((format(printf, 1, 2)));
void debug(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Appends length bytes of text to the used bytes of line, with its control
// characters and backslashes escaped as C writes them, as far as they fit
// with a line feed after them. Returns the new length.
int append_escaped(char line[buffer_size], int used, const char *text,
    int length);

#endif
