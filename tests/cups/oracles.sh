# SPDX-License-Identifier: MIT
# The cupsd test's library, which run.sh sources before the case files:
# the contract of a case file, then the oracles, the functions that work
# out what a job must look like and compare what the printers got.
#
# The contract of a case file, tests/cups/N-NAME.sh. run.sh sources the
# case files in the order of their names, from the test's folder.
#
# A case file may read these variables:
#   tmp            the test's folder, also the working folder; removed at
#                  the end, unless KEEP is set
#   here, cases    the folders tests/ and tests/cups/
#   installed      "yes" with --installed, else empty
#   morvane, filter, setup_program
#                  the programs under test (morvane: the server's copy
#                  once the server runs), absolute
#   sample         the PPD under test, absolute
#   pstops         psutils' pstops, which morvane's records name
#   job            the shared job, $tmp/two-pages.ps: PostScript of two
#                  pages with DSC comments, whose %%Title is a line longer
#                  than the filter's buffer
#   CUPS_SERVER, CUPS_SERVERBIN, bin
#                  once the server runs: its address, and its programs'
#                  folder (its filters in $bin/filter)
#   passed         the count of passed checks, which a case adds one to
#                  for each check that passes
# and what earlier case files made: the files of $tmp that each names,
# and $real, the queues of MORVANE_REAL_PPDS (2-queues.sh).
#
# It may call:
#   need_server    starts the private cupsd, once (run.sh); each case file
#                  that uses the server calls it first, and one that runs
#                  before it (1-filter.sh) runs its programs as run by
#                  hand, without the server's environment
#   after_jobs FUNCTION
#                  runs FUNCTION once the jobs have been compared (run.sh)
#   fail MESSAGE..., wait_for, run_record, start_avahi, start_printer,
#   printer_conf, listening
#                  from tests/common.sh
#   the oracles below.
#
# It writes, by adding lines to files that run.sh made empty:
#   $tmp/jobs      QUEUE FILE SIZE [LP OPTION...]: a job that run.sh prints
#                  on QUEUE and on its twin QUEUE-cups, CUPS's own queue of
#                  the printer, as lp -d QUEUE -t title LP OPTION...
#                  $tmp/FILE, and compares with same_job. SIZE, a paper's
#                  name in the queue's PPD or WxH, is the paper whose record
#                  shifts the pages that no code of the job puts on paper of
#                  their own: where the tray alone chooses the paper, or the
#                  PPD's code is not PostScript ("-" for none);
#                  "unchanged": no shift at all
#   $tmp/failing   ID QUEUE ERROR: job ID, which the case file submitted,
#                  must stop with the filter's one ERROR: line ERROR and
#                  print no page; QUEUE:PAGES, PAGES pages, those that a
#                  raster filter passed on before the page that failed
#   $tmp/calibrations
#                  ID QUEUE DOTS[,] [SOURCE]: job ID, a calibration page,
#                  must complete, show DOTS in effect and pass
#                  check_calibrations
#   $tmp/driverless-calibrations
#                  ID QUEUE: job ID, a calibration page, must complete with
#                  its page moved by morvane-pdf or morvane-raster
#   $tmp/driverless
#                  QUEUE: QUEUE's printer keeps each document, and its
#                  settings, in $tmp/printed/ipp-TITLE.prn and .settings,
#                  TITLE the job's title, which run.sh makes its own for
#                  each job
#   $tmp/queue-defaults
#                  QUEUE DOTS: the queue's morvane-vertical-dots-default
#                  that the case file set, which its jobs get unless they
#                  set their own
#   $tmp/shift-defaults
#                  QUEUE NAME VALUE: the queue's NAME-default for the
#                  image-shift attribute NAME that the case file set,
#                  which its jobs get unless they set their own
#   $tmp/pages-counted
#                  QUEUE FILE PAGES: the pages that the page log counts
#                  for each job of FILE on QUEUE's pair, where CUPS's own
#                  queue counts another number
#   $tmp/helpers   PID: a program that run.sh stops before the server
#                  (start_avahi and start_printer add theirs)
# The queues that it makes print to save:$tmp/printed. $tmp/out, $tmp/err
# and $tmp/expected are anyone's to overwrite.
#
# It leaves as it found them: the working folder; the variables above;
# $job and every other file that run.sh or another case file made (it
# makes a new file instead of editing one); the server, running; and,
# until the jobs have ended, the queues of the job lists. It does not
# exit.

