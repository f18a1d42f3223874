// SPDX-License-Identifier: MIT
// The calibration page.
#include "calibrate.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dots.h"
#include "image_shift.h"
#include "log.h"
#include "queue.h"
#include "queue_shifts.h"
#include "server.h"
#include "sizes.h"
#include "text.h"

// The calibration page's mark lies this far below the page's top edge.
// Its table gives the value to set for each millimetre from the sheet's
// top edge to its bottom: a row every row_mm, in columns column_mm wide
// from the margin, as many as the paper's width holds; on the first page
// from below the text, on the others from 15 mm below the top, to 10 mm
// above the bottom, on as many pages as it takes.
constexpr int mark_mm = 25;
constexpr double row_mm = 3.5;
constexpr double column_mm = 38;
constexpr double other_row_mm = 15;
constexpr double table_points = 9;

// The ruler lies left of the mark, from the page's left edge to 2 mm short
// of the text's margin, its top edge on the mark's: a tick where the
// sheet's left edge must cut it for each whole millimetre of the
// horizontal shift to set, every fifth longer, each with its value beside
// it, in two rows that take turns.
constexpr double tick_mm = 1.5;
constexpr double fifth_tick_mm = 3;
constexpr double ruler_points = 4.5;
constexpr double label_rows_mm[2] = {29.6, 31.2};

// The back's table: a row for each millimetre that the back's mark lies
// below the front's, from -back_rows to back_rows, or fewer where the
// back's page holds fewer.
constexpr int back_rows = 10;

// The PostScript of the page, sent as it is made, to the server or to a
// file; ok until a write fails.
struct page_stream {
	http_t *http;
	FILE *file;
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
	    (out->http != nullptr ? cupsWriteRequestData(out->http, text,
	    length) == HTTP_STATUS_CONTINUE : fwrite(text, 1, length,
	    out->file) == (size_t)length);
}

// Where the page's parts go on its paper, in mm: its size, the margins
// left and right, the first page's first row; and the text's font size,
// in points.
struct page_layout {
	double width;
	double length;
	double margin;
	double first_row;
	double points;
};

// Helvetica's widths of the printable ASCII characters, in thousandths of
// the font size; any other byte is taken as wide as an em.
static const short helvetica[95] = {
	278, 278, 355, 556, 556, 889, 667, 222, 333, 333, 389, 584, 278, 333, 278,
	278, 556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584,
	584, 556, 1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556,
	833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278,
	278, 278, 469, 556, 222, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222,
	500, 222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,
	500, 334, 260, 334, 584};

// The width of length bytes of text in Helvetica, in mm.
static double text_mm(const char *text, int length, double points)
{
	long thousandths = 0;
	for (int i = 0; i < length; i++) {
		unsigned char c = text[i];
		thousandths += c >= 32 && c < 127 ? helvetica[c - 32] : 1000;
	}
	return (double)thousandths / 1000 * points / 72 * 25.4;
}

// The bytes of text that its first line takes: the words that the width
// holds, or as much of the first word as it holds, one byte at least.
static int line_length(const char *text, double width, double points)
{
	int length = (int)strcspn(text, " ");
	if (text_mm(text, length, points) > width) {
		while (length > 1 && text_mm(text, length, points) > width)
			length--;
		return length;
	}
	for (int next = length; text[next] == ' ';) {
		next += 1 + (int)strcspn(text + next + 1, " ");
		if (text_mm(text, next, points) > width)
			break;
		length = next;
	}
	return length;
}

// Sends the text as the lines that the page's width holds, from the
// baseline y on, in mm, a line apart, with ( ) and \ escaped for a
// PostScript string; out may be null, to lay the text out alone. Returns
// the baseline of the line after them.
static double send_lines(page_stream *out, const page_layout *page,
    const char *text, double y)
{
	double width = page->width - 2 * page->margin;
	while (*text != '\0') {
		int length = line_length(text, width, page->points);
		char line[buffer_size];
		int used = 0;
		for (int i = 0; i < length && used < buffer_size - 2; i++) {
			if (strchr("()\\", text[i]) != nullptr)
				line[used++] = '\\';
			line[used++] = text[i];
		}
		line[used] = '\0';
		if (out != nullptr)
			send(out, "(%s) %g line\n", line, y);
		text += length + strspn(text + length, " ");
		y += page->points * 5 / 9;
	}
	return y;
}

