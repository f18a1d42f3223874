// SPDX-License-Identifier: MIT
// What morvane-setup is asked to do: its arguments, read into one request.
#ifndef MORVANE_REQUEST_H
#define MORVANE_REQUEST_H

enum request_command {
	no_request,
	help_request,       // --help, -h
	version_request,    // --version
	ppd_request,        // --ppd FILE DOTS
	show_request,       // QUEUE
	set_request,        // QUEUE DOTS, QUEUE --neutral
	calibrate_request,  // --calibrate QUEUE
	check_request,      // --check [QUEUE]
	remove_request,     // --remove QUEUE
	restore_request,    // --restore
	suspend_request,    // --suspend
	shift_request,      // QUEUE --shift NAME MM
	no_shift_request    // QUEUE --no-shift NAME
};

// The operands as they were typed, each null where it was not.
struct setup_request {
	request_command command;
	const char *file;   // FILE
	const char *queue;  // QUEUE
	const char *dots;   // DOTS
	const char *size;   // SIZE of --media
	const char *shift;  // NAME of --shift or --no-shift
	const char *mm;     // MM of --shift
	bool neutral;       // --neutral
};

// Reads the arguments into request, and says nothing: returns false where
// they are none of the forms of the usage line. DOTS, MM and the queue of
// --check are taken as they are, also where they start with '-'.
bool read_request(int argc, char *argv[], setup_request *request);

#endif