# Each oracle restates a rule of the product from what the product's own
# code does not compute: the PPD's text, the record of the morvane tool,
# which has tests of its own, and what ghostscript or raster_pages.py
# measure on the printers' input. A fault in the filters' code then shows
# as a difference, where a call of that code would copy it into the
# expected output.

# own_dots PPD WIDTH LENGTH: the PPD's own value for the paper of that
# size (within a point), *MorvaneVerticalDots NAME, or nothing.
# Restates, in sed and awk, the filters' rule that a paper's own value
# holds for every paper within a point of its size (value_in_effect and
# same_paper in cups/common/paper.cpp).
own_dots() {
	tr -d '\r' <"$1" | sed -n 's/^\*MorvaneVerticalDots \([^:]*\): "\(.*\)"/\1 \2/p' |
	    while read -r name value; do
		set -- "$1" "$2" "$3" $(dimensions "$1" "$name")
		awk -v w="$2" -v l="$3" -v pw="$4" -v pl="$5" 'BEGIN {
		    exit !(w - pw <= 1 && pw - w <= 1 && l - pl <= 1 && pl - l <= 1) }' &&
		    echo "$value"
	done | head -n 1
}

# effective_dots PPD DOTS WIDTH LENGTH: what morvane gets for the paper:
# its own value, or DOTS moved from the paper that they were measured on.
# Restates value_in_effect (cups/common/paper.cpp): the paper's own value
# comes first.
effective_dots() {
	own=$(own_dots "$1" "$3" "$4")
	if [ -n "$own" ]; then echo "$own"; else paper_dots "$2" "$4" "$(reference "$1")"; fi
}

# job_dots PPD OPTIONS DEFAULT: the vertical dots that a job of OPTIONS
# gets, as the filter takes them: the job's option, which CUPS fills in
# from the queue's DEFAULT, else the PPD's. Restates the filters' order of
# the sources (read_vertical_dots in cups/common/paper.cpp) from the
# options and the PPD's text, in sed.
job_dots() {
	case " $2 " in
	*" morvane-vertical-dots="*)
		set -- "${2#*morvane-vertical-dots=}"
		echo "${1%% *}" ;;
	*) if [ -n "$3" ]; then echo "$3"; else tr -d '\r' <"$1" |
	    sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p'; fi ;;
	esac
}

# dimensions PPD SIZE: "WIDTH LENGTH" of SIZE, a name in PPD or WxH. Reads
# *PaperDimension in sed, where the filters ask libcups.
dimensions() {
	case $2 in
	*x*) echo "$2" | tr x ' ' ;;
	*) tr -d '\r' <"$1" |
	    sed -n "s|^\*PaperDimension $2[/:][^\"]*\"\(.*\)\"|\1|p" ;;
	esac
}

# reference PPD: the length of the paper that the PPD's value of the dots
# was measured on, its *MorvaneReferenceSize or its default size.
# Restates read_reference (cups/common/paper.cpp) from the PPD's text.
reference() {
	set -- "$1" "$(tr -d '\r' <"$1" |
	    sed -n 's/^\*MorvaneReferenceSize: "\(.*\)"/\1/p')"
	[ -n "$2" ] || set -- "$1" "$(tr -d '\r' <"$1" |
	    sed -n 's/^\*DefaultPageSize: *\([^ ]*\).*/\1/p')"
	set -- $(dimensions "$1" "$2")
	echo "${2:-}"
}

# paper_dots DOTS LENGTH REFERENCE: the dots that morvane gets for a paper
# LENGTH points long, for a value measured on one REFERENCE points long:
# the page moves by the same distance from the sheet's top edge.
# Re-implements dots_on_paper (cups/common/dots.cpp) in awk, from that
# rule: 300 dots an inch more for every inch more of paper.
paper_dots() {
	if [ -z "$3" ] || [ "$2" = "$3" ]; then
		echo "$1"
	else
		awk -v d="$1" -v l="$2" -v r="$3" \
		    'BEGIN { printf "%.17g\n", d + 300 * (l - r) / 72 }'
	fi
}

