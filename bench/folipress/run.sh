#!/usr/bin/env bash
# Twenty A4 scans (2480 x 3508 JPEG) through the images-to-PDF run, against img2pdf on the same
# files. Usage: bench/folipress/run.sh [BUILD_DIR] [PAGES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
pages=${2:-20}
cmake --build "$build" --target folipress_bench program_folder -j8 >/dev/null
host=$build/bench/folipress/folipress_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen

echo "Making $pages A4 scans..."
"$host" make "$work/scans" "$pages"
files=()
for ((i = 0; i < pages; i++)); do files+=("$(printf '%s/scans/scan%02d.jpg' "$work" "$i")"); done

value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
run() {  # pages quality report
  "$host" run "$work/scans" "$1" "$2" "$work/out-$1-$2.pdf" > "$3"
}

echo "Conversion runs..."
run "$pages" 100 "$work/r100"
run "$pages" 75 "$work/r75"
half=$((pages / 4 > 0 ? pages / 4 : 1))
run "$half" 100 "$work/rhalf"

echo "img2pdf..."
start=$(date +%s.%N)
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f '%M' -o "$work/img2pdf.mem" img2pdf -o "$work/img2pdf.pdf" "${files[@]}"
else
  img2pdf -o "$work/img2pdf.pdf" "${files[@]}"
fi
end=$(date +%s.%N)
calc() { awk "BEGIN { printf \"%.4f\", $1 }"; }
img2pdf_s=$(calc "$end - $start")
img2pdf_bytes=$(stat -c %s "$work/img2pdf.pdf")
img2pdf_mb=$( [ -f "$work/img2pdf.mem" ] && awk '{ printf "%.1f", $1 / 1024 }' "$work/img2pdf.mem" || echo "?")
input=$(value input_bytes "$work/r100")

pdf_pages() { pdfinfo "$1" | awk '/^Pages:/ { print $2 }'; }
echo
printf '%-34s %12s %12s\n' "" "quality 100" "quality 75"
for k in convert_s_per_page write_s_per_page pdftk_s_per_page total_s peak_rss_mb peak_child_rss_mb output_bytes; do
  printf '%-34s %12s %12s\n' "$k" "$(value $k "$work/r100")" "$(value $k "$work/r75")"
done
printf '%-34s %12s %12s\n' "pages in the output" "$(pdf_pages "$work/out-$pages-100.pdf")" "$(pdf_pages "$work/out-$pages-75.pdf")"
echo
echo "input JPEG bytes (sum)             $input"
for q in 100 75; do
  out=$(value output_bytes "$work/r$q")
  tot=$(value total_s "$work/r$q")
  printf 'quality %-3s output / input size    %.2f\n' "$q" "$(calc "$out / $input")"
  printf 'quality %-3s time / img2pdf time     %.1f\n' "$q" "$(calc "$tot / $img2pdf_s")"
  printf 'quality %-3s size / img2pdf size     %.2f\n' "$q" "$(calc "$out / $img2pdf_bytes")"
done
printf 'img2pdf: %.2f s, %s bytes (%.2f of input), peak %s MB\n' "$img2pdf_s" "$img2pdf_bytes" \
  "$(calc "$img2pdf_bytes / $input")" "$img2pdf_mb"
echo
echo "peak memory with $half pages: $(value peak_rss_mb "$work/rhalf") MB; with $pages pages: $(value peak_rss_mb "$work/r100") MB"
