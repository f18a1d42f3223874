// SPDX-License-Identifier: MIT
// The calibration page.
#include "calibrate.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dots.h"
#include "log.h"
#include "server.h"
#include "sizes.h"

// The calibration page's mark lies this far below the page's top edge.
// Its table gives the value to set for each millimetre from the sheet's
// top edge to its bottom: a row every row_mm, in columns column_mm wide
// from 15 mm, as many as the paper's width holds; on the first page from
// below the text, on the others from 15 mm below the top, to 10 mm above
// the bottom, on as many pages as it takes.
constexpr int mark_mm = 25;
constexpr double row_mm = 3.5;
constexpr double column_mm = 38;
constexpr double first_row_mm = mark_mm + 36;
constexpr double other_row_mm = 15;

// What the page says: the value in effect on its paper, the paper that a
// value set from it is for, where it is one paper's own, and the paper it
// prints on.
struct page_value {
	char text[buffer_size];
	const char *size;
	paper sheet;
};

// The PostScript of the page, sent as it is made; ok until a write fails.
struct page_stream {
	http_t *http;
	bool ok;
};

__attribute__((format(printf, 2, 3)))
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-like, checked by the compiler.
static void send(page_stream *out, const char *format, ...)
{
	char text[buffer_size];
	va_list arguments;
	va_start(arguments, format);
	// NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
	int length = vsnprintf(text, sizeof text, format, arguments);
	va_end(arguments);
	out->ok = out->ok && length >= 0 && length < (int)sizeof text &&
	    cupsWriteRequestData(out->http, text, length) == HTTP_STATUS_CONTINUE;
}

// Where row i of the table goes: its page (from 1) and its place in mm.
struct row_place {
	int page;
	double x;
	double y;
};

static row_place place_row(const paper *sheet, int i)
{
	double width = sheet->width / 72 * 25.4, length = sheet->length / 72 * 25.4;
	int columns = (int)((width - 15 - 25) / column_mm) + 1;
	columns = columns > 0 ? columns : 1;
	for (int page = 1;; page++) {
		double start = page == 1 ? first_row_mm : other_row_mm;
		int rows = (int)((length - 10 - start) / row_mm) + 1;
		rows = rows > 0 ? rows : 1;
		int column = i / rows, row = i % rows;
		if (i < rows * columns)
			return row_place{.page = page, .x = 15 + column * column_mm,
			    .y = start + row * row_mm};
		i -= rows * columns;
	}
}

// The PostScript of the calibration page's first page, with the value in
// effect. Text goes in PostScript strings, with the queue's name escaped.
static void send_head(page_stream *out, const char *queue,
    const page_value *dots, int pages)
{
	char name[buffer_size] = "";
	for (int i = 0, used = 0; queue[i] != '\0' && used < buffer_size - 2; i++) {
		if (strchr("()\\", queue[i]) != nullptr)
			name[used++] = '\\';
		name[used++] = queue[i];
		name[used] = '\0';
	}
	send(out, "%%!PS-Adobe-3.0\n%%%%Title: calibration page\n%%%%Pages: %d\n"
	    "%%%%EndComments\n%%%%BeginProlog\n/mm{72 mul 25.4 div}def\n"
	    "/top{currentpagedevice/PageSize get 1 get exch mm sub}def\n"
	    "/line{top 15 mm exch moveto show}def\n"
	    "/row{top exch mm exch 2 copy moveto 4 -1 roll show\n"
	    " exch 16 mm add exch moveto show}def\n%%%%EndProlog\n"
	    "%%%%Page: 1 1\n/Helvetica findfont 9 scalefont setfont\n"
	    "currentpagedevice/PageSize get 0 get dup 5 div %d top 0.5 sub\n"
	    " 3 -1 roll 3 mul 5 div 0.5 rectfill\n", pages, mark_mm);
	send(out, "(The line above: its top edge lies %d mm below the page's top "
	    "edge.) %d line\n(Measure the distance from the sheet's top edge to "
	    "the line's top edge,) %d line\n", mark_mm, mark_mm + 7, mark_mm + 12);
	send(out, "(and set the value of that row: morvane-setup %s VALUE%s%s) %d "
	    "line\n(Vertical dots in effect: %s) %d line\n", name,
	    dots->size != nullptr ? " --media " : "",
	    dots->size != nullptr ? dots->size : "", mark_mm + 17, dots->text,
	    mark_mm + 24);
}

// Sends the calibration page: its text, then a row of the table for each
// millimetre of the sheet's length.
static bool write_page(http_t *http, const char *queue,
    const page_value *dots)
{
	page_stream out = {.http = http, .ok = true};
	int rows = (int)(dots->sheet.length / 72 * 25.4);
	int pages = place_row(&dots->sheet, rows - 1).page;
	send_head(&out, queue, dots, pages);
	// The value's text came through read_dots: a number, no parenthesis.
	double value = strtod(dots->text, nullptr);
	for (int i = 0, page = 1; out.ok && i < rows; i++) {
		row_place at = place_row(&dots->sheet, i);
		if (at.page != page)
			send(&out, "showpage\n%%%%Page: %d %d\n/Helvetica findfont 9 "
			    "scalefont setfont\n", at.page, at.page);
		if (at.y == (at.page == 1 ? first_row_mm : other_row_mm))
			send(&out, "(mm) (value) %g %g row\n", at.x, at.y - 5);
		page = at.page;
		send(&out, "(%d) (%ld) %g %g row\n", i + 1,
		    lround(value + (i + 1 - mark_mm) * 300 / 25.4), at.x, at.y);
	}
	send(&out, "showpage\n%%%%EOF\n");
	return out.ok;
}

// The value in effect on the paper size: its own, or the value for every
// paper moved to it from the paper that it was measured on. Returns false
// after the error line.
static bool value_on(const work *w, const char *queue, const queue_dots *dots,
    page_value *page)
{
	// NOLINTNEXTLINE(cert-err33-c): a value cut short still shows.
	snprintf(page->text, sizeof page->text, "%s", dots->value);
	// A queue without a default paper gets a table for A4's length.
	page->sheet = dots->start.name[0] != '\0' ? dots->start :
	    paper{.name = "A4", .width = 595, .length = 842};
	if (page->size == nullptr)
		return true;
	paper size, reference;
	if (!named_paper(w->given, page->size, &size))
		return report_error("the PPD of %s has no page size %s", queue,
		    page->size);
	page->sheet = size;
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
	queue_facts facts;
	queue_dots dots;
	if (!http || !read_queue(http.get(), w, queue, &facts, &dots))
		return false;
	double value = 0;
	if (!dots.runs_filter || !read_dots(dots.value, &value))
		return report_error("%s has no vertical dots to calibrate: "
		    "morvane-setup %s DOTS sets them", queue, queue);
	page_value page = {.text = "", .size = size, .sheet = {}};
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
		return report_error("%s refused a job on %s: %s",
		    server_name(server), queue, cupsLastErrorString());
	bool sent = cupsStartDocument(http.get(), queue, job, "calibration page",
	    CUPS_FORMAT_POSTSCRIPT, 1) == HTTP_STATUS_CONTINUE &&
	    write_page(http.get(), queue, &page);
	if (cupsFinishDocument(http.get(), queue) != IPP_STATUS_OK || !sent) {
		report_error("cannot send the calibration page to %s on %s: %s",
		    queue, server_name(server), cupsLastErrorString());
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
