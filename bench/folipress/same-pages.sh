#!/usr/bin/env bash
# Same pages: every picture of a corpus through the picture decoder of two builds, started as
# Folipress starts it (probe, then decode into a new file), and the two page bitmaps compared
# byte for byte: a change to the decoder must keep every page that the old one makes.
#   bench/folipress/same-pages.sh [-j JOBS] [--build] [--full-run N] OLD_BUILD NEW_BUILD CORPUS_DIR
#     OLD_BUILD NEW_BUILD  existing build folders with folipress-decoder built
#     CORPUS_DIR    the pictures (its files; not its subfolders), e.g. from
#                   tools/make-picture-corpus.py
#     -j JOBS       pictures at once, and jobs for --build (default: all cores)
#     --full-run N  also N pictures, one format after another, through the whole conversion run
#                   of each build (folipress_bench run, quality 100), and the page images of the
#                   two PDFs compared byte for byte (needs pdfimages)
#     --build       build folipress-decoder (and folipress_bench for --full-run) in both first
# Per picture: each build's probe answer, how its last start ended (exit status or signal), and
# whether the two bitmaps are the same; then the counts. Exit status 1 when a picture that the
# old build converts is refused or converted differently by the new one, or a page of the full
# run differs. Bitmaps and runs are made in a temporary folder; builds and corpus are only read.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bench_value_options="--full-run"
. bench/common.sh
bench_parse "$@"
full=0 new="" corpus=""
set -- "${bench_args[@]+"${bench_args[@]}"}"
while [ $# -gt 0 ]; do
  case $1 in
    --full-run) full=$2; shift 2 ;;
    -*) echo "same-pages.sh: unknown option $1" >&2; bench_usage ;;
    *) if [ -z "$new" ]; then new=$1; elif [ -z "$corpus" ]; then corpus=$1; else bench_usage; fi; shift ;;
  esac
done
[ -n "$corpus" ] || bench_usage
[[ $full =~ ^[0-9]+$ ]] || { echo "same-pages.sh: '$full' is not a number" >&2; exit 2; }
[ -f "$new/CMakeCache.txt" ] || { echo "same-pages.sh: $new is not a configured build folder" >&2; exit 2; }
[ -d "$corpus" ] || { echo "same-pages.sh: no folder $corpus" >&2; exit 2; }
corpus=$(cd "$corpus" && pwd)
needs=(folipress-decoder:Lumidoc/folipress-decoder)
if [ "$full" -gt 0 ]; then
  needs+=(folipress_bench:bench/folipress/folipress_bench program_folder:Lumidoc/pdftk.exe)
  command -v pdfimages >/dev/null || { echo "same-pages.sh: pdfimages is needed (poppler-utils)" >&2; exit 2; }
fi
old=$bench_build
bench_need "${needs[@]}"
bench_build=$(cd "$new" && pwd)
new=$bench_build
bench_need "${needs[@]}"

scratch_dir work
started=$(date +%s.%N)
status=0
sample=()
[ "$full" -gt 0 ] && sample=("$full" "$work/sample")
python3 bench/folipress/decoder-starts.py same "$bench_jobs" "$old/Lumidoc/folipress-decoder" \
  "$new/Lumidoc/folipress-decoder" "$corpus" "$work" "${sample[@]+"${sample[@]}"}" || status=$?
[ "$status" -le 1 ] || exit "$status"
echo "decoder starts: $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"

if [ "$full" -gt 0 ] && [ ! -s "$work/sample" ]; then
  echo "full run: no picture that both builds convert"
elif [ "$full" -gt 0 ]; then
  mapfile -t sample <"$work/sample"
  images=()
  for s in "${sample[@]}"; do images+=("$corpus/$s"); done
  echo
  echo "Whole conversion run of ${#images[@]} pictures, quality 100, each build in turn..."
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
  for side in old new; do
    build=$old
    [ "$side" = new ] && build=$new
    cp -a "$build/Lumidoc" "$work/program-$side"
    "$build/bench/folipress/folipress_bench" run --program-folder "$work/program-$side" 100 "$work/$side.pdf" \
      "${images[@]}" >"$work/$side.run" 2>"$work/$side.err" || true
    mkdir "$work/$side-images"
    [ -s "$work/$side.pdf" ] && pdfimages -all -p "$work/$side.pdf" "$work/$side-images/i"
    echo "  $side: $(awk '$1 == "outcome" { $1 = ""; print substr($0, 2) }' "$work/$side.run"), \
$(awk '$1 == "pages_written" { print $2 }' "$work/$side.run") page(s), $(awk '$1 == "total_s" { print $2 }' "$work/$side.run") s"
  done
  same=0 differ=0
  for ((i = 0; i < ${#images[@]}; i++)); do
    page=$(printf '%03d' $((i + 1)))
    verdict=same
    a=("$work/old-images/i-$page-"*) b=("$work/new-images/i-$page-"*)
    if [ ! -e "${a[0]}" ] || [ ${#a[@]} != ${#b[@]} ]; then
      verdict=differ
    else
      for ((k = 0; k < ${#a[@]}; k++)); do cmp -s "${a[$k]}" "${b[$k]}" || verdict=differ; done
    fi
    [ "$verdict" = same ] && same=$((same + 1)) || differ=$((differ + 1))
    printf '  page %3d  %-44s %d image(s): %s\n' $((i + 1)) "${sample[$i]}" ${#a[@]} "$verdict"
  done
  echo "full run: $same page(s) the same, $differ differ"
  [ "$differ" = 0 ] || status=1
fi
exit "$status"
