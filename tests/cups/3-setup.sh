# SPDX-License-Identifier: MIT
# The cupsd test's cases of morvane-setup: its direct runs on PPDs of every
# shape, and its runs on the server's queues. Sourced by run.sh.
need_server
# The direct runs of morvane-setup. ARGUMENTS, with "-" for none, get status 1 and the one line
# EXPECTED on standard error, or, for "=NAME", the PPD expected/NAME on
# standard output (@TMP@ in it is the test's folder), which the PPD
# adapted again must not change.
lpadmin -p raw -E -v "save:$tmp/printed" 2>"$tmp/err" ||
    fail "queue raw: $(cat "$tmp/err")"
while IFS='|' read -r name arguments expected; do
	[ "$arguments" != - ] || arguments=
	timeout -k 2 10 "$setup_program" $arguments >"$tmp/out" 2>"$tmp/err"
	status=$?
	set -- $arguments
	case $expected in
	=*)
		sed "s|@TMP@|$tmp|g" "$cases/expected/${expected#=}" >"$tmp/expected"
		"$setup_program" --ppd "$tmp/out" "$3" >"$tmp/again" 2>>"$tmp/err"
		if [ "$status" -eq 0 ] && [ ! -s "$tmp/err" ] &&
		    cmp -s "$tmp/out" "$tmp/expected" && cmp -s "$tmp/out" "$tmp/again"; then
			passed=$((passed + 1))
		else
			fail "setup $name: status $status, or not the PPD $expected"
			diff "$tmp/expected" "$tmp/out" | head -n 5; cat "$tmp/err"
		fi ;;
	*)
		if [ "$status" -eq 1 ] && [ ! -s "$tmp/out" ] &&
		    [ "$(cat "$tmp/err")" = "morvane-setup: $expected" ]; then
			passed=$((passed + 1))
		else
			fail "setup $name: status $status, output, or not the one line" \
			    "\"morvane-setup: $expected\""
			cat "$tmp/err"
		fi ;;
	esac
done <<CASES
no-filters|--ppd $tmp/plain.ppd 3473|=plain.ppd
its-own-lines-again|--ppd $sample 3100.5|=sample.ppd
foomatic-passing-on|--ppd $tmp/b.ppd 3473|=b.ppd
foomatic-with-pdf|--ppd $tmp/c.ppd 3473|=c.ppd
foomatic-pjl|--ppd $tmp/d.ppd 3473|=d.ppd
foomatic-cost-100|--ppd $tmp/e.ppd 3473|=e.ppd
foomatic-ghostscript|--ppd $tmp/g.ppd 3473|=g.ppd
pdf-straight|--ppd $tmp/f.ppd 3473|=f.ppd
raster-driver|--ppd $tmp/r.ppd 3473|=r.ppd
unprepared|--ppd $tmp/unprepared.ppd 3473|$tmp/unprepared.ppd: CUPS sends the printer nothing that a filter of morvane's moves: its filters take only application/postscript
images-only|--ppd $tmp/images.ppd 3473|$tmp/images.ppd: CUPS sends the printer nothing that a filter of morvane's moves: its filters take only image/png, image/jpeg
fax|--ppd $tmp/fax.ppd 3473|$tmp/fax.ppd: a fax queue sends no sheet that a shift could set right: set up the printer's own print queue
pclm-only|--ppd $tmp/pclm.ppd 3473|$tmp/pclm.ppd: the printer takes only application/PCLm, which no filter of morvane's moves: use a PPD of the printer's for PostScript, PDF or raster
filter-missing|--ppd $tmp/missing.ppd 3473|$tmp/missing.ppd: CUPS finds no way for application/pdf to the printer: cupsfilter: No filter to convert from application/pdf to printer/cupsfilter.
no-such-file|--ppd $tmp/none 3473|cannot open the PPD file $tmp/none: No such file or directory
not-a-ppd|--ppd $job 3473|cannot read the PPD file $job: Missing asterisk in column 1 on line 1
dots-not-a-number|--ppd $tmp/c.ppd 3473abc|the vertical dots "3473abc" are not a number
off-a-size|--ppd $sample 6500|the vertical dots "6500" put the page off the sheet for the page size A5, 595 points long: on every paper of the PPD they must lie between 993.73 and 5952.07 (both bound by A5)
no-dots|--ppd $tmp/c.ppd|usage: morvane-setup --ppd FILE DOTS | QUEUE [DOTS | --neutral] [--media SIZE] | QUEUE --shift NAME MM | QUEUE --no-shift NAME | --calibrate QUEUE [--media SIZE] | --check [QUEUE] | --remove QUEUE | --restore | --suspend | --help | --version
no-arguments|-|usage: morvane-setup --ppd FILE DOTS | QUEUE [DOTS | --neutral] [--media SIZE] | QUEUE --shift NAME MM | QUEUE --no-shift NAME | --calibrate QUEUE [--media SIZE] | --check [QUEUE] | --remove QUEUE | --restore | --suspend | --help | --version
no-such-queue|nosuch 3473|there is no queue nosuch on the CUPS server $CUPS_SERVER
queue-without-ppd|raw 3473|raw is a raw queue, with no PPD: its jobs reach the printer through no filter; lpadmin -p raw -m MODEL gives it one
remove-no-such-queue|--remove nosuch|there is no queue nosuch on the CUPS server $CUPS_SERVER
calibrate-no-such-queue|--calibrate nosuch|there is no queue nosuch on the CUPS server $CUPS_SERVER
CASES
CUPS_SERVER=127.0.0.1:1 "$setup_program" raw 3473 >"$tmp/out" 2>"$tmp/err"
[ $? -eq 1 ] && [ ! -s "$tmp/out" ] &&
    grep -qx 'morvane-setup: cannot reach the CUPS server 127.0.0.1:1: .*' "$tmp/err" &&
    [ "$(wc -l <"$tmp/err")" -eq 1 ] && passed=$((passed + 1)) ||
    { fail "setup without a server: not the one line"; cat "$tmp/err"; }

