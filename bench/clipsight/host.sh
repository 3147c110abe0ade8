# Sourced by the media benchmark scripts after their usage text: their options parsed (--repeat
# N, default 5), the benchmark program needed; $host is its path, $repeat the runs of each tool
# per file.
#   check_bytes_read FILE LIMIT   fails the script when reading FILE takes more than LIMIT bytes
bench_value_options="--repeat"
. bench/common.sh
bench_parse "$@"
bench_parse_repeat 5
bench_need clipsight_bench:bench/clipsight/clipsight_bench
host=$bench_build/bench/clipsight/clipsight_bench

check_bytes_read() {
  local file=$1 limit=$2 read
  read=$("$host" --quiet "$file" | grep -Eo 'bytes_read=[0-9]+' | cut -d= -f2)
  if [ "$read" -le "$limit" ]; then
    echo "$(basename "$file"): read $read bytes (bound $limit)"
  else
    echo "$(basename "$file"): read $read bytes, OVER the bound $limit" >&2
    exit 1
  fi
}
