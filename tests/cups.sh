#!/bin/sh
# SPDX-License-Identifier: MIT
# Tests the CUPS filter. It runs the filter directly, on its failure paths
# and on every way a job can come in, then prints jobs of every kind
# through a private cupsd (a child process on 127.0.0.1 with folders of
# its own), each on a queue of the filter and on a queue of CUPS's own made
# from the same PPD. ghostscript, as the printer, must find the same
# documents, JCL, pages and device settings in both, and every page's ink
# moved by morvane's record for its paper.
#   cups.sh MORVANE FILTER PPD  the built programs; the server's filter
#                               folder is the system's with FILTER added
#   cups.sh --installed         the installed programs, and the model that
#                               lpinfo -m lists
# FILTER_WRAPPER (valgrind, say) runs the filter in the direct runs.
# Exits 77 (skipped) where a program that it needs is missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
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

tmp=$(mktemp -d) || exit 2
# A filter that cupsd left running may still be removing its own files.
trap 'stop_cupsd; [ -n "${KEEP:-}" ] || rm -rf "$tmp" 2>/dev/null ||
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

# by_hand PPD SIZE [PSTOPS]: morvane's record for SIZE (a name in PPD, or
# WxH) naming PSTOPS, in $record, and what it and pstops make of the job,
# in by-hand/out.ps.
by_hand() {
	rm -f "$tmp/by-hand/"*
	cp "$job" "$tmp/by-hand/in.ps"
	case $2 in
	*x*) dimensions=$(echo "$2" | tr x ' ') ;;
	*) dimensions=$(tr -d '\r' <"$1" |
	    sed -n "s|^\*PaperDimension $2[/:][^\"]*\"\(.*\)\"|\1|p") ;;
	esac
	echo "PageSize [$dimensions]" >"$tmp/by-hand/page.size"
	# The job's option comes first.
	case " $options " in
	*" morvane-vertical-dots="*)
		dots=${options#*morvane-vertical-dots=} dots=${dots%% *} ;;
	*) dots=$(tr -d '\r' <"$1" | sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p') ;;
	esac
	record=$("$morvane" - - - - - "$dots" "${3:-$pstops}" in.ps out.ps \
	    "$tmp/by-hand/page.size")
	(cd "$tmp/by-hand" && run_record "$record" 2>/dev/null)
}

# without_page_sizes FILE: the filter's output without the procedure sets
# that let the pages ask for their own size, which the cupsd jobs check.
without_page_sizes() {
	sed '/^%%BeginProcSet: morvane-page-sizes* 1 0$/,/^%%EndProcSet$/d' "$1"
}

# Stand-ins for morvane and pstops, and PPDs that are wrong in one way.
printf '#!/bin/sh\necho partial | tee out.ps\nexit 1\n' >"$tmp/fake/pstops"
printf '#!/bin/sh\necho "%%!PS-Adobe-3.0"\necho "%%%%Title: no pstops procedure set"\n' \
    >"$tmp/fake/shapeless"
printf '#!/bin/sh\nprintf "PSCOMMAND=cp\\nCMDARGV=-f /etc/passwd out.ps\\n"\n' \
    >"$tmp/fake/other-file"
printf '#!/bin/sh\nprintf "%%02000d\\n" 0\n' >"$tmp/fake/long"
printf '#!/bin/sh\necho "ERROR:morvane terminates." >&2\n' >"$tmp/fake/complains"
# A pstops that writes a line longer than a buffer, then one in two parts.
printf '#!/bin/sh\nprintf "%%02000d\\nfirst\\nsec" 0 >&2\nsleep 0.2\nprintf "ond\\n" >&2\nexec %s "$@"\n' \
    "$pstops" >"$tmp/fake/talks"
printf '#!/bin/sh\nsleep 30 &\necho $! >"%s/sleep.pid"\nwait\n' "$tmp" \
    >"$tmp/fake/slow"
chmod 755 "$tmp/fake/"*
sed 's/^\*MorvaneVerticalDots: .*/*MorvaneVerticalDots: "3473abc"/' \
    "$sample" >"$tmp/dots.ppd"
sed 's/^\*PaperDimension A4\/A4: .*/*PaperDimension A4\/A4: "1e30 842"/' \
    "$sample" >"$tmp/huge.ppd"
sed 's/^\*MorvaneVerticalDots: .*/*MorvaneVerticalDots: "-40"/' \
    "$sample" >"$tmp/low.ppd"
# PPDs of other shapes, made from the sample: *PageSize code over several
# lines, code without brackets (a comment, and PJL), custom sizes, CRLF line
# ends, a fractional size, dots with a blank after the number, and a
# ColorModel (whose cache in libcups leaks); and one without
# *MorvaneVerticalDots.
awk '/^\*PageSize / { next }
    /^\*DefaultPageSize:/ { print "*DefaultPageSize: Decimal"; next }
    /^\*MorvaneVerticalDots:/ { print "*MorvaneVerticalDots: \"3400.5 \""; next }
    /^\*PaperDimension A5/ { print "*PaperDimension Decimal: \"595.28 841.89\"" }
    { print }
    /^\*OrderDependency: .* \*PageSize$/ {
	print "*PageSize Decimal: \"<<\n/PageSize [595.28 841.89]\n>> setpagedevice\"\n*End"
	print "*PageSize A5/A5: \"%% FoomaticRIPOptionSetting: PageSize=A5\""
	print "*PageSize Letter/Letter: \"@PJL SET PAPER=LETTER<0A>\""
    }
    END {
	print "*OpenUI *ColorModel: PickOne\n*DefaultColorModel: Gray"
	print "*ColorModel Gray: \"\"\n*ColorModel RGB: \"\"\n*CloseUI: *ColorModel"
	print "*VariablePaperSize: True\n*MaxMediaWidth: \"864\""
	print "*MaxMediaHeight: \"1296\"\n*HWMargins: 0 0 0 0"
	print "*CustomPageSize True: \"pop pop pop <</PageSize[5 -2 roll]>>setpagedevice\""
	n = split("Width: 1 points 72 864|Height: 2 points 72 1296|WidthOffset: " \
	    "3 points 0 0|HeightOffset: 4 points 0 0|Orientation: 5 int 0 0", p, "|")
	for (i = 1; i <= n; i++)
		print "*ParamCustomPageSize " p[i]
    }' "$sample" | sed 's/$/\r/' >"$tmp/shapes.ppd"
