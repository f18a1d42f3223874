#!/bin/sh
# SPDX-License-Identifier: MIT
# Times a 20-page PDF job end to end through a private cupsd to driverless
# printers played by ippeveprinter, from its submission to "Job
# completed." in the log: on each printer's queue set up by morvane-setup
# and on CUPS's own queue of the same printer (both made with lpadmin -m
# everywhere), taking turns, RUNS times each. A PDF printer (morvane-pdf)
# and an Apple raster printer at 300 dpi (morvane-raster). Prints the
# medians and their ratios, against the targets: 1.10 for the PDF printer,
# 1.15 for the raster printer. The backend does not wait for the printer
# to finish the job: it asks about it once a second, which would make the
# times steps of a second.
# Needs cupsd, the CUPS clients, cups-filters, ghostscript, cups-ipp-utils,
# dbus-daemon and Debian's python3 with python3-dbus and python3-gi.
# Usage: bench/driverless.sh [DIR [RUNS]]   (DIR holds the built programs)
set -eu
build=$(cd "${1:-build}" && pwd)
runs=${2:-10}
[ -x "$build/morvane-pdf" ] || { echo "no $build/morvane-pdf: build first" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/common.sh"
PATH=$PATH:/usr/sbin:/sbin
tmp=$(mktemp -d)
: >"$tmp/helpers"
trap 'kill $(cat "$tmp/helpers") 2>/dev/null; stop_cupsd; rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT PIPE TERM
install -m 755 "$build/morvane" "$tmp/morvane"
start_cupsd "$tmp" "$build/morvane-filter" "$tmp/morvane" info ||
    { cat "$tmp/log/error_log"; exit 1; }
export CUPS_SERVERBIN="$tmp/bin"
start_avahi "$tmp" "$here/../tests/cups/avahi-stand-in.py"
printf '#!/bin/sh\n' >"$tmp/discard"
chmod 755 "$tmp/discard"

# queues NAME OPTION...: the printer and its two queues, NAME set up.
queues() {
	name=$1
	shift
	start_printer "$tmp" "$name" "$tmp/discard" "$@"
	for queue in "$name" "$name-cups"; do
		lpadmin -p "$queue" -E -v "ipp://localhost:$printer_port/ipp/print" \
		    -m everywhere 2>/dev/null
		wait_for 10 "the PPD of $queue" test -s "$tmp/ppd/$queue.ppd"
		lpadmin -p "$queue" \
		    -v "ipp://localhost:$printer_port/ipp/print?waitjob=false"
	done
	"$build/morvane-setup" "$name" 3400 >/dev/null
}
queues pdf -f application/pdf
queues urf -a "$(printer_conf "$tmp/urf.conf" \
    'ATTR keyword media-default iso_a4_210x297mm' \
    'ATTR mimeMediaType document-format-supported image/urf' \
    'ATTR keyword urf-supported V1.4,CP1,PQ4,RS300,W8,SRGB24,DM1')"

. "$here/inputs.sh"
make_pdf "$tmp/job.pdf"

job=$tmp/job.pdf
. "$here/jobs.sh"
echo "20-page PDF job, submission to completion, median of $runs:"
for run in pdf:1.10 urf:1.15; do
	printer=${run%:*}
	time_job "$printer" >/dev/null
	time_job "$printer-cups" >/dev/null
	for i in $(seq "$runs"); do
		time_job "$printer" >>"$tmp/$printer.ms"
		time_job "$printer-cups" >>"$tmp/$printer-cups.ms"
	done
	m=$(median "$tmp/$printer.ms") c=$(median "$tmp/$printer-cups.ms")
	awk -v p="$printer" -v m="$m" -v c="$c" -v t="${run#*:}" 'BEGIN {
		printf "  %s printer: morvane %d ms, CUPS'\''s own queue %d ms, ratio %.2f (target <= %s)\n",
		    p, m, c, m / c, t }'
done
