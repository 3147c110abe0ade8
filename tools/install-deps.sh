#!/usr/bin/env bash
# Installs the Debian packages the suite builds and tests with; does nothing when all are present.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev libpoppler-qt6-dev libpoppler-private-dev libfreeimage-dev zlib1g-dev libcairo2-dev libjpeg-dev libtiff-dev
  libhpdf-dev libseccomp-dev img2pdf
  pdftk-java poppler-utils qpdf
  tesseract-ocr tesseract-ocr-eng tesseract-ocr-fra tesseract-ocr-deu tesseract-ocr-frk
  tesseract-ocr-ita tesseract-ocr-nld tesseract-ocr-spa tesseract-ocr-por tesseract-ocr-eus
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdg-utils
  fonts-dejavu-core fonts-droid-fallback fonts-noto-color-emoji
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