// What a side of the page tells: the queue, its values, and the side.
struct page_text {
	const char *queue;
	const page_value *dots;
	sheet_side side;
};

// Writes hundredths of a millimetre as millimetres, without the zeros
// that end a fraction.
static void mm_text(long hundredths, char text[32])
{
	// NOLINTNEXTLINE(cert-err33-c): a long fits.
	snprintf(text, 32, "%s%ld.%02ld", hundredths < 0 ? "-" : "",
	    labs(hundredths) / 100, labs(hundredths) % 100);
	size_t end = strlen(text);
	while (text[end - 1] == '0')
		end--;
	text[text[end - 1] == '.' ? end - 1 : end] = '\0';
}

// Sends the text about the ruler from the baseline y on. Returns the
// baseline of the line after it.
static double send_ruler_text(page_stream *out, const page_layout *page,
    const page_text *about, double y)
{
	bool back = about->side == side_back;
	const page_shifts *shifts = &about->dots->shifts;
	char text[buffer_size], amount[32];
	mm_text(back ? shifts->back_x : shifts->front_x, amount);
	// NOLINTNEXTLINE(cert-err33-c): a command cut short still shows.
	snprintf(text, sizeof text, "The ruler: set the value where the sheet's "
	    "left edge cuts it, or a tick's value less its distance from the "
	    "edge (the %s mm in effect included): morvane-setup %s --shift %s MM",
	    amount, about->queue, back ? "x-back" : shifts->front_name);
	return send_lines(out, page, text, y);
}

// Sends the back's text below the mark, from the baseline y on. Returns
// the baseline of the line after it.
static double send_back_text(page_stream *out, const page_layout *page,
    const page_text *about, double y)
{
	char text[buffer_size], amount[32];
	mm_text(about->dots->shifts.back_y, amount);
	// NOLINTNEXTLINE(cert-err33-c): the sentence is shorter.
	snprintf(text, sizeof text, "The back: set the value of the row for the "
	    "distance from the sheet's top edge to the line's top edge here less "
	    "on the front (the %s mm in effect included):", amount);
	y = send_lines(out, page, text, y);
	// NOLINTNEXTLINE(cert-err33-c): a command cut short still shows.
	snprintf(text, sizeof text, "morvane-setup %s --shift y-back MM",
	    about->queue);
	return send_lines(out, page, text, y);
}

// Sends the side's text below the mark, where out is not null. Returns
// the baseline of its last line, in mm.
static double send_text(page_stream *out, const page_layout *page,
    const page_text *about)
{
	double step = page->points * 5 / 9;
	double y = mark_mm + 2 + step;
	if (about->side == side_back)
		return send_ruler_text(out, page, about,
		    send_back_text(out, page, about, y) + 2) - step;
	char text[buffer_size];
	const page_value *dots = about->dots;
	// NOLINTNEXTLINE(cert-err33-c): the sentence is shorter.
	snprintf(text, sizeof text, "The line above: its top edge lies %d mm "
	    "below the page's top edge.", mark_mm);
	y = send_lines(out, page, text, y);
	y = send_lines(out, page, "Measure the distance from the sheet's top "
	    "edge to the line's top edge, and set the value of that row:", y);
	// NOLINTNEXTLINE(cert-err33-c): a command cut short still shows.
	snprintf(text, sizeof text, "morvane-setup %s VALUE%s%s", about->queue,
	    dots->size != nullptr ? " --media " : "",
	    dots->size != nullptr ? dots->size : "");
	y = send_lines(out, page, text, y);
	// NOLINTNEXTLINE(cert-err33-c): as above.
	snprintf(text, sizeof text, "Vertical dots in effect: %.200s",
	    dots->text);
	y = send_lines(out, page, text, y + 2);
	return send_ruler_text(out, page, about, y) - step;
}

