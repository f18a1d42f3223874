# SPDX-License-Identifier: MIT
# What the benchmarks that print through a private cupsd share; sourced
# after tests/common.sh and start_cupsd, with the job's file in $job.
# time_job QUEUE [OPTION...]: the milliseconds from lp to "Job completed."
# of its job; exits where the job stopped instead.
time_job() {
	start=$(date +%s%N)
	queue=$1
	shift
	request=$(lp -d "$queue" "$@" "$job")
	id=${request#*"$queue"-} id=${id%% *}
	until grep -a -q "\[Job $id\] Job \(completed\|stopped\)" "$cupsd_folder/log/error_log"; do
		sleep 0.005
	done
	grep -a -q "\[Job $id\] Job completed\." "$cupsd_folder/log/error_log" ||
	    { echo "job $id on $queue failed" >&2; exit 1; }
	echo $((($(date +%s%N) - start) / 1000000))
}
# median FILE: the median of its numbers, one a line.
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
