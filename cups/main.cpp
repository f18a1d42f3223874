// SPDX-License-Identifier: MIT
// morvane-filter: a CUPS filter that fits a PostScript job to its page size.
//
// Called as CUPS calls a filter, with the queue's PPD named by $PPD:
//   morvane-filter job user title copies options [file]
// It reads the job from FILE or standard input, takes the page size that
// the job's options mark in the PPD, runs morvane on it and then the
// command of morvane's record (psutils' pstops, or a copy), and writes the
// result to standard output.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "filter.h"

// The path of a file in the job's folder, whose name leaves room for it.
static void path_in(char path[buffer_size], const char *folder,
    const char *name)
{
	// NOLINTNEXTLINE(cert-err33-c): it fits, as make_folder made sure.
	snprintf(path, buffer_size, "%s/%s", folder, name);
}

// The job's files in its private folder have fixed names, so that the
// record's words hold no white space and no name that starts with "-".
static bool stage_job(const char *folder, const char *file, int input)
{
	char path[buffer_size], target[buffer_size];
	path_in(path, folder, "in.ps");
	if (file != nullptr) {
		// A link is enough: the job's file stays where it is. The link is
		// read from inside the folder, so it needs an absolute name.
		int length = 0;
		if (file[0] != '/') {
			if (getcwd(target, sizeof target - 1) == nullptr)
				return report_error("cannot find the job %s: %s", file,
				    strerror(errno));
			length = (int)strlen(target);
			target[length++] = '/';
		}
		if (snprintf(target + length, sizeof target - length, "%s", file) >=
		    (int)sizeof target - length)
			return report_error("the job's file name is too long: %s",
			    file);
		if (symlink(target, path) != 0)
			return report_error("cannot link the job into %s: %s", folder,
			    strerror(errno));
		return true;
	}
	int staged = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	if (staged < 0)
		return report_error("cannot make %s: %s", path, strerror(errno));
	bool ok = copy_all(input, staged, "cannot read the job");
	if (close(staged) != 0 && ok)
		return report_error("cannot write %s: %s", path, strerror(errno));
	return ok;
}

static bool write_page_size(const char *path, const page_setup *setup)
{
	char text[buffer_size] = "";
	int length = setup->has_size ?
	    format_page_size(text, setup->width, setup->length) : 0;
	int file = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	bool ok = file >= 0 && write(file, text, length) == length;
	if (file >= 0 && close(file) != 0)
		ok = false;
	return ok || report_error("cannot write %s: %s", path, strerror(errno));
}

static bool send_file(const char *folder, const char *name)
{
	char path[buffer_size];
	path_in(path, folder, name);
	int file = open(path, O_RDONLY | O_CLOEXEC);
	if (file < 0)
		return report_error("cannot read %s: %s", path, strerror(errno));
	bool ok = copy_all(file, STDOUT_FILENO, "cannot write the job");
	close(file);
	return ok;
}

// Runs morvane on the staged job and checks what it printed. Returns the
// kind of record, and its command's argument vector in argv.
static record_kind run_morvane(char *const args[], const char *folder,
    const page_setup *setup, const char *pstops, char record[buffer_size],
    const char *argv[record_words])
{
	const char *morvane = setting("MORVANE", "morvane");
	char page_size[buffer_size];
	path_in(page_size, folder, "page.size");
	if (!write_page_size(page_size, setup))
		return refused_record;
	const char *command[] = {morvane, args[1], args[2], args[3], args[4],
	    args[5], setup->vertical_dots, pstops, "in.ps", "out.ps", page_size,
	    nullptr};
	run_result result;
	if (!run_program(command, nullptr, record, &result))
		return refused_record;
	record_kind kind = refused_record;
	if (result.status != 0)
		report_error("%s failed with status %d", morvane, result.status);
	else if (result.stderr_bytes != 0)
		report_error("%s reported an error", morvane);
	else if ((kind = accept_record(record, pstops, argv)) == refused_record)
		report_error("%s printed no usable command record", morvane);
	return kind;
}

static bool print_job(char *const args[], const char *file,
    const char *folder, int input, const page_setup *setup)
{
	const char *pstops = setting("MORVANE_PSTOPS", PSTOPS_PATH);
	if (pstops[0] != '/')
		return report_error("pstops must be named by an absolute path, "
		    "not %s", pstops);
	char record[buffer_size];
	const char *argv[record_words];
	if (!stage_job(folder, file, input))
		return false;
	record_kind kind = run_morvane(args, folder, setup, pstops, record, argv);
	if (kind == refused_record)
		return false;
	if (kind == copy_record) {
		debug("page size unknown: the job passes unchanged");
		return send_file(folder, "in.ps");
	}
	debug("page size %s: %s %s %s %s in.ps out.ps", setup->size_name,
	    argv[0], argv[1], argv[2], argv[3]);
	// Quiet, pstops reports errors but not each page: on a large job those
	// reports would flood the log and take a third of the time.
	const char *command[record_words + 1] = {argv[0], "-q", argv[1],
	    argv[2], argv[3], argv[4], argv[5], nullptr};
	run_result result;
	if (!run_program(command, folder, nullptr, &result))
		return false;
	if (result.status != 0)
		return report_error("%s failed with status %d", pstops,
		    result.status);
	return send_file(folder, "out.ps");
}

// Prints the job from file, or from standard input when file is null.
// Returns the exit status.
static int print(char *const args[], const char *file,
    const page_setup *setup)
{
	int input = STDIN_FILENO;
	if (file != nullptr && (input = open(file, O_RDONLY | O_CLOEXEC)) < 0) {
		report_error("cannot read the job %s: %s", file, strerror(errno));
		return 1;
	}
	bool ok;
	char folder[folder_size];
	if (!setup->has_dots) {
		debug("the PPD has no *MorvaneVerticalDots: the job passes "
		    "unchanged");
		ok = copy_all(input, STDOUT_FILENO, "cannot write the job");
	} else if ((ok = make_folder(folder))) {
		ok = print_job(args, file, folder, input, setup);
		remove_folder(folder);
	}
	return ok && !cancel_requested() ? 0 : 1;
}

// Descriptors 0 to 2 stay taken, so that no file of the filter's lands
// on one and gets the log or the job: a closed standard output is an error,
// and the others are opened on /dev/null.
static bool take_standard_streams()
{
	bool output_closed = fcntl(STDOUT_FILENO, F_GETFD) < 0;
	for (int fd = 0; fd <= 2; fd++)
		if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd)
			return false;
	return !output_closed || report_error("standard output is closed");
}

int main(int argc, char *argv[])
{
	// A filter further down that fails must not kill this one unheard.
	(void)signal(SIGPIPE, SIG_IGN);
	catch_cancel();
	if (!take_standard_streams())
		return 1;
	if (argc != 6 && argc != 7) {
		report_error("usage: morvane-filter job user title copies options "
		    "[file]");
		return 1;
	}
	const char *ppd = setting("PPD", nullptr);
	page_setup setup = {};
	if (ppd == nullptr)
		report_error("no PPD file: PPD is not set");
	else if (read_page_setup(ppd, argv[5], &setup))
		return print(argv, argc == 7 ? argv[6] : nullptr, &setup);
	return 1;
}
