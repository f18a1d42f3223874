// SPDX-License-Identifier: MIT
// morvane-filter: a CUPS filter that fits the PostScript that CUPS prepared
// for a printer to its page size.
//
// Called as CUPS calls a filter, with the queue's PPD named by $PPD:
//   morvane-filter job user title copies options [file]
// It reads the job from FILE or standard input: CUPS's PostScript, with
// the device setup of the job's options, and JCL where the PPD has it. It
// takes the page size that the options mark in the PPD, runs morvane on it
// and the command of morvane's record (psutils' pstops, or a copy) on each
// document of the job, and writes the result to standard output: the JCL
// as it was, and the device setup moved before pstops' own prolog, which
// disables setpagedevice.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filter.h"

// The path of a file in the job's folder, whose name leaves room for it.
static void path_in(char path[buffer_size], const char *folder,
    const char *name)
{
	// NOLINTNEXTLINE(cert-err33-c): it fits, as make_folder made sure.
	snprintf(path, buffer_size, "%s/%s", folder, name);
}

// Opens the job's file, which must be a regular file as the descriptor
// opened says: a folder or a device is no job, and on a FIFO pstops would
// wait for ever. Only what was opened here is read, never the name again.
static bool open_job(const char *file, int *fd)
{
	*fd = open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
	if (*fd < 0)
		return cancel_requested() ? false :
		    report_error("cannot read the job %s: %s", file, strerror(errno));
	struct stat status;
	const char *kind = nullptr;
	if (fstat(*fd, &status) != 0)
		kind = strerror(errno);
	else if (S_ISDIR(status.st_mode))
		kind = "it is a folder";
	else if (S_ISFIFO(status.st_mode))
		kind = "it is a FIFO";
	else if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
		kind = "it is a device";
	else if (!S_ISREG(status.st_mode))
		kind = "it is not a regular file";
	if (kind == nullptr)
		return true;
	close(*fd);
	return report_error("cannot read the job %s: %s", file, kind);
}

// A new file of the job's folder, for reading and writing.
static bool make_file(const char *folder, const char *name, int *fd)
{
	char path[buffer_size];
	path_in(path, folder, name);
	*fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	return *fd >= 0 ||
	    report_error("cannot make %s: %s", path, strerror(errno));
}

// The job in a file of the filter's own, which nothing else changes while
// the filter reads it.
static bool stage_job(const char *folder, int input, int *job)
{
	if (!make_file(folder, "job.ps", job))
		return false;
	if (copy_all(input, *job, "the job", "the job's copy"))
		return true;
	close(*job);
	return false;
}

// PostScript that comes straight from the client, through a PPD with the
// filter lines of morvane 1.3.0: CUPS's own pstops prepares it first, as
// it does in a queue of CUPS's own.
static bool prepare_job(char *const args[], const char *folder, int input,
    int *job)
{
	char pstops[buffer_size];
	const char *server = setting("CUPS_SERVERBIN", CUPS_SERVERBIN);
	if (server[0] != '/' || snprintf(pstops, sizeof pstops, "%s/filter/pstops",
	    server) >= (int)sizeof pstops)
		return report_error("CUPS_SERVERBIN must be an absolute path, "
		    "not %s", server);
	if (!make_file(folder, "job.ps", job))
		return false;
	const char *argv[] = {pstops, args[1], args[2], args[3], args[4],
	    args[5], nullptr};
	const program_io io = {input, *job, nullptr, nullptr};
	run_result result;
	bool ok = run_program(argv, nullptr, &io, &result);
	if (ok && result.status != 0)
		ok = report_error("%s failed with status %d", pstops, result.status);
	if (!ok)
		close(*job);
	return ok;
}

static bool write_page_size(const char *path, const page_setup *setup)
{
	char text[buffer_size] = "";
	int length = setup->has_size ?
	    format_page_size(text, setup->width, setup->length) : 0;
	int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	bool ok = file >= 0 && write(file, text, length) == length;
	if (file >= 0 && close(file) != 0)
		ok = false;
	return ok || report_error("cannot write %s: %s", path, strerror(errno));
}