// The page on its paper: margins of 15 mm, or of a seventh of a narrower
// paper's width; a font of 9 points, smaller where a line would hold less
// than 22 of its ems (6 points at least), and smaller again, to 4 points,
// where the text would run lower than 5 mm above the sheet's bottom, or,
// on the back, which has one page, leave no room for a row of its table.
static page_layout lay_out(const page_text *about)
{
	const page_value *dots = about->dots;
	page_layout page = {.width = dots->sheet.width / 72 * 25.4,
	    .length = dots->sheet.length / 72 * 25.4, .margin = 0,
	    .first_row = 0, .points = 0};
	page.margin = fmin(15, page.width / 7);
	double line = (page.width - 2 * page.margin) / 25.4 * 72;
	page.points = fmax(6, fmin(9, floor(line / 22 * 10) / 10));
	double lowest = page.length - (about->side == side_back ?
	    10 + 12 : 5);
	double last = send_text(nullptr, &page, about);
	while (page.points > 4 && last > lowest) {
		page.points -= 0.5;
		last = send_text(nullptr, &page, about);
	}
	page.first_row = last + 12;
	return page;
}

// Where row i of the table goes: its page (from 1) and its place in mm.
struct row_place {
	int page;
	double x;
	double y;
};

// The rows that a page holds from start down: none where start lies below
// the last row's place.
static int rows_from(const page_layout *page, double start)
{
	double room = page->length - 10 - start;
	return room >= 0 ? (int)(room / row_mm) + 1 : 0;
}

static row_place place_row(const page_layout *page, int i)
{
	int columns = (int)((page->width - 2 * page->margin - 25) / column_mm) +
	    1;
	columns = columns > 0 ? columns : 1;
	for (int number = 1;; number++) {
		double start = number == 1 ? page->first_row : other_row_mm;
		int rows = rows_from(page, start);
		rows = rows > 0 || number == 1 ? rows : 1;
		if (i < rows * columns) {
			int column = i / rows;
			return row_place{.page = number, .x = page->margin +
			    column * column_mm, .y = start + i % rows * row_mm};
		}
		i -= rows * columns;
	}
}

// Starts page number of the PostScript with the side's mark.
static void send_marks(page_stream *out, const page_layout *page,
    int number)
{
	send(out, "%%%%Page: %d %d\n/Helvetica findfont %g scalefont setfont\n"
	    "currentpagedevice/PageSize get 0 get dup 5 div %d top 0.5 sub\n"
	    " 3 -1 roll 3 mul 5 div 0.5 rectfill\n", number, number, page->points,
	    mark_mm);
}

// Sends the ruler for the side's horizontal shift, in hundredths of a
// millimetre.
static void send_ruler(page_stream *out, const page_layout *page,
    long shift)
{
	double length = page->margin - 2;
	send(out, "/Helvetica findfont %g scalefont setfont\n"
	    "0 %d top 0.5 sub %g mm 0.5 rectfill\n", ruler_points, mark_mm,
	    length);
	// The first whole millimetre at or right of the page's left edge.
	long value = shift >= 0 ? (shift + 99) / 100 : -(-shift / 100);
	for (; out->ok && value * 100 - shift <= lround(length * 100); value++) {
		double x = (double)(value * 100 - shift) / 100;
		double tick = value % 5 == 0 ? fifth_tick_mm : tick_mm;
		send(out, "%g mm %d top %g mm sub 0.5 %g mm rectfill\n"
		    "(%ld) %g mm %g top moveto show\n", x, mark_mm, tick, tick,
		    value, x + 0.3, label_rows_mm[value & 1]);
	}
}

// The PostScript of the calibration page's first page, down to its table.
static void send_head(page_stream *out, const page_text *about,
    const page_layout *page, int pages)
{
	send(out, "%%!PS-Adobe-3.0\n%%%%Title: calibration page\n%%%%Pages: %d\n"
	    "%%%%EndComments\n%%%%BeginProlog\n/mm{72 mul 25.4 div}def\n"
	    "/top{currentpagedevice/PageSize get 1 get exch mm sub}def\n"
	    "/line{top %g mm exch moveto show}def\n"
	    "/row{top exch mm exch 2 copy moveto 4 -1 roll show\n"
	    " exch 16 mm add exch moveto show}def\n%%%%EndProlog\n", pages,
	    page->margin);
	send_marks(out, page, 1);
	send_text(out, page, about);
	send_ruler(out, page, about->dots->shifts.front_x);
	send(out, "/Helvetica findfont %g scalefont setfont\n", table_points);
}

