// SPDX-License-Identifier: MIT
// The reading of morvane-setup's arguments.
#include "request.h"

#include <cstring>

#include <getopt.h>

namespace {

const option options[] = {
    {.name = "ppd", .has_arg = required_argument, .flag = nullptr, .val = 'p'},
    {.name = "calibrate", .has_arg = required_argument, .flag = nullptr,
        .val = 'c'},
    {.name = "check", .has_arg = no_argument, .flag = nullptr, .val = 'k'},
    {.name = "remove", .has_arg = required_argument, .flag = nullptr,
        .val = 'r'},
    {.name = "restore", .has_arg = no_argument, .flag = nullptr, .val = 'R'},
    {.name = "suspend", .has_arg = no_argument, .flag = nullptr, .val = 's'},
    {.name = "media", .has_arg = required_argument, .flag = nullptr,
        .val = 'm'},
    {.name = "neutral", .has_arg = no_argument, .flag = nullptr, .val = 'n'},
    {.name = "shift", .has_arg = required_argument, .flag = nullptr,
        .val = 'S'},
    {.name = "no-shift", .has_arg = required_argument, .flag = nullptr,
        .val = 'N'},
    {.name = "help", .has_arg = no_argument, .flag = nullptr, .val = 'h'},
    {.name = "version", .has_arg = no_argument, .flag = nullptr, .val = 'v'},
    {.name = nullptr, .has_arg = 0, .flag = nullptr, .val = 0}};

// The command that the option names, or no_request.
request_command command_of(int c)
{
	switch (c) {
	case 'h': return help_request;
	case 'v': return version_request;
	case 'p': return ppd_request;
	case 'c': return calibrate_request;
	case 'k': return check_request;
	case 'r': return remove_request;
	case 'R': return restore_request;
	case 's': return suspend_request;
	default: return no_request;
	}
}

// Whether the option is written out whole, as one argument of its own:
// getopt_long also takes "--name=value" and a name cut short.
bool written_out(const char *argument, int index)
{
	if (index < 0)
		return strcmp(argument, "-h") == 0;
	return strncmp(argument, "--", 2) == 0 &&
	    strcmp(argument + 2, options[index].name) == 0;
}

// Reads --shift NAME MM or --no-shift NAME, which follow QUEUE alone: the
// MM at optind, taken as it is, before media.
bool read_shift(int argc, char *argv[], int media, int c, setup_request *r)
{
	if (r->command != show_request || r->dots != nullptr || r->neutral)
		return false;
	r->shift = optarg;
	r->command = c == 'S' ? shift_request : no_shift_request;
	if (c == 'S' && optind < media && optind < argc)
		r->mm = argv[optind++];
	return c == 'N' || r->mm != nullptr;
}

// Reads the option or operand at optind into the request; false where it
// has no place there. media is the index of the last "--media SIZE", or
// argc: the arguments before it make the command, and --media SIZE is the
// last two or none.
bool read_next(int argc, char *argv[], int media, setup_request *r)
{
	int at = optind > 0 ? optind : 1;  // 0: the first call starts at 1
	int index = -1;
	int c = getopt_long(argc, argv, "-:h", options, &index);
	if (c == -1 || c == '?' || c == ':' || (c != 1 &&
	    !written_out(argv[at], index)))
		return false;
	if (c == 'm') {
		r->size = optarg;
		return at == media;
	}
	if (optind > media)
		return false;
	if (c == 'S' || c == 'N')
		return read_shift(argc, argv, media, c, r);
	if (c == 'n') {
		bool after_queue = r->command == show_request && r->dots == nullptr &&
		    !r->neutral;
		r->neutral = true;
		return after_queue;
	}
	if (r->command != no_request)
		return false;
	if (c == 1) {
		r->command = show_request;
		r->queue = optarg;
		return optarg[0] != '-';
	}
	r->command = command_of(c);
	if (c == 'p')
		r->file = optarg;
	if (c == 'c' || c == 'r')
		r->queue = optarg;
	return r->command != no_request;
}

// Whether the argument is an option that may follow QUEUE, written out.
bool after_queue(const char *argument)
{
	return strcmp(argument, "--neutral") == 0 ||
	    strcmp(argument, "--shift") == 0 || strcmp(argument, "--no-shift") == 0;
}

// Where the argument after the command's own goes, taken as it is: DOTS,
// or the queue of --check; null for a command that takes none.
const char **value_of(setup_request *r)
{
	switch (r->command) {
	case ppd_request:
	case show_request: return &r->dots;
	case check_request: return &r->queue;
	default: return nullptr;
	}
}

// Whether the request has what its command needs, and --media only where
// the command takes it. A queue given a value is set.
bool complete(setup_request *r)
{
	if (r->command == show_request && (r->dots != nullptr || r->neutral))
		r->command = set_request;
	switch (r->command) {
	case no_request: return false;
	case ppd_request: return r->dots != nullptr;
	case show_request:
	case set_request:
	case calibrate_request: return true;
	default: return r->size == nullptr;
	}
}

}

bool read_request(int argc, char *argv[], setup_request *request)
{
	*request = setup_request{.command = no_request, .file = nullptr,
	    .queue = nullptr, .dots = nullptr, .size = nullptr, .shift = nullptr,
	    .mm = nullptr, .neutral = false};
	optind = 0;  // GNU getopt starts again
	int media = argc >= 4 && strcmp(argv[argc - 2], "--media") == 0 ?
	    argc - 2 : argc;
	if (argc < 2 || !read_next(argc, argv, media, request))
		return false;
	// The argument after the command's own is a value, even where it starts
	// with '-', unless it is the last --media SIZE, or an option that may
	// follow QUEUE.
	const char **value = value_of(request);
	if (value != nullptr && optind < media &&
	    (request->command != show_request || !after_queue(argv[optind])))
		*value = argv[optind++];
	while (optind < argc)
		if (!read_next(argc, argv, media, request))
			return false;
	return complete(request);
}