# by_hand PPD SIZE [PSTOPS]: morvane's record for SIZE (a name in PPD, or
# WxH) naming PSTOPS, in $record, and what it and pstops make of the job,
# in by-hand/out.ps; the job's options are $options, its queue's default
# dots $queue_default. Restates the filter's work on PostScript, its
# record run as a print job runs it, with the morvane tool and pstops
# alone: the filter's output must be theirs.
by_hand() {
	rm -f "$tmp/by-hand/"*
	cp "$job" "$tmp/by-hand/in.ps"
	dimensions=$(dimensions "$1" "$2")
	echo "PageSize [$dimensions]" >"$tmp/by-hand/page.size"
	dots=$(job_dots "$1" "$options" "${queue_default:-}")
	dots=$(effective_dots "$1" "$dots" $dimensions)
	record=$("$morvane" - - - - - "$dots" "${3:-$pstops}" in.ps out.ps \
	    "$tmp/by-hand/page.size")
	(cd "$tmp/by-hand" && run_record "$record" 2>/dev/null)
}

# without_page_sizes FILE: the filter's output without the procedure sets
# that let the pages ask for their own size, which the cupsd jobs check,
# and which by_hand does not make.
without_page_sizes() {
	sed '/^%%BeginProcSet: morvane-page-sizes* 1 0$/,/^%%EndProcSet$/d' "$1"
}

# report OUTPUT PREFIX: splits a printer's input into its JCL (PREFIX.jcl,
# without the job's ID) and its documents, and writes what ghostscript
# finds on each document's pages to PREFIX.N. Prints the documents' count.
# ghostscript, with tests/device.ps, plays the printer: the product's
# code does not run there.
report() {
	# A PDF is one document.
	if [ "$(head -c 5 "$1")" = "%PDF-" ]; then
		timeout 20 gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox \
		    -sstdout=%stderr "$here/device.ps" "$1" >"$2.1" 2>&1
		touch "$2.jcl"
		echo 1
		return
	fi
	# A printer that renders the job has reported on its pages itself.
	if ! grep -a -q '%!PS' "$1" && grep -q '^%%HiResBoundingBox:' "$1"; then
		cp "$1" "$2.1"
		touch "$2.jcl"
		echo 1
		return
	fi
	awk -v p="$2" '
	    !doc && /^%!PS-Adobe/ { n++; doc = 1 }
	    doc { print > (p "." n ".ps") }
	    !doc { sub(/DISPLAY = "[0-9]+ /, "DISPLAY = \"ID "); print > (p ".jcl") }
	    doc && /^%%EOF/ { doc = 0; close(p "." n ".ps") }
	    END { print n + 0 }' "$1"
	touch "$2.jcl"
	for doc in "$2".*.ps; do
		[ -e "$doc" ] || continue
		timeout 20 gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox \
		    -sstdout=%stderr "$here/device.ps" "$doc" >"${doc%.ps}" 2>&1
	done
}

