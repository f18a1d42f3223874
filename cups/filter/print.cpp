// SPDX-License-Identifier: MIT
// The job's documents, each planned, then printed from its plan.
#include "print.h"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "in_place.h"
#include "log.h"
#include "plan.h"
#include "procsets.h"
#include "splice.h"

namespace {

// The output of pstops on a document whose copies follow it, in a file
// of the folder that they all print from: pstops runs once for them.
struct saved_output {
	bool ready;
	char path[buffer_size];
};

// What makes a document's output: the program that writes it, and the
// file that holds the JCL before the document and the blocks of device
// setup that go in before pstops' procedure set.
struct document_source {
	const char *argv[record_words];
	int from;
	span blocks[max_setup_blocks];
	int count;
};

// The blocks that the document carries, the dropped one left out.
void carried_blocks(const document *doc, const document_plan *plan,
    document_source *source)
{
	source->count = 0;
	for (int i = 0; i < doc->blocks; i++)
		if (!plan->drops || i != plan->dropped)
			source->blocks[source->count++] = doc->block[i].bytes;
}

// pstops as the record runs it, on input, to its standard output. Quiet,
// pstops reports errors but not each page: on a large job those reports
// would flood the log and take a third of the time.
void pstops_command(const command_record *record, const char *input,
    const char *argv[record_words])
{
	const char *const *words = record->argv;
	const char *command[record_words] = {words[0], "-q", words[1], words[2],
	    words[3], input, nullptr};
	memcpy(argv, command, sizeof command);
}

// Writes the document to in.ps, less the device setup carried past pstops:
// from its "%!" line through its "%%EOF" line, the cut blocks left out,
// so that pstops sees the document's own setup section without them.
bool write_document(const postscript_job *j, const document *doc)
{
	char path[buffer_size];
	path_in(path, j->job->folder, "in.ps");
	int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	if (file < 0)
		return report_error("cannot make %s:", path);
	bool ok = true;
	off_t at = doc->body.start;
	for (int i = 0; ok && i < doc->cut; i++) {
		ok = copy_range(j->copy.fd, span{at, doc->block[i].bytes.start}, file,
		    path);
		at = doc->block[i].bytes.end;
	}
	ok = ok && copy_range(j->copy.fd, span{at, doc->body.end}, file, path);
	if (close(file) != 0 && ok)
		return report_error("cannot write %s:", path);
	return ok;
}

// Whether the next document of the job is this one byte for byte, as
// CUPS sends collated copies on a PPD without *Collate.
bool repeated(const postscript_job *j, const document *doc)
{
	document next;
	const mapped_file *copy = &j->copy;
	off_t length = doc->body.end - doc->body.start;
	return next_document(copy->data, copy->size, doc->body.end, &next) ==
	    scan_document && next.body.end - next.body.start == length &&
	    memcmp(copy->data + doc->body.start, copy->data + next.body.start,
	    length) == 0;
}

// Runs pstops on in.ps into saved.ps, for the copies that follow.
bool save_output(const postscript_job *j, const document_plan *plan,
    saved_output *saved)
{
	path_in(saved->path, j->job->folder, "saved.ps");
	int out = -1;
	if (!make_file(j->job->folder, "saved.ps", &out))
		return false;
	const char *argv[record_words];
	pstops_command(&plan->record, "in.ps", argv);
	const program p = {.argv = argv, .folder = j->job->folder, .in = -1};
	run_result result;
	bool ok = run_program(&p, out, &result) && (result.status == 0 ||
	    report_error("%s failed with status %d", argv[0], result.status));
	close(out);
	saved->ready = ok;
	return ok;
}

// Runs the source's program on one document of the job, and passes its
// output on as it comes: after the JCL before the document, and with the
// document's device setup put in before pstops' own procedure set, which
// disables setpagedevice. What comes before that waits in a file of the
// folder; without it, nothing goes out. pstops reads all of its input
// before it writes, so what fails on the input fails before anything has
// gone out.
bool print_document(const postscript_job *j, const document *doc,
    const document_plan *plan, const document_source *source)
{
	char held_path[buffer_size];
	path_in(held_path, j->job->folder, "held.ps");
	int held = -1;
	if (!make_file(j->job->folder, "held.ps", &held))
		return false;
	const char marker[] = "%%BeginProcSet: PStoPS";
	const splice_plan splice = {.from = source->from, .jcl = doc->before,
	    .blocks = source->blocks, .count = source->count,
	    .before = page_device, .after = plan->shifts, .marker = marker,
	    .held = held};
	const program p = {.argv = source->argv, .folder = j->job->folder, .in = -1};
	bool placed = false, after_placed = false;
	bool ok = run_spliced(&p, &splice, &placed, &after_placed);
	close(held);
	unlink(held_path);
	if (ok && !placed)
		return report_error("pstops wrote no \"%s\" line, before which the "
		    "job's device setup must go", marker);
	return ok && (after_placed || report_error("pstops wrote no "
	    "\"%%%%EndProcSet\" line after its procedure set, where the shifts "
	    "for the pages' own sizes must go"));
}

// Prints the job's one document, which pstops reads in the job's copy,
// and what follows it.
bool print_whole(const postscript_job *j, const document *doc,
    const document_plan *plan)
{
	document_source source;
	carried_blocks(doc, plan, &source);
	in_place place;
	bool ok = clear_in_place(j, doc, source.blocks, source.count, &place);
	source.from = place.blocks_file >= 0 ? place.blocks_file :
	    j->copy.fd;
	pstops_command(&plan->record, "job.ps", source.argv);
	ok = ok && print_document(j, doc, plan, &source);
	if (place.blocks_file >= 0)
		close(place.blocks_file);
	return ok && (write_all(STDOUT_FILENO, place.tail, place.tail_length) ||
	    cancel_requested() || report_error("cannot write standard output:"));
}

// Prints one of several documents: from in.ps, or from the output saved
// for the copies of the one before.
bool print_one(const postscript_job *j, const document *doc,
    const document_plan *plan, bool repeats, saved_output *saved)
{
	if (!saved->ready && (!write_document(j, doc) ||
	    (repeats && !save_output(j, plan, saved))))
		return false;
	document_source source;
	carried_blocks(doc, plan, &source);
	source.from = j->copy.fd;
	if (saved->ready) {
		const char *cat[record_words] = {"/bin/cat", saved->path, nullptr};
		memcpy(source.argv, cat, sizeof cat);
	} else {
		pstops_command(&plan->record, "in.ps", source.argv);
	}
	if (!print_document(j, doc, plan, &source))
		return false;
	// The output saved serves the copies that follow, and no other.
	if (saved->ready && !repeats) {
		unlink(saved->path);
		saved->ready = false;
	}
	return true;
}

// Counts the document's pages in the page log, where they are the
// filter's to count, as CUPS's pstops counts them: each page for the
// copies that the printer makes of it.
void count_pages(const postscript_job *j, const document *doc, long *page)
{
	for (int i = 0; j->counts_pages && i < doc->pages; i++)
		count_page(++*page, doc->copies);
}

}

