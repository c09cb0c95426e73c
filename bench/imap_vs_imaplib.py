#!/usr/bin/env python3
"""ferrolt-cli imap against a plain imaplib loop, both uploading the same 5,000-message store to
a Dovecot on 127.0.0.1 over TLS (the test's setup: tests/imap/imap_fixtures.py). The loop APPENDs
the messages one at a time with the same flags and dates, into a folder of its own; every run
uploads into an empty account. Prints "<name> median <seconds>" for both, then the ratio.

usage: imap_vs_imaplib.py FERROLT_CLI MAKE_IMAP_STORE WORK_DIR RUNS
"""
import email.utils
import imaplib
import os
import shutil
import ssl
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "imap"))
import imap_fixtures  # noqa: E402

CLI, MAKE_STORE, RUNS = sys.argv[1], sys.argv[2], int(sys.argv[4])
WORK = os.path.abspath(sys.argv[3])
PASSWORD = "bench-password"
FOLDER = "Python loop"


def internal_date(message):
    head = message.split(b"\r\n\r\n", 1)[0].split(b"\n\n", 1)[0]
    for line in head.splitlines():
        if line.lower().startswith(b"date:"):
            try:
                return imaplib.Time2Internaldate(email.utils.parsedate_to_datetime(line[5:].strip().decode()))
            except (TypeError, ValueError):
                return None
    return None


def loop_messages(store):
    """(mailbox, flags, date, bytes) of what ferrolt-cli imap sends, deleted mail left out."""
    messages = []
    for number, items in enumerate(imap_fixtures.source_messages(CLI, WORK, store).values()):
        mailbox = f"{FOLDER}.{number}"
        for body, read, deleted in items:
            if not deleted:
                messages.append((mailbox, "(\\Seen)" if read else "()", internal_date(body), body))
    return messages


def python_loop(server, user, messages):
    context = ssl.create_default_context(cafile=os.path.join(WORK, "ca.crt"))
    imap = imaplib.IMAP4_SSL("127.0.0.1", server.imaps_port, ssl_context=context)
    imap.login(user, PASSWORD)
    for mailbox in sorted({m[0] for m in messages}):
        imap.create('"%s"' % mailbox)
    for mailbox, flags, date, body in messages:
        typ, _ = imap.append('"%s"' % mailbox, flags, date, body)
        if typ != "OK":
            raise RuntimeError("the server refused an APPEND")
    imap.logout()


def ferrolt(server, user, store):
    env = dict(os.environ, FERROLT_IMAP_PASSWORD=PASSWORD, LC_ALL="C")
    subprocess.run([CLI, "imap", "--ca-file", os.path.join(WORK, "ca.crt"), "--to",
                    server.url(user), store], env=env, check=True, stdout=subprocess.DEVNULL,
                   stdin=subprocess.DEVNULL)


def timed(function, *args):
    start = time.monotonic()
    function(*args)
    return time.monotonic() - start


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    imap_fixtures.make_certificates(WORK)
    users = [f"{who}{n}" for who in ("f", "p") for n in range(RUNS)]
    imap_fixtures.write_users(WORK, users, PASSWORD)
    store = os.path.join(WORK, "store")
    imap_fixtures.run(MAKE_STORE, store, "5000")
    messages = loop_messages(store)
    server = imap_fixtures.Dovecot(WORK, quota="2G")
    ours, loop = [], []
    try:
        for n in range(RUNS):  # taking turns, so both meet the same load
            ours.append(timed(ferrolt, server, f"f{n}", store))
            loop.append(timed(python_loop, server, f"p{n}", messages))
    finally:
        server.stop()
    shutil.rmtree(WORK, ignore_errors=True)
    median_ours, median_loop = sorted(ours)[RUNS // 2], sorted(loop)[RUNS // 2]
    print(f"imap         median {median_ours:8.3f} s   ({len(messages)} messages over TLS)")
    print(f"python loop  median {median_loop:8.3f} s   (imaplib, one APPEND at a time)")
    print(f"imap time / python loop time: {median_ours / median_loop:.2f}")


if __name__ == "__main__":
    main()
