#!/usr/bin/env bash
# Starts a private Dovecot with N generated messages (default 1000, about 35 KB each), runs the
# imaplib reference and the program's download roads against it in the same run, prints the
# figures and their ratios, and stops the server. Run as root after scripts/build.sh.
#   bench/run_download_bench.sh [N]
# For the effect of a 50 ms round trip on the client alone:
#   build/bench/bench_imap_fetch --env-file build/bench-dovecot/env --rtt-ms 50
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}
dir=$build/bench-dovecot
trap '"$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true' EXIT
"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "$n" >/dev/null
value() { grep -m1 "^$1=" "$dir/env" | cut -d= -f2-; }
export QUORVALE_TEST_DOVECOT_DIR=$dir
export QT_QPA_PLATFORM=offscreen

imaplib() {
  python3 "$top/bench/imaplib_reference.py" "$(value QUORVALE_IMAP_HOST)" \
    "$(value QUORVALE_IMAP_PORT)" "$(value QUORVALE_IMAP_CAFILE)" "$(value TEST_USER)" \
    "$(value TEST_PASSWORD)" "$(value BENCH_MAILBOX)" "$n" 2>/dev/null
}
# The first pass reads the messages from disk into the server's cache; the second is the figure.
imaplib >/dev/null
reference=$(imaplib)
echo "$reference"
ref_rate=$(echo "$reference" | sed -E 's/.* ([0-9.]+) msg\/s.*/\1/')

ratio() {
  while IFS= read -r line; do
    echo "$line"
    case "$line" in
      *msg/s*)
        rate=$(echo "$line" | sed -E 's/.* ([0-9.]+) msg\/s.*/\1/')
        python3 -c "print('  ratio to imaplib: %.2f' % ($rate / $ref_rate))" ;;
    esac
  done
}

"$build/bench/bench_imap_fetch" --env-file "$dir/env" --count "$n" | ratio
"$build/bench/bench_download" "$n" | ratio
