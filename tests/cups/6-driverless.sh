# SPDX-License-Identifier: MIT
# The cupsd test's printers that take no PostScript. Driverless printers,
# played by CUPS's ippeveprinter on localhost: one that takes PDF, one
# that takes Apple raster alone and turns the back side of a sheet
# (Rotated), and one that takes PWG raster alone, as ippeveprinter makes
# them. Each has a queue made as
# an administrator makes it, with lpadmin -m everywhere, set up with one
# morvane-setup QUEUE DOTS, and its twin of CUPS's own. And a raster
# driver, CUPS's rastertopwg, with morvane-raster before it. Their jobs go
# in $tmp/jobs; a driverless printer keeps each document that it prints,
# and its settings, in $tmp/printed under the job's title, which the runner
# gives each job of theirs. Sourced by run.sh.
need_server
start_avahi "$tmp" "$cases/avahi-stand-in.py" || fail "no Avahi stand-in"

# What a driverless printer does with a job: keeps the document, and the
# settings that the job asked for, under its title.
printf '%s\n' '#!/bin/sh' "cp \"\$1\" \"$tmp/printed/ipp-\$IPP_JOB_NAME.prn\"" \
    "env | grep -E '^IPP_(SIDES|PRINT_COLOR_MODE|MEDIA|COPIES)=' | sort >\"$tmp/printed/ipp-\$IPP_JOB_NAME.settings\"" \
    >"$tmp/ipp-print"
chmod 755 "$tmp/ipp-print"
# driverless_model QUEUE URI: CUPS 2.4.10 (Debian 13) makes no PPD for a
# printer that takes PWG raster alone: it looks for the printer's
# resolutions under the wrong type of value. An administrator there takes
# cups-filters' driverless model for the printer, and so does the test.
driverless_model() {
	grep -q 'Printer does not support required IPP attributes' "$tmp/err" &&
	    echo "NOTE: CUPS makes no PPD for $2; $1 takes cups-filters' driverless model" &&
	    lpadmin -p "$1" -E -v "$2" -m "driverless:$2" 2>"$tmp/err"
}
# driverless NAME OPTION...: a printer of ippeveprinter's OPTIONs and its
# queues NAME and NAME-cups, with the PPD that the server makes for it.
driverless() {
	name=$1
	shift
	start_printer "$tmp" "$name" "$tmp/ipp-print" "$@" ||
	    { fail "printer $name did not start"; return; }
	uri=ipp://localhost:$printer_port/ipp/print
	for twin in "$name" "$name-cups"; do
		lpadmin -p "$twin" -E -v "$uri" -m everywhere 2>"$tmp/err" ||
		    driverless_model "$twin" "$uri" ||
		    fail "queue $twin: $(cat "$tmp/err")"
		wait_for 10 "the PPD of $twin" test -s "$tmp/ppd/$twin.ppd" ||
		    fail "queue $twin: no PPD"
	done
	echo "$name" >>"$tmp/driverless"
}
driverless pdf-printer -f application/pdf -2
pdf_port=$printer_port
driverless urf-printer -a "$(printer_conf "$tmp/urf.conf" 'ATTR keyword media-default iso_a4_210x297mm' \
    'ATTR mimeMediaType document-format-supported image/urf' \
    'ATTR keyword urf-supported V1.4,CP1,PQ4,RS300,W8,SRGB24,DM3')"
