// SPDX-License-Identifier: MIT
// The image shifts that morvane-setup sets on a queue.
#include "shifts.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"
#include "shift.h"
#include "text.h"

const shift_name shift_names[shift_count] = {
    {.typed = "x", .option = "x-image-shift-default", .axis = 0,
        .set_here = true},
    {.typed = "y", .option = "y-image-shift-default", .axis = 1,
        .set_here = false},
    {.typed = "x-front", .option = "x-side1-image-shift-default", .axis = 0,
        .set_here = true},
    {.typed = "y-front", .option = "y-side1-image-shift-default", .axis = 1,
        .set_here = true},
    {.typed = "x-back", .option = "x-side2-image-shift-default", .axis = 0,
        .set_here = true},
    {.typed = "y-back", .option = "y-side2-image-shift-default", .axis = 1,
        .set_here = true}};

bool note_names(const char *note, const char *option)
{
	size_t length = strlen(option);
	for (const char *at = note; *at != '\0';) {
		size_t word = strcspn(at, ",");
		if (word == length && strncmp(at, option, length) == 0)
			return true;
		at += word + (at[word] == ',');
	}
	return false;
}

void change_note(const char *note, const char *option, bool add,
    char changed[buffer_size])
{
	int used = 0;
	changed[0] = '\0';
	for (const shift_name &name : shift_names) {
		bool named = strcmp(name.option, option) == 0 ? add :
		    note_names(note, name.option);
		if (named)
			used += snprintf(changed + used, buffer_size - used, "%s%s",
			    used > 0 ? "," : "", name.option);
	}
}

bool find_shift(const char *typed, int *index)
{
	for (int i = 0; i < shift_count; i++)
		if (strcmp(shift_names[i].typed, typed) == 0) {
			*index = i;
			return true;
		}
	return report_error("there is no shift \"%s\": NAME is x, x-front, "
	    "y-front, x-back or y-back", typed);
}

bool read_millimetres(const char *text, long *hundredths)
{
	const char *at = text + (*text == '-' || *text == '+');
	long long value = 0;
	int digits = 0, decimals = -1;
	for (; (*at >= '0' && *at <= '9') || (*at == '.' && decimals < 0);
	    at++) {
		if (*at == '.') {
			decimals = 0;
			continue;
		}
		value = value * 10 + (*at - '0');
		digits++;
		decimals += decimals >= 0;
		if (value > INT32_MAX || decimals > 2)
			return false;
	}
	if (*at != '\0' || digits == 0 || decimals == 0)
		return false;
	for (int d = decimals > 0 ? decimals : 0; d < 2; d++)
		value *= 10;
	*hundredths = (long)(*text == '-' ? -value : value);
	return value <= INT32_MAX;
}

bool shift_to_set(const char *typed, const char *mm, int *index,
    long *hundredths)
{
	if (!find_shift(typed, index))
		return false;
	if (!shift_names[*index].set_here)
		return report_error("the vertical shift of both sides is the "
		    "queue's vertical dots, which morvane-setup QUEUE DOTS sets: "
		    "NAME is x, x-front, y-front, x-back or y-back");
	return read_millimetres(mm, hundredths) || report_error("the shift %s "
	    "\"%s\" is not millimetres with at most two decimals, such as 1.5 "
	    "or -0.25", typed, mm);
}

void format_millimetres(long hundredths, char text[mm_text_size])
{
	long whole = labs(hundredths) / 100, part = labs(hundredths) % 100;
	const char *sign = hundredths < 0 ? "-" : "";
	// NOLINTBEGIN(cert-err33-c): a number fits.
	if (part == 0)
		snprintf(text, mm_text_size, "%s%ld", sign, whole);
	else if (part % 10 == 0)
		snprintf(text, mm_text_size, "%s%ld.%ld", sign, whole, part / 10);
	else
		snprintf(text, mm_text_size, "%s%ld.%02ld", sign, whole, part);
	// NOLINTEND(cert-err33-c)
}

bool queue_calibration(ppd_file_t *ppd, const char *dots,
    calibration *values)
{
	if (!read_calibration(ppd, dots, values))
		return false;
	if (!values->has_dots)
		take_neutral(values);
	return true;
}

bool every_paper_shifts(ppd_file_t *ppd, const calibration *values,
    int axis, shift_bounds *bounds)
{
	bool found = false;
	for (int i = 0; ppd != nullptr && i < ppd->num_sizes; i++) {
		paper p;
		double record[2];
		if (!measured_paper(&ppd->sizes[i], &p))
			continue;
		if (!record_shift(values, p, record))
			return false;
		shift_range r = axis == 0 ? x_shift_range(p, record[0]) :
		    y_shift_range(p, record[1]);
		if (!found || r.low > bounds->range.low) {
			bounds->range.low = r.low;
			bounds->low = p;
		}
		if (!found || r.high < bounds->range.high) {
			bounds->range.high = r.high;
			bounds->high = p;
		}
		found = true;
	}
	return found;
}

bool shift_fits_papers(ppd_file_t *ppd, const calibration *values,
    const char *queue, int index, long value)
{
	shift_bounds b;
	if (!every_paper_shifts(ppd, values, shift_names[index].axis, &b) ||
	    (value >= b.range.low && value <= b.range.high))
		return true;
	char mm[mm_text_size], low[mm_text_size], high[mm_text_size];
	format_millimetres(value, mm);
	format_millimetres(b.range.low, low);
	format_millimetres(b.range.high, high);
	const char *off = value < b.range.low ? b.low.name : b.high.name;
	if (b.range.low > b.range.high)
		return report_error("%s: shift %s %s mm puts the image off the sheet "
		    "of %s, and no shift %s keeps it on every paper of the queue",
		    queue, shift_names[index].typed, mm, off,
		    shift_names[index].typed);
	return report_error("%s: shift %s %s mm puts the image off the sheet of "
	    "%s: from %s to %s mm fit every paper of the queue", queue,
	    shift_names[index].typed, mm, off, low, high);
}
