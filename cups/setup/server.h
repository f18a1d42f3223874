// SPDX-License-Identifier: MIT
// What morvane-setup asks of the CUPS server: a queue's PPD and its
// default for the vertical dots, and a new PPD for it.
#ifndef MORVANE_SERVER_H
#define MORVANE_SERVER_H

#include <memory>

#include <cups/cups.h>

#include "sizes.h"
#include "work.h"

using http_handle = std::unique_ptr<http_t, decltype(&httpClose)>;

// A connection to the server; empty after the error line.
http_handle connect_server();

// The server's name, for the messages: host and port.
const char *server_name(char name[buffer_size]);

// The queue's default for the vertical dots, as the server keeps it.
constexpr char dots_option[] = "morvane-vertical-dots-default";

// What the server keeps of a queue besides its PPD: its defaults for the
// dots and for the paper (a PWG name), each empty where it has none.
struct queue_defaults {
	char dots[buffer_size];
	char media[buffer_size];
};

// Writes the queue's PPD, from the server, to w->given, and its defaults
// to defaults. Returns false after the error line.
bool fetch_queue(http_t *http, const work *w, const char *queue,
    queue_defaults *defaults);

// Installs the PPD w->adapted for the queue as lpadmin -P does: the server
// keeps the queue's settings. Its default for the dots, where dots is not
// null, takes that value. Returns false after the error line.
bool install_ppd(http_t *http, const work *w, const char *queue,
    const char *dots);

// The vertical dots that a queue's jobs get, and where they come from.
struct queue_dots {
	bool runs_filter;          // its PPD runs morvane-filter
	char value[buffer_size];   // empty where neither place has them
	const char *source;
	char reference[buffer_size]; // the paper they were measured on, or
	                           // empty
	paper start;               // the queue's default paper, whose name is
	                           // empty where it has none
};

// Finds the vertical dots that the queue's jobs get. Returns false after
// the error line.
bool find_dots(http_t *http, const work *w, const char *queue,
    queue_dots *dots);

#endif
