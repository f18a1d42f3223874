// SPDX-License-Identifier: MIT
// A job's PDF with each page's content moved, read and written by libqpdf.
#ifndef MORVANE_DOCUMENT_H
#define MORVANE_DOCUMENT_H

#include "filter_job.h"

// Moves the content of every page of the PDF file by the shift of its
// paper, clipped to the page as it was, and writes the PDF to standard
// output. Returns false after the error line; nothing is written where a
// page cannot be moved.
bool move_pdf(const char *file, filter_job *job);

#endif
