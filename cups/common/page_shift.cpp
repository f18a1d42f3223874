// SPDX-License-Identifier: MIT
// The shift of each page's paper.
#include "page_shift.h"

#include "folder.h"
#include "log.h"
#include "run.h"

bool start_shifts(page_shifts *s, char *const *args, const char *program)
{
	s->ppd = setting("PPD", nullptr);
	s->count = 0;
	s->run.folder[0] = '\0';
	if (s->ppd == nullptr)
		return report_error("no PPD file: PPD is not set");
	return read_page_setup(s->ppd, args[5], &s->setup) &&
	    (!s->setup.has_dots || make_folder(program, s->run.folder));
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
	for (int i = 0; i < s->count; i++) {
		const paper_shift *known = &s->papers[i];
		if (known->size[0] == size[0] && known->size[1] == size[1]) {
			shift[0] = known->shift[0];
			shift[1] = known->shift[1];
			return true;
		}
	}
	page_setup paper = s->setup;
	command_record record;
	if (!take_sheet_size(s->ppd, size, &paper) ||
	    !pstops_record_for(&s->run, &paper, paper.size_name, &record))
		return false;
	if (s->count < max_papers)
		s->count++;
	paper_shift *known = &s->papers[s->count - 1];
	*known = {.size = {size[0], size[1]},
	    .shift = {record.shift[0], record.shift[1]}};
	shift[0] = record.shift[0];
	shift[1] = record.shift[1];
	return true;
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
