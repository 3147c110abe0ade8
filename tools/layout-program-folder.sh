#!/usr/bin/env bash
# Lays out the outside programs of a program folder under the names the suite starts them by:
# ocr.exe (tesseract), pdftk.exe (pdftk), wordpad.exe (the desktop's text editor), and the
# tessdata folder that makes every language code of the recognition dialog work.
#   layout-program-folder.sh [--pdftk-archive] PROGRAM_FOLDER
#     --pdftk-archive  also give pdftk.exe a class-data archive of its Java machine (pdftk.jsa),
#                      which makes each call about a quarter quicker. It is made again only when
#                      the installed Java or pdftk changed since (pdftk.jsa.stamp), so the build
#                      passes it at every build; the tests' folders go without.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
archive=0
if [ "${1:-}" = --pdftk-archive ]; then
  archive=1
  shift
fi
dest=${1:?usage: layout-program-folder.sh [--pdftk-archive] PROGRAM_FOLDER}
mkdir -p "$dest"

cat > "$dest/ocr.exe" <<'SH'
#!/bin/bash
# The recognition engine, with the language data laid out beside it. Only built-ins run before
# the engine, so that a page pays for no other process start.
self=$0
[ -L "$self" ] && self=$(readlink -f "$self")
case $self in */*) here=${self%/*} ;; *) here=. ;; esac
export TESSDATA_PREFIX="$here/tessdata"
# One engine runs per page; its own worker threads only slow it down on a busy machine.
export OMP_THREAD_LIMIT=${OMP_THREAD_LIMIT:-1}
exec -a ocr.exe tesseract "$@"
SH

cat > "$dest/wordpad.exe" <<'SH'
#!/bin/bash
# Shows a text file in the desktop's editor.
exec xdg-open "$1"
SH

plain_pdftk() {
  cat > "$dest/pdftk.exe" <<'SH'
#!/bin/bash
exec -a pdftk.exe pdftk "$@"
SH
  rm -f "$dest/pdftk.jsa" "$dest/pdftk.jsa.stamp"
}

# The Java command line the installed pdftk runs (one argument a line, "java" first), seen by
# running it once with a stand-in "java" first in the search path; nothing when pdftk is no
# launcher of a Java program.
pdftk_java_command() {
  local probe
  scratch_dir probe
  cat > "$probe/java" <<'SH'
#!/bin/sh
{ echo java; for a; do printf '%s\n' "$a"; done; } > "${0%/*}/command"
SH
  chmod +x "$probe/java"
  PATH="$probe:$PATH" pdftk >/dev/null 2>&1 </dev/null || true
  [ -f "$probe/command" ] && cat "$probe/command"
  scratch_remove "$probe"
}

# A one-page PDF document of its own, for the join the archive is made from.
tiny_pdf() {
  local objs=("<</Type/Catalog/Pages 2 0 R>>" "<</Type/Pages/Kids[3 0 R]/Count 1>>"
              "<</Type/Page/Parent 2 0 R/MediaBox[0 0 72 72]>>")
  local body="%PDF-1.4"$'\n' offsets=() i
  for i in "${!objs[@]}"; do
    offsets+=("${#body}")
    body+="$((i + 1)) 0 obj"$'\n'"${objs[$i]}"$'\n'"endobj"$'\n'
  done
  local xref=${#body}
  body+="xref"$'\n'"0 4"$'\n'"0000000000 65535 f "$'\n'
  for i in "${offsets[@]}"; do body+=$(printf '%010d 00000 n ' "$i")$'\n'; done
  body+="trailer"$'\n'"<</Size 4/Root 1 0 R>>"$'\n'"startxref"$'\n'"$xref"$'\n'"%%EOF"$'\n'
  printf '%s' "$body" > "$1"
}

# pdftk.exe starting Java from an archive of the classes a join loads, Java's own included: the
# classes one join of two small documents loads, dumped into an archive that is kept only once
# a Java machine has started from it.
archived_pdftk() {
  local cmd=() line
  while IFS= read -r line; do cmd+=("$line"); done < <(pdftk_java_command)
  local cp="" i
  for ((i = 1; i + 1 < ${#cmd[@]}; i++)); do
    case ${cmd[$i]} in -cp | -classpath | --class-path) cp=${cmd[$((i + 1))]} ;; esac
  done
  if [ ${#cmd[@]} -lt 2 ] || [ -z "$cp" ] || ! command -v java >/dev/null; then
    plain_pdftk
    return
  fi
  local jars=()
  IFS=: read -ra jars <<< "$cp"
  # What the archive was made for: the command, and the size and time of Java, the jars and
  # this script (which says how the archive is made).
  local stamp
  stamp=$(printf '%s\n' "${cmd[@]}"
          stat -L -c '%n %s %Y' "$(command -v java)" "${jars[@]}" "${BASH_SOURCE[0]}" 2>&1 || true)
  if [ ! -f "$dest/pdftk.jsa" ] || [ "$(cat "$dest/pdftk.jsa.stamp" 2>/dev/null)" != "$stamp" ]; then
    local work
    scratch_dir work
    tiny_pdf "$work/a.pdf"
    tiny_pdf "$work/b.pdf"
    rm -f "$dest/pdftk.jsa" "$dest/pdftk.jsa.stamp"
    # Without -XX:-UsePerfData each Java machine leaves /tmp/hsperfdata_<user> behind.
    if java -XX:-UsePerfData -XX:DumpLoadedClassList="$work/classes" "${cmd[@]:1}" \
         "$work/a.pdf" "$work/b.pdf" cat output "$work/c.pdf" dont_ask >/dev/null 2>&1 &&
       java -XX:-UsePerfData -Xshare:dump -XX:SharedClassListFile="$work/classes" \
         -XX:SharedArchiveFile="$work/pdftk.jsa" -Xlog:cds*=off "${cmd[@]:1}" >/dev/null 2>&1 &&
       java -XX:-UsePerfData -Xshare:on -XX:SharedArchiveFile="$work/pdftk.jsa" -Xlog:cds*=off \
         "${cmd[@]:1}" "$work/a.pdf" "$work/b.pdf" cat output "$work/d.pdf" dont_ask >/dev/null 2>&1; then
      mv -f "$work/pdftk.jsa" "$dest/pdftk.jsa.new"
      mv -f "$dest/pdftk.jsa.new" "$dest/pdftk.jsa"
      printf '%s\n' "$stamp" > "$dest/pdftk.jsa.stamp"
    fi
    scratch_remove "$work"
  fi
  if [ ! -f "$dest/pdftk.jsa" ]; then
    plain_pdftk
    return
  fi
  local checks="" java_args
  for i in "${jars[@]}"; do checks+=" && [ -f $(printf '%q' "$i") ]"; done
  java_args=$(printf ' %q' "${cmd[@]:1}")
  cat > "$dest/pdftk.exe" <<SH
#!/bin/bash
# pdftk, its Java machine started from pdftk.jsa beside this file: a class-data archive of the
# classes a join loads, made for the Java and pdftk installed when the folder was laid out. A
# call lasts a fraction of a second: the quick compiler alone serves it best, and no data file
# for monitoring tools is made. Java refuses an archive that does not fit what is installed now,
# silently, and loads the classes as usual; without the archive, or when pdftk's files have
# moved, pdftk starts as it always does.
self=\$0
[ -L "\$self" ] && self=\$(readlink -f "\$self")
case \$self in */*) archive=\${self%/*}/pdftk.jsa ;; *) archive=pdftk.jsa ;; esac
if [ -f "\$archive" ]$checks; then
  exec -a pdftk.exe java -XX:SharedArchiveFile="\$archive" -Xlog:cds*=off -XX:TieredStopAtLevel=1 \\
    -XX:-UsePerfData \\
   $java_args "\$@"
fi
exec -a pdftk.exe pdftk "\$@"
SH
}

if [ "$archive" = 1 ]; then archived_pdftk; else plain_pdftk; fi
chmod +x "$dest/ocr.exe" "$dest/pdftk.exe" "$dest/wordpad.exe"

# Language data: every installed file, plus the two codes tesseract does not know as spelled.
src=""
for d in /usr/share/tesseract-ocr/5/tessdata /usr/share/tesseract-ocr/4.00/tessdata /usr/share/tessdata; do
  if [ -d "$d" ]; then src=$d; break; fi
done
mkdir -p "$dest/tessdata"
if [ -n "$src" ]; then
  for f in "$src"/*; do
    ln -sfn "$f" "$dest/tessdata/$(basename "$f")"
  done
  [ -e "$src/frk.traineddata" ] && ln -sfn "$src/frk.traineddata" "$dest/tessdata/deu-f.traineddata"
  [ -e "$src/por.traineddata" ] && ln -sfn "$src/por.traineddata" "$dest/tessdata/Por.traineddata"
fi
exit 0
