#!/usr/bin/env bash
# Images to PDF: A4 scans (2480 x 3508 JPEG, colour and grey) through the conversion run, its
# picture decoder included, against img2pdf on the same files; pdftk.exe of the program folder
# against a plain pdftk; peak memory for a 600 dpi A3 scan and for a picture bomb (30000 x 30000
# pixels in under 1 MB).
#   bench/folipress/run.sh [-j JOBS] [--build] [--pages N] [--repeat N] [--memory-limit MB] BUILD_DIR
#     BUILD_DIR          an existing build folder with folipress_bench and its program folder built
#     --pages N          scans per run (default 20)
#     --repeat N         timed runs at each quality, in turn with img2pdf; medians (default 3)
#     --memory-limit MB  address space a single run may take (A3 and bomb runs too; default 8192)
#     --build            build folipress_bench there first, with JOBS jobs (default: all cores)
# The runs work in a copy of the build's program folder (they write their settings there) and in
# a drive C of their own, all in a temporary folder. Needs img2pdf, pdftk and pdfimages.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bench_value_options="--pages --repeat --memory-limit"
. bench/common.sh
bench_parse "$@"
pages=20 repeat=3 limit_mb=8192
set -- "${bench_args[@]+"${bench_args[@]}"}"
while [ $# -gt 0 ]; do
  case $1 in
    --pages) pages=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --memory-limit) limit_mb=$2; shift 2 ;;
    *) echo "run.sh: unknown option $1" >&2; bench_usage ;;
  esac
done
for n in "$pages" "$repeat" "$limit_mb"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: '$n' is not a positive number" >&2; exit 2; }
done
bench_need folipress_bench:bench/folipress/folipress_bench program_folder:Lumidoc/pdftk.exe
for tool in img2pdf pdftk pdfimages; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is needed (tools/install-deps.sh)" >&2; exit 2; }
done
host=$bench_build/bench/folipress/folipress_bench

scratch_dir work
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
cp -a "$bench_build/Lumidoc" "$work/program"

echo "Making $pages colour and $pages grey A4 scans, a 600 dpi A3 scan and a picture bomb..."
"$host" make "$work/colour" "$pages"
"$host" make "$work/grey" "$pages" --grey
"$host" make-a3 "$work/a3.jpg"
"$host" make-bomb "$work/bomb.png"
scans() { for ((i = 0; i < ${2:-$pages}; i++)); do printf '%s/%s/scan%02d.jpg\n' "$work" "$1" "$i"; done; }
mapfile -t colour < <(scans colour)
mapfile -t grey < <(scans grey)
mapfile -t quarter < <(scans colour $((pages / 4 > 0 ? pages / 4 : 1)))