grep -v '^\*MorvaneVerticalDots' "$sample" >"$tmp/plain.ppd"
mkfifo "$tmp/fifo"
# A copy of the job whose absolute name is 1024 bytes long.
long=$tmp
while [ $((1024 - ${#long})) -gt 210 ]; do long=$long/$(printf '%0200d' 0); done
mkdir -p "$long"
long=$long/$(printf "%0$((1024 - ${#long} - 4))d" 0).ps
cp "$job" "$long"

# The direct runs, from the folder of the job. A run that has not ended
# after 10 s hangs, and so would the rest: it ends them.
# SETTING is NAME=VALUE in the environment, or SIGCHLD=ignored; OPTIONS
# are the job's. JOB is a file, or "stdin" or "pipe" for the job on
# standard input from a file or a pipe, or "closed". OUTPUT is "file",
# "append", "closed" or a file to write to, or "shared" for a file with
# the log after an unfinished line of another filter, which writes its
# lines in pieces. "-" is none, and \n a line feed. EXPECTED is "ok NAME
# SIZE [LINE]", NAME the size's name in the PPD, SIZE its size for by_hand
# and LINE a line that the log must hold, or the text of the one ERROR:
# line.
# A run that fails leaves no output and no folder.
run_filter() {
	ignore=
	[ "$setting" != SIGCHLD=ignored ] || ignore=--ignore-signal=CHLD
	timeout -k 2 10 env $ignore TMPDIR="$tmp/filter-tmp" PPD="$sample" \
	    MORVANE="$morvane" MORVANE_PSTOPS="$pstops" $setting \
	    ${FILTER_WRAPPER:-} "$filter" 1 user title 1 "$options" "$@"
}
with_input() {
	case $input in
	stdin) run_filter <"$job" ;;
	pipe) cat "$job" | run_filter ;;
	closed) run_filter <&- ;;
	*) run_filter "$input" </dev/null ;;
	esac
}
cd "$tmp" || exit 2
while read -r name setting options input output expected; do
	[ "$setting" != - ] || setting=
	[ "$options" != - ] || options=
	options=$(printf '%b' "$options") input=$(printf '%b' "$input")
	: >"$tmp/out"
	case $output in
	file) with_input >"$tmp/out" 2>"$tmp/err" ;;
	append) with_input >>"$tmp/out" 2>"$tmp/err" ;;
	closed) with_input >&- 2>"$tmp/err" ;;
	shared)
		printf 'DEBUG: Running command line for gs:' >"$tmp/err"
		with_input >"$tmp/out" 2>>"$tmp/err" ;;
	*) with_input >"$output" 2>"$tmp/err" ;;
	esac
	status=$?
	if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
		fail "$name: the filter did not end within 10 s; no more direct runs"
		break
	fi
	errors=$(grep '^ERROR:' "$tmp/err")
	left=$(ls "$tmp/filter-tmp")
	case $expected in
	ok\ *)
		set -- $expected
		size_name=$2 size=$3
		shift 3
		line=$* ppd=$sample command=$pstops
		case $setting in
		PPD=*) ppd=${setting#PPD=} ;;
		MORVANE_PSTOPS=*) command=${setting#*=} ;;
		esac
		by_hand "$ppd" "$size" "$command"
		debug="DEBUG: morvane-filter: page size $size_name: ${record#*PSCOMMAND=}"
		debug=$(printf '%s\n' "$debug" | sed 'N;s/\nCMDARGV=/ /')
		if [ "$status" -eq 0 ] && [ -z "$errors" ] && [ -z "$left" ] &&
		    grep -qxF "$debug" "$tmp/err" &&
		    { [ -z "$line" ] || grep -qxF "$line" "$tmp/err"; } &&
		    without_page_sizes "$tmp/out" | cmp -s - "$tmp/by-hand/out.ps"; then
			passed=$((passed + 1))
		else
			fail "$name: status $status, or the output or the log differs" \
			    "from $size by hand ($debug${line:+, $line})"
			cat "$tmp/err"
		fi ;;
	*)
		if [ "$status" -eq 1 ] && [ -z "$left" ] && [ ! -s "$tmp/out" ] &&
		    [ "$errors" = "ERROR: morvane-filter: $expected" ]; then
			passed=$((passed + 1))
		else
			fail "$name: status $status, not the one ERROR: line" \
			    "\"$expected\", or output or a folder left"
			cat "$tmp/err"
		fi ;;
	esac
