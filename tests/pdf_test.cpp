// SPDX-License-Identifier: MIT
// The move of a PDF page's content on its sheet, in its own turned space.
#include <gtest/gtest.h>

#include "pdf_move.h"

TEST(page_move, moves_the_content_as_the_sheet_has_the_page)
{
	// 1 inch right and 0.5 inch up on the sheet.
	const double shift[2] = {1, 0.5};
	const struct {
		pdf_page page;
		float paper[2];
		double move[2];
	} cases[] = {
		{{{0, 0, 612, 792}, 0, 1}, {612, 792}, {72, 36}},
		{{{0, 0, 792, 612}, 90, 1}, {612, 792}, {-36, 72}},
		{{{0, 0, 612, 792}, 180, 1}, {612, 792}, {-72, -36}},
		{{{0, 0, 792, 612}, 270, 1}, {612, 792}, {36, -72}},
		{{{0, 0, 792, 612}, -90, 1}, {612, 792}, {36, -72}},
		{{{0, 0, 612, 792}, 450, 1}, {792, 612}, {-36, 72}},
		// A box that does not start at 0, and one given upside down.
		{{{100, 50, 712, 842}, 0, 1}, {612, 792}, {72, 36}},
		{{{612, 792, 0, 0}, 0, 1}, {612, 792}, {72, 36}},
		// A page of larger units moves by fewer of them.
		{{{0, 0, 306, 396}, 0, 2}, {612, 792}, {36, 18}},
	};
	for (const auto &c : cases) {
		float paper[2];
		ASSERT_TRUE(sheet_paper(&c.page, paper));
		EXPECT_FLOAT_EQ(paper[0], c.paper[0]) << c.page.rotate;
		EXPECT_FLOAT_EQ(paper[1], c.paper[1]) << c.page.rotate;
		double move[2];
		page_move(&c.page, shift, move);
		EXPECT_DOUBLE_EQ(move[0], c.move[0]) << c.page.rotate;
		EXPECT_DOUBLE_EQ(move[1], c.move[1]) << c.page.rotate;
	}
	const pdf_page empty = {{0, 0, 0, 792}, 0, 1};
	const pdf_page huge = {{0, 0, 1e300, 792}, 0, 1};
	float paper[2];
	EXPECT_FALSE(sheet_paper(&empty, paper));
	EXPECT_FALSE(sheet_paper(&huge, paper));
}
