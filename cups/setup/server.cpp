// SPDX-License-Identifier: MIT
// morvane-setup's requests to the CUPS server.
#include "server.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "adapt.h"
#include "dots.h"
#include "kinds.h"
#include "log.h"
#include "ppd.h"
#include "sizes.h"

namespace {

// Copies the response's attribute name, a text, to value: empty where it
// has none.
void copy_attribute(ipp_t *response, const char *name,
    char value[buffer_size])
{
	ipp_attribute_t *found = ippFindAttribute(response, name, IPP_TAG_ZERO);
	const char *text = found != nullptr ? ippGetString(found, 0, nullptr) :
	    nullptr;
	// NOLINTNEXTLINE(cert-err33-c): a value cut short still shows.
	snprintf(value, buffer_size, "%s", text != nullptr ? text : "");
}

// Sends request for the queue to the server, with the PPD file ppd where
// it is not null; the queue's defaults go to defaults. Returns false after
// the line that says why it failed: a refusal for want of rights says how
// to have them.
bool ask_server(http_t *http, ipp_t *request, const char *queue,
    const char *ppd, queue_defaults *defaults)
{
	char server[buffer_size];
	ipp_t *response = ppd != nullptr ?
	    cupsDoFileRequest(http, request, "/admin/", ppd) :
	    cupsDoRequest(http, request, "/");
	copy_attribute(response, dots_option, defaults->dots);
	copy_attribute(response, "media-default", defaults->media);
	copy_attribute(response, calibration_option, defaults->calibration);
	defaults->temporary = ippGetBoolean(ippFindAttribute(response,
	    "printer-is-temporary", IPP_TAG_BOOLEAN), 0) != 0;
	ippDelete(response);
	ipp_status_t status = cupsLastError();
	if (status <= IPP_STATUS_OK_CONFLICTING)
		return true;
	if (status == IPP_STATUS_ERROR_NOT_FOUND)
		return report_error("there is no queue %s on the CUPS server %s",
		    queue, server_name(server));
	bool rights = status == IPP_STATUS_ERROR_FORBIDDEN ||
	    status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
	    status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
	    status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
	return report_error("the CUPS server %s refused to %s %s: %s%s",
	    server_name(server), ppd != nullptr ? "change" : "show", queue,
	    cupsLastErrorString(), rights ? "; run morvane-setup as root (or "
	    "with sudo)" : "");
}

// A request of op for the queue, with the operation's attributes, which
// come first.
ipp_t *queue_request(ipp_op_t op, const char *queue)
{
	char uri[HTTP_MAX_URI];
	httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr,
	    "localhost", 0, "/printers/%s", queue);
	ipp_t *request = ippNewRequest(op);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri",
	    nullptr, uri);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME,
	    "requesting-user-name", nullptr, cupsUser());
	return request;
}

}

const char *server_name(char name[buffer_size])
{
	// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
	snprintf(name, buffer_size, "%s:%d", cupsServer(), ippPort());
	return name;
}

http_handle connect_server()
{
	http_handle http(httpConnect2(cupsServer(), ippPort(), nullptr,
	    AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr), httpClose);
	char server[buffer_size];
	if (!http)
		report_error("cannot reach the CUPS server %s: %s",
		    server_name(server), cupsLastErrorString());
	return http;
}

