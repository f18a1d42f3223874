# SPDX-License-Identifier: MIT
# Helpers that the shell tests source: counting, skipping, and running a
# record the way a print job does.
passed=0
failed=0
fail() {
	failed=$((failed + 1))
	printf 'FAIL: %s\n' "$*"
}

# needs TEST PROGRAM PACKAGE: ends the test as skipped (77) where PROGRAM is
# missing, and adds the reason to the file that MORVANE_SKIP_REASONS names.
needs() {
	command -v "$2" >/dev/null 2>&1 && return
	echo "$1: skipped, $2 is not installed (Debian package $3)" |
	    tee -a "${MORVANE_SKIP_REASONS:-/dev/null}"
	exit 77
}

# The caller: the value after "PSCOMMAND=" is the command, the value after
# "CMDARGV=" its word-split arguments.
run_record() {
	command=$(printf '%s\n' "$1" | sed -n 's/^PSCOMMAND=//p')
	arguments=$(printf '%s\n' "$1" | sed -n 's/^CMDARGV=//p')
	set -f
	# shellcheck disable=SC2086
	"$command" $arguments
	status=$?
	set +f
	return $status
}

# wait_for SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it
# succeeds; after SECONDS, says what it waited for and fails.
wait_for() {
	seconds=$1 what=$2
	shift 2
	for i in $(seq $((seconds * 10))); do "$@" && return; sleep 0.1; done
	fail "waited $seconds s for $what"
	return 1
}

# start_cupsd FOLDER FILTER MORVANE LOGLEVEL: starts a private cupsd, a
# child process that listens on a free port of 127.0.0.1, with its files in
# FOLDER. Its programs are the system's, as on a print server, with the
# file FILTER added to its filters, with morvane-pdf and morvane-raster
# where they are beside it ("yes": the installed filters), and a
# backend that keeps each job's output in FOLDER/printed/ID.prn (device
# save:FOLDER/printed). Its filters run MORVANE. Only root, which the
# server's certificate authenticates, may add or change a queue. Sets cupsd_pid and
# CUPS_SERVER; fails when the server has not started within 10 s.
start_cupsd() {
	cupsd_folder=$1 bin=$1/bin
	mkdir -p "$bin" "$1/log" "$1/spool/tmp" "$1/printed"
	# Filters and backends run as user lp when cupsd runs as root.
	chmod 755 "$1"
	chmod 777 "$1/printed"
	ln -s /usr/lib/cups/* "$bin/"
	rm "$bin/filter" "$bin/backend"
	mkdir "$bin/filter" "$bin/backend"
	ln -s /usr/lib/cups/filter/* "$bin/filter/"
	ln -s /usr/lib/cups/backend/* "$bin/backend/"
	if [ "$2" != yes ]; then
		# The filters built beside it, for PDF and raster printers.
		for program in "$2" "${2%/*}/morvane-pdf" "${2%/*}/morvane-raster"; do
			[ -e "$program" ] || continue
			rm -f "$bin/filter/${program##*/}"
			install -m 755 "$program" "$bin/filter/"
		done
	fi
	printf '%s\n' '#!/bin/sh' \
	    '[ $# -gt 0 ] || { echo "direct save \"Unknown\" \"Save\""; exit 0; }' \
	    'cat ${6:+"$6"} >"${DEVICE_URI#save:}/$1.prn"' >"$bin/backend/save"
	chmod 755 "$bin/backend/save"
	printf '%s\n' "ServerRoot $1" "ServerBin $bin" "RequestRoot $1/spool" \
	    "TempDir $1/spool/tmp" "CacheDir $1/spool" "StateDir $1/spool" \
	    "ErrorLog $1/log/error_log" "AccessLog $1/log/access_log" \
	    "PageLog $1/log/page_log" "SystemGroup root" "SetEnv MORVANE $3" \
	    >"$1/cups-files.conf"
	port=$((20000 + $$ % 20000))
	while grep -q -i ":$(printf %04x $port) 00000000:0000 0A" /proc/net/tcp; do
		port=$((port + 1))
	done
	printf '%s\n' "Listen 127.0.0.1:$port" "Browsing No" "WebInterface No" \
	    "LogLevel $4" "MaxLogSize 0" "ErrorPolicy abort-job" \
	    "DefaultAuthType Basic" "MaxJobs 0" "<Policy default>" \
	    "<Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer>" \
	    "AuthType Default" "Require user @SYSTEM" "Order deny,allow" \
	    "</Limit>" "<Limit All>" "Order deny,allow" "</Limit>" "</Policy>" \
	    >"$1/cupsd.conf"
	# It ends with the shell that started it, however that ends: a shell
	# killed by a signal runs no trap.
	setpriv --pdeathsig TERM cupsd -f -c "$1/cupsd.conf" \
	    -s "$1/cups-files.conf" &
	cupsd_pid=$!
	# The server's certificate for root is in its own state folder.
	export CUPS_SERVER=127.0.0.1:$port CUPS_STATEDIR=$1/spool
	wait_for 10 "cupsd to start" cupsd_answers && kill -0 "$cupsd_pid" 2>/dev/null
}
# lpstat -r succeeds either way: its answer tells, or the server's end.
cupsd_answers() {
	LC_ALL=C lpstat -r 2>/dev/null | grep -qx 'scheduler is running' ||
	    ! kill -0 "$cupsd_pid" 2>/dev/null
}
# stop_cupsd: stops the server, which ends its jobs' programs with SIGTERM.
# A program of its jobs (one with its PPD) that is left after 5 s did not
# end on that cancel: it is killed, and stop_cupsd fails.
stop_cupsd() {
	[ -n "${cupsd_pid:-}" ] || return 0
	kill "$cupsd_pid"
	wait "$cupsd_pid"
	cupsd_pid=
	wait_for 5 "the jobs' programs to end" no_job_programs && return
	for p in $(job_programs); do kill -KILL "$p"; done
	return 1
}
job_programs() {
	for p in /proc/[0-9]*; do
		grep -q -z -x "PPD=$cupsd_folder/ppd/.*" "$p/environ" 2>/dev/null &&
		    echo "${p#/proc/}"
	done
}
no_job_programs() { [ -z "$(job_programs)" ]; }

finish() {
	echo "$passed passed, $failed failed"
	[ "$failed" -eq 0 ]
}