done <<CASES
file - - job.ps file ok A4 A4
standard-input - - stdin file ok A4 A4
pipe - - pipe file ok A4 A4
output-appended - - $job append ok A4 A4
name-of-1024-bytes - - ${long#"$tmp"/} file ok A4 A4
sigchld-ignored SIGCHLD=ignored - $job file ok A4 A4
line-feed-in-option - media="x\\nERROR:\\040injected" $job file ok A4 A4
postscript-after-cups CONTENT_TYPE=application/postscript - $job file ok A4 A4
custom-size PPD=$tmp/shapes.ppd PageSize=Custom.500x800 $job file ok Custom 500x800
pstops-talking MORVANE_PSTOPS=$tmp/fake/talks - $job file ok A4 A4 DEBUG: morvane-filter: $tmp/fake/talks: second
no-ppd PPD=$tmp/none - $job file cannot open the PPD file $tmp/none: No such file or directory
ppd-not-set PPD= - $job file no PPD file: PPD is not set
not-a-ppd PPD=$job - $job file cannot read the PPD file $job: Missing asterisk in column 1 on line 1
dots-not-a-number PPD=$tmp/dots.ppd - $job file the PPD's *MorvaneVerticalDots "3473abc" is not a number
dots-of-the-job - morvane-vertical-dots=3300 $job file ok A4 A4
dots-of-the-job-alone PPD=$tmp/plain.ppd morvane-vertical-dots=3473 $job file ok A4 A4
dots-of-the-job-not-a-number - morvane-vertical-dots=34x $job file the job's option morvane-vertical-dots "34x" is not a number
error-in-a-shared-log - morvane-vertical-dots=34x $job shared the job's option morvane-vertical-dots "34x" is not a number
dots-off-the-sheet - morvane-vertical-dots=34730 $job file the job's option morvane-vertical-dots "34730" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
dots-above-the-sheet PPD=$tmp/shapes.ppd PageSize=Custom.300x400 $job file the PPD's *MorvaneVerticalDots "3400.5 " puts the page off the sheet for the page size Custom, 400 points long: it must lie between -35.43 and 3297.90
dots-below-the-sheet PPD=$tmp/low.ppd - $job file the PPD's *MorvaneVerticalDots "-40" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
size-too-large PPD=$tmp/huge.ppd - $job file the page size A4, 1.00000002e+30 by 842 points, is not one that a sheet can have: each side must be more than 0 and at most 14400 points
custom-size-outside PPD=$tmp/shapes.ppd PageSize=Custom.2000x400 $job file the custom page size Custom.2000x400, 2000 by 400 points, is outside the PPD's custom sizes, 72 to 864 by 72 to 1296 points
custom-size-unreadable PPD=$tmp/shapes.ppd PageSize=Custom.abc $job file the custom page size Custom.abc, 0 by 0 points, is outside the PPD's custom sizes, 72 to 864 by 72 to 1296 points
failing-morvane MORVANE=false - $job file false failed with status 1
morvane-error-line MORVANE=$tmp/fake/complains - $job file $tmp/fake/complains reported an error
record-too-long MORVANE=$tmp/fake/long - $job file $tmp/fake/long: it printed more than fits in the buffer
record-naming-another-file MORVANE=$tmp/fake/other-file - $job file $tmp/fake/other-file printed no usable command record
failing-command MORVANE_PSTOPS=$tmp/fake/pstops - $job file $tmp/fake/pstops failed with status 1
command-of-unknown-shape MORVANE_PSTOPS=$tmp/fake/shapeless - $job file pstops wrote no "%%BeginProcSet: PStoPS" line, before which the job's device setup must go
job-not-postscript - - $sample file the job holds no PostScript document
job-a-folder - - $tmp file cannot read the job $tmp: it is a folder
job-a-fifo - - $tmp/fifo file cannot read the job $tmp/fifo: it is a FIFO
job-a-device - - /dev/zero file cannot read the job /dev/zero: it is a device
line-feed-in-job-name - - $tmp/no\\nsuch file cannot read the job $tmp/no\\nsuch: No such file or directory
no-job - - closed file standard input is closed, and no file names the job
output-full - - $job /dev/full cannot write standard output: No space left on device
output-closed - - $job closed standard output is closed
CASES

# A cancel during a slow command stops it and whatever it started: the
# waits end early when the filter has ended on its own.
env TMPDIR="$tmp/filter-tmp" PPD="$sample" MORVANE="$morvane" \
    MORVANE_PSTOPS="$tmp/fake/slow" ${FILTER_WRAPPER:-} "$filter" \
    1 user title 1 '' "$job" >"$tmp/out" 2>"$tmp/err" &
filter_pid=$!
gone() { ! kill -0 "$filter_pid" 2>/dev/null; }
started() { test -s "$tmp/sleep.pid" || gone; }
wait_for 10 "the slow command to start" started
kill -TERM "$filter_pid"
wait_for 10 "the filter to end after SIGTERM" gone || kill -KILL "$filter_pid"
wait "$filter_pid"
status=$?
if [ "$status" -ne 1 ] || [ -s "$tmp/out" ] || [ -n "$(ls "$tmp/filter-tmp")" ] ||
    grep -q '^ERROR:' "$tmp/err" || [ ! -s "$tmp/sleep.pid" ] ||
    ps -o stat= -p "$(cat "$tmp/sleep.pid")" | grep -qv Z; then
	fail "cancel: status $status, an ERROR: line, or output, a folder or" \
	    "the command left"
	cat "$tmp/err"
else
	passed=$((passed + 1))
fi

# Collated copies, which CUPS sends as one document each, JCL and all, run
# pstops once: the others print what it wrote, each after its own JCL.
printf '#!/bin/sh\necho run >>"%s/runs"\nexec %s "$@"\n' "$tmp" "$pstops" \
    >"$tmp/fake/counted"
chmod 755 "$tmp/fake/counted"
for copy in 1 2 3; do printf '\033%%-12345X@PJL JOB NAME="%s"\n' "$copy"; cat "$job"; done \
    >"$tmp/copies.ps"
: >"$tmp/runs"
env TMPDIR="$tmp/filter-tmp" PPD="$sample" MORVANE="$morvane" \
    MORVANE_PSTOPS="$tmp/fake/counted" ${FILTER_WRAPPER:-} "$filter" \
    1 user title 1 '' "$tmp/copies.ps" >"$tmp/out" 2>"$tmp/err"
status=$?
by_hand "$sample" A4
for copy in 1 2 3; do printf '\033%%-12345X@PJL JOB NAME="%s"\n' "$copy"; cat "$tmp/by-hand/out.ps"; done \
    >"$tmp/expected"
if [ "$status" -eq 0 ] && [ "$(wc -l <"$tmp/runs")" -eq 1 ] &&
    without_page_sizes "$tmp/out" | cmp -s - "$tmp/expected" &&
    [ -z "$(ls "$tmp/filter-tmp")" ]; then
	passed=$((passed + 1))
else
	fail "copies: status $status, pstops run $(wc -l <"$tmp/runs") times, or not three copies of its output"
	cat "$tmp/err"
fi

# The server, with the filter under test among the system's filters.
if [ -z "$installed" ]; then
	install -m 755 "$morvane" "$tmp/morvane"
	morvane=$tmp/morvane
fi
start_cupsd "$tmp" "${installed:-$filter}" "$morvane" debug ||
    { cat "$tmp/log/error_log"; finish; exit 1; }

# Printers whose PPDs have filter lines of their own, shaped like those of
# Debian's PPD packages: foomatic-rip passing CUPS's PostScript on, with
# PDF taken by it too (c), PJL written before it (d), at a cost of 100
# (e), or ghostscript rendering it, here with the bbox device that reports
# each page as the test's printer does (g); and printers whose jobs never
# become PostScript: PDF straight to the printer (f), raster only (r), a
# fax that takes PostScript unprepared, and images only.
cp "$here/device.ps" "$tmp/device.ps"
shape() {
	name=$1
	shift
	{ grep -v '^\*cupsFilter\|^\*MorvaneVerticalDots' "$here/ppd/a4.ppd"
	    printf '%s\n' "$@"; } >"$tmp/$name.ppd"
}
postscript='*cupsFilter: "application/vnd.cups-postscript 0 foomatic-rip"'
pdf='*cupsFilter: "application/vnd.cups-pdf 0 foomatic-rip"'
pass_on='*FoomaticRIPCommandLine: "cat -"'
shape b "$postscript" "$pass_on"
shape c "$pdf" "$postscript" "$pass_on"
shape d "$postscript" '*FoomaticRIPCommandLine: "(printf &apos;\033%%-12345X@PJL JOB\n@PJL ENTER LANGUAGE = POSTSCRIPT\n&apos;; cat -; printf &apos;\033%%-12345X@PJL EOJ\n\033%%-12345X&apos;)"'
shape e '*cupsFilter: "application/vnd.cups-postscript 100 foomatic-rip"' "$pass_on"
shape g "$pdf" '*cupsFilter: "application/vnd.cups-postscript 100 foomatic-rip"' \
    "*FoomaticRIPCommandLine: \"gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox -sstdout=%stderr $tmp/device.ps - 2>&1\""
shape f '*cupsFilter: "application/vnd.cups-pdf 0 -"'
shape r '*cupsFilter: "application/vnd.cups-raster 50 rastertohp"'
shape fax '*cupsFilter: "application/postscript 0 foomatic-rip"' "$pass_on"
shape images '*cupsFilter: "image/png 0 -"' '*cupsFilter: "image/jpeg 0 -"'
shape missing '*cupsFilter: "application/vnd.cups-postscript 0 no-such-filter"'

# adapted KIND DOTS PPD: what morvane-setup must make of PPD for KIND
# "filter" or "pre": its lines out, the PPD's lines from PDF taken out for
# a pre-filter, and the new lines at the end.
adapted() {
	awk -v kind="$1" -v dots="$2" '
	    /^\*(cupsFilter2?|cupsPreFilter): ".* morvane-filter"/ { next }
	    /^\*MorvaneVerticalDots:/ { next }
	    { sub(/^\*%morvane-setup took out: /, "") }
	    kind == "pre" && /^\*cupsFilter2?: "application\/(vnd\.cups-)?pdf / {
		print "*%morvane-setup took out: " $0; next }
	    { print }
	    END {
		printf "*%s: \"application/vnd.cups-postscript 0 morvane-filter\"\n",
		    kind == "pre" ? "cupsPreFilter" : "cupsFilter"
		printf "*MorvaneVerticalDots: \"%s\"\n", dots }' "$3"
}

