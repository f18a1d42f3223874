#!/bin/sh
# SPDX-License-Identifier: MIT
# Draws doc/vertical-dots.svg from morvane's own records: an A4 sheet, and
# the A4 page moved as pstops moves it (by the printed offsets times 72
# points) for two values of VERTICAL_DOTS. CI draws it anew and compares.
# Usage: sh doc/vertical-dots.sh MORVANE >doc/vertical-dots.svg
set -eu
morvane=$1
page=$(mktemp)
trap 'rm -f "$page"' EXIT
printf '<< /PageSize [595 842] >> setpagedevice\n' >"$page"
for dots in 150 3473; do
	"$morvane" - - - - - "$dots" pstops in.ps out.ps "$page" | sed -n \
	    "s/^CMDARGV=-w\([^ ]*\) -h\([^ ]*\) 1:0@1.0(\(.*\)in,\(.*\)in).*/$dots \1 \2 \3 \4/p"
done | awk '
	# Points: y grows upwards from the bottom of the sheet; the picture
	# is a fifth of that size, with y growing downwards.
	{ dots[NR] = $1; w[NR] = $2; h[NR] = $3; ox[NR] = $4; oy[NR] = $5 }
	function y(points) { return 70 + (high - points) / 5 }
	END {
		low = 0
		high = h[1]
		for (i = 1; i <= NR; i++) {
			if (72 * oy[i] < low) low = 72 * oy[i]
			if (72 * oy[i] + h[i] > high) high = 72 * oy[i] + h[i]
		}
		printf "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"sans-serif\" font-size=\"12\">\n", 40 + 260 * NR, y(low) + 20
		printf "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
		for (i = 1; i <= NR; i++) {
			# The top left corners of the sheet and of the page.
			x = 40 + 260 * (i - 1)
			page_x = x + 72 * ox[i] / 5
			page_y = y(72 * oy[i] + h[i])
			printf "<text x=\"%d\" y=\"18\" font-weight=\"bold\">VERTICAL_DOTS %s</text>\n", x, dots[i]
			printf "<text x=\"%d\" y=\"34\">offset %s in</text>\n", x, oy[i]
			printf "<text x=\"%d\" y=\"50\">page top %.1f mm above the bottom</text>\n", x, (72 * oy[i] + h[i]) / 72 * 25.4
			printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"black\" stroke-width=\"2\"/>\n", x, y(h[i]), w[i] / 5, h[i] / 5
			printf "<text x=\"%.1f\" y=\"%.1f\">A4 sheet</text>\n", x + 4, y(h[i]) + 16
			printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#3070c0\" fill-opacity=\"0.3\" stroke=\"#3070c0\" stroke-dasharray=\"6 3\"/>\n", page_x, page_y, w[i] / 5, h[i] / 5
			printf "<text x=\"%.1f\" y=\"%.1f\" fill=\"#1a4a8a\">page</text>\n", page_x + 4, page_y + 32
		}
		printf "</svg>\n"
	}'