driverless pwg-printer -f image/pwg-raster -2
# The raster driver: CUPS's own rastertopwg, which writes PWG raster
# that the test reads, from CUPS's raster. Its printer turns the back side
# of a sheet over its top edge (Flipped), and it prints to the sheet's
# edges: rastertopwg whitens the margins that a PPD gives.
{ grep -v '^\*cupsFilter\|^\*MorvaneVerticalDots\|^\*ColorDevice\|^\*HWMargins\|^\*ImageableArea' \
    "$here/ppd/a4.ppd"
    printf '%s\n' '*ColorDevice: False' '*DefaultResolution: 300dpi' \
	'*ImageableArea A4/A4: "0 0 595 842"' '*ImageableArea Letter/Letter: "0 0 612 792"' \
	'*ImageableArea A5/A5: "0 0 420 595"' \
	'*cupsBackSide: Flipped' \
	'*cupsFilter: "application/vnd.cups-raster 0 rastertopwg"' \
	'*OpenUI *ColorModel/Color Mode: PickOne' '*DefaultColorModel: Gray' \
	'*ColorModel Gray/Gray: "<</cupsColorSpace 18/cupsBitsPerColor 8/cupsColorOrder 0/cupsCompression 1>>setpagedevice"' \
	'*CloseUI: *ColorModel'; } >"$tmp/raster-driver.ppd"
for twin in raster-driver raster-driver-cups; do
	lpadmin -p "$twin" -E -v "save:$tmp/printed" -P "$tmp/raster-driver.ppd" \
	    2>"$tmp/err" || fail "queue $twin: $(cat "$tmp/err")"
done

# One morvane-setup QUEUE DOTS sets each up, measured on its default
# paper: each moves the page down, so that no job's ink leaves the sheet.
for run in "pdf-printer 3200|morvane-pdf now runs after CUPS's filters, with vertical dots 3200, measured on Letter" \
    "urf-printer 3400|morvane-raster now runs after CUPS's filters, with vertical dots 3400, measured on A4" \
    "pwg-printer 3200|morvane-raster now runs after CUPS's filters, with vertical dots 3200, measured on Letter" \
    "raster-driver 3400|morvane-raster now runs before rastertopwg, with vertical dots 3400, measured on A4"; do
	set -- ${run%%|*}
	said=$("$setup_program" "$1" "$2" 2>&1)
	[ "$said" = "$1: ${run#*|}" ] && passed=$((passed + 1)) ||
	    fail "morvane-setup $1 $2: $said"
done
# A temporary queue, which CUPS makes for a printer that it finds and
# deletes with its PPD, is refused.
ipptool -q -d name=temporary -d "device=ipp://localhost:$pdf_port/ipp/print" \
    "ipp://$CUPS_SERVER/" cups-create-local-printer.test ||
    fail "no temporary queue"
# CUPS deletes a temporary queue when it cannot make its PPD, which
# Debian 13's does here: the refusal is then not tried.
for i in $(seq 100); do
	[ ! -s "$tmp/ppd/temporary.ppd" ] || break
	sleep 0.1
done
if [ -s "$tmp/ppd/temporary.ppd" ]; then
	said=$("$setup_program" temporary 3400 2>&1)
	[ "$said" = "morvane-setup: temporary is a temporary queue, which CUPS deletes with its shift: make a permanent one with lpadmin -p QUEUE -E -v URI -m everywhere, and set that up" ] &&
	    passed=$((passed + 1)) || fail "morvane-setup temporary 3400: $said"
else
	echo "NOTE: the server kept no temporary queue; its refusal is not tried"
fi

# The jobs: every kind of file, one- and two-sided, every paper, copies,
# number-up, page ranges, landscape.
for queue in pdf-printer urf-printer pwg-printer raster-driver; do
	for file in job.pdf job.ps job.txt job.png mixed.pdf; do
		echo "$queue $file -"
	done
	for options in "-o sides=two-sided-long-edge" "-o sides=two-sided-short-edge" \
	    "-o landscape" "-n 2 -o collate=true" "-o number-up=2" \
	    "-o page-ranges=2" "-o media=A4" "-o media=Letter" "-o media=Legal"; do
		echo "$queue job.pdf - $options"
	done
done >>"$tmp/jobs"

