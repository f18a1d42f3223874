# SPDX-License-Identifier: MIT
# Helpers that the shell tests source: counting, skipping, and running a
# record the way a print job does.
passed=0
failed=0
fail() {
	failed=$((failed + 1))
	printf 'FAIL: %s\n' "$*"
}

# needs TEST PROGRAM PACKAGE: ends the test as skipped (77) where PROGRAM is
# missing, and adds the reason to the file that MORVANE_SKIP_REASONS names.
needs() {
	command -v "$2" >/dev/null 2>&1 && return
	echo "$1: skipped, $2 is not installed (Debian package $3)" |
	    tee -a "${MORVANE_SKIP_REASONS:-/dev/null}"
	exit 77
}

# The caller: the value after "PSCOMMAND=" is the command, the value after
# "CMDARGV=" its word-split arguments.
run_record() {
	command=$(printf '%s\n' "$1" | sed -n 's/^PSCOMMAND=//p')
	arguments=$(printf '%s\n' "$1" | sed -n 's/^CMDARGV=//p')
	set -f
	# shellcheck disable=SC2086
	"$command" $arguments
	status=$?
	set +f
	return $status
}

finish() {
	echo "$passed passed, $failed failed"
	[ "$failed" -eq 0 ]
}
