#!/bin/sh
# SPDX-License-Identifier: MIT
# Compares two builds' CUPS filters by the instructions that callgrind
# counts in the filter's own process (not in the programs that it runs,
# morvane and pstops, which run outside valgrind), on the same jobs, and
# checks that the two builds write the same bytes for each:
#   - morvane-filter on the job of 2,000 pages of bench/filter.sh, as CUPS's
#     own pstops prepares it for the sample PPD cups/ppd/morvane.ppd, on
#     standard input as in a queue, with PPD and MORVANE (each build's own
#     morvane) set as bench/filter.sh sets them;
#   - morvane-pdf on the 20-page PDF job of bench/driverless.sh, on standard
#     input, for a PDF printer whose PPD morvane-setup --ppd makes from
#     tests/ppd/a4.ppd (morvane-pdf its last filter, vertical dots 3400);
#   - morvane-raster on the same 20 pages as PWG raster and as Apple raster
#     (ghostscript, 300 dpi), on standard input, each for a printer that
#     takes that raster, its PPD made the same way.
# Each filter but morvane-filter (none, as bench/filter.sh) gets
# FINAL_CONTENT_TYPE and CONTENT_TYPE, the type that its PPD's line names.
# Callgrind counts nearly the same for the same program and input (run to
# run within about 0.02% here: the temporary folders' names differ), so a
# ratio new/old away from 1.00 by more comes from the code. Prints a table:
# the job, the old and the new build's instructions, the ratio new/old,
# and whether the two outputs are the same bytes (cmp), and their messages
# on standard error. Exits 1 where a filter fails or an output differs.
# Needs valgrind, ghostscript and CUPS's pstops and cupsfilter (Debian
# packages valgrind, ghostscript, cups, cups-filters). Takes a minute.
# Usage: bench/costs.sh OLD_BUILD NEW_BUILD   (each holds morvane and the
#        three filters, built with -DMORVANE_CUPS=ON; the old build's
#        morvane-setup makes the PPDs). KEEP=1 in the environment keeps the
#        folder of the jobs, outputs and callgrind files, for
#        callgrind_annotate. NEW_OPTIONS in the environment gives the new
#        build's jobs those options (image shifts, say) and the old build's
#        none: the table then gives the cost of the options, and the
#        outputs, which differ, are not compared.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 OLD_BUILD NEW_BUILD" >&2; exit 2; }
old=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
for build in "$old" "$new"; do
	for program in morvane morvane-filter morvane-pdf morvane-raster; do
		[ -x "$build/$program" ] ||
		    { echo "no $build/$program: build with -DMORVANE_CUPS=ON" >&2; exit 2; }
	done
