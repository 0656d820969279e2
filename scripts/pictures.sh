#!/usr/bin/env bash
# Draws what a person sees when opening exported files: every file of a
# directory (by default ./demo-output, as scripts/demo.sh leaves it) becomes
# PNG pictures of its first pages in a second directory.
#
#   bash scripts/pictures.sh [EXPORT_DIR [PICTURE_DIR]]
#
# Workbooks, RTF/DOC, DIF, SYLK, CSV, TXT and DBF files are opened with
# LibreOffice and printed to PDF, a LaTeX file is compiled (xelatex when its
# preamble loads fontspec, else pdflatex), HTML pages are drawn by Chromium
# when it is installed (else by LibreOffice), and every PDF is cut into PNG
# pages with pdftoppm. Files a person reads as text (JSON, XML, SQL, CSS) are
# left out. A file that cannot be drawn is named on standard error, and the
# script then exits 1.
set -euo pipefail

readonly EXPORT_DIR=$(realpath "${1:-demo-output}")
readonly PICTURE_DIR=$(realpath -m "${2:-$EXPORT_DIR-pictures}")
readonly PAGES=${PICTURE_PAGES:-3}   # pages drawn of every file
readonly RESOLUTION=${PICTURE_DPI:-60}

for tool in soffice pdftoppm; do
  command -v "$tool" >/dev/null || { echo "pictures: $tool is needed (see scripts/test.sh)" >&2; exit 1; }
done
chromium=$(command -v chromium || command -v chromium-browser || true)

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-pictures-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$PICTURE_DIR"
failed=0

fail() {
  echo "pictures: $1: $2" >&2
  failed=1
}

# Prints FILE to PDF with LibreOffice, with an import filter where the ending
# alone does not tell LibreOffice what the file is.
office_pdf() {
  local file=$1 filter=()
  case "${file,,}" in
    *.dif) filter=(--infilter="DIF:76") ;;
    *.dbf) filter=(--infilter="dBase:UTF8") ;;
    *.csv) filter=(--infilter="CSV:44,34,76") ;;
    *.txt) filter=(--infilter="Text (encoded):UTF8,CRLF,,,") ;;
  esac
  soffice -env:UserInstallation="file://$work/profile" --headless "${filter[@]}" \
    --convert-to pdf --outdir "$work/pdf" "$file" >/dev/null 2>&1 || true
}

latex_pdf() {
  local file=$1 engine=pdflatex
  grep -q 'fontspec' "$file" && engine=xelatex
  command -v "$engine" >/dev/null || { fail "$file" "$engine is not installed"; return; }
  (cd "$work/pdf" && timeout 300 "$engine" -interaction=nonstopmode -halt-on-error "$file" >/dev/null 2>&1 &&
    timeout 300 "$engine" -interaction=nonstopmode -halt-on-error "$file" >/dev/null 2>&1) ||
    fail "$file" "$engine stopped (see $work/pdf)"
}

html_png() {
  local file=$1 name=$2
  if [ -n "$chromium" ]; then
    "$chromium" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1280,900 \
      --screenshot="$PICTURE_DIR/$name.png" "file://$file" >/dev/null 2>&1 ||
      fail "$file" "chromium drew nothing"
  else
    office_pdf "$file"
  fi
}

shopt -s nullglob
for file in "$EXPORT_DIR"/*; do
  [ -f "$file" ] || continue
  name=$(basename "$file")
  stem=${name%.*}
  rm -rf "$work/pdf"
  mkdir -p "$work/pdf"
  case "${name,,}" in
    *.json | *.jsonl | *.xml | *.sql | *.css | *.dbt) continue ;;
    *.pdf) cp "$file" "$work/pdf/$stem.pdf" ;;
    *.tex) latex_pdf "$file" ;;
    *.html | *.htm) html_png "$file" "$name" ;;
    *) office_pdf "$file" ;;
  esac
  pdf="$work/pdf/$stem.pdf"
  if [ -f "$pdf" ]; then
    pdftoppm -png -r "$RESOLUTION" -f 1 -l "$PAGES" "$pdf" "$PICTURE_DIR/$name" ||
      fail "$file" "pdftoppm could not read the printed file"
    pages=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ { print $2 }')
    echo "$name: ${pages:-?} pages"
  elif [[ "${name,,}" != *.htm* || -z "$chromium" ]]; then
    fail "$file" "no picture (the reader could not open it)"
  else
    echo "$name: drawn by chromium"
  fi
done
echo "pictures in $PICTURE_DIR"
exit "$failed"