# morvane-setup on a queue keeps the queue's settings, and --remove gives
# it back its PPD as it was.
lpadmin -p removed -E -v "save:$tmp/printed" -P "$tmp/c.ppd" -o PageSize=Letter 2>"$tmp/err" ||
    fail "queue removed: $(cat "$tmp/err")"
cp "$tmp/ppd/removed.ppd" "$tmp/removed.ppd"
while IFS='|' read -r arguments expected; do
	said=$("$setup_program" $arguments 2>&1)
	[ "$said" = "$expected" ] || fail "morvane-setup $arguments: $said"
done <<RUNS
removed|removed: its PPD does not run morvane-filter; morvane-setup removed --neutral sets 3265, which leaves the page where it is on Letter
removed 3473|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3473, measured on Letter
removed|removed: vertical dots 3473, its PPD's *MorvaneVerticalDots, measured on Letter
removed 3400|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3400, measured on Letter
--remove removed|removed: morvane-filter no longer runs; the PPD's own filter lines are back
--remove removed|removed: its PPD has no lines of morvane's; nothing changed
dots|dots: vertical dots 3300, the queue's morvane-vertical-dots-default, measured on A4
plain|plain: no vertical dots: its jobs pass unshifted; morvane-setup plain --neutral sets 3473, which leaves the page where it is on A4
--calibrate plain|morvane-setup: plain has no vertical dots to calibrate: morvane-setup plain DOTS sets them
--calibrate plain-cups|morvane-setup: plain-cups has no vertical dots to calibrate: morvane-setup plain-cups DOTS sets them
RUNS
# Another user may not change the queue, and is never asked for a
# password: it has no terminal. It runs a copy that it may read, wherever
# the build is.
if [ "$(id -u)" -eq 0 ]; then
	install -m 755 "$setup_program" "$tmp/morvane-setup"
	said=$(setsid -w setpriv --reuid=nobody --regid=nogroup --clear-groups \
	    "$tmp/morvane-setup" removed 3473 2>&1 </dev/null)
	[ "$said" = "morvane-setup: the CUPS server $CUPS_SERVER refused to change removed: Unauthorized; run morvane-setup as root (or with sudo)" ] ||
	    fail "morvane-setup by another user: $said"