done
[ -x "$old/morvane-setup" ] || { echo "no $old/morvane-setup" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "no valgrind" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'if [ -n "${KEEP:-}" ]; then echo "kept $tmp" >&2; else rm -rf "$tmp"; fi' EXIT
trap 'exit 1' HUP INT PIPE TERM

. "$here/inputs.sh"
cups_pstops=/usr/lib/cups/filter/pstops
[ -x "$cups_pstops" ] || { echo "no $cups_pstops (Debian package cups)" >&2; exit 2; }
make_job 2000 "$tmp/pages.ps" 20 \
    '72 700 moveto (A line of the text of a page, as a word processor sets it) show'

make_pdf "$tmp/job.pdf"
# The same pages as the rasters that driverless printers take; ghostscript
# tells its raster devices' progress on standard error.
for device in pwgraster:pwg appleraster:urf; do
	gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE="${device%:*}" -r300 \
	    -o "$tmp/job.${device#*:}" "$tmp/job.pdf" 2>/dev/null
done

# The printers' PPDs, each made as an administrator's morvane-setup makes
# it from one whose printer takes TYPE as it is; its cupsfilter looks for
# the filters under CUPS_SERVERBIN.
mkdir "$tmp/bin" "$tmp/bin/filter" "$tmp/bin/backend"
ln -s /usr/lib/cups/filter/* "$tmp/bin/filter/"
ln -s /usr/lib/cups/backend/* "$tmp/bin/backend/"
for program in morvane-filter morvane-pdf morvane-raster; do
	rm -f "$tmp/bin/filter/$program"
	ln -s "$old/$program" "$tmp/bin/filter/$program"
done
# printer_ppd TYPE FILE: the PPD of a printer that takes TYPE.
printer_ppd() {
	{ grep -v '^\*cupsFilter\|^\*MorvaneVerticalDots' "$here/../tests/ppd/a4.ppd"
	    echo "*cupsFilter2: \"$1 $1 0 -\""; } >"$tmp/plain.ppd"
	CUPS_SERVERBIN=$tmp/bin "$old/morvane-setup" --ppd "$tmp/plain.ppd" 3400 >"$2"
}
printer_ppd application/pdf "$tmp/pdf.ppd"
printer_ppd image/pwg-raster "$tmp/pwg.ppd"
printer_ppd image/urf "$tmp/urf.ppd"

# run SIDE NAME PROGRAM PPD INPUT TYPE [WRAPPER...]: runs SIDE's (new, or
# else old) PROGRAM, under WRAPPER, on the job INPUT on standard input, with
# CUPS's environment for a job of TYPE on its last filter ("-": none, as
# bench/filter.sh), into $tmp/NAME.SIDE.out; fails after its status and
# standard error. The filter's process ID is its own: a wrapper that
# valgrind is runs the filter in its own process.
run() {
	build=$old options=
	[ "$1" != new ] || build=$new options=${NEW_OPTIONS:-}
	out=$tmp/$2.$1
	mkdir -p "$out.tmp"
	program=$build/$3 ppd=$4 input=$5 type=${6#-}
	shift 6
	env PPD="$ppd" MORVANE="$build/morvane" TMPDIR="$out.tmp" \
	    ${type:+FINAL_CONTENT_TYPE="$type" CONTENT_TYPE="$type"} \
	    "$@" "$program" 1 user title 1 "$options" <"$input" >"$out.out" 2>"$out.err" &
	pid=$!
	status=0
	wait "$pid" || status=$?
	[ "$status" -eq 0 ] ||
	    { echo "$program on $input: status $status" >&2; cat "$out.err" >&2; return 1; }
}

# count SIDE NAME PROGRAM PPD INPUT TYPE: as run, under callgrind, and
# prints the instructions counted in the filter's own process. A forked
# child writes a file of its own, under its own process ID, until it runs
# a program (that one runs outside valgrind).
count() {
	run "$@" valgrind --tool=callgrind --trace-children=no \
	    --log-file="$tmp/$2.$1.log" \
	    --callgrind-out-file="$tmp/$2.$1.%p.callgrind" ||
	    { cat "$tmp/$2.$1.log" >&2; return 1; }
	awk '/^summary:/ { print $2 }' "$tmp/$2.$1.$pid.callgrind"
}

# The second string of a PDF's /ID, which libqpdf makes anew each time it
# writes a file, from the time among others: two runs of the same build
# differ there.
new_id='s|\(/ID *\[ *<[0-9a-fA-F]*> *<\)[0-9a-fA-F]*>|\1(made anew)>|'
# same NAME PROGRAM PPD INPUT TYPE: whether the old and the new build wrote
# the same bytes for job NAME: identical; identical but the /ID's second
# string, and whether the old build run again differs there from its
# first run; or different (and then fails).
same() {
	a=$tmp/$1.old.out b=$tmp/$1.new.out
	if cmp -s "$a" "$b"; then
		echo "identical ($(wc -c <"$b") bytes)"
		return
	fi
	run again "$@" >/dev/null
	for f in "$a" "$b" "$tmp/$1.again.out"; do
		LC_ALL=C sed "$new_id" "$f" >"$f.id"
	done
	if cmp -s "$a.id" "$b.id"; then
		again="the old build's second run differs there too"
		cmp -s "$a" "$tmp/$1.again.out" && again="the old build's second run is the same"
		cmp -s "$a.id" "$tmp/$1.again.out.id" || again="the old build's second run differs elsewhere"
		echo "identical ($(wc -c <"$b") bytes) but the /ID's second string ($again)"
		return
	fi
	echo "DIFFERENT: $(cmp "$a" "$b" 2>&1 | sed "s|$tmp/||g")"
	return 1
}

differ=0
printf '%-23s %12s %12s %8s  %s\n' job old new new/old output
while IFS='|' read -r name program ppd input type; do
	o=$(count old "$name" "$program" "$ppd" "$input" "$type")
	n=$(count new "$name" "$program" "$ppd" "$input" "$type")
	if [ -n "${NEW_OPTIONS:-}" ]; then
		awk -v j="$name" -v o="$o" -v n="$n" 'BEGIN {
			printf "%-23s %12d %12d %8.4f  with the options\n", j, o, n, n / o }'
		continue
	fi
	output=$(same "$name" "$program" "$ppd" "$input" "$type") || differ=1
	for side in old new; do
		sed "s|$tmp/$name.$side|TMP|g" "$tmp/$name.$side.err" >"$tmp/$name.$side.said"
	done
	if cmp -s "$tmp/$name.old.said" "$tmp/$name.new.said"; then
		output="$output; messages identical"
	else
		output="$output; messages DIFFERENT"
		differ=1
	fi
	awk -v j="$name" -v o="$o" -v n="$n" -v s="$output" 'BEGIN {
		printf "%-23s %12d %12d %8.4f  %s\n", j, o, n, n / o, s }'
done <<ROWS
filter-2000-pages-stdin|morvane-filter|$here/../cups/ppd/morvane.ppd|$tmp/pages.ps|-
pdf-20-pages|morvane-pdf|$tmp/pdf.ppd|$tmp/job.pdf|application/pdf
raster-20-pages-pwg|morvane-raster|$tmp/pwg.ppd|$tmp/job.pwg|image/pwg-raster
raster-20-pages-apple|morvane-raster|$tmp/urf.ppd|$tmp/job.urf|image/urf
ROWS
exit "$differ"