# The calibration page prints through each kind of printer.
for queue in pdf-printer urf-printer pwg-printer raster-driver; do
	said=$("$setup_program" --calibrate "$queue" 2>&1)
	id=${said#"$queue: the calibration page is job $queue-"} id=${id%%,*}
	case $said in
	"$queue: the calibration page is job $queue-$id, with vertical dots "*)
		echo "$id $queue" >>"$tmp/driverless-calibrations" ;;
	*) fail "morvane-setup --calibrate $queue: $said" ;;
	esac
done

# morvane-pdf and morvane-raster run directly. Each row: the filter, the
# PPD, the job's options and its file ("-": standard input, which is the
# PDF job); the one line expected on standard error with status 1 and no
# output (a pattern: libqpdf words its own failures), "=" for the job
# passed unchanged with status 0, or "~" for a raster of the same pages and
# settings with status 0 (the cupsd jobs check where its ink goes).
{ grep -v '^\*MorvaneVerticalDots' "$here/ppd/a4.ppd"
    echo '*MorvaneVerticalDots: "3400"'; } >"$tmp/direct.ppd"
grep -v '^\*MorvaneVerticalDots' "$here/ppd/a4.ppd" >"$tmp/no-value.ppd"
printf 'garbage!' >"$tmp/garbage"
# Ghostscript tells its PWG raster device's progress on standard error.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r100 -o "$tmp/job.pwg" \
    "$tmp/job.pdf" 2>/dev/null
: >"$tmp/empty"
while IFS='|' read -r name program ppd options file expected; do
	input=$tmp/job.pdf
	[ "$file" = - ] || input=$tmp/$file
	set -- "$bin/filter/$program" 1 user title 1 "$options"
	[ "$file" = - ] || set -- "$@" "$tmp/$file"
	PPD=$tmp/$ppd MORVANE=$morvane TMPDIR=$tmp/filter-tmp ${FILTER_WRAPPER:-} \
	    "$@" <"$tmp/job.pdf" >"$tmp/out" 2>"$tmp/err"
	status=$?
	if [ "$expected" = = ]; then
		[ "$status" -eq 0 ] && cmp -s "$tmp/out" "$input" &&
		    ! grep -q ERROR "$tmp/err"
	elif [ "$expected" = "~" ]; then
		[ "$status" -eq 0 ] && ! grep -q ERROR "$tmp/err" &&
		    [ "$(python3 "$cases/raster_pages.py" "$input" | cut -d' ' -f1-7)" = \
		    "$(python3 "$cases/raster_pages.py" "$tmp/out" | cut -d' ' -f1-7)" ]
	else
		[ "$status" -eq 1 ] && [ ! -s "$tmp/out" ] &&
		    case $(grep -v '^DEBUG' "$tmp/err" | tr -d '\n') in
		    "ERROR: $program: "$expected) true ;;
		    *) false ;;
		    esac
	fi && passed=$((passed + 1)) ||
	    { fail "direct $name: status $status"; cat "$tmp/err"; }
done <<ROWS
moved-pwg|morvane-raster|direct.ppd||job.pwg|~
no-value-pdf|morvane-pdf|no-value.ppd||-|=
no-value-raster|morvane-raster|no-value.ppd||garbage|=
not-raster|morvane-raster|direct.ppd||garbage|the job is not CUPS, PWG or Apple raster
no-raster|morvane-raster|direct.ppd||empty|the job holds no raster: 0 bytes
not-pdf|morvane-pdf|direct.ppd||garbage|cannot read the PDF: $tmp/garbage: *
no-pdf|morvane-pdf|direct.ppd||empty|the job holds no PDF: 0 bytes
off-the-sheet|morvane-pdf|direct.ppd|morvane-vertical-dots=99999|-|the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "99999" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
not-a-number|morvane-raster|direct.ppd|morvane-vertical-dots=abc|garbage|the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "abc" is not a number
no-such-file|morvane-raster|direct.ppd||none|cannot open $tmp/none: No such file or directory
ROWS
