# Sourced by the test tools: reads "-j JOBS" (build and test jobs, default all cores) into $jobs.
jobs=$(nproc)
while getopts "j:" opt; do
  case $opt in
    j) jobs=$OPTARG ;;
    *) echo "usage: $0 [-j JOBS]" >&2; exit 2 ;;
  esac
done
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [-j JOBS]" >&2; exit 2; }
