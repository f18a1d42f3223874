// SPDX-License-Identifier: MIT
// What both programs read of a PPD.
#include "ppd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool ppd_readable(const char *path, char why[buffer_size])
{
	ppd_file_t *ppd = ppdOpenFile(path);
	if (ppd == nullptr) {
		ppd_failure(path, why);
		return false;
	}
	ppdClose(ppd);
	return true;
}

const char *ppd_dots(ppd_file_t *ppd)
{
	// ppdFindAttr with no option keyword finds the first line of any
	// keyword: a size's own value may come before the value for every
	// paper.
	for (ppd_attr_t *attr = ppdFindAttr(ppd, "MorvaneVerticalDots", nullptr);
	    attr != nullptr; attr = ppdFindNextAttr(ppd, "MorvaneVerticalDots",
	    nullptr))
		if (attr->spec[0] == '\0')
			return attr->value != nullptr ? attr->value : "";
	return nullptr;
}

bool ppd_dots_at(const char *path, char text[buffer_size])
{
	ppd_file_t *ppd = ppdOpenFile(path);
	const char *value = ppd != nullptr ? ppd_dots(ppd) : nullptr;
	// NOLINTNEXTLINE(cert-err33-c): a value cut short still shows.
	snprintf(text, buffer_size, "%s", value != nullptr ? value : "");
	if (ppd != nullptr)
		ppdClose(ppd);
	return value != nullptr;
}
