// SPDX-License-Identifier: MIT
// A PDF page moved on its sheet: the sheet's paper as the page lies on it,
// and the move in the page's own space, turned by its /Rotate.
#ifndef MORVANE_PDF_MOVE_H
#define MORVANE_PDF_MOVE_H

// What a page says of where it lies: its /MediaBox, its /Rotate in
// degrees, and its /UserUnit (1 where it has none).
struct pdf_page {
	double box[4];
	long rotate;
	double user_unit;
};

// The page's paper in points as the sheet has it, width then length: a
// page turned a quarter lies across its box. Returns false where the box
// is not a paper (not finite, or empty).
bool sheet_paper(const pdf_page *page, float size[2]);

// The move, in the page's space, that shifts its content by shift inches
// rightwards and upwards on the sheet.
void page_move(const pdf_page *page, const double shift[2], double move[2]);

#endif
