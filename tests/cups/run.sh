#!/bin/sh
# SPDX-License-Identifier: MIT
# Tests the CUPS filter. It runs the filter directly, on its failure paths
# and on every way a job can come in, then prints jobs of every kind
# through a private cupsd (a child process on 127.0.0.1 with folders of
# its own), each on a queue of the filter and on a queue of CUPS's own made
# from the same PPD. ghostscript, as the printer, must find the same
# documents, JCL, pages and device settings in both, and every page's ink
# moved by morvane's record for its paper.
#   run.sh MORVANE FILTER PPD  the built programs; the server's filter
#                              folder is the system's with FILTER added
#   run.sh --installed         the installed programs, and the model that
#                              lpinfo -m lists
# FILTER_WRAPPER (valgrind, say) runs the filter in the direct runs.
# Exits 77 (skipped) where a program that it needs is missing.
# This script is the runner: it makes the test's folder, starts the
# server, runs the numbered case files of its folder in their order, then
# submits the jobs that they listed, waits for them and compares them.
# The case files list jobs in $tmp/jobs (both queues of a pair),
# $tmp/failing (jobs that must fail) and $tmp/calibrations; the last,
# 8-server.sh, runs on every queue of the server after the jobs.
set -u
cases=$(cd "$(dirname "$0")" && pwd)
here=${cases%/*}
. "$here/common.sh"
PATH=$PATH:/usr/sbin:/sbin
installed=
if [ "${1:-}" = --installed ]; then
	installed=yes
	set -- "$(command -v morvane)" /usr/lib/cups/filter/morvane-filter \
	    /usr/share/ppd/morvane/morvane.ppd
	setup_program=/usr/sbin/morvane-setup
fi
[ $# -eq 3 ] || { echo "usage: $0 morvane filter ppd | --installed" >&2; exit 2; }
needs cups pstops psutils
needs cups cupsd cups-daemon
needs cups lpadmin cups-client
needs cups gs ghostscript
needs cups /usr/lib/cups/filter/pstops cups
needs cups /usr/lib/cups/filter/texttopdf cups-filters
needs cups /usr/lib/cups/filter/foomatic-rip cups-filters
needs cups cupsfilter cups
needs cups groff groff-base
needs cups pdftops poppler-utils
needs cups ippeveprinter cups-ipp-utils
needs cups ipptool cups-ipp-utils
needs cups dbus-daemon dbus-daemon
# Debian's own python3, which has Debian's python3-dbus and python3-gi.
needs cups /usr/bin/python3 python3
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null || {
	echo "cups: skipped, python3's dbus and gi are not installed (Debian packages python3-dbus python3-gi)" |
	    tee -a "${MORVANE_SKIP_REASONS:-/dev/null}"
	exit 77
}

tmp=$(mktemp -d) || exit 2
# A filter that cupsd left running may still be removing its own files.
# The driverless printers and their bus end first: each is listed in
# $tmp/helpers.
stop_helpers() {
	[ -s "$tmp/helpers" ] || return 0
	kill $(cat "$tmp/helpers") 2>/dev/null
	: >"$tmp/helpers"
}
trap 'stop_helpers; stop_cupsd; [ -n "${KEEP:-}" ] || rm -rf "$tmp" 2>/dev/null ||
    { sleep 1; rm -rf "$tmp"; }' EXIT
trap 'exit 1' HUP INT PIPE TERM
mkdir -p "$tmp/fake" "$tmp/by-hand" "$tmp/filter-tmp" "$tmp/reports"
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/${1##*/}"; }
morvane=$(absolute "$1") filter=$(absolute "$2") sample=$(absolute "$3")
setup_program=${setup_program:-${filter%/*}/morvane-setup}
pstops=$(command -v pstops)
job=$tmp/job.ps
# For the direct runs, its title is a line longer than the filter's
# buffer, before pstops' procedure set.
printf '%s\n' '%!PS-Adobe-3.0' "%%Title: $(printf '%01500d' 0)" '%%Pages: 2' \
    '%%EndComments' '%%Page: 1 1' \
    '150 100 moveto 300 300 lineto stroke showpage' '%%Page: 2 2' \
    '150 300 moveto 350 100 lineto stroke showpage' '%%EOF' >"$job"

# own_dots PPD WIDTH LENGTH: the PPD's own value for the paper of that
# size (within a point), *MorvaneVerticalDots NAME, or nothing.
own_dots() {
	tr -d '\r' <"$1" | sed -n 's/^\*MorvaneVerticalDots \([^:]*\): "\(.*\)"/\1 \2/p' |
	    while read -r name value; do
		set -- "$1" "$2" "$3" $(dimensions "$1" "$name")
		awk -v w="$2" -v l="$3" -v pw="$4" -v pl="$5" 'BEGIN {
		    exit !(w - pw <= 1 && pw - w <= 1 && l - pl <= 1 && pl - l <= 1) }' &&
		    echo "$value"
	done | head -n 1
}

# effective_dots PPD DOTS WIDTH LENGTH: what morvane gets for the paper:
# its own value, or DOTS moved from the paper that they were measured on.
effective_dots() {
	own=$(own_dots "$1" "$3" "$4")
	if [ -n "$own" ]; then echo "$own"; else paper_dots "$2" "$4" "$(reference "$1")"; fi
}

# job_dots PPD OPTIONS DEFAULT: the vertical dots that a job of OPTIONS
# gets, as the filter takes them: the job's option, which CUPS fills in
# from the queue's DEFAULT, else the PPD's.
job_dots() {
	case " $2 " in
	*" morvane-vertical-dots="*)
		set -- "${2#*morvane-vertical-dots=}"
		echo "${1%% *}" ;;
	*) if [ -n "$3" ]; then echo "$3"; else tr -d '\r' <"$1" |
	    sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p'; fi ;;
	esac
}

# dimensions PPD SIZE: "WIDTH LENGTH" of SIZE, a name in PPD or WxH.
dimensions() {
	case $2 in
	*x*) echo "$2" | tr x ' ' ;;
	*) tr -d '\r' <"$1" |
	    sed -n "s|^\*PaperDimension $2[/:][^\"]*\"\(.*\)\"|\1|p" ;;
	esac
}

# reference PPD: the length of the paper that the PPD's value of the dots
# was measured on, its *MorvaneReferenceSize or its default size.
reference() {
	set -- "$1" "$(tr -d '\r' <"$1" |
	    sed -n 's/^\*MorvaneReferenceSize: "\(.*\)"/\1/p')"
	[ -n "$2" ] || set -- "$1" "$(tr -d '\r' <"$1" |
	    sed -n 's/^\*DefaultPageSize: *\([^ ]*\).*/\1/p')"
	set -- $(dimensions "$1" "$2")
	echo "${2:-}"
}

# paper_dots DOTS LENGTH REFERENCE: the dots that morvane gets for a paper
# LENGTH points long, for a value measured on one REFERENCE points long:
# the page moves by the same distance from the sheet's top edge.
paper_dots() {
	if [ -z "$3" ] || [ "$2" = "$3" ]; then
		echo "$1"
	else
		awk -v d="$1" -v l="$2" -v r="$3" \
		    'BEGIN { printf "%.17g\n", d + 300 * (l - r) / 72 }'
	fi
}

# by_hand PPD SIZE [PSTOPS]: morvane's record for SIZE (a name in PPD, or
# WxH) naming PSTOPS, in $record, and what it and pstops make of the job,
# in by-hand/out.ps.
by_hand() {
	rm -f "$tmp/by-hand/"*
	cp "$job" "$tmp/by-hand/in.ps"
	dimensions=$(dimensions "$1" "$2")
	echo "PageSize [$dimensions]" >"$tmp/by-hand/page.size"
	dots=$(job_dots "$1" "$options" "${queue_default:-}")
	dots=$(effective_dots "$1" "$dots" $dimensions)
	record=$("$morvane" - - - - - "$dots" "${3:-$pstops}" in.ps out.ps \
	    "$tmp/by-hand/page.size")
	(cd "$tmp/by-hand" && run_record "$record" 2>/dev/null)
}

# without_page_sizes FILE: the filter's output without the procedure sets
# that let the pages ask for their own size, which the cupsd jobs check.
without_page_sizes() {
	sed '/^%%BeginProcSet: morvane-page-sizes* 1 0$/,/^%%EndProcSet$/d' "$1"
}

. "$cases/1-filter.sh"

# The server, with the filter under test among the system's filters.
if [ -z "$installed" ]; then
	install -m 755 "$morvane" "$tmp/morvane"
	morvane=$tmp/morvane
fi
start_cupsd "$tmp" "${installed:-$filter}" "$morvane" debug ||
    { cat "$tmp/log/error_log"; finish; exit 1; }
# morvane-setup's cupsfilter finds the server's filters.
export CUPS_SERVERBIN="$tmp/bin"

: >"$tmp/jobs"
: >"$tmp/failing"
: >"$tmp/calibrations"
: >"$tmp/driverless-calibrations"
: >"$tmp/helpers"
. "$cases/2-queues.sh"
. "$cases/3-setup.sh"
. "$cases/4-jobs.sh"
. "$cases/5-calibration.sh"
. "$cases/6-driverless.sh"
. "$cases/7-papers.sh"
# ONLY=REGEX runs only the jobs whose line matches it.
if [ -n "${ONLY:-}" ]; then
	grep -E -e "$ONLY" "$tmp/jobs" >"$tmp/only" || :
	mv "$tmp/only" "$tmp/jobs"
fi

# Every job goes to both queues at once; the server runs them side by side.
# A driverless printer's job has a title of its own, which names what the
# printer kept.
: >"$tmp/submitted"
: >"$tmp/titled"
n=0
while read -r queue file size options; do
	for twin in "$queue" "$queue-cups"; do
		n=$((n + 1)) title=title
		! grep -q -x -F "$queue" "$tmp/driverless" || title=job$n
		request=$(lp -d "$twin" -t $title $options "$tmp/$file" 2>"$tmp/err") ||
		    { fail "$twin $file $options: $(cat "$tmp/err")"; request=-0; }
		# A request that lp refused is no job: its ID is 0.
		id=${request#*"$twin"-} id=${id%% *}
		printf '%s ' "$id" >>"$tmp/submitted"
		[ "$title" = title ] || echo "$id $title" >>"$tmp/titled"
	done
	echo "$queue $file $size $options" >>"$tmp/submitted"
done <"$tmp/jobs"

# A job has ended when the log says that it completed or stopped: a job
# whose filter fails stays stopped. Each job counts once, and only the jobs
# submitted above. The wait fails when no job has ended for 30 s, time
# for the slowest on a busy machine, and names the jobs left.
{
	awk '{ if ($1 > 0) print $1; if ($2 > 0) print $2 }' "$tmp/submitted"
	cut -d' ' -f1 "$tmp/calibrations" "$tmp/failing" "$tmp/driverless-calibrations"
} >"$tmp/ids"
ended() {
	grep -a -o -E '\[Job [0-9]+\] Job (completed|stopped)' "$tmp/log/error_log" |
	    sed 's/^\[Job \([0-9]*\)\].*/\1/' | sort -u |
	    grep -c -x -F -f "$tmp/ids"
}
jobs=$(sort -u "$tmp/ids" | wc -l)
done=$(ended) still=0
while [ "$done" -lt "$jobs" ] && [ "$still" -lt 300 ]; do
	sleep 0.1
	now=$(ended)
	if [ "$now" -eq "$done" ]; then still=$((still + 1)); else still=0; fi
	done=$now
done
[ "$done" -ge "$jobs" ] ||
    { fail "waited 30 s for a job to end; $((jobs - done)) left:"; lpstat -o; }

# What a driverless printer kept of a job, under the job's ID.
while read -r id title; do
	for kept in prn settings; do
		[ ! -e "$tmp/printed/ipp-$title.$kept" ] ||
		    mv "$tmp/printed/ipp-$title.$kept" "$tmp/printed/$id.$kept"
	done
done <"$tmp/titled"

# report OUTPUT PREFIX: splits a printer's input into its JCL (PREFIX.jcl,
# without the job's ID) and its documents, and writes what ghostscript
# finds on each document's pages to PREFIX.N. Prints the documents' count.
report() {
	# A PDF is one document.
	if [ "$(head -c 5 "$1")" = "%PDF-" ]; then
		timeout 20 gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox \
		    -sstdout=%stderr "$here/device.ps" "$1" >"$2.1" 2>&1
		touch "$2.jcl"
		echo 1
		return
	fi
	# A printer that renders the job has reported on its pages itself.
	if ! grep -a -q '%!PS' "$1" && grep -q '^%%HiResBoundingBox:' "$1"; then
		cp "$1" "$2.1"
		touch "$2.jcl"
		echo 1
		return
	fi
	awk -v p="$2" '
	    !doc && /^%!PS-Adobe/ { n++; doc = 1 }
	    doc { print > (p "." n ".ps") }
	    !doc { sub(/DISPLAY = "[0-9]+ /, "DISPLAY = \"ID "); print > (p ".jcl") }
	    doc && /^%%EOF/ { doc = 0; close(p "." n ".ps") }
	    END { print n + 0 }' "$1"
	touch "$2.jcl"
	for doc in "$2".*.ps; do
		[ -e "$doc" ] || continue
		timeout 20 gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox \
		    -sstdout=%stderr "$here/device.ps" "$doc" >"${doc%.ps}" 2>&1
	done
}

# shifts PPD SIZE REPORT: for each paper WxH on the device in the report,
# the shift in inches of morvane's record for it, "PAPER DX DY"; for the
# device's first paper, which no job sets, the shift for SIZE.
shifts() {
	for paper in $(sed -n 's/^[0-9]* device PageSize \[\(.*\) \(.*\)\]$/\1x\2/p' \
	    "$3" | sort -u); do
		if [ "$paper" = 1000x1400 ] && [ "$2" != - ]; then
			by_hand "$1" "$2"
		else
			echo "PageSize [$(echo "$paper" | tr x ' ')]" >"$tmp/paper.size"
			record=$("$morvane" - - - - - \
			    "$(effective_dots "$1" "$dots" "${paper%x*}" "${paper#*x}")" \
			    pstops in out "$tmp/paper.size")
		fi
		echo "$record" | sed -n "s/^CMDARGV=.*1:0@1\.0(\(.*\)in,\(.*\)in) .*/$paper \1 \2/p"
	done
}

# same_pages CUPS MORVANE SHIFTS: the same settings on every page, and
# each page's ink moved by the shift for its paper, within 0.1 point, and
# cut by the sheet's edges as the printer cuts it.
same_pages() {
	grep -v BoundingBox "$1" | sort >"$1.settings"
	grep -v BoundingBox "$2" | sort >"$2.settings"
	cmp -s "$1.settings" "$2.settings" || return 1
	awk -v shifts="$3" '
	    BEGIN { while ((getline line < shifts) > 0) {
		split(line, f, " "); dx[f[1]] = f[2] * 72; dy[f[1]] = f[3] * 72 } }
	    $2 == "device" { paper = $4 "x" $5; gsub(/[][]/, "", paper) }
	    /^%%HiResBoundingBox:/ {
		if (FILENAME == ARGV[1]) { cups[++c] = $2 " " $3 " " $4 " " $5; at[c] = paper; next }
		m++; split(cups[m], b, " ")
		if (b[1] == 0 && b[3] == 0) { bad += ($2 != 0 || $4 != 0); next }
		if (!(at[m] in dx)) { bad++; next }
		split(at[m], sheet, "x")
		for (i = 1; i <= 4; i++) {
			want[i] = b[i] + (i % 2 ? dx[at[m]] : dy[at[m]])
			edge = sheet[2 - i % 2]
			want[i] = want[i] < 0 ? 0 : want[i] > edge ? edge : want[i]
		}
		for (i = 1; i <= 4; i++) {
			d = $(i + 1) - want[i]
			if (d > 0.1 || d < -0.1) { bad++; break }
		}
	    }
	    END { exit !(bad == 0 && m == c) }' "$1" "$2"
}

# ppd_paper PPD WIDTH LENGTH: "WIDTH LENGTH" of the PPD's paper within a
# point of that size, as the filters take it, or the size itself.
ppd_paper() {
	tr -d '\r' <"$1" | awk -v w="$2" -v l="$3" '
	    /^\*PaperDimension / { sub(/^[^"]*"/, ""); sub(/".*/, "")
		split($0, d, " ")
		if (d[1] - w <= 1 && w - d[1] <= 1 && d[2] - l <= 1 && l - d[2] <= 1) {
			print d[1], d[2]; found = 1; exit } }
	    END { if (!found) print w, l }'
}

# same_raster PPD DOTS CUPS MINE PREFIX: the same pages with the same
# settings in both rasters, and each page's ink moved by morvane's record
# for its paper, in the raster's pixels, turned with a back side that the
# printer turns, and cut by the page's edges.
same_raster() {
	raster_ppd=$1 raster_dots=$2 pages=$5
	python3 "$cases/raster_pages.py" "$3" >"$pages.c" &&
	    python3 "$cases/raster_pages.py" "$4" >"$pages.m" || return 1
	cut -d' ' -f1-8 "$pages.c" >"$pages.c.settings"
	cut -d' ' -f1-8 "$pages.m" >"$pages.m.settings"
	cmp -s "$pages.c.settings" "$pages.m.settings" ||
	    { diff "$pages.c.settings" "$pages.m.settings"; return 1; }
	back=$(tr -d '\r' <"$1" | sed -n 's/^\*cupsBackSide: *\([A-Za-z]*\).*/\1/p')
	while read -r n size resolution rest; do
		paper=$(ppd_paper "$raster_ppd" $(awk -v s="$size" -v r="$resolution" \
		    'BEGIN { split(s, p, "x"); split(r, d, "x")
			printf "%.9g %.9g", p[1] * 72 / d[1], p[2] * 72 / d[2] }'))
		echo "PageSize [$paper]" >"$tmp/paper.size"
		record=$("$morvane" - - - - - \
		    "$(effective_dots "$raster_ppd" "$raster_dots" $paper)" \
		    pstops in out "$tmp/paper.size")
		echo "$n $(echo "$record" |
		    sed -n "s/^CMDARGV=.*1:0@1\.0(\(.*\)in,\(.*\)in) .*/\1 \2/p")"
	done <"$pages.c" >"$pages.moves"
	awk -v back="$back" -v moves="$pages.moves" '
	    function round(x) { return x < 0 ? -int(-x + 0.5) : int(x + 0.5) }
	    function clip(v, edge) { return v < 0 ? 0 : v > edge ? edge : v }
	    BEGIN { while ((getline line < moves) > 0) {
		split(line, f, " "); dx[f[1]] = f[2]; dy[f[1]] = f[3] } }
	    FILENAME == ARGV[1] { cups[$1] = $0; next }
	    {
		split(cups[$1], c, " ")
		split($2, size, "x"); split($3, res, "x")
		columns = round(dx[$1] * res[1]); lines = round(-dy[$1] * res[2])
		tumble = $7 == "tumble=1"
		if ($6 == "duplex=1" && $1 % 2 == 0) {
			across = (back == "Flipped" && tumble) ||
			    (back == "Rotated" && !tumble) ||
			    (back == "ManualTumble" && tumble)
			along = (back == "Flipped" && !tumble) ||
			    (back == "Rotated" && !tumble) ||
			    (back == "ManualTumble" && tumble)
			if (across) columns = -columns
			if (along) lines = -lines
		}
		if (c[9] == "none") { bad += $9 != "none"; next }
		x0 = clip(c[9] + columns, size[1]); x1 = clip(c[11] + columns, size[1])
		y0 = clip(c[10] + lines, size[2]); y1 = clip(c[12] + lines, size[2])
		want = x0 < x1 && y0 < y1 ? x0 " " y0 " " x1 " " y1 : "none"
		got = $9 == "none" ? "none" : $9 " " $10 " " $11 " " $12
		if (want != got) {
			printf "page %d: ink %s, not %s\n", $1, got, want
			bad++
		}
	    }
	    END { exit bad != 0 }' "$pages.c" "$pages.m"
}

# printed_pages FILE: the pages of a driverless printer's document.
printed_pages() {
	case $(head -c 4 "$1") in
	RaS2|UNIR) python3 "$cases/raster_pages.py" "$1" | wc -l ;;
	%PDF) pdfinfo "$1" 2>/dev/null | awk '$1 == "Pages:" { print $2 }' ;;
	*) echo unknown ;;
	esac
}

# Compares the two outputs of every job.
while read -r mine theirs queue file size options; do
	what="$queue $file $options"
	for id in "$mine" "$theirs"; do
		grep -a -q "\[Job $id\] Job completed\." "$tmp/log/error_log" || {
			fail "$what: job $id did not complete"
			grep -a "\[Job $id\]" "$tmp/log/error_log" | grep -v 'env\|argv' |
			    grep -a ' [EW] \|ERROR\|failed' | tail -n 5
			continue 2
		}
	done
	# The pages counted for the job, which quotas and accounting read: in
	# the page log, a job's last total, less the one before where the
	# server ran the job again. Where CUPS's own queue counts none (it
	# counts no image that imagetopdf makes PDF of), the pages printed.
	# Where foomatic-rip takes PDF too, CUPS's own queue sends PostScript
	# through PDF, whose filter counts it; where morvane-filter runs before
	# foomatic-rip, which counts nothing, nothing counts PostScript.
	counted=$(awk -v m="$mine" -v t="$theirs" 'BEGIN { a = b = "none" }
	    $6 == "total" && $3 == m { a0 = a == "none" ? 0 : a; a = $7 }
	    $6 == "total" && $3 == t { b0 = b == "none" ? 0 : b; b = $7 }
	    END { print (a == "none" ? a : a - a0), (b == "none" ? b : b - b0) }' \
	    "$tmp/log/page_log")
	mine_counted=${counted% *} theirs_counted=${counted#* }
	[ "$mine_counted" = "$theirs_counted" ] || [ "$theirs_counted" != 0 ] ||
	    theirs_counted=$(printed_pages "$tmp/printed/$mine.prn")
	case $queue:$file in
	c:job.ps|g:job.ps) theirs_counted=0 ;;
	esac
	[ "$mine_counted" = "$theirs_counted" ] ||
	    { fail "$what: pages counted $mine_counted, not $theirs_counted"; continue; }
	r=$tmp/reports/$mine
	# The server's copy of the queue's PPD, whose defaults the server may have
	# set.
	ppd=$tmp/ppd/$queue.ppd
	queue_default=
	[ "$queue" != dots ] || queue_default=3300
	dots=$(job_dots "$ppd" "$options" "$queue_default")
	[ "$size" != unchanged ] || dots=unchanged
	# What a driverless printer was asked to do with the pages.
	[ ! -e "$tmp/printed/$mine.settings" ] ||
	    cmp -s "$tmp/printed/$mine.settings" "$tmp/printed/$theirs.settings" ||
	    { fail "$what: not the same settings on the printer"
	    diff "$tmp/printed/$theirs.settings" "$tmp/printed/$mine.settings"; continue; }
	case $(head -c 4 "$tmp/printed/$mine.prn") in
	RaS2|RaS3|UNIR)
		if same_raster "$ppd" "$dots" "$tmp/printed/$theirs.prn" \
		    "$tmp/printed/$mine.prn" "$r" >"$r.raster" 2>&1; then
			passed=$((passed + 1))
		else
			fail "$what: the raster differs on the printer"
			head -n 5 "$r.raster"
		fi
		continue ;;
	esac
	documents=$(report "$tmp/printed/$mine.prn" "$r.m")
	[ "$documents" -eq "$(report "$tmp/printed/$theirs.prn" "$r.c")" ] ||
	    { fail "$what: not the same number of documents"; continue; }
	cmp -s "$r.m.jcl" "$r.c.jcl" || { fail "$what: not the same JCL"; continue; }
	for n in $(seq "$documents"); do
		shifts "$ppd" "$size" "$r.c.$n" >"$r.shifts"
		[ "$dots" != unchanged ] ||
		    sed -i 's/ .*/ 0 0/' "$r.shifts"
		same_pages "$r.c.$n" "$r.m.$n" "$r.shifts" || {
			fail "$what: document $n differs on the printer"
			diff "$r.c.$n" "$r.m.$n" | head -n 10
			continue 2
		}
	done
	passed=$((passed + 1))
done <"$tmp/submitted"
while read -r id queue expected; do
	# cupsd logs the filter's ERROR: lines as its own errors, quotes
	# escaped.
	errors=$(grep -a "^E .*\[Job $id\] morvane-filter: " "$tmp/log/error_log" |
	    sed "s/^[^]]*\] \[Job $id\] morvane-filter: //; s/\\\\\(['\"]\)/\\1/g")
	if grep -a -q "\[Job $id\] Job stopped" "$tmp/log/error_log" &&
	    [ "$errors" = "$expected" ] && [ ! -s "$tmp/printed/$id.prn" ]; then
		passed=$((passed + 1))
	else
		fail "$queue: job $id did not fail with the one line \"$expected\""
		grep -a "\[Job $id\]" "$tmp/log/error_log" |
		    grep -a -e '^[^D]' -e 'morvane-filter:'
		ls -l "$tmp/printed/$id.prn"
	fi
done <"$tmp/failing"

. "$cases/8-server.sh"
check_calibrations
# A driverless printer's or a raster driver's calibration page completed,
# its page moved by the queue's filter.
while read -r id queue; do
	grep -a -q "\[Job $id\] Job completed\." "$tmp/log/error_log" &&
	    grep -a -q -E "\[Job $id\] morvane-(pdf|raster): pages moved: 1$" \
	    "$tmp/log/error_log" && passed=$((passed + 1)) ||
	    fail "calibration page of $queue: job $id did not complete, moved"
done <"$tmp/driverless-calibrations"
[ -z "$(ls "$tmp/spool/tmp" | grep morvane)" ] ||
    fail "the filter left a temporary folder in the spool"
stop_cupsd || fail "a job's program lived on after cupsd stopped"
finish

