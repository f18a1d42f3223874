#!/bin/sh
# SPDX-License-Identifier: MIT
# Measures the CUPS filter on a one-page job, a job of 2,000 pages, one of
# 2,000 pages whose lines end in comments (31 MB) and one of 44 MiB, as
# CUPS's own pstops prepares them, side by side with pstops alone (quiet, as
# the filter runs it) and an empty program linked with libcups; the jobs
# named as a file, and the two of 2,000 pages also on standard input, as in
# a queue. Every output goes through a pipe, as to the next filter. Also
# reports the peak size of the filter's temporary folder (the job named as
# a file, and the job on standard input) and the time to open a large PPD
# (default: the largest under /usr/share/ppd).
# Needs hyperfine, psutils, libcups2-dev and python3.
# Usage: bench/filter.sh [DIR [PPD]]   (DIR holds morvane and morvane-filter)
set -eu
build=$(cd "${1:-build}" && pwd)
[ -x "$build/morvane-filter" ] || { echo "no $build/morvane-filter: build first" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export PPD="$here/../cups/ppd/morvane.ppd" MORVANE="$build/morvane"
filter=$build/morvane-filter
pstops=$(command -v pstops)

echo 'int main(void){return 0;}' >"$tmp/empty.c"
cc -O2 -o "$tmp/empty-cups" "$tmp/empty.c" -Wl,--no-as-needed -lcups
. "$here/inputs.sh"
cups_pstops=/usr/lib/cups/filter/pstops
[ -x "$cups_pstops" ] || { echo "no $cups_pstops (Debian package cups)" >&2; exit 2; }
make_job 1 "$tmp/one.ps"
make_job 2000 "$tmp/pages.ps" 20 \
    '72 700 moveto (A line of the text of a page, as a word processor sets it) show'
make_job 2000 "$tmp/comments.ps" 220
pages=222000
make_job "$pages" "$tmp/big.ps"
pstops_run="$pstops -q -w595 -h842 1:0@1.0(-0.06in,0.000332in)"

# The one-page job: the three side by side in one hyperfine run.
echo "== one-page job ($(wc -c <"$tmp/one.ps") bytes)"
hyperfine -N --warmup 3 --runs 40 --output=pipe --export-json "$tmp/times.json" \
    "$pstops_run $tmp/one.ps" "$tmp/empty-cups" \
    "$filter 1 user title 1 media=A4 $tmp/one.ps" | grep -E 'Benchmark|Time'
python3 - "$tmp/times.json" <<'PY'
import json, sys
pstops, empty, filter_ = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print("filter / (pstops + empty libcups program): %.2f (target <= 2)" % (filter_ / (pstops + empty)))
PY

# A large job takes turns with pstops alone, run after run, so that the
# machine's slow spells fall on both; each output goes into a pipe, read
# 8 KiB at a time as hyperfine and CUPS's backends read it.
# compare JOB WHAT [stdin]: 20 runs each, the job named as a file, or with
# stdin, on standard input from a pipe, as in a queue, where CUPS's pstops
# writes it (pstops alone then copies it to a file of its own, as the filter
# does). Named as a file, the same turns also time the two costs that
# pstops alone does not have: the empty libcups program and a cp of the job
# into the temporary folder, as the filter copies it.
compare() {
	job=$1
	[ -z "${3:-}" ] || job=
	echo "== $2 ($(wc -c <"$1") bytes${3:+, on standard input}), 20 runs each"
	python3 - "$1" "${3:-file}" "$pstops_run $job" \
	    "$filter 1 user title 1 media=A4 $job" "$tmp/empty-cups" \
	    "cp --remove-destination $1 $tmp/copy.ps" <<'PY'
import resource, shlex, statistics, subprocess, sys, time
job, piped = sys.argv[1], sys.argv[2] == "stdin"
commands = [shlex.split(c) for c in sys.argv[3:]][:2 if piped else 4]
wall, cpu = [[] for c in commands], [[] for c in commands]
def used():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
turns = list(range(len(commands)))
for i in range(21):
    for k in (turns if i % 2 else turns[::-1]):
        start, start_cpu = time.perf_counter(), used()
        feed = subprocess.Popen(["cat", job], stdout=subprocess.PIPE) \
            if piped else None
        run = subprocess.Popen(commands[k], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL,
                               stdin=feed.stdout if feed else None)
        if feed:
            feed.stdout.close()
        while run.stdout.read(8192):
            pass
        run.wait()
        if feed:
            feed.wait()
        if i > 0:
            wall[k].append(time.perf_counter() - start)
            cpu[k].append(used() - start_cpu)
median = [statistics.median(w) for w in wall]
cpu_median = [statistics.median(c) for c in cpu]
for name, k in (("pstops alone", 0), ("filter", 1)):
    print("%-13s median %.1f ms (%.1f to %.1f), CPU time median %.1f ms" % (
        name + ":", median[k] * 1000, min(wall[k]) * 1000,
        max(wall[k]) * 1000, cpu_median[k] * 1000))
print("filter / pstops alone: %.2f (target <= 1.25); CPU time: %.2f" % (
    median[1] / median[0], cpu_median[1] / cpu_median[0]))
if not piped:
    floor = median[0] + median[2] + median[3]
    print("pstops + empty libcups program %.1f ms + cp of the job %.1f ms: "
          "%.2f of pstops alone; the filter's own work %.1f ms" % (
          median[2] * 1000, median[3] * 1000, floor / median[0],
          (median[1] - floor) * 1000))
PY
}
compare "$tmp/pages.ps" "job of 2,000 pages"
compare "$tmp/comments.ps" "job of 2,000 pages whose lines end in comments"
compare "$tmp/big.ps" "large job of $pages pages"
compare "$tmp/pages.ps" "job of 2,000 pages" stdin
compare "$tmp/comments.ps" "job of 2,000 pages whose lines end in comments" stdin

# A pstops that runs the real one and then measures the folder it ran in,
# where the job's files are at their largest.
printf '#!/bin/sh\n%s "$@" && du -sk . >%s/peak\n' "$pstops" "$tmp" \
    >"$tmp/measuring-pstops"
chmod 755 "$tmp/measuring-pstops"
MORVANE_PSTOPS=$tmp/measuring-pstops "$filter" 1 u t 1 '' "$tmp/big.ps" \
    >/dev/null 2>&1
echo "== peak of the temporary folder, job as a file:  $(cut -f1 "$tmp/peak") KiB"
MORVANE_PSTOPS=$tmp/measuring-pstops "$filter" 1 u t 1 '' <"$tmp/big.ps" \
    >/dev/null 2>&1
echo "== peak of the temporary folder, job on stdin:   $(cut -f1 "$tmp/peak") KiB"

large=${2:-$(find /usr/share/ppd -name '*.ppd' -printf '%s %p\n' 2>/dev/null |
    sort -n | tail -n 1 | cut -d' ' -f2-)}
if [ -n "$large" ]; then
	{ cat "$large"; echo '*MorvaneVerticalDots: "3473"'; } >"$tmp/large.ppd"
	echo "== opening the PPD $large ($(wc -c <"$large") bytes)"
	hyperfine -N --warmup 3 --runs 40 --output=pipe \
	    --export-json "$tmp/times.json" \
	    "$filter 1 user title 1 media=A4 $tmp/one.ps" \
	    "env PPD=$tmp/large.ppd $filter 1 user title 1 media=A4 $tmp/one.ps" |
	    grep -E 'Benchmark|Time'
	python3 - "$tmp/times.json" <<'PY'
import json, sys
sample, large = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print("the large PPD costs %.1f ms more than the sample PPD" % ((large - sample) * 1000))
PY
else
	echo "== no PPD under /usr/share/ppd to time (give one as the second operand)"
fi
