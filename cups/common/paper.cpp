// SPDX-License-Identifier: MIT
// Papers.
#include "paper.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"
#include "text.h"

bool same_paper(const paper &a, const paper &b)
{
	return fabsf(a.width - b.width) <= 1 && fabsf(a.length - b.length) <= 1;
}

paper paper_of_size(const float size[2])
{
	paper p = {.name = "", .width = size[0], .length = size[1]};
	// NOLINTNEXTLINE(cert-err33-c): two floats fit.
	snprintf(p.name, sizeof p.name, "%gx%g", (double)size[0],
	    (double)size[1]);
	return p;
}

paper named_paper(const char *name, float width, float length)
{
	paper p = {.name = "", .width = width, .length = length};
	copy_text(p.name, sizeof p.name, name);
	return p;
}

// A number from the PPD attribute name, or fallback where it has none.
static float attribute_number(ppd_file_t *ppd, const char *name,
    float fallback)
{
	ppd_attr_t *attr = ppdFindAttr(ppd, name, nullptr);
	return attr != nullptr && attr->value != nullptr ?
	    strtof(attr->value, nullptr) : fallback;
}

// The test is written so that NaN fails it.
bool sheet_fits(ppd_file_t *ppd, const paper &p, const char *asked)
{
	float low[2] = {0, 0};
	float high[2] = {largest_page, largest_page};
	bool custom = ppd != nullptr && strcmp(p.name, "Custom") == 0;
	if (custom) {
		const char *names[] = {"MaxMediaWidth", "MaxMediaHeight"};
		for (int i = 0; i < 2; i++) {
			low[i] = ppd->custom_min[i];
			high[i] = std::fmin(ppd->custom_max[i],
			    attribute_number(ppd, names[i], ppd->custom_max[i]));
		}
	}
	const float size[2] = {p.width, p.length};
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
