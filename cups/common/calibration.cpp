// SPDX-License-Identifier: MIT
// The values of morvane's lines of a PPD.
#include "calibration.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "dots.h"
#include "log.h"
#include "offset.h"
#include "ppd.h"
#include "text.h"

// Reads a value's text, from source. Returns false after the error line.
static bool take_value(const char *text, const char *source,
    dots_value *value)
{
	copy_text(value->source, sizeof value->source, source);
	if (!read_dots(text, &value->dots) || strlen(text) >= buffer_size)
		return report_error("%s \"%.80s\" is not a number", value->source,
		    text);
	copy_text(value->text, sizeof value->text, text);
	return true;
}

// The papers' own values: *MorvaneVerticalDots NAME of a size of the PPD.
static bool read_own_values(ppd_file_t *ppd, calibration *c)
{
	ppd_own_dots lines[max_own_dots];
	int count = ppd_papers_dots(ppd, lines, max_own_dots);
	c->own_count = 0;
	for (int i = 0; i < count; i++) {
		ppd_size_t *size = ppdPageSize(ppd, lines[i].name);
		if (size == nullptr)
			continue;
		own_dots *own = &c->own[c->own_count++];
		own->for_paper = named_paper(size->name, size->width, size->length);
		char source[80] = "the PPD's *MorvaneVerticalDots ";
		size_t used = strlen(source);
		copy_text(source + used, sizeof source - used, size->name);
		if (!take_value(lines[i].value, source, &own->value))
			return false;
	}
	return true;
}

// The reference, as the filters take it: a paper that a sheet can have.
static void read_reference(ppd_file_t *ppd, calibration *c)
{
	paper found;
	c->has_reference = reference_paper(ppd, &found) &&
	    found.length <= largest_page;
	c->reference = c->has_reference ? found.length : 0;
}

bool read_calibration(ppd_file_t *ppd, const char *option, calibration *c)
{
	const char *attribute = ppd_dots(ppd);
	dots_source source = dots_in_effect(option, attribute);
	read_reference(ppd, c);
	c->own_count = 0;
	c->has_dots = source != dots_from_nowhere;
	if (!c->has_dots)
		return true;
	return take_value(source == dots_from_option ? option : attribute,
	    source == dots_from_option ? "the job's option morvane-vertical-dots "
	    "(or the queue's morvane-vertical-dots-default)" :
	    "the PPD's *MorvaneVerticalDots", &c->value) &&
	    read_own_values(ppd, c);
}

bool measured_paper(const ppd_size_t *size, paper *found)
{
	if (size == nullptr || !(size->length > 0) ||
	    strcmp(size->name, "Custom") == 0)
		return false;
	*found = named_paper(size->name, size->width, size->length);
	return true;
}

bool default_size(ppd_file_t *ppd, paper *found)
{
	ppd_option_t *option = ppdFindOption(ppd, "PageSize");
	return option != nullptr &&
	    measured_paper(ppdPageSize(ppd, option->defchoice), found);
}

bool reference_paper(ppd_file_t *ppd, paper *found)
{
	if (ppd == nullptr)
		return false;
	ppd_attr_t *attr = ppdFindAttr(ppd, "MorvaneReferenceSize", nullptr);
	return (attr != nullptr && attr->value != nullptr &&
	    measured_paper(ppdPageSize(ppd, attr->value), found)) ||
	    default_size(ppd, found);
}

const dots_value *value_in_effect(const calibration *c, const paper &p,
    float *reference)
{
	for (int i = 0; i < c->own_count; i++) {
		const own_dots *own = &c->own[i];
		if (strcmp(own->for_paper.name, p.name) == 0 ||
		    same_paper(own->for_paper, p)) {
			*reference = p.length;
			return &own->value;
		}
	}
	*reference = c->has_reference ? c->reference : p.length;
	return &c->value;
}

bool dots_fit(const calibration *c, const paper &p)
{
	float reference = 0;
	const dots_value *value = value_in_effect(c, p, &reference);
	dots_range range = dots_on_sheet(p.length, reference);
	if (value->dots > range.low && value->dots < range.high)
		return true;
	return report_error("%s \"%s\" puts the page off the sheet for the page "
	    "size %s, %.9g points long: it must lie between %.2f and %.2f",
	    value->source, value->text, p.name, (double)p.length, range.low,
	    range.high);
}

long neutral_dots(float length)
{
	return lround(dots_per_inch * ((double)length / 72 - vertical_margin));
}

void take_neutral(calibration *c)
{
	// The value moves with the paper, so any reference serves.
	const float reference = 792;
	c->has_dots = true;
	c->has_reference = true;
	c->reference = reference;
	c->own_count = 0;
	c->value.dots = dots_per_inch * ((double)reference / 72 - vertical_margin);
	// NOLINTNEXTLINE(cert-err33-c): a number fits.
	snprintf(c->value.text, sizeof c->value.text, "%.17g", c->value.dots);
	copy_text(c->value.source, sizeof c->value.source, "the neutral value");
}
