#!/usr/bin/env python3
"""Reference figure for the download benchmarks: Python's imaplib fetching one message at a time.

Usage: imaplib_reference.py HOST PORT CAFILE USER PASSWORD MAILBOX N

Logs in over implicit TLS (verifying the server against CAFILE), EXAMINEs MAILBOX and sends one
`FETCH i (BODY.PEEK[])` per message for i = 1..N, each waiting for its reply, the way the
program's own download loop works without pipelining. Prints one line:

    imaplib: N messages in S s, R msg/s

The clock covers the FETCH loop only (not connecting, logging in or EXAMINE).
"""

import imaplib
import os
import ssl
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures", "dovecot"))
from imap_names import modified_utf7, quoted  # noqa: E402


def main():
    if len(sys.argv) != 8:
        sys.exit(__doc__.strip().split("\n\n")[1])
    host, port, cafile, user, password, mailbox, count = sys.argv[1:]
    try:
        port, count = int(port), int(count)
    except ValueError:
        sys.exit("PORT and N must be whole numbers")
    if count < 1:
        sys.exit("N must be at least 1")

    context = ssl.create_default_context(cafile=cafile)
    try:
        imap = imaplib.IMAP4_SSL(host, port, ssl_context=context, timeout=60)
        imap.login(user, password)
        status, data = imap.select(quoted(modified_utf7(mailbox)), readonly=True)
        if status != "OK":
            sys.exit("EXAMINE %s failed: %s" % (mailbox, data))
        exists = int(data[0])
        if exists < count:
            sys.exit("%s holds %d messages, fewer than N=%d" % (mailbox, exists, count))

        total_bytes = 0
        started = time.perf_counter()
        for i in range(1, count + 1):
            status, data = imap.fetch(str(i), "(BODY.PEEK[])")
            if status != "OK" or not data or not isinstance(data[0], tuple):
                sys.exit("FETCH %d failed: %r" % (i, data))
            total_bytes += len(data[0][1])
        elapsed = time.perf_counter() - started
        imap.logout()
    except (imaplib.IMAP4.error, OSError) as error:
        sys.exit("imaplib: %s" % error)

    rate = count / elapsed if elapsed > 0 else float("inf")
    print("imaplib: %d messages in %.3f s, %.1f msg/s" % (count, elapsed, rate))
    print("imaplib: %.1f MB downloaded" % (total_bytes / 1e6), file=sys.stderr)


if __name__ == "__main__":
    main()
