#!/usr/bin/env bash
# Lays out the outside programs of a program folder under the names the suite starts them by:
# ocr.exe (tesseract), pdftk.exe (pdftk), wordpad.exe (the desktop's text editor), and the
# tessdata folder that makes every language code of the recognition dialog work.
set -euo pipefail
dest=${1:?usage: layout-program-folder.sh PROGRAM_FOLDER}
mkdir -p "$dest"

cat > "$dest/ocr.exe" <<'SH'
#!/bin/bash
# The recognition engine, with the language data laid out beside it.
here=$(dirname "$(readlink -f "$0")")
export TESSDATA_PREFIX="$here/tessdata"
# One engine runs per page; its own worker threads only slow it down on a busy machine.
export OMP_THREAD_LIMIT=${OMP_THREAD_LIMIT:-1}
exec -a ocr.exe tesseract "$@"
SH

cat > "$dest/pdftk.exe" <<'SH'
#!/bin/bash
exec -a pdftk.exe pdftk "$@"
SH

cat > "$dest/wordpad.exe" <<'SH'
#!/bin/bash
# Shows a text file in the desktop's editor.
exec xdg-open "$1"
SH
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
