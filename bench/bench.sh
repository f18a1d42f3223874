#!/bin/sh
# SPDX-License-Identifier: MIT
# Measures the two costs that matter in a print job:
#   start-up: instructions of one run on a one-line page-size file, against
#             an empty C program, both counted by callgrind;
#   scan:     time and peak memory on a 100 MiB page-size file of one
#             repeated "PageSize" line, against wc -l on the same file.
# Needs valgrind, hyperfine and GNU time (Debian: valgrind hyperfine time).
# Usage: bench/bench.sh [DIR]   (the folder that holds morvane; default: build)
set -eu
build=${1:-build}
morvane=$(cd "$build" && pwd)/morvane
[ -x "$morvane" ] || { echo "no $morvane: build first" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo '<< /PageSize [595 842] >> setpagedevice' >"$tmp/one"
echo 'int main(void){return 0;}' >"$tmp/empty.c"
cc -O2 -o "$tmp/empty" "$tmp/empty.c"

instructions() {
	valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 |
	    sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
echo "== start-up (callgrind instructions)"
base=$(instructions "$tmp/empty")
ours=$(instructions "$morvane" - - - - - 150 pstops in.ps out.ps "$tmp/one")
echo "empty C program: $base"
echo "morvane:         $ours"
awk -v a="$ours" -v b="$base" 'BEGIN { printf "ratio:           %.3f (target <= 1.25)\n", a / b }'
echo "loaded at run time: $(ldd "$morvane" | awk '$1 !~ /^(linux-vdso|\/)/ { printf "%s ", $1 }')"

echo "== scan of 100 MiB"
line='<< /PageSize [595 842] >> setpagedevice'
big="$tmp/big"
yes "$line" | head -c 104857600 >"$big"
hyperfine -N --warmup 2 --runs 10 --export-json "$tmp/scan.json" \
	"wc -l $big" \
	"$morvane - - - - - 150 pstops in.ps out.ps $big" >"$tmp/hyperfine.txt"
grep -E 'Time|Benchmark' "$tmp/hyperfine.txt"
python3 - "$tmp/scan.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print("ratio to wc -l:  %.2f (target <= 10)" % (r[1]["mean"] / r[0]["mean"]))
PY

# Peak resident memory varies by a few dozen KiB from run to run, mostly in
# the C library's pages; eleven runs of each show the spread.
peak() {
	for i in 1 2 3 4 5 6 7 8 9 10 11; do
		/usr/bin/time -v "$@" 2>&1 >/dev/null |
		    sed -n 's/.*Maximum resident set size (kbytes): //p'
	done | sort -n | awk '{ v[NR] = $1 } END { printf "%d to %d KiB (median %d)", v[1], v[NR], v[6] }'
}
echo "peak memory, one-line file: $(peak "$morvane" - - - - - 150 pstops in out "$tmp/one")"
echo "peak memory, 100 MiB file:  $(peak "$morvane" - - - - - 150 pstops in out "$big")"
