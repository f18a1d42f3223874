// SPDX-License-Identifier: MIT
// The command record: "PSCOMMAND=command\nCMDARGV=arguments", written by
// morvane and read back by the programs that run it.
#ifndef MORVANE_RECORD_H
#define MORVANE_RECORD_H

#include "morvane.h"

// Composes the command record into record. Returns its length, or -1
// (leaving record empty) when it would not fit in buffer_size - 1 bytes.
int compose_record(char record[buffer_size], page_extent extent,
    double vertical_dots, const char *tool_command, const char *input_path,
    const char *output_path);

// Composes pstops' page layout for pages that repeat every count pages,
// the page i of each round shifted by shifts[i] in inches rightwards and
// upwards: "1:0@1.0(Xin,Yin)" for one, the record's own form. Returns its
// length, or -1 (leaving layout empty) when it would not fit in
// buffer_size - 1 bytes.
int compose_layout(char layout[buffer_size], const double shifts[][2],
    int count);

enum record_form { copy_form, pstops_form };

// A record as morvane prints it, split into its parts, which point into
// the record's text.
struct record_parts {
	record_form form;
	const char *command;    // "cp", or the tool command
	const char *words[5];   // the arguments: "-f" IN OUT, or "-wW" "-hH"
	int count;              // "1:0@1.0(Xin,Yin)" IN OUT
	double shift[2];        // the page's offsets in inches, for pstops
};

// Splits a printed record, its last line feed included, in place into
// its parts. Returns false where it is not of the shape compose_record
// writes, with blanks only between its words.
bool read_record(char record[buffer_size], record_parts *parts);

#endif
