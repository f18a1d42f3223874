// SPDX-License-Identifier: MIT
// morvane-setup's requests to the CUPS server.
#include "server.h"

#include <cstdio>

#include "adapt.h"
#include "dots.h"
#include "log.h"
#include "ppd.h"

namespace {

// Sends request for the queue to the server, with the PPD file ppd where
// it is not null; the queue's default for the dots goes to dots, empty
// where it has none. Returns false after the line that says why it failed.
bool ask_server(http_t *http, ipp_t *request, const char *queue,
    const char *ppd, char dots[buffer_size])
{
	char server[buffer_size];
	ipp_t *response = ppd != nullptr ?
	    cupsDoFileRequest(http, request, "/admin/", ppd) :
	    cupsDoRequest(http, request, "/");
	ipp_attribute_t *found = ippFindAttribute(response, dots_option,
	    IPP_TAG_ZERO);
	const char *value = found != nullptr ? ippGetString(found, 0, nullptr) :
	    nullptr;
	// NOLINTNEXTLINE(cert-err33-c): a value cut short still shows.
	snprintf(dots, buffer_size, "%s", value != nullptr ? value : "");
	ippDelete(response);
	ipp_status_t status = cupsLastError();
	if (status <= IPP_STATUS_OK_CONFLICTING)
		return true;
	if (status == IPP_STATUS_ERROR_NOT_FOUND)
		return report_error("there is no queue %s on the CUPS server %s",
		    queue, server_name(server));
	return report_error("the CUPS server %s refused to %s %s: %s",
	    server_name(server), ppd != nullptr ? "change" : "show", queue,
	    cupsLastErrorString());
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
    char option[buffer_size])
{
	ipp_t *request = queue_request(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
	const char *const wanted[] = {"printer-name", dots_option};
	ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD,
	    "requested-attributes", 2, nullptr, wanted);
	if (!ask_server(http, request, queue, nullptr, option))
		return false;
	char path[buffer_size], server[buffer_size];
	// NOLINTNEXTLINE(cert-err33-c): as long as the work's.
	snprintf(path, sizeof path, "%s", w->given);
	time_t modified = 0;
	http_status_t status = cupsGetPPD3(http, queue, &modified, path,
	    sizeof path);
	if (status == HTTP_STATUS_OK)
		return true;
	if (status == HTTP_STATUS_NOT_FOUND)
		return report_error("the queue %s has no PPD", queue);
	return report_error("cannot get the PPD of %s from the CUPS server %s: "
	    "%s", queue, server_name(server), cupsLastErrorString());
}

bool install_ppd(http_t *http, const work *w, const char *queue,
    const char *dots)
{
	ipp_t *request = queue_request(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
	if (dots != nullptr)
		ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, dots_option,
		    nullptr, dots);
	char option[buffer_size];
	return ask_server(http, request, queue, w->adapted, option);
}

bool find_dots(http_t *http, const work *w, const char *queue,
    queue_dots *dots)
{
	char option[buffer_size], attribute[buffer_size];
	if (!fetch_queue(http, w, queue, option))
		return false;
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
	dots->source = source == dots_from_option ?
	    "the queue's morvane-vertical-dots-default" :
	    "its PPD's *MorvaneVerticalDots";
	// NOLINTNEXTLINE(cert-err33-c): both came from buffers of this size.
	snprintf(dots->value, buffer_size, "%s", source == dots_from_option ?
	    option : source == dots_from_ppd ? attribute : "");
	return true;
}
