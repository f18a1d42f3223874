// SPDX-License-Identifier: MIT
// What morvane-setup asks of the CUPS server: a queue's PPD and its
// default for the vertical dots, and a new PPD for it.
#ifndef MORVANE_SERVER_H
#define MORVANE_SERVER_H

#include <memory>

#include <cups/cups.h>

#include "image_shift.h"
#include "ppd.h"
#include "shifts.h"
#include "sizes.h"
#include "work.h"

using http_handle = std::unique_ptr<http_t, decltype(&httpClose)>;

// A connection to the server; empty after the error line.
http_handle connect_server();

// The server, for the messages: "the CUPS server NAME" as the user named
// it (CUPS_SERVER, or the host and port of client.conf), or "the local CUPS
// server" where libcups takes its own socket.
const char *server_name(char name[buffer_size]);

// The queue's default for the vertical dots, as the server keeps it.
constexpr char dots_option[] = "morvane-vertical-dots-default";

// What a queue of the server is: a printer of its own, a class of
// printers, or a printer of another server that it only passes jobs to.
enum queue_kind { local_printer, printer_class, remote_printer };

// What the server says of a queue besides its PPD: its defaults for the
// dots and for the paper (a PWG name), each empty where it has none.
struct queue_facts {
	char dots[buffer_size];
	char media[buffer_size];
	char calibration[buffer_size]; // what morvane-setup kept of it
	char shifts[shift_count][buffer_size]; // its image shift defaults,
	                           // by shift_names, as text
	char shifts_note[buffer_size]; // those that morvane-setup set
	char device[buffer_size];  // its device URI, where the server tells
	char message[buffer_size]; // its printer's last word, or empty
	queue_kind kind;
	bool has_ppd;              // the queue has a PPD, in w->given
	ppd_handle ppd;            // that PPD, open once, or empty where
	                           // libcups cannot read it
	bool temporary;            // CUPS made it for a printer that it found,
	                           // and deletes it when it is idle
	bool accepting;            // it takes new jobs
	bool stopped;              // it holds its jobs: disabled, or its
	                           // printer stopped
};

// Asks the server about the queue; a printer's PPD goes to w->given, a
// file of morvane-setup's own folder that nothing else links to, where it
// has one. Only reads. Returns false after the error line.
bool fetch_queue(http_t *http, const work *w, const char *queue,
    queue_facts *facts);

// Why morvane-setup cannot set up the queue, in why: a class, a queue of
// another server, or one without a PPD (with what to do instead). Returns
// false where it can.
bool queue_unusable(const char *queue, const queue_facts *facts,
    char why[buffer_size]);

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

// Drops the calibration that the server keeps of the queue, and nothing
// else. Returns false after the error line.
bool forget_calibration(http_t *http, const char *queue);

// A default of the queue's to set to value, or to drop where value is
// null.
struct queue_default {
	const char *option;
	const char *value;
};

// Sets or drops the queue's defaults, and nothing else. Returns false
// after the error line.
bool change_defaults(http_t *http, const char *queue,
    const queue_default *defaults, int count);

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

// The filter lines of the queue's PPD, in w->given. Returns false after
// the error line.
bool given_filters(const work *w, ppd_filters *filters);

// Finds the vertical dots that the jobs of a queue with a PPD get, from
// what fetch_queue found. Returns false after the error line.
bool find_dots(const work *w, const queue_facts *facts, queue_dots *dots);

// Asks the server about a queue that morvane-setup can set up, and finds
// the vertical dots that its jobs get. Returns false after the error line,
// also for a queue that it cannot set up.
bool ask_queue(http_t *http, const work *w, const char *queue,
    queue_facts *facts, queue_dots *dots);

#endif
