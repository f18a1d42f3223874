// SPDX-License-Identifier: MIT
// The calibration page.
#include "calibrate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dots.h"
#include "log.h"
#include "server.h"
#include "sizes.h"

// The calibration page's mark lies this far below the page's top edge,
// and its table gives the value to set for each millimetre this far to
// either side.
constexpr int mark_mm = 25;
constexpr int table_mm = 15;

// The PostScript of the calibration page, with the value in effect and
// its table, sent as it is made. Text goes in PostScript strings, with
// the queue's name escaped.
// What the page says: the value in effect on its paper, and the paper
// that a value set from it is for, where it is one paper's own.
struct page_value {
	char text[buffer_size];
	const char *size;
};

static bool write_page(http_t *http, const char *queue,
    const page_value *dots)
{
	char name[buffer_size] = "";
	for (int i = 0, used = 0; queue[i] != '\0' && used < buffer_size - 2; i++) {
		if (strchr("()\\", queue[i]) != nullptr)
			name[used++] = '\\';
		name[used++] = queue[i];
		name[used] = '\0';
	}
	char text[buffer_size];
	int length = snprintf(text, sizeof text, "%%!PS-Adobe-3.0\n"
	    "%%%%Title: calibration page\n%%%%Pages: 1\n%%%%EndComments\n"
	    "%%%%Page: 1 1\n/mm{72 mul 25.4 div}def\n"
	    "currentpagedevice/PageSize get aload pop/H exch def/W exch def\n"
	    "/top{H exch mm sub}def\n"
	    "/line{top 15 mm exch moveto show}def\n"
	    "/row{top exch mm exch 2 copy moveto 4 -1 roll show\n"
	    " exch 16 mm add exch moveto show}def\n"
	    "W 5 div %d top 0.5 sub W 3 mul 5 div 0.5 rectfill\n"
	    "/Helvetica findfont 9 scalefont setfont\n"
	    "(The line above: its top edge lies %d mm below the page's top "
	    "edge.) %d line\n"
	    "(Measure the distance from the sheet's top edge to the line's top "
	    "edge,) %d line\n"
	    "(and set the value of that row: morvane-setup %s VALUE%s%s) %d line\n"
	    "(Vertical dots in effect: %s) %d line\n"
	    "(mm) (value) 15 %d row (mm) (value) 60 %d row\n", mark_mm, mark_mm, mark_mm + 7,
	    mark_mm + 12, name, dots->size != nullptr ? " --media " : "",
	    dots->size != nullptr ? dots->size : "", mark_mm + 17, dots->text,
	    mark_mm + 24,
	    mark_mm + 31, mark_mm + 31);
	// The value's text came through read_dots: a number, no parenthesis.
	double value = strtod(dots->text, nullptr);
	bool ok = length < (int)sizeof text && cupsWriteRequestData(http, text,
	    length) == HTTP_STATUS_CONTINUE;
	const int rows = table_mm + 1;
	for (int mm = mark_mm - table_mm; ok && mm <= mark_mm + table_mm; mm++) {
		int row = mm - (mark_mm - table_mm);
		length = snprintf(text, sizeof text, "(%d) (%ld) %d %d row\n", mm,
		    lround(value + (mm - mark_mm) * 300 / 25.4), row < rows ? 15 : 60,
		    mark_mm + 36 + 5 * (row % rows));
		ok = cupsWriteRequestData(http, text, length) == HTTP_STATUS_CONTINUE;
	}
	const char end[] = "showpage\n%%EOF\n";
	return ok && cupsWriteRequestData(http, end, sizeof end - 1) ==
	    HTTP_STATUS_CONTINUE;
}

// Prints the calibration page on the queue, as a job of its own that gets
// the queue's vertical dots as every job does.
// The value in effect on the paper size: its own, or the value for every
// paper moved to it from the paper that it was measured on. Returns false
// after the error line.
static bool value_on(const work *w, const char *queue, const queue_dots *dots,
    page_value *page)
{
	// NOLINTNEXTLINE(cert-err33-c): a value cut short still shows.
	snprintf(page->text, sizeof page->text, "%s", dots->value);
	if (page->size == nullptr)
		return true;
	paper size, reference;
	if (!named_paper(w->given, page->size, &size))
		return report_error("the PPD of %s has no page size %s", queue,
		    page->size);
	ppd_values had;
	read_values(w->given, &had);
	for (int i = 0; i < had.count; i++)
		if (strcmp(had.own[i].name, size.name) == 0) {
			// NOLINTNEXTLINE(cert-err33-c): as above.
			snprintf(page->text, sizeof page->text, "%s", had.own[i].dots);
			return true;
		}
	double value = strtod(dots->value, nullptr);
	if (reference_paper(w->given, &reference))
		value = dots_on_paper(value, size.length, reference.length);
	// NOLINTNEXTLINE(cert-err33-c): a number fits.
	snprintf(page->text, sizeof page->text, "%.1f", value);
	return true;
}

bool calibrate(const work *w, const char *queue, const char *size)
{
	http_handle http = connect_server();
	queue_dots dots;
	if (!http || !find_dots(http.get(), w, queue, &dots))
		return false;
	double value = 0;
	if (!dots.runs_filter || !read_dots(dots.value, &value))
		return report_error("%s has no vertical dots to calibrate: "
		    "morvane-setup %s DOTS sets them", queue, queue);
	page_value page = {.text = "", .size = size};
	if (!value_on(w, queue, &dots, &page))
		return false;
	char server[buffer_size];
	cups_option_t *options = nullptr;
	int count = size != nullptr ?
	    cupsAddOption("PageSize", size, 0, &options) : 0;
	int job = cupsCreateJob(http.get(), queue, "calibration page", count,
	    options);
	cupsFreeOptions(count, options);
	if (job == 0)
		return report_error("the CUPS server %s refused a job on %s: %s",
		    server_name(server), queue, cupsLastErrorString());
	bool sent = cupsStartDocument(http.get(), queue, job, "calibration page",
	    CUPS_FORMAT_POSTSCRIPT, 1) == HTTP_STATUS_CONTINUE &&
	    write_page(http.get(), queue, &page);
	if (cupsFinishDocument(http.get(), queue) != IPP_STATUS_OK || !sent) {
		report_error("cannot send the calibration page to %s on the CUPS "
		    "server %s: %s", queue, server_name(server),
		    cupsLastErrorString());
		(void)cupsCancelJob2(http.get(), queue, job, 0);
		return false;
	}
	if (size != nullptr)
		printf("%s: the calibration page is job %s-%d on %s, with vertical "
		    "dots %s\n", queue, queue, job, size, page.text);
	else
		printf("%s: the calibration page is job %s-%d, with vertical dots "
		    "%s, %s\n", queue, queue, job, dots.value, dots.source);
	return true;
}