fi
cmp -s "$tmp/ppd/removed.ppd" "$tmp/removed.ppd" && passed=$((passed + 1)) ||
    { fail "--remove: not the queue's PPD as it was"; diff "$tmp/removed.ppd" "$tmp/ppd/removed.ppd"; }
# A queue's default for the dots, which its jobs get first, takes a new
# value too.
lpadmin -p removed -o morvane-vertical-dots-default=3000 2>"$tmp/err" ||
    fail "queue removed: $(cat "$tmp/err")"
# The value stays measured on the paper that it was set for when the
# queue's default paper changes; --neutral leaves that paper's page in
# place.
for run in "removed 3100|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3100, measured on Letter" \
    "removed|removed: vertical dots 3100, the queue's morvane-vertical-dots-default, measured on Letter" \
    "-|" "removed|removed: vertical dots 3100, the queue's morvane-vertical-dots-default, measured on Letter" \
    "removed --neutral|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3473, measured on A4"; do
	if [ "$run" = "-|" ]; then
		lpadmin -p removed -o PageSize=A4 2>"$tmp/err" ||
		    fail "queue removed: $(cat "$tmp/err")"
		continue
	fi
	said=$("$setup_program" ${run%%|*} 2>&1)
	[ "$said" = "${run#*|}" ] || fail "morvane-setup ${run%%|*}: $said"
done

# A paper's own value: set for that paper alone, refused where it puts the
# page off that paper, kept when the value for every paper is set again,
# and shown after it.
for run in "removed 3300 --media A5|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3300 for A5" \
    "removed 9000 --media A5|morvane-setup: the vertical dots \"9000\" put the page off the sheet for the page size A5, 595 points long: they must lie between -35.43 and 4922.90" \
    "removed 3300 --media B5|morvane-setup: the PPD of removed has no page size B5" \
    "removed 3400|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3400, measured on A4" \
    "removed|removed: vertical dots 3400, the queue's morvane-vertical-dots-default, measured on A4
removed: vertical dots 3300 for A5, its PPD's *MorvaneVerticalDots A5" \
    "--remove removed|removed: morvane-filter no longer runs; the PPD's own filter lines are back" \
    "removed 3300 --media A5|morvane-setup: the PPD of removed has no vertical dots for every paper, which the others get: set them first"; do
	said=$("$setup_program" ${run%%|*} 2>&1)
	[ "$said" = "${run#*|}" ] || fail "morvane-setup ${run%%|*}: $said"
done


# A new PPD (a driver update) takes morvane's lines out, or resets them,
# but the server keeps the calibration in the queue's options: --check says
# so, with status 1, and morvane-setup QUEUE puts it back.
# CHECK|STATUS|OUTPUT, where CHECK is "lpadmin ARGUMENTS" or morvane-setup's.
lost="removed: its PPD has lost the calibration that the server keeps, vertical dots 3400 measured on A4; morvane-setup removed puts it back"
while IFS='|' read -r run status expected; do
	case $run in
	lpadmin*) $run 2>"$tmp/err" || fail "$run: $(cat "$tmp/err")"; continue ;;
	esac
	said=$("$setup_program" $run 2>&1)
	got=$?
	expected=$(printf '%b' "$expected")
	[ "$got" -eq "$status" ] && [ "$said" = "$expected" ] && passed=$((passed + 1)) ||
	    fail "morvane-setup $run: status $got, $said"
done <<RUNS
removed 3400|0|removed: morvane-filter now runs before foomatic-rip, with vertical dots 3400, measured on A4
--check removed|0|removed: morvane-filter runs, vertical dots 3400, the queue's morvane-vertical-dots-default, measured on A4
lpadmin -p removed -P $tmp/c.ppd
--check removed|1|$lost
removed|0|removed: its PPD had lost the calibration that the server keeps, vertical dots 3400 measured on A4; putting it back\nremoved: morvane-filter now runs before foomatic-rip, with vertical dots 3400, measured on A4
--check removed|0|removed: morvane-filter runs, vertical dots 3400, the queue's morvane-vertical-dots-default, measured on A4
lpadmin -p removed -P $sample
--check removed|1|$lost
--remove removed|0|removed: morvane-filter no longer runs; the PPD's own filter lines are back
--check removed|0|removed: morvane-filter does not run
--check raw|0|raw is a raw queue, with no PPD: its jobs reach the printer through no filter; lpadmin -p raw -m MODEL gives it one
RUNS

