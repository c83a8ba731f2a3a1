#!/usr/bin/env bash
# Starts the program against a private test IMAP server instead of Gmail, to try it out without
# an account: the same Dovecot, corpus and users the tests use. Run as root after run.sh or
# test.sh has built the program. The server stops when the program ends.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
dir=$build/demo-dovecot
"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "${DEMO_MESSAGES:-200}" >/dev/null
trap '"$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true' EXIT
value() { grep -m1 "^$1=" "$dir/env" | cut -d= -f2-; }
export QUORVALE_IMAP_HOST QUORVALE_IMAP_PORT QUORVALE_IMAP_CAFILE
QUORVALE_IMAP_HOST=$(value QUORVALE_IMAP_HOST)
QUORVALE_IMAP_PORT=$(value QUORVALE_IMAP_PORT)
QUORVALE_IMAP_CAFILE=$(value QUORVALE_IMAP_CAFILE)
echo "Test server on $QUORVALE_IMAP_HOST:$QUORVALE_IMAP_PORT"
echo "  user:     $(value TEST_USER)"
echo "  password: $(value TEST_PASSWORD)"
settings=${XDG_CONFIG_HOME:-$HOME/.config}/Tervane/Tervane.conf
echo "Type them in, click \"1. Connect\", pick a folder, then \"2a. Get All Emails\" or"
echo "\"2b. Get Some Emails\"; tick rows by hand or with the \"Check ...\" buttons."
echo "The label \"Bench\" holds ${DEMO_MESSAGES:-200} more messages. To download it, put the line"
echo "  LabelFilter=Bench"
echo "under [Quorvale] in $settings before connecting (remove it to get the folders back)."
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
"$build/src/quorvale"
