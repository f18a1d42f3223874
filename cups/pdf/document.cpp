// SPDX-License-Identifier: MIT
// A job's PDF with each page's content moved. libqpdf's C interface keeps
// its exceptions inside: each failure is read back with qpdf_has_error.
#include "document.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include <qpdf/qpdf-c.h>

#include "copy.h"
#include "log.h"
#include "pdf_move.h"

namespace {

struct qpdf_free {
	void operator()(_qpdf_data *q) const { qpdf_cleanup(&q); }
};
using qpdf_handle = std::unique_ptr<_qpdf_data, qpdf_free>;

// Reports libqpdf's error, if it has one, with what was being done.
// Returns false where it had one.
bool no_error(qpdf_data q, const char *doing)
{
	if (!qpdf_has_error(q))
		return true;
	return report_error("%s: %s", doing,
	    qpdf_get_error_full_text(q, qpdf_get_error(q)));
}

double number_or(qpdf_data q, qpdf_oh oh, double fallback)
{
	return qpdf_oh_is_number(q, oh) ? qpdf_oh_get_numeric_value(q, oh) :
	    fallback;
}

// The page's box, turn and unit. Returns false where its /MediaBox is not
// four numbers.
bool read_page(qpdf_data q, qpdf_oh oh, pdf_page *page)
{
	qpdf_oh box = qpdf_oh_get_key(q, oh, "/MediaBox");
	if (!qpdf_oh_is_array(q, box) || qpdf_oh_get_array_n_items(q, box) != 4)
		return false;
	for (int i = 0; i < 4; i++) {
		qpdf_oh side = qpdf_oh_get_array_item(q, box, i);
		if (!qpdf_oh_is_number(q, side))
			return false;
		page->box[i] = qpdf_oh_get_numeric_value(q, side);
	}
	qpdf_oh rotate = qpdf_oh_get_key(q, oh, "/Rotate");
	page->rotate = qpdf_oh_is_integer(q, rotate) ?
	    qpdf_oh_get_int_value_as_int(q, rotate) : 0;
	page->user_unit = number_or(q, qpdf_oh_get_key(q, oh, "/UserUnit"), 1);
	if (page->user_unit <= 0)
		page->user_unit = 1;
	return true;
}

// The streams that the pages' contents are put between. Pages of the same
// move and clip share their first stream, and every page shares the last:
// libqpdf's every new object costs a walk over all the document's objects.
// They are kept by number, as each page's handles are released.
constexpr int max_starts = 16;

struct start_stream {
	char text[256];
	int length;
	int id;
};

struct content_ends {
	int end_id;                     // the stream that ends every move
	int count;                      // the first streams made, the last
	start_stream starts[max_starts]; // replaced when all are taken
};

qpdf_oh new_stream(qpdf_data q, const char *text, int length)
{
	qpdf_oh stream = qpdf_oh_new_stream(q);
	qpdf_oh_replace_stream_data(q, stream, (const unsigned char *)text,
	    (size_t)length, qpdf_oh_new_null(q), qpdf_oh_new_null(q));
	return stream;
}

// The stream of the text, made where no page has had it yet.
qpdf_oh start_of(qpdf_data q, content_ends *ends, const char *text,
    int length)
{
	for (int i = 0; i < ends->count; i++) {
		const start_stream *known = &ends->starts[i];
		if (known->length == length &&
		    memcmp(known->text, text, (size_t)length) == 0)
			return qpdf_get_object_by_id(q, known->id, 0);
	}
	qpdf_oh stream = new_stream(q, text, length);
	if (ends->count < max_starts)
		ends->count++;
	start_stream *known = &ends->starts[ends->count - 1];
	memcpy(known->text, text, (size_t)length);
	known->length = length;
	known->id = qpdf_oh_get_object_id(q, stream);
	return stream;
}

// Puts the page's content between a move, with the page's visible box as
// its clip, and the end of the move.
void wrap_content(qpdf_data q, qpdf_oh oh, const pdf_page *page,
    const double move[2], content_ends *ends)
{
	qpdf_oh crop = qpdf_oh_get_key(q, oh, "/CropBox");
	double clip[4];
	for (int i = 0; i < 4; i++)
		clip[i] = qpdf_oh_is_array(q, crop) &&
		    qpdf_oh_get_array_n_items(q, crop) == 4 ?
		    number_or(q, qpdf_oh_get_array_item(q, crop, i), page->box[i]) :
		    page->box[i];
	char start[256];
	int length = snprintf(start, sizeof start, "q 1 0 0 1 %.4f %.4f cm "
	    "%.4f %.4f %.4f %.4f re W n\n", move[0], move[1], clip[0], clip[1],
	    clip[2] - clip[0], clip[3] - clip[1]);
	qpdf_oh contents = qpdf_oh_get_key(q, oh, "/Contents");
	qpdf_oh all = qpdf_oh_new_array(q);
	qpdf_oh_append_item(q, all, start_of(q, ends, start, length));
	if (qpdf_oh_is_array(q, contents)) {
		int count = qpdf_oh_get_array_n_items(q, contents);
		for (int i = 0; i < count; i++)
			qpdf_oh_append_item(q, all,
			    qpdf_oh_get_array_item(q, contents, i));
	} else if (qpdf_oh_is_stream(q, contents)) {
		qpdf_oh_append_item(q, all, contents);
	}
	if (ends->end_id == 0)
		ends->end_id = qpdf_oh_get_object_id(q, new_stream(q, "\nQ\n", 3));
	qpdf_oh_append_item(q, all, qpdf_get_object_by_id(q, ends->end_id, 0));
	qpdf_oh_replace_key(q, oh, "/Contents", all);
}

bool move_page(qpdf_data q, int index, filter_job *job,
    content_ends *ends)
{
	qpdf_oh oh = qpdf_get_page_n(q, (size_t)index);
	pdf_page page;
	float size[2];
	if (!read_page(q, oh, &page) || !sheet_paper(&page, size))
		return no_error(q, "cannot read the PDF") &&
		    report_error("page %d of the PDF has no /MediaBox of a paper",
		    index + 1);
	double shift[2], move[2];
	sheet_side side = job->q->two_sided && index % 2 == 1 ? side_back :
	    side_front;
	if (!shift_for_page(job, size, side, shift))
		return false;
	page_move(&page, shift, move);
	wrap_content(q, oh, &page, move, ends);
	qpdf_oh_release_all(q);
	return no_error(q, "cannot move the PDF's pages");
}

// Moves the pages of the PDF in bytes, read from file, and writes it.
bool move_document(const char *file, const char *bytes, size_t length,
    filter_job *job)
{
	qpdf_handle q(qpdf_init());
	qpdf_silence_errors(q.get());
	qpdf_set_suppress_warnings(q.get(), QPDF_TRUE);
	qpdf_read_memory(q.get(), file, bytes, (unsigned long long)length,
	    nullptr);
	if (!no_error(q.get(), "cannot read the PDF"))
		return false;
	qpdf_push_inherited_attributes_to_page(q.get());
	int pages = qpdf_get_num_pages(q.get());
	if (!no_error(q.get(), "cannot read the PDF's pages"))
		return false;
	content_ends ends = {.end_id = 0, .count = 0, .starts = {}};
	for (int i = 0; i < pages; i++)
		if (!move_page(q.get(), i, job, &ends))
			return false;
	debug("pages moved: %d", pages);
	qpdf_init_write(q.get(), nullptr);
	qpdf_set_object_stream_mode(q.get(), qpdf_o_preserve);
	qpdf_set_stream_data_mode(q.get(), qpdf_s_preserve);
	if (!no_error(q.get(), "cannot write the PDF"))
		return false;
	qpdf_write(q.get());
	if (!no_error(q.get(), "cannot write the PDF"))
		return false;
	for (int i = 1; i <= pages; i++)
		count_written(job, i);
	return true;
}

}

// The file is mapped, not read: libqpdf reads a file by seeking to each
// object, a system call each.
bool move_pdf(const char *file, filter_job *job)
{
	int fd = open(file, O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return report_error("cannot open %s:", file);
	mapped_file map;
	bool ok = map_file(fd, file, &map) && (map.size > 0 ||
	    report_error("the job holds no PDF: 0 bytes")) &&
	    move_document(file, map.data, (size_t)map.size, job);
	unmap_file(&map);
	close(fd);
	return ok;
}
