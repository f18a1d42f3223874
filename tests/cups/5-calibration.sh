# SPDX-License-Identifier: MIT
# The cupsd test's calibration pages, of queues whose pages print too low
# and too high: sent here, and checked by check_calibrations once the jobs
# have ended. Sourced by run.sh.
for run in "a4|3400, its PPD's *MorvaneVerticalDots" \
    "letter|3200, its PPD's *MorvaneVerticalDots" \
    "dots|3300, the queue's morvane-vertical-dots-default" \
    "high|3700, the queue's morvane-vertical-dots-default" \
    "b|3400, its PPD's *MorvaneVerticalDots"; do
	queue=${run%%|*}
	said=$("$setup_program" --calibrate "$queue" 2>&1)
	id=${said#"$queue: the calibration page is job $queue-"} id=${id%%,*}
	[ "$said" = "$queue: the calibration page is job $queue-$id, with vertical dots ${run#*|}" ] &&
	    echo "$id $queue ${run#*|}" >>"$tmp/calibrations" ||
	    fail "morvane-setup --calibrate $queue: $said"
done
# On one paper: its own value, or the value for every paper moved to it.
for run in "own|A5|2400" "a4|Letter|3191.7"; do
	set -- $(echo "$run" | tr '|' ' ')
	said=$("$setup_program" --calibrate "$1" --media "$2" 2>&1)
	id=${said#"$1: the calibration page is job $1-"} id=${id%% *}
	[ "$said" = "$1: the calibration page is job $1-$id on $2, with vertical dots $3" ] &&
	    echo "$id $1 $3" >>"$tmp/calibrations" ||
	    fail "morvane-setup --calibrate $1 --media $2: $said"
done

# On the printer, the row of the calibration page for the distance from
# the sheet's top edge to the mark's gives the value that puts the page's
# top edge on the sheet's, within half a millimetre and the rounding; and
# the page shows the value in effect.
check_calibrations() {
	while read -r id queue dots source; do
		grep -a -q "\[Job $id\] Job completed\." "$tmp/log/error_log" ||
		    { fail "calibration page of $queue: job $id did not complete"; continue; }
		r=$tmp/reports/calibration-$id
		report "$tmp/printed/$id.prn" "$r" >/dev/null
		grep -a -q -F "(Vertical dots in effect: ${dots%,}) " "$tmp/printed/$id.prn" ||
		    { fail "calibration page of $queue: not the value in effect"; continue; }
		awk -v prn="$tmp/printed/$id.prn" '
		    $2 == "device" && h == "" { h = $5; sub(/]/, "", h) }
		    /^%%HiResBoundingBox:/ && top == "" { top = $5 }
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
}