// Sends the back's page, number 2: the front's marks, its text, and its
// table for the vertical shift of the back, on one page: from -back_rows
// to back_rows, or fewer, as many as the page holds.
static void send_back(page_stream *out, const page_text *about)
{
	page_layout page = lay_out(about);
	send(out, "showpage\n");
	send_marks(out, &page, 2);
	send_text(out, &page, about);
	send_ruler(out, &page, about->dots->shifts.back_x);
	send(out, "/Helvetica findfont %g scalefont setfont\n", table_points);
	int half = back_rows;
	while (half >= 0 && place_row(&page, 2 * half).page != 1)
		half--;
	// A paper too small for a row of it has none.
	for (int i = 0; out->ok && i <= 2 * half; i++) {
		row_place at = place_row(&page, i);
		if (at.y == page.first_row)
			send(out, "(mm) (value) %g %g row\n", at.x, at.y - 5);
		char below[16] = "0", value[32];
		if (i != half)
			// NOLINTNEXTLINE(cert-err33-c): a number fits.
			snprintf(below, sizeof below, "%+d", i - half);
		mm_text(about->dots->shifts.back_y - (i - half) * 100L, value);
		send(out, "(%s) (%s) %g %g row\n", below, value, at.x, at.y);
	}
}

// Sends the calibration page: its text, then a row of the table for each
// millimetre of the sheet's length; on a two-sided page, its back second.
static bool write_page(page_stream *out, const char *queue,
    const page_value *dots)
{
	page_text front = {.queue = queue, .dots = dots, .side = side_front};
	page_text back = {.queue = queue, .dots = dots, .side = side_back};
	int two = dots->shifts.two_sided ? 1 : 0;
	page_layout page = lay_out(&front);
	int rows = (int)(dots->sheet.length / 72 * 25.4);
	int pages = place_row(&page, rows - 1).page;
	send_head(out, &front, &page, pages + two);
	// The value's text came through read_dots: a number, no parenthesis.
	double value = strtod(dots->text, nullptr);
	for (int i = 0, last = 1; out->ok && i < rows; i++) {
		row_place at = place_row(&page, i);
		if (at.page != last && last == 1 && two == 1)
			send_back(out, &back);
		if (at.page != last)
			send(out, "showpage\n%%%%Page: %d %d\n/Helvetica findfont %g "
			    "scalefont setfont\n", at.page + two, at.page + two,
			    table_points);
		if (at.y == (at.page == 1 ? page.first_row : other_row_mm))
			send(out, "(mm) (value) %g %g row\n", at.x, at.y - 5);
		last = at.page;
		send(out, "(%d) (%ld) %g %g row\n", i + 1,
		    lround(value + (i + 1 - mark_mm) * dots_per_inch / 25.4), at.x, at.y);
	}
	if (pages == 1 && two == 1)
		send_back(out, &back);
	send(out, "showpage\n%%%%EOF\n");
	return out->ok;
}

bool write_calibration_page(FILE *file, const char *queue,
    const page_value *dots)
{
	page_stream out = {.http = nullptr, .file = file, .ok = true};
	return write_page(&out, queue, dots);
}

// The value in effect on the paper size: its own, or the value for every
// paper moved to it from the paper that it was measured on. Returns false
// after the error line.
static bool value_on(ppd_file_t *ppd, const char *queue,
    const queue_dots *dots, page_value *page)
{
	copy_text(page->text, sizeof page->text, dots->value);
	// A queue without a default paper gets a table for A4's length.
	page->sheet = dots->start.name[0] != '\0' ? dots->start :
	    paper{.name = "A4", .width = 595, .length = 842};
	if (page->size == nullptr)
		return true;
	paper size, reference;
	if (!find_paper(ppd, page->size, &size))
		return report_error("the PPD of %s has no page size %s", queue,
		    page->size);
	page->sheet = size;
	ppd_values had;
	read_values(ppd, &had);
	for (int i = 0; i < had.count; i++)
		if (strcmp(had.own[i].name, size.name) == 0) {
			copy_text(page->text, sizeof page->text, had.own[i].dots);
			return true;
		}
	double value = strtod(dots->value, nullptr);
	if (reference_paper(ppd, &reference))
		value = dots_on_paper(value, size.length, reference.length);
	// NOLINTNEXTLINE(cert-err33-c): a number fits.
	snprintf(page->text, sizeof page->text, "%.1f", value);
	return true;
}