// morvane's record for a page size, split into its command's arguments.
struct command_record {
	char text[buffer_size];
	const char *argv[record_words];
	record_kind kind;
};

// Runs morvane for the size in setup and checks what it printed.
static bool run_morvane(char *const args[], const char *folder,
    const page_setup *setup, const char *pstops, command_record *record)
{
	const char *morvane = setting("MORVANE", "morvane");
	char page_size[buffer_size];
	path_in(page_size, folder, "page.size");
	if ((setup->has_size && !dots_fit(setup)) ||
	    !write_page_size(page_size, setup))
		return false;
	const char *command[] = {morvane, args[1], args[2], args[3], args[4],
	    args[5], setup->vertical_dots, pstops, "in.ps", "out.ps", page_size,
	    nullptr};
	const program_io io = {-1, -1, record->text, nullptr};
	run_result result;
	if (!run_program(command, nullptr, &io, &result))
		return false;
	record->kind = refused_record;
	if (result.status != 0)
		return report_error("%s failed with status %d", morvane,
		    result.status);
	if (result.stderr_bytes != 0)
		return report_error("%s reported an error", morvane);
	record->kind = accept_record(record->text, pstops, record->argv);
	if (record->kind == refused_record)
		return report_error("%s printed no usable command record", morvane);
	const char **argv = record->argv;
	if (record->kind == pstops_record)
		debug("page size %s: %s %s %s %s in.ps out.ps", setup->size_name,
		    argv[0], argv[1], argv[2], argv[3]);
	return true;
}

// For the filter's queue CUPS writes the code of the size where for its
// own queue it writes none, when the tray has code: then the paper is the
// tray's, or the one that the document's pages ask for. Unless they do,
// that block, the first size feature of CUPS's, does not go to the
// printer. -1 where none is dropped.
static int dropped_block(const mapped_file *job, const document *doc,
    const page_setup *setup, bool own_size)
{
	if (setup->plain_sends_size || own_size)
		return -1;
	// CUPS's own block is in its wrapper, "[{" to "} stopped cleartomark".
	for (int i = 0; i < doc->blocks; i++)
		if (doc->block[i].size.end > doc->block[i].size.start &&
		    !doc->block[i].paper_size &&
		    job->data[doc->block[i].bytes.start] == '[')
			return i;
	return -1;
}

// A size that the document's setup asks for with code of its own after
// all of CUPS's is the paper in effect, as on the printer.
static bool take_setup_size(char *const args[], const char *folder,
    const char *pstops, const float size[2], page_setup *setup,
    command_record *record)
{
	if (setup->has_size && fabsf(size[0] - setup->width) <= 1 &&
	    fabsf(size[1] - setup->length) <= 1)
		return true;
	char name[64];
	// NOLINTNEXTLINE(cert-err33-c): two floats fit.
	snprintf(name, sizeof name, "%gx%g", (double)size[0], (double)size[1]);
	debug("the job's setup asks for the page size %s itself", name);
	if (!take_code_size(name, size, setup) ||
	    !run_morvane(args, folder, setup, pstops, record))
		return false;
	return record->kind == pstops_record ||
	    report_error("morvane printed no pstops record for %s", name);
}

