#!/usr/bin/env python3
"""ferrolt-cli imap against a Dovecot this script starts on 127.0.0.1: its own CA and
certificate, a passwd-file of users (one per case, so each starts empty), Maildir storage and a
quota. Every upload is read back with imaplib and compared with the store, message by message.

usage: imap_upload_test.py FERROLT_CLI MAKE_IMAP_STORE WORK_DIR
"""
import email.utils
import imaplib
import os
import pty
import re
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time

import imap_fixtures
from imap_fixtures import run

CLI, MAKE_STORE, WORK = sys.argv[1:4]
PASSWORD = "s3cret-\u00e9-pass word"  # a space and a non-ASCII letter: any byte goes
FAILURES = []
OUTPUTS = []  # everything the program printed, searched for the password at the end


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        FAILURES.append(what)


class Dovecot(imap_fixtures.Dovecot):
    def __init__(self, quota="10M", starttls=True):
        super().__init__(WORK, quota, starttls)


def upload(url, store, *options, password=PASSWORD, ca="ca.crt", wait=True):
    env = dict(os.environ, LC_ALL="C", FERROLT_IMAP_TEST_PAUSE_MS="50")
    if password is not None:
        env["FERROLT_IMAP_PASSWORD"] = password
    args = [CLI, "imap", *options]
    if ca:
        args += ["--ca-file", os.path.join(WORK, ca)]
    args += ["--to", url, store]
    process = subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL, start_new_session=True)
    if not wait:
        return process
    out, err = process.communicate(timeout=120)
    OUTPUTS.append(out + err)
    return process.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def source_messages(store):
    return imap_fixtures.source_messages(CLI, WORK, store)


def crlf(data):
    """What the server keeps: line ends as CRLF, CRs right before one folded into it."""
    return re.sub(rb"\r*\n", b"\r\n", data)


def read_back(server, user):
    context = ssl.create_default_context(cafile=os.path.join(WORK, "ca.crt"))
    imap = imaplib.IMAP4_SSL("127.0.0.1", server.imaps_port, ssl_context=context)
    secret = ("\0" + user + "\0" + PASSWORD).encode()
    imap.authenticate("PLAIN", lambda _: secret)
    folders = {}
    for line in imap.list()[1]:
        name = re.match(r'\(.*?\) (?:NIL|"(?:[^"\\]|\\.)*") (.*)$', line.decode()).group(1)
        name = name[1:-1] if name.startswith('"') else name
        status, data = imap.select('"%s"' % name, readonly=True)
        count = int(data[0])
        messages = []
        if count:
            typ, data = imap.fetch("1:*", "(FLAGS INTERNALDATE BODY.PEEK[])")
            for item in data:
                if isinstance(item, tuple):
                    flags = imaplib.ParseFlags(item[0])
                    date = time.mktime(imaplib.Internaldate2tuple(item[0]))
                    messages.append((item[1], flags, date))
        folders[name] = messages
    imap.logout()
    return folders


def expected_date(message):
    head = message.split(b"\r\n\r\n", 1)[0].split(b"\n\n", 1)[0]
    for line in head.splitlines():
        if line.lower().startswith(b"date:"):
            return email.utils.parsedate_to_datetime(line[5:].strip().decode()).timestamp()
    return None


def compare(server, user, store, include_deleted, what, folder="From MS-IM"):
    """Every kept message exactly once in its folder, bytes, flags and date as the source says."""
    on_server = read_back(server, user)
    names = {b"Inbox.mbx": folder + ".Inbox", b"Notes.mbx": folder + ".Notes",
             "受信箱".encode("cp932") + b".mbx": folder + ".&U9dP4Xux-"}
    good = True
    for name, messages in source_messages(store.encode()).items():
        kept = [m for m in messages if include_deleted or not m[2]]
        got = on_server.get(names[name], [])
        if sorted(crlf(m[0]) for m in kept) != sorted(g[0] for g in got):
            print(f"  {names[name]}: {len(got)} on the server, {len(kept)} expected")
            good = False
            continue
        by_bytes = {}
        for g in got:
            by_bytes.setdefault(g[0], []).append(g)
        for body, read, deleted in kept:
            body_got, flags, date = by_bytes[crlf(body)].pop()
            want = expected_date(body)
            good &= (b"\\Seen" in flags) == read and (b"$Deleted" in flags) == deleted
            good &= b"\\Deleted" not in flags and (want is None or abs(want - date) < 1)
    check(good, what)