# shifts PPD SIZE REPORT: for each paper WxH on the device in the report,
# the shift in inches of morvane's record for it, "PAPER DX DY"; for the
# device's first paper, which no job sets, the shift for SIZE. The dots
# are $dots, which by_hand sets in turn. Restates the filters' rule that
# each page moves by the record for its own paper, with the morvane tool's
# record read in sed.
shifts() {
	for paper in $(sed -n 's/^[0-9]* device PageSize \[\(.*\) \(.*\)\]$/\1x\2/p' \
	    "$3" | sort -u); do
		if [ "$paper" = 1000x1400 ] && [ "$2" != - ]; then
			by_hand "$1" "$2"
		else
			echo "PageSize [$(echo "$paper" | tr x ' ')]" >"$tmp/paper.size"
			record=$("$morvane" - - - - - \
			    "$(effective_dots "$1" "$dots" "${paper%x*}" "${paper#*x}")" \
			    pstops in out "$tmp/paper.size")
		fi
		echo "$record" | sed -n "s/^CMDARGV=.*1:0@1\.0(\(.*\)in,\(.*\)in) .*/$paper \1 \2/p"
	done
}

# side_shifts QUEUE OPTIONS: the image shift of each side of the sheet
# for a job of lp OPTIONS on QUEUE, "1 X Y" for the front and "2 X Y" for
# the back, in hundredths of a millimetre rightwards and downwards on the
# side as it is read. Restates the rules of the image-shift attributes, in
# awk, from the options' text and $tmp/shift-defaults: the job's own
# attribute, else the queue's NAME-default, which CUPS gives the job; a
# side's own attribute (side1 the front's, side2 the back's) in place of
# the one for both sides; none, 0.
side_shifts() {
	awk -v q="$1" -v options="$2" '
	    $1 == q { v[$2] = $3 }
	    END {
		n = split(options, w, " ")
		for (i = 1; i <= n; i++)
			if (w[i] ~ /^[xy]-(side[12]-)?image-shift=/) {
				split(w[i], kv, "="); v[kv[1]] = kv[2]
			}
		for (s = 1; s <= 2; s++) {
			for (a = 1; a <= 2; a++) {
				axis = a == 1 ? "x" : "y"
				own = axis "-side" s "-image-shift"
				both = axis "-image-shift"
				d[a] = own in v ? v[own] : both in v ? v[both] : 0
			}
			print s, d[1] + 0, d[2] + 0
		}
	    }' "$tmp/shift-defaults"
}

# same_pages CUPS MORVANE SHIFTS [SIDES TWO]: the same settings on every
# page, and each page's ink moved by the shift for its paper and by the
# image shift of its side of the sheet (SIDES, of side_shifts), within 0.1
# point, and cut by the sheet's edges as the printer cuts it. A page is on
# a back side when its number is even and the printer prints on both sides
# (TWO "yes", or the page's Duplex setting); where the sides are shifted
# apart, a document of odd pages may end with a blank back side. Re-implements
# in awk what the shifts do to a page's ink on the printer, from
# ghostscript's boxes of CUPS's own queue's pages.
same_pages() {
	c_pages=$(grep -c '^%%HiResBoundingBox:' "$1")
	grep -v BoundingBox "$1" | sort >"$1.settings"
	grep -v BoundingBox "$2" |
	    awk -v c="$c_pages" '!($1 ~ /^[0-9]+$/ && $1 > c)' | sort >"$2.settings"
	cmp -s "$1.settings" "$2.settings" || return 1
	awk -v shifts="$3" -v sides="${4:-/dev/null}" -v two="${5:-}" '
	    BEGIN { while ((getline line < shifts) > 0) {
		split(line, f, " "); dx[f[1]] = f[2] * 72; dy[f[1]] = f[3] * 72 }
		while ((getline line < sides) > 0) {
		split(line, f, " "); sx[f[1]] = f[2] / 2540 * 72; sy[f[1]] = -f[3] / 2540 * 72 }
		apart = sx[1] != sx[2] || sy[1] != sy[2] }
	    $2 == "device" { paper = $4 "x" $5; gsub(/[][]/, "", paper) }
	    FILENAME == ARGV[2] && $2 == "setting" && $3 == "Duplex" { duplex[$1] = $4 == "true" }
	    /^%%HiResBoundingBox:/ {
		if (FILENAME == ARGV[1]) { cups[++c] = $2 " " $3 " " $4 " " $5; at[c] = paper; next }
		m++
		side = (two == "yes" || duplex[m]) && m % 2 == 0 ? 2 : 1
		if (m > c) {
			padded = m == c + 1 && side == 2 && apart && $2 == 0 && $4 == 0
			bad += !padded; next
		}
		split(cups[m], b, " ")
		if (b[1] == 0 && b[3] == 0) { bad += ($2 != 0 || $4 != 0); next }
		if (!(at[m] in dx)) { bad++; next }
		split(at[m], sheet, "x")
		for (i = 1; i <= 4; i++) {
			want[i] = b[i] + (i % 2 ? dx[at[m]] + sx[side] : dy[at[m]] + sy[side])
			edge = sheet[2 - i % 2]
			want[i] = want[i] < 0 ? 0 : want[i] > edge ? edge : want[i]
		}
		for (i = 1; i <= 4; i++) {
			d = $(i + 1) - want[i]
			if (d > 0.1 || d < -0.1) { bad++; break }
		}
	    }
	    END { exit !(bad == 0 && m >= c) }' "$1" "$2"
}

# ppd_paper PPD WIDTH LENGTH: "WIDTH LENGTH" of the PPD's paper within a
# point of that size, as the filters take it, or the size itself.
# Re-implements in awk the filters' match of a sheet to a paper of the PPD
# (take_sheet_size and same_paper in cups/common/paper.cpp).
ppd_paper() {
	tr -d '\r' <"$1" | awk -v w="$2" -v l="$3" '
	    /^\*PaperDimension / { sub(/^[^"]*"/, ""); sub(/".*/, "")
		split($0, d, " ")
		if (d[1] - w <= 1 && w - d[1] <= 1 && d[2] - l <= 1 && l - d[2] <= 1) {
			print d[1], d[2]; found = 1; exit } }
	    END { if (!found) print w, l }'
}

# same_raster PPD DOTS CUPS MINE PREFIX [SIDES]: the same pages with the
# same settings in both rasters, and each page's ink moved by morvane's
# record for its paper and by the image shift of its side of the sheet
# (SIDES, of side_shifts; a page is on a back side when its header asks
# for both sides and its number is even), in the raster's pixels, turned
# with a back side that the printer turns, and cut by the page's edges.
# Re-implements in awk morvane-raster's move of a page (move_for_page in
# cups/raster/raster_move.cpp: the shift rounded to pixels, reversed on a
# back side that the printer turns per *cupsBackSide and tumble), checked
# on the ink that raster_pages.py finds in CUPS's own queue's raster.
same_raster() {
	raster_ppd=$1 raster_dots=$2 pages=$5 sides=${6:-/dev/null}
	python3 "$cases/raster_pages.py" "$3" >"$pages.c" &&
	    python3 "$cases/raster_pages.py" "$4" >"$pages.m" || return 1
	cut -d' ' -f1-8 "$pages.c" >"$pages.c.settings"
	cut -d' ' -f1-8 "$pages.m" >"$pages.m.settings"
	cmp -s "$pages.c.settings" "$pages.m.settings" ||
	    { diff "$pages.c.settings" "$pages.m.settings"; return 1; }
	back=$(tr -d '\r' <"$1" | sed -n 's/^\*cupsBackSide: *\([A-Za-z]*\).*/\1/p')
	while read -r n size resolution rest; do
		paper=$(ppd_paper "$raster_ppd" $(awk -v s="$size" -v r="$resolution" \
		    'BEGIN { split(s, p, "x"); split(r, d, "x")
			printf "%.9g %.9g", p[1] * 72 / d[1], p[2] * 72 / d[2] }'))
		echo "PageSize [$paper]" >"$tmp/paper.size"
		record=$("$morvane" - - - - - \
		    "$(effective_dots "$raster_ppd" "$raster_dots" $paper)" \
		    pstops in out "$tmp/paper.size")
		echo "$n $(echo "$record" |
		    sed -n "s/^CMDARGV=.*1:0@1\.0(\(.*\)in,\(.*\)in) .*/\1 \2/p")"
	done <"$pages.c" >"$pages.moves"
	awk -v back="$back" -v moves="$pages.moves" -v sides="$sides" '
	    function round(x) { return x < 0 ? -int(-x + 0.5) : int(x + 0.5) }
	    function clip(v, edge) { return v < 0 ? 0 : v > edge ? edge : v }
	    BEGIN { while ((getline line < moves) > 0) {
		split(line, f, " "); dx[f[1]] = f[2]; dy[f[1]] = f[3] }
		while ((getline line < sides) > 0) {
		split(line, f, " "); sx[f[1]] = f[2] / 2540; sy[f[1]] = -f[3] / 2540 } }
	    FILENAME == ARGV[1] { cups[$1] = $0; next }
	    {
		split(cups[$1], c, " ")
		split($2, size, "x"); split($3, res, "x")
		side = $6 == "duplex=1" && $1 % 2 == 0 ? 2 : 1
		columns = round((dx[$1] + sx[side]) * res[1])
		lines = round(-(dy[$1] + sy[side]) * res[2])
		tumble = $7 == "tumble=1"
		if (side == 2) {
			across = (back == "Flipped" && tumble) ||
			    (back == "Rotated" && !tumble) ||
			    (back == "ManualTumble" && tumble)
			along = (back == "Flipped" && !tumble) ||
			    (back == "Rotated" && !tumble) ||
			    (back == "ManualTumble" && tumble)
			if (across) columns = -columns
			if (along) lines = -lines
		}
		if (c[9] == "none") { bad += $9 != "none"; next }
		x0 = clip(c[9] + columns, size[1]); x1 = clip(c[11] + columns, size[1])
		y0 = clip(c[10] + lines, size[2]); y1 = clip(c[12] + lines, size[2])
		want = x0 < x1 && y0 < y1 ? x0 " " y0 " " x1 " " y1 : "none"
		got = $9 == "none" ? "none" : $9 " " $10 " " $11 " " $12
		if (want != got) {
			printf "page %d: ink %s, not %s\n", $1, got, want
			bad++
		}
	    }
	    END { exit bad != 0 }' "$pages.c" "$pages.m"
}

# printed_pages FILE: the pages of a driverless printer's document, as
# raster_pages.py or poppler's pdfinfo count them.
printed_pages() {
	case $(head -c 4 "$1") in
	RaS2|UNIR) python3 "$cases/raster_pages.py" "$1" | wc -l ;;
	%PDF) pdfinfo "$1" 2>/dev/null | awk '$1 == "Pages:" { print $2 }' ;;
	*) echo unknown ;;
	esac
}

