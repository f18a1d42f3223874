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

# start_avahi FOLDER STAND-IN: ippeveprinter announces itself through
# Avahi, and will not start without it: a private D-Bus bus in FOLDER/avahi
# and on it the stand-in, which announces nothing. Both are children that
# end with the shell, listed in FOLDER/helpers. Sets
# DBUS_SYSTEM_BUS_ADDRESS; fails when either has not started within 10 s.
start_avahi() {
	mkdir "$1/avahi"
	printf '%s\n' '<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"' \
	    ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">' \
	    "<busconfig><type>system</type><listen>unix:path=$1/avahi/bus</listen>" \
	    '<auth>EXTERNAL</auth><policy context="default"><allow user="*"/>' \
	    '<allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>' \
	    '</policy></busconfig>' >"$1/avahi/bus.conf"
	setpriv --pdeathsig TERM dbus-daemon --config-file="$1/avahi/bus.conf" \
	    --nofork --nopidfile 2>/dev/null &
	echo $! >>"$1/helpers"
	wait_for 10 "the private bus" test -S "$1/avahi/bus" || return 1
	export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$1/avahi/bus"
	setpriv --pdeathsig TERM /usr/bin/python3 "$2" \
	    "$DBUS_SYSTEM_BUS_ADDRESS" "$1/avahi/ready" &
	echo $! >>"$1/helpers"
	wait_for 10 "the Avahi stand-in" test -e "$1/avahi/ready"
}

# listening PORT: whether a program listens on the TCP port of 127.0.0.1.
listening() {
	grep -q -i ":$(printf %04x "$1") 00000000:0000 0A" /proc/net/tcp
}

# start_printer FOLDER NAME COMMAND OPTION...: a driverless printer,
# ippeveprinter with OPTIONs, on a free port of localhost (127.0.0.1 and
# ::1), that runs COMMAND on each document; a child listed in
# FOLDER/helpers, its log in FOLDER/log/NAME.log. Sets printer_port; fails
# when it has not started within 10 s.
start_printer() {
	printer_port=$((${printer_port:-$port} + 1))
	while listening "$printer_port"; do
		printer_port=$((printer_port + 1))
	done
	folder=$1 name=$2 command=$3
	shift 3
	mkdir "$folder/$name-spool"
	setpriv --pdeathsig TERM ippeveprinter -n localhost -p "$printer_port" \
	    "$@" -c "$command" -d "$folder/$name-spool" "$name" \
	    >"$folder/log/$name.log" 2>&1 &
	echo $! >>"$folder/helpers"
	wait_for 10 "printer $name" listening "$printer_port"
}

# printer_conf FILE ATTRIBUTE...: the attributes of a driverless printer
# for ippeveprinter -a, in FILE, with the sides and the papers (Letter,
# Legal, A4) and their margins, which CUPS asks for with every job.
# Prints FILE.
printer_conf() {
	size() {
		echo "{MEMBER integer x-dimension $1 MEMBER integer y-dimension $2}"
	}
	col() {
		echo "{MEMBER collection media-size $(size "$1" "$2")" \
		    "MEMBER integer media-bottom-margin 1270 MEMBER integer media-left-margin 635" \
		    "MEMBER integer media-right-margin 635 MEMBER integer media-top-margin 1270}"
	}
	file=$1
	shift
	printf '%s\n' \
	    'ATTR keyword sides-supported one-sided,two-sided-long-edge,two-sided-short-edge' \
	    'ATTR keyword media-supported na_letter_8.5x11in,na_legal_8.5x14in,iso_a4_210x297mm' \
	    "$@" \
	    "ATTR collection media-size-supported $(size 21590 27940),$(size 21590 35560),$(size 21000 29700)" \
	    "ATTR collection media-col-database $(col 21590 27940),$(col 21590 35560),$(col 21000 29700)" \
	    'ATTR integer media-bottom-margin-supported 1270' \
	    'ATTR integer media-top-margin-supported 1270' \
	    'ATTR integer media-left-margin-supported 635' \
	    'ATTR integer media-right-margin-supported 635' >"$file"
	echo "$file"
}
