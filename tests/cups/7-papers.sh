# SPDX-License-Identifier: MIT
# The cupsd test's cases of morvane-setup's papers and values: a PPD
# compressed by gzip, read as CUPS reads it; a value stored in one decimal
# form; the range that keeps the page on every paper, which --check gives;
# and calibration pages on A6 and on a label of 2x3 inches, checked by
# check_calibrations (oracles.sh) once the jobs have ended. Sourced by
# run.sh.
need_server

# The direct runs: ARGUMENTS get the PPD expected/NAME on standard output,
# for "=NAME", or status 1 and the one line EXPECTED on standard error.
gzip -c "$sample" >"$tmp/sample.ppd.gz"
gzip -c "$here/ppd/a4.ppd" | head -c 600 >"$tmp/cut.ppd.gz"
while IFS='|' read -r name arguments expected; do
	"$setup_program" $arguments >"$tmp/out" 2>"$tmp/err"
	status=$?
	case $expected in
	=*)
		sed "s|@TMP@|$tmp|g" "$cases/expected/${expected#=}" >"$tmp/expected"
		[ "$status" -eq 0 ] && [ ! -s "$tmp/err" ] &&
		    cmp -s "$tmp/out" "$tmp/expected" ;;
	*)
		[ "$status" -eq 1 ] && [ ! -s "$tmp/out" ] &&
		    [ "$(cat "$tmp/err")" = "morvane-setup: $expected" ] ;;
	esac && passed=$((passed + 1)) || {
		fail "setup $name: status $status, or not $expected"
		diff "$tmp/expected" "$tmp/out" | head -n 5; cat "$tmp/err"
	}
done <<CASES
gzip|--ppd $tmp/sample.ppd.gz 3100.5|=sample.ppd
gzip-cut|--ppd $tmp/cut.ppd.gz 3473|cannot read the PPD file $tmp/cut.ppd.gz: its gzip data ends short
plus|--ppd $sample +3100.5|=sample.ppd
exponent|--ppd $sample 3.1005e3|=sample.ppd
zeros|--ppd $sample 03100.500|=sample.ppd
hexadecimal|--ppd $sample 0xC1C|the vertical dots "0xC1C" are not a decimal number
CASES

# A PPD of A4, Letter, A5, A6 and a label of 2x3 inches. Its value is
# stored as the number, not as it was typed; off a paper, the value that
# --check finds is refused with the range that keeps the page on every
# paper, all of it bound by the label, the shortest.
awk '{ print }
    /^\*(PageSize|PageRegion|ImageableArea|PaperDimension) A5\/A5:/ {
	line = $0; sub(/A5\/A5/, "A6/A6", line); sub(/420 595/, "298 420", line)
	sub(/406 581/, "284 406", line); print line
	line = $0; sub(/A5\/A5/, "w144h216/2x3 inch label", line)
	sub(/420 595/, "144 216", line); sub(/406 581/, "130 202", line); print line
    }' "$here/ppd/a4.ppd" >"$tmp/papers.ppd"
for queue in papers papers-off; do
	lpadmin -p "$queue" -E -v "save:$tmp/printed" -P "$tmp/papers.ppd" 2>"$tmp/err" ||
	    fail "queue $queue: $(cat "$tmp/err")"
done
label="the vertical dots \"6500\" put the page off the sheet for the page size w144h216, 216 points long: on every paper of the PPD they must lie between 2572.90 and 4372.90 (both bound by w144h216)"
# RUN|STATUS|STANDARD OUTPUT|STANDARD ERROR, where RUN is "lpadmin
# ARGUMENTS" or morvane-setup's.
while IFS='|' read -r run status output error; do
	case $run in
	lpadmin*) $run 2>"$tmp/err" || fail "$run: $(cat "$tmp/err")"; continue ;;
	esac
	said=$("$setup_program" $run 2>"$tmp/err")
	got=$?
	[ "$got" -eq "$status" ] && [ "$said" = "$output" ] &&
	    [ "$(cat "$tmp/err")" = "$error" ] && passed=$((passed + 1)) ||
	    fail "morvane-setup $run: status $got, $said, $(cat "$tmp/err")"
done <<RUNS
papers +3.4e3|0|papers: morvane-filter now runs after CUPS's filters, with vertical dots 3400, measured on A4|
papers|0|papers: vertical dots 3400, its PPD's *MorvaneVerticalDots, measured on A4|
papers-off 6500|1||morvane-setup: $label
lpadmin -p papers-off -o morvane-vertical-dots-default=6500
--check papers-off|1|papers-off: morvane-filter runs, vertical dots 6500, the queue's morvane-vertical-dots-default, measured on A4|morvane-setup: $label
RUNS

# The calibration pages on A6 and on the label: the value moved from A4.
for run in "A6|1641.7" "w144h216|791.7"; do
	size=${run%|*} dots=${run#*|}
	said=$("$setup_program" --calibrate papers --media "$size" 2>&1)
	id=${said#"papers: the calibration page is job papers-"} id=${id%% *}
	[ "$said" = "papers: the calibration page is job papers-$id on $size, with vertical dots $dots" ] &&
	    echo "$id papers $dots" >>"$tmp/calibrations" ||
	    fail "morvane-setup --calibrate papers --media $size: $said"
done
