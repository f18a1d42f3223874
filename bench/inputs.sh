# SPDX-License-Identifier: MIT
# The jobs that the benchmarks print, made the same way for each; sourced,
# with a folder of the run's own in $tmp.

# make_job PAGES FILE [LINES [LINE]]: a PostScript job of PAGES pages of a
# line and text, and LINES more lines LINE (default: one that ends in a
# comment), as CUPS's own pstops ($cups_pstops) prepares it for the sample
# queue (its device setup and copies code in the setup section), as the
# filter gets it.
make_job() {
	awk -v pages="$1" -v lines="${3:-0}" \
	    -v line="${4:-0 0 moveto % a comment to the end of the line, as some programs write}" 'BEGIN {
		printf "%%!PS-Adobe-3.0\n%%%%Pages: %d\n%%%%EndComments\n", pages
		for (i = 1; i <= pages; i++) {
			printf "%%%%Page: %d %d\n%s\n", i, i, "100 100 moveto " \
			    "500 700 lineto stroke /Times-Roman findfont 12 " \
			    "scalefont setfont 72 72 moveto (A line of text) show"
			for (k = 0; k < lines; k++)
				print line
			print "showpage"
		}
		print "%%EOF"
	}' >"$tmp/raw.ps"
	"$cups_pstops" 1 user title 1 media=A4 "$tmp/raw.ps" >"$2" 2>/dev/null
}

# make_pdf FILE: twenty pages of text and lines, as PDF.
make_pdf() {
	{
		printf '%s\n' '%!PS-Adobe-3.0' '%%Pages: 20' '%%EndComments'
		for page in $(seq 20); do
			printf '%s\n' "%%Page: $page $page" \
			    '/Times-Roman findfont 14 scalefont setfont' \
			    "72 700 moveto (Page $page of a benchmark job) show" \
			    "72 72 moveto 500 $((100 + page * 30)) lineto stroke" \
			    '72 100 400 500 rectstroke showpage'
		done
		echo '%%EOF'
	} >"$tmp/pages-20.ps"
	gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$1" "$tmp/pages-20.ps"
}
