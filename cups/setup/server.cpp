// SPDX-License-Identifier: MIT
// morvane-setup's requests to the CUPS server.
#include "server.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "adapt.h"
#include "dots.h"
#include "kinds.h"
#include "log.h"
#include "ppd.h"
#include "sizes.h"
#include "text.h"

namespace {

// Copies the response's attribute name, a text, to value: empty where it
// has none.
void copy_attribute(ipp_t *response, const char *name,
    char value[buffer_size])
{
	ipp_attribute_t *found = ippFindAttribute(response, name, IPP_TAG_ZERO);
	const char *text = found != nullptr ? ippGetString(found, 0, nullptr) :
	    nullptr;
	copy_text(value, buffer_size, text != nullptr ? text : "");
}

// Copies the response's attribute name, a text or an integer, to value:
// empty where it has none.
void copy_value(ipp_t *response, const char *name, char value[buffer_size])
{
	ipp_attribute_t *found = ippFindAttribute(response, name, IPP_TAG_ZERO);
	if (found != nullptr && ippGetValueTag(found) == IPP_TAG_INTEGER)
		// NOLINTNEXTLINE(cert-err33-c): a number fits.
		snprintf(value, buffer_size, "%d", ippGetInteger(found, 0));
	else
		copy_attribute(response, name, value);
}

// Whether the server refused for want of rights.
bool rights(ipp_status_t status)
{
	return status == IPP_STATUS_ERROR_FORBIDDEN ||
	    status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
	    status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
	    status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

// Sends request for the queue to the server: a change where ppd is not
// null (with that PPD file where it is not empty). Returns the response, to
// be deleted, or null after the line that says why it failed: a refusal
// for want of rights says how to have them.
ipp_t *ask_server(http_t *http, ipp_t *request, const char *queue,
    const char *ppd)
{
	char server[buffer_size];
	ipp_t *response = ppd != nullptr && ppd[0] != '\0' ?
	    cupsDoFileRequest(http, request, "/admin/", ppd) :
	    cupsDoRequest(http, request, ppd != nullptr ? "/admin/" : "/");
	ipp_status_t status = cupsLastError();
	if (status <= IPP_STATUS_OK_CONFLICTING)
		return response != nullptr ? response : ippNew();
	ippDelete(response);
	if (status == IPP_STATUS_ERROR_NOT_FOUND)
		report_error("there is no queue %s on %s", queue, server_name(server));
	else
		report_error("%s refused to %s %s: %s%s", server_name(server),
		    ppd != nullptr ? "change" : "show", queue, cupsLastErrorString(),
		    rights(status) ? "; run morvane-setup as root (or with sudo)" :
		    "");
	return nullptr;
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

// What the server said of the queue.
void read_facts(ipp_t *response, queue_facts *facts)
{
	copy_attribute(response, dots_option, facts->dots);
	copy_attribute(response, "media-default", facts->media);
	copy_attribute(response, calibration_option, facts->calibration);
	copy_attribute(response, "device-uri", facts->device);
	copy_attribute(response, "printer-state-message", facts->message);
	for (int i = 0; i < shift_count; i++)
		copy_value(response, shift_names[i].option, facts->shifts[i]);
	copy_attribute(response, shifts_note_option, facts->shifts_note);
	int type = ippGetInteger(ippFindAttribute(response, "printer-type",
	    IPP_TAG_ENUM), 0);
	facts->kind = (type & CUPS_PRINTER_CLASS) != 0 ? printer_class :
	    (type & CUPS_PRINTER_REMOTE) != 0 ? remote_printer : local_printer;
	facts->temporary = ippGetBoolean(ippFindAttribute(response,
	    "printer-is-temporary", IPP_TAG_BOOLEAN), 0) != 0;
	ipp_attribute_t *accepting = ippFindAttribute(response,
	    "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
	facts->accepting = accepting == nullptr ||
	    ippGetBoolean(accepting, 0) != 0;
	facts->stopped = ippGetInteger(ippFindAttribute(response,
	    "printer-state", IPP_TAG_ENUM), 0) == IPP_PSTATE_STOPPED;
}

// The path of the printer's PPD on the server: its URI's resource and
// ".ppd", as the server gives it, encoded.
bool ppd_resource(ipp_t *response, const char *queue,
    char resource[HTTP_MAX_URI])
{
	ipp_attribute_t *uri = ippFindAttribute(response,
	    "printer-uri-supported", IPP_TAG_URI);
	char scheme[32], user[HTTP_MAX_URI], host[HTTP_MAX_URI];
	int port = 0;
	size_t length = 0;
	if (uri == nullptr || httpSeparateURI(HTTP_URI_CODING_NONE,
	    ippGetString(uri, 0, nullptr), scheme, sizeof scheme, user,
	    sizeof user, host, sizeof host, &port, resource, HTTP_MAX_URI - 4) <
	    HTTP_URI_STATUS_OK || (length = strlen(resource)) == 0)
		return report_error("the CUPS server gives no address for %s",
		    queue);
	memcpy(resource + length, ".ppd", 5);
	return true;
}

// Writes the printer's PPD from the server to w->given, a new file of
// morvane-setup's own folder: never through a file or link that was
// there. found says whether the printer has one.
bool download_ppd(http_t *http, const work *w, const char *resource,
    const char *queue, bool *found)
{
	char server[buffer_size];
	if (unlink(w->given) != 0 && errno != ENOENT)
		return report_error("cannot remove %s:", w->given);
	int fd = open(w->given, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW |
	    O_CLOEXEC, 0600);
	if (fd < 0)
		return report_error("cannot make %s:", w->given);
	http_status_t status = cupsGetFd(http, resource, fd);
	if (close(fd) != 0)
		return report_error("cannot write %s:", w->given);
	*found = status == HTTP_STATUS_OK;
	if (status == HTTP_STATUS_OK || status == HTTP_STATUS_NOT_FOUND)
		return true;
	return report_error("cannot get the PPD of %s from %s: %s", queue,
	    server_name(server), httpStatus(status));
}

}

const char *server_name(char name[buffer_size])
{
	const char *named = getenv("CUPS_SERVER");
	if (named != nullptr && named[0] != '\0')
		// NOLINTNEXTLINE(cert-err33-c): a name cut short still says it.
		snprintf(name, buffer_size, "the CUPS server %s", named);
	else if (cupsServer()[0] == '/')
		copy_text(name, buffer_size, "the local CUPS server");
	else
		// NOLINTNEXTLINE(cert-err33-c): as above.
		snprintf(name, buffer_size, "the CUPS server %s:%d", cupsServer(),
		    ippPort());
	return name;
}

http_handle connect_server()
{
	http_handle http(httpConnect2(cupsServer(), ippPort(), nullptr,
	    AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr), httpClose);
	char server[buffer_size];
	if (!http)
		report_error("cannot reach %s: %s", server_name(server),
		    cupsLastErrorString());
	return http;
}

bool fetch_queue(http_t *http, const work *w, const char *queue,
    queue_facts *facts)
{
	ipp_t *request = queue_request(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
	const char *const wanted[] = {"printer-name", dots_option,
	    "media-default", calibration_option, "printer-is-temporary",
	    "printer-type", "device-uri", "printer-uri-supported",
	    "printer-state", "printer-state-message",
	    "printer-is-accepting-jobs", shift_names[0].option,
	    shift_names[1].option, shift_names[2].option, shift_names[3].option,
	    shift_names[4].option, shift_names[5].option, shifts_note_option};
	ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD,
	    "requested-attributes", sizeof wanted / sizeof wanted[0], nullptr,
	    wanted);
	ipp_t *response = ask_server(http, request, queue, nullptr);
	if (response == nullptr)
		return false;
	read_facts(response, facts);
	facts->has_ppd = false;
	char resource[HTTP_MAX_URI];
	bool ok = facts->kind != local_printer ||
	    (ppd_resource(response, queue, resource) &&
	    download_ppd(http, w, resource, queue, &facts->has_ppd));
	ippDelete(response);
	facts->ppd = ok && facts->has_ppd ? ppd_at(w->given) : ppd_handle();
	return ok;
}

bool queue_unusable(const char *queue, const queue_facts *facts,
    char why[buffer_size])
{
	int n = 0;
	if (facts->kind == printer_class)
		n = snprintf(why, buffer_size, "%s is a class, whose members print "
		    "its jobs with their own PPDs: set up each member (lpstat -c %s "
		    "lists them)", queue, queue);
	else if (facts->kind == remote_printer)
		n = snprintf(why, buffer_size, "%s is a queue of another CUPS "
		    "server, which keeps its PPD: run morvane-setup there", queue);
	else if (facts->has_ppd)
		return false;
	else if (has_prefix(facts->device, facts->device + strlen(facts->device),
	    "ipp"))
		n = snprintf(why, buffer_size, "%s has no PPD: lpadmin -m everywhere "
		    "makes none for a printer that takes only raster; lpadmin -p %s "
		    "-m driverless:%s gives it one", queue, queue, facts->device);
	else
		n = snprintf(why, buffer_size, "%s is a raw queue, with no PPD: its "
		    "jobs reach the printer through no filter; lpadmin -p %s -m "
		    "MODEL gives it one", queue, queue);
	if (n < 0 || n >= buffer_size)
		copy_text(why, buffer_size, "the queue cannot be set up");
	return true;
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
	ipp_t *response = ask_server(http, request, queue, w->adapted);
	ippDelete(response);
	return response != nullptr;
}

bool forget_calibration(http_t *http, const char *queue)
{
	ipp_t *request = queue_request(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
	ippAddOutOfBand(request, IPP_TAG_PRINTER, IPP_TAG_DELETEATTR,
	    calibration_option);
	ipp_t *response = ask_server(http, request, queue, "");
	ippDelete(response);
	return response != nullptr;
}

bool change_defaults(http_t *http, const char *queue,
    const queue_default *defaults, int count)
{
	ipp_t *request = queue_request(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
	for (int i = 0; i < count; i++)
		if (defaults[i].value != nullptr)
			ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME,
			    defaults[i].option, nullptr, defaults[i].value);
		else
			ippAddOutOfBand(request, IPP_TAG_PRINTER, IPP_TAG_DELETEATTR,
			    defaults[i].option);
	ipp_t *response = ask_server(http, request, queue, "");
	ippDelete(response);
	return response != nullptr;
}

int server_queues(http_t *http, cups_dest_t **dests)
{
	*dests = nullptr;
	char server[buffer_size];
	int count = cupsGetDests2(http, dests);
	if (count == 0 && cupsLastError() > IPP_STATUS_OK_CONFLICTING &&
	    cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
		return report_error("cannot list the queues of %s: %s",
		    server_name(server), cupsLastErrorString()) ? 0 : -1;
	return count;
}

bool given_filters(const work *w, ppd_filters *filters)
{
	FILE *in = fopen(w->given, "rb");
	if (in == nullptr)
		return report_error("cannot read %s:", w->given);
	read_filters(in, filters);
	(void)fclose(in);
	return true;
}

bool find_dots(const work *w, const queue_facts *facts, queue_dots *dots)
{
	const char *option = facts->dots;
	ppd_filters filters = {};
	if (!given_filters(w, &filters))
		return false;
	ppd_file_t *ppd = facts->ppd.get();
	const char *attribute = ppd != nullptr ? ppd_dots(ppd) : nullptr;
	dots_source source = dots_in_effect(option[0] != '\0' ? option : nullptr,
	    attribute);
	dots->runs_filter = filters.runs_filter;
	const printer_kind *kind = kind_of(&filters);
	copy_text(dots->filter, sizeof dots->filter, filters.runs_filter ?
	    filters.running : kind->program != nullptr ? kind->program :
	    "morvane-filter");
	dots->source = source == dots_from_option ?
	    "the queue's morvane-vertical-dots-default" :
	    "its PPD's *MorvaneVerticalDots";
	copy_text(dots->value, buffer_size, source == dots_from_option ?
	    option : source == dots_from_ppd ? attribute : "");
	paper reference;
	copy_text(dots->reference, buffer_size,
	    reference_paper(ppd, &reference) ? reference.name : "");
	if (!default_paper(ppd, facts->media[0] != '\0' ? facts->media :
	    nullptr, &dots->start))
		dots->start.name[0] = '\0';
	copy_text(dots->kept, buffer_size, facts->calibration);
	return true;
}

bool ask_queue(http_t *http, const work *w, const char *queue,
    queue_facts *facts, queue_dots *dots)
{
	char why[buffer_size];
	if (!fetch_queue(http, w, queue, facts))
		return false;
	if (queue_unusable(queue, facts, why))
		return report_error("%s", why);
	return find_dots(w, facts, dots);
}
