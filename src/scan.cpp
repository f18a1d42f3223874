// SPDX-License-Identifier: MIT
// The page-size file scan.
#include "scan.h"

#include <cstring>

// The program has one thread, so the stream needs no locking per byte.
long read_line(char line[buffer_size], FILE *stream)
{
	long count = 0;
	int c;

	while (count < buffer_size - 1 && (c = getc_unlocked(stream)) != EOF) {
		line[count++] = (char)c;
		if (c == '\n')
			break;
	}
	line[count] = '\0';
	return count;
}

static void skip_rest_of_line(FILE *stream)
{
	int c;

	while ((c = getc_unlocked(stream)) != EOF && c != '\n')
		;
}

// Parses the first bracketed pair of selected; sscanf leaves a field it
// cannot convert, and every field after it, at 0.
static page_extent parse_extent(char *selected)
{
	page_extent extent = {0, 0};
	char *open = strchr(selected, '[');
	if (open == nullptr)
		return extent;
	char *close = strchr(open + 1, ']');
	if (close == nullptr)
		return extent;
	*close = '\0';
	// The page size is defined by this conversion, field by field, so
	// neither its count nor a conversion error changes anything.
	// NOLINTNEXTLINE(cert-err33-c,cert-err34-c)
	sscanf(open + 1, "%f %f", &extent.width, &extent.height);
	return extent;
}

page_extent scan_page_size(FILE *stream)
{
	char buffers[2][buffer_size];
	char *line = buffers[0];
	char *selected = buffers[1];
	long length;

	selected[0] = '\0';
	while ((length = read_line(line, stream)) > 0 &&
	    strstr(line, "PageSize") != nullptr) {
		// An accepted line that was cut short is dropped through its
		// line feed, so that the next read starts on the next line.
		if (length == buffer_size - 1 && line[length - 1] != '\n')
			skip_rest_of_line(stream);
		// The accepted line becomes the selected one, and the next line
		// is read over the one it replaces.
		char *accepted = line;
		line = selected;
		selected = accepted;
	}
	// The stream was only read: closing it cannot lose anything.
	(void)fclose(stream);
	return parse_extent(selected);
}