# The direct runs of morvane-setup, with cupsfilter finding the server's
# filters. ARGUMENTS, with "-" for none, get STATUS and the one line
# EXPECTED on standard error, or, for "filter" or "pre", the PPD adapted
# so on standard output, which the PPD adapted again must not change.
export CUPS_SERVERBIN="$tmp/bin"
lpadmin -p raw -E -v "save:$tmp/printed" 2>"$tmp/err" ||
    fail "queue raw: $(cat "$tmp/err")"
while IFS='|' read -r name arguments expected; do
	[ "$arguments" != - ] || arguments=
	timeout -k 2 10 "$setup_program" $arguments >"$tmp/out" 2>"$tmp/err"
	status=$?
	set -- $arguments
	case $expected in
	filter|pre)
		adapted "$expected" "$3" "$2" >"$tmp/expected"
		"$setup_program" --ppd "$tmp/out" "$3" >"$tmp/again" 2>>"$tmp/err"
		if [ "$status" -eq 0 ] && [ ! -s "$tmp/err" ] &&
		    cmp -s "$tmp/out" "$tmp/expected" && cmp -s "$tmp/out" "$tmp/again"; then
			passed=$((passed + 1))
		else
			fail "setup $name: status $status, or not the PPD adapted for $expected"
			diff "$tmp/expected" "$tmp/out" | head -n 5; cat "$tmp/err"
		fi ;;
	*)
		if [ "$status" -eq 1 ] && [ ! -s "$tmp/out" ] &&
		    [ "$(cat "$tmp/err")" = "morvane-setup: $expected" ]; then
			passed=$((passed + 1))
		else
			fail "setup $name: status $status, output, or not the one line" \
			    "\"morvane-setup: $expected\""
			cat "$tmp/err"
		fi ;;
	esac
