// SPDX-License-Identifier: MIT
// The image shifts of a queue of the CUPS server.
#include "queue_shifts.h"

#include <cstdio>
#include <cstring>

#include "log.h"
#include "shifts.h"
#include "text.h"

namespace {

// The shift's value as said: "1.5 mm", or the text in quotes where it is
// not a whole number of hundredths.
const char *said_value(const char *text, char said[buffer_size])
{
	long value = 0;
	char mm[mm_text_size];
	if (!read_image_shift(text, &value))
		// NOLINTNEXTLINE(cert-err33-c): a value cut short still says it.
		snprintf(said, buffer_size, "\"%.80s\"", text);
	else {
		format_millimetres(value, mm);
		// NOLINTNEXTLINE(cert-err33-c): a number fits.
		snprintf(said, buffer_size, "%s mm", mm);
	}
	return said;
}

// What is wrong with a default that is not a whole number, for the line.
const char *not_whole(const char *queue, int index, const char *text,
    char why[buffer_size])
{
	const shift_name *name = &shift_names[index];
	// NOLINTNEXTLINE(cert-err33-c): a message cut short still says it.
	snprintf(why, buffer_size, "%s: the queue's %s \"%.80s\" is not a whole "
	    "number of hundredths of a millimetre, so every job fails: "
	    "morvane-setup %s %s %s%s", queue, name->option, text, queue,
	    name->set_here ? "--shift" : "--no-shift", name->typed,
	    name->set_here ? " MM sets a new one" : " drops it");
	return why;
}

// Asks the server about a queue that morvane-setup can set up. Returns
// false after the error line.
bool usable_queue(http_t *http, const work *w, const char *queue,
    queue_facts *facts)
{
	char why[buffer_size];
	if (!fetch_queue(http, w, queue, facts))
		return false;
	return !queue_unusable(queue, facts, why) || report_error("%s", why);
}

// The vertical dots that the queue's jobs get, as the filters read them.
bool facts_calibration(const queue_facts *facts, calibration *values)
{
	return queue_calibration(facts->ppd.get(), facts->dots[0] != '\0' ?
	    facts->dots : nullptr, values);
}

}

bool set_shift(const work *w, const char *queue, const char *typed,
    const char *mm)
{
	int index = 0;
	long value = 0;
	if (!shift_to_set(typed, mm, &index, &value))
		return false;
	http_handle http = connect_server();
	queue_facts facts;
	queue_dots dots;
	calibration values;
	if (!http || !ask_queue(http.get(), w, queue, &facts, &dots))
		return false;
	if (!facts.ppd)
		return report_error("cannot read the PPD of %s", queue);
	if (facts.temporary)
		return report_error("%s is a temporary queue, which CUPS deletes "
		    "with its shift: make a permanent one with lpadmin -p QUEUE -E "
		    "-v URI -m everywhere, and set that up", queue);
	if (!dots.runs_filter)
		return report_error("%s: its PPD does not run %s, which applies "
		    "the shift: morvane-setup %s --neutral sets it up first", queue,
		    dots.filter, queue);
	if (!facts_calibration(&facts, &values) ||
	    !shift_fits_papers(facts.ppd.get(), &values, queue, index, value))
		return false;
	char text[32], note[buffer_size], said[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c): a number fits.
	snprintf(text, sizeof text, "%ld", value);
	change_note(facts.shifts_note, shift_names[index].option, true, note);
	const queue_default defaults[] = {
	    {.option = shift_names[index].option, .value = text},
	    {.option = shifts_note_option, .value = note}};
	if (!change_defaults(http.get(), queue, defaults, 2))
		return false;
	printf("%s: shift %s now %s, the queue's %s %s\n", queue, typed,
	    said_value(text, said), shift_names[index].option, text);
	return true;
}