// Says where the queue holds its jobs, so that the page waits: it is
// disabled, or its printer stopped.
static void say_held(const char *queue, const queue_facts *facts)
{
	if (facts->stopped)
		printf("%s: the queue is stopped%s%s%s, so the page waits: cupsenable "
		    "%s prints it\n", queue, facts->message[0] != '\0' ? " (\"" : "",
		    facts->message, facts->message[0] != '\0' ? "\")" : "", queue);
}

// The queue's image shifts that the page's sides get, and whether it
// prints two-sided: then the option and its choice that the job asks
// for. Returns false after the error line.
static bool shifts_of(const queue_facts *facts, page_shifts *page,
    const char **duplex, const char **choice)
{
	const char *texts[image_shift_attributes];
	for (int i = 0; i < image_shift_attributes; i++)
		texts[i] = facts->shifts[i][0] != '\0' ? facts->shifts[i] :
		    nullptr;
	image_shifts shifts;
	if (!read_image_shifts(texts, &shifts))
		return false;
	*page = page_shifts{.two_sided = facts->ppd &&
	    long_edge_choice(facts->ppd.get(), duplex, choice),
	    .front_x = shifts.side[side_front].x,
	    .back_x = shifts.side[side_back].x,
	    .back_y = shifts.side[side_back].y,
	    .front_name = texts[2] != nullptr ? "x-front" : "x"};
	return true;
}

// Creates the page's job on the queue: on the paper size where it is not
// null, two-sided where duplex is not null. Returns its number, or 0
// after the error line.
static int create_job(http_t *http, const char *queue, const char *size,
    const char *duplex, const char *choice)
{
	char server[buffer_size];
	cups_option_t *options = nullptr;
	int count = size != nullptr ?
	    cupsAddOption("PageSize", size, 0, &options) : 0;
	if (duplex != nullptr)
		count = cupsAddOption(duplex, choice, count, &options);
	int job = cupsCreateJob(http, queue, "calibration page", count,
	    options);
	cupsFreeOptions(count, options);
	if (job == 0)
		report_error("%s refused a job on %s: %s", server_name(server),
		    queue, cupsLastErrorString());
	return job;
}

bool calibrate(const work *w, const char *queue, const char *size)
{
	http_handle http = connect_server();
	queue_facts facts;
	queue_dots dots;
	if (!http || !ask_queue(http.get(), w, queue, &facts, &dots))
		return false;
	double value = 0;
	if (!dots.runs_filter || !read_dots(dots.value, &value))
		return report_error("%s has no vertical dots to calibrate: "
		    "morvane-setup %s DOTS sets them", queue, queue);
	if (!facts.accepting)
		return report_error("%s does not accept jobs: cupsaccept %s lets the "
		    "calibration page in", queue, queue);
	page_value page = {.text = "", .size = size, .sheet = {}, .shifts = {}};
	const char *duplex = nullptr, *choice = nullptr;
	if (!value_on(facts.ppd.get(), queue, &dots, &page) ||
	    !shifts_whole(queue, &facts) ||
	    !shifts_of(&facts, &page.shifts, &duplex, &choice))
		return false;
	int job = create_job(http.get(), queue, size, duplex, choice);
	if (job == 0)
		return false;
	char server[buffer_size];
	page_stream out = {.http = http.get(), .file = nullptr, .ok = true};
	bool sent = cupsStartDocument(http.get(), queue, job, "calibration page",
	    CUPS_FORMAT_POSTSCRIPT, 1) == HTTP_STATUS_CONTINUE &&
	    write_page(&out, queue, &page);
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
	say_held(queue, &facts);
	return true;
}
