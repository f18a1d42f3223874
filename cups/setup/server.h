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
	char calibration[buffer_size]; // what morvane-setup kept of it
	bool has_ppd;              // the queue has a PPD, in w->given
	bool temporary;            // CUPS made it for a printer that it found,
	                           // and deletes it when it is idle
};

// Writes the queue's PPD, from the server, to w->given, where it has one,
// and its defaults to defaults. Returns false after the error line.
bool fetch_queue(http_t *http, const work *w, const char *queue,
    queue_defaults *defaults);

// What the queue gets with its new PPD: its default for the dots, where
// not null, and the calibration that the server keeps, or none (null).
struct queue_settings {
	const char *dots;
	const char *calibration;
};

// Installs the PPD w->adapted for the queue as lpadmin -P does: the server
// keeps the queue's other settings. Returns false after the error line.
bool install_ppd(http_t *http, const work *w, const char *queue,
    const queue_settings *settings);

// The server's queues, as cupsGetDests2 gives them: their count, or -1
// after the error line.
int server_queues(http_t *http, cups_dest_t **dests);

// The vertical dots that a queue's jobs get, and where they come from.
struct queue_dots {
	bool runs_filter;          // its PPD runs a filter of morvane's
	char filter[16];           // the filter that it runs, or else the one
	                           // that its kind of printer would run
	char value[buffer_size];   // empty where neither place has them
	const char *source;
	char reference[buffer_size]; // the paper they were measured on, or
	                           // empty
	paper start;               // the queue's default paper, whose name is
	                           // empty where it has none
	char kept[buffer_size];    // the calibration that the server keeps, or
	                           // empty
};

// Finds the vertical dots that the queue's jobs get. Returns false after
// the error line, also for a queue without a PPD.
bool find_dots(http_t *http, const work *w, const char *queue,
    queue_dots *dots);

#endif
