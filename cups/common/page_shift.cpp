// SPDX-License-Identifier: MIT
// The shift of each page's paper.
#include "page_shift.h"

#include <cstdlib>
#include <cstring>

#include "folder.h"
#include "log.h"
#include "ppd.h"
#include "run.h"

namespace {

// The shift of morvane's record for the paper in setup.
bool run_morvane(page_shifts *s, const page_setup *paper, const float size[2],
    paper_shift *known)
{
	command_record record;
	if (!pstops_record_for(&s->run, paper, paper->size_name, &record))
		return false;
	*known = {.size = {size[0], size[1]},
	    .shift = {record.shift[0], record.shift[1]}};
	return true;
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
// program's to count.
int page_copies(const page_setup *setup, const char *copies,
    const char *program)
{
	if (!ends_chain(setup->chain_ends, program))
		return 0;
	const char *final = setting("FINAL_CONTENT_TYPE", "");
	for (const char *type : counted_by_pdf_filter)
		if (strcasestr(final, type) != nullptr) {
			long n = strtol(copies, nullptr, 10);
			return setup->manual_copies || n < 1 || n > 9999 ? 1 : (int)n;
		}
	return 0;
}

}

bool start_shifts(page_shifts *s, char *const *args, const char *program)
{
	s->ppd = setting("PPD", nullptr);
	s->page_copies = 0;
	s->has_job_paper = false;
	s->count = 0;
	s->run.folder[0] = '\0';
	if (s->ppd == nullptr)
		return report_error("no PPD file: PPD is not set");
	if (!read_page_setup(s->ppd, args[5], &s->setup))
		return false;
	s->page_copies = page_copies(&s->setup, args[4], program);
	if (!s->setup.has_dots)
		return true;
	if (!make_folder(program, s->run.folder))
		return false;
	if (!s->setup.has_size)
		return true;
	const float size[2] = {s->setup.width, s->setup.length};
	s->has_job_paper = run_morvane(s, &s->setup, size, &s->job_paper);
	return s->has_job_paper;
}

bool shifts_pages(const page_shifts *s)
{
	if (!s->setup.has_dots)
		debug("neither the job's option morvane-vertical-dots nor the "
		    "PPD's *MorvaneVerticalDots gives the shift: the job passes "
		    "unchanged");
	return s->setup.has_dots;
}

bool shift_for_page(page_shifts *s, const float size[2], double shift[2])
{
	const paper_shift *known = nullptr;
	if (s->has_job_paper &&
	    same_paper(s->job_paper.size[0], s->job_paper.size[1], size[0],
	    size[1]))
		known = &s->job_paper;
	for (int i = 0; known == nullptr && i < s->count; i++)
		if (s->papers[i].size[0] == size[0] &&
		    s->papers[i].size[1] == size[1])
			known = &s->papers[i];
	if (known == nullptr) {
		page_setup paper = s->setup;
		paper_shift found;
		if (!take_sheet_size(s->ppd, size, &paper) ||
		    !run_morvane(s, &paper, size, &found))
			return false;
		if (s->count < max_papers)
			s->count++;
		s->papers[s->count - 1] = found;
		known = &s->papers[s->count - 1];
	}
	shift[0] = known->shift[0];
	shift[1] = known->shift[1];
	return true;
}

void count_written(const page_shifts *s, long page)
{
	if (s->page_copies > 0)
		count_page(page, s->page_copies);
}

void end_shifts(const page_shifts *s)
{
	if (s->run.folder[0] != '\0')
		remove_folder(s->run.folder);
}

int run_page_filter(int argc, char *argv[], const char *program,
    page_printer print)
{
	if (argc != 6 && argc != 7) {
		report_error("usage: %s job user title copies options [file]",
		    program);
		return 1;
	}
	if (!start_filter(argc == 6))
		return 1;
	page_shifts shifts;
	shifts.run = {.args = argv, .folder = "",
	    .morvane = setting("MORVANE", "morvane"),
	    .pstops = setting("MORVANE_PSTOPS", PSTOPS_PATH)};
	bool ok = start_shifts(&shifts, argv, program) &&
	    print(&shifts, argc == 7 ? argv[6] : nullptr);
	end_shifts(&shifts);
	return ok ? 0 : 1;
}
