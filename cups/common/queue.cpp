// SPDX-License-Identifier: MIT
// Everything the filters ask of the PPD. A move to another PPD library
// stays here and in the common PPD helpers.
#include "queue.h"

#include <cstring>
#include <memory>

#include <strings.h>

#include <cups/cups.h>

#include "log.h"
#include "ppd.h"
#include "text.h"

namespace {

// cupsFreeOptions needs the count that cupsParseOptions returned.
struct options_free {
	int count;
	void operator()(cups_option_t *options) const
	{
		cupsFreeOptions(count, options);
	}
};
using options_handle = std::unique_ptr<cups_option_t, options_free>;

const char *option(const options_handle &options, const char *name)
{
	return cupsGetOption(name, options.get_deleter().count, options.get());
}

// The options that can ask for a page size, in the order CUPS reads them.
const char *const size_options[] = {"media", "PageSize", "PageRegion"};

// Logs the sizes that the job asked for and the PPD does not have.
void note_missing_size(const options_handle &options)
{
	for (const char *name : size_options) {
		const char *value = option(options, name);
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
			value = option(options, name);
	return value;
}

// The size that ppdPageSize found, checked.
bool take_size(ppd_file_t *ppd, const ppd_size_t *size, const char *asked,
    paper *found)
{
	*found = named_paper(size->name, size->width, size->length);
	return sheet_fits(ppd, *found, asked != nullptr ? asked : size->name);
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

// The PPD options that print on both sides, whichever names the PPD uses.
const char *const duplex_options[] = {"Duplex", "JCLDuplex", "EFDuplex",
    "EFDuplexing", "KD03Duplex", "ARDuplex"};
const char *const one_sided_choices[] = {"None", "False", "Off", "Simplex"};

// Whether a choice of a duplex option prints one side only.
bool one_sided(const char *choice)
{
	for (const char *one : one_sided_choices)
		if (strcasecmp(choice, one) == 0)
			return true;
	return false;
}

bool marked_two_sided(ppd_file_t *ppd)
{
	for (const char *name : duplex_options) {
		ppd_choice_t *choice = ppdFindMarkedChoice(ppd, name);
		if (choice != nullptr)
			return !one_sided(choice->choice);
	}
	return false;
}

// The choices of a duplex option that print the back of a sheet turned
// over its short edge.
const char *const short_edge_choices[] = {"DuplexTumble", "ShortEdge",
    "Bottom"};

// Whether the choice prints one side only, or turns the back over the
// short edge.
bool one_sided_or_short(const char *choice)
{
	if (one_sided(choice))
		return true;
	for (const char *tumble : short_edge_choices)
		if (strcasecmp(choice, tumble) == 0)
			return true;
	return false;
}

// The job's image shifts, from its options, which CUPS fills in from the
// queue's defaults.
bool read_shifts(const options_handle &options, image_shifts *shifts)
{
	const char *texts[image_shift_attributes];
	for (int i = 0; i < image_shift_attributes; i++)
		texts[i] = option(options, image_shift_names[i]);
	return read_image_shifts(texts, shifts);
}

// The facts that do not depend on the job's paper, with every option
// marked as CUPS's filters mark them: the defaults, and the job's options
// over them.
void read_facts(const queue_source *source, const options_handle &options,
    queue *q)
{
	ppd_file_t *ppd = source->ppd;
	q->raw_postscript = takes_raw_postscript(ppd);
	ppdMarkDefaults(ppd);
	cupsMarkOptions(ppd, options.get_deleter().count, options.get());
	q->plain_sends_size = plain_queue_sends_size(ppd);
	q->manual_copies = ppd->manual_copies != 0;
	ppd_chain_ends(ppd, source->final_type, q->chain_ends);
	ppd_attr_t *back = ppdFindAttr(ppd, "cupsBackSide", nullptr);
	// A value cut short is none that is known.
	copy_text(q->back_side, sizeof q->back_side,
	    back != nullptr && back->value != nullptr ? back->value : "");
}

}

bool read_queue(const queue_source *source, queue *q, marked_paper *job)
{
	ppd_file_t *ppd = source->ppd;
	cups_option_t *list = nullptr;
	int count = cupsParseOptions(source->options, 0, &list);
	options_handle options(list, options_free{count});
	job->known = false;

	// The job's options are marked before the PPD's defaults: a size that
	// they ask for and the PPD lacks then leaves no size marked, which
	// tells it apart from a request for the default size itself. The
	// default is marked after that, as CUPS's own filters would have it.
	cupsMarkOptions(ppd, count, list);
	ppd_size_t *size = ppdPageSize(ppd, nullptr);
	const char *asked = nullptr;
	if (size == nullptr) {
		note_missing_size(options);
		ppdMarkDefaults(ppd);
		size = ppdPageSize(ppd, nullptr);
	} else {
		asked = asked_size(options);
	}
	read_facts(source, options, q);
	// Only a job with image shifts asks which side a page is on.
	if (!read_shifts(options, &q->shifts))
		return false;
	q->two_sided = q->shifts.given && marked_two_sided(ppd);
	if (
	    (size != nullptr && !take_size(ppd, size, asked, &job->value)) ||
	    !read_calibration(ppd, option(options, "morvane-vertical-dots"),
	    &q->values))
		return false;
	if (!q->values.has_dots && q->shifts.given)
		take_neutral(&q->values);
	job->known = size != nullptr;
	return true;
}

bool ppd_paper(ppd_file_t *ppd, const char *name, paper *found,
    bool *missing)
{
	*missing = false;
	if (strcmp(name, "Custom") == 0)
		return report_error("the job sets the page size %s, which the PPD "
		    "does not have", name);
	ppd_size_t *size = ppdPageSize(ppd, name);
	*missing = size == nullptr;
	return size != nullptr && take_size(ppd, size, nullptr, found);
}

bool code_paper(const char *name, const float size[2], paper *found)
{
	*found = named_paper(name, size[0], size[1]);
	return sheet_fits(nullptr, *found, name);
}

// The custom size is left out: ppdPageSize sets it to what a name asks.
bool sheet_paper(ppd_file_t *ppd, const float size[2], paper *found)
{
	const paper sheet = paper_of_size(size);
	for (int i = 0; i < ppd->num_sizes; i++) {
		const ppd_size_t *own = &ppd->sizes[i];
		if (strcmp(own->name, "Custom") != 0 && same_paper(named_paper(
		    own->name, own->width, own->length), sheet))
			return take_size(ppd, own, nullptr, found);
	}
	*found = sheet;
	return sheet_fits(nullptr, sheet, sheet.name);
}

bool long_edge_choice(ppd_file_t *ppd, const char **name, const char **choice)
{
	for (const char *option_name : duplex_options) {
		ppd_option_t *found = ppdFindOption(ppd, option_name);
		for (int i = 0; found != nullptr && i < found->num_choices; i++)
			if (!one_sided_or_short(found->choices[i].choice)) {
				*name = found->keyword;
				*choice = found->choices[i].choice;
				return true;
			}
	}
	return false;
}
