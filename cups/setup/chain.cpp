// SPDX-License-Identifier: MIT
// The chains that cupsfilter finds.
#include "chain.h"

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "log.h"
#include "run.h"
#include "text.h"

namespace {

// The chain that cupsfilter finds for a job of type with the PPD, one
// program a line in w->chain. Returns false after the line that says why.
bool list_filters(const work *w, const char *name, const char *type)
{
	const char *argv[] = {CUPSFILTER_PATH, "-p", w->adapted, "-e", "-m",
	    "printer/morvane", "--list-filters", "-i", type, w->adapted, nullptr};
	int out = open(w->chain, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	if (out < 0)
		return report_error("cannot make %s:", w->chain);
	const program p = {.argv = argv, .folder = nullptr, .in = -1};
	run_result result;
	bool ran = run_program(&p, out, &result);
	close(out);
	if (!ran || result.status == 0)
		return ran;
	// cupsfilter's last line says what is missing.
	return report_error("%s: CUPS finds no way for %s to the printer: %s",
	    name, type, result.last_line[0] != '\0' ? result.last_line :
	    "it failed");
}

// The chain in w->chain, its programs joined by blanks, and the one after
// program, or empty.
void read_chain(const work *w, const char *program, char chain[buffer_size],
    char after[buffer_size], bool *seen)
{
	char line[buffer_size];
	*seen = false;
	FILE *list = fopen(w->chain, "r");
	while (list != nullptr && fgets(line, buffer_size, list) != nullptr) {
		line[strcspn(line, "\n")] = '\0';
		if (*seen && after[0] == '\0')
			copy_text(after, buffer_size, line);
		*seen = *seen || strcmp(line, program) == 0;
		size_t used = strlen(chain);
		// A chain cut short still shows.
		if (snprintf(chain + used, buffer_size - used, "%s%s",
		    used > 0 ? " " : "", line) >= (int)(buffer_size - used))
			break;
	}
	if (list != nullptr)
		(void)fclose(list);
}

}

// Every kind of job must pass the kind's filter: in the place of a filter
// after CUPS's, or just before the PPD's own filter for the type that the
// pre-filter takes, where alone the scheduler runs it.
bool check_chains(const work *w, const char *name, const printer_kind *kind,
    const ppd_filters *filters)
{
	const char *const types[] = {"application/pdf", "application/postscript",
	    "text/plain", "image/png"};
	for (const char *type : types) {
		if (!list_filters(w, name, type))
			return false;
		char chain[buffer_size] = "", after[buffer_size] = "";
		bool seen = false;
		read_chain(w, kind->program, chain, after, &seen);
		bool placed = seen && (kind->last ? after[0] == '\0' :
		    strcmp(after, filters->*kind->before) == 0);
		if (!placed)
			return report_error("%s: %s jobs would not pass %s: CUPS's "
			    "chain for them is %s", name, type, kind->program, chain);
	}
	return true;
}
