#!/usr/bin/env python3
"""Adds the mailbox "BenchPictures" beside the benchmark mailbox of a running test Dovecot.

Usage: add_picture_mailbox.py FIXTURE_DIR USER

It holds the same messages as "Bench", in the same order, except that every tenth one is
replaced by a message of about the same size whose HTML body names one inline picture (sent
as application/octet-stream) a thousand times. Files are written straight into the Maildir,
as the fixture seeds its own mailboxes.
"""

import glob
import os
import pwd
import random
import struct
import subprocess
import sys
import zlib
import base64

NAME_TIME_BASE = 1_600_000_000


def png(width, height, seed):
    rng = random.Random(seed)
    rows = b"".join(b"\0" + bytes(rng.getrandbits(8) for _ in range(width * 3)) for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def picture_message(number, picture):
    html = b"<p>Message %d names its picture a thousand times.</p>" % number + b'<img src="cid:pic@bench">' * 1000
    encoded = base64.encodebytes(picture).replace(b"\n", b"\r\n")
    return (b"From: Bench Sender <bench@example.com>\r\nSubject: Picture message %d\r\n"
            b"Date: Wed, 01 Sep 2021 09:00:00 -0400\r\nMIME-Version: 1.0\r\n"
            b"Content-Type: multipart/related; boundary=r\r\n\r\n--r\r\n"
            b"Content-Type: text/html; charset=utf-8\r\n\r\n" % number + html + b"\r\n--r\r\n"
            b"Content-Type: application/octet-stream\r\nContent-ID: <pic@bench>\r\n"
            b"Content-Transfer-Encoding: base64\r\n\r\n" + encoded + b"--r--\r\n")


def main():
    fixture, user = sys.argv[1:3]
    conf = os.path.join(fixture, "dovecot.conf")
    subprocess.run(["doveadm", "-c", conf, "mailbox", "create", "-s", "-u", user, "BenchPictures"], check=True)
    folder = os.path.join(fixture, "home", user, "Maildir", ".BenchPictures")
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(folder, sub), exist_ok=True)
    picture = png(80, 80, 7)
    sources = sorted(glob.glob(os.path.join(fixture, "corpus", "bench", "*.eml")))
    for seq, source in enumerate(sources, 1):
        with open(source, "rb") as f:
            raw = f.read()
        if seq % 10 == 0:
            raw = picture_message(seq, picture)
        name = "%d.M%dP0.quorvale,S=%d,W=%d:2," % (NAME_TIME_BASE + seq, seq, len(raw), len(raw))
        with open(os.path.join(folder, "cur", name), "wb") as f:
            f.write(raw)
    mail = pwd.getpwnam("mail")
    for base, dirs, files in os.walk(os.path.join(fixture, "home", user)):
        for entry in [base] + [os.path.join(base, n) for n in dirs + files]:
            os.chown(entry, mail.pw_uid, mail.pw_gid)
    subprocess.run(["doveadm", "-c", conf, "mailbox", "status", "-u", user, "messages", "BenchPictures"],
                   check=True, stdout=subprocess.DEVNULL)
    print("BenchPictures: %d messages, %d of them naming one picture 1,000 times" % (len(sources), len(sources) // 10))


if __name__ == "__main__":
    main()
