#!/usr/bin/env bash
# Starts the program against a private test IMAP server instead of Gmail, and a private print
# server instead of the machine's, to try it out without an account or paper: the same Dovecot,
# corpus, users and CUPS queues the tests use. Run as root after run.sh or test.sh has built the
# program. Both servers stop when the program ends.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
dir=$build/demo-dovecot
cups=$build/demo-cups
stop_servers() {
  "$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true
  "$top/tests/fixtures/cups/stop.sh" "$cups" >/dev/null 2>&1 || true
}
trap stop_servers EXIT
"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "${DEMO_MESSAGES:-200}" >/dev/null
"$top/tests/fixtures/cups/start.sh" "$cups" >/dev/null
export CUPS_SERVER=$cups/cups.sock  # a link into the fixture's own state folder
value() { grep -m1 "^$1=" "$dir/env" | cut -d= -f2-; }
export QUORVALE_IMAP_HOST QUORVALE_IMAP_PORT QUORVALE_IMAP_CAFILE
QUORVALE_IMAP_HOST=$(value QUORVALE_IMAP_HOST)
QUORVALE_IMAP_PORT=$(value QUORVALE_IMAP_PORT)
QUORVALE_IMAP_CAFILE=$(value QUORVALE_IMAP_CAFILE)
echo "Test server on $QUORVALE_IMAP_HOST:$QUORVALE_IMAP_PORT"
echo "  user:     $(value TEST_USER)"
echo "  password: $(value TEST_PASSWORD)"
echo "Type them in, click \"1. Connect\", pick a folder, then \"2a. Get All Emails\" or"
echo "\"2b. Get Some Emails\"; tick rows by hand or with the \"Check ...\" buttons, then"
echo "\"3. Preview Selected Messages\". The label \"Bench\" holds ${DEMO_MESSAGES:-200} more messages:"
echo "pick it with \"Filter By Label\" before downloading."
echo "Printers: the test queues Quorvale_Alpha (prints to nothing) and Quorvale_Beta (keeps the"
echo "last job in $(grep -m1 '^CUPS_FIXTURE_STATE=' "$cups/env" | cut -d= -f2-)/out/beta.out), and the PDF"
echo "writer \"Tervane PDF Writer\"."
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
"$build/src/quorvale"
