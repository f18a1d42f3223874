// SPDX-License-Identifier: MIT
// Fuzzes morvane-setup's reading and writing of a PPD, which a print
// server hands it. Adapting the PPD again must change nothing, and taking
// morvane's lines out of the adapted PPD must give what taking them out of
// the PPD itself gives: so a queue set up, set up again and taken back is
// as it was. morvane-setup refuses a PPD whose last quoted value is not
// closed, where the lines it adds would land inside that value.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adapt.h"
#include "log.h"

const log_style program_log = {.error = "morvane-setup: ", .debug = nullptr};

namespace {

void require(bool holds, const char *what)
{
	if (!holds) {
		fprintf(stderr, "invariant broken: %s\n", what);
		abort();
	}
}

// The PPD text adapted for dots, or taken back when dots is null, in a
// buffer of the caller's that malloc gave. Returns its size.
size_t adapt(const char *text, size_t size, const char *dots, char **out,
    bool *unclosed = nullptr)
{
	FILE *in = fmemopen((void *)text, size, "rb");
	size_t length = 0;
	FILE *written = open_memstream(out, &length);
	require(in != nullptr && written != nullptr, "streams");
	ppd_filters filters;
	read_filters(in, &filters);
	if (unclosed != nullptr)
		*unclosed = filters.unclosed;
	rewind(in);
	const own_value own[] = {{.name = "Letter", .dots = "3300"}};
	const morvane_values values = {.dots = dots, .reference = "A4",
	    .count = 1, .own = own};
	require(write_adapted(in, written, &filters,
	    dots != nullptr ? &values : nullptr), "written");
	fclose(in);
	fclose(written);
	return length;
}

bool same(const char *a, size_t a_size, const char *b, size_t b_size)
{
	return a_size == b_size && memcmp(a, b, a_size) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// fmemopen reads no zero byte as text's end, but fgets stops there.
	if (size == 0 || memchr(data, '\0', size) != nullptr)
		return 0;
	const char *ppd = (const char *)data;
	char *once = nullptr, *twice = nullptr, *back = nullptr, *plain = nullptr;
	bool unclosed = false;
	size_t once_size = adapt(ppd, size, "3473", &once, &unclosed);
	if (unclosed) {
		free(once);
		return 0;
	}
	size_t twice_size = adapt(once, once_size, "3473", &twice);
	require(same(once, once_size, twice, twice_size), "adapting again");
	size_t back_size = adapt(once, once_size, nullptr, &back);
	size_t plain_size = adapt(ppd, size, nullptr, &plain);
	require(same(back, back_size, plain, plain_size), "taken back");
	free(once);
	free(twice);
	free(back);
	free(plain);
	return 0;
}
