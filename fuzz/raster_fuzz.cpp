// SPDX-License-Identifier: MIT
// morvane-raster's reading of a compressed raster line, which comes from
// the job: the runs of a line of any length and unit decoded, encoded again
// within runs_room and decoded back to the same bytes, and the line moved
// in a layout of any depth. The first six bytes choose the line's length,
// unit and white, the depth and the move; the rest are the runs.
#include <cstdint>
#include <cstring>
#include <vector>

#include "lines.h"
#include "raster_move.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (size < 6)
		return 0;
	size_t unit = 1 + data[2] % 8;
	size_t bytes = (1 + (data[0] | data[1] << 8) % 4000 + unit - 1) / unit *
	    unit;
	const line_format f = {.bytes = bytes, .unit = unit,
	    .white = (unsigned char)(data[3] & 1 ? 0xff : 0)};
	std::vector<unsigned char> line(bytes), runs(runs_room(&f)), back(bytes);
	size_t used = decode_runs(&f, data + 6, size - 6, line.data());
	if (used > size - 6)
		__builtin_trap();
	if (used != 0) {
		size_t length = encode_runs(&f, line.data(), runs.data());
		if (length > runs.size() ||
		    decode_runs(&f, runs.data(), length, back.data()) != length ||
		    back != line)
			__builtin_trap();
	}
	cups_page_header2_t h;
	memset(&h, 0, sizeof h);
	h.cupsBitsPerPixel = h.cupsBitsPerColor = 1 + data[4] % 32;
	h.cupsWidth = (unsigned)(bytes * 8 / h.cupsBitsPerPixel);
	h.cupsBytesPerLine = (unsigned)bytes;
	h.cupsNumColors = 1;
	h.cupsHeight = 1;
	raster_layout layout;
	if (read_layout(&h, &layout)) {
		std::vector<unsigned char> moved(bytes);
		move_line(&layout, (long)(int8_t)data[5] * 37, line.data(),
		    moved.data());
	}
	return 0;
}
