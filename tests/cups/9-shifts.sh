# SPDX-License-Identifier: MIT
# The cupsd test's cases of the image shifts, IPP's x-image-shift and
# y-image-shift and their side1 and side2 forms, as a job's options and as
# a queue's defaults: on a PostScript queue of the sample PPD with a choice
# of two sides, on queues whose PPD has a filter of its own (those of
# 2-queues.sh, two-sided unless a job asks, and one more with defaults),
# on the driverless printers of 6-driverless.sh and on raster drivers whose
# printers turn a back side each way (the raster driver of 6-driverless.sh
# flips it; here one rotates it and one turns it by hand).
# The comparison moves each page's ink on CUPS's own queue by morvane's
# record and by the shift of its side of the sheet (side_shifts in
# oracles.sh). Jobs with a shift that is no number or that puts a side's
# image off the sheet must fail alone. Sourced by run.sh; uses the files
# of 4-jobs.sh, the PPDs of 2-queues.sh and the printers and PPDs of
# 6-driverless.sh.
need_server

# The sample PPD with a choice of two sides, one-sided unless a job asks.
{ cat "$sample"; echo
    sed -n '/^\*OpenUI \*Duplex/,/^\*CloseUI: \*Duplex/p' "$here/ppd/a4.ppd" |
	sed 's/^\*DefaultDuplex: .*/*DefaultDuplex: None/'; } >"$tmp/sided.ppd"
# The raster driver's PPD, one-sided unless a job asks, for printers that
# rotate a back side, or whose user turns it over the short edge.
for back in Rotated ManualTumble; do
	sed "s/^\*cupsBackSide: .*/*cupsBackSide: $back/; s/^\*DefaultDuplex: .*/*DefaultDuplex: None/" \
	    "$tmp/raster-driver.ppd" >"$tmp/$back.ppd"
done
# QUEUE HOW [DOTS]: each queue and its twin QUEUE-cups, CUPS's own; HOW is
# the PPD's file, or "pdf" for a queue of the driverless PDF printer; DOTS
# sets the queue up with morvane-setup QUEUE DOTS.
while read -r queue how dots; do
	for twin in "$queue" "$queue-cups"; do
		case $how in
		pdf) uri=ipp://localhost:$pdf_port/ipp/print
			device="-v $uri -m everywhere" ;;
		sided.ppd)
			grep -v '^\*cupsFilter' "$tmp/$how" >"$tmp/$queue-cups.ppd"
			device="-v save:$tmp/printed -P $tmp/$how"
			[ "$twin" = "$queue" ] || device="-v save:$tmp/printed -P $tmp/$queue-cups.ppd" ;;
		*) device="-v save:$tmp/printed -P $tmp/$how" ;;
		esac
		lpadmin -p "$twin" -E $device 2>"$tmp/err" ||
		    { [ "$how" = pdf ] && driverless_model "$twin" "$uri"; } ||
		    fail "queue $twin: $(cat "$tmp/err")"
		wait_for 10 "the PPD of $twin" test -s "$tmp/ppd/$twin.ppd" ||
		    fail "queue $twin: no PPD"
	done
	[ "$how" != pdf ] || echo "$queue" >>"$tmp/driverless"
	[ -z "$dots" ] || "$setup_program" "$queue" "$dots" >"$tmp/out" 2>&1 ||
	    fail "morvane-setup $queue $dots: $(cat "$tmp/out")"
done <<QUEUES
sided sided.ppd
sided-defaults sided.ppd
pdf-defaults pdf 3200
rotated Rotated.ppd 3400
rotated-defaults Rotated.ppd 3400
manual-tumble ManualTumble.ppd 3400
pjl-defaults d.ppd 3400
QUEUES
# QUEUE NAME VALUE [TYPED MM]: the queue's default for the attribute NAME,
# set by morvane-setup QUEUE --shift TYPED MM where it sets that one, by
# lpadmin where it does not (the vertical shift of both sides is its
# vertical dots).
while read -r queue name value typed mm; do
	if [ -n "$typed" ]; then
		"$setup_program" "$queue" --shift "$typed" "$mm" >"$tmp/out" 2>&1 ||
		    fail "morvane-setup $queue --shift $typed $mm: $(cat "$tmp/out")"
	else
		lpadmin -p "$queue" -o "$name-default=$value" 2>"$tmp/err" ||
		    fail "lpadmin -p $queue -o $name-default=$value: $(cat "$tmp/err")"
	fi
	echo "$queue $name $value" >>"$tmp/shift-defaults"
done <<DEFAULTS
sided-defaults x-image-shift 150 x 1.5
sided-defaults y-image-shift -90
sided-defaults y-side2-image-shift 200 y-back 2
pdf-defaults x-image-shift 150 x 1.5
pdf-defaults y-image-shift -90
pdf-defaults y-side2-image-shift 200 y-back 2
rotated-defaults x-image-shift 150 x 1.5
rotated-defaults y-side2-image-shift 200 y-back 2
pjl-defaults x-image-shift 150 x 1.5
pjl-defaults y-side2-image-shift 200 y-back 2
DEFAULTS