class CuttingProxy:
    """Forwards to the server; the first connection is cut once `cut_after` bytes went up, the
    rest pass (or are refused when `refuse_after_cut`). The server's session of the cut
    connection ends (storing what it had whole) before the next one reaches it, as the program's
    pause before reconnecting gives it time to: the test shortens that pause."""

    def __init__(self, server, user, cut_after, refuse_after_cut=False, delay=0.0):
        self.server, self.user = server, user
        self.target, self.cut_after, self.refuse, self.delay = server.imaps_port, cut_after, refuse_after_cut, delay
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.cuts = 0
        self.sent_up = 0  # bytes the client sent so far, on every connection
        self.server_done = threading.Event()  # the server closed the cut connection
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            if self.cuts and self.refuse:
                client.close()
                continue
            if self.cuts:
                self.server_done.wait(timeout=30)
                self.wait_for_session_end()
            upstream = socket.create_connection(("127.0.0.1", self.target))
            cut = self.cut_after is not None and self.cuts == 0
            self.cuts += cut
            threading.Thread(target=self.up, args=(client, upstream, cut), daemon=True).start()
            threading.Thread(target=self.down, args=(upstream, client, cut), daemon=True).start()

    def wait_for_session_end(self):
        """Until every session the user logged in to has ended."""
        for _ in range(500):
            log = open(self.server.log, errors="replace").read()
            ended = len(re.findall(r"imap\(%s\)<.*Disconnected" % self.user, log))
            if ended >= log.count("Login: user=<%s>" % self.user):
                return
            time.sleep(0.02)

    def up(self, client, upstream, cut):
        sent = 0
        try:
            while True:
                data = client.recv(4096)
                if not data:
                    break
                if cut and sent + len(data) >= self.cut_after:
                    upstream.sendall(data[:self.cut_after - sent])
                    break
                upstream.sendall(data)
                sent += len(data)
                self.sent_up += len(data)
                if self.delay:
                    time.sleep(self.delay)
        except OSError:
            pass
        for s, how in ((upstream, socket.SHUT_WR), (client, socket.SHUT_RDWR)):
            try:
                s.shutdown(how)
            except OSError:
                pass
        client.close()

    def down(self, upstream, client, cut):
        try:
            while True:
                data = upstream.recv(4096)
                if not data:
                    break
                try:
                    client.sendall(data)
                except OSError:
                    pass  # the client is gone; the server's answers are drained all the same
        except OSError:
            pass
        upstream.close()
        if cut:
            self.server_done.set()

    def close(self):
        self.listener.close()


def folder_counts(server, user):
    return {name: len(messages) for name, messages in read_back(server, user).items()}


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    imap_fixtures.make_certificates(WORK)
    imap_fixtures.write_users(WORK, [f"u{n}" for n in range(1, 14)], PASSWORD)
    small, big = os.path.join(WORK, "small"), os.path.join(WORK, "big")
    run(MAKE_STORE, small, "30")
    run(MAKE_STORE, big, "300")
    server = Dovecot()
    try:
        cases(server, small, big)
    finally:
        server.stop()
    server = Dovecot(quota="15K")
    try:
        quota_case(small, server)
    finally:
        server.stop()
    server = Dovecot(starttls=False)
    try:
        logged = os.path.getsize(server.log)
        code, out, err = upload(server.url("u1", starttls=True), small, ca=None)
        time.sleep(0.5)  # the server logs the disconnection a moment later
        with open(server.log, errors="replace") as f:
            f.seek(logged)
            log = f.read()
        never_tried = "no auth attempts" in log and not re.search(r"Login:|auth failed|\d attempts", log)
        check(code == 1 and "STARTTLS" in err and never_tried,
              "imap:// without STARTTLS: refused before any password: " + err)
    finally:
        server.stop()
    everything = b"".join(OUTPUTS) + open(os.path.join(WORK, "dovecot.log"), "rb").read()
    check(PASSWORD.encode() not in everything, "the password is in no output and no log")
    print("imap upload:", "FAILED " + ", ".join(FAILURES) if FAILURES else "all passed")
    return 1 if FAILURES else 0


