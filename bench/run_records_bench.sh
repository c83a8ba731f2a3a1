#!/usr/bin/env bash
# "Print All" of N messages to the PDF writer with the run's index and one combined PDF, through
# the program's windows against a private Dovecot: the rate, and the program's peak memory after
# 100 messages and after all of them (flat when the combined PDF does not grow in memory).
# Run after scripts/build.sh.
#   bench/run_records_bench.sh [N=1000]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}
work=$(mktemp -d)
dovecot=$build/bench-records-dovecot
trap '"$top/tests/fixtures/dovecot/stop.sh" "$dovecot" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
"$top/tests/fixtures/dovecot/start.sh" "$dovecot" --bench-messages "$n" >/dev/null
export QUORVALE_TEST_DOVECOT_DIR=$dovecot BENCH_RECORDS=1
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
export XDG_CONFIG_HOME=$work/config HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$build/bench/bench_print_all" "$work/quorvale" 2>"$work/quorvale.log" || { tail -5 "$work/quorvale.log"; exit 1; }
