// SPDX-License-Identifier: MIT
// The job of a filter.
#include "filter_job.h"

#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "log.h"
#include "ppd.h"
#include "run.h"
#include "shift.h"
#include "text.h"

namespace {

job_settings read_settings()
{
	return job_settings{.ppd = setting("PPD", nullptr),
	    .morvane = setting("MORVANE", "morvane"),
	    .psutils_pstops = setting("MORVANE_PSTOPS", PSTOPS_PATH),
	    .cups_serverbin = setting("CUPS_SERVERBIN", CUPS_SERVERBIN),
	    .final_type = setting("FINAL_CONTENT_TYPE", ""),
	    .content_type = setting("CONTENT_TYPE", "")};
}

// The types of printer whose pages CUPS's PDF filter counts where the
// queue's PPD has no last filter ("-"): where the program takes that
// place, the pages are its to count. A printer's other filters count
// their own: those of a raster driver, and rastertopwg that makes Apple
// raster.
const char *const counted_by_pdf_filter[] = {"/pdf", "/vnd.cups-pdf",
    "/pwg-raster"};

// The copies that each page written stands for in the page log, as CUPS's
// PDF filter counts them: all of them, or one where the printer makes no
// copies and the job carries each copy's pages; 0 where the pages are not
// the filter's to count.
int page_copies(const filter_job *job)
{
	if (!ends_chain(job->q->chain_ends, job->program))
		return 0;
	for (const char *type : counted_by_pdf_filter)
		if (strcasestr(job->env.final_type, type) != nullptr) {
			long n = strtol(job->args[4], nullptr, 10);
			return job->q->manual_copies || n < 1 || n > 9999 ? 1 : (int)n;
		}
	return 0;
}

// Opens the queue's PPD and reads the queue. Returns false after the one
// error line.
bool read_job_queue(filter_job *job)
{
	if (job->env.ppd == nullptr)
		return report_error("no PPD file: PPD is not set");
	if (!open_ppd(job->env.ppd, &job->ppd))
		return false;
	const queue_source source = {.ppd = job->ppd.get(),
	    .options = job->args[5], .final_type = job->env.final_type};
	if (!read_queue(&source, job->q, &job->marked))
		return false;
	job->page_copies = page_copies(job);
	return true;
}

}

int run_filter(int argc, char *argv[], const char *program,
    job_printer print)
{
	if (!start_filter(argc == 6))
		return 1;
	if (argc != 6 && argc != 7) {
		report_error("usage: %s job user title copies options [file]",
		    program);
		return 1;
	}
	// The queue is large and read_queue fills it before any use: it is
	// not cleared first.
	queue q;
	filter_job job = {.program = program, .args = argv,
	    .file = argc == 7 ? argv[6] : nullptr, .env = read_settings(),
	    .folder = "", .ppd = nullptr, .q = &q,
	    .marked = {}, .page_copies = 0, .has_marked_shift = false,
	    .marked_shift = {}, .known = 0, .papers = {}};
	bool ok = read_job_queue(&job) && print(&job);
	if (job.folder[0] != '\0')
		remove_folder(job.folder);
	if (cancel_requested())
		debug("the job was cancelled");
	return ok && !cancel_requested() ? 0 : 1;
}

bool make_job_folder(filter_job *job)
{
	return job->folder[0] != '\0' || make_folder(job->program, job->folder);
}

bool passes_unchanged(const filter_job *job)
{
	if (!job->q->values.has_dots)
		debug("neither the job's option morvane-vertical-dots nor the "
		    "PPD's *MorvaneVerticalDots gives the shift: the job passes "
		    "unchanged");
	return !job->q->values.has_dots;
}

bool open_input(const filter_job *job, int *fd)
{
	*fd = STDIN_FILENO;
	if (job->file != nullptr &&
	    (*fd = open(job->file, O_RDONLY | O_CLOEXEC)) < 0)
		return report_error("cannot open %s:", job->file);
	return true;
}

// The shift of morvane's record for a paper.
static bool run_morvane(const filter_job *job, const paper &p,
    paper_shift *known)
{
	command_record record;
	if (!shift_record(job, &p, p.name, &record))
		return false;
	*known = {.sheet = p, .shift = {record.shift[0], record.shift[1]}};
	return true;
}

// Whether the job's image shifts keep the image of each side that it
// prints on the marked paper, checked before any page goes out.
static bool sides_fit(const filter_job *job)
{
	const queue *q = job->q;
	double sides[2][2];
	return !q->shifts.given || shift_each_side(&q->shifts, q->two_sided,
	    job->marked_shift.sheet, job->marked_shift.shift, sides);
}

bool start_shifts(filter_job *job)
{
	if (!make_job_folder(job))
		return false;
	if (!job->marked.known)
		return true;
	job->has_marked_shift = run_morvane(job, job->marked.value,
	    &job->marked_shift);
	return job->has_marked_shift && sides_fit(job);
}

bool shift_for_page(filter_job *job, const float size[2], sheet_side side,
    double shift[2])
{
	paper page = {.name = "", .width = size[0], .length = size[1]};
	const paper_shift *known = nullptr;
	if (job->has_marked_shift && same_paper(job->marked_shift.sheet, page))
		known = &job->marked_shift;
	for (int i = 0; known == nullptr && i < job->known; i++)
		if (job->papers[i].sheet.width == size[0] &&
		    job->papers[i].sheet.length == size[1])
			known = &job->papers[i];
	if (known == nullptr) {
		paper p;
		paper_shift found;
		if (!sheet_paper(job->ppd.get(), size, &p) ||
		    !run_morvane(job, p, &found))
			return false;
		copy_text(page.name, sizeof page.name, p.name);
		found.sheet = page;
		if (job->known < max_papers)
			job->known++;
		job->papers[job->known - 1] = found;
		known = &job->papers[job->known - 1];
	}
	shift[0] = known->shift[0];
	shift[1] = known->shift[1];
	return !job->q->shifts.given ||
	    add_image_shift(&job->q->shifts, side, known->sheet, shift);
}

void count_written(const filter_job *job, long page)
{
	if (job->page_copies > 0)
		count_page(page, job->page_copies);
}
