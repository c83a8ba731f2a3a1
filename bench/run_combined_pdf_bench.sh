#!/usr/bin/env bash
# One combined PDF of N generated message PDFs (text and a picture, one or two pages each):
# peak and current resident memory after 100, 500 and N adds and after the write, and the
# seconds taken. Figures to compare between versions, never a pass or a fail. Run after
# scripts/build.sh.
#   bench/run_combined_pdf_bench.sh [N=1000]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen TEMP=$work/tmp
mkdir -p "$TEMP"
"$build/bench/bench_combined_pdf" "$work" "$n"
pages=$(pdfinfo "$work/combined.pdf" | sed -nE 's/^Pages: +//p')
echo "pdfinfo: $pages pages"