# value KEY FILE: the last value of KEY; median KEY FILE...: the median over the files.
value() { awk -v k="$1" '$1 == k { v = substr($0, length(k) + 2) } END { print v }' "$2"; }
median() {
  local key=$1; shift
  for f in "$@"; do value "$key" "$f"; done | grep -E '^[0-9.]+$' | sort -g |
    awk '{ a[NR] = $1 } END { if (NR == 0) print "n/a"; else if (NR % 2) print a[(NR + 1) / 2];
                              else print (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
fmt() { [[ $1 =~ ^[0-9.]+$ ]] && printf "%.${2}f" "$1" || echo "$1"; }  # VALUE DECIMALS
calc() { awk "BEGIN { printf \"%.${2:-2}f\", $1 }"; }
ratio() { [[ $1 =~ ^[0-9.]+$ && $2 =~ ^[0-9.]+$ ]] && awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }' || echo n/a; }
target() { [ "$1" = n/a ] && echo "" || awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t ? "(target at most " t ": met)" : "(target at most " t ": OVER)") }'; }
convert() {  # QUALITY OUT.pdf REPORT IMAGE...
  local q=$1 out=$2 report=$3; shift 3
  "$host" run --program-folder "$work/program" "$q" "$out" "$@" >"$report"
  if [ "$(value outcome "$report")" != done ]; then
    echo "run.sh: the run at quality $q did not finish: $(value outcome "$report")" >&2
    exit 1
  fi
}

echo "Conversion runs, $repeat at each quality, in turn with img2pdf..."
for ((r = 1; r <= repeat; r++)); do
  convert 100 "$work/colour-100.pdf" "$work/r100.$r" "${colour[@]}"
  "$host" measure -- img2pdf -o "$work/img2pdf-colour.pdf" "${colour[@]}" >"$work/img2pdf.$r"
  convert 75 "$work/colour-75.pdf" "$work/r75.$r" "${colour[@]}"
done
convert 100 "$work/quarter.pdf" "$work/rquarter" "${quarter[@]}"
convert 100 "$work/grey-100.pdf" "$work/grey100" "${grey[@]}"
convert 75 "$work/grey-75.pdf" "$work/grey75" "${grey[@]}"
img2pdf -o "$work/img2pdf-grey.pdf" "${grey[@]}"

# The call timed is the run's first join, two one-page documents, so that the start of each
# call counts rather than the size of the growing document.
echo "pdftk: the program folder's pdftk.exe and a plain pdftk, in turn..."
pdftk "$work/colour-100.pdf" cat 1 output "$work/one.pdf"
pdftk "$work/colour-100.pdf" cat "$((pages > 1 ? 2 : 1))" output "$work/two.pdf"
rounds=$((repeat > 5 ? repeat : 5))
for ((r = 1; r <= rounds; r++)); do
  "$host" measure -- "$work/program/pdftk.exe" "$work/one.pdf" "$work/two.pdf" \
    cat output "$work/joined-ours.pdf" dont_ask >"$work/pdftk-ours.$r"
  "$host" measure -- pdftk "$work/one.pdf" "$work/two.pdf" \
    cat output "$work/joined-plain.pdf" dont_ask >"$work/pdftk-plain.$r"
done

echo "The A3 scan and the bomb, each under a limit of $limit_mb MB and 600 s..."
"$host" measure --memory-limit "$limit_mb" --time-limit 600 -- \
  "$host" run --program-folder "$work/program" 75 "$work/a3.pdf" "$work/a3.jpg" >"$work/a3" 2>&1 || true
"$host" measure --memory-limit "$limit_mb" --time-limit 600 -- \
  "$host" run --program-folder "$work/program" 75 "$work/bomb.pdf" "$work/bomb.png" >"$work/bomb" 2>&1 || true

# Quality: each page image as the PDF holds it, against its source picture.
quality_row() {  # LABEL PDF SET
  local label=$1 pdf=$2 set=$3 input out channels psnr pairs=() images
  input=$(cat "$work/$set"/scan*.jpg | wc -c)
  out=$(stat -c %s "$pdf")
  channels=$(pdfimages -list "$pdf" | awk 'NR > 2 { print $7 }' | sort -u | paste -sd/)
  scratch_dir images
  pdfimages -all "$pdf" "$images/p"
  local extracted=("$images"/p-*)
  for ((i = 0; i < ${#extracted[@]}; i++)); do
    pairs+=("$(printf '%s/%s/scan%02d.jpg' "$work" "$set" "$i")" "${extracted[$i]}")
  done
  "$host" psnr "${pairs[@]}" >"$work/psnr" || true
  printf '  %-24s %10s %10s %10s %9s\n' "$label" "$(calc "$out / $input")" \
    "$(value psnr_mean "$work/psnr" | grep . || echo n/a)" "$(value psnr_worst "$work/psnr" | grep . || echo n/a)" "${channels:-?}"
  scratch_remove "$images"
}

r100=("$work"/r100.*) r75=("$work"/r75.*)
pages100=$(median pages_s_per_page "${r100[@]}")
img2pdf_page=$(awk -v s="$(median wall_s "$work"/img2pdf.*)" -v n="$pages" 'BEGIN { printf "%.4f", s / n }')
row() {  # LABEL KEY DECIMALS
  printf '  %-54s %12s %12s\n' "$1" "$(fmt "$(median "$2" "${r100[@]}")" "$3")" \
    "$(fmt "$(median "$2" "${r75[@]}")" "$3")"
}
echo
echo "Images to PDF: $pages A4 scans (2480 x 3508 JPEG), median of $repeat runs at each quality"
printf '  %-54s %12s %12s\n' "" "quality 100" "quality 75"
row "conversion + page writing, s per page" pages_s_per_page 3
row "  conversion (picture to page bitmap), s per page" convert_s_per_page 3
row "  page writing (bitmap to the page's PDF), s per page" write_s_per_page 3
row "joining, s per pdftk call ($pages calls)" join_s_per_call 3
row "whole run, s" total_s 2
row "peak memory of the run, MB" peak_rss_mb 1
row "pdftk's own peak memory (largest process), MB" pdftk_peak_rss_mb 1
row "the picture decoder's peak memory (largest process), MB" decoder_peak_rss_mb 1
echo "  img2pdf, whole process: $(fmt "$img2pdf_page" 3) s per page, peak $(fmt "$(median peak_rss_mb "$work"/img2pdf.*)" 1) MB"
ours_vs_img2pdf=$(ratio "$pages100" "$img2pdf_page")
echo "  ours (conversion + page writing, quality 100) / img2pdf per page: $ours_vs_img2pdf $(target "$ours_vs_img2pdf" 5)"

ours_call=$(median wall_s "$work"/pdftk-ours.*)
plain_call=$(median wall_s "$work"/pdftk-plain.*)
pdftk_ratio=$(ratio "$ours_call" "$plain_call")
echo
echo "One pdftk call (the run's first: two one-page documents joined), median of $rounds, in turn"
echo "  program folder's pdftk.exe: $(fmt "$ours_call" 3) s, peak $(fmt "$(median peak_rss_mb "$work"/pdftk-ours.*)" 1) MB"
echo "  plain pdftk:                $(fmt "$plain_call" 3) s, peak $(fmt "$(median peak_rss_mb "$work"/pdftk-plain.*)" 1) MB"
echo "  pdftk.exe / plain pdftk: $pdftk_ratio $(target "$pdftk_ratio" 0.75)"

echo
echo "Output size against the input JPEGs, and PSNR (dB) of each page image against its source"
printf '  %-24s %10s %10s %10s %9s\n' "" "out/input" "PSNR mean" "worst" "channels"
quality_row "colour, quality 100" "$work/colour-100.pdf" colour
quality_row "colour, quality 75" "$work/colour-75.pdf" colour
quality_row "colour, img2pdf" "$work/img2pdf-colour.pdf" colour
quality_row "grey, quality 100" "$work/grey-100.pdf" grey
quality_row "grey, quality 75" "$work/grey-75.pdf" grey
quality_row "grey, img2pdf" "$work/img2pdf-grey.pdf" grey
echo "  (img2pdf embeds each JPEG as it is, so its pages are the source's own bytes: inf = lossless."
echo "   Sources are decoded with the accurate IDCT; channels = components of the page image in the PDF.)"

peak_line() {  # LABEL REPORT
  local f=$2 outcome
  outcome=$(value outcome "$f")
  printf '  %-44s peak %s MB (decoder %s MB), %s s, %s page(s) written, %s; %s\n' "$1" "$(value peak_rss_mb "$f")" \
    "$(value decoder_peak_rss_mb "$f")" "$(fmt "$(value wall_s "$f")" 2)" "$(value pages_written "$f")" \
    "${outcome:-no outcome}" "$(value ended "$f")"
}
echo
echo "Peak memory of a run"
echo "  ${#quarter[@]} page(s): $(value peak_rss_mb "$work/rquarter") MB; $pages pages: $(fmt "$(median peak_rss_mb "${r100[@]}")" 1) MB"
peak_line "600 dpi A3 scan (7016 x 9921, $(($(stat -c %s "$work/a3.jpg") / 1024)) KB JPEG):" "$work/a3"
peak_line "bomb (30000 x 30000 grey PNG, $(($(stat -c %s "$work/bomb.png") / 1024)) KB):" "$work/bomb"
