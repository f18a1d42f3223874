// SPDX-License-Identifier: MIT
// The image shifts that morvane-setup sets on a queue: their names, the
// millimetres that a person measures and the hundredths of a millimetre
// that the queue's IPP defaults hold, and the values that keep the image
// on the queue's papers.
#ifndef MORVANE_SHIFTS_H
#define MORVANE_SHIFTS_H

#include <cups/ppd.h>

#include "calibration.h"
#include "image_shift.h"
#include "morvane.h"
#include "paper.h"

// A shift as morvane-setup names it, the queue's default that holds it
// (the filters read it as that name without "-default"), its axis, 0 for
// x, 1 for y, and whether morvane-setup sets it. The vertical shift of both
// sides is the queue's vertical dots: morvane-setup shows, checks and drops
// a default for it that an administrator set, and sets none.
struct shift_name {
	const char *typed;
	const char *option;
	int axis;
	bool set_here;
};
// In the order of image_shift_names.
constexpr int shift_count = image_shift_attributes;
extern const shift_name shift_names[shift_count];

// The option in which the server keeps the names of the defaults that
// morvane-setup set, comma-separated in the order of shift_names: a
// default that an administrator set by hand is not in it.
constexpr char shifts_note_option[] = "morvane-image-shifts-default";

// The note with option added to it (or taken out, where add is false):
// empty where it names none. Names that are no shift's are left out.
void change_note(const char *note, const char *option, bool add,
    char changed[buffer_size]);

// Whether the note names option.
bool note_names(const char *note, const char *option);

// The index of the shift typed, in shift_names. Returns false after the
// error line.
bool find_shift(const char *typed, int *index);

// Reads millimetres with at most two decimals, a sign allowed ("1.5",
// "-0.25", "0"), as whole hundredths that fit IPP's integers. Says
// nothing; returns false where text is not that.
bool read_millimetres(const char *text, long *hundredths);

// The shift typed and its millimetres, read. Returns false after the
// error line.
bool shift_to_set(const char *typed, const char *mm, int *index,
    long *hundredths);

// Hundredths of a millimetre as millimetres, in the shortest form that
// read_millimetres reads back ("1.5", "-0.25", "0").
constexpr int mm_text_size = 32;
void format_millimetres(long hundredths, char text[mm_text_size]);

// The vertical dots that the queue's jobs get from its PPD and its default
// for them (null: none), as the filters read them: with neither, the
// neutral value that they take for a job with image shifts. Returns false
// after the error line.
bool queue_calibration(ppd_file_t *ppd, const char *dots,
    calibration *values);

// The values of a shift on the axis that keep the image on every paper of
// the PPD, with the shift of morvane's record for each, and the papers
// that bound the range's ends. Returns false where the PPD has no paper,
// or no record fits.
struct shift_bounds {
	shift_range range;
	paper low;
	paper high;
};
bool every_paper_shifts(ppd_file_t *ppd, const calibration *values,
    int axis, shift_bounds *bounds);

// Whether the shift of shift_names' index, value hundredths, keeps the
// image on every paper of the queue's PPD. Returns false after the error
// line, which names the paper that it leaves and the range that fits.
bool shift_fits_papers(ppd_file_t *ppd, const calibration *values,
    const char *queue, int index, long value);

#endif
