#!/usr/bin/env python3
"""Reads ferrolt-cli's output for mailbox BOX in FOLDER back, one line per message in the order
written, "<flags> x<hex of the bytes>"; mbox and Maildir with readers that are not ours.

  read_back.py eml FOLDER BOX       every file, in name order; flags "-"
  read_back.py import FOLDER BOX    BOX.mbx, in pieces ending in CRLF . CRLF and a last piece
                                    without it; flags "-"
  read_back.py mbox FOLDER BOX      BOX.mbox by Python's mailbox.mbox; the flags of the Status and
                                    X-Status lines, sorted
  read_back.py maildir FOLDER BOX   BOX by Python's mailbox.Maildir; the sub-folder and the flags
                                    of the name ("cur:ST")
  read_back.py formail FOLDER BOX   formail's split of BOX.mbox: "-" and no bytes per message
  read_back.py imap mbox|maildir FOLDER
                                    Dovecot serving a copy of FOLDER over IMAP on 127.0.0.1, with
                                    UTF-8 names on disk (LAYOUT=fs:UTF-8), per message of each
                                    folder it lists: "S" for \\Seen, "T" for \\Deleted or "-", and
                                    "NAME SECONDS", the folder's decoded name and the message's
                                    INTERNALDATE in seconds since 1970
  read_back.py notmuch FOLDER BOX   what notmuch finds with folder:BOX in a copy: "-" and no bytes
  read_back.py mutt mbox|maildir FOLDER BOX
                                    mutt opens a copy and quits with the default answer to
                                    "Purge deleted messages?" (yes): "T" for each message its
                                    status line counted deleted, then "-" for each message left
"""
import base64
import datetime
import grp
import imaplib
import mailbox
import os
import pwd
import re
import socket
import shutil
import subprocess
import sys
import tempfile
import time


def dump_eml(folder, box):
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as stream:
            print("-", "x" + stream.read().hex())


def dump_import(folder, box):
    with open(os.path.join(folder, box + ".mbx"), "rb") as stream:
        for piece in re.findall(rb"(?s).*?\r\n\.\r\n|.+", stream.read()):
            print("-", "x" + piece.hex())


def dump_mbox(folder, box):
    box = mailbox.mbox(os.path.join(folder, box + ".mbox"), create=False)
    for key in box.iterkeys():
        flags = "".join(sorted(box.get_message(key).get_flags()))
        print(flags or "-", "x" + box.get_bytes(key).hex())


def dump_maildir(folder, box):
    box = mailbox.Maildir(os.path.join(folder, box), factory=None, create=False)
    # Keys are "time.number.host": the number counts in the order the run wrote them.
    for key in sorted(box.iterkeys(), key=lambda key: int(key.split(".")[1])):
        message = box.get_message(key)
        flags = message.get_subdir() + ":" + message.get_flags()
        with box.get_file(key) as stream:
            print(flags, "x" + stream.read().hex())


def chown_tree(path, uid, gid):
    os.chown(path, uid, gid)
    for folder, names, files in os.walk(path):
        for name in names + files:
            os.chown(os.path.join(folder, name), uid, gid)


def decode_mailbox_name(name):
    """An IMAP mailbox name in modified UTF-7 (RFC 3501), decoded."""
    def decode(match):
        text = match.group(1).replace(",", "/")
        return base64.b64decode(text + "=" * (-len(text) % 4)).decode("utf-16-be") if text else "&"
    return re.sub(r"&([^-]*)-", decode, name)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def dovecot_config(work, location, port):
    uid, gid = os.getuid(), os.getgid()
    user = pwd.getpwuid(uid).pw_name
    if uid == 0:  # Dovecot refuses to serve mail as root: it serves the copy as nobody
        uid = gid = 65534
        chown_tree(work, uid, gid)
        users = ""
    else:
        group = grp.getgrgid(gid).gr_name
        users = "default_internal_user = %s\ndefault_login_user = %s\n" % (user, user)
        users += "default_internal_group = %s\n" % group
    return """base_dir = {work}/run
state_dir = {work}/state
log_path = {work}/log
{users}protocols = imap
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
mail_location = {location}
passdb {{
  driver = static
  args = password=ferrolt
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={work}/home
}}
service imap-login {{
  chroot =
  inet_listener imap {{
    address = 127.0.0.1
    port = {port}
  }}
}}
""".format(work=work, users=users, location=location, uid=uid, gid=gid, port=port)


def connect(port, server):
    for _ in range(100):  # Dovecot takes a moment to listen
        if server.poll() is not None:
            sys.exit("dovecot stopped: %d" % server.returncode)
        try:
            return imaplib.IMAP4("127.0.0.1", port, timeout=10)
        except OSError:
            time.sleep(0.05)
    sys.exit("dovecot did not listen")