done <<CASES
no-filters|--ppd $tmp/plain.ppd 3473|filter
its-own-lines-again|--ppd $sample 3100.5|filter
foomatic-passing-on|--ppd $tmp/b.ppd 3473|pre
foomatic-with-pdf|--ppd $tmp/c.ppd 3473|pre
foomatic-pjl|--ppd $tmp/d.ppd 3473|pre
foomatic-cost-100|--ppd $tmp/e.ppd 3473|pre
foomatic-ghostscript|--ppd $tmp/g.ppd 3473|pre
pdf-straight|--ppd $tmp/f.ppd 3473|$tmp/f.ppd: the printer takes PDF straight from CUPS, so its jobs never become PostScript that morvane-filter can shift: use the printer's PostScript PPD
raster-only|--ppd $tmp/r.ppd 3473|$tmp/r.ppd: CUPS sends the printer no PostScript for morvane-filter to shift: its filters take only application/vnd.cups-raster
fax|--ppd $tmp/fax.ppd 3473|$tmp/fax.ppd: CUPS sends the printer no PostScript for morvane-filter to shift: its filters take only application/postscript
images-only|--ppd $tmp/images.ppd 3473|$tmp/images.ppd: CUPS sends the printer no PostScript for morvane-filter to shift: its filters take only image/png, image/jpeg
filter-missing|--ppd $tmp/missing.ppd 3473|$tmp/missing.ppd: CUPS finds no way for application/pdf to the printer: cupsfilter: No filter to convert from application/pdf to printer/cupsfilter.
no-such-file|--ppd $tmp/none 3473|cannot open the PPD file $tmp/none: No such file or directory
not-a-ppd|--ppd $job 3473|cannot read the PPD file $job: Missing asterisk in column 1 on line 1
dots-not-a-number|--ppd $tmp/c.ppd 3473abc|the vertical dots "3473abc" are not a number
no-dots|--ppd $tmp/c.ppd|usage: morvane-setup --ppd FILE DOTS | QUEUE [DOTS] | --calibrate QUEUE | --remove QUEUE
no-arguments|-|usage: morvane-setup --ppd FILE DOTS | QUEUE [DOTS] | --calibrate QUEUE | --remove QUEUE
no-such-queue|nosuch 3473|there is no queue nosuch on the CUPS server $CUPS_SERVER
queue-without-ppd|raw 3473|the queue raw has no PPD
remove-no-such-queue|--remove nosuch|there is no queue nosuch on the CUPS server $CUPS_SERVER
calibrate-no-such-queue|--calibrate nosuch|there is no queue nosuch on the CUPS server $CUPS_SERVER
CASES
CUPS_SERVER=127.0.0.1:1 "$setup_program" raw 3473 >"$tmp/out" 2>"$tmp/err"
[ $? -eq 1 ] && [ ! -s "$tmp/out" ] &&
    grep -qx 'morvane-setup: cannot reach the CUPS server 127.0.0.1:1: .*' "$tmp/err" &&
    [ "$(wc -l <"$tmp/err")" -eq 1 ] && passed=$((passed + 1)) ||
    { fail "setup without a server: not the one line"; cat "$tmp/err"; }

# The queues: each of the filter, QUEUE, and its twin QUEUE-cups, of the
# same PPD without the filter's lines: CUPS's own PostScript queue.
driver="-P $sample"
if [ -n "$installed" ]; then
	model=$(lpinfo -m | awk '/morvane/ { print $1; exit }')
	[ -n "$model" ] || fail "lpinfo -m does not list the sample PPD"
	driver="-m $model"
fi
sed 's|^\*cupsFilter: "application/vnd.cups-postscript |*cupsFilter: "application/postscript |' \
    "$here/ppd/letter-pjl.ppd" >"$tmp/legacy.ppd"
# QUEUE PPD [OPTIONS]
while read -r queue ppd setup; do
	grep -v '^\*cupsFilter' "$ppd" >"$tmp/$queue-cups.ppd"
	[ "$ppd" != "$sample" ] || ppd=$driver
	[ "${ppd#-}" != "$ppd" ] || ppd="-P $ppd"
	for twin in "$queue $ppd" "$queue-cups -P $tmp/$queue-cups.ppd"; do
		set -- $twin
		lpadmin -p "$1" -E -v "save:$tmp/printed" $2 $3 $setup 2>"$tmp/err" ||
		    fail "queue $1: $(cat "$tmp/err")"
	done
done <<QUEUES
sample $sample
a5 $sample -o media-default=iso_a5_148x210mm
dots $sample -o morvane-vertical-dots-default=3300
too-far $sample -o morvane-vertical-dots-default=34730
not-a-number $sample -o morvane-vertical-dots-default=3473abc
letter $here/ppd/letter-pjl.ppd
a4 $here/ppd/a4.ppd
shapes $tmp/shapes.ppd
plain $tmp/plain.ppd
legacy $tmp/legacy.ppd
QUEUES

