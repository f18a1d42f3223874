#!/bin/sh
# SPDX-License-Identifier: MIT
# Times a one-page PDF job end to end through a private cupsd, from its
# submission to "Job completed." in the log: on a queue of the filter and
# on CUPS's own PostScript queue of the same PPD, taking turns, RUNS times
# each. Prints the median of each, their ratio and their difference, and
# with BENCH_PSTOPS_MS the difference in runs of pstops of that many ms.
# BENCH_PPD names another PPD with the filter's line (the sample's by
# default), and BENCH_OPTIONS the job's options for lp, such as
# "-n 10 -o collate=true", which CUPS sends as 10 documents where the PPD
# has no *Collate.
# Needs cupsd, the CUPS clients, cups-filters, ghostscript and psutils.
# Usage: bench/cupsd.sh [DIR [RUNS]]   (DIR holds morvane and morvane-filter)
set -eu
build=$(cd "${1:-build}" && pwd)
runs=${2:-20}
[ -x "$build/morvane-filter" ] || { echo "no $build/morvane-filter: build first" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/common.sh"
PATH=$PATH:/usr/sbin:/sbin
tmp=$(mktemp -d)
trap 'stop_cupsd; rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT PIPE TERM
install -m 755 "$build/morvane" "$tmp/morvane"
start_cupsd "$tmp" "$build/morvane-filter" "$tmp/morvane" info ||
    { cat "$tmp/log/error_log"; exit 1; }

ppd=${BENCH_PPD:-$here/../cups/ppd/morvane.ppd}
grep -v '^\*cupsFilter' "$ppd" >"$tmp/cups.ppd"
lpadmin -p morvane -E -v "save:$tmp/printed" -P "$ppd" 2>/dev/null
lpadmin -p cups -E -v "save:$tmp/printed" -P "$tmp/cups.ppd" 2>/dev/null
printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 1' '%%EndComments' '%%Page: 1 1' \
    '/Times-Roman findfont 24 scalefont setfont 100 400 moveto' \
    '(One page) show 100 100 moveto 400 700 lineto stroke showpage' \
    '%%EOF' >"$tmp/job.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$tmp/job.pdf" "$tmp/job.ps"

job=$tmp/job.pdf
. "$here/jobs.sh"
time_job morvane ${BENCH_OPTIONS:-} >/dev/null
time_job cups ${BENCH_OPTIONS:-} >/dev/null
for i in $(seq "$runs"); do
	time_job morvane ${BENCH_OPTIONS:-} >>"$tmp/morvane.ms"
	time_job cups ${BENCH_OPTIONS:-} >>"$tmp/cups.ms"
done
m=$(median "$tmp/morvane.ms") c=$(median "$tmp/cups.ms")
echo "one-page PDF job${BENCH_OPTIONS:+ ($BENCH_OPTIONS)}, submission to completion, median of $runs:"
echo "  morvane queue: $m ms"
echo "  CUPS's own queue of the same PPD: $c ms"
awk -v m="$m" -v c="$c" -v floor="${BENCH_PSTOPS_MS:-}" 'BEGIN {
	printf "  ratio: %.2f (target on Debian 12 <= 1.25), difference %d ms\n", m / c, m - c
	if (floor != "")
		printf "  difference / one run of pstops (%d ms): %.2f (target <= 1.25)\n", floor, (m - c) / floor
}'
