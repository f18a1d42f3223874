// SPDX-License-Identifier: MIT
// Everything the filter asks of the PPD, and the only code that calls the
// PPD functions of libcups. CUPS 2.x marks them deprecated but still ships
// them, so their warnings are silenced for this file alone, and a move to
// another PPD library stays here.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "filter.h"

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
	int line = 0;
	ppd_status_t status = ppdLastError(&line);
	if (status == PPD_FILE_OPEN_ERROR)
		return report_error("cannot open the PPD file %s: %s", path,
		    strerror(errno));
	return report_error("cannot read the PPD file %s: %s on line %d", path,
	    ppdErrorString(status), line);
}

// Logs the sizes that the job asked for and the PPD does not have.
void note_missing_size(const options_handle &options)
{
	const char *names[] = {"media", "PageSize", "PageRegion"};
	for (const char *name : names) {
		const char *value = cupsGetOption(name, options.get_deleter().count,
		    options.get());
		if (value != nullptr)
			debug("the PPD has no page size for %s=%s, so the "
			    "default applies", name, value);
	}
}

// The attribute's text must be a finite number and nothing else: morvane
// would read anything else as 0, which moves the page off the sheet.
bool read_vertical_dots(ppd_file_t *ppd, page_setup *setup)
{
	ppd_attr_t *attr = ppdFindAttr(ppd, "MorvaneVerticalDots", nullptr);
	setup->has_dots = attr != nullptr;
	if (attr == nullptr)
		return true;
	const char *text = attr->value != nullptr ? attr->value : "";
	char *end = nullptr;
	double dots = strtod(text, &end);
	while (*end == ' ' || *end == '\t')
		end++;
	if (end == text || *end != '\0' || !std::isfinite(dots) ||
	    snprintf(setup->vertical_dots, buffer_size, "%s", text) >=
	    buffer_size)
		return report_error("the PPD's *MorvaneVerticalDots \"%.80s\" is "
		    "not a number", text);
	return true;
}

}

bool read_page_setup(const char *path, const char *options_text,
    page_setup *setup)
{
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
	if (size == nullptr) {
		note_missing_size(options);
		ppdMarkDefaults(ppd.get());
		size = ppdPageSize(ppd.get(), nullptr);
	}
	setup->has_size = size != nullptr;
	if (size != nullptr) {
		// NOLINTNEXTLINE(cert-err33-c): libcups keeps names under 41 bytes.
		snprintf(setup->size_name, buffer_size, "%s", size->name);
		setup->width = size->width;
		setup->length = size->length;
	}
	return read_vertical_dots(ppd.get(), setup);
}
