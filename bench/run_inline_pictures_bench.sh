#!/usr/bin/env bash
# Peak memory of a Get All through the real program and a private Dovecot: N generated messages
# (default 1000) in "Bench", and the same with every tenth message naming one inline picture
# a thousand times in "BenchPictures". Prints the figures of both and stops the server.
# Run as root after scripts/build.sh.
#   bench/run_inline_pictures_bench.sh [N]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}
dir=$build/bench-pictures-dovecot
trap '"$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true' EXIT
"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "$n" >/dev/null
python3 "$top/bench/add_picture_mailbox.py" "$dir" "$(grep -m1 '^TEST_USER=' "$dir/env" | cut -d= -f2-)"
export QUORVALE_TEST_DOVECOT_DIR=$dir
export QT_QPA_PLATFORM=offscreen
"$build/bench/bench_inline_pictures" --dovecot
