#!/bin/sh
# SPDX-License-Identifier: MIT
# Tests the CUPS filter: runs it directly on its failure paths, then prints
# a two-page job through a private cupsd (a child process on 127.0.0.1 with
# folders of its own). Each output must equal what morvane and pstops, run
# by hand, make of the size that the PPD's *PaperDimension gives.
#   cups.sh MORVANE FILTER PPD  the built programs, in a server filter folder
#                               of the test's own that also holds a failing
#                               pstops, as a print server's holds its own
#   cups.sh --installed         the installed programs, the system's filter
#                               folder, and the model that lpinfo -m lists
# FILTER_WRAPPER (valgrind, say) runs the filter in the direct runs.
# Exits 77 (skipped) where cupsd, the CUPS clients or pstops are missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
PATH=$PATH:/usr/sbin:/sbin
installed=
if [ "${1:-}" = --installed ]; then
	installed=yes
	set -- "$(command -v morvane)" /usr/lib/cups/filter/morvane-filter \
	    /usr/share/ppd/morvane/morvane.ppd
fi
[ $# -eq 3 ] || { echo "usage: $0 morvane filter ppd | --installed" >&2; exit 2; }
needs cups pstops psutils
needs cups cupsd cups-daemon
needs cups lpadmin cups-client

# Filters run as user lp when cupsd runs as root, so lp must be able to
# enter the folder and run the copies of the programs in it.
tmp=$(mktemp -d) || exit 2
pid=
stop() { [ -z "$pid" ] || { kill "$pid"; wait "$pid"; }; }
# A filter that cupsd left running may still be removing its own files.
trap 'stop; rm -rf "$tmp" 2>/dev/null || { sleep 1; rm -rf "$tmp"; }' EXIT
trap 'exit 1' HUP INT TERM
chmod 755 "$tmp"
mkdir -p "$tmp/bin/filter" "$tmp/bin/daemon" "$tmp/spool/tmp" "$tmp/log" \
    "$tmp/fake" "$tmp/by-hand" "$tmp/filter-tmp"
morvane=$1 filter=$2 sample=$(cd "$(dirname "$3")" && pwd)/${3##*/}
if [ -z "$installed" ]; then
	install -m 755 "$1" "$tmp/morvane"
	install -m 755 "$2" "$tmp/bin/filter/"
	morvane=$tmp/morvane filter=$tmp/bin/filter/morvane-filter
fi
job=$tmp/job.ps
printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 2' '%%EndComments' '%%Page: 1 1' \
    '100 100 moveto 200 200 lineto stroke showpage' '%%Page: 2 2' \
    '100 200 moveto 200 100 lineto stroke showpage' '%%EOF' >"$job"

# wait_for COMMAND...: runs COMMAND every 0.1 s until it succeeds, 30 s at most.
wait_for() {
	for i in $(seq 300); do "$@" && return; sleep 0.1; done
	return 1
}

# by_hand PPD SIZE: what morvane and pstops make of the job for SIZE (a
# name in PPD, or WxH), or the job itself for "unchanged"; in by-hand/out.ps.
by_hand() {
	rm -f "$tmp/by-hand/"*
	cp "$job" "$tmp/by-hand/in.ps"
	case $2 in
	unchanged) cp "$job" "$tmp/by-hand/out.ps"; return ;;
	*x*) dimensions=$(echo "$2" | tr x ' ') ;;
	*) dimensions=$(tr -d '\r' <"$1" |
	    sed -n "s|^\*PaperDimension $2[/:][^\"]*\"\(.*\)\"|\1|p") ;;
	esac
	echo "PageSize [$dimensions]" >"$tmp/by-hand/page.size"
	dots=$(tr -d '\r' <"$1" | sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p')
	record=$("$morvane" - - - - - "$dots" pstops in.ps out.ps \
	    "$tmp/by-hand/page.size")
	(cd "$tmp/by-hand" && run_record "$record" 2>/dev/null)
}

# The filter's failure paths: a status of 1, one ERROR: line, no job on
# standard output, and no temporary folder left.
printf '#!/bin/sh\necho partial | tee out.ps\nexit 1\n' >"$tmp/fake/pstops"
printf '#!/bin/sh\nprintf "PSCOMMAND=cp\\nCMDARGV=-f /etc/passwd out.ps\\n"\n' \
    >"$tmp/fake/other-file"
