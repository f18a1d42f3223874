// SPDX-License-Identifier: MIT
// The values that morvane-setup writes into a PPD.
#include "values.h"

#include <cstdio>
#include <cstring>

#include "chain.h"
#include "kinds.h"
#include "log.h"
#include "ppd.h"
#include "text.h"

namespace {

// Reads the filter lines of the PPD at from, and refuses what cannot be
// adapted: name is the PPD's, for the messages.
bool read_ppd(FILE *in, const char *name, const char *dots,
    ppd_filters *filters)
{
	read_filters(in, filters);
	if (ferror(in) || fseek(in, 0, SEEK_SET) != 0)
		return report_error("cannot read the PPD file %s:", name);
	if (filters->unclosed)
		return report_error("cannot read the PPD file %s: a quoted value "
		    "runs to its end", name);
	if (filters->zero)
		return report_error("cannot read the PPD file %s: it holds a zero "
		    "byte", name);
	const printer_kind *kind = kind_of(filters);
	if (dots != nullptr && kind->refusal != nullptr)
		// NOLINTNEXTLINE(clang-diagnostic-format-nonliteral): the table's.
		return report_error(kind->refusal, name, filters->types);
	return true;
}

// The values that the PPD gets for a value of one paper's own: the PPD's
// value for every paper as it was, and the papers' own, that one's new.
bool choose_own_value(const adaptation *a, ppd_file_t *ppd, paper *reference,
    ppd_values *had, morvane_values *values)
{
	if (had->dots[0] == '\0')
		return report_error("%s has no vertical dots for every paper, which "
		    "the others get: set them first", a->name);
	if (!find_paper(ppd, a->size, reference))
		return report_error("%s has no page size %s", a->name, a->size);
	int i = 0;
	while (i < had->count && strcmp(had->own[i].name, reference->name) != 0)
		i++;
	if (i == max_own_values)
		return report_error("%s has values of their own for %d papers "
		    "already", a->name, max_own_values);
	had->count += i == had->count;
	copy_text(had->own[i].name, sizeof had->own[i].name, reference->name);
	copy_text(had->own[i].dots, sizeof had->own[i].dots, a->dots);
	*values = morvane_values{.dots = had->dots, .reference =
	    had->reference[0] != '\0' ? had->reference : nullptr,
	    .count = had->count, .own = had->own};
	return fits_paper(a->dots, reference);
}

// The values that the PPD gets: the value, the paper that it is measured
// on, where the PPD has one, in reference (else its name is empty), and
// the papers' own values that the PPD had. Refuses a value that would put
// the page off one of the PPD's sizes.
bool choose_values(const adaptation *a, ppd_file_t *ppd, paper *reference,
    ppd_values *had, morvane_values *values)
{
	read_values(ppd, had);
	if (a->size != nullptr)
		return choose_own_value(a, ppd, reference, had, values);
	if (a->restore != nullptr) {
		*had = *a->restore;
		*values = morvane_values{.dots = had->dots, .reference =
		    had->reference, .count = had->count, .own = had->own};
		if (!find_paper(ppd, had->reference, reference))
			return report_error("%s has no page size %s, which its "
			    "calibration was measured on", a->name, had->reference);
		return fits_every_size(ppd, had->dots, reference);
	}
	bool measured = default_paper(ppd, a->media, reference);
	if (!measured)
		reference->name[0] = '\0';
	*values = morvane_values{.dots = a->dots,
	    .reference = measured ? reference->name : nullptr,
	    .count = had->count, .own = had->own};
	return fits_every_size(ppd, a->dots, measured ? reference : nullptr);
}

}

bool adapt(const work *w, const adaptation *a, ppd_filters *filters,
    paper *reference)
{
	ppd_handle opened;
	ppd_file_t *ppd = a->ppd;
	if (ppd == nullptr && !open_ppd(a->from, &opened))
		return false;
	if (ppd == nullptr)
		ppd = opened.get();
	char plain[buffer_size];
	const char *text = plain_ppd(w, a->from, a->name, plain);
	if (text == nullptr)
		return false;
	FILE *in = fopen(text, "rb");
	if (in == nullptr)
		return report_error("cannot open the PPD file %s:", a->name);
	morvane_values values;
	ppd_values had;
	reference->name[0] = '\0';
	bool ok = read_ppd(in, a->name, a->dots, filters) &&
	    (a->dots == nullptr || choose_values(a, ppd, reference, &had, &values));
	FILE *out = ok ? fopen(w->adapted, "wb") : nullptr;
	if (ok && out == nullptr)
		ok = report_error("cannot make %s:", w->adapted);
	if (ok && (!write_adapted(in, out, filters, a->dots != nullptr ?
	    &values : nullptr) || fflush(out) != 0))
		ok = report_error("cannot write %s:", w->adapted);
	if (out != nullptr && fclose(out) != 0 && ok)
		ok = report_error("cannot write %s:", w->adapted);
	(void)fclose(in);
	return ok && (a->dots == nullptr ||
	    check_chains(w, a->name, kind_of(filters), filters));
}

bool dots_to_write(const char *typed, char stored[dots_text_size],
    const char **dots)
{
	*dots = nullptr;
	if (typed != nullptr && !canonical_dots(typed, stored))
		return false;
	if (typed != nullptr)
		*dots = stored;
	return true;
}