// The page size in effect is the one that the document's setup selects
// last: CUPS writes the options' size there, and keeps one that the
// document selects itself after it, as a feature or a paper of its own.
// Any other size gets its own record.
static bool take_document_size(char *const args[], const char *ppd,
    const char *folder, const char *pstops, const mapped_file *job,
    const document *doc, int dropped, page_setup *setup,
    command_record *record)
{
	const setup_block *last = nullptr;
	for (int i = 0; i < doc->blocks; i++)
		if (i != dropped && (doc->block[i].custom_size ||
		    doc->block[i].size.end > doc->block[i].size.start))
			last = &doc->block[i];
	float size[2];
	off_t at = 0;
	if (setup_page_size(job->data, doc, size, &at) &&
	    (last == nullptr || at > last->bytes.start))
		return take_setup_size(args, folder, pstops, size, setup, record);
	if (last == nullptr)
		return true;
	if (last->custom_size)
		return strcmp(setup->size_name, "Custom") == 0 ||
		    report_error("the job sets a custom page size of its own");
	const span choice = last->size;
	char name[buffer_size];
	if (choice.end - choice.start >= buffer_size)
		return report_error("the job sets a page size whose name is too long");
	memcpy(name, job->data + choice.start, choice.end - choice.start);
	name[choice.end - choice.start] = '\0';
	if (strcmp(name, setup->size_name) == 0)
		return true;
	debug("the job selects the page size %s itself", name);
	// A name that the PPD lacks (groff's "Default", dvips's "a4") gets the
	// size that its code asks for, as on the printer.
	bool missing = false;
	if (!read_named_size(ppd, name, setup, &missing) && !missing)
		return false;
	if (missing && !code_page_size(job->data, last->bytes, size)) {
		debug("the PPD has no page size %s, and its code asks for none that "
		    "can be read: the page size %s applies", name, setup->size_name);
		return true;
	}
	if ((missing && !take_code_size(name, size, setup)) ||
	    !run_morvane(args, folder, setup, pstops, record))
		return false;
	return record->kind == pstops_record ||
	    report_error("morvane printed no pstops record for %s", name);
}

// The document's own requests of the device reach the printer, where
// pstops would swallow them, as they do without the filter. A request in
// a page then gives the page the shift of morvane's record for the size in
// effect, from the printer's default matrix for that size, as pstops'
// code at the page's start gives it; a size without a record stops the job
// with an error on the printer. Outside the pages, a request for the size
// of the job's record (the document's setup may ask for it) gives pstops
// the printer's default matrix for it; one for another size, which every
// page would get with the shift of the record's, is swallowed. The
// procedure set goes before pstops', to find the printer's own
// procedures; the table of shifts and the new setpagedevice after it.
static const char page_device[] =
    "%%BeginProcSet: morvane-page-size 1 0\n"
    "userdict begin\n"
    "/MorvaneSetPageDevice/setpagedevice load def\n"
    "/MorvaneDefaultMatrix/defaultmatrix load def\n"
    "/MorvanePageSize{null MorvanePageSizes{dup 0 get 4 index sub abs 1 le\n"
    " 1 index 1 get 4 index sub abs 1 le and{exch pop exit}{pop}ifelse}forall\n"
    " 3 1 roll pop pop}def\n"
    "/MorvanePageDevice{userdict/PStoPSsaved known{MorvaneSetPageDevice true}\n"
    " {dup/PageSize known{dup/PageSize get aload pop MorvanePageSize\n"
    "   MorvanePageSizes 0 get eq{MorvaneSetPageDevice\n"
    "   userdict/PStoPSmatrix matrix MorvaneDefaultMatrix put}{pop}ifelse}\n"
    "  {MorvaneSetPageDevice}ifelse false}ifelse\n"
    " {currentpagedevice/PageSize get aload pop MorvanePageSize dup null eq\n"
    "  {pop/setpagedevice errordict/rangecheck get exec}if\n"
    "  matrix MorvaneDefaultMatrix setmatrix dup 2 get 1 index 3 get translate\n"
    "  userdict/PStoPSmatrix matrix currentmatrix put\n"
    "  userdict/MorvanePage 3 -1 roll put\n"
    "  userdict/PStoPSclip{0 0 moveto MorvanePage 0 get 0 rlineto\n"
    "   0 MorvanePage 1 get rlineto MorvanePage 0 get neg 0 rlineto\n"
    "   closepath}put\n"
    "  initclip PStoPSxform concat}if}def\n"
    "end\n"
    "%%EndProcSet\n";

