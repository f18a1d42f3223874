// SPDX-License-Identifier: MIT
// The papers of a PPD.
#include "sizes.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "dots.h"
#include "log.h"
#include "ppd.h"
#include "text.h"

namespace {

// The PPD's size of the PWG media's dimensions, within a point.
bool media_paper(ppd_file_t *ppd, const char *media, paper *found)
{
	pwg_media_t *pwg = media != nullptr ? pwgMediaForPWG(media) : nullptr;
	if (pwg == nullptr)
		return false;
	const paper asked = {.name = "", .width = (float)(pwg->width * 72.0 / 2540),
	    .length = (float)(pwg->length * 72.0 / 2540)};
	for (int i = 0; i < ppd->num_sizes; i++) {
		const ppd_size_t *size = &ppd->sizes[i];
		if (same_paper(named_paper(size->name, size->width, size->length),
		    asked))
			return measured_paper(size, found);
	}
	return false;
}

}

bool default_paper(ppd_file_t *ppd, const char *media, paper *found)
{
	return ppd != nullptr &&
	    (media_paper(ppd, media, found) || default_size(ppd, found));
}

bool every_size_bounds(ppd_file_t *ppd, const paper *reference,
    paper_bounds *bounds)
{
	if (ppd == nullptr)
		return false;
	dots_bounds found = no_bounds();
	for (int i = 0; i < ppd->num_sizes; i++) {
		paper size;
		if (!measured_paper(&ppd->sizes[i], &size))
			continue;
		narrow_bounds(&found, dots_on_sheet(size.length, reference != nullptr ?
		    reference->length : size.length), i);
		if (found.low == i)
			bounds->low = size;
		if (found.high == i)
			bounds->high = size;
	}
	bounds->range = found.range;
	return found.low >= 0;
}

// Says that dots put the page off the sheet, for the paper of bounds whose
// end they pass, and which values fit where: on every paper of the PPD,
// else on the one paper of bounds. Returns false.
static bool off_the_sheet(const char *text, double dots,
    const paper_bounds *b, bool every)
{
	const paper *off = dots <= b->range.low ? &b->low : &b->high;
	char where[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c): the paper's length says it all the same.
	snprintf(where, sizeof where, "the vertical dots \"%s\" put the page off "
	    "the sheet for the page size %s, %.9g points long", text, off->name,
	    (double)off->length);
	const dots_range *r = &b->range;
	if (!every)
		return report_error("%s: they must lie between %.2f and %.2f", where,
		    r->low, r->high);
	if (!(r->low < r->high))
		return report_error("%s, and no value keeps the page on every paper "
		    "of the PPD: %s needs more than %.2f, %s less than %.2f", where,
		    b->low.name, r->low, b->high.name, r->high);
	if (strcmp(b->low.name, b->high.name) == 0)
		return report_error("%s: on every paper of the PPD they must lie "
		    "between %.2f and %.2f (both bound by %s)", where, r->low,
		    r->high, b->low.name);
	return report_error("%s: on every paper of the PPD they must lie between "
	    "%.2f (bound by %s) and %.2f (bound by %s)", where, r->low,
	    b->low.name, r->high, b->high.name);
}

bool fits_paper(const char *text, const paper *size)
{
	double dots = 0;
	const paper_bounds bounds = {.range = dots_on_sheet(size->length,
	    size->length), .low = *size, .high = *size};
	return !read_dots(text, &dots) || (dots > bounds.range.low &&
	    dots < bounds.range.high) || off_the_sheet(text, dots, &bounds, false);
}

bool fits_every_size(ppd_file_t *ppd, const char *text,
    const paper *reference)
{
	double dots = 0;
	paper_bounds bounds = {};
	return !read_dots(text, &dots) ||
	    !every_size_bounds(ppd, reference, &bounds) ||
	    (dots > bounds.range.low && dots < bounds.range.high) ||
	    off_the_sheet(text, dots, &bounds, true);
}

// Values cut short still show.
void read_values(ppd_file_t *ppd, ppd_values *values)
{
	*values = ppd_values{.dots = "", .reference = "", .count = 0, .own = {}};
	if (ppd == nullptr)
		return;
	const char *dots = ppd_dots(ppd);
	copy_text(values->dots, sizeof values->dots, dots != nullptr ? dots : "");
	ppd_own_dots lines[max_own_values];
	values->count = ppd_papers_dots(ppd, lines, max_own_values);
	for (int i = 0; i < values->count; i++) {
		own_value *own = &values->own[i];
		copy_text(own->name, sizeof own->name, lines[i].name);
		copy_text(own->dots, sizeof own->dots, lines[i].value);
	}
	paper reference;
	if (reference_paper(ppd, &reference))
		copy_text(values->reference, sizeof values->reference,
		    reference.name);
}

void format_calibration(const ppd_values *values, char text[buffer_size])
{
	int used = snprintf(text, buffer_size, "%s@%s", values->dots,
	    values->reference);
	for (int i = 0; i < values->count && used < buffer_size; i++)
		used += snprintf(text + used, buffer_size - used, ":%s=%s",
		    values->own[i].name, values->own[i].dots);
	if (used >= buffer_size)
		text[0] = '\0';
}

// Copies the bytes [start, end) of a text to field, of size bytes.
static bool take_field(const char *start, const char *end, char *field,
    size_t size)
{
	if (end <= start || (size_t)(end - start) >= size)
		return false;
	memcpy(field, start, end - start);
	field[end - start] = '\0';
	return true;
}

bool parse_calibration(const char *text, ppd_values *values)
{
	*values = ppd_values{.dots = "", .reference = "", .count = 0, .own = {}};
	const char *at = strchr(text, '@');
	const char *end = text + strcspn(text, ":");
	if (at == nullptr || at > end ||
	    !take_field(text, at, values->dots, sizeof values->dots) ||
	    !take_field(at + 1, end, values->reference,
	    sizeof values->reference))
		return false;
	while (*end == ':' && values->count < max_own_values) {
		const char *start = end + 1;
		end = start + strcspn(start, ":");
		const char *equals = (const char *)memchr(start, '=', end - start);
		own_value *own = &values->own[values->count++];
		if (equals == nullptr ||
		    !take_field(start, equals, own->name, sizeof own->name) ||
		    !take_field(equals + 1, end, own->dots, sizeof own->dots))
			return false;
	}
	return *end == '\0';
}

bool same_values(const ppd_values *a, const ppd_values *b)
{
	bool same = strcmp(a->dots, b->dots) == 0 &&
	    strcmp(a->reference, b->reference) == 0 && a->count == b->count;
	for (int i = 0; same && i < a->count; i++)
		same = strcmp(a->own[i].name, b->own[i].name) == 0 &&
		    strcmp(a->own[i].dots, b->own[i].dots) == 0;
	return same;
}

bool find_paper(ppd_file_t *ppd, const char *name, paper *found)
{
	return ppd != nullptr && measured_paper(ppdPageSize(ppd, name), found);
}