printf '#!/bin/sh\nsleep 30 &\necho $! >"%s/sleep.pid"\nwait\n' "$tmp" \
    >"$tmp/fake/slow"
chmod 755 "$tmp/fake/"*
run_filter() {
	env TMPDIR="$tmp/filter-tmp" PPD="$sample" MORVANE="$morvane" "$@"
}
while read -r name setting output; do
	if [ "$output" = closed ]; then
		run_filter "$setting" ${FILTER_WRAPPER:-} "$filter" 1 user title 1 '' \
		    "$job" >&- 2>"$tmp/err"
	else
		run_filter "$setting" ${FILTER_WRAPPER:-} "$filter" 1 user title 1 '' \
		    "$job" >"${output:-$tmp/out}" 2>"$tmp/err"
	fi
	status=$? errors=$(grep -c '^ERROR:' "$tmp/err")
	if [ "$status" -ne 1 ] || [ "$errors" -ne 1 ] || [ -s "$tmp/out" ] ||
	    [ -n "$(ls "$tmp/filter-tmp")" ]; then
		fail "$name: status $status, $errors ERROR: lines"
		cat "$tmp/err" "$tmp/out"
	else
		passed=$((passed + 1))
	fi
done <<CASES
no-ppd PPD=$tmp/none
not-a-ppd PPD=$job
failing-morvane MORVANE=false
failing-command MORVANE_PSTOPS=$tmp/fake/pstops
record-naming-another-file MORVANE=$tmp/fake/other-file
output-full TMPDIR=$tmp/filter-tmp /dev/full
output-closed TMPDIR=$tmp/filter-tmp closed
CASES
# A cancel during a slow command stops it and whatever it started.
env TMPDIR="$tmp/filter-tmp" PPD="$sample" MORVANE="$morvane" \
    MORVANE_PSTOPS="$tmp/fake/slow" ${FILTER_WRAPPER:-} "$filter" \
    1 user title 1 '' "$job" >"$tmp/out" 2>"$tmp/err" &
filter_pid=$!
wait_for test -s "$tmp/sleep.pid"
kill -TERM "$filter_pid"
wait "$filter_pid"
status=$?
if [ "$status" -ne 1 ] || [ -s "$tmp/out" ] || [ -n "$(ls "$tmp/filter-tmp")" ] ||
    ps -o stat= -p "$(cat "$tmp/sleep.pid")" | grep -qv Z; then
	fail "cancel: status $status, or output, a folder or the command left"
	cat "$tmp/err"
else
	passed=$((passed + 1))
fi
# The job from a file named relative to the current folder, and from
# standard input.
by_hand "$sample" A4
for input in relative stdin; do
	if [ "$input" = relative ]; then
		(cd "$tmp" && run_filter ${FILTER_WRAPPER:-} "$filter" 1 u t 1 '' job.ps)
	else
		run_filter ${FILTER_WRAPPER:-} "$filter" 1 u t 1 '' <"$job"
	fi >"$tmp/out" 2>"$tmp/err"
	status=$?
	if [ "$status" -eq 0 ] && cmp -s "$tmp/out" "$tmp/by-hand/out.ps"; then
		passed=$((passed + 1))
	else
		fail "$input: status $status, or the output differs from A4 by hand"
		cat "$tmp/err"
	fi
done

# cupsd, on a port that no socket listens on. Its filter folder is the
# system's for the installed programs, else the test's own, where a pstops
# that fails stands for the print server's filter of that name.
if [ -n "$installed" ]; then
	server_bin=/usr/lib/cups
	needs cups lpinfo cups-client
	needs cups /usr/lib/cups/daemon/cups-driverd cups
else
	server_bin=$tmp/bin
	ln -s /usr/lib/cups/daemon/cups-exec "$tmp/bin/daemon/"
	printf '#!/bin/sh\necho "ERROR: the server'\''s pstops ran" >&2\nexit 1\n' \
	    >"$tmp/bin/filter/pstops"
	chmod 755 "$tmp/bin/filter/pstops"
