#!/usr/bin/env bash
# Recognition run benchmark: a 10-page document through the whole run, with the engine behind a
# timing wrapper; our overhead per page beyond the engine and the 500 ms pause, split as render /
# engine end to pause / the rest (target: at most 70 ms per page); the renderer against pdftoppm.
# Then, in a process of its own, the peak memory and time of opening a 593-byte document with one
# page of 200 x 200 inches in the viewer and recognising that page (target: under 500 MB, 5 s).
#   bench/recognition/run.sh [-j JOBS] [--build] [--shared-process-table] BUILD_DIR
#     BUILD_DIR   an existing build folder with recognition_bench and its program folder built
#     --build     build recognition_bench there first, with JOBS jobs (default: all cores)
#     --shared-process-table
#                 run without a process table of its own (see below)
# It runs in a copy of the build's program folder in a temporary folder (it puts the wrapper
# there). The run ends every process named "ocr.exe" before it starts the engine, so the
# benchmark runs in a process table of its own (unshare: a PID namespace with its own /proc),
# where it can end no one else's; where that cannot be had it stops, unless told
# --shared-process-table, and then ends any other "ocr.exe" on the machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
. bench/common.sh
bench_parse "$@"
shared=0
set -- "${bench_args[@]+"${bench_args[@]}"}"
while [ $# -gt 0 ]; do
  case $1 in
    --shared-process-table) shared=1; shift ;;
    *) echo "run.sh: unknown option $1" >&2; bench_usage ;;
  esac
done
bench_need recognition_bench:bench/recognition/programfolder/recognition_bench \
  program_folder:Lumidoc/ocr.exe

scratch_dir work
cp -a "$bench_build/Lumidoc" "$work/program"
cp "$bench_build/bench/recognition/programfolder/recognition_bench" "$work/program/"
touch "$work/program/bench-copy"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen

private=(unshare --pid --fork --mount-proc)
[ "$(id -u)" -eq 0 ] || private=(unshare --user --map-root-user --pid --fork --mount-proc)
if "${private[@]}" true 2>/dev/null; then
  "${private[@]}" "$work/program/recognition_bench"
  "${private[@]}" "$work/program/recognition_bench" --huge-page
elif [ "$shared" = 1 ]; then
  echo "run.sh: no process table of its own here; every other \"ocr.exe\" may be ended" >&2
  "$work/program/recognition_bench"
  "$work/program/recognition_bench" --huge-page
else
  echo "run.sh: cannot run in a process table of its own (${private[*]} failed), and the run" >&2
  echo "would end every \"ocr.exe\" on this machine. Pass --shared-process-table to run it anyway." >&2
  exit 2
fi