# A queue's image shifts: set in millimetres as the queue's defaults in
# hundredths, refused where they put the image off one of its papers,
# shown, checked (also those set by hand, the vertical one of both sides,
# which morvane-setup does not set, among them; a calibration page is
# refused where one is no number), dropped one by one, and dropped all by
# --remove, but for that vertical one. RUN|STATUS|STANDARD OUTPUT|STANDARD ERROR, \n between
# lines; RUN is "lpadmin ARGUMENTS" or morvane-setup's.
lpadmin -p shifted -E -v "save:$tmp/printed" -P "$sample" 2>"$tmp/err" ||
    fail "queue shifted: $(cat "$tmp/err")"
shows="shifted: vertical dots 3473, its PPD's *MorvaneVerticalDots, measured on A4"
checks="shifted: morvane-filter runs, vertical dots 3473, its PPD's *MorvaneVerticalDots, measured on A4"
front="shifted: shift x-front 1.5 mm, the queue's x-side1-image-shift-default 150"
back="shifted: shift y-back -0.25 mm, the queue's y-side2-image-shift-default -25"
y_whole="shifted: the queue's y-image-shift-default \"-0.9\" is not a whole number of hundredths of a millimetre, so every job fails: morvane-setup shifted --no-shift y drops it"
while IFS='|' read -r run status out err; do
	case $run in
	lpadmin*) $run 2>"$tmp/err" || fail "$run: $(cat "$tmp/err")"; continue ;;
	esac
	"$setup_program" $run >"$tmp/out" 2>"$tmp/err"
	got=$?
	[ "$got" -eq "$status" ] && [ "$(cat "$tmp/out")" = "$(printf '%b' "$out")" ] &&
	    [ "$(cat "$tmp/err")" = "$(printf '%b' "$err")" ] && passed=$((passed + 1)) ||
	    fail "morvane-setup $run: status $got, $(cat "$tmp/out" "$tmp/err")"