fi
printf '%s\n' "ServerRoot $tmp" "ServerBin $server_bin" \
    "RequestRoot $tmp/spool" "TempDir $tmp/spool/tmp" "CacheDir $tmp/spool" \
    "StateDir $tmp/spool" "ErrorLog $tmp/log/error_log" \
    "AccessLog $tmp/log/access_log" "PageLog $tmp/log/page_log" \
    "FileDevice Yes" "SetEnv MORVANE $morvane" >"$tmp/cups-files.conf"
port=$((20000 + $$ % 20000))
while grep -q -i ":$(printf %04x $port) 00000000:0000 0A" /proc/net/tcp; do
	port=$((port + 1))
done
printf '%s\n' "Listen 127.0.0.1:$port" "Browsing No" "WebInterface No" \
    "LogLevel debug" "MaxLogSize 0" "ErrorPolicy abort-job" "DefaultAuthType None" \
    "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" \
    "</Policy>" >"$tmp/cupsd.conf"
cupsd -f -c "$tmp/cupsd.conf" -s "$tmp/cups-files.conf" &
pid=$!
export CUPS_SERVER=127.0.0.1:$port
# lpstat -r succeeds either way: its answer tells.
running() { LC_ALL=C lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; }
idle() { [ -z "$(lpstat -o "$1")" ]; }
wait_for running || { echo "cupsd did not start"; cat "$tmp/log/error_log"; exit 1; }

# The sample PPD as the scheduler finds it, or given by its path.
driver="-P $sample"
if [ -n "$installed" ]; then
	model=$(lpinfo -m | awk '/morvane/ { print $1; exit }')
	[ -n "$model" ] || fail "lpinfo -m does not list the sample PPD"
	driver="-m $model"
fi
# PPDs of other shapes, made from the sample: *PageSize code over several
# lines, code without brackets (a comment, and PJL), custom sizes, CRLF line
# ends, a fractional size, and a ColorModel (whose cache in libcups leaks);
# and one without *MorvaneVerticalDots.
awk '/^\*PageSize / { next }
    /^\*DefaultPageSize:/ { print "*DefaultPageSize: Decimal"; next }
    /^\*MorvaneVerticalDots:/ { print "*MorvaneVerticalDots: \"1200.5\""; next }
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
# QUEUE DRIVER [OPTIONS]: a queue whose device is the file QUEUE.out.
while read -r queue setup; do
	lpadmin -p "$queue" -E -v "file://$tmp/$queue.out" $setup 2>"$tmp/err" ||
	    fail "queue $queue: $(cat "$tmp/err")"
done <<QUEUES
sample $driver
a5 $driver -o media-default=iso_a5_148x210mm
shapes -P $tmp/shapes.ppd
plain -P $tmp/plain.ppd
QUEUES

# QUEUE PPD SIZE [LP OPTIONS]: prints the job through QUEUE with the
# options, and compares what the device got with the job for SIZE by hand.
while read -r queue ppd size options; do
	rm -f "$tmp/$queue.out"
	request=$(lp -d "$queue" $options "$job" 2>"$tmp/err") ||
	    { fail "$queue $options: $(cat "$tmp/err")"; continue; }
	id=${request#*"$queue"-} id=${id%% *}
	wait_for idle "$queue"
	by_hand "$ppd" "$size"
	if cmp -s "$tmp/$queue.out" "$tmp/by-hand/out.ps" && grep -a -q \
	    "\[Job $id\] Job completed\." "$tmp/log/error_log"; then
		passed=$((passed + 1))
	else
		fail "$queue $options: the job failed or differs from $size by hand"
		grep -a "\[Job $id\]" "$tmp/log/error_log" | grep -v 'env\|argv' |
		    tail -n 20
	fi
done <<JOBS
sample $sample A4
sample $sample Letter -o media=letter
sample $sample Letter -o media=na_letter_8.5x11in
sample $sample A4 -o media=Tabloid
a5 $sample A5
shapes $tmp/shapes.ppd Decimal
shapes $tmp/shapes.ppd A5 -o PageSize=A5
shapes $tmp/shapes.ppd Letter -o media=na_letter_8.5x11in
shapes $tmp/shapes.ppd 300x400 -o PageSize=Custom.300x400
plain $tmp/plain.ppd unchanged -o media=Letter
JOBS
[ -z "$(ls "$tmp/spool/tmp" | grep morvane)" ] ||
    fail "the filter left a temporary folder in the spool"
finish
