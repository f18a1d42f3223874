# SPDX-License-Identifier: MIT
# The cupsd test's cases of morvane-setup on every queue of the server,
# after the jobs: the check only reads; --suspend gives every queue that
# runs a filter of morvane's its PPD without morvane's lines and --restore
# puts back each calibration that the server keeps; neither writes another
# queue's PPD. They ask the server by the name localhost, where libcups
# answers root's request for a PPD with a link to the server's own file.
# Sourced by run.sh, which runs them once the jobs have ended (after_jobs);
# uses $tmp/c.ppd of 2-queues.sh.
need_server
local_server() {
	CUPS_SERVER=localhost:${CUPS_SERVER##*:} CUPS_SERVERROOT=$tmp \
	    "$setup_program" "$@"
}
# ppds: each PPD of the server and its checksum.
ppds() { (cd "$tmp/ppd" && cksum *.ppd); }
# with_lines FOLDER: the queues whose PPD in FOLDER has lines of morvane's.
with_lines() {
	(cd "$1" && grep -l -E '^\*Morvane|^\*cupsFilter2?: .*morvane-(filter|pdf|raster)' *.ppd) |
	    sed 's/\.ppd$//' | sort
}
# changed: the queues whose PPD is not as in ppd-before, one a line.
changed() {
	for ppd in "$tmp/ppd/"*.ppd; do
		cmp -s "$ppd" "$tmp/ppd-before/${ppd##*/}" || basename "$ppd" .ppd
	done
}
# named PATTERN: the queues that the lines of out matching PATTERN name.
named() { sed -n "s/^\([^:]*\): $1/\1/p" "$tmp/out" | sort; }

# server_cases: the runs, once the jobs have ended.
server_cases() {
	for made in "-p kyo -E -v save:$tmp/printed -P $tmp/c.ppd" \
	    "-p pwgq -E -v ipp://127.0.0.1:9/ipp/print" \
	    "-p pool-member -E -v save:$tmp/printed -P $sample" "-p pool-member -c pool" \
	    "-p kyo -c pool"; do
		lpadmin $made 2>"$tmp/err" || fail "lpadmin $made: $(cat "$tmp/err")"
	done
	cp "$tmp/ppd/kyo.ppd" "$tmp/kyo-own.ppd"

	# ARGUMENTS|STATUS|OUTPUT: morvane-setup's runs, or a command of CUPS's
	# on the queues. OUTPUT is standard output and error together, \n between
	# lines, with N for the number of a job.
	while IFS='|' read -r run status expected; do
		case $run in
		lpadmin*|cups*|cancel*)
			$run 2>"$tmp/err" || fail "$run: $(cat "$tmp/err")"
			continue ;;
		esac
		local_server $run >"$tmp/said" 2>&1
		got=$?
		said=$(sed 's/ is job \([^ ]*\)-[0-9]*,/ is job \1-N,/' "$tmp/said")
		expected=$(printf '%b' "$expected")
		[ "$got" -eq "$status" ] && [ "$said" = "$expected" ] && passed=$((passed + 1)) ||
		    fail "morvane-setup $run: status $got, $said"
	done <<RUNS
kyo 3480|0|kyo: morvane-filter now runs before foomatic-rip, with vertical dots 3480, measured on A4
kyo --shift y-front 2|0|kyo: shift y-front now 2 mm, the queue's y-side1-image-shift-default 200
kyo --media Letter|0|kyo: vertical dots 3271.7 for Letter, from 3480, its PPD's *MorvaneVerticalDots, measured on A4\nkyo: shift y-front 2 mm, the queue's y-side1-image-shift-default 200
pool 3480|1|morvane-setup: pool is a class, whose members print its jobs with their own PPDs: set up each member (lpstat -c pool lists them)
--check pool|0|pool is a class, whose members print its jobs with their own PPDs: set up each member (lpstat -c pool lists them)
--check pwgq|0|pwgq has no PPD: lpadmin -m everywhere makes none for a printer that takes only raster; lpadmin -p pwgq -m driverless:ipp://127.0.0.1:9/ipp/print gives it one
raw|1|morvane-setup: raw is a raw queue, with no PPD: its jobs reach the printer through no filter; lpadmin -p raw -m MODEL gives it one
lpadmin -p kyo -o morvane-vertical-dots-default=abc
--check kyo|1|morvane-setup: kyo: the queue's morvane-vertical-dots-default "abc" is not a number, so every job fails: morvane-setup kyo DOTS sets a new one
lpadmin -p kyo -R morvane-vertical-dots-default
lpadmin -p kyo -P $tmp/c.ppd
--remove kyo|0|kyo: its PPD has no lines of morvane's; the server no longer keeps its calibration, vertical dots 3480 measured on A4\nkyo: the server no longer keeps its shifts: y-front 2 mm
--check kyo|0|kyo: morvane-filter does not run
-h|0|usage: morvane-setup --ppd FILE DOTS | QUEUE [DOTS | --neutral] [--media SIZE] | QUEUE --shift NAME MM | QUEUE --no-shift NAME | --calibrate QUEUE [--media SIZE] | --check [QUEUE] | --remove QUEUE | --restore | --suspend | --help | --version
kyo 3480|0|kyo: morvane-filter now runs before foomatic-rip, with vertical dots 3480, measured on A4
kyo --shift x-back -1|0|kyo: shift x-back now -1 mm, the queue's x-side2-image-shift-default -100
cupsreject kyo
--calibrate kyo|1|morvane-setup: kyo does not accept jobs: cupsaccept kyo lets the calibration page in
cupsaccept kyo
cupsdisable kyo
--calibrate kyo|0|kyo: the calibration page is job kyo-N, with vertical dots 3480, its PPD's *MorvaneVerticalDots\nkyo: the queue is stopped ("Paused"), so the page waits: cupsenable kyo prints it
cancel -a kyo
cupsenable kyo
RUNS

	# The whole server: the check changes no PPD; --suspend takes morvane's
	# lines out of every PPD that has them (kyo's is its own again) and
	# --restore puts back the lines of each queue whose calibration the server
	# keeps, each saying which queues, and neither changes another PPD.
	rm -rf "$tmp/ppd-before"
	cp -R "$tmp/ppd" "$tmp/ppd-before"
	local_server --check >"$tmp/out" 2>&1
	[ -z "$(changed)" ] && grep -qx 'pool is a class, .*' "$tmp/out" &&
	    grep -qx 'kyo: morvane-filter runs, vertical dots 3480, .*' "$tmp/out" &&
	    passed=$((passed + 1)) || fail "--check changed the PPDs of $(changed)"
	local_server --suspend >"$tmp/out" 2>&1
	status=$?
	had=$(with_lines "$tmp/ppd-before")
	[ "$status" -eq 0 ] && [ "$(changed | sort)" = "$had" ] &&
	    [ "$(named '.* no longer runs; .*; the server keeps its calibration for morvane-setup --restore$')" = "$had" ] &&
	    [ -z "$(with_lines "$tmp/ppd")" ] && cmp -s "$tmp/ppd/kyo.ppd" "$tmp/kyo-own.ppd" &&
	    passed=$((passed + 1)) || { fail "--suspend: status $status, changed $(changed)"; cat "$tmp/out"; }
	rm -rf "$tmp/ppd-before"
	cp -R "$tmp/ppd" "$tmp/ppd-before"
	local_server --restore >"$tmp/out" 2>&1
	status=$?
	restored=$(named 'its PPD had lost the calibration that the server keeps, .*; putting it back$')
	[ "$status" -eq 0 ] && [ "$(changed | sort)" = "$restored" ] &&
	    echo "$restored" | grep -qx kyo && local_server --check kyo >/dev/null 2>&1 &&
	    [ -z "$(local_server --restore 2>&1)" ] &&
	    passed=$((passed + 1)) || { fail "--restore: status $status, changed $(changed)"; cat "$tmp/out"; }
	# The image shift set before --suspend is still the queue's, after
	# --suspend, --restore and the new PPD of lpadmin -P.
	lpadmin -p kyo -P "$tmp/c.ppd" 2>"$tmp/err" || fail "lpadmin -p kyo -P: $(cat "$tmp/err")"
	said=$(local_server kyo 2>&1)
	[ "$said" = "kyo: its PPD had lost the calibration that the server keeps, vertical dots 3480 measured on A4; putting it back
kyo: morvane-filter now runs before foomatic-rip, with vertical dots 3480, measured on A4" ] &&
	    [ "$(local_server kyo 2>&1)" = "kyo: vertical dots 3480, its PPD's *MorvaneVerticalDots, measured on A4
kyo: shift x-back -1 mm, the queue's x-side2-image-shift-default -100" ] &&
	    passed=$((passed + 1)) || fail "the shift after --suspend, --restore and lpadmin -P: $said"
}
after_jobs server_cases