# same_job MINE THEIRS QUEUE FILE SIZE: whether the jobs MINE, on QUEUE,
# and THEIRS, on QUEUE-cups, of $tmp/FILE with the options $options,
# completed with the same pages counted, the same settings on a
# driverless printer, and the same documents, JCL and pages, each page's
# ink moved as the oracles above say; a line of $tmp/jobs gives SIZE. Says
# what differs with fail.
same_job() {
	what="$3 $4 $options"
	for id in "$1" "$2"; do
		grep -a -q "\[Job $id\] Job completed\." "$tmp/log/error_log" || {
			fail "$what: job $id did not complete"
			grep -a "\[Job $id\]" "$tmp/log/error_log" | grep -v 'env\|argv' |
			    grep -a ' [EW] \|ERROR\|failed' | tail -n 5
			return 1
		}
	done
	# The pages counted for the job, which quotas and accounting read: in
	# the page log, a job's last total, less the one before where the
	# server ran the job again. Where CUPS's own queue counts none (it
	# counts no image that imagetopdf makes PDF of), the pages printed;
	# where $tmp/pages-counted gives the count, that.
	counted=$(awk -v m="$1" -v t="$2" 'BEGIN { a = b = "none" }
	    $6 == "total" && $3 == m { a0 = a == "none" ? 0 : a; a = $7 }
	    $6 == "total" && $3 == t { b0 = b == "none" ? 0 : b; b = $7 }
	    END { print (a == "none" ? a : a - a0), (b == "none" ? b : b - b0) }' \
	    "$tmp/log/page_log")
	mine_counted=${counted% *} theirs_counted=${counted#* }
	[ "$mine_counted" = "$theirs_counted" ] || [ "$theirs_counted" != 0 ] ||
	    theirs_counted=$(printed_pages "$tmp/printed/$1.prn")
	counted=$(awk -v q="$3" -v f="$4" '$1 == q && $2 == f { print $3; exit }' \
	    "$tmp/pages-counted")
	[ -z "$counted" ] || theirs_counted=$counted
	[ "$mine_counted" = "$theirs_counted" ] ||
	    { fail "$what: pages counted $mine_counted, not $theirs_counted"; return 1; }
	r=$tmp/reports/$1
	# The server's copy of the queue's PPD, whose defaults the server may have
	# set.
	ppd=$tmp/ppd/$3.ppd
	queue_default=$(awk -v q="$3" '$1 == q { print $2; exit }' "$tmp/queue-defaults")
	dots=$(job_dots "$ppd" "$options" "$queue_default")
	[ "$5" != unchanged ] || dots=unchanged
	# The image shifts of each side, and whether a driverless printer
	# prints on both.
	side_shifts "$3" "$options" >"$r.sides"
	two=
	! grep -q '^IPP_SIDES=two' "$tmp/printed/$1.settings" 2>/dev/null || two=yes
	# What a driverless printer was asked to do with the pages.
	[ ! -e "$tmp/printed/$1.settings" ] ||
	    cmp -s "$tmp/printed/$1.settings" "$tmp/printed/$2.settings" ||
	    { fail "$what: not the same settings on the printer"
	    diff "$tmp/printed/$2.settings" "$tmp/printed/$1.settings"; return 1; }
	case $(head -c 4 "$tmp/printed/$1.prn") in
	RaS2|RaS3|UNIR)
		same_raster "$ppd" "$dots" "$tmp/printed/$2.prn" \
		    "$tmp/printed/$1.prn" "$r" "$r.sides" >"$r.raster" 2>&1 && return 0
		fail "$what: the raster differs on the printer"
		head -n 5 "$r.raster"
		return 1 ;;
	esac
	documents=$(report "$tmp/printed/$1.prn" "$r.m")
	[ "$documents" -eq "$(report "$tmp/printed/$2.prn" "$r.c")" ] ||
	    { fail "$what: not the same number of documents"; return 1; }
	cmp -s "$r.m.jcl" "$r.c.jcl" || { fail "$what: not the same JCL"; return 1; }
	for n in $(seq "$documents"); do
		shifts "$ppd" "$5" "$r.c.$n" >"$r.shifts"
		[ "$dots" != unchanged ] ||
		    sed -i 's/ .*/ 0 0/' "$r.shifts"
		same_pages "$r.c.$n" "$r.m.$n" "$r.shifts" "$r.sides" "$two" || {
			fail "$what: document $n differs on the printer"
			diff "$r.c.$n" "$r.m.$n" | head -n 10
			return 1
		}
	done
}

# off_sheet NAME VALUE SIDE PPD PAPER WIDTH LENGTH: the filter's one line
# for the image shift NAME=VALUE that puts the SIDE side's image ("front"
# or "back") off the sheet of PAPER, WIDTH by LENGTH points, on a queue of
# PPD whose job sets no dots. Restates, in awk, the range of the shifts
# (x_shift_range and y_shift_range in cups/common/image_shift.cpp) from
# morvane's record for the paper: the whole values, in hundredths of a
# millimetre, that move the image from where the record puts it by less
# than the sheet's width (x, rightwards) or length (y, downwards).
off_sheet() {
	echo "PageSize [$6 $7]" >"$tmp/paper.size"
	record=$("$morvane" - - - - - \
	    "$(effective_dots "$4" "$(job_dots "$4" "" "")" "$6" "$7")" \
	    pstops in out "$tmp/paper.size")
	set -- "$@" $(echo "$record" |
	    sed -n "s/^CMDARGV=.*1:0@1\.0(\(.*\)in,\(.*\)in) .*/\1 \2/p")
	awk -v name="$1" -v value="$2" -v side="$3" -v paper="$5" -v w="$6" \
	    -v l="$7" -v rx="$8" -v ry="$9" 'BEGIN {
		if (name ~ /^x/) { low = -w / 72 - rx; high = w / 72 - rx }
		else { low = ry - l / 72; high = ry + l / 72 }
		low *= 2540; high *= 2540
		below = int(low); if (below > low) below--
		above = int(high); if (above < high) above++
		printf "%s=%s puts the %s side\047s image off the sheet of %s: " \
		    "from %d to %d hundredths of a millimetre fit\n", name, value,
		    side, paper, below + 1, above - 1 }'
}

