#!/bin/sh
# SPDX-License-Identifier: MIT
# Prints through a real cupsd: a private scheduler, started as a child on
# 127.0.0.1 with every folder of its own, runs the CUPS filter of FOLDER
# (morvane-filter, with the queue's PPD morvane.ppd) on a two-page job, and
# each job's output must equal morvane's record for the PPD's page-size line
# run by hand with pstops. A second queue, with other sizes and vertical
# dots, runs the same filter. The filter's failure paths are run without
# cupsd. Exits 77 (skipped) where cupsd, the CUPS clients or pstops are
# missing.
# Usage: cups.sh MORVANE [FOLDER]   (FOLDER: default examples/cups)
set -u
[ $# -ge 1 ] || { echo "usage: $0 morvane [folder]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
folder=${2:-$here/../examples/cups}
. "$here/common.sh"
PATH=$PATH:/usr/sbin:/sbin
needs cups pstops psutils
needs cups cupsd cups-daemon
needs cups lpadmin cups-client

# Filters run as user lp when cupsd runs as root: everything they read lies
# in a folder that lp can enter.
tmp=$(mktemp -d) || exit 2
pid=
stop() {
	[ -z "$pid" ] || { kill "$pid"; wait "$pid"; }
	pid=
}
trap 'stop; rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT TERM
chmod 755 "$tmp"
mkdir -p "$tmp/bin/filter" "$tmp/bin/daemon" "$tmp/spool/tmp" "$tmp/cache" \
    "$tmp/log" "$tmp/fake" "$tmp/by-hand"
install -m 755 "$1" "$tmp/morvane"
install -m 755 "$folder/morvane-filter" "$tmp/bin/filter/"
ln -s /usr/lib/cups/daemon/cups-exec "$tmp/bin/daemon/"
filter=$tmp/bin/filter/morvane-filter
job=$tmp/job.ps
cat >"$job" <<'PS'
%!PS-Adobe-3.0
%%Pages: 2
%%EndComments
%%Page: 1 1
newpath 100 100 moveto 200 200 lineto stroke showpage
%%Page: 2 2
newpath 100 200 moveto 200 100 lineto stroke showpage
%%EOF
PS

# The filter's failures: a non-zero status, one ERROR: line, no job on
# standard output, and no temporary folder left.
cat >"$tmp/fake/pstops" <<'SH'
#!/bin/sh
for last; do :; done
echo partial | tee "$last"
exit 1
SH
printf '#!/bin/sh\nprintf "PSCOMMAND=cp\\nCMDARGV=-f /etc/passwd out.ps\\n"\n' \
    >"$tmp/fake/other-file"
chmod 755 "$tmp/fake/pstops" "$tmp/fake/other-file"
while read -r name settings; do
	mkdir "$tmp/filter-tmp"
	env TMPDIR="$tmp/filter-tmp" PPD="$folder/morvane.ppd" \
	    MORVANE="$tmp/morvane" "$settings" "$filter" 1 user title 1 '' "$job" \
	    >"$tmp/out" 2>"$tmp/err"
	status=$?
	errors=$(grep -c '^ERROR:' "$tmp/err")
	if [ "$status" -ne 0 ] && [ "$errors" -eq 1 ] && [ ! -s "$tmp/out" ] &&
	    rmdir "$tmp/filter-tmp"; then
		passed=$((passed + 1))
	else
		fail "$name: status $status, $errors ERROR: lines"
		cat "$tmp/err" "$tmp/out"
		rm -rf "$tmp/filter-tmp"
	fi
done <<CASES
no-ppd PPD=$tmp/none
failing-morvane MORVANE=false
pstops-failing PATH=$tmp/fake:$PATH
record-naming-another-file MORVANE=$tmp/fake/other-file
CASES

# A private cupsd on the first free port from a number of this process's.
cat >"$tmp/cups-files.conf" <<CONF
ServerRoot $tmp
ServerBin $tmp/bin
RequestRoot $tmp/spool
TempDir $tmp/spool/tmp
CacheDir $tmp/cache
StateDir $tmp/cache
ErrorLog $tmp/log/error_log
AccessLog $tmp/log/access_log
PageLog $tmp/log/page_log
FileDevice Yes
SetEnv MORVANE $tmp/morvane
CONF
port=$((20000 + $$ % 20000))
for try in 1 2 3 4 5; do
	port=$((port + try))
	cat >"$tmp/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
Browsing No
WebInterface No
LogLevel debug
ErrorPolicy abort-job
DefaultAuthType None
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
	cupsd -f -c "$tmp/cupsd.conf" -s "$tmp/cups-files.conf" &
	pid=$!
	export CUPS_SERVER=127.0.0.1:$port
	i=0
	until lpstat -r >/dev/null 2>&1 || ! kill -0 "$pid" 2>/dev/null ||
	    [ $i -gt 100 ]; do
		sleep 0.1
		i=$((i + 1))
	done
	lpstat -r >/dev/null 2>&1 && break
	stop
done
[ -n "$pid" ] || { echo "cupsd did not start"; cat "$tmp/log/error_log"; exit 1; }

# queue NAME PPD: a queue whose device is a file that each job replaces.
queue() {
	lpadmin -p "$1" -E -v "file://$tmp/$1.out" -P "$2" 2>"$tmp/err" ||
	    { fail "lpadmin $1"; cat "$tmp/err"; }
}

# check QUEUE PPD SIZE [LP OPTION...]: prints the job and compares what the
# queue's device got with morvane and pstops run by hand on the PPD's line
# for SIZE, or with the job itself where the PPD has no such line.
check() {
	queue=$1 ppd=$2 size=$3
	shift 3
	: >"$tmp/$queue.out"
	chmod 666 "$tmp/$queue.out"
	lp -d "$queue" "$@" "$job" >/dev/null ||
	    { fail "$queue $size: lp refused the job"; return; }
	i=0
	while [ -n "$(lpstat -o "$queue")" ] && [ $i -lt 300 ]; do
		sleep 0.1
		i=$((i + 1))
	done
	line=$(grep "^\*PageSize $size/" "$ppd")
	rm -f "$tmp/by-hand/"*
	if [ -z "$line" ]; then
		cp "$job" "$tmp/by-hand/out.ps"
	else
		dots=$(sed -n 's/^\*MorvaneVerticalDots: "\(.*\)"/\1/p' "$ppd")
		printf '%s\n' "$line" >"$tmp/by-hand/page.size"
		cp "$job" "$tmp/by-hand/in.ps"
		record=$("$tmp/morvane" - - - - - "$dots" pstops in.ps out.ps \
		    "$tmp/by-hand/page.size")
		(cd "$tmp/by-hand" && run_record "$record" 2>/dev/null)
	fi
	if cmp -s "$tmp/$queue.out" "$tmp/by-hand/out.ps"; then
		passed=$((passed + 1))
	else
		fail "$queue $size: the printed job differs from the record run by hand"
		grep -a -E 'morvane|ERROR' "$tmp/log/error_log" | tail -n 5
	fi
}

# The sample queue, and one whose PPD adds a tiny and a fractional size and
# sets other vertical dots.
queue sample "$folder/morvane.ppd"
check sample "$folder/morvane.ppd" A4
check sample "$folder/morvane.ppd" Letter -o media=Letter
check sample "$folder/morvane.ppd" Tabloid -o media=Tabloid
sed -e 's/^\*DefaultPageSize: .*/*DefaultPageSize: Tiny/' \
    -e 's/^\*MorvaneVerticalDots: .*/*MorvaneVerticalDots: "1200.5"/' \
    -e '/^\*PageSize A5/a\
*PageSize Tiny/Tiny: "<</PageSize[72.5 36.25]>>setpagedevice"\
*PageSize Decimal/Decimal: "<</PageSize[595.28 841.89]>>setpagedevice"' \
    "$folder/morvane.ppd" >"$tmp/other.ppd"
queue other "$tmp/other.ppd"
check other "$tmp/other.ppd" Tiny
check other "$tmp/other.ppd" Decimal -o PageSize=Decimal
finish
