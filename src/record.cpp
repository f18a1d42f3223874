// SPDX-License-Identifier: MIT
// The command record, written and read back.
#include "record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "extended.h"
#include "offset.h"

constexpr double horizontal_offset = -0.06;

// The parts of the record, as compose_record's formats write them.
constexpr char command_key[] = "PSCOMMAND=";
constexpr char arguments_key[] = "CMDARGV=";
constexpr char layout_start[] = "1:0@1.0(";

// Widens exactly. A NaN keeps its sign, as on x86-64, also where the
// processor's own conversion gives the default NaN instead (MIPS).
static double widen(float value)
{
	return to_double(from_float(value));
}

// A page of pstops' layout: its number in the round, and its shift. The
// record's layout is a round of one page.
#define LAYOUT_PAGE "%d@1.0(%fin,%fin)"

int compose_layout(char layout[buffer_size], const double shifts[][2],
    int count)
{
	int length = snprintf(layout, buffer_size, "%d:", count);
	for (int i = 0; i < count && length >= 0 && length < buffer_size; i++)
		length += snprintf(layout + length, buffer_size - length,
		    i > 0 ? "," LAYOUT_PAGE : LAYOUT_PAGE, i, shifts[i][0],
		    shifts[i][1]);
	if (length < 0 || length >= buffer_size) {
		layout[0] = '\0';
		return -1;
	}
	return length;
}

int compose_record(char record[buffer_size], page_extent extent,
    double vertical_dots, const char *tool_command, const char *input_path,
    const char *output_path)
{
	int length;

	if (extent.width == 0 && extent.height == 0)
		length = snprintf(record, buffer_size,
		    "PSCOMMAND=cp\nCMDARGV=-f %s %s", input_path, output_path);
	else
		length = snprintf(record, buffer_size,
		    "PSCOMMAND=%s\nCMDARGV=-w%f -h%f 1:" LAYOUT_PAGE " %s %s",
		    tool_command, widen(extent.width), widen(extent.height), 0,
		    horizontal_offset,
		    vertical_offset(extent.height, vertical_dots), input_path,
		    output_path);
	// A cut record would name the wrong file: refuse it whole.
	if (length < 0 || length >= buffer_size) {
		record[0] = '\0';
		return -1;
	}
	return length;
}

static bool starts_with(const char *text, const char *prefix)
{
	return strncmp(text, prefix, strlen(prefix)) == 0;
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

// The page layout "1:0@1.0(Xin,Yin)", whose offsets go to shift.
static bool read_layout(const char *layout, double shift[2])
{
	if (!starts_with(layout, layout_start))
		return false;
	const char *p = layout + strlen(layout_start);
	char *end = nullptr;
	shift[0] = strtod(p, &end);
	if (end == p || !starts_with(end, "in,"))
		return false;
	p = end + 3;
	shift[1] = strtod(p, &end);
	return end != p && strcmp(end, "in)") == 0;
}

bool read_record(char record[buffer_size], record_parts *parts)
{
	*parts = record_parts{};
	if (!starts_with(record, command_key))
		return false;
	char *command = record + strlen(command_key);
	char *end = strchr(command, '\n');
	if (end == nullptr || !starts_with(end + 1, arguments_key))
		return false;
	*end = '\0';
	char *arguments = end + 1 + strlen(arguments_key);
	end = strchr(arguments, '\n');
	if (end == nullptr || end[1] != '\0')
		return false;
	*end = '\0';
	parts->command = command;
	parts->count = split_words(arguments, parts->words, 5);
	const char **words = parts->words;
	if (strcmp(command, "cp") == 0) {
		parts->form = copy_form;
		return parts->count == 3 && strcmp(words[0], "-f") == 0;
	}
	parts->form = pstops_form;
	return parts->count == 5 && starts_with(words[0], "-w") &&
	    starts_with(words[1], "-h") && read_layout(words[2], parts->shift);
}