def read_over_imap(client):
    """Per message of every folder but INBOX: its flags and "NAME INTERNALDATE-AS-SECONDS"."""
    # (attributes) "delimiter" name, the name quoted or not
    listed = [re.match(r'\(.*?\) \S+ "?(.*?)"?$', line.decode()).group(1)
              for line in client.list()[1]]
    for raw in sorted(listed, key=decode_mailbox_name):
        if raw == "INBOX":
            continue
        if client.select('"%s"' % raw, readonly=True)[1] == [b"0"]:
            continue
        _, fetched = client.fetch("1:*", "(FLAGS INTERNALDATE)")
        for line in fetched:
            flags = imaplib.ParseFlags(line)
            date = re.search(rb'INTERNALDATE "([^"]*)"', line).group(1).decode().strip()
            seconds = datetime.datetime.strptime(date, "%d-%b-%Y %H:%M:%S %z").timestamp()
            flags = ("S" if b"\\Seen" in flags else "") + ("T" if b"\\Deleted" in flags else "")
            text = "%s %d" % (decode_mailbox_name(raw), seconds)
            print(flags or "-", "x" + text.encode().hex())


def imap(kind, folder):
    work = tempfile.mkdtemp(prefix="ferrolt-imap-")
    server = None
    try:
        root = os.path.join(work, "root")
        shutil.copytree(folder, root)
        if kind == "mbox":
            open(os.path.join(work, "inbox"), "w").close()
        else:
            for part in ("cur", "new", "tmp"):
                os.makedirs(os.path.join(work, "inbox", part))
        # UTF-8 names on disk, as today's clients write them.
        location = "%s:%s:LAYOUT=fs:UTF-8:INBOX=%s/inbox:INDEX=MEMORY" % (kind, root, work)
        port = free_port()
        config = os.path.join(work, "dovecot.conf")
        with open(config, "w") as stream:
            stream.write(dovecot_config(work, location, port))
        os.chmod(config, 0o644)
        listed = lambda: sorted(name for name in os.listdir(root) if "dovecot" not in name)
        before = listed()
        server = subprocess.Popen(["dovecot", "-F", "-c", config], stdin=subprocess.DEVNULL)
        try:
            client = connect(port, server)
            client.login("ferrolt", "ferrolt")
            read_over_imap(client)
            client.logout()
        except (imaplib.IMAP4.error, OSError):
            with open(os.path.join(work, "log")) as log:
                sys.stderr.write(log.read())
            raise
        if listed() != before:
            sys.exit("Dovecot renamed mailboxes: %s" % listed())
    finally:
        if server:
            server.terminate()
            server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)


def dump_formail(folder, box):
    with open(os.path.join(folder, box + ".mbox"), "rb") as stream:
        result = subprocess.run(["formail", "-s", "sh", "-c", "cat >/dev/null; echo -"],
                                stdin=stream, capture_output=True, check=True)
    for line in result.stdout.split():
        print("- x")


def dump_notmuch(folder, box):
    work = tempfile.mkdtemp(prefix="ferrolt-notmuch-")
    try:
        shutil.copytree(folder, os.path.join(work, "mail"))
        config = os.path.join(work, "config")
        with open(config, "w") as stream:
            stream.write("[database]\npath=%s/mail\n[new]\ntags=new\n" % work)
        environment = dict(os.environ, NOTMUCH_CONFIG=config, HOME=work)
        subprocess.run(["notmuch", "new", "--quiet"], env=environment, check=True,
                       capture_output=True)
        count = subprocess.run(["notmuch", "count", "--output=files", "folder:" + box],
                               env=environment, check=True, capture_output=True,
                               text=True).stdout
        for _ in range(int(count)):
            print("- x")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def dump_mutt(kind, folder, box):
    work = tempfile.mkdtemp(prefix="ferrolt-mutt-")
    try:
        name = box + (".mbox" if kind == "mbox" else "")
        path = os.path.join(work, name)
        (shutil.copy if kind == "mbox" else shutil.copytree)(os.path.join(folder, name), path)
        # mutt needs a terminal: script gives it one. Its status line shows the deleted count
        # between markers; `delete=yes` is the default answer to the purge question on quitting.
        settings = "set folder=%s delete=yes status_format=\"ferrolt-deleted-%%d-\"" % work
        command = "mutt -n -F /dev/null -e '%s' -e 'push <quit>' -f '%s'" % (settings, path)
        screen = os.path.join(work, "screen")
        environment = dict(os.environ, HOME=work, TERM="vt100")
        subprocess.run(["timeout", "20", "script", "-qec", command, screen], env=environment,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
        with open(screen, "rb") as stream:
            counted = re.findall(rb"ferrolt-deleted-([0-9]+)-", stream.read())
        if not counted:
            sys.exit("mutt showed no status line")
        if kind == "mbox":
            left = len(mailbox.mbox(path, create=False))
        else:
            left = sum(len(os.listdir(os.path.join(path, part))) for part in ("cur", "new"))
        print("T x\n" * int(counted[-1]) + "- x\n" * left, end="")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    dumps = {"eml": dump_eml, "import": dump_import, "mbox": dump_mbox, "maildir": dump_maildir,
             "formail": dump_formail, "notmuch": dump_notmuch}
    if len(sys.argv) == 4 and sys.argv[1] in dumps:
        dumps[sys.argv[1]](*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "mutt" and sys.argv[2] in ("mbox", "maildir"):
        dump_mutt(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "imap" and sys.argv[2] in ("mbox", "maildir"):
        imap(*sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