bool fetch_queue(http_t *http, const work *w, const char *queue,
    queue_defaults *defaults)
{
	ipp_t *request = queue_request(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
	const char *const wanted[] = {"printer-name", dots_option,
	    "media-default", calibration_option, "printer-is-temporary"};
	ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD,
	    "requested-attributes", 5, nullptr, wanted);
	if (!ask_server(http, request, queue, nullptr, defaults))
		return false;
	char path[buffer_size], server[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c): as long as the work's.
	snprintf(path, sizeof path, "%s", w->given);
	// On the server's own machine, cupsGetPPD3 makes path a symbolic link
	// to the server's PPD of the queue; for a queue whose PPD it cannot
	// read there (a raw queue, a class), it writes through path. The link
	// made for the queue before would have it empty that queue's PPD.
	if (unlink(path) != 0 && errno != ENOENT)
		return report_error("cannot remove %s:", path);
	time_t modified = 0;
	http_status_t status = cupsGetPPD3(http, queue, &modified, path,
	    sizeof path);
	defaults->has_ppd = status == HTTP_STATUS_OK;
	if (status == HTTP_STATUS_OK || status == HTTP_STATUS_NOT_FOUND)
		return true;
	return report_error("cannot get the PPD of %s from the CUPS server %s: "
	    "%s", queue, server_name(server), cupsLastErrorString());
}

bool install_ppd(http_t *http, const work *w, const char *queue,
    const queue_settings *settings)
{
	ipp_t *request = queue_request(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
	if (settings->dots != nullptr)
		ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, dots_option,
		    nullptr, settings->dots);
	if (settings->calibration != nullptr)
		ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME,
		    calibration_option, nullptr, settings->calibration);
	else
		ippAddOutOfBand(request, IPP_TAG_PRINTER, IPP_TAG_DELETEATTR,
		    calibration_option);
	queue_defaults defaults;
	return ask_server(http, request, queue, w->adapted, &defaults);
}

int server_queues(http_t *http, cups_dest_t **dests)
{
	*dests = nullptr;
	char server[buffer_size];
	int count = cupsGetDests2(http, dests);
	if (count == 0 && cupsLastError() > IPP_STATUS_OK_CONFLICTING &&
	    cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
		return report_error("cannot list the queues of the CUPS server %s: %s",
		    server_name(server), cupsLastErrorString()) ? 0 : -1;
	return count;
}

bool find_dots(http_t *http, const work *w, const char *queue,
    queue_dots *dots)
{
	queue_defaults defaults;
	char attribute[buffer_size];
	if (!fetch_queue(http, w, queue, &defaults))
		return false;
	if (!defaults.has_ppd)
		return report_error("the queue %s has no PPD", queue);
	const char *option = defaults.dots;
	FILE *in = fopen(w->given, "rb");
	if (in == nullptr)
		return report_error("cannot read the PPD of %s:", queue);
	ppd_filters filters;
	read_filters(in, &filters);
	(void)fclose(in);
	bool in_ppd = ppd_dots_at(w->given, attribute);
	dots_source source = dots_in_effect(option[0] != '\0' ? option : nullptr,
	    in_ppd ? attribute : nullptr);
	dots->runs_filter = filters.runs_filter;
	const printer_kind *kind = kind_of(&filters);
	// NOLINTNEXTLINE(cert-err33-c): morvane's names fit.
	snprintf(dots->filter, sizeof dots->filter, "%s", filters.runs_filter ?
	    filters.running : kind->program != nullptr ? kind->program :
	    "morvane-filter");
	dots->source = source == dots_from_option ?
	    "the queue's morvane-vertical-dots-default" :
	    "its PPD's *MorvaneVerticalDots";
	// NOLINTNEXTLINE(cert-err33-c): both came from buffers of this size.
	snprintf(dots->value, buffer_size, "%s", source == dots_from_option ?
	    option : source == dots_from_ppd ? attribute : "");
	paper reference;
	// NOLINTNEXTLINE(cert-err33-c): as long as the name's.
	snprintf(dots->reference, buffer_size, "%s",
	    reference_paper(w->given, &reference) ? reference.name : "");
	if (!default_paper(w->given, defaults.media[0] != '\0' ? defaults.media :
	    nullptr, &dots->start))
		dots->start.name[0] = '\0';
	// NOLINTNEXTLINE(cert-err33-c): as long as the default's.
	snprintf(dots->kept, buffer_size, "%s", defaults.calibration);
	return true;
}
