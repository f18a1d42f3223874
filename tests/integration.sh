#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the record the way a print job does, with the real pstops (psutils)
# and cp: pstops must accept the arguments and translate the page by the
# printed offsets times 72 points, and the copy record must copy the input
# byte for byte. Exits 77 (skipped) where pstops is not installed, and adds
# the reason to the file that MORVANE_SKIP_REASONS names, if it is set.
# Usage: integration.sh MORVANE [EMULATOR...]
set -u
[ $# -ge 1 ] || { echo "usage: $0 morvane [emulator...]" >&2; exit 2; }
morvane=$1
shift
emulator="$*"
. "$(dirname "$0")/common.sh"
needs integration pstops psutils

tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
input="$tmp/in.ps"
cat >"$input" <<'PS'
%!PS-Adobe-3.0
%%Pages: 1
%%EndComments
%%Page: 1 1
newpath 100 100 moveto 200 200 lineto stroke
showpage
%%EOF
PS

# width height vertical_dots
while read -r width height dots; do
	name="${width}x${height} at $dots dots"
	printf '<< /PageSize [%s %s] >> setpagedevice\n' "$width" "$height" >"$tmp/page"
	output="$tmp/out.ps"
	rm -f "$output"
	record=$($emulator "$morvane" - - - - - "$dots" pstops "$input" "$output" "$tmp/page") ||
		{ fail "$name: morvane failed"; continue; }
	if ! run_record "$record" 2>"$tmp/err"; then
		fail "$name: pstops refused the record"; cat "$tmp/err"; continue
	fi
	# The paper size and offsets as printed, and what pstops made of them.
	paper=$(printf '%s\n' "$record" | sed -n 's/^CMDARGV=-w\([^ ]*\) -h\([^ ]*\) .*/\1 0 rlineto 0 \2 rlineto/p')
	offsets=$(printf '%s\n' "$record" | sed -n 's/.*1:0@1.0(\(.*\)in,\(.*\)in).*/\1 \2/p')
	translate=$(grep ' translate$' "$output")
	clip=$(grep -c "^ $paper" "$output")
	if echo "$offsets $translate" | awk '{
		dx = $1 * 72 - $3; dy = $2 * 72 - $4
		exit !(dx < 1e-6 && dx > -1e-6 && dy < 1e-6 && dy > -1e-6)
	}' && [ "$clip" -eq 1 ]; then
		passed=$((passed + 1))
	else
		fail "$name: offsets $offsets, pstops wrote '$translate', paper size found $clip times"
	fi
done <<'CASES'
595 842 0
595 842 150
612 792 -300
595.28 841.89 37.5
1190.55 841.89 1200
CASES

# No page size: the copy record copies the input byte for byte.
: >"$tmp/empty"
output="$tmp/copy.ps"
echo stale >"$output"
record=$($emulator "$morvane" - - - - - 150 pstops "$input" "$output" "$tmp/empty")
if run_record "$record" && cmp -s "$input" "$output"; then
	passed=$((passed + 1))
else
	fail "copy record: '$record'"
fi

finish