def cases(server, small, big):
    code, out, err = upload(server.url("u1"), small)
    check(code == 0 and "Mailboxes: 3" in out and err == "", "upload exits 0 with the summary: " + out + err)
    compare(server, "u1", small, False, "upload read back: folders, counts, bytes, flags, dates, Japanese name")
    code, out, err = upload(server.url("u1"), small)
    check(code == 0 and "uploaded now: 0" in out, "a rerun uploads nothing: " + out.strip())
    compare(server, "u1", small, False, "after the rerun every message once")
    code, out, err = upload(server.url("u2", host="localhost", starttls=True), small, "--include-deleted")
    check(code == 0, "STARTTLS by host name, deleted mail included: " + err)
    compare(server, "u2", small, True, "deleted mail kept with $Deleted, never \\Deleted")
    code, out, err = upload(server.url("u3"), small, ca="other-ca.crt")
    check(code == 1 and "certificate" in err and err.count("\n") == 1, "untrusted CA refused: " + err)
    code, out, err = upload(server.url("u3", host="127.1"), small)
    check(code == 1 and "certificate" in err, "a name the certificate lacks refused: " + err)
    check(not os.path.exists(os.path.join(WORK, "home", "u3")), "nothing reached the server")
    before = open(server.log, errors="replace").read().count("auth failed")
    code, out, err = upload(server.url("u4"), small, password="wrong")
    time.sleep(0.5)
    after = open(server.log, errors="replace").read().count("auth failed")
    check(code == 1 and "login" in err and after - before == 1, "wrong password: one attempt: " + err)
    for n, cut in enumerate([300, 4000, 40000, 120000]):
        user = f"u{5 + n}"
        proxy = CuttingProxy(server, user, cut)
        code, out, err = upload(f"imaps://{user}@127.0.0.1:{proxy.port}", big)
        proxy.close()
        counted = "uploaded now: 263, already on the server: 0" in out
        check(code == 0 and proxy.cuts == 1 and counted, f"cut after {cut} bytes, reconnected, each message counted once: {out.strip()} {err.strip()}")
        code, out, err = upload(server.url(user), big)
        check(code == 0 and "uploaded now: 0" in out, f"cut after {cut}: rerun sends nothing")
        compare(server, user, big, False, f"cut after {cut}: every message exactly once")
    proxy = CuttingProxy(server, "u9", 50000, refuse_after_cut=True)
    code, out, err = upload(f"imaps://u9@127.0.0.1:{proxy.port}", big)
    proxy.close()
    check(code == 1 and "connection to the server failed" in err and err.count("\n") == 1,
          "server gone: retried, then one notice: " + err)
    code, out, err = upload(server.url("u9"), big)
    compare(server, "u9", big, False, "server gone, then a rerun: every message exactly once")
    proxy = CuttingProxy(server, "u10", None, delay=0.02)
    process = upload(f"imaps://u10@127.0.0.1:{proxy.port}", big, wait=False)
    cmdline = open(f"/proc/{process.pid}/cmdline", "rb").read()
    for _ in range(300):  # a third of the messages sent: the interruption falls mid-upload
        if proxy.sent_up > 80000:
            break
        time.sleep(0.02)
    process.send_signal(signal.SIGINT)
    out, err = process.communicate(timeout=60)
    OUTPUTS.append(out + err)
    proxy.close()
    check(PASSWORD.encode() not in cmdline, "the password is not in the command line")
    counts = folder_counts(server, "u10").get("From MS-IM.Inbox", 0)
    check(process.returncode == 130 and 0 < counts < 258, f"Ctrl-C mid-upload: 130, {counts} sent")
    upload(server.url("u10"), big)
    compare(server, "u10", big, False, "Ctrl-C, then a rerun: every message exactly once")
    password_cases(server, small)


def read_terminal(fd, until=None, seconds=60):
    """What the program wrote on its terminal, up to `until` or its end."""
    data, deadline = b"", time.monotonic() + seconds
    while (until is None or until not in data) and time.monotonic() < deadline:
        try:
            chunk = os.read(fd, 4096)
        except OSError:  # EIO: the program closed the terminal
            break
        if not chunk:
            break
        data += chunk
    return data


def password_cases(server, small):
    """Asked once on the terminal without echo; refused at once without a terminal."""
    url = server.url("u12")
    pid, terminal = pty.fork()
    if pid == 0:
        env = {k: v for k, v in os.environ.items() if k != "FERROLT_IMAP_PASSWORD"}
        os.execve(CLI, [CLI, "imap", "--ca-file", os.path.join(WORK, "ca.crt"), "--to", url, small],
                  dict(env, LC_ALL="C"))
    shown = read_terminal(terminal, until=b": ")
    os.write(terminal, PASSWORD.encode() + b"\n")
    shown += read_terminal(terminal)
    _, status = os.waitpid(pid, 0)
    os.close(terminal)
    OUTPUTS.append(shown)
    check(os.waitstatus_to_exitcode(status) == 0 and shown.count(b"Password for u12@127.0.0.1") == 1
          and PASSWORD.encode() not in shown and b"uploaded now: 31" in shown,
          "password asked once on the terminal, not echoed: " + repr(shown[-120:]))
    started = time.monotonic()
    code, out, err = upload(server.url("u13"), small, password=None)
    check(code == 1 and "no password" in err and err.count("\n") == 1 and time.monotonic() - started < 30,
          "no terminal and no FERROLT_IMAP_PASSWORD: one notice: " + err)


def quota_case(small, server):
    code, out, err = upload(server.url("u11"), small)
    check(code == 1 and "quota" in err and err.count("\n") == 1, "quota exceeded: one notice: " + err)
    server.stop()
    server.__init__(quota="10M")
    code, out, err = upload(server.url("u11"), small)
    check(code == 0, "quota raised: the rerun completes")
    compare(server, "u11", small, False, "quota raised, rerun: every message exactly once")


if __name__ == "__main__":
    sys.exit(main())
