// SPDX-License-Identifier: MIT
// The filter's side of morvane's files: the page-size file it writes and
// the command record it reads back.
#include <cstdio>
#include <cstring>

#include "filter.h"

int format_page_size(char text[buffer_size], float width, float length)
{
	// Nine significant digits carry any float through text and back.
	return snprintf(text, buffer_size, "PageSize [%.9g %.9g]\n",
	    (double)width, (double)length);
}

// Splits text at single spaces into at most count words; returns how many
// there were, or count + 1 when there were more.
static int split_words(char *text, const char *words[], int count)
{
	int found = 0;
	for (char *word = text; word != nullptr; found++) {
		if (found == count)
			return count + 1;
		words[found] = word;
		word = strchr(word, ' ');
		if (word != nullptr)
			*word++ = '\0';
	}
	return found;
}

static bool starts_with(const char *text, const char *prefix)
{
	return strncmp(text, prefix, strlen(prefix)) == 0;
}

record_kind accept_record(char record[buffer_size], const char *pstops,
    const char *argv[record_words])
{
	// Exactly "PSCOMMAND=command\nCMDARGV=arguments\n".
	if (!starts_with(record, "PSCOMMAND="))
		return refused_record;
	char *command = record + strlen("PSCOMMAND=");
	char *end = strchr(command, '\n');
	if (end == nullptr || !starts_with(end + 1, "CMDARGV="))
		return refused_record;
	*end = '\0';
	char *arguments = end + 1 + strlen("CMDARGV=");
	end = strchr(arguments, '\n');
	if (end == nullptr || end[1] != '\0')
		return refused_record;
	*end = '\0';

	argv[0] = command;
	if (strcmp(command, "cp") == 0)
		return strcmp(arguments, "-f in.ps out.ps") == 0 ? copy_record :
		    refused_record;
	const char **words = argv + 1;
	if (strcmp(command, pstops) != 0 ||
	    split_words(arguments, words, record_words - 2) != 5)
		return refused_record;
	words[5] = nullptr;
	bool shaped = starts_with(words[0], "-w") && starts_with(words[1], "-h") &&
	    starts_with(words[2], "1:0@1.0(") &&
	    strcmp(words[3], "in.ps") == 0 && strcmp(words[4], "out.ps") == 0;
	return shaped ? pstops_record : refused_record;
}