// The shift in inches in the page layout that a pstops record gives,
// "1:0@1.0(Xin,Yin)".
static bool record_shift(const command_record *record, double shift[2])
{
	const char *p = record->argv[3] + strlen("1:0@1.0(");
	char *end = nullptr;
	shift[0] = strtod(p, &end);
	if (end == p || strncmp(end, "in,", 3) != 0)
		return false;
	p = end + 3;
	shift[1] = strtod(p, &end);
	return end != p && strcmp(end, "in)") == 0;
}

// The table of shifts for the page sizes that a page may ask for, which
// goes after pstops' procedure set, in text: the size in setup, with its
// record, and those that the document's code names, each with a record of
// its own, checked as the job's is.
static bool shift_table(char *const args[], const char *folder,
    const char *pstops, const mapped_file *job, const document *doc,
    bool own_size, const page_setup *setup, const command_record *record,
    char text[buffer_size])
{
	page_sizes sizes = {1, {{setup->width, setup->length}}};
	if (own_size && !own_page_sizes(job->data, doc, &sizes))
		return report_error("the job asks for more than %d page sizes",
		    max_page_sizes);
	int used = snprintf(text, buffer_size, "%%%%BeginProcSet: "
	    "morvane-page-sizes 1 0\nuserdict/MorvanePageSizes[");
	for (int i = 0; i < sizes.count; i++) {
		page_setup other = *setup;
		command_record own;
		char name[64];
		// NOLINTNEXTLINE(cert-err33-c): two floats fit.
		snprintf(name, sizeof name, "%gx%g", (double)sizes.size[i][0],
		    (double)sizes.size[i][1]);
		double shift[2];
		if (i > 0 && (!take_code_size(name, sizes.size[i], &other) ||
		    !run_morvane(args, folder, &other, pstops, &own)))
			return false;
		if ((i > 0 && own.kind != pstops_record) ||
		    !record_shift(i > 0 ? &own : record, shift))
			return report_error("morvane printed no pstops record for "
			    "the page size %s", name);
		used += snprintf(text + used, buffer_size - used, "[%g %g %.6f %.6f]",
		    (double)sizes.size[i][0], (double)sizes.size[i][1],
		    shift[0] * 72, shift[1] * 72);
		if (used >= buffer_size)
			return report_error("the job's page sizes do not fit in a "
			    "buffer");
	}
	const char end[] = "]put\nuserdict/setpagedevice/MorvanePageDevice "
	    "load put\n%%EndProcSet\n";
	used += snprintf(text + used, buffer_size - used, "%s", end);
	return used < buffer_size || report_error("the job's page sizes do not "
	    "fit in a buffer");
}

// Writes the document to path, less the device setup carried past pstops.
static bool write_document(const char *path, const mapped_file *job,
    const document *doc)
{
	int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	if (file < 0)
		return report_error("cannot make %s: %s", path, strerror(errno));
	bool ok = true;
	off_t at = doc->body.start;
	for (int i = 0; ok && i < doc->cut; i++) {
		ok = copy_range(job->fd, at, doc->block[i].bytes.start, file, path);
		at = doc->block[i].bytes.end;
	}
	ok = ok && copy_range(job->fd, at, doc->body.end, file, path);
	if (close(file) != 0 && ok)
		return report_error("cannot write %s: %s", path, strerror(errno));
	return ok;
}

// Whether the next document of the job is this one byte for byte, as
// CUPS sends collated copies on a PPD without *Collate.
static bool repeated(const mapped_file *job, const document *doc)
{
	document next;
	off_t length = doc->body.end - doc->body.start;
	return next_document(job->data, job->size, doc->body.end, &next) ==
	    scan_document && next.body.end - next.body.start == length &&
	    memcmp(job->data + doc->body.start, job->data + next.body.start,
	    length) == 0;
}

