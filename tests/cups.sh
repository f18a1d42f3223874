#!/bin/sh
# SPDX-License-Identifier: MIT
# Prints a two-page job through a private cupsd (a child process on
# 127.0.0.1 with folders of its own) whose queues run the CUPS filter of
# FOLDER, and compares each output with the record run by hand. Runs the
# filter's failure paths without cupsd. Exits 77 (skipped) where cupsd, the
# CUPS clients or pstops are missing.
# Usage: cups.sh MORVANE [FOLDER]   (FOLDER: default examples/cups)
set -u
[ $# -ge 1 ] || { echo "usage: $0 morvane [folder]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
folder=$(cd "${2:-$here/../examples/cups}" && pwd) || exit 2
. "$here/common.sh"
PATH=$PATH:/usr/sbin:/sbin
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
    "$tmp/fake" "$tmp/by-hand"
install -m 755 "$1" "$tmp/morvane"
install -m 755 "$folder/morvane-filter" "$tmp/bin/filter/"
ln -s /usr/lib/cups/daemon/cups-exec "$tmp/bin/daemon/"
job=$tmp/job.ps
printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 2' '%%EndComments' '%%Page: 1 1' \
    '100 100 moveto 200 200 lineto stroke showpage' '%%Page: 2 2' \
    '100 200 moveto 200 100 lineto stroke showpage' '%%EOF' >"$job"

# Each failure: a non-zero status, one ERROR: line, no job on standard
# output, and no temporary folder left.
printf '#!/bin/sh\nfor last; do :; done\necho partial | tee "$last"\nexit 1\n' \
    >"$tmp/fake/pstops"
printf '#!/bin/sh\nprintf "PSCOMMAND=cp\\nCMDARGV=-f /etc/passwd out.ps\\n"\n' \
    >"$tmp/fake/other-file"
chmod 755 "$tmp/fake/pstops" "$tmp/fake/other-file"
while read -r name setting; do
	rm -rf "$tmp/filter-tmp" && mkdir "$tmp/filter-tmp"
	env TMPDIR="$tmp/filter-tmp" PPD="$folder/morvane.ppd" \
	    MORVANE="$tmp/morvane" "$setting" "$tmp/bin/filter/morvane-filter" \
	    1 user title 1 '' "$job" >"$tmp/out" 2>"$tmp/err"
	status=$? errors=$(grep -c '^ERROR:' "$tmp/err")
	if [ "$status" -ne 0 ] && [ "$errors" -eq 1 ] && [ ! -s "$tmp/out" ] &&
	    rmdir "$tmp/filter-tmp"; then
		passed=$((passed + 1))
	else
		fail "$name: status $status, $errors ERROR: lines"
		cat "$tmp/err" "$tmp/out"
	fi
done <<CASES
no-ppd PPD=$tmp/none
failing-morvane MORVANE=false
failing-pstops PATH=$tmp/fake:$PATH
record-naming-another-file MORVANE=$tmp/fake/other-file
CASES

# cupsd, on a port that no socket listens on.
printf '%s\n' "ServerRoot $tmp" "ServerBin $tmp/bin" "RequestRoot $tmp/spool" \
    "TempDir $tmp/spool/tmp" "CacheDir $tmp/spool" "StateDir $tmp/spool" \
    "ErrorLog $tmp/log/error_log" "AccessLog $tmp/log/access_log" \
    "PageLog $tmp/log/page_log" "FileDevice Yes" "SetEnv MORVANE $tmp/morvane" \
    >"$tmp/cups-files.conf"
port=$((20000 + $$ % 20000))
while grep -q -i ":$(printf %04x $port) 00000000:0000 0A" /proc/net/tcp; do
	port=$((port + 1))
done
printf '%s\n' "Listen 127.0.0.1:$port" "Browsing No" "WebInterface No" \
    "LogLevel debug" "ErrorPolicy abort-job" "DefaultAuthType None" \
    "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" \
    "</Policy>" >"$tmp/cupsd.conf"
cupsd -f -c "$tmp/cupsd.conf" -s "$tmp/cups-files.conf" &
pid=$!
export CUPS_SERVER=127.0.0.1:$port

# wait_for COMMAND...: runs COMMAND every 0.1 s until it succeeds, 30 s at most.
wait_for() {
	for i in $(seq 300); do "$@" && return; sleep 0.1; done
	return 1
}
running() { lpstat -r >/dev/null 2>&1 && kill -0 "$pid"; }
idle() { [ -z "$(lpstat -o "$1")" ]; }
wait_for running || { echo "cupsd did not start"; cat "$tmp/log/error_log"; exit 1; }

# check QUEUE PPD SIZE [LP OPTION...]: prints the job through QUEUE, made or
# remade with PPD and a file as its device. The file must get what morvane
# and pstops run by hand make of the PPD's line for SIZE, or the job itself
# where the PPD has no such line.
check() {
	queue=$1 ppd=$2 size=$3
	shift 3
	rm -f "$tmp/$queue.out"
	lpadmin -p "$queue" -E -v "file://$tmp/$queue.out" -P "$ppd" 2>"$tmp/err" &&
	    lp -d "$queue" "$@" "$job" >/dev/null 2>>"$tmp/err" ||
	    { fail "$queue $size: $(cat "$tmp/err")"; return; }
	wait_for idle "$queue"
	rm -f "$tmp/by-hand/"*
	cp "$job" "$tmp/by-hand/in.ps"
	grep "^\*PageSize $size/" "$ppd" >"$tmp/by-hand/page.size"
	dots=$(sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p' "$ppd")
	record=$("$tmp/morvane" - - - - - "$dots" pstops in.ps out.ps \
	    "$tmp/by-hand/page.size")
	(cd "$tmp/by-hand" && run_record "$record" 2>/dev/null)
	if cmp -s "$tmp/$queue.out" "$tmp/by-hand/out.ps"; then
		passed=$((passed + 1))
	else
		fail "$queue $size: the printed job differs from the record run by hand"
		grep -a -E 'morvane|ERROR' "$tmp/log/error_log" | tail -n 5
	fi
}

check sample "$folder/morvane.ppd" A4
check sample "$folder/morvane.ppd" Letter -o media=Letter
check sample "$folder/morvane.ppd" Tabloid -o media=Tabloid
cmp -s "$tmp/sample.out" "$job" || fail "Tabloid: the job did not pass unchanged"
# Another PPD: a tiny and a fractional size, other vertical dots.
sed -e 's/^\*DefaultPageSize: .*/*DefaultPageSize: Tiny/' \
    -e 's/^\*MorvaneVerticalDots: .*/*MorvaneVerticalDots: "1200.5"/' \
    -e '/^\*PageSize A5/a\
*PageSize Tiny/Tiny: "<</PageSize[72.5 36.25]>>setpagedevice"\
*PageSize Decimal/Decimal: "<</PageSize[595.28 841.89]>>setpagedevice"' \
    "$folder/morvane.ppd" >"$tmp/other.ppd"
check other "$tmp/other.ppd" Tiny
check other "$tmp/other.ppd" Decimal -o PageSize=Decimal
finish
