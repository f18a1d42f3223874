// SPDX-License-Identifier: MIT
// A run's private folder, and the settings that the environment gives.
#ifndef MORVANE_FOLDER_H
#define MORVANE_FOLDER_H

#include "morvane.h"

// The value of the environment variable name, or fallback where it is
// unset or empty.
const char *setting(const char *name, const char *fallback);

// A private folder under $TMPDIR (default /tmp), named after the program:
// its name leaves room for the names of the files in it. Returns false
// after the error line.
constexpr int folder_size = buffer_size - 16;
bool make_folder(const char *program, char folder[folder_size]);

// The path of the file name in folder, which leaves room for it.
void path_in(char path[buffer_size], const char *folder, const char *name);

// Removes the folder and the files in it; only a debug line tells when
// it cannot.
void remove_folder(const char *folder);

#endif
