// SPDX-License-Identifier: MIT
// The moves of a raster page on its sheet: its lines, in pixels of every
// depth and layout, and their runs.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lines.h"
#include "raster_move.h"

namespace {

cups_page_header2_t header(unsigned width, unsigned bits_per_color,
    unsigned colors, cups_order_t order, cups_cspace_t space)
{
	cups_page_header2_t h;
	memset(&h, 0, sizeof h);
	h.cupsWidth = width;
	h.cupsHeight = 10;
	h.cupsBitsPerColor = bits_per_color;
	h.cupsBitsPerPixel = order == CUPS_ORDER_CHUNKED ?
	    bits_per_color * colors : bits_per_color;
	h.cupsColorOrder = order;
	h.cupsColorSpace = space;
	unsigned segment = order == CUPS_ORDER_CHUNKED ?
	    (width * bits_per_color * colors + 7) / 8 :
	    (width * bits_per_color + 7) / 8;
	h.cupsBytesPerLine = order == CUPS_ORDER_BANDED ? segment * colors : segment;
	h.cupsNumColors = colors;
	h.HWResolution[0] = 300;
	h.HWResolution[1] = 600;
	return h;
}

std::string bits(const std::vector<unsigned char> &line)
{
	std::string text;
	for (unsigned char byte : line)
		for (int bit = 7; bit >= 0; bit--)
			text += (byte >> bit & 1) ? '1' : '0';
	return text;
}

std::vector<unsigned char> from_bits(const std::string &text)
{
	std::vector<unsigned char> line(text.size() / 8);
	for (size_t i = 0; i < text.size(); i++)
		if (text[i] == '1')
			line[i / 8] |= (unsigned char)(0x80 >> i % 8);
	return line;
}

}

TEST(move_line, moves_every_depth_and_layout_and_whitens_what_comes_in)
{
	const struct {
		const char *what;
		cups_page_header2_t h;
		long columns;
		std::string in;
		std::string out;
	} cases[] = {
		// 1-bit black: a pixel a bit, ink is 1, white is 0.
		{"1 bit right", header(16, 1, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K), 3,
		    "1100000000000011", "0001100000000000"},
		{"1 bit left", header(16, 1, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K), -3,
		    "1100000000000011", "0000000000011000"},
		{"1 bit by bytes", header(16, 1, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K),
		    8, "1010101100000000", "0000000010101011"},
		// 1-bit white: white is 1, so what comes in is 1.
		{"1 bit sW", header(16, 1, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_SW), 2,
		    "0011111111111110", "1100111111111111"},
		// 2 and 4 bits a pixel: whole pixels move.
		{"2 bits", header(8, 2, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K), 1,
		    "0110110000000011", "0001101100000000"},
		{"4 bits", header(4, 4, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K), -1,
		    "1001000000001111", "0000000011110000"},
		// 8 bits: gray, white 0xff.
		{"8 bits gray", header(2, 8, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_SW), 1,
		    "0000000110000000", "1111111100000001"},
		// 24 bits: RGB pixels of three bytes.
		{"24 bits", header(2, 8, 3, CUPS_ORDER_CHUNKED, CUPS_CSPACE_SRGB), -1,
		    "000000010000001000000011111111111111111111111111",
		    "111111111111111111111111111111111111111111111111"},
		{"16 bits a color", header(1, 16, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K),
		    0, "1000000000000001", "1000000000000001"},
		// Bands: each color's band moves on its own.
		{"banded CMY", header(8, 1, 3, CUPS_ORDER_BANDED, CUPS_CSPACE_CMY), 1,
		    "100000011000000010000001", "010000000100000001000000"},
		// A move past the page leaves it white.
		{"cut whole", header(16, 1, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K), 40,
		    "1111111111111111", "0000000000000000"},
	};
	for (const auto &c : cases) {
		raster_layout layout;
		ASSERT_TRUE(read_layout(&c.h, &layout)) << c.what;
		std::vector<unsigned char> in = from_bits(c.in);
		std::vector<unsigned char> out(in.size(), 0x5a);
		move_line(&layout, c.columns, in.data(), out.data());
		EXPECT_EQ(bits(out), c.out) << c.what;
	}
}

TEST(read_layout, refuses_a_line_too_short_for_its_pixels)
{
	cups_page_header2_t h = header(16, 8, 3, CUPS_ORDER_CHUNKED,
	    CUPS_CSPACE_RGB);
	raster_layout layout;
	EXPECT_TRUE(read_layout(&h, &layout));
	EXPECT_EQ(layout.white, 0xff);
	h.cupsBytesPerLine = 47;
	EXPECT_FALSE(read_layout(&h, &layout));
	h = header(16, 0, 1, CUPS_ORDER_CHUNKED, CUPS_CSPACE_K);
	EXPECT_FALSE(read_layout(&h, &layout));
	h = header(16, 8, 4, CUPS_ORDER_PLANAR, CUPS_CSPACE_CMYK);
	ASSERT_TRUE(read_layout(&h, &layout));
	EXPECT_EQ(layout.planes, 4u);
	EXPECT_EQ(layout.white, 0);
	h.cupsNumColors = 0;
	EXPECT_FALSE(read_layout(&h, &layout));
}