done <<RUNS
shifted --no-shift x|0|shifted: no shift x is set; nothing changed|
shifted --shift x-front 1.5|0|shifted: shift x-front now 1.5 mm, the queue's x-side1-image-shift-default 150|
shifted --shift y-back -0.25|0|shifted: shift y-back now -0.25 mm, the queue's y-side2-image-shift-default -25|
shifted --shift x 149.7|1||morvane-setup: shifted: shift x 149.7 mm puts the image off the sheet of A5: from -146.64 to 149.69 mm fit every paper of the queue
shifted --shift x-back -146.65|1||morvane-setup: shifted: shift x-back -146.65 mm puts the image off the sheet of A5: from -146.64 to 149.69 mm fit every paper of the queue
shifted --shift y-front 209.92|1||morvane-setup: shifted: shift y-front 209.92 mm puts the image off the sheet of A5: from -209.89 to 209.91 mm fit every paper of the queue
shifted --shift y-front 1.555|1||morvane-setup: the shift y-front "1.555" is not millimetres with at most two decimals, such as 1.5 or -0.25
shifted --shift y 1|1||morvane-setup: the vertical shift of both sides is the queue's vertical dots, which morvane-setup QUEUE DOTS sets: NAME is x, x-front, y-front, x-back or y-back
nosuch --shift x 1|1||morvane-setup: there is no queue nosuch on the CUPS server $CUPS_SERVER
raw --shift x 1|1||morvane-setup: raw is a raw queue, with no PPD: its jobs reach the printer through no filter; lpadmin -p raw -m MODEL gives it one
shifted|0|$shows\n$front\n$back|
--check shifted|0|$checks\n$front\n$back|
lpadmin -p shifted -o x-image-shift-default=abc
shifted|0|$shows\nshifted: the queue's x-image-shift-default "abc" is not a whole number of hundredths of a millimetre, so every job fails: morvane-setup shifted --shift x MM sets a new one\n$front\n$back|
--check shifted|1|$checks\nshifted: the queue's x-image-shift-default "abc" is not a whole number of hundredths of a millimetre, so every job fails: morvane-setup shifted --shift x MM sets a new one\n$front\n$back|morvane-setup: shifted: the queue's x-image-shift-default "abc" is not a whole number of hundredths of a millimetre, so every job fails: morvane-setup shifted --shift x MM sets a new one
--calibrate shifted|1||morvane-setup: shifted: the queue's x-image-shift-default "abc" is not a whole number of hundredths of a millimetre, so every job fails: morvane-setup shifted --shift x MM sets a new one
shifted --no-shift x|0|shifted: the server no longer keeps shift x "abc", the queue's x-image-shift-default|
lpadmin -p shifted -o y-image-shift-default=-90
shifted|0|$shows\nshifted: shift y -0.9 mm, the queue's y-image-shift-default -90\n$front\n$back|
lpadmin -p shifted -o y-image-shift-default=-0.9
--check shifted|1|$checks\n$y_whole\n$front\n$back|morvane-setup: $y_whole
--calibrate shifted|1||morvane-setup: $y_whole
lpadmin -p shifted -o y-image-shift-default=21000
--check shifted|1|$checks\nshifted: shift y 210 mm, the queue's y-image-shift-default 21000\n$front\n$back|morvane-setup: shifted: shift y 210 mm puts the image off the sheet of A5: from -209.89 to 209.91 mm fit every paper of the queue
shifted --no-shift y|0|shifted: the server no longer keeps shift y 210 mm, the queue's y-image-shift-default|
lpadmin -p shifted -o y-side1-image-shift-default=21000
--check shifted|1|$checks\n$front\nshifted: shift y-front 210 mm, the queue's y-side1-image-shift-default 21000\n$back|morvane-setup: shifted: shift y-front 210 mm puts the image off the sheet of A5: from -209.89 to 209.91 mm fit every paper of the queue
shifted --shift y-front -209.89|0|shifted: shift y-front now -209.89 mm, the queue's y-side1-image-shift-default -20989|
shifted --no-shift x-front|0|shifted: the server no longer keeps shift x-front 1.5 mm, the queue's x-side1-image-shift-default|
shifted 3773|0|shifted: morvane-filter now runs after CUPS's filters, with vertical dots 3773, measured on A4|
--check shifted|1|shifted: morvane-filter runs, vertical dots 3773, its PPD's *MorvaneVerticalDots, measured on A4\nshifted: shift y-front -209.89 mm, the queue's y-side1-image-shift-default -20989\n$back|morvane-setup: shifted: shift y-front -209.89 mm puts the image off the sheet of A5: from -184.49 to 235.31 mm fit every paper of the queue
lpadmin -p shifted -o y-image-shift-default=-90
--remove shifted|0|shifted: morvane-filter no longer runs; the PPD's own filter lines are back\nshifted: the server no longer keeps its shifts: y-front -209.89 mm, y-back -0.25 mm|
shifted|0|shifted: its PPD does not run morvane-filter; morvane-setup shifted --neutral sets 3473, which leaves the page where it is on A4\nshifted: shift y -0.9 mm, the queue's y-image-shift-default -90|
shifted --no-shift y|0|shifted: the server no longer keeps shift y -0.9 mm, the queue's y-image-shift-default|
shifted --no-shift y-back|0|shifted: no shift y-back is set; nothing changed|
shifted --shift x 1|1||morvane-setup: shifted: its PPD does not run morvane-filter, which applies the shift: morvane-setup shifted --neutral sets it up first
plain --shift x 1|0|plain: shift x now 1 mm, the queue's x-image-shift-default 100|
plain|0|plain: no vertical dots: only its shifts move its jobs' pages; morvane-setup plain --neutral sets 3473, which leaves the page where it is on A4\nplain: shift x 1 mm, the queue's x-image-shift-default 100|
plain --no-shift x|0|plain: the server no longer keeps shift x 1 mm, the queue's x-image-shift-default|
RUNS