# The printers with filters of their own: QUEUE from the PPD set up on the
# server by morvane-setup, and its twin from the PPD as it is, with the
# dots that the comparison reads, which CUPS ignores.
# By hand, MORVANE_REAL_PPDS names real printers' PPDs whose filter is
# foomatic-rip passing PostScript on, to be set up and printed the same.
real= n=0
for ppd in ${MORVANE_REAL_PPDS:-}; do
	n=$((n + 1))
	cp "$ppd" "$tmp/real$n.ppd"
	real="$real real$n"
done
for queue in b c d e g $real; do
	# A blank line ends a last line that has no line feed.
	{ cat "$tmp/$queue.ppd"; printf '\n*MorvaneVerticalDots: "3400"\n'; } \
	    >"$tmp/$queue-cups.ppd"
	for twin in "$queue $tmp/$queue.ppd" "$queue-cups $tmp/$queue-cups.ppd"; do
		set -- $twin
		lpadmin -p "$1" -E -v "save:$tmp/printed" -P "$2" 2>"$tmp/err" ||
		    fail "queue $1: $(cat "$tmp/err")"
	done
	said=$("$setup_program" "$queue" 3400 2>&1)
	[ "$said" = "$queue: morvane-filter now runs before foomatic-rip, with vertical dots 3400" ] ||
	    fail "setup of queue $queue: $said"
done

# morvane-setup on a queue keeps the queue's settings, and --remove gives
# it back its PPD as it was.
lpadmin -p removed -E -v "save:$tmp/printed" -P "$tmp/c.ppd" -o PageSize=Letter 2>"$tmp/err" ||
    fail "queue removed: $(cat "$tmp/err")"
cp "$tmp/ppd/removed.ppd" "$tmp/removed.ppd"
while IFS='|' read -r arguments expected; do
	said=$("$setup_program" $arguments 2>&1)
	[ "$said" = "$expected" ] || fail "morvane-setup $arguments: $said"
done <<RUNS
removed|removed: its PPD does not run morvane-filter; morvane-setup removed DOTS sets it up
removed 3473|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3473
removed|removed: vertical dots 3473, its PPD's *MorvaneVerticalDots
removed 3400|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3400
--remove removed|removed: morvane-filter no longer runs; the PPD's own filter lines are back
--remove removed|removed: its PPD has no lines of morvane's; nothing changed
dots|dots: vertical dots 3300, the queue's morvane-vertical-dots-default
plain|plain: no vertical dots: its jobs pass unshifted
--calibrate plain|morvane-setup: plain has no vertical dots to calibrate: morvane-setup plain DOTS sets them
--calibrate plain-cups|morvane-setup: plain-cups has no vertical dots to calibrate: morvane-setup plain-cups DOTS sets them
RUNS
# Another user may not change the queue, and is never asked for a
# password: it has no terminal. It runs a copy that it may read, wherever
# the build is.
if [ "$(id -u)" -eq 0 ]; then
	install -m 755 "$setup_program" "$tmp/morvane-setup"
	said=$(setsid -w setpriv --reuid=nobody --regid=nogroup --clear-groups \
	    "$tmp/morvane-setup" removed 3473 2>&1 </dev/null)
	[ "$said" = "morvane-setup: the CUPS server $CUPS_SERVER refused to change removed: Unauthorized" ] ||
	    fail "morvane-setup by another user: $said"
fi
cmp -s "$tmp/ppd/removed.ppd" "$tmp/removed.ppd" && passed=$((passed + 1)) ||
    { fail "--remove: not the queue's PPD as it was"; diff "$tmp/removed.ppd" "$tmp/ppd/removed.ppd"; }
# A queue's default for the dots, which its jobs get first, takes a new
# value too.
lpadmin -p removed -o morvane-vertical-dots-default=3000 2>"$tmp/err" ||
    fail "queue removed: $(cat "$tmp/err")"
for run in "removed 3100|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3100" \
    "removed|removed: vertical dots 3100, the queue's morvane-vertical-dots-default"; do
	said=$("$setup_program" ${run%%|*} 2>&1)
	[ "$said" = "${run#*|}" ] || fail "morvane-setup ${run%%|*}: $said"
done

# The jobs: PostScript with and without DSC comments, and with a page size
# of its own in its setup, PDF, text, PNG and CUPS's test page. CUPS's own
# pstops refuses a line of 1 KiB, such as the direct runs' title.
sed -i '/^%%Title:/d' "$job"
printf '%s\n' '%!PS' '/Times-Roman findfont 24 scalefont setfont' \
    '150 200 moveto (no comments) show showpage' >"$tmp/nodsc.ps"
sed 's|^%%EndComments$|&\n%%BeginSetup\n%%BeginFeature: *PageSize Letter\n<</PageSize [612 792]>> setpagedevice\n%%EndFeature\n%%EndSetup|' \
    "$job" >"$tmp/own-size.ps"
# A setup that asks for A4 with code of its own, in no block.
sed 's|^%%EndComments$|&\n%%BeginSetup\n<< /PageSize [595 842] >> setpagedevice\n%%EndSetup|' \
    "$job" >"$tmp/setup-size.ps"
# groff's own PostScript, whose setup selects the page size "Default" with
# code for A4, and the paper of dvips's, a %%BeginPaperSize block in the
# setup.
printf '.TH TEST 1\n.SH NAME\ntest \\- a page of groff\n' |
    groff -man -Tps -P-pa4 >"$tmp/groff.ps"
sed 's|^%%EndComments$|&\n%%BeginSetup\n/TeXDict 10 dict def TeXDict begin\n%%BeginPaperSize: a5\n/setpagedevice where { pop << /PageSize [ 420 595 ] >> setpagedevice } { /a5 where { pop a5 } if } ifelse\n%%EndPaperSize\nend\n%%EndSetup|' \
    "$job" >"$tmp/dvips.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$tmp/job.pdf" "$job"