void count_unchanged(const postscript_job *j)
{
	document doc;
	long page = 0;
	const mapped_file *copy = &j->copy;
	for (off_t at = 0; next_document(copy->data, copy->size, at, &doc) ==
	    scan_document; at = doc.body.end)
		count_pages(j, &doc, &page);
}

bool print_documents(const postscript_job *j)
{
	document doc;
	scan_result found;
	int documents = 0;
	long page = 0;
	// A document that repeats the one before has that one's plan.
	document_plan plan;
	bool planned = false;
	saved_output saved = {.ready = false, .path = ""};
	const mapped_file *copy = &j->copy;
	for (off_t at = 0; (found = next_document(copy->data, copy->size, at,
	    &doc)) == scan_document; at = doc.body.end, documents++) {
		if (!planned && !plan_document(j, &doc, &plan))
			return false;
		if (whole_job(j, &doc)) {
			if (!print_whole(j, &doc, &plan))
				return false;
			count_pages(j, &doc, &page);
			return true;
		}
		bool repeats = repeated(j, &doc);
		if (!print_one(j, &doc, &plan, repeats, &saved))
			return false;
		count_pages(j, &doc, &page);
		planned = repeats;
	}
	if (found == scan_too_many)
		return report_error("a document of the job has more than %d "
		    "blocks of device setup", max_setup_blocks);
	if (documents == 0)
		return report_error("the job holds no PostScript document");
	return copy_range(copy->fd, doc.before, STDOUT_FILENO, "standard output");
}
