// SPDX-License-Identifier: MIT
// What both programs read of a PPD.
#include "ppd.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <strings.h>

#include "log.h"

void ppd_closer::operator()(ppd_file_t *ppd) const
{
	ppdClose(ppd);
}

ppd_handle ppd_at(const char *path)
{
	return ppd_handle(ppdOpenFile(path));
}

bool open_ppd(const char *path, ppd_handle *ppd)
{
	ppd->reset(ppdOpenFile(path));
	if (*ppd)
		return true;
	char why[buffer_size];
	ppd_failure(path, why);
	return report_error("%s", why);
}

void ppd_failure(const char *path, char why[buffer_size])
{
	int line = 0;
	ppd_status_t status = ppdLastError(&line);
	if (status == PPD_FILE_OPEN_ERROR)
		// NOLINTNEXTLINE(cert-err33-c): a message cut short still says it.
		snprintf(why, buffer_size, "cannot open the PPD file %s: %s", path,
		    strerror(errno));
	else
		// NOLINTNEXTLINE(cert-err33-c): as above.
		snprintf(why, buffer_size, "cannot read the PPD file %s: %s on "
		    "line %d", path, ppdErrorString(status), line);
}

// Every *MorvaneVerticalDots line, in the PPD's order: the value for every
// paper has no option keyword, a paper's own has the paper's name. The one
// place that walks them: ppdFindAttr with no option keyword finds the
// first line of any keyword, a paper's own value may come first, and a
// call of libcups in the walk could lose its place.
static int walk_dots(ppd_file_t *ppd, ppd_own_dots lines[], int max)
{
	int count = 0;
	for (ppd_attr_t *attr = ppdFindAttr(ppd, "MorvaneVerticalDots", nullptr);
	    attr != nullptr && count < max; attr = ppdFindNextAttr(ppd,
	    "MorvaneVerticalDots", nullptr))
		lines[count++] = ppd_own_dots{.name = attr->spec,
		    .value = attr->value != nullptr ? attr->value : ""};
	return count;
}

// A PPD holds this many lines of the vertical dots, at most, that count.
constexpr int max_dots_lines = 64;

namespace {

// The program that ends a filter line, "... cost [maxsize(n)] program",
// without its folder, added to programs.
void add_program(const char *line, char programs[buffer_size])
{
	const char *end = line + strlen(line);
	while (end > line && isspace((unsigned char)end[-1]))
		end--;
	const char *start = end;
	while (start > line && !isspace((unsigned char)start[-1]) &&
	    start[-1] != '/')
		start--;
	size_t used = strlen(programs);
	// NOLINTNEXTLINE(cert-err33-c): a name cut short is no program of ours.
	snprintf(programs + used, buffer_size - used, "%s%.*s",
	    used > 0 ? " " : "", (int)(end - start), start);
}

}

void ppd_chain_ends(ppd_file_t *ppd, const char *final,
    char programs[buffer_size])
{
	programs[0] = '\0';
	ppd_attr_t *a = ppdFindAttr(ppd, "cupsFilter2", nullptr);
	if (a == nullptr) {
		for (int i = 0; i < ppd->num_filters; i++)
			add_program(ppd->filters[i], programs);
		return;
	}
	size_t length = strlen(final);
	for (; a != nullptr && length > 0;
	    a = ppdFindNextAttr(ppd, "cupsFilter2", nullptr)) {
		if (a->value == nullptr)
			continue;
		// "source destination cost [maxsize(n)] program"
		const char *to = a->value + strcspn(a->value, " \t");
		to += strspn(to, " \t");
		if (strncasecmp(to, final, length) == 0 &&
		    (to[length] == ' ' || to[length] == '\t')) {
			add_program(a->value, programs);
			return;
		}
	}
}

bool ends_chain(const char *programs, const char *program)
{
	size_t length = strlen(program);
	for (const char *p = programs; *p != '\0'; p += strcspn(p, " ")) {
		p += strspn(p, " ");
		if (strncmp(p, program, length) == 0 &&
		    (p[length] == ' ' || p[length] == '\0'))
			return true;
	}
	return false;
}

const char *ppd_dots(ppd_file_t *ppd)
{
	ppd_own_dots lines[max_dots_lines];
	int count = walk_dots(ppd, lines, max_dots_lines);
	for (int i = 0; i < count; i++)
		if (lines[i].name[0] == '\0')
			return lines[i].value;
	return nullptr;
}

int ppd_papers_dots(ppd_file_t *ppd, ppd_own_dots own[], int max)
{
	ppd_own_dots lines[max_dots_lines];
	int count = walk_dots(ppd, lines, max_dots_lines), found = 0;
	for (int i = 0; i < count && found < max; i++)
		if (lines[i].name[0] != '\0')
			own[found++] = lines[i];
	return found;
}
