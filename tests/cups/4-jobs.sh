# SPDX-License-Identifier: MIT
# The cupsd test's jobs: the files, and the list of jobs that go to both
# queues of a pair, and the jobs that must fail. Sourced by run.sh; uses
# $real of 2-queues.sh.
need_server
# The jobs: PostScript with and without DSC comments, and with a page size
# of its own in its setup, PDF, text, PNG and CUPS's test page. CUPS's own
# pstops refuses a line of 1 KiB, such as the title of the shared job:
# job.ps is that job without it.
sed '/^%%Title:/d' "$job" >"$tmp/job.ps"
printf '%s\n' '%!PS' '/Times-Roman findfont 24 scalefont setfont' \
    '150 200 moveto (no comments) show showpage' >"$tmp/nodsc.ps"
sed 's|^%%EndComments$|&\n%%BeginSetup\n%%BeginFeature: *PageSize Letter\n<</PageSize [612 792]>> setpagedevice\n%%EndFeature\n%%EndSetup|' \
    "$tmp/job.ps" >"$tmp/own-size.ps"
# A setup that asks for A4 with code of its own, in no block.
sed 's|^%%EndComments$|&\n%%BeginSetup\n<< /PageSize [595 842] >> setpagedevice\n%%EndSetup|' \
    "$tmp/job.ps" >"$tmp/setup-size.ps"
# groff's own PostScript, whose setup selects the page size "Default" with
# code for A4, and the paper of dvips's, a %%BeginPaperSize block in the
# setup.
printf '.TH TEST 1\n.SH NAME\ntest \\- a page of groff\n' |
    groff -man -Tps -P-pa4 >"$tmp/groff.ps"
sed 's|^%%EndComments$|&\n%%BeginSetup\n/TeXDict 10 dict def TeXDict begin\n%%BeginPaperSize: a5\n/setpagedevice where { pop << /PageSize [ 420 595 ] >> setpagedevice } { /a5 where { pop a5 } if } ifelse\n%%EndPaperSize\nend\n%%EndSetup|' \
    "$tmp/job.ps" >"$tmp/dvips.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$tmp/job.pdf" "$tmp/job.ps"
# Pages that ask for their own size: A4, A4, Letter, A4, written by hand,
# by poppler's pdftops and by ghostscript's ps2write.
{
	printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 4' '%%EndComments'
	for page in 1:595x842 2:595x842 3:612x792 4:595x842; do
		size=${page#*:}
		printf '%s\n' "%%Page: ${page%:*} ${page%:*}" \
		    "<< /PageSize [${size%x*} ${size#*x}] >> setpagedevice" \
		    '/Times-Roman findfont 24 scalefont setfont' \
		    "100 100 moveto (page ${page%:*}) show" \
		    "20 20 $((${size%x*} - 40)) $((${size#*x} - 40)) rectstroke showpage"
	done
	echo '%%EOF'
} >"$tmp/mixed.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$tmp/mixed.pdf" "$tmp/mixed.ps"
pdftops -origpagesizes "$tmp/mixed.pdf" "$tmp/poppler.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ps2write -o "$tmp/ps2write.ps" "$tmp/mixed.pdf"
printf 'A text job\nof two lines\n' >"$tmp/job.txt"
ln -s /usr/share/cups/data/testprint "$tmp/testprint"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -g100x80 -r72 \
    -o "$tmp/job.png" -c '0 0 1 setrgbcolor 10 10 80 60 rectfill showpage'
# QUEUE FILE SIZE [LP OPTIONS]: SIZE, a name in the PPD or WxH, is the
# paper whose record shifts the pages that no code of the job puts on
# paper of their own: where the tray alone chooses the paper, or the PPD's
# code is not PostScript ("-" for none). "unchanged": no shift at all.
{
	for queue in letter a4 sample; do
		size=A4 other=Letter
		[ "$queue" != letter ] || { size=Letter other=A4; }
		for file in job.ps job.pdf job.txt job.png; do
			echo "$queue $file $size"
		done
		for file in job.ps job.pdf; do
			for options in "-n 3" "-n 2 -o collate=true" "-o landscape" \
			    "-o sides=two-sided-long-edge" "-o InputSlot=Tray2" \
			    "-o number-up=2" "-o page-ranges=2"; do
				echo "$queue $file $size $options"
			done
			echo "$queue $file $other -o media=$other"
			[ "$queue" = letter ] || continue
			for options in "-o fit-to-page" "-o page-set=odd" \
			    "-o mirror" "-o outputorder=reverse"; do
				echo "$queue $file $size $options"
			done
		done
	done
	# On the printers that take PDF too (c, g), CUPS's own queue prints
	# text by its PDF route, where foomatic-rip sets duplex on a job of one
	# page, and collated copies as PostScript that fails on the third page.
	# The real printers' sizes are their code's, and their trays their own.
	for queue in b c d e g $real; do
		size=A4 other=Letter
		case $queue in real*) size=- other=- ;; esac
		for file in job.ps job.pdf job.txt; do
			case $queue:$file in c:job.txt|g:job.txt|real*:job.txt) continue ;; esac
			echo "$queue $file $size"
		done
		for file in job.ps job.pdf; do
			for options in "-n 2 -o collate=true" "-o InputSlot=Tray2" \
			    "-o sides=two-sided-long-edge"; do
				case $queue:$options in c:-n*|g:-n*|real*:-o\ I*) continue ;; esac
				echo "$queue $file $size $options"
			done
			echo "$queue $file $other -o media=Letter"
			# Every paper of a real printer: its calibration holds on each.
			case $queue in real*)
				for media in A4 Legal A5 Executive; do
					echo "$queue $file - -o media=$media"
				done ;;
			esac
		done
	done
	cat <<JOBS
