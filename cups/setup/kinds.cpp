// SPDX-License-Identifier: MIT
// The table of printer kinds.
#include "kinds.h"

namespace {

bool has_no_filters(const ppd_filters *filters)
{
	return filters->count == 0;
}

bool has_postscript_filter(const ppd_filters *filters)
{
	return filters->program[0] != '\0';
}

bool takes_pdf_direct(const ppd_filters *filters)
{
	return filters->pdf_direct;
}

bool any(const ppd_filters *)
{
	return true;
}

const printer_kind kinds[] = {
	// CUPS's PostScript goes to the printer: the filter runs last.
	{.shape = shape_no_filters, .recognised = has_no_filters,
	    .keyword = "cupsFilter", .refusal = nullptr, .last = true,
	    .takes_out_pdf = false},
	// A filter of the PPD's takes CUPS's PostScript: the filter runs
	// before it, as a pre-filter.
	{.shape = shape_own_filter, .recognised = has_postscript_filter,
	    .keyword = "cupsPreFilter", .refusal = nullptr, .last = false,
	    .takes_out_pdf = true},
	{.shape = shape_pdf_direct, .recognised = takes_pdf_direct,
	    .keyword = "cupsPreFilter", .refusal = "%s: the printer takes PDF "
	    "straight from CUPS, so its jobs never become PostScript that "
	    "morvane-filter can shift: use the printer's PostScript PPD",
	    .last = false, .takes_out_pdf = false},
	{.shape = shape_no_postscript, .recognised = any,
	    .keyword = "cupsPreFilter",
	    .refusal = "%s: CUPS sends the printer no PostScript for "
	    "morvane-filter to shift: its filters take only %s", .last = false,
	    .takes_out_pdf = false},
};

}

const printer_kind *kind_of(const ppd_filters *filters)
{
	for (const printer_kind &kind : kinds)
		if (kind.recognised(filters))
			return &kind;
	return &kinds[sizeof kinds / sizeof kinds[0] - 1];
}
