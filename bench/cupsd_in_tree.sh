# SPDX-License-Identifier: MIT
# The cupsd benchmark in a tree that .ci/fresh-debian made and built the
# project in, with the time of one run of pstops on the job as CUPS
# prepares it, the floor of what the filter adds:
#   sudo .ci/fresh-debian --run bench/cupsd_in_tree.sh trixie
apt-get install -y -q cups-daemon cups-client cups cups-filters \
    ghostscript >/dev/null
printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 1' '%%EndComments' '%%Page: 1 1' \
    '100 100 moveto 400 700 lineto stroke showpage' '%%EOF' >/tmp/one.ps
PPD=tests/ppd/letter-pjl.ppd /usr/lib/cups/filter/pstops 1 u t 1 '' \
    /tmp/one.ps 2>/dev/null | sed '1,/^%!/{/^%!/!d}' >/tmp/prepared.ps
BENCH_PSTOPS_MS=$(for i in 1 2 3 4 5; do
	start=$(date +%s%N)
	pstops -q -w612 -h792 '1:0@1.0(-0.06in,0in)' /tmp/prepared.ps >/dev/null
	echo $((($(date +%s%N) - start) / 1000000))
done | sort -n | sed -n 3p)
echo "one run of pstops, median of 5: $BENCH_PSTOPS_MS ms"
export BENCH_PSTOPS_MS
sh bench/cupsd.sh build 10
BENCH_PPD=tests/ppd/letter-pjl.ppd BENCH_OPTIONS="-n 10 -o collate=true" \
    sh bench/cupsd.sh build 10