letter nodsc.ps Letter
letter job.ps Letter -o Resolution=1200dpi -o MediaType=Heavy -o JCLEconomode=On
a4 job.ps - -o media=Custom.500x800 -o InputSlot=Bypass
a5 job.ps -
sample job.ps - -o media=Tabloid
sample job.ps - -o media=na_letter_8.5x11in
sample own-size.ps -
letter groff.ps -
a4 groff.ps - -o media=Letter
letter dvips.ps -
letter mixed.ps -
letter setup-size.ps -
b setup-size.ps -
a4 poppler.ps -
letter poppler.ps - -n 2 -o collate=true
sample ps2write.ps -
b poppler.ps -
sample dvips.ps - -o InputSlot=Tray2
sample testprint A4
shapes job.ps -
shapes job.ps A5 -o PageSize=A5
shapes job.ps Letter -o media=na_letter_8.5x11in
shapes job.ps - -o PageSize=Custom.500x800
plain job.ps unchanged -o media=Letter
plain job.ps A4 -o morvane-vertical-dots=3473
sample job.pdf A4 -o morvane-vertical-dots=3300
sample job.txt Letter -o media=Letter
sample job.pdf A5 -o media=A5
sample job.txt A5 -o media=A5
sample mixed.ps -
sample poppler.ps -
letter job.txt Legal -o media=Legal
own job.ps A4
own job.ps A5 -o media=A5
own job.pdf A5 -o media=A5 -o morvane-vertical-dots=3100
own job.txt Letter -o media=Letter
dots job.ps A4
dots job.pdf A4 -o morvane-vertical-dots=3200
legacy job.ps Letter -n 2 -o sides=two-sided-long-edge
legacy job.ps Letter
JOBS
} >>"$tmp/jobs"
# The pages counted in the page log. Where foomatic-rip takes PDF too (c,
# g), CUPS's own queue sends PostScript through PDF, whose filter counts
# it; where morvane-filter runs before foomatic-rip, which counts nothing,
# nothing counts PostScript.
printf '%s\n' 'c job.ps 0' 'g job.ps 0' >>"$tmp/pages-counted"

# Jobs that must fail with one ERROR: line and print nothing: a queue's
# default for the dots that puts the page off the sheet or is no number,
# and a page of a size of its own for which the dots do.
printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 1' '%%EndComments' '%%Page: 1 1' \
    '<< /PageSize [200 200] >> setpagedevice 10 10 moveto 90 90 lineto stroke showpage' \
    '%%EOF' >"$tmp/small.ps"
while IFS='|' read -r queue file options expected; do
	request=$(lp -d "$queue" -t title $options "$tmp/$file" 2>"$tmp/err") ||
	    { fail "$queue $file: $(cat "$tmp/err")"; continue; }
	id=${request#*"$queue"-} id=${id%% *}
	echo "$id $queue $expected" >>"$tmp/failing"
done <<FAILING
too-far|job.ps||the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "34730" puts the page off the sheet for the page size A4, 842 points long: it must lie between -35.43 and 6981.23
not-a-number|job.pdf||the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "3473abc" is not a number
a4|small.ps|-o morvane-vertical-dots=1500|the job's option morvane-vertical-dots (or the queue's morvane-vertical-dots-default) "1500" puts the page off the sheet for the page size 200x200, 200 points long: it must lie between 2639.57 and 4306.23
FAILING

