# SPDX-License-Identifier: MIT
# The cupsd test's calibration pages, of queues whose pages print too low
# and too high: sent here, listed in $tmp/calibrations, which
# check_calibrations (oracles.sh) checks once the jobs have ended. The
# queues of a4.ppd and letter-pjl.ppd (a4, letter, b) print two-sided:
# their pages have a back, which check_sides checks. Sourced by run.sh.
need_server
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