TEST(move_for_page, turns_the_move_of_a_back_side_as_the_printer_turns_it)
{
	// 0.1 inch right and 0.05 inch up: 30 columns, and 30 lines up at
	// 600 lines an inch.
	const double shift[2] = {0.1, 0.05};
	const struct {
		back_side back;
		bool duplex;
		bool tumble;
		long page;
		long columns;
		long lines;
	} cases[] = {
		{back_normal, true, false, 2, 30, -30},
		{back_rotated, false, false, 2, 30, -30},
		{back_rotated, true, false, 1, 30, -30},
		{back_rotated, true, false, 2, -30, 30},
		{back_rotated, true, true, 2, 30, -30},
		{back_flipped, true, false, 2, 30, 30},
		{back_flipped, true, true, 4, -30, -30},
		{back_manual_tumble, true, true, 2, -30, 30},
		{back_manual_tumble, true, false, 2, 30, -30},
	};
	for (const auto &c : cases) {
		cups_page_header2_t h = header(8, 8, 1, CUPS_ORDER_CHUNKED,
		    CUPS_CSPACE_SW);
		h.Duplex = c.duplex ? CUPS_TRUE : CUPS_FALSE;
		h.Tumble = c.tumble ? CUPS_TRUE : CUPS_FALSE;
		raster_move move = move_for_page(&h, c.back, c.page, shift);
		EXPECT_EQ(move.columns, c.columns) << c.back << " page " << c.page;
		EXPECT_EQ(move.lines, c.lines) << c.back << " page " << c.page;
	}
	EXPECT_EQ(read_back_side("Rotated"), back_rotated);
	EXPECT_EQ(read_back_side("flipped"), back_flipped);
	EXPECT_EQ(read_back_side("ManualTumble"), back_manual_tumble);
	EXPECT_EQ(read_back_side("Sideways"), back_normal);
	EXPECT_EQ(read_back_side(""), back_normal);
}

TEST(runs, decode_what_they_encode_and_read_the_fill_of_a_line)
{
	const struct {
		const char *what;
		line_format f;
		std::vector<unsigned char> line;
		std::vector<unsigned char> runs;
	} cases[] = {
		{"one byte alone", {.bytes = 1, .unit = 1, .white = 0xff}, {7},
		    {0, 7}},
		{"a repeat, then bytes as they are", {.bytes = 6, .unit = 1,
		    .white = 0xff}, {5, 5, 5, 1, 2, 3}, {2, 5, 254, 1, 2, 3}},
		{"pixels of three bytes", {.bytes = 9, .unit = 3, .white = 0xff},
		    {1, 2, 3, 1, 2, 3, 9, 9, 9}, {1, 1, 2, 3, 0, 9, 9, 9}},
	};
	for (const auto &c : cases) {
		std::vector<unsigned char> runs(runs_room(&c.f));
		runs.resize(encode_runs(&c.f, c.line.data(), runs.data()));
		EXPECT_EQ(runs, c.runs) << c.what;
		std::vector<unsigned char> line(c.f.bytes);
		EXPECT_EQ(decode_runs(&c.f, runs.data(), runs.size(), line.data()),
		    runs.size()) << c.what;
		EXPECT_EQ(line, c.line) << c.what;
		// Cut short, the runs are no line.
		EXPECT_EQ(decode_runs(&c.f, runs.data(), runs.size() - 1,
		    line.data()), 0u) << c.what;
	}
	// Long runs: 300 white bytes and 200 bytes that differ, and back.
	const line_format f = {.bytes = 500, .unit = 1, .white = 0};
	std::vector<unsigned char> line(500, 0), back(500, 1);
	for (int i = 300; i < 500; i++)
		line[i] = (unsigned char)(i % 2 ? i : 255 - i % 7);
	std::vector<unsigned char> runs(runs_room(&f));
	size_t length = encode_runs(&f, line.data(), runs.data());
	EXPECT_EQ(decode_runs(&f, runs.data(), length, back.data()), length);
	EXPECT_EQ(back, line);
	// Single units between pairs take two bytes for every unit of three:
	// more than the line.
	std::vector<unsigned char> pairs(300);
	for (size_t i = 0; i < pairs.size(); i++)
		pairs[i] = (unsigned char)(i % 3 == 0 ? i : i / 3 * 3 + 1);
	const line_format p = {.bytes = 300, .unit = 1, .white = 0};
	std::vector<unsigned char> room(2 * runs_room(&p));
	size_t encoded = encode_runs(&p, pairs.data(), room.data());
	EXPECT_GT(encoded, 300u);
	EXPECT_LE(encoded, runs_room(&p));
	std::vector<unsigned char> again(300);
	EXPECT_EQ(decode_runs(&p, room.data(), encoded, again.data()), encoded);
	EXPECT_EQ(again, pairs);
	// 128 fills the rest of the line with white; a run past the line's
	// end is refused.
	const unsigned char fill[] = {1, 9, 128};
	EXPECT_EQ(decode_runs(&f, fill, 3, back.data()), 3u);
	EXPECT_EQ(back[1], 9);
	EXPECT_EQ(back[2], 0);
	EXPECT_EQ(back[499], 0);
	const unsigned char over[] = {127, 1, 127, 1, 127, 1, 127, 1, 127, 1};
	EXPECT_EQ(decode_runs(&f, over, sizeof over, back.data()), 0u);
}
