// SPDX-License-Identifier: MIT
// The filter's PostScript procedure sets.
#include "procsets.h"

#include <cstdio>

// The document's own requests of the device reach the printer, where
// pstops would swallow them, as they do without the filter. A request in
// a page then gives the page the shift of morvane's record for the size in
// effect, from the printer's default matrix for that size, as pstops'
// code at the page's start gives it (where the sides are shifted apart,
// its side's: sides_apart below); a size without a record stops the job
// with an error on the printer. Outside the pages, a request for the size
// of the job's record (the document's setup may ask for it) gives pstops
// the printer's default matrix for it; one for another size, which every
// page would get with the shift of the record's, is swallowed. The
// procedure set goes before pstops', to find the printer's own
// procedures; the table of shifts and the new setpagedevice after it.
//
// Its procedures, all in userdict:
//   MorvaneSetPageDevice, MorvaneDefaultMatrix: the printer's own
//     setpagedevice and defaultmatrix, found before pstops replaces them.
//   MorvanePageSize: W H -> row | null. Takes a page size in points and
//     leaves the row [W H DX DY] of MorvanePageSizes within a point of it,
//     or null where the table has none.
//   MorvanePageDevice: dict -> (nothing). Takes setpagedevice's place, as
//     the table puts it. In a page (pstops' PStoPSsaved is known) it calls
//     the printer's setpagedevice, then sets the page's matrix and clip
//     from the row of the new size: a size without one stops the job with
//     setpagedevice's rangecheck. Outside the pages, a request for the
//     record's size (the table's first row) calls the printer's
//     setpagedevice and gives pstops' PStoPSmatrix the new default matrix;
//     one for another size is popped; one without a size is the printer's.
const char page_device[] =
    "%%BeginProcSet: morvane-page-size 1 0\n"
    "userdict begin\n"
    "/MorvaneSetPageDevice/setpagedevice load def\n"
    "/MorvaneDefaultMatrix/defaultmatrix load def\n"
    "/MorvanePageSize{null MorvanePageSizes{dup 0 get 4 index sub abs 1 le\n"
    " 1 index 1 get 4 index sub abs 1 le and{exch pop exit}{pop}ifelse}forall\n"
    " 3 1 roll pop pop}def\n"
    "/MorvanePageDevice{userdict/PStoPSsaved known{MorvaneSetPageDevice true}\n"
    " {dup/PageSize known{dup/PageSize get aload pop MorvanePageSize\n"
    "   MorvanePageSizes 0 get eq{MorvaneSetPageDevice\n"
    "   userdict/PStoPSmatrix matrix MorvaneDefaultMatrix put}{pop}ifelse}\n"
    "  {MorvaneSetPageDevice}ifelse false}ifelse\n"
    " {currentpagedevice/PageSize get aload pop MorvanePageSize dup null eq\n"
    "  {pop/setpagedevice errordict/rangecheck get exec}if\n"
    "  matrix MorvaneDefaultMatrix setmatrix dup 2 get 1 index 3 get translate\n"
    "  userdict/PStoPSmatrix matrix currentmatrix put\n"
    "  userdict/MorvanePage 3 -1 roll put\n"
    "  userdict/PStoPSclip{0 0 moveto MorvanePage 0 get 0 rlineto\n"
    "   0 MorvanePage 1 get rlineto MorvanePage 0 get neg 0 rlineto\n"
    "   closepath}put\n"
    "  initclip PStoPSxform concat}if}def\n"
    "end\n"
    "%%EndProcSet\n";

// The table is "[[W H DX DY] ...]", the shifts in points, stored as
// MorvanePageSizes; the row of the record's size comes first.
void begin_shifts(shift_rows *rows)
{
	rows->used = snprintf(rows->text, buffer_size, "%%%%BeginProcSet: "
	    "morvane-page-sizes 1 0\nuserdict/MorvanePageSizes[");
}

void add_shift(shift_rows *rows, const float size[2], const double shift[2])
{
	if (rows->used < buffer_size)
		rows->used += snprintf(rows->text + rows->used,
		    buffer_size - rows->used, "[%g %g %.6f %.6f]", (double)size[0],
		    (double)size[1], shift[0] * 72, shift[1] * 72);
}

// Where the sides are shifted apart, the table's one row holds the front's
// shift, and pstops' code at a page's start the shift of the page's side,
// in PStoPSmatrix. MorvanePageDevice then becomes a procedure that, in a
// page, takes that page's shift from PStoPSmatrix (from the printer's
// default matrix before the request) and, where the page's size stays,
// gives it back on the default matrix after the request: the page keeps
// its side's place. MorvaneFrontDevice is the procedure of the table, kept
// once for all the documents of the job.
static const char sides_apart[] =
    "userdict/MorvaneFrontDevice known not\n"
    " {userdict/MorvaneFrontDevice/MorvanePageDevice load put}if\n"
    "userdict/MorvanePageDevice{userdict/PStoPSsaved known\n"
    " {currentpagedevice/PageSize get aload pop 2 array astore\n"
    "  PStoPSmatrix matrix MorvaneDefaultMatrix matrix invertmatrix\n"
    "  matrix concatmatrix 3 -1 roll MorvaneFrontDevice\n"
    "  exch aload pop currentpagedevice/PageSize get aload pop\n"
    "  3 -1 roll sub abs 1 le 3 1 roll sub abs 1 le and\n"
    "  {matrix MorvaneDefaultMatrix setmatrix concat\n"
    "   userdict/PStoPSmatrix matrix currentmatrix put\n"
    "   initclip PStoPSxform concat}{pop}ifelse}\n"
    " {MorvaneFrontDevice}ifelse}put\n";

bool end_shifts(shift_rows *rows, bool sided)
{
	const char end[] = "userdict/setpagedevice/MorvanePageDevice load "
	    "put\n%%EndProcSet\n";
	if (rows->used < buffer_size)
		rows->used += snprintf(rows->text + rows->used,
		    buffer_size - rows->used, "]put\n%s%s", sided ? sides_apart :
		    "", end);
	return rows->used < buffer_size;
}
