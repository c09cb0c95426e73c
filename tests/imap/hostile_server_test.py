#!/usr/bin/env python3
"""ferrolt-cli imap against servers that misbehave on purpose (over TLS, with the test's CA):
whatever they send, the program ends with one notice and exit 1 (or 130 when stopped), in
bounded time and memory, without a server's bytes driving the terminal or the password shown.

usage: hostile_server_test.py FERROLT_CLI MAKE_IMAP_STORE WORK_DIR
"""
import base64
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time

import imap_fixtures

CLI, MAKE_STORE, WORK = sys.argv[1:4]
PASSWORD = "hostile-test-password"
FAILURES = []
ENDLESS = 64 << 20  # what a stream "without end" sends at most, so a failing run still ends


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        FAILURES.append(what)


def endless(connection, unit):
    for _ in range(ENDLESS // len(unit)):
        connection.sendall(unit)


def read_command(connection):
    line = b""
    while not line.endswith(b"\n"):
        byte = connection.recv(1)
        if not byte:
            raise OSError("closed")
        line += byte
    return line.split(b" ", 1)


def greet_then(answer):
    """A server that greets, then gives `answer(connection, tag, command)` every command."""
    def behave(connection):
        connection.sendall(b"* OK ready\r\n")
        while True:
            tag, command = read_command(connection)
            answer(connection, tag, command)
    return behave


def capabilities(connection, tag, command):
    if command.upper().startswith(b"CAPABILITY"):
        connection.sendall(b"* CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN\r\n" + tag + b" OK done\r\n")
        return True
    return False


def refuse_login_loudly(connection, tag, command):
    """Refuses the login with terminal codes and the password it was given in its words."""
    if capabilities(connection, tag, command):
        return
    secret = base64.b64decode(command.split()[-1]).split(b"\0")[-1]
    connection.sendall(tag + b" NO \x1b[2J\x1b]0;owned\x07 wrong: " + secret + b"\r\n")


def silent(connection, tag, command):
    time.sleep(120)


CASES = [
    ("an endless greeting line", lambda c: endless(c, b"* OK " + b"x" * 65536), 1),
    ("a literal of 4 GB announced", greet_then(
        lambda c, tag, _: (c.sendall(b"* CAPABILITY {4294967296}\r\n"), endless(c, b"y" * 65536))), 1),
    ("untagged responses without end", greet_then(
        lambda c, tag, _: endless(c, b"* OK still busy\r\n" * 4096)), 1),
    ("terminal codes and the password in a refusal", greet_then(refuse_login_loudly), 1),
    ("silence, then Ctrl-C", greet_then(silent), 130),
]


class HostileServer:
    def __init__(self, behave):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(os.path.join(WORK, "server.crt"), os.path.join(WORK, "server.key"))
        threading.Thread(target=self.serve, args=(behave,), daemon=True).start()

    def serve(self, behave):
        while True:  # the same again to a client that reconnects
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.talk, args=(connection, behave), daemon=True).start()

    def talk(self, connection, behave):
        try:
            with self.context.wrap_socket(connection, server_side=True) as tls:
                behave(tls)
        except (OSError, ValueError):
            pass  # the client hung up, as it should

    def close(self):
        self.listener.close()


def upload(port, store, interrupt):
    env = dict(os.environ, LC_ALL="C", FERROLT_IMAP_PASSWORD=PASSWORD, FERROLT_IMAP_TEST_PAUSE_MS="0")
    process = subprocess.Popen(
        [CLI, "imap", "--ca-file", os.path.join(WORK, "ca.crt"), "--to",
         f"imaps://u@127.0.0.1:{port}", store],
        env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if interrupt:
        time.sleep(1)
        process.send_signal(signal.SIGINT)
    killer = threading.Timer(40, process.kill)  # a hang fails the case instead of the test run
    killer.start()
    out, err = process.stdout.read(), process.stderr.read()
    _, status, usage = os.wait4(process.pid, 0)
    killer.cancel()
    process.returncode = os.waitstatus_to_exitcode(status)
    return process.returncode, out + err, usage.ru_maxrss // 1024


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    imap_fixtures.make_certificates(WORK)
    store = os.path.join(WORK, "store")
    imap_fixtures.run(MAKE_STORE, store, "3")
    for what, behave, want in CASES:
        server = HostileServer(behave)
        started = time.monotonic()
        code, output, megabytes = upload(server.port, store, want == 130)
        seconds = time.monotonic() - started
        server.close()
        text = output.decode("utf-8", "replace")
        notices = [line for line in text.splitlines() if line.strip()]
        clean = b"\x1b" not in output and b"\x07" not in output and PASSWORD.encode() not in output
        check(code == want and (len(notices) == 1 or want == 130) and clean and seconds < 20
              and megabytes < 60,
              f"{what}: exit {code}, {seconds:.1f} s, {megabytes} MB: {text.strip()!r}")
    print("hostile servers:", "FAILED " + ", ".join(FAILURES) if FAILURES else "all passed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