# Pages that ask for their own size: A4, A4, Letter, A4, written by hand,
# by poppler's pdftops and by ghostscript's ps2write.
{
	printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 4' '%%EndComments'
	for page in 1:595x842 2:595x842 3:612x792 4:595x842; do
		size=${page#*:}
		printf '%s\n' "%%Page: ${page%:*} ${page%:*}" \
		    "<< /PageSize [${size%x*} ${size#*x}] >> setpagedevice" \
		    '/Times-Roman findfont 24 scalefont setfont' \
		    "100 100 moveto (page ${page%:*}) show" \
		    "20 20 $((${size%x*} - 40)) $((${size#*x} - 40)) rectstroke showpage"
	done
	echo '%%EOF'
} >"$tmp/mixed.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$tmp/mixed.pdf" "$tmp/mixed.ps"
pdftops -origpagesizes "$tmp/mixed.pdf" "$tmp/poppler.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ps2write -o "$tmp/ps2write.ps" "$tmp/mixed.pdf"
printf 'A text job\nof two lines\n' >"$tmp/job.txt"
ln -s /usr/share/cups/data/testprint "$tmp/testprint"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -g100x80 -r72 \
    -o "$tmp/job.png" -c '0 0 1 setrgbcolor 10 10 80 60 rectfill showpage'
# QUEUE FILE SIZE [LP OPTIONS]: SIZE, a name in the PPD or WxH, is the
# paper whose record shifts the pages that no code of the job puts on
# paper of their own: where the tray alone chooses the paper, or the PPD's
# code is not PostScript ("-" for none). "unchanged": no shift at all.
{
	for queue in letter a4 sample; do
		size=A4 other=Letter
		[ "$queue" != letter ] || { size=Letter other=A4; }
		for file in job.ps job.pdf job.txt job.png; do
			echo "$queue $file $size"
		done
		for file in job.ps job.pdf; do
			for options in "-n 3" "-n 2 -o collate=true" "-o landscape" \
			    "-o sides=two-sided-long-edge" "-o InputSlot=Tray2" \
			    "-o number-up=2" "-o page-ranges=2"; do
				echo "$queue $file $size $options"
			done
			echo "$queue $file $other -o media=$other"
			[ "$queue" = letter ] || continue
			for options in "-o fit-to-page" "-o page-set=odd" \
			    "-o mirror" "-o outputorder=reverse"; do
				echo "$queue $file $size $options"
			done
		done
	done
	# On the printers that take PDF too (c, g), CUPS's own queue prints
	# text by its PDF route, where foomatic-rip sets duplex on a job of one
	# page, and collated copies as PostScript that fails on the third page.
	# The real printers' sizes are their code's, and their trays their own.
	for queue in b c d e g $real; do
		size=A4 other=Letter
		case $queue in real*) size=- other=- ;; esac
		for file in job.ps job.pdf job.txt; do
			case $queue:$file in c:job.txt|g:job.txt|real*:job.txt) continue ;; esac
			echo "$queue $file $size"
		done
		for file in job.ps job.pdf; do
			for options in "-n 2 -o collate=true" "-o InputSlot=Tray2" \
			    "-o sides=two-sided-long-edge"; do
				case $queue:$options in c:-n*|g:-n*|real*:-o\ I*) continue ;; esac
				echo "$queue $file $size $options"
			done
			echo "$queue $file $other -o media=Letter"
		done
	done
	cat <<JOBS
letter nodsc.ps Letter
letter job.ps Letter -o Resolution=1200dpi -o MediaType=Heavy -o JCLEconomode=On
a4 job.ps - -o media=Custom.500x800 -o InputSlot=Bypass
a5 job.ps -
sample job.ps - -o media=Tabloid
sample job.ps - -o media=na_letter_8.5x11in
sample own-size.ps -
letter groff.ps -
a4 groff.ps - -o media=Letter
letter dvips.ps -
letter mixed.ps -
letter setup-size.ps -
b setup-size.ps -
a4 poppler.ps -
letter poppler.ps - -n 2 -o collate=true
sample ps2write.ps -
b poppler.ps -
sample dvips.ps - -o InputSlot=Tray2
sample testprint A4
shapes job.ps -
shapes job.ps A5 -o PageSize=A5
shapes job.ps Letter -o media=na_letter_8.5x11in
shapes job.ps - -o PageSize=Custom.500x800
plain job.ps unchanged -o media=Letter
plain job.ps A4 -o morvane-vertical-dots=3473
sample job.pdf A4 -o morvane-vertical-dots=3300
dots job.ps A4
dots job.pdf A4 -o morvane-vertical-dots=3200
legacy job.ps Letter -n 2 -o sides=two-sided-long-edge
legacy job.ps Letter
JOBS
} >"$tmp/jobs"
# ONLY=REGEX runs only the jobs whose line matches it.
if [ -n "${ONLY:-}" ]; then
	grep -E -e "$ONLY" "$tmp/jobs" >"$tmp/only" || :
	mv "$tmp/only" "$tmp/jobs"
fi

