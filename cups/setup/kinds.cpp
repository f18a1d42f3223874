// SPDX-License-Identifier: MIT
// The table of printer kinds.
#include "kinds.h"

#include <cstring>

namespace {

bool is_fax(const ppd_filters *filters)
{
	return filters->fax;
}

bool has_no_filters(const ppd_filters *filters)
{
	return filters->count == 0;
}

bool has_postscript_filter(const ppd_filters *filters)
{
	return filters->program[0] != '\0';
}

bool direct_type(const ppd_filters *filters, const char *const types[],
    int count)
{
	for (int i = 0; filters->has_direct && i < count; i++)
		if (strcmp(filters->direct.type, types[i]) == 0)
			return true;
	return false;
}

bool takes_pdf_direct(const ppd_filters *filters)
{
	const char *const types[] = {"application/vnd.cups-pdf",
	    "application/pdf"};
	return direct_type(filters, types, 2);
}

bool takes_raster_direct(const ppd_filters *filters)
{
	const char *const types[] = {"image/urf", "image/pwg-raster"};
	return direct_type(filters, types, 2);
}

bool has_raster_driver(const ppd_filters *filters)
{
	return filters->raster_program[0] != '\0';
}

bool takes_pclm(const ppd_filters *filters)
{
	return filters->pclm;
}

bool any(const ppd_filters *)
{
	return true;
}

const printer_kind kinds[] = {
	{.shape = shape_fax, .recognised = is_fax, .program = nullptr,
	    .keyword = nullptr, .type = nullptr, .refusal = "%s: a fax queue "
	    "sends no sheet that a shift could set right: set up the printer's "
	    "own print queue", .last = false, .before = nullptr,
	    .takes_out = take_out_none},
	// CUPS's PostScript goes to the printer: the filter runs last.
	{.shape = shape_no_filters, .recognised = has_no_filters,
	    .program = "morvane-filter", .keyword = "cupsFilter",
	    .type = "application/vnd.cups-postscript 0", .refusal = nullptr,
	    .last = true, .before = nullptr, .takes_out = take_out_none},
	// A filter of the PPD's takes CUPS's PostScript: the filter runs
	// before it, as a pre-filter.
	{.shape = shape_own_filter, .recognised = has_postscript_filter,
	    .program = "morvane-filter", .keyword = "cupsPreFilter",
	    .type = "application/vnd.cups-postscript 0", .refusal = nullptr,
	    .last = false, .before = &ppd_filters::program,
	    .takes_out = take_out_pdf},
	// The printer takes PDF as CUPS makes it (IPP Everywhere, a PDF
	// PPD): morvane-pdf moves the pages of every job, turned into PDF.
	{.shape = shape_pdf_direct, .recognised = takes_pdf_direct,
	    .program = "morvane-pdf", .keyword = nullptr, .type = nullptr,
	    .refusal = nullptr, .last = true, .before = nullptr,
	    .takes_out = take_out_others},
	// The printer takes PWG or Apple raster (IPP Everywhere, AirPrint).
	{.shape = shape_raster_direct, .recognised = takes_raster_direct,
	    .program = "morvane-raster", .keyword = nullptr, .type = nullptr,
	    .refusal = nullptr, .last = true, .before = nullptr,
	    .takes_out = take_out_others},
	// A driver takes CUPS's raster: morvane-raster moves it first.
	{.shape = shape_raster_driver, .recognised = has_raster_driver,
	    .program = "morvane-raster", .keyword = "cupsPreFilter",
	    .type = "application/vnd.cups-raster 0", .refusal = nullptr,
	    .last = false, .before = &ppd_filters::raster_program,
	    .takes_out = take_out_others},
	{.shape = shape_pclm, .recognised = takes_pclm, .program = nullptr,
	    .keyword = nullptr, .type = nullptr, .refusal = "%s: the printer "
	    "takes only %s, which no filter of morvane's moves: use a PPD of "
	    "the printer's for PostScript, PDF or raster", .last = false,
	    .before = nullptr, .takes_out = take_out_none},
	{.shape = shape_no_postscript, .recognised = any, .program = nullptr,
	    .keyword = nullptr, .type = nullptr, .refusal = "%s: CUPS sends the "
	    "printer nothing that a filter of morvane's moves: its filters "
	    "take only %s", .last = false, .before = nullptr,
	    .takes_out = take_out_none},
};

}

const printer_kind *kind_of(const ppd_filters *filters)
{
	for (const printer_kind &kind : kinds)
		if (kind.recognised(filters))
			return &kind;
	return &kinds[sizeof kinds / sizeof kinds[0] - 1];
}
