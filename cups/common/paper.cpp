// SPDX-License-Identifier: MIT
// Everything the filter asks of the PPD. A move to another PPD library
// stays here and in the common PPD helpers.
#include "paper.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <strings.h>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "dots.h"
#include "folder.h"
#include "log.h"
#include "ppd.h"

namespace {

using ppd_handle = std::unique_ptr<ppd_file_t, decltype(&ppdClose)>;

// cupsFreeOptions needs the count that cupsParseOptions returned.
struct options_free {
	int count;
	void operator()(cups_option_t *options) const
	{
		cupsFreeOptions(count, options);
	}
};
using options_handle = std::unique_ptr<cups_option_t, options_free>;

bool open_failed(const char *path)
{
	char why[buffer_size];
	ppd_failure(path, why);
	return report_error("%s", why);
}

// The options that can ask for a page size, in the order CUPS reads them.
const char *const size_options[] = {"media", "PageSize", "PageRegion"};

// Logs the sizes that the job asked for and the PPD does not have.
void note_missing_size(const options_handle &options)
{
	for (const char *name : size_options) {
		const char *value = cupsGetOption(name, options.get_deleter().count,
		    options.get());
		if (value != nullptr)
			debug("the PPD has no page size for %s=%s, so the "
			    "default applies", name, value);
	}
}

// The size as the job's options name it, for the log, or null.
const char *asked_size(const options_handle &options)
{
	const char *value = nullptr;
	for (const char *name : size_options)
		if (value == nullptr)
			value = cupsGetOption(name, options.get_deleter().count,
			    options.get());
	return value;
}

// Reads a value's text, from source. Returns false after the error line.
bool take_value(const char *text, const char *source, dots_value *value)
{
	// NOLINTNEXTLINE(cert-err33-c): every source's name is shorter.
	snprintf(value->source, sizeof value->source, "%s", source);
	if (!read_dots(text, &value->dots) ||
	    snprintf(value->text, buffer_size, "%s", text) >= buffer_size)
		return report_error("%s \"%.80s\" is not a number", value->source,
		    text);
	return true;
}

// The papers' own values: *MorvaneVerticalDots NAME of a size of the PPD.
bool read_own_values(ppd_file_t *ppd, page_setup *setup)
{
	ppd_own_dots lines[max_size_dots];
	int count = ppd_papers_dots(ppd, lines, max_size_dots);
	setup->own_count = 0;
	for (int i = 0; i < count; i++) {
		ppd_size_t *size = ppdPageSize(ppd, lines[i].name);
		if (size == nullptr)
			continue;
		size_dots *own = &setup->own[setup->own_count++];
		// NOLINTNEXTLINE(cert-err33-c): libcups keeps names under 41 bytes.
		snprintf(own->name, sizeof own->name, "%s", size->name);
		own->width = size->width;
		own->length = size->length;
		char source[80];
		// NOLINTNEXTLINE(cert-err33-c): as above.
		snprintf(source, sizeof source, "the PPD's *MorvaneVerticalDots %s",
		    size->name);
		if (!take_value(lines[i].value, source, &own->value))
			return false;
	}
	return true;
}

// The vertical dots for every paper, from where they win: the job's
// option or the PPD; and the papers' own values.
bool read_vertical_dots(ppd_file_t *ppd, const options_handle &options,
    page_setup *setup)
{
	const char *option = cupsGetOption("morvane-vertical-dots",
	    options.get_deleter().count, options.get());
	const char *attribute = ppd_dots(ppd);
	dots_source source = dots_in_effect(option, attribute);
	setup->has_dots = source != dots_from_nowhere;
	if (!setup->has_dots)
		return true;
	return take_value(source == dots_from_option ? option : attribute,
	    source == dots_from_option ? "the job's option morvane-vertical-dots "
	    "(or the queue's morvane-vertical-dots-default)" :
	    "the PPD's *MorvaneVerticalDots", &setup->value) &&
	    read_own_values(ppd, setup);
}

// The length of the paper that the value was measured on, its reference:
// the size that morvane-setup wrote beside it, or else the PPD's default.
void read_reference(ppd_file_t *ppd, page_setup *setup)
{
	ppd_attr_t *attr = ppdFindAttr(ppd, "MorvaneReferenceSize", nullptr);
	ppd_option_t *option = ppdFindOption(ppd, "PageSize");
	const char *name = attr != nullptr && attr->value != nullptr ?
	    attr->value : option != nullptr ? option->defchoice : "";
	ppd_size_t *size = name[0] != '\0' ? ppdPageSize(ppd, name) : nullptr;
	setup->has_reference = size != nullptr && size->length > 0 &&
	    size->length <= largest_page;
	setup->reference = setup->has_reference ? size->length : 0;
}

// A number from the PPD attribute name, or fallback where it has none.
float attribute_number(ppd_file_t *ppd, const char *name, float fallback)
{
	ppd_attr_t *attr = ppdFindAttr(ppd, name, nullptr);
	return attr != nullptr && attr->value != nullptr ?
	    strtof(attr->value, nullptr) : fallback;
}

// A sheet's sides must be finite and positive: a custom size within the
// PPD's range for custom sizes, any other (or any without a PPD) at most
// largest_page. The test is written so that NaN fails it.
bool check_size(ppd_file_t *ppd, const char *asked, page_setup *setup)
{
	float low[2] = {0, 0};
	float high[2] = {largest_page, largest_page};
	bool custom = ppd != nullptr && strcmp(setup->size_name, "Custom") == 0;
	if (custom) {
		const char *names[] = {"MaxMediaWidth", "MaxMediaHeight"};
		for (int i = 0; i < 2; i++) {
			low[i] = ppd->custom_min[i];
			high[i] = std::fmin(ppd->custom_max[i],
			    attribute_number(ppd, names[i], ppd->custom_max[i]));
		}
	}
	float size[2] = {setup->width, setup->length};
	bool fits = true;
	for (int i = 0; i < 2; i++)
		fits = fits && size[i] > 0 && size[i] >= low[i] && size[i] <= high[i];
	if (fits)
		return true;
	if (custom)
		return report_error("the custom page size %s, %.9g by %.9g points, "
		    "is outside the PPD's custom sizes, %.9g to %.9g by %.9g to "
		    "%.9g points", asked, (double)size[0], (double)size[1],
		    (double)low[0], (double)high[0], (double)low[1], (double)high[1]);
	return report_error("the page size %s, %.9g by %.9g points, is not one "
	    "that a sheet can have: each side must be more than 0 and at most "
	    "%.9g points", asked, (double)size[0], (double)size[1],
	    (double)largest_page);
}

// Copies the size that ppdPageSize found into setup, and checks it.
bool take_size(ppd_file_t *ppd, const ppd_size_t *size, const char *asked,
    page_setup *setup)
{
	setup->has_size = size != nullptr;
	if (size == nullptr)
		return true;
	// NOLINTNEXTLINE(cert-err33-c): libcups keeps names under 41 bytes.
	snprintf(setup->size_name, buffer_size, "%s", size->name);
	setup->width = size->width;
	setup->length = size->length;
	return check_size(ppd, asked != nullptr ? asked : size->name, setup);
}

// Whether a filter line of the PPD's, as libcups keeps it, runs the filter.
bool runs_morvane(const char *line)
{
	const char program[] = " morvane-filter";
	size_t length = strlen(line);
	return length >= sizeof program - 1 &&
	    strcmp(line + length - (sizeof program - 1), program) == 0;
}

// A *cupsFilter line that gives the filter application/postscript, as the
// lines of morvane 1.3.0 did, hands it jobs that CUPS has not prepared.
bool takes_raw_postscript(const ppd_file_t *ppd)
{
	const char type[] = "application/postscript ";
	for (int i = 0; i < ppd->num_filters; i++)
		if (strncmp(ppd->filters[i], type, sizeof type - 1) == 0 &&
		    runs_morvane(ppd->filters[i]))
			return true;
	return false;
}

// The PPD's own *cupsFilter and *cupsFilter2 lines, morvane's left out:
// those of CUPS's own queue of the printer.
int own_filters(const ppd_file_t *ppd)
{
	int count = 0;
	for (int i = 0; i < ppd->num_filters; i++)
		count += !runs_morvane(ppd->filters[i]);
	return count;
}

// Whether CUPS sends the code of the size to CUPS's own queue of the
// printer, whose PPD lacks morvane's lines. When the job's tray (or manual
// feed) has code of its own, libcups leaves the size's code out unless
// *RequiresPageRegion asks for it, or, where that says nothing, the PPD
// has filter lines: so for the filter's queue of a PPD without filters of
// its own, which has morvane's *cupsFilter line, CUPS puts in code that
// its own queue lacks. This is libcups's rule, written out: asking libcups
// to write the code instead crashes it on a PPD whose custom size has no
// parameters.
bool plain_queue_sends_size(ppd_file_t *ppd)
{
	ppd_size_t *size = ppdPageSize(ppd, nullptr);
	if (size == nullptr)
		return false;
	ppd_choice_t *manual = ppdFindMarkedChoice(ppd, "ManualFeed");
	ppd_choice_t *slot = ppdFindMarkedChoice(ppd, "InputSlot");
	ppd_attr_t *region = slot != nullptr ?
	    ppdFindAttr(ppd, "RequiresPageRegion", slot->choice) : nullptr;
	if (region == nullptr)
		region = ppdFindAttr(ppd, "RequiresPageRegion", "All");
	return strcasecmp(size->name, "Custom") == 0 ||
	    (manual == nullptr && slot == nullptr) ||
	    (manual != nullptr && strcasecmp(manual->choice, "False") == 0 &&
	    (slot == nullptr || (slot->code != nullptr && slot->code[0] == '\0'))) ||
	    (region != nullptr && region->value != nullptr &&
	    strcasecmp(region->value, "True") == 0) ||
	    (region == nullptr && own_filters(ppd) > 0);
}

}