// The command that prints the document: pstops on it, or, where its
// output was kept for the copies of the document, that output.
static bool run_command(const char *folder, const mapped_file *job,
    const document *doc, const command_record *record, const char *kept,
    bool whole, const program_io *io)
{
	char in[buffer_size];
	path_in(in, folder, "in.ps");
	// Quiet, pstops reports errors but not each page: on a large job those
	// reports would flood the log and take a third of the time. Without
	// the record's output file it writes to its standard output.
	const char *const *argv = record->argv;
	const char *command[record_words] = {argv[0], "-q", argv[1], argv[2],
	    argv[3], whole ? "job.ps" : argv[4], nullptr};
	const char *copy[] = {"/bin/cat", kept, nullptr};
	run_result result;
	if ((kept == nullptr && !whole && !write_document(in, job, doc)) ||
	    !run_program(kept != nullptr ? copy : command, folder, io, &result))
		return false;
	return result.status == 0 || report_error("%s failed with status %d",
	    kept != nullptr ? copy[0] : argv[0], result.status);
}

// Runs pstops on a document whose copies follow it, into a file of the
// folder that they all print from: pstops runs once for them.
static bool keep_output(const char *folder, const mapped_file *job,
    const document *doc, const command_record *record, char kept[buffer_size])
{
	path_in(kept, folder, "kept.ps");
	int out = -1;
	if (!make_file(folder, "kept.ps", &out))
		return false;
	const program_io io = {-1, out, nullptr, nullptr};
	bool ok = run_command(folder, job, doc, record, nullptr, false, &io);
	close(out);
	return ok;
}

// What follows the job's one document, which pstops would copy from the
// job's own copy: kept here and cut from there, it goes out after pstops'
// output. length is -1 where nothing is kept.
struct job_tail {
	char bytes[buffer_size];
	int length;
};

// Whether pstops can read the document in the job's own copy: it starts
// the job (no JCL before it) and no other document follows it, only a
// few bytes that can be kept.
static bool whole_job(const mapped_file *job, const document *doc)
{
	document next;
	return doc->before.end == 0 && job->size - doc->body.end < buffer_size &&
	    next_document(job->data, job->size, doc->body.end, &next) == scan_end;
}

// Makes the bytes of the job's own copy blanks, their line ends kept, so
// that nothing else moves.
static bool blank(const mapped_file *job, span bytes)
{
	char blanks[buffer_size];
	for (off_t p = bytes.start; p < bytes.end; ) {
		int n = bytes.end - p < buffer_size ? (int)(bytes.end - p) :
		    buffer_size;
		for (int k = 0; k < n; k++) {
			char c = job->data[p + k];
			blanks[k] = c == '\n' || c == '\r' ? c : ' ';
		}
		ssize_t written = pwrite(job->fd, blanks, n, p);
		if (written != n)
			return report_error("cannot blank the job's setup: %s",
			    written < 0 ? strerror(errno) : "the disk is full");
		p += n;
	}
	return true;
}

// Takes out of the job's own copy what pstops must not read there, so that
// the job is not written out again: the blocks to be placed go to the
// file setup.ps first, and blocks then point into it, and the cut ones are
// blanked; what follows the document goes to tail, and the copy ends with
// the document.
static bool blank_setup(const char *folder, const mapped_file *job,
    const document *doc, span *blocks, int count, int *setup,
    job_tail *tail)
{
	if (doc->cut > 0 && !make_file(folder, "setup.ps", setup))
		return false;
	off_t at = 0;
	for (int i = 0; doc->cut > 0 && i < count; i++) {
		off_t length = blocks[i].end - blocks[i].start;
		if (!write_all(*setup, job->data + blocks[i].start, length))
			return report_error("cannot write the job's setup: %s",
			    strerror(errno));
		blocks[i] = span{at, at + length};
		at += length;
	}
	for (int i = 0; i < doc->cut; i++)
		if (!blank(job, doc->block[i].bytes))
			return false;
	tail->length = (int)(job->size - doc->body.end);
	memcpy(tail->bytes, job->data + doc->body.end, tail->length);
	// Nothing reads the mapped bytes past the document again.
	return ftruncate(job->fd, doc->body.end) == 0 ||
	    report_error("cannot cut the job's copy short: %s", strerror(errno));
}

