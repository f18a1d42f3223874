// SPDX-License-Identifier: MIT
// Text that is not terminated: a run of bytes up to end.
#ifndef MORVANE_TEXT_H
#define MORVANE_TEXT_H

#include <cstring>

// Whether the bytes [p, end) start with prefix. Inline, so that the
// length of a literal prefix is known where the scan of a job calls it.
inline bool has_prefix(const char *p, const char *end, const char *prefix)
{
	size_t length = strlen(prefix);
	return (size_t)(end - p) >= length && memcmp(p, prefix, length) == 0;
}

#endif
