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
  read_back.py dovecot mbox|maildir FOLDER BOX
                                    Dovecot's doveadm, on a copy: "S" for seen, "T" for deleted
                                    or "-", and no bytes
  read_back.py formail FOLDER BOX   formail's split of BOX.mbox: "-" and no bytes per message
  read_back.py folders mbox|maildir FOLDER
                                    the folders Dovecot lists in a copy of FOLDER, with
                                    UTF-8 names on disk (LAYOUT=fs:UTF-8), as "- x<hex of the name>"
  read_back.py notmuch FOLDER BOX   what notmuch finds with folder:BOX in a copy: "-" and no bytes
  read_back.py mutt mbox|maildir FOLDER BOX
                                    mutt opens a copy and quits with the default answer to
                                    "Purge deleted messages?" (yes): "T" for each message its
                                    status line counted deleted, then "-" for each message left
"""
import mailbox
import os
import re
import shutil
import subprocess
import sys
import tempfile


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


def run_doveadm(work, location, arguments):
    """doveadm `arguments` on the mail at `location` below `work`; its output."""
    uid, gid = os.getuid(), os.getgid()
    if uid == 0:  # Dovecot refuses to read mail as root: it reads a copy as nobody
        uid, gid = 65534, 65534
        chown_tree(work, uid, gid)
    config = os.path.join(work, "dovecot.conf")
    with open(config, "w") as stream:
        stream.write("mail_location = %s\n" % location)
    os.chmod(config, 0o644)
    command = ["doveadm", "-c", config, "-o", "mail_uid=%d" % uid, "-o", "mail_gid=%d" % gid,
               "-o", "first_valid_uid=1", "-o", "first_valid_gid=1"] + arguments
    environment = dict(os.environ, USER="ferrolt", HOME=work)
    result = subprocess.run(command, env=environment, capture_output=True, text=True)
    if result.returncode != 0 or result.stderr:
        sys.exit("doveadm failed (%d): %s" % (result.returncode, result.stderr))
    return result.stdout


def dovecot(kind, folder, box):
    work = tempfile.mkdtemp(prefix="ferrolt-dovecot-")
    try:
        if kind == "mbox":
            shutil.copy(os.path.join(folder, box + ".mbox"), os.path.join(work, "box.mbox"))
            location = "mbox:%s/mail:INBOX=%s/box.mbox:INDEX=MEMORY" % (work, work)
        else:
            shutil.copytree(os.path.join(folder, box), os.path.join(work, "box"))
            location = "maildir:%s/box:INDEX=MEMORY" % work
        output = run_doveadm(work, location, ["fetch", "flags", "mailbox", "INBOX", "ALL"])
        for line in output.splitlines():
            if line.startswith("flags:"):
                flags = ("S" if "\\Seen" in line else "") + ("T" if "\\Deleted" in line else "")
                print(flags or "-", "x")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def dump_formail(folder, box):
    with open(os.path.join(folder, box + ".mbox"), "rb") as stream:
        result = subprocess.run(["formail", "-s", "sh", "-c", "cat >/dev/null; echo -"],
                                stdin=stream, capture_output=True, check=True)
    for line in result.stdout.split():
        print("- x")


def dovecot_folders(kind, folder):
    work = tempfile.mkdtemp(prefix="ferrolt-dovecot-")
    try:
        root = os.path.join(work, "root")
        shutil.copytree(folder, root)
        if kind == "mbox":
            open(os.path.join(work, "inbox"), "w").close()
        else:
            for part in ("cur", "new", "tmp"):
                os.makedirs(os.path.join(work, "inbox", part))
        location = "%s:%s:LAYOUT=fs:UTF-8:INBOX=%s/inbox:INDEX=MEMORY" % (kind, root, work)
        listed = lambda: sorted(name for name in os.listdir(root) if "dovecot" not in name)
        before = listed()
        names = run_doveadm(work, location, ["mailbox", "list"])
        if listed() != before:
            sys.exit("Dovecot renamed mailboxes: %s" % listed())
        for name in sorted(names.splitlines()):
            if name != "INBOX":
                print("-", "x" + name.encode().hex())
    finally:
        shutil.rmtree(work, ignore_errors=True)


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
        count = subprocess.run(["notmuch", "count", "--output=files", "folder:" + box], env=environment,
                               check=True, capture_output=True, text=True).stdout
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
    elif len(sys.argv) == 5 and sys.argv[1] == "dovecot" and sys.argv[2] in ("mbox", "maildir"):
        dovecot(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "mutt" and sys.argv[2] in ("mbox", "maildir"):
        dump_mutt(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "folders" and sys.argv[2] in ("mbox", "maildir"):
        dovecot_folders(*sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
