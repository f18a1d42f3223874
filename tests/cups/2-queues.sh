# SPDX-License-Identifier: MIT
# The cupsd test's queues: each of the filter, QUEUE, and its twin
# QUEUE-cups, CUPS's own queue of the same printer. Sourced by run.sh.
# Printers whose PPDs have filter lines of their own, shaped like those of
# Debian's PPD packages: foomatic-rip passing CUPS's PostScript on, with
# PDF taken by it too (c), PJL written before it (d), at a cost of 100
# (e), or ghostscript rendering it, here with the bbox device that reports
# each page as the test's printer does (g); and printers whose jobs never
# become PostScript: PDF straight to the printer (f), a raster driver (r),
# a filter that takes PostScript unprepared, images only, a fax and PCLm
# alone. Sets $real, the queues of MORVANE_REAL_PPDS, for 4-jobs.sh.
need_server
cp "$here/device.ps" "$tmp/device.ps"
shape() {
	name=$1
	shift
	{ grep -v '^\*cupsFilter\|^\*MorvaneVerticalDots' "$here/ppd/a4.ppd"
	    printf '%s\n' "$@"; } >"$tmp/$name.ppd"
}
postscript='*cupsFilter: "application/vnd.cups-postscript 0 foomatic-rip"'
pdf='*cupsFilter: "application/vnd.cups-pdf 0 foomatic-rip"'
pass_on='*FoomaticRIPCommandLine: "cat -"'
shape b "$postscript" "$pass_on"
shape c "$pdf" "$postscript" "$pass_on"
shape d "$postscript" '*FoomaticRIPCommandLine: "(printf &apos;\033%%-12345X@PJL JOB\n@PJL ENTER LANGUAGE = POSTSCRIPT\n&apos;; cat -; printf &apos;\033%%-12345X@PJL EOJ\n\033%%-12345X&apos;)"'
shape e '*cupsFilter: "application/vnd.cups-postscript 100 foomatic-rip"' "$pass_on"
shape g "$pdf" '*cupsFilter: "application/vnd.cups-postscript 100 foomatic-rip"' \
    "*FoomaticRIPCommandLine: \"gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox -sstdout=%stderr $tmp/device.ps - 2>&1\""
shape f '*cupsFilter: "application/vnd.cups-pdf 0 -"'
shape r '*cupsFilter: "application/vnd.cups-raster 50 rastertohp"'
shape unprepared '*cupsFilter: "application/postscript 0 foomatic-rip"' "$pass_on"
shape images '*cupsFilter: "image/png 0 -"' '*cupsFilter: "image/jpeg 0 -"'
shape fax '*cupsFilter: "application/vnd.cups-raster 0 hpcupsfax"'
shape pclm '*cupsFilter2: "application/PCLm application/PCLm 200 -"'
shape missing '*cupsFilter: "application/vnd.cups-postscript 0 no-such-filter"'

# The queues: each of the filter, QUEUE, and its twin QUEUE-cups, of the
# same PPD without the filter's lines: CUPS's own PostScript queue.
driver="-P $sample"
if [ -n "$installed" ]; then
	model=$(lpinfo -m | awk '/morvane/ { print $1; exit }')
	[ -n "$model" ] || fail "lpinfo -m does not list the sample PPD"
	driver="-m $model"
fi
sed 's|^\*cupsFilter: "application/vnd.cups-postscript |*cupsFilter: "application/postscript |' \
    "$here/ppd/letter-pjl.ppd" >"$tmp/legacy.ppd"
# QUEUE PPD [OPTIONS]; a queue's default for the dots goes in
# $tmp/queue-defaults, which the comparison reads.
while read -r queue ppd setup; do
	case $setup in
	"-o morvane-vertical-dots-default="*)
		echo "$queue ${setup#*=}" >>"$tmp/queue-defaults" ;;
	esac
	grep -v '^\*cupsFilter' "$ppd" >"$tmp/$queue-cups.ppd"
	[ "$ppd" != "$sample" ] || ppd=$driver
	[ "${ppd#-}" != "$ppd" ] || ppd="-P $ppd"
	for twin in "$queue $ppd" "$queue-cups -P $tmp/$queue-cups.ppd"; do
		set -- $twin
		lpadmin -p "$1" -E -v "save:$tmp/printed" $2 $3 $setup 2>"$tmp/err" ||
		    fail "queue $1: $(cat "$tmp/err")"
	done
done <<QUEUES
sample $sample
a5 $sample -o media-default=iso_a5_148x210mm
dots $sample -o morvane-vertical-dots-default=3300
high $sample -o morvane-vertical-dots-default=3700
too-far $sample -o morvane-vertical-dots-default=34730
not-a-number $sample -o morvane-vertical-dots-default=3473abc
letter $here/ppd/letter-pjl.ppd
own $tmp/own.ppd
a4 $here/ppd/a4.ppd
shapes $tmp/shapes.ppd
plain $tmp/plain.ppd
legacy $tmp/legacy.ppd
QUEUES

# The printers with filters of their own: QUEUE from the PPD set up on the
# server by morvane-setup, and its twin from the PPD as it is, with the
# dots that the comparison reads, which CUPS ignores.
# By hand, MORVANE_REAL_PPDS names real printers' PPDs whose filter is
# foomatic-rip passing PostScript on, to be set up and printed the same.
real= n=0
for ppd in ${MORVANE_REAL_PPDS:-}; do
	n=$((n + 1))
	cp "$ppd" "$tmp/real$n.ppd"
	real="$real real$n"
done
for queue in b c d e g $real; do
	# A blank line ends a last line that has no line feed.
	{ cat "$tmp/$queue.ppd"; printf '\n*MorvaneVerticalDots: "3400"\n'; } \
	    >"$tmp/$queue-cups.ppd"
	for twin in "$queue $tmp/$queue.ppd" "$queue-cups $tmp/$queue-cups.ppd"; do
		set -- $twin
		lpadmin -p "$1" -E -v "save:$tmp/printed" -P "$2" 2>"$tmp/err" ||
		    fail "queue $1: $(cat "$tmp/err")"
	done
	said=$("$setup_program" "$queue" 3400 2>&1)
	default=$(tr -d '\r' <"$tmp/$queue.ppd" |
	    sed -n 's/^\*DefaultPageSize: *\([^ ]*\).*/\1/p')
	[ "$said" = "$queue: morvane-filter now runs before foomatic-rip, with vertical dots 3400, measured on $default" ] ||
	    fail "setup of queue $queue: $said"
done

