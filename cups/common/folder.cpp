// SPDX-License-Identifier: MIT
// A run's private folder.
#include "folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <unistd.h>

#include "log.h"

const char *setting(const char *name, const char *fallback)
{
	const char *value = getenv(name);
	return value != nullptr && *value != '\0' ? value : fallback;
}

bool make_folder(const char *program, char folder[folder_size])
{
	const char *tmpdir = setting("TMPDIR", "/tmp");
	if (snprintf(folder, folder_size, "%s/%s.XXXXXX", tmpdir, program) >=
	    folder_size)
		return report_error("the name of TMPDIR is too long");
	if (mkdtemp(folder) == nullptr)
		return report_error("cannot make a folder in %s:", tmpdir);
	return true;
}

void path_in(char path[buffer_size], const char *folder, const char *name)
{
	// NOLINTNEXTLINE(cert-err33-c): it fits, as make_folder made sure.
	snprintf(path, buffer_size, "%s/%s", folder, name);
}

void remove_folder(const char *folder)
{
	// The folder holds only files: the run's and what its programs left.
	DIR *entries = opendir(folder);
	if (entries != nullptr) {
		for (dirent *entry; (entry = readdir(entries)) != nullptr;)
			if (strcmp(entry->d_name, ".") != 0 &&
			    strcmp(entry->d_name, "..") != 0)
				unlinkat(dirfd(entries), entry->d_name, 0);
		closedir(entries);
	}
	if (rmdir(folder) != 0)
		debug("cannot remove %s:", folder);
}
