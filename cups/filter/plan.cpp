// SPDX-License-Identifier: MIT
// The plan of a document: its paper, its record and its shifts.
#include "plan.h"

#include <cstdio>
#include <cstring>

#include "log.h"
#include "procsets.h"
#include "queue.h"
#include "record.h"

namespace {

// For the filter's queue CUPS writes the code of the size where for its
// own queue it writes none, when the tray has code: then the paper is the
// tray's, or the one that the document's pages ask for. Unless they do,
// that block, the first size feature of CUPS's, does not go to the
// printer.
void drop_block(const postscript_job *j, const document *doc,
    document_plan *plan)
{
	plan->drops = false;
	if (j->job->q->plain_sends_size || plan->own_sizes)
		return;
	// CUPS's own block is in its wrapper, "[{" to "} stopped cleartomark".
	for (int i = 0; i < doc->blocks && !plan->drops; i++) {
		const setup_block *block = &doc->block[i];
		plan->drops = block->size.end > block->size.start &&
		    !block->paper_size && j->copy.data[block->bytes.start] == '[';
		plan->dropped = i;
	}
}

// A size that the document's setup asks for with code of its own after
// all of CUPS's is the paper in effect, as on the printer.
bool take_setup_size(const postscript_job *j, const float size[2],
    document_plan *plan)
{
	const paper asked = paper_of_size(size);
	if (same_paper(plan->in_effect, asked))
		return true;
	debug("the job's setup asks for the page size %s itself", asked.name);
	plan->in_effect = asked;
	return sheet_fits(nullptr, asked, asked.name) &&
	    shift_record(j->job, &plan->in_effect, asked.name, &plan->record);
}

// The last block of the document's setup that selects a size, the
// dropped one left out, or null.
const setup_block *last_size_block(const document *doc,
    const document_plan *plan)
{
	const setup_block *last = nullptr;
	for (int i = 0; i < doc->blocks; i++)
		if ((!plan->drops || i != plan->dropped) &&
		    (doc->block[i].custom_size ||
		    doc->block[i].size.end > doc->block[i].size.start))
			last = &doc->block[i];
	return last;
}

// A size that the document selects by name in a block of its setup.
bool take_named_size(const postscript_job *j, const setup_block *last,
    document_plan *plan)
{
	paper *in_effect = &plan->in_effect;
	const span choice = last->size;
	char name[buffer_size];
	if (choice.end - choice.start >= buffer_size)
		return report_error("the job sets a page size whose name is too long");
	memcpy(name, j->copy.data + choice.start, choice.end - choice.start);
	name[choice.end - choice.start] = '\0';
	if (strcmp(name, in_effect->name) == 0)
		return true;
	debug("the job selects the page size %s itself", name);
	// A name that the PPD lacks (groff's "Default", dvips's "a4") gets the
	// size that its code asks for, as on the printer.
	bool missing = false;
	paper named;
	if (!ppd_paper(j->job->ppd.get(), name, &named, &missing) && !missing)
		return false;
	float size[2];
	if (missing && !code_page_size(j->copy.data, last->bytes, size)) {
		debug("the PPD has no page size %s, and its code asks for none that "
		    "can be read: the page size %s applies", name, in_effect->name);
		return true;
	}
	if (missing && !code_paper(name, size, &named))
		return false;
	*in_effect = named;
	return shift_record(j->job, in_effect, name, &plan->record);
}

// The page size in effect is the one that the document's setup selects
// last: CUPS writes the options' size there, and keeps one that the
// document selects itself after it, as a feature or a paper of its own.
// Any other size gets its own record.
bool take_document_size(const postscript_job *j, const document *doc,
    document_plan *plan)
{
	const setup_block *last = last_size_block(doc, plan);
	float size[2];
	off_t at = 0;
	if (setup_page_size(j->copy.data, doc, size, &at) &&
	    (last == nullptr || at > last->bytes.start))
		return take_setup_size(j, size, plan);
	if (last == nullptr)
		return true;
	if (last->custom_size)
		return strcmp(plan->in_effect.name, "Custom") == 0 ||
		    report_error("the job sets a custom page size of its own");
	return take_named_size(j, last, plan);
}

// The job's image shifts on the record of the paper in effect: the shift
// of the fronts, and where the back sides' differs, a layout of two pages
// that gives each side its own. pstops then makes the document's pages
// even with a blank back side, so that each document starts on a front,
// as the next document would on the printer; a document of one page
// keeps the layout of one.
bool shift_sides(const postscript_job *j, const document *doc,
    document_plan *plan)
{
	const queue *q = j->job->q;
	plan->sided = false;
	double sides[2][2];
	if (!q->shifts.given)
		return true;
	if (!shift_each_side(&q->shifts, q->two_sided, plan->in_effect,
	    plan->record.shift, sides))
		return false;
	plan->front[0] = sides[0][0];
	plan->front[1] = sides[0][1];
	// CUPS prints a document of one page one-sided.
	plan->sided = q->two_sided && doc->pages > 1 &&
	    (sides[0][0] != sides[1][0] || sides[0][1] != sides[1][1]);
	if (compose_layout(plan->layout, sides, plan->sided ? 2 : 1) < 0)
		return report_error("the layout of the sides does not fit in a "
		    "buffer");
	plan->record.argv[3] = plan->layout;
	debug("image shifts: %s", plan->layout);
	return true;
}

// The table of shifts for the page sizes that a page may ask for: the
// paper in effect, with its record, and those that the document's code
// names, each with a record of its own, checked as the job's is.
bool shift_table(const postscript_job *j, const document *doc,
    document_plan *plan)
{
	const paper *in_effect = &plan->in_effect;
	page_sizes sizes = {.count = 1,
	    .size = {{in_effect->width, in_effect->length}}};
	if (plan->own_sizes && !own_page_sizes(j->copy.data, doc, &sizes))
		return report_error("the job asks for more than %d page sizes",
		    max_page_sizes);
	// The table has one shift for each size, and a page does not know
	// which side it is on.
	if (plan->sided && sizes.count > 1)
		return report_error("the job's pages ask for page sizes of their "
		    "own, which cannot be shifted apart on the two sides");
	shift_rows rows = {.text = plan->shifts, .used = 0};
	begin_shifts(&rows);
	for (int i = 0; i < sizes.count; i++) {
		command_record own = plan->record;
		const paper other = paper_of_size(sizes.size[i]);
		char what[80];
		// NOLINTNEXTLINE(cert-err33-c): the name fits.
		snprintf(what, sizeof what, "the page size %s", other.name);
		if (i > 0 && (!sheet_fits(nullptr, other, other.name) ||
		    !shift_record(j->job, &other, what, &own)))
			return false;
		if (i == 0 && j->job->q->shifts.given) {
			own.shift[0] = plan->front[0];
			own.shift[1] = plan->front[1];
		} else if (j->job->q->shifts.given && !add_image_shift(
		    &j->job->q->shifts, side_front, other, own.shift)) {
			return false;
		}
		add_shift(&rows, sizes.size[i], own.shift);
	}
	return end_shifts(&rows, plan->sided) ||
	    report_error("the job's page sizes do not fit in a buffer");
}

}

bool plan_document(const postscript_job *j, const document *doc,
    document_plan *plan)
{
	plan->own_sizes = sets_own_size(j->copy.data, doc);
	drop_block(j, doc, plan);
	plan->in_effect = j->job->marked.value;
	plan->record = j->record;
	return take_document_size(j, doc, plan) &&
	    shift_sides(j, doc, plan) && shift_table(j, doc, plan);
}