# failed_alone ID QUEUE[:PAGES] EXPECTED: whether job ID stopped, with the
# one ERROR: line EXPECTED of morvane's filter, and printed no page (a
# raster driver's stream may start) but the PAGES that a raster filter
# passed on before the page that failed, which is what a filter does with
# a job that it cannot shift. Says otherwise with fail.
failed_alone() {
	# cupsd logs the filter's ERROR: lines as its own errors, quotes
	# escaped.
	errors=$(grep -a -E "^E .*\[Job $1\] morvane-(filter|pdf|raster): " "$tmp/log/error_log" |
	    sed "s/^[^]]*\] \[Job $1\] morvane-[a-z]*: //; s/\\\\\(['\"]\)/\\1/g")
	before=0
	case $2 in *:*) before=${2#*:} ;; esac
	got=0
	[ ! -s "$tmp/printed/$1.prn" ] ||
	    got=$(printed_pages "$tmp/printed/$1.prn" 2>/dev/null)
	grep -a -q "\[Job $1\] Job stopped" "$tmp/log/error_log" &&
	    [ "$errors" = "$3" ] && [ "$got" = "$before" ] && return 0
	fail "${2%:*}: job $1 did not fail with the one line \"$3\", $before pages printed"
	grep -a "\[Job $1\]" "$tmp/log/error_log" |
	    grep -a -e '^[^D]' -e 'morvane-[a-z]*:'
	ls -l "$tmp/printed/$1.prn"
	return 1
}

