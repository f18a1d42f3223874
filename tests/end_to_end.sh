#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the morvane executable and compares its standard output, standard
# error and exit status byte for byte with what each case expects.
# Usage: end_to_end.sh MORVANE [EMULATOR...]
set -u
[ $# -ge 1 ] || { echo "usage: $0 morvane [emulator...]" >&2; exit 2; }
morvane=$1
shift
emulator="$*"

tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/common.sh"
error_line='ERROR:morvane terminates.\n'

# check NAME STATUS STDOUT STDERR OPERAND...: STDOUT and STDERR are printf
# %b texts. Standard output goes to $stdout_to: a file, /dev/full or closed.
stdout_to=file
check() {
	name=$1 want_status=$2
	printf '%b' "$3" >"$tmp/want_out"
	printf '%b' "$4" >"$tmp/want_err"
	shift 4
	: >"$tmp/out"
	case $stdout_to in
	file) $emulator "$morvane" "$@" >"$tmp/out" 2>"$tmp/err" ;;
	full) $emulator "$morvane" "$@" >/dev/full 2>"$tmp/err" ;;
	closed) $emulator "$morvane" "$@" >&- 2>"$tmp/err" ;;
	esac
	status=$?
	if [ "$status" -eq "$want_status" ] &&
	    cmp -s "$tmp/out" "$tmp/want_out" &&
	    cmp -s "$tmp/err" "$tmp/want_err"; then
		passed=$((passed + 1))
	else
		fail "$name (status $status, want $want_status)"
		echo "  stdout:"; od -c "$tmp/out" | sed 's/^/    /'
		echo "  want:"; od -c "$tmp/want_out" | sed 's/^/    /'
		echo "  stderr:"; od -c "$tmp/err" | sed 's/^/    /'
	fi
}

a4="$tmp/a4"
printf '%%%%PageSize\n<< /PageSize [595 842] >> setpagedevice\n' >"$a4"
empty="$tmp/empty"
: >"$empty"
a4_record='PSCOMMAND=pstops\nCMDARGV=-w595.000000 -h842.000000 1:0@1.0(-0.060000in,-11.076334in) in.ps out.ps\n'

# Operand count.
check "no operands" 0 '' ''
check "nine operands" 0 '' '' 1 2 3 4 5 150 pstops in.ps out.ps
check "eleven operands" 0 '' '' 1 2 3 4 5 150 pstops in.ps out.ps "$a4" x

# The page-size file.
check "A4" 0 "$a4_record" '' 1 2 3 4 5 150 pstops in.ps out.ps "$a4"
check "missing file" 0 '' "$error_line" 1 2 3 4 5 150 pstops in out "$tmp/none"
check "empty file" 0 'PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps\n' '' \
	1 2 3 4 5 150 pstops in.ps out.ps "$empty"
check "directory" 0 'PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps\n' '' \
	1 2 3 4 5 150 pstops in.ps out.ps "$tmp"
# The search for "]" stops at the end of the line.
printf 'PageSize [' >"$tmp/open"
check "opening bracket ends the file" 0 'PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps\n' '' \
	1 2 3 4 5 150 pstops in.ps out.ps "$tmp/open"
check "endless zero bytes" 0 'PSCOMMAND=cp\nCMDARGV=-f in.ps out.ps\n' '' \
	1 2 3 4 5 150 pstops in.ps out.ps /dev/zero

# A page-size line longer than the line buffer is read as its first 1023
# bytes, and the next line starts where the file's next line starts.
long="$tmp/long"
{
	printf 'PageSize [612 792]'
	i=0
	while [ $i -lt 300 ]; do printf ' pad'; i=$((i + 1)); done
	printf '\nPageSize [595 842]\n'
} >"$long"
check "long line" 0 "$a4_record" '' 1 2 3 4 5 150 pstops in.ps out.ps "$long"

# Operands.
check "ignored operands" 0 "$a4_record" '' '' 'x y' '$HOME' '' '*' 150 \
	pstops in.ps out.ps "$a4"
check "letters after the number" 0 "$a4_record" '' 1 2 3 4 5 150dpi \
	pstops in.ps out.ps "$a4"
check "no number" 0 'PSCOMMAND=pstops\nCMDARGV=-w595.000000 -h842.000000 1:0@1.0(-0.060000in,-11.576334in) in.ps out.ps\n' '' \
	1 2 3 4 5 dots pstops in.ps out.ps "$a4"
check "spaces and shell characters" 0 'PSCOMMAND=ps tops;\nCMDARGV=-w595.000000 -h842.000000 1:0@1.0(-0.060000in,-11.076334in) my in.ps $out "x".ps\n' '' \
	1 2 3 4 5 150 'ps tops;' 'my in.ps' '$out "x".ps' "$a4"

# Records that do not fit are refused whole; one of 1023 characters is not.
name499=$(printf '%0499d' 0)
check "record of 1023 characters" 0 "PSCOMMAND=cp\nCMDARGV=-f $name499 $name499\n" '' \
	1 2 3 4 5 150 pstops "$name499" "$name499" "$empty"
check "record of 1024 characters" 1 '' "$error_line" \
	1 2 3 4 5 150 pstops "$name499" "${name499}0" "$empty"
check "very long command name" 1 '' "$error_line" \
	1 2 3 4 5 150 "$name499$name499$name499" in.ps out.ps "$a4"

# A record that cannot be written is a failure.
stdout_to=full
check "standard output full" 1 '' "$error_line" \
	1 2 3 4 5 150 pstops in.ps out.ps "$a4"
check "missing file, standard output full" 0 '' "$error_line" \
	1 2 3 4 5 150 pstops in.ps out.ps "$tmp/none"
stdout_to=closed
check "standard output closed" 1 '' "$error_line" \
	1 2 3 4 5 150 pstops in.ps out.ps "$a4"

finish
