// SPDX-License-Identifier: MIT
// A PDF page moved on its sheet.
#include "pdf_move.h"

#include <cmath>

namespace {

// The page's turn in quarters, clockwise as it is shown: 0 to 3.
long quarters(const pdf_page *page)
{
	long turn = page->rotate / 90 % 4;
	return turn < 0 ? turn + 4 : turn;
}

}

bool sheet_paper(const pdf_page *page, float size[2])
{
	double unit = page->user_unit;
	double width = fabs(page->box[2] - page->box[0]) * unit;
	double length = fabs(page->box[3] - page->box[1]) * unit;
	if (!std::isfinite(width) || !std::isfinite(length) || width <= 0 ||
	    length <= 0 || width > 1e9 || length > 1e9)
		return false;
	bool across = quarters(page) % 2 == 1;
	size[0] = (float)(across ? length : width);
	size[1] = (float)(across ? width : length);
	return true;
}

void page_move(const pdf_page *page, const double shift[2], double move[2])
{
	double x = shift[0] * 72 / page->user_unit;
	double y = shift[1] * 72 / page->user_unit;
	// The page's x axis points, on the sheet, right, down, left or up as
	// it is turned by 0, 1, 2 or 3 quarters clockwise.
	switch (quarters(page)) {
	case 1:
		move[0] = -y;
		move[1] = x;
		break;
	case 2:
		move[0] = -x;
		move[1] = -y;
		break;
	case 3:
		move[0] = y;
		move[1] = -x;
		break;
	default:
		move[0] = x;
		move[1] = y;
		break;
	}
}