// Runs pstops on one document of the job (or prints the output kept for
// it), and passes its output on as it comes: after the JCL before the
// document, and with the document's device setup put in before pstops' own
// procedure set, which disables setpagedevice. What comes before that
// waits in a file of the folder; without it, nothing goes out. pstops
// reads all of its input before it writes, so what fails on the input
// fails before anything has gone out.
static bool print_document(const char *folder, const mapped_file *job,
    const document *doc, int dropped, const command_record *record,
    const char *kept, const char *shifts, job_tail *tail)
{
	char held_path[buffer_size];
	path_in(held_path, folder, "held.ps");
	span blocks[max_setup_blocks];
	int count = 0;
	for (int i = 0; i < doc->blocks; i++)
		if (i != dropped)
			blocks[count++] = doc->block[i].bytes;
	bool whole = kept == nullptr && whole_job(job, doc);
	int setup = -1, held = -1;
	if ((whole && !blank_setup(folder, job, doc, blocks, count, &setup,
	    tail)) || !make_file(folder, "held.ps", &held)) {
		if (setup >= 0)
			close(setup);
		return false;
	}
	passing pass = {setup >= 0 ? setup : job->fd, doc->before, blocks, count,
	    page_device, shifts, "%%BeginProcSet: PStoPS", held, false, false, 0,
	    false};
	const program_io io = {-1, -1, nullptr, &pass};
	bool ok = run_command(folder, job, doc, record, kept, whole, &io);
	close(held);
	unlink(held_path);
	if (setup >= 0)
		close(setup);
	if (ok && !pass.placed)
		return report_error("pstops wrote no \"%%%%BeginProcSet: PStoPS\" "
		    "line, before which the job's device setup must go");
	return ok && (pass.after == nullptr || report_error("pstops wrote no "
	    "\"%%%%EndProcSet\" line after its procedure set, where the shifts "
	    "for the pages' own sizes must go"));
}

// Prints the documents of the job with morvane's record for their size:
// several where CUPS makes the copies itself, JCL and all.
static bool print_documents(char *const args[], const char *ppd,
    const char *folder, const mapped_file *job, page_setup *setup)
{
	const char *pstops = setting("MORVANE_PSTOPS", PSTOPS_PATH);
	if (pstops[0] != '/')
		return report_error("pstops must be named by an absolute path, "
		    "not %s", pstops);
	command_record record;
	if (!run_morvane(args, folder, setup, pstops, &record))
		return false;
	if (record.kind == copy_record) {
		debug("page size unknown: the job passes unchanged");
		return copy_range(job->fd, 0, job->size, STDOUT_FILENO,
		    "standard output");
	}
	document doc;
	scan_result found;
	int documents = 0;
	char kept[buffer_size] = "";
	char shifts[buffer_size] = "";
	job_tail tail;
	tail.length = -1;
	for (off_t at = 0; (found = next_document(job->data, job->size, at,
	    &doc)) == scan_document; at = doc.body.end, documents++) {
		bool own_size = sets_own_size(job->data, &doc);
		int dropped = dropped_block(job, &doc, setup, own_size);
		if (!take_document_size(args, ppd, folder, pstops, job, &doc,
		    dropped, setup, &record))
			return false;
		bool repeats = repeated(job, &doc);
		// A copy of the document before it has its table.
		if ((kept[0] == '\0' && !shift_table(args, folder, pstops, job,
		    &doc, own_size, setup, &record, shifts)) || (kept[0] == '\0' && repeats &&
		    !keep_output(folder, job, &doc, &record, kept)) ||
		    !print_document(folder, job, &doc, dropped, &record,
		    kept[0] != '\0' ? kept : nullptr, shifts, &tail))
			return false;
		// The job's copy now ends with its one document.
		if (tail.length >= 0) {
			documents++;
			break;
		}
		// The output kept serves the copies that follow, and no other.
		if (kept[0] != '\0' && !repeats) {
			unlink(kept);
			kept[0] = '\0';
		}
	}
	if (found == scan_too_many)
		return report_error("a document of the job has more than %d "
		    "blocks of device setup", max_setup_blocks);
	if (documents == 0)
		return report_error("the job holds no PostScript document");
	if (tail.length < 0)
		return copy_range(job->fd, doc.before.start, doc.before.end,
		    STDOUT_FILENO, "standard output");
	return write_all(STDOUT_FILENO, tail.bytes, tail.length) ||
	    cancel_requested() || report_error("cannot write standard output: "
	    "%s", strerror(errno));
}

