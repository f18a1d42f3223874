# SPDX-License-Identifier: MIT
# The cupsd test's first cases: the filter run directly, on its failure
# paths and on every way a job can come in, a cancel, and collated copies.
# It runs before the server starts, as a filter run by hand: it calls no
# need_server.
# Stand-ins for morvane and pstops, and PPDs that are wrong in one way.
mkdir "$tmp/fake"
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
    /^\*MorvaneVerticalDots:/ { print "*MorvaneVerticalDots: \"3400.5 \""
	print "*MorvaneReferenceSize: \"A4\""; next }
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
# A PPD whose A5 has a value of its own, before the value for every paper,
# and one whose A5's own value puts the page off the sheet.
sed 's/^\*MorvaneVerticalDots: .*/*MorvaneVerticalDots A5: "2400"\n&/' \
    "$sample" >"$tmp/own.ppd"
sed 's/^\*MorvaneVerticalDots: .*/&\n*MorvaneVerticalDots A5: "9000"/' \
    "$sample" >"$tmp/own-off.ppd"
mkfifo "$tmp/fifo"
# A copy of the job whose absolute name is 1024 bytes long.
long=$tmp
while [ $((1024 - ${#long})) -gt 210 ]; do long=$long/$(printf '%0200d' 0); done
mkdir -p "$long"
long=$long/$(printf "%0$((1024 - ${#long} - 4))d" 0).ps
cp "$job" "$long"

# The direct runs, from the folder of the job, the working folder. A run that has not ended
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
file - - ${job#"$tmp"/} file ok A4 A4
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
another-paper - media=Letter $job file ok Letter Letter
own-value PPD=$tmp/own.ppd media=A5 $job file ok A5 A5
own-value-over-the-job PPD=$tmp/own.ppd media=A5\040morvane-vertical-dots=3100 $job file ok A5 A5
own-value-elsewhere PPD=$tmp/own.ppd media=Letter $job file ok Letter Letter
own-value-off-the-sheet PPD=$tmp/own-off.ppd media=A5 $job file the PPD's *MorvaneVerticalDots A5 "9000" puts the page off the sheet for the page size A5, 595 points long: it must lie between -35.43 and 4922.90
another-paper-of-the-job - media=A5\040morvane-vertical-dots=3300 $job file ok A5 A5
dots-of-the-job-alone PPD=$tmp/plain.ppd morvane-vertical-dots=3473 $job file ok A4 A4
dots-of-the-job-not-a-number - morvane-vertical-dots=34x $job file the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "34x" is not a number
error-in-a-shared-log - morvane-vertical-dots=34x $job shared the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "34x" is not a number
dots-off-the-sheet - morvane-vertical-dots=34730 $job file the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "34730" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
dots-above-the-sheet PPD=$tmp/shapes.ppd PageSize=Custom.300x400\040morvane-vertical-dots=5200 $job file the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "5200" puts the page off the sheet for the page size Custom, 400 points long: it must lie between 1806.23 and 5139.57
dots-below-the-sheet PPD=$tmp/low.ppd - $job file the PPD's *MorvaneVerticalDots "-40" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
image-shift-not-whole - x-image-shift=1.5 $job file x-image-shift=1.5 is not a whole number of hundredths of a millimetre
image-shift-off-the-sheet - y-image-shift=29705 $job file y-image-shift=29705 puts the front side's image off the sheet of A4: from -29703 to 29704 hundredths of a millimetre fit
image-shift-of-the-back-one-sided - y-side2-image-shift=99999 $job file ok A4 A4
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

