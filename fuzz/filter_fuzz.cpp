// SPDX-License-Identifier: MIT
// Fuzzes what the CUPS filter takes from a job's options and its PPD: the
// page size, the page-size text that morvane gets, and morvane's own
// reading of that text.
//
// An input is an option string, a zero byte, and the text of a PPD; an
// input without a zero byte is the PPD alone. Either the filter refuses
// the PPD or the size with exactly one ERROR: line and no size, or it
// takes a size that is finite, positive and within the PPD's range, and
// that morvane reads back as the same 32-bit floats. Every line it logs is
// one line of its own, whatever the input holds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cups/ppd.h>

#include "log.h"
#include "ppd.h"
#include "queue.h"
#include "scan.h"
#include "shift.h"

const log_style program_log = {.error = "\nERROR: morvane-filter: ",
    .debug = "DEBUG: morvane-filter: "};

namespace {

// morvane's own reading of a page-size text.
bool morvane_reads(const char *text, int length, float *width,
    float *height)
{
	FILE *stream = fmemopen((void *)text, length, "rb");
	if (stream == nullptr)
		return false;
	page_extent extent = scan_page_size(stream);
	*width = extent.width;
	*height = extent.height;
	return true;
}

void require(bool holds, const char *what)
{
	if (!holds) {
		fprintf(stderr, "invariant broken: %s\n", what);
		abort();
	}
}

// A file in memory, named by a path that libcups can open.
int memory_file(const char *name, const std::string &text, char path[64])
{
	int fd = memfd_create(name, MFD_CLOEXEC);
	require(fd >= 0 && write(fd, text.data(), text.size()) ==
	    (ssize_t)text.size(), "a file in memory");
	snprintf(path, 64, "/proc/self/fd/%d", fd);
	return fd;
}

// The log's lines: each must carry the filter's prefix, but for the empty
// line before an ERROR: line. Returns how many are ERROR: lines.
int check_log(int fd)
{
	std::string log;
	char chunk[4096];
	ssize_t n;
	lseek(fd, 0, SEEK_SET);
	while ((n = read(fd, chunk, sizeof chunk)) > 0)
		log.append(chunk, n);
	int errors = 0;
	for (size_t at = 0; at < log.size();) {
		size_t end = log.find('\n', at);
		require(end != std::string::npos, "every log line ends");
		std::string line = log.substr(at, end - at);
		at = end + 1;
		// An error starts with a line feed of its own.
		if (line.empty() && log.compare(at, 7, "ERROR: ") == 0)
			continue;
		bool error = line.rfind("ERROR: morvane-filter: ", 0) == 0;
		require(error || line.rfind("DEBUG: morvane-filter: ", 0) == 0,
		    "every log line is the filter's own");
		errors += error;
	}
	return errors;
}

// The range that a size must lie in, read from the PPD apart from the
// filter's own check.
bool within_range(const char *path, const paper *setup)
{
	float size[2] = {setup->width, setup->length};
	float low[2] = {0, 0}, high[2] = {largest_page, largest_page};
	if (strcmp(setup->name, "Custom") == 0) {
		ppd_file_t *ppd = ppdOpenFile(path);
		require(ppd != nullptr, "the PPD opens again");
		const char *names[] = {"MaxMediaWidth", "MaxMediaHeight"};
		for (int i = 0; i < 2; i++) {
			low[i] = ppd->custom_min[i];
			high[i] = ppd->custom_max[i];
			ppd_attr_t *attr = ppdFindAttr(ppd, names[i], nullptr);
			if (attr != nullptr && attr->value != nullptr)
				high[i] = fminf(high[i], strtof(attr->value, nullptr));
		}
		ppdClose(ppd);
	}
	for (int i = 0; i < 2; i++)
		if (!std::isfinite(size[i]) || !(size[i] > 0) || size[i] < low[i] ||
		    size[i] > high[i])
			return false;
	return true;
}

} // namespace

// The filter logs to standard error, which each run takes for a while:
// the sanitizers report to a copy of it made here.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	__sanitizer_set_report_fd((void *)(intptr_t)dup(STDERR_FILENO));
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *bytes = (const char *)data;
	const char *zero = (const char *)memchr(bytes, '\0', size);
	std::string options = zero != nullptr ? std::string(bytes, zero) : "";
	std::string ppd_text = zero != nullptr ?
	    std::string(zero + 1, bytes + size) : std::string(bytes, size);

	char path[64], log_path[64];
	int ppd = memory_file("ppd", ppd_text, path);
	int log = memory_file("log", "", log_path);
	int saved = dup(STDERR_FILENO);
	dup2(log, STDERR_FILENO);
	ppd_handle opened;
	queue q = {};
	marked_paper marked = {};
	queue_source source = {.ppd = nullptr, .options = options.c_str(),
	    .final_type = ""};
	bool ok = open_ppd(path, &opened);
	if (ok) {
		source.ppd = opened.get();
		ok = read_queue(&source, &q, &marked);
	}
	const bool has_size = ok && marked.known;
	const paper &setup = marked.value;
	dup2(saved, STDERR_FILENO);
	close(saved);
	int errors = check_log(log);
	close(log);

	if (!ok) {
		require(errors == 1, "a refusal has one ERROR: line");
		require(!marked.known, "a refusal has no size");
	} else {
		require(errors == 0, "a success has no ERROR: line");
	}
	if (has_size) {
		require(within_range(path, &setup), "the size is one a sheet has");
		char text[buffer_size];
		int length = format_page_size(text, setup.width, setup.length);
		float width = 0, height = 0;
		require(morvane_reads(text, length, &width, &height), "fmemopen");
		require(width == setup.width && height == setup.length,
		    "morvane reads back the same floats");
	}
	close(ppd);
	return 0;
}