bool drop_shift(const work *w, const char *queue, const char *typed)
{
	int index = 0;
	if (!find_shift(typed, &index))
		return false;
	http_handle http = connect_server();
	queue_facts facts;
	if (!http || !usable_queue(http.get(), w, queue, &facts))
		return false;
	const char *had = facts.shifts[index];
	const char *option = shift_names[index].option;
	char note[buffer_size], said[buffer_size];
	change_note(facts.shifts_note, option, false, note);
	bool noted = note_names(facts.shifts_note, option);
	if (had[0] == '\0' && !noted) {
		printf("%s: no shift %s is set; nothing changed\n", queue, typed);
		return true;
	}
	const queue_default defaults[] = {{.option = option, .value = nullptr},
	    {.option = shifts_note_option,
	    .value = note[0] != '\0' ? note : nullptr}};
	if (!change_defaults(http.get(), queue, defaults, 2))
		return false;
	if (had[0] == '\0')
		printf("%s: no shift %s is set; nothing changed\n", queue, typed);
	else
		printf("%s: the server no longer keeps shift %s %s, the queue's %s\n",
		    queue, typed, said_value(had, said), option);
	return true;
}

bool has_shifts(const queue_facts *facts)
{
	for (int i = 0; i < shift_count; i++)
		if (facts->shifts[i][0] != '\0')
			return true;
	return false;
}

void show_shifts(const char *queue, const queue_facts *facts)
{
	long value = 0;
	char said[buffer_size], why[buffer_size];
	for (int i = 0; i < shift_count; i++) {
		const char *text = facts->shifts[i];
		if (text[0] == '\0')
			continue;
		if (read_image_shift(text, &value))
			printf("%s: shift %s %s, the queue's %s %s\n", queue,
			    shift_names[i].typed, said_value(text, said),
			    shift_names[i].option, text);
		else
			printf("%s\n", not_whole(queue, i, text, why));
	}
}

bool shifts_whole(const char *queue, const queue_facts *facts)
{
	bool ok = true;
	long value = 0;
	char why[buffer_size];
	for (int i = 0; i < shift_count; i++) {
		const char *text = facts->shifts[i];
		if (text[0] != '\0' && !read_image_shift(text, &value))
			ok = report_error("%s", not_whole(queue, i, text, why));
	}
	return ok;
}

bool check_shifts(const char *queue, const queue_facts *facts)
{
	long value = 0;
	calibration values;
	if (!has_shifts(facts))
		return true;
	if (!facts->ppd)
		return report_error("cannot read the PPD of %s", queue);
	if (!facts_calibration(facts, &values))
		return false;
	show_shifts(queue, facts);
	bool ok = shifts_whole(queue, facts);
	for (int i = 0; i < shift_count; i++)
		if (read_image_shift(facts->shifts[i], &value))
			ok = shift_fits_papers(facts->ppd.get(), &values, queue, i,
			    value) && ok;
	return ok;
}

bool forget_shifts(http_t *http, const char *queue, const queue_facts *facts)
{
	queue_default defaults[shift_count + 1];
	char said[buffer_size], list[buffer_size] = "";
	size_t used = 0;
	int count = 0;
	for (int i = 0; i < shift_count; i++) {
		if (!shift_names[i].set_here)
			continue;
		defaults[count++] = queue_default{.option = shift_names[i].option,
		    .value = nullptr};
		if (facts->shifts[i][0] != '\0' && used < sizeof list)
			used += snprintf(list + used, sizeof list - used, "%s%s %s",
			    used > 0 ? ", " : "", shift_names[i].typed,
			    said_value(facts->shifts[i], said));
	}
	defaults[count++] = queue_default{.option = shifts_note_option,
	    .value = nullptr};
	if (list[0] == '\0' && facts->shifts_note[0] == '\0')
		return true;
	if (!change_defaults(http, queue, defaults, count))
		return false;
	if (list[0] != '\0')
		printf("%s: the server no longer keeps its shifts: %s\n", queue,
		    list);
	return true;
}
