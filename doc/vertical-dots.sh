#!/bin/sh
# SPDX-License-Identifier: MIT
# Draws doc/vertical-dots.svg from morvane's own records: a sheet, and the
# page moved as pstops moves it (by the printed offsets times 72 points),
# for two values of VERTICAL_DOTS measured on A4, on A4 and on Letter,
# where the filter gives morvane the value moved to the paper. CI draws it
# anew and compares.
# Usage: sh doc/vertical-dots.sh MORVANE >doc/vertical-dots.svg
set -eu
morvane=$1
page=$(mktemp)
trap 'rm -f "$page"' EXIT
# DOTS, measured on A4 (842 points), on a sheet named NAME, W by H.
for run in "150 A4 595 842" "3473 A4 595 842" "3473 Letter 612 792"; do
	set -- $run
	printf '<< /PageSize [%s %s] >> setpagedevice\n' "$3" "$4" >"$page"
	paper=$(awk -v d="$1" -v l="$4" \
	    'BEGIN { printf "%.17g", l == 842 ? d : d + 300 * (l - 842) / 72 }')
	"$morvane" - - - - - "$paper" pstops in.ps out.ps "$page" | sed -n \
	    "s/^CMDARGV=-w\([^ ]*\) -h\([^ ]*\) 1:0@1.0(\(.*\)in,\(.*\)in).*/$1 $2 \1 \2 \3 \4/p"
done | awk '
	# Points: y grows upwards from the bottom of the sheet; the picture
	# is a fifth of that size, with y growing downwards.
	{ dots[NR] = $1; name[NR] = $2; w[NR] = $3; h[NR] = $4; ox[NR] = $5; oy[NR] = $6 }
	function y(points) { return 70 + (high - points) / 5 }
	END {
		low = 0
		high = 0
		for (i = 1; i <= NR; i++) {
			if (h[i] > high) high = h[i]
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
			printf "<text x=\"%d\" y=\"18\" font-weight=\"bold\">VERTICAL_DOTS %s, %s</text>\n", x, dots[i], name[i]
			printf "<text x=\"%d\" y=\"34\">offset %s in</text>\n", x, oy[i]
			mm = oy[i] * 25.4
			where = mm >= 0.05 ? sprintf("%.1f mm above", mm) : mm <= -0.05 ? sprintf("%.1f mm below", -mm) : "at"
			printf "<text x=\"%d\" y=\"50\">page top %s the sheet top</text>\n", x, where
			printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"black\" stroke-width=\"2\"/>\n", x, y(h[i]), w[i] / 5, h[i] / 5
			printf "<text x=\"%.1f\" y=\"%.1f\">%s sheet</text>\n", x + 4, y(h[i]) + 16, name[i]
			printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#3070c0\" fill-opacity=\"0.3\" stroke=\"#3070c0\" stroke-dasharray=\"6 3\"/>\n", page_x, page_y, w[i] / 5, h[i] / 5
			printf "<text x=\"%.1f\" y=\"%.1f\" fill=\"#1a4a8a\">page</text>\n", page_x + 4, page_y + 32
		}
		printf "</svg>\n"
	}'