# two_sided PPD: whether morvane-setup prints the PPD's queue's calibration
# page on both sides of a sheet: one of the duplex options that CUPS knows
# has a choice that prints two sides, the back turned over the long edge.
two_sided() {
	tr -d '\r' <"$1" |
	    sed -n -E 's/^\*(Duplex|JCLDuplex|EFDuplex|EFDuplexing|KD03Duplex|ARDuplex) ([^/: ]+).*/\2/p' |
	    grep -q -v -i -x -E 'None|False|Off|Simplex|DuplexTumble|ShortEdge|Bottom'
}

# check_sides ID QUEUE REPORT: job ID, the calibration page of QUEUE, is on
# both sides where the queue's PPD prints two-sided: sent two-sided over
# the long edge, its back's mark as high as its front's (the test's queues
# have no shifts) and its back telling the back's shifts; else it has no
# back. Says otherwise with fail.
check_sides() {
	if two_sided "$tmp/ppd/$2.ppd"; then
		grep -a -q -F "/Duplex true /Tumble false" "$tmp/printed/$1.prn" &&
		    grep -a -q -F -e "morvane-setup $2 --shift y-back" "$tmp/printed/$1.prn" &&
		    awk '/^%%HiResBoundingBox:/ { top[++n] = $5 }
		    END { exit !(n >= 2 && top[2] - top[1] < 0.5 && top[1] - top[2] < 0.5) }' "$3" ||
		    { fail "calibration page of $2: not the same marks on both sides"; return 1; }
	elif grep -a -q -F -e "y-back" -e "x-back" "$tmp/printed/$1.prn"; then
		fail "calibration page of $2: a back on a queue that prints one side"
		return 1
	fi
}