bool read_page_setup(const char *path, const char *options_text,
    page_setup *setup)
{
	setup->has_size = false;
	ppd_handle ppd(ppdOpenFile(path), ppdClose);
	if (!ppd)
		return open_failed(path);
	cups_option_t *list = nullptr;
	int count = cupsParseOptions(options_text, 0, &list);
	options_handle options(list, options_free{count});

	// The job's options are marked before the PPD's defaults: a size that
	// they ask for and the PPD lacks then leaves no size marked, which
	// tells it apart from a request for the default size itself. The
	// default is marked after that, as CUPS's own filters would have it.
	cupsMarkOptions(ppd.get(), count, list);
	ppd_size_t *size = ppdPageSize(ppd.get(), nullptr);
	const char *asked = nullptr;
	if (size == nullptr) {
		note_missing_size(options);
		ppdMarkDefaults(ppd.get());
		size = ppdPageSize(ppd.get(), nullptr);
	} else {
		asked = asked_size(options);
	}
	setup->raw_postscript = takes_raw_postscript(ppd.get());
	// What CUPS writes depends on every option, as CUPS's filters mark
	// them: the defaults, and the job's options over them.
	ppdMarkDefaults(ppd.get());
	cupsMarkOptions(ppd.get(), count, list);
	setup->plain_sends_size = plain_queue_sends_size(ppd.get());
	read_reference(ppd.get(), setup);
	setup->manual_copies = ppd->manual_copies != 0;
	ppd_chain_ends(ppd.get(), setting("FINAL_CONTENT_TYPE", ""),
	    setup->chain_ends);
	ppd_attr_t *back = ppdFindAttr(ppd.get(), "cupsBackSide", nullptr);
	// NOLINTNEXTLINE(cert-err33-c): a longer value is none that is known.
	snprintf(setup->back_side, sizeof setup->back_side, "%s",
	    back != nullptr && back->value != nullptr ? back->value : "");
	if (take_size(ppd.get(), size, asked, setup) &&
	    read_vertical_dots(ppd.get(), options, setup))
		return true;
	setup->has_size = false;
	return false;
}