# A document of three pages, in PostScript and PDF: an odd count.
{
	printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 3' '%%EndComments'
	for page in 1 2 3; do
		printf '%s\n' "%%Page: $page $page" \
		    "$((100 * page)) 150 moveto 300 $((200 + 100 * page)) lineto stroke showpage"
	done
	echo '%%EOF'
} >"$tmp/odd.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$tmp/odd.pdf" "$tmp/odd.ps"
# Pages that ask the device for something of their own, the paper's size
# or a tray, as a cover from another tray does: each keeps its side's place.
{
	printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 3' '%%EndComments'
	for page in 1 2 3; do
		printf '%s\n' "%%Page: $page $page" \
		    '<< /PageSize [595 842] >> setpagedevice' \
		    '<< /ManualFeed false >> setpagedevice' \
		    "$((100 * page)) 150 moveto 300 $((200 + 100 * page)) lineto stroke showpage"
	done
	echo '%%EOF'
} >"$tmp/device-pages.ps"
# Text of two pages. (CUPS prints a document of one page on one side, and
# so does morvane-filter: job.txt.)
seq 90 | sed 's/^/line /' >"$tmp/pages.txt"

# The jobs. Each side's own shifts: the back's alone, whose axes move
# apart from the front's, on pages whose side the printer decides.
back="-o x-side2-image-shift=-180 -o y-side2-image-shift=-120"
long="-o sides=two-sided-long-edge" short="-o sides=two-sided-short-edge"
cat >>"$tmp/jobs" <<JOBS
sided job.ps A4 -o y-image-shift=250
sided job.pdf A4 $long $back
sided pages.txt A4 $short $back
sided job.txt A4 $long $back
sided odd.ps A4 $long $back
sided odd.ps A4 -n 2 -o collate=true $long $back
sided device-pages.ps A4 $long $back
sided odd.pdf A4 -o number-up=2 $long $back
sided-defaults job.ps A4 $long -o y-side2-image-shift=-120
sided-defaults job.pdf A4 -o x-image-shift=-60
pdf-printer job.pdf - -o y-image-shift=250
pdf-printer job.pdf - $long $back
pdf-printer odd.pdf - -n 2 -o collate=true $short $back
pdf-printer odd.ps - -o number-up=2 $long $back
pdf-defaults job.pdf - $long -o y-side2-image-shift=-120
pdf-defaults job.txt - -o x-image-shift=-60
urf-printer job.ps - -o y-image-shift=250
urf-printer job.pdf - $long $back
urf-printer job.pdf - $short $back
urf-printer odd.pdf - -o number-up=2 $short $back
pwg-printer job.pdf - $long $back
raster-driver job.pdf - $short $back
rotated job.pdf - $long $back
rotated job.pdf - $short $back
rotated odd.pdf - -n 2 -o collate=true $long $back
rotated-defaults job.pdf - $long -o y-side1-image-shift=50
manual-tumble job.pdf - $long $back
manual-tumble job.pdf - $short $back
d job.ps A4 $back
d odd.pdf A4 -o number-up=2 $short -o y-image-shift=250
b odd.ps A4 -n 2 -o collate=true $long $back
pjl-defaults job.pdf A4 -o x-side1-image-shift=75
pjl-defaults pages.txt A4 $short -o y-side2-image-shift=-120
sided job.pdf A4 -o landscape $long $back
JOBS

# Jobs that must fail with one ERROR: line: a shift that is no whole
# number, and a back side's shift that puts its image off the sheet of the
# queue's default paper, on which CUPS's filters lay text out: checked
# before any page goes out. QUEUE[:PAGES] OPTIONS.
while read -r queue options; do
	ppd=$tmp/ppd/${queue%:*}.ppd
	paper=$(tr -d '\r' <"$ppd" | sed -n 's/^\*DefaultPageSize: *\([^ ]*\).*/\1/p')
	case $options in
	*abc*) expected="x-image-shift=abc is not a whole number of hundredths of a millimetre" ;;
	*) expected=$(off_sheet y-side2-image-shift 99999 back "$ppd" "$paper" \
	    $(dimensions "$ppd" "$paper")) ;;
	esac
	file=pages.txt
	[ "$queue" != sided ] || file=job.ps
	request=$(lp -d "${queue%:*}" -t title $options "$tmp/$file" 2>"$tmp/err") ||
	    { fail "$queue $file: $(cat "$tmp/err")"; continue; }
	id=${request#*"${queue%:*}"-} id=${id%% *}
	echo "$id $queue $expected" >>"$tmp/failing"
done <<FAILING
sided -o x-image-shift=abc
sided $long -o y-side2-image-shift=99999
pdf-printer -o x-image-shift=abc
pdf-printer $long -o y-side2-image-shift=99999
rotated -o x-image-shift=abc
rotated $long -o y-side2-image-shift=99999
pjl-defaults $long -o y-side2-image-shift=99999
FAILING
