#!/usr/bin/env bash
# Starts a private Dovecot with N generated messages (default 10000), of which thirty carry
# "quarterly audit" in their subject, and times "Get Emails Matching..." for them against
# "2a. Get All Emails" of all N through the main window; stops the server. Run as root after
# scripts/build.sh.
#   bench/run_search_bench.sh [N]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-10000}
dir=$build/bench-search-dovecot
trap '"$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true' EXIT
"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "$n" >/dev/null
export QUORVALE_TEST_DOVECOT_DIR=$dir
export QT_QPA_PLATFORM=offscreen
echo "Dovecot, $n messages in Bench:"
"$build/bench/bench_search"
