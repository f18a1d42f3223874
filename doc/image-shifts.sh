#!/bin/sh
# SPDX-License-Identifier: MIT
# Draws doc/image-shifts.svg from morvane-filter's own layout: a two-sided
# A4 job on the sample PPD (a duplex option added) with the queue's value
# 3473, x-image-shift=2000 for both sides and y-side2-image-shift=3000 for
# the back; each side's sheet, as it is read, and the page moved as pstops
# moves it. CI draws it anew and compares.
# Usage: sh doc/image-shifts.sh BUILD PPD >doc/image-shifts.svg
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{ cat "$2"
printf '*OpenUI *Duplex: PickOne\n*DefaultDuplex: None\n'
printf '*Duplex None: ""\n*Duplex DuplexNoTumble: ""\n*CloseUI: *Duplex\n'
} >"$work/duplex.ppd"
printf '%%!PS-Adobe-3.0\n%%%%Page: 1 1\nshowpage\n%%%%Page: 2 2\nshowpage\n' \
    >"$work/job.ps"
options="sides=two-sided-long-edge x-image-shift=2000 y-side2-image-shift=3000"
PPD="$work/duplex.ppd" MORVANE="$build/morvane" TMPDIR="$work" \
    "$build/morvane-filter" 1 user title 1 "$options" "$work/job.ps" \
    2>"$work/log" >/dev/null
sed -n 's/^DEBUG: morvane-filter: image shifts: 2:0@1.0(\(.*\)in,\(.*\)in),1@1.0(\(.*\)in,\(.*\)in)$/front \1 \2\nback \3 \4/p' \
    "$work/log" | awk '
	# Points: y grows upwards from the bottom of the sheet; the picture
	# is a fifth of that size, with y growing downwards.
	{ side[NR] = $1; ox[NR] = $2; oy[NR] = $3 }
	function y(points) { return 110 + (842 - points) / 5 }
	END {
		printf "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"sans-serif\" font-size=\"12\">\n", 40 + 260 * NR, y(0) + 20
		printf "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
		for (i = 1; i <= NR; i++) {
			x = 40 + 260 * (i - 1)
			page_x = x + 72 * ox[i] / 5
			page_y = y(72 * oy[i] + 842)
			printf "<text x=\"%d\" y=\"18\" font-weight=\"bold\">%s side, as it is read</text>\n", x, side[i]
			printf "<text x=\"%d\" y=\"34\">offset %s in across</text>\n", x, ox[i]
			printf "<text x=\"%d\" y=\"50\">offset %s in up</text>\n", x, oy[i]
			down = sprintf("%.1f", -oy[i] * 25.4)
			if (down == "-0.0") down = "0.0"
			printf "<text x=\"%d\" y=\"66\">page %.1f mm right, %s mm down</text>\n", x, ox[i] * 25.4, down
			printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"black\" stroke-width=\"2\"/>\n", x, y(842), 595 / 5, 842 / 5
			printf "<text x=\"%.1f\" y=\"%.1f\">A4 sheet</text>\n", x + 4, y(842) + 16
			printf "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#3070c0\" fill-opacity=\"0.3\" stroke=\"#3070c0\" stroke-dasharray=\"6 3\"/>\n", page_x, page_y, 595 / 5, 842 / 5
			printf "<text x=\"%.1f\" y=\"%.1f\" fill=\"#1a4a8a\">page</text>\n", page_x + 4, page_y + 32
		}
		printf "</svg>\n"
	}'
