"""What the IMAP upload's test and benchmark share: a Dovecot on 127.0.0.1 with its own CA and
server certificate, a passwd-file of users, Maildir storage (no fsync: a test's server, fast) and a quota, run as this user (or
nobody when root) and stopped by its process id; and a store's messages as the program reads them.
"""
import os
import pwd
import shutil
import signal
import socket
import subprocess
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(*args, cwd=None):
    subprocess.run(args, check=True, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(work):
    """ca.crt signs server.crt (localhost and 127.0.0.1); other-ca.crt signs nothing."""
    def ca(name):
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", "/CN=" + name, "-keyout", name + ".key", "-out", name + ".crt", cwd=work)
    ca("ca")
    ca("other-ca")
    with open(os.path.join(work, "san.ext"), "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n")
    run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
        "-keyout", "server.key", "-out", "server.csr", cwd=work)
    run("openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
        "-CAcreateserial", "-days", "2", "-extfile", "san.ext", "-out", "server.crt", cwd=work)


def write_users(work, users, password):
    with open(os.path.join(work, "passwd"), "w") as f:
        for user in users:
            f.write(f"{user}:{{PLAIN}}{password}\n")


def _config(work, imap_port, imaps_port, quota, starttls):
    root = os.geteuid() == 0
    mail_user = "nobody" if root else pwd.getpwuid(os.geteuid()).pw_name
    uid = pwd.getpwnam(mail_user)
    login = ("default_login_user = dovenull\ndefault_internal_user = dovecot\n" if root else
             "default_login_user = %s\ndefault_internal_user = %s\n" % (mail_user, mail_user))
    ssl_lines = ("ssl = yes\nssl_cert = <%s/server.crt\nssl_key = <%s/server.key\n" % (work, work)
                 if starttls else "ssl = no\n")
    return f"""base_dir = {work}/run
state_dir = {work}/state
log_path = {work}/dovecot.log
protocols = imap
listen = 127.0.0.1
{login}{ssl_lines}disable_plaintext_auth = no
auth_mechanisms = plain
auth_failure_delay = 0
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {work}/passwd
}}
userdb {{
  driver = static
  args = uid={uid.pw_uid} gid={uid.pw_gid} home={work}/home/%u
}}
mail_location = maildir:~/Maildir
mail_fsync = never
maildir_very_dirty_syncs = yes
first_valid_uid = 0
mail_plugins = quota
protocol imap {{
  mail_plugins = $mail_plugins imap_quota
}}
plugin {{
  quota = count:User quota
  quota_vsizes = yes
  quota_rule = *:storage={quota}
}}
service imap-login {{
  inet_listener imap {{
    port = {imap_port}
  }}
  inet_listener imaps {{
    port = {imaps_port if starttls else 0}
    ssl = yes
  }}
}}
"""


class Dovecot:
    """Started on construction (with the certificates and passwd already in `work`)."""

    def __init__(self, work, quota="10M", starttls=True):
        self.work = work
        self.imap_port, self.imaps_port = free_port(), free_port()
        self.log = os.path.join(work, "dovecot.log")
        conf = os.path.join(work, "dovecot.conf")
        with open(conf, "w") as f:
            f.write(_config(work, self.imap_port, self.imaps_port, quota, starttls))
        for d in ("run", "state", "home"):
            os.makedirs(os.path.join(work, d), exist_ok=True)
        os.chmod(os.path.join(work, "home"), 0o777)
        self.process = subprocess.Popen(["dovecot", "-F", "-c", conf])
        port = self.imaps_port if starttls else self.imap_port
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.1)
        self.stop()
        raise RuntimeError("dovecot did not start")

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
        self.process.wait(timeout=20)

    def url(self, user, host="127.0.0.1", starttls=False, folder=""):
        scheme, port = ("imap", self.imap_port) if starttls else ("imaps", self.imaps_port)
        return f"{scheme}://{user}@{host}:{port}" + (("/" + folder) if folder else "")


def source_messages(cli, work, store):
    """Per mailbox file: [(bytes, read, deleted)] as the program's own list and eml give them."""
    mailboxes = {}
    for name in sorted(os.listdir(store)):
        if not name.endswith(b".mbx" if isinstance(name, bytes) else ".mbx"):
            continue
        path = os.path.join(store, name)
        listing = subprocess.run([cli, "list", "--raw", path], capture_output=True).stdout
        flags = [line.split(b"\t")[1] for line in listing.splitlines()]
        out = os.path.join(work, "eml")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        subprocess.run([cli, "eml", "--include-deleted", "--prefix", os.path.join(out, "m"), path],
                       check=True, capture_output=True)
        files = sorted(os.listdir(out))
        mailboxes[name] = [(open(os.path.join(out, f), "rb").read(), flag[1:2] == b"R",
                            flag[0:1] == b"D") for f, flag in zip(files, flags)]
    shutil.rmtree(os.path.join(work, "eml"), ignore_errors=True)
    return mailboxes
