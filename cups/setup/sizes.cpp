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
#include "offset.h"

namespace {

bool take(const ppd_size_t *size, paper *found)
{
	if (size == nullptr || !(size->length > 0) ||
	    strcmp(size->name, "Custom") == 0)
		return false;
	// NOLINTNEXTLINE(cert-err33-c): libcups keeps names under 41 bytes.
	snprintf(found->name, sizeof found->name, "%s", size->name);
	found->length = size->length;
	return true;
}

// The PPD's size of the PWG media's dimensions, within a point.
bool media_paper(ppd_file_t *ppd, const char *media, paper *found)
{
	pwg_media_t *pwg = media != nullptr ? pwgMediaForPWG(media) : nullptr;
	if (pwg == nullptr)
		return false;
	double width = pwg->width * 72.0 / 2540, length = pwg->length * 72.0 / 2540;
	for (int i = 0; i < ppd->num_sizes; i++) {
		const ppd_size_t *size = &ppd->sizes[i];
		if (fabs(size->width - width) <= 1 && fabs(size->length - length) <= 1)
			return take(size, found);
	}
	return false;
}

bool default_size(ppd_file_t *ppd, paper *found)
{
	ppd_option_t *option = ppdFindOption(ppd, "PageSize");
	return option != nullptr && take(ppdPageSize(ppd, option->defchoice),
	    found);
}

}

bool default_paper(const char *path, const char *media, paper *found)
{
	ppd_file_t *ppd = ppdOpenFile(path);
	if (ppd == nullptr)
		return false;
	bool ok = media_paper(ppd, media, found) || default_size(ppd, found);
	ppdClose(ppd);
	return ok;
}

bool reference_paper(const char *path, paper *found)
{
	ppd_file_t *ppd = ppdOpenFile(path);
	if (ppd == nullptr)
		return false;
	ppd_attr_t *attr = ppdFindAttr(ppd, "MorvaneReferenceSize", nullptr);
	bool ok = (attr != nullptr && attr->value != nullptr &&
	    take(ppdPageSize(ppd, attr->value), found)) ||
	    default_size(ppd, found);
	ppdClose(ppd);
	return ok;
}

bool fits_every_size(const char *path, const char *text,
    const paper *reference)
{
	double dots = 0;
	ppd_file_t *ppd = ppdOpenFile(path);
	if (ppd == nullptr || !read_dots(text, &dots)) {
		if (ppd != nullptr)
			ppdClose(ppd);
		return true;
	}
	bool fits = true;
	for (int i = 0; fits && i < ppd->num_sizes; i++) {
		paper size;
		if (!take(&ppd->sizes[i], &size))
			continue;
		dots_range range = dots_on_sheet(size.length, reference != nullptr ?
		    reference->length : size.length);
		fits = dots > range.low && dots < range.high;
		if (!fits)
			report_error("the vertical dots \"%s\" put the page off the sheet "
			    "for the page size %s, %.9g points long: they must lie "
			    "between %.2f and %.2f", text, size.name,
			    (double)size.length, range.low, range.high);
	}
	ppdClose(ppd);
	return fits;
}

long neutral_dots(const paper *reference)
{
	return lround(300 * ((double)reference->length / 72 - vertical_margin));
}