# Every job goes to both queues at once; the server runs them side by side.
: >"$tmp/submitted"
while read -r queue file size options; do
	for twin in "$queue" "$queue-cups"; do
		request=$(lp -d "$twin" -t title $options "$tmp/$file" 2>"$tmp/err") ||
		    { fail "$twin $file $options: $(cat "$tmp/err")"; request=-0; }
		# A request that lp refused is no job: its ID is 0.
		id=${request#*"$twin"-} id=${id%% *}
		printf '%s ' "$id" >>"$tmp/submitted"
	done
	echo "$queue $file $size $options" >>"$tmp/submitted"
done <"$tmp/jobs"

# The calibration pages, of queues whose pages print too low and too high.
: >"$tmp/calibrations"
for run in "a4|3400, its PPD's *MorvaneVerticalDots" \
    "letter|3200, its PPD's *MorvaneVerticalDots" \
    "dots|3300, the queue's morvane-vertical-dots-default" \
    "b|3400, its PPD's *MorvaneVerticalDots"; do
	queue=${run%%|*}
	said=$("$setup_program" --calibrate "$queue" 2>&1)
	id=${said#"$queue: the calibration page is job $queue-"} id=${id%%,*}
	[ "$said" = "$queue: the calibration page is job $queue-$id, with vertical dots ${run#*|}" ] &&
	    echo "$id $queue ${run#*|}" >>"$tmp/calibrations" ||
	    fail "morvane-setup --calibrate $queue: $said"
done

# Jobs that must fail with one ERROR: line and print nothing: a queue's
# default for the dots that puts the page off the sheet or is no number,
# and a page of a size of its own for which the dots do.
printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 1' '%%EndComments' '%%Page: 1 1' \
    '<< /PageSize [200 200] >> setpagedevice 10 10 moveto 90 90 lineto stroke showpage' \
    '%%EOF' >"$tmp/small.ps"
: >"$tmp/failing"
while IFS='|' read -r queue file expected; do
	request=$(lp -d "$queue" -t title "$tmp/$file" 2>"$tmp/err") ||
	    { fail "$queue $file: $(cat "$tmp/err")"; continue; }
	id=${request#*"$queue"-} id=${id%% *}
	echo "$id $queue $expected" >>"$tmp/failing"
done <<FAILING
too-far|job.ps|the job's option morvane-vertical-dots "34730" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
not-a-number|job.pdf|the job's option morvane-vertical-dots "3473abc" is not a number
a4|small.ps|the PPD's *MorvaneVerticalDots "3400" puts the page off the sheet for the page size 200x200, 200 points long: it must lie between -35.43 and 1631.23
FAILING

# A job has ended when the log says that it completed or stopped: a job
# whose filter fails stays stopped. Each job counts once, and only the jobs
# submitted above. The wait fails when no job has ended for 30 s, time
# for the slowest on a busy machine, and names the jobs left.
{
	awk '{ if ($1 > 0) print $1; if ($2 > 0) print $2 }' "$tmp/submitted"
	cut -d' ' -f1 "$tmp/calibrations" "$tmp/failing"
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

# report OUTPUT PREFIX: splits a printer's input into its JCL (PREFIX.jcl,
# without the job's ID) and its documents, and writes what ghostscript
# finds on each document's pages to PREFIX.N. Prints the documents' count.
report() {
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
			record=$("$morvane" - - - - - "$dots" pstops in out "$tmp/paper.size")
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
	r=$tmp/reports/$mine
	documents=$(report "$tmp/printed/$mine.prn" "$r.m")
	[ "$documents" -eq "$(report "$tmp/printed/$theirs.prn" "$r.c")" ] ||
	    { fail "$what: not the same number of documents"; continue; }
	cmp -s "$r.m.jcl" "$r.c.jcl" || { fail "$what: not the same JCL"; continue; }
	ppd=$tmp/$queue-cups.ppd
	dots=$(tr -d '\r' <"$ppd" | sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p')
	# The job's option comes first, then the queue's default, then the PPD.
	[ "$queue" != dots ] || dots=3300
	case " $options " in
	*" morvane-vertical-dots="*)
		dots=${options#*morvane-vertical-dots=} dots=${dots%% *} ;;
	esac
	[ "$size" != unchanged ] || dots=unchanged
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

# On the printer, the row of the calibration page for the distance from
# the sheet's top edge to the mark's gives the value that puts the page's
# top edge on the sheet's, within half a millimetre and the rounding; and
# the page shows the value in effect.
while read -r id queue dots source; do
	grep -a -q "\[Job $id\] Job completed\." "$tmp/log/error_log" ||
	    { fail "calibration page of $queue: job $id did not complete"; continue; }
	r=$tmp/reports/calibration-$id
	report "$tmp/printed/$id.prn" "$r" >/dev/null
	grep -a -q -F "(Vertical dots in effect: ${dots%,}) " "$tmp/printed/$id.prn" ||
	    { fail "calibration page of $queue: not the value in effect"; continue; }
	awk -v prn="$tmp/printed/$id.prn" '
	    $2 == "device" { h = $5; sub(/]/, "", h) }
	    /^%%HiResBoundingBox:/ { top = $5 }
	    END {
		mm = (h - top) / 72 * 25.4; row = int(mm + 0.5)
		while ((getline line < prn) > 0)
			if (line ~ "^\\(" row "\\) \\(")
				{ split(line, f, /[()]/); value = f[4] }
		ideal = (h / 72 - 3 / 25.4) * 300
		d = value - ideal
		if (value == "" || d > 0.5 * 300 / 25.4 + 0.5 || d < -0.5 * 300 / 25.4 - 0.5) {
			printf "mark at %.2f mm, row %d: %s, not %.1f\n", mm, row, value, ideal
			exit 1
		}
	    }' "$r.1" >"$tmp/err" && passed=$((passed + 1)) ||
	    fail "calibration page of $queue: $(cat "$tmp/err")"
done <"$tmp/calibrations"
[ -z "$(ls "$tmp/spool/tmp" | grep morvane)" ] ||
    fail "the filter left a temporary folder in the spool"
stop_cupsd || fail "a job's program lived on after cupsd stopped"
finish
