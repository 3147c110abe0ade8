# Sourced by the project's scripts: the one place where they make and remove folders and files
# of their own. A script never deletes anything else.
#   scratch_dir VAR     makes a fresh folder in the system's temporary folder, its path in VAR
#   scratch_file VAR [SUFFIX]   the same for one file
#   scratch_remove PATH removes a folder or file that scratch_dir/scratch_file made, with what is
#                       in it: links are removed as links (never followed) and the walk stays on
#                       the folder's own file system; any other path is refused
#   scratch_on_exit CMD runs CMD when the script exits, before its scratch goes
# Everything still there when the script exits is removed then.
scratch_made=()
scratch_exit_hooks=()

scratch_dir() {
  local made
  made=$(mktemp -d) || return 1
  scratch_made+=("$made")
  printf -v "$1" '%s' "$made"
}

scratch_file() {
  local made
  made=$(mktemp ${2:+--suffix="$2"}) || return 1
  scratch_made+=("$made")
  printf -v "$1" '%s' "$made"
}

scratch_remove() {
  local i
  for i in "${!scratch_made[@]}"; do
    if [ "${scratch_made[$i]}" = "$1" ]; then
      rm -rf --one-file-system -- "$1"
      unset 'scratch_made[i]'
      return 0
    fi
  done
  echo "scratch_remove: $1 was not made by this script; left alone" >&2
  return 1
}

scratch_remove_all() {
  local p
  for p in "${scratch_made[@]+"${scratch_made[@]}"}"; do scratch_remove "$p"; done
}
scratch_on_exit() {
  scratch_exit_hooks+=("$1")
}

scratch_exit() {
  local hook
  for hook in "${scratch_exit_hooks[@]+"${scratch_exit_hooks[@]}"}"; do "$hook"; done
  scratch_remove_all
}
trap scratch_exit EXIT
