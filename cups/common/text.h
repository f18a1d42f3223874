// SPDX-License-Identifier: MIT
// Text: a run of bytes up to end that is not terminated, and a bounded
// copy of a terminated one.
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

// Copies the text from into the size bytes at to, cut short where it is
// longer: to is always terminated.
inline void copy_text(char *to, size_t size, const char *from)
{
	size_t length = strnlen(from, size - 1);
	memcpy(to, from, length);
	to[length] = '\0';
}

#endif
