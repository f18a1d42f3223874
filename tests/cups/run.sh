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
# This runner makes the test's folder, sources the numbered case files of
# its folder in their order, submits the jobs that they listed, waits for
# them and compares them with the oracles of oracles.sh, whose top says
# what a case file may use and must write.
set -u
cases=$(cd "$(dirname "$0")" && pwd)
here=${cases%/*}
. "$here/common.sh"
. "$cases/oracles.sh"
PATH=$PATH:/usr/sbin:/sbin
installed=
if [ "${1:-}" = --installed ]; then
	installed=yes
	set -- "$(command -v morvane)" /usr/lib/cups/filter/morvane-filter \
	    /usr/share/ppd/morvane/morvane.ppd
	setup_program=/usr/sbin/morvane-setup
fi
[ $# -eq 3 ] || { echo "usage: $0 morvane filter ppd | --installed" >&2; exit 2; }
for need in pstops:psutils cupsd:cups-daemon lpadmin:cups-client gs:ghostscript \
    /usr/lib/cups/filter/pstops:cups /usr/lib/cups/filter/texttopdf:cups-filters \
    /usr/lib/cups/filter/foomatic-rip:cups-filters cupsfilter:cups groff:groff-base \
    pdftops:poppler-utils ippeveprinter:cups-ipp-utils ipptool:cups-ipp-utils \
    dbus-daemon:dbus-daemon /usr/bin/python3:python3; do
	needs cups "${need%:*}" "${need#*:}"
done
# Debian's own python3, which has Debian's python3-dbus and python3-gi.
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
mkdir -p "$tmp/by-hand" "$tmp/filter-tmp" "$tmp/reports"
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/${1##*/}"; }
morvane=$(absolute "$1") filter=$(absolute "$2") sample=$(absolute "$3")
setup_program=${setup_program:-${filter%/*}/morvane-setup}
pstops=$(command -v pstops)
job=$tmp/two-pages.ps
printf '%s\n' '%!PS-Adobe-3.0' "%%Title: $(printf '%01500d' 0)" '%%Pages: 2' \
    '%%EndComments' '%%Page: 1 1' \
    '150 100 moveto 300 300 lineto stroke showpage' '%%Page: 2 2' \
    '150 300 moveto 350 100 lineto stroke showpage' '%%EOF' >"$job"
for list in jobs failing calibrations driverless-calibrations driverless \
    queue-defaults shift-defaults pages-counted helpers; do
	: >"$tmp/$list"
done
cd "$tmp" || exit 2

# The server, with the filter under test among the system's filters.
server_started=
need_server() {
	[ -z "$server_started" ] || return 0
	server_started=yes
	if [ -z "$installed" ]; then
		install -m 755 "$morvane" "$tmp/morvane"
		morvane=$tmp/morvane
	fi
	start_cupsd "$tmp" "${installed:-$filter}" "$morvane" debug ||
	    { cat "$tmp/log/error_log"; finish; exit 1; }
	# morvane-setup's cupsfilter finds the server's filters.
	export CUPS_SERVERBIN="$tmp/bin"
}
after=
after_jobs() { after="$after $1"; }

# A case file reports through fail: what it writes to its error output is a
# fault of its own (a command that is not found, say), which would pass
# unseen here and fail the installed test.
: >"$tmp/case-errors"
for case_file in "$cases"/[0-9]*-*.sh; do
	before=$(wc -c <"$tmp/case-errors")
	. "$case_file" 2>>"$tmp/case-errors"
	[ "$(wc -c <"$tmp/case-errors")" -eq "$before" ] || {
		fail "${case_file##*/} wrote to its error output:"
		tail -c +$((before + 1)) "$tmp/case-errors"
	}
done
need_server
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

# The comparisons: the two outputs of every job, the jobs that must fail,
# what the case files left for after the jobs, and the calibration pages.
while read -r mine theirs queue file size options; do
	same_job "$mine" "$theirs" "$queue" "$file" "$size" && passed=$((passed + 1))
done <"$tmp/submitted"
while read -r id queue expected; do
	failed_alone "$id" "$queue" "$expected" && passed=$((passed + 1))
done <"$tmp/failing"
for hook in $after; do
	"$hook"
done
check_calibrations
while read -r id queue; do
	moved_calibration "$id" "$queue" && passed=$((passed + 1))
done <"$tmp/driverless-calibrations"
[ -z "$(ls "$tmp/spool/tmp" | grep morvane)" ] ||
    fail "the filter left a temporary folder in the spool"
stop_cupsd || fail "a job's program lived on after cupsd stopped"
finish