const dots_value *value_in_effect(const page_setup *setup, float *reference)
{
	for (int i = 0; i < setup->own_count; i++) {
		const size_dots *own = &setup->own[i];
		if (strcmp(own->name, setup->size_name) == 0 ||
		    same_paper(own->width, own->length, setup->width,
		    setup->length)) {
			*reference = setup->length;
			return &own->value;
		}
	}
	*reference = setup->has_reference ? setup->reference : setup->length;
	return &setup->value;
}

bool dots_fit(const page_setup *setup)
{
	float reference = 0;
	const dots_value *value = value_in_effect(setup, &reference);
	dots_range range = dots_on_sheet(setup->length, reference);
	if (value->dots > range.low && value->dots < range.high)
		return true;
	return report_error("%s \"%s\" puts the page off the sheet for the page "
	    "size %s, %.9g points long: it must lie between %.2f and %.2f",
	    value->source, value->text, setup->size_name, (double)setup->length,
	    range.low, range.high);
}

bool read_named_size(const char *path, const char *name, page_setup *setup,
    bool *missing)
{
	*missing = false;
	ppd_handle ppd(ppdOpenFile(path), ppdClose);
	if (!ppd)
		return open_failed(path);
	ppd_size_t *size = ppdPageSize(ppd.get(), name);
	if (strcmp(name, "Custom") == 0)
		return report_error("the job sets the page size %s, which the PPD "
		    "does not have", name);
	*missing = size == nullptr;
	return size != nullptr && take_size(ppd.get(), size, nullptr, setup);
}

bool take_code_size(const char *name, const float size[2], page_setup *setup)
{
	// NOLINTNEXTLINE(cert-err33-c): the name was cut to fit before.
	snprintf(setup->size_name, buffer_size, "%s", name);
	setup->has_size = true;
	setup->width = size[0];
	setup->length = size[1];
	return check_size(nullptr, name, setup);
}

bool same_paper(float width, float length, float other_width,
    float other_length)
{
	return fabsf(width - other_width) <= 1 &&
	    fabsf(length - other_length) <= 1;
}

bool take_sheet_size(const char *path, const float size[2],
    page_setup *setup)
{
	ppd_handle ppd(ppdOpenFile(path), ppdClose);
	if (!ppd)
		return open_failed(path);
	for (int i = 0; i < ppd->num_sizes; i++) {
		const ppd_size_t *own = &ppd->sizes[i];
		if (same_paper(own->width, own->length, size[0], size[1]))
			return take_size(ppd.get(), own, nullptr, setup);
	}
	char name[64];
	// NOLINTNEXTLINE(cert-err33-c): two floats fit.
	snprintf(name, sizeof name, "%gx%g", (double)size[0], (double)size[1]);
	return take_code_size(name, size, setup);
}
