#!/usr/bin/env python3
"""Reads ferrolt-cli's mbox and Maildir output back with readers that are not ours.

  read_back.py mbox FILE        Python's mailbox.mbox: one line per message,
  read_back.py maildir FOLDER   Python's mailbox.Maildir:  "<flags> x<hex of the bytes>"
  read_back.py dovecot mbox FILE | dovecot maildir FOLDER
                                Dovecot's doveadm, on a copy: "messages=N seen=N deleted=N"

For mbox the flags are those of the Status and X-Status lines, sorted; for Maildir the sub-folder
and the flags of the name ("cur:ST"). Messages come in the order they were written.
"""
import mailbox
import os
import shutil
import subprocess
import sys
import tempfile


def dump_mbox(path):
    box = mailbox.mbox(path, create=False)
    for key in box.iterkeys():
        flags = "".join(sorted(box.get_message(key).get_flags()))
        print(flags or "-", "x" + box.get_bytes(key).hex())


def dump_maildir(path):
    box = mailbox.Maildir(path, factory=None, create=False)
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


def dovecot(kind, path):
    work = tempfile.mkdtemp(prefix="ferrolt-dovecot-")
    try:
        if kind == "mbox":
            shutil.copy(path, os.path.join(work, "box.mbox"))
            location = "mbox:%s/mail:INBOX=%s/box.mbox:INDEX=MEMORY" % (work, work)
        else:
            shutil.copytree(path, os.path.join(work, "box"))
            location = "maildir:%s/box:INDEX=MEMORY" % work
        uid, gid = os.getuid(), os.getgid()
        if uid == 0:  # Dovecot refuses to read mail as root: it reads a copy as nobody
            uid, gid = 65534, 65534
            chown_tree(work, uid, gid)
        config = os.path.join(work, "dovecot.conf")
        with open(config, "w") as stream:
            stream.write("mail_location = %s\n" % location)
        os.chmod(config, 0o644)
        command = ["doveadm", "-c", config, "-o", "mail_uid=%d" % uid, "-o", "mail_gid=%d" % gid,
                   "-o", "first_valid_uid=1", "-o", "first_valid_gid=1",
                   "fetch", "flags", "mailbox", "INBOX", "ALL"]
        environment = dict(os.environ, USER="ferrolt", HOME=work)
        result = subprocess.run(command, env=environment, capture_output=True, text=True)
        if result.returncode != 0 or result.stderr:
            sys.exit("doveadm failed (%d): %s" % (result.returncode, result.stderr))
        flags = [line for line in result.stdout.splitlines() if line.startswith("flags:")]
        print("messages=%d seen=%d deleted=%d" % (
            len(flags), sum("\\Seen" in line for line in flags),
            sum("\\Deleted" in line for line in flags)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "mbox":
        dump_mbox(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "maildir":
        dump_maildir(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "dovecot" and sys.argv[2] in ("mbox", "maildir"):
        dovecot(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