static bool print_job(char *const args[], const char *ppd,
    const char *folder, int input, bool raw, page_setup *setup)
{
	const char *unshifted = "neither the job's option morvane-vertical-dots "
	    "nor the PPD's *MorvaneVerticalDots gives the shift: the job passes "
	    "unchanged";
	if (!setup->has_dots && !raw) {
		debug("%s", unshifted);
		return copy_all(input, STDOUT_FILENO, "the job", "standard output");
	}
	int job = -1;
	if (!(raw ? prepare_job(args, folder, input, &job) :
	    stage_job(folder, input, &job)))
		return false;
	mapped_file map;
	bool ok = map_file(job, "the job's copy", &map);
	if (ok && !setup->has_dots) {
		debug("%s", unshifted);
		ok = copy_range(job, 0, map.size, STDOUT_FILENO, "standard output");
	} else if (ok) {
		ok = print_documents(args, ppd, folder, &map, setup);
	}
	unmap_file(&map);
	close(job);
	return ok;
}

// Prints the job from file, or from standard input when file is null.
// Returns the exit status.
static int print(char *const args[], const char *file, const char *ppd,
    page_setup *setup)
{
	int input = STDIN_FILENO;
	if (file != nullptr && !open_job(file, &input))
		return 1;
	// CUPS names the file only for the first filter of a job: PostScript
	// named so went through none of CUPS's own.
	bool raw = setup->raw_postscript && file != nullptr &&
	    strcmp(setting("CONTENT_TYPE", ""), "application/postscript") == 0;
	char folder[folder_size];
	bool ok = make_folder(folder);
	if (ok) {
		ok = print_job(args, ppd, folder, input, raw, setup);
		remove_folder(folder);
	}
	if (cancel_requested())
		debug("the job was cancelled");
	return ok && !cancel_requested() ? 0 : 1;
}

// Descriptors 0 to 2 stay taken, so that no file of the filter's lands
// on one and gets the log or the job: a closed standard output is an
// error, as is a closed standard input that would be the job, and the
// others are opened on /dev/null.
static bool take_standard_streams(bool reads_input)
{
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

int main(int argc, char *argv[])
{
	// A filter further down that fails must not kill this one unheard.
	(void)signal(SIGPIPE, SIG_IGN);
	// An ignored SIGCHLD survives exec, and would leave the filter unable
	// to wait for its programs.
	(void)signal(SIGCHLD, SIG_DFL);
	catch_cancel();
	if (!take_standard_streams(argc == 6))
		return 1;
	if (argc != 6 && argc != 7) {
		report_error("usage: morvane-filter job user title copies options "
		    "[file]");
		return 1;
	}
	const char *ppd = setting("PPD", nullptr);
	page_setup setup = {};
	if (ppd == nullptr)
		report_error("no PPD file: PPD is not set");
	else if (read_page_setup(ppd, argv[5], &setup))
		return print(argv, argc == 7 ? argv[6] : nullptr, ppd, &setup);
	return 1;
}