# check_calibrations: on the printer, the row of each calibration page of
# $tmp/calibrations for the distance from the sheet's top edge to the
# mark's gives the value that puts the page's top edge on the sheet's,
# within half a millimetre and the rounding; and the page shows the value
# in effect. Re-implements in awk, from ghostscript's box of the mark, the
# rule that the page's table (cups/setup/calibrate.cpp) stands for: at
# DOTS, the page's top edge lands DOTS / 300 inch and morvane's margin of
# 3 mm above the sheet's bottom edge (dots_on_sheet in
# cups/common/dots.cpp), so the sheet's length less 3 mm, at 300 dots an
# inch, puts it on the sheet's top edge.
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
		check_sides "$id" "$queue" "$r.1" && passed=$((passed + 1))
	done <"$tmp/calibrations"
}

# moved_calibration ID QUEUE: whether job ID, the calibration page of a
# driverless printer or a raster driver, completed with its page moved by
# the queue's filter, as the filter's log says, and its back too where the
# queue prints two-sided. Says otherwise with fail.
moved_calibration() {
	pages=1
	! two_sided "$tmp/ppd/$2.ppd" || pages=2
	grep -a -q "\[Job $1\] Job completed\." "$tmp/log/error_log" &&
	    grep -a -q -E "\[Job $1\] morvane-(pdf|raster): pages moved: $pages$" \
	    "$tmp/log/error_log" && return 0
	fail "calibration page of $2: job $1 did not complete, moved"
	return 1
}
