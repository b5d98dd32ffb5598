"""Dovecot and Samba's winbindd, started for one test run and stopped after it.

Everything lives under one temporary directory: the configuration files, the
Samba user database, every socket, pid, lock, state and log file.  The only
network listener is dovecot's IMAP on a free loopback port.  The Samba users
must also be Unix users; nss_wrapper gives the Samba tools and winbindd a
passwd file of their own, so /etc/passwd is never touched.  libwbclient
(used by ntlm_auth) honours SELFTEST_WINBINDD_SOCKET_DIR only while
nss_wrapper's variables are set, which is how ntlm_auth finds this
winbindd rather than the system's.

Every server is started in a session of its own and dies with this process
(PR_SET_PDEATHSIG), so nothing outlives the test even when it is killed.
This process is the subreaper of everything it starts: a server's helper
that leaves its process group still ends up as its child, to be ended and
reaped on the way out.
"""

import ctypes
import glob
import grp
import os
import pwd
import shlex
import shutil
import signal
import socket
import subprocess
import tempfile
import time

START_TIMEOUT = 30      # seconds for a server to come up
COMMAND_TIMEOUT = 30    # seconds for a set-up command
STOP_TIMEOUT = 5        # seconds between SIGTERM and SIGKILL

BINARIES = ["dovecot", "winbindd", "ntlm_auth", "smbpasswd", "wbinfo"]
SYSTEM_USERS = ["dovecot", "dovenull", "nobody"]   # dovecot's and the mail user
SYSTEM_GROUPS = ["nogroup"]

# The NetBIOS name of the standalone server: the target name (the domain)
# its NTLM challenges carry, in UTF-16 and in capitals (Samba uppercases it).
SAMBA_NAME = "GHSERVER"


class ServerError(Exception):
    """A server could not be set up: a fault of the harness or the machine."""


def nss_wrapper_library():
    for path in sorted(glob.glob("/usr/lib/*/libnss_wrapper.so")) + [
            "/usr/lib/libnss_wrapper.so", "/usr/lib64/libnss_wrapper.so"]:
        if os.path.exists(path):
            return path
    return None


def missing_prerequisites():
    """What this machine lacks to run the servers, as readable reasons."""
    missing = []
    for name in BINARIES:
        if not find_binary(name):
            missing.append("no %s" % name)
    if not nss_wrapper_library():
        missing.append("no libnss_wrapper.so (libnss-wrapper)")
    for user in SYSTEM_USERS:
        try:
            pwd.getpwnam(user)
        except KeyError:
            missing.append("no user %s" % user)
    for group in SYSTEM_GROUPS:
        try:
            grp.getgrnam(group)
        except KeyError:
            missing.append("no group %s" % group)
    return missing


def find_binary(name):
    # Daemons live in sbin, which a non-login root shell may lack in PATH.
    path = os.environ.get("PATH", "") + ":/usr/sbin:/sbin:/usr/bin:/bin"
    return shutil.which(name, path=path)


def version_of(command):
    try:
        out = subprocess.run(command, capture_output=True, text=True, timeout=COMMAND_TIMEOUT)
        return (out.stdout or out.stderr).strip().splitlines()[0]
    except (OSError, subprocess.SubprocessError, IndexError):
        return "unknown"


def free_loopback_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36


def _die_with_parent():
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def _children():
    me = str(os.getpid())
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    # pid (comm) state ppid ...; comm may hold blanks
                    fields = f.read().rsplit(")", 1)[1].split()
            except (OSError, IndexError):
                continue
            if fields[1] == me:
                found.append(int(entry))
    return found


def _end_orphans():
    """Kills and reaps whatever of ours is left: orphans reparented to us."""
    deadline = time.monotonic() + STOP_TIMEOUT
    while time.monotonic() < deadline:
        left = _children()
        if not left:
            return
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
                os.waitpid(pid, os.WNOHANG)
            except (ProcessLookupError, ChildProcessError):
                pass
        time.sleep(0.05)


class Servers:
    """The running servers.  Use as a context manager; `port` is IMAP's.

    samba_users and dovecot_users map user names to passwords; samba_name
    is the Samba server's NetBIOS name.
    """

    def __init__(self, samba_users, dovecot_users, keep=False, log=print, samba_name=SAMBA_NAME):
        self.samba_users = samba_users
        self.samba_name = samba_name
        self.dovecot_users = dovecot_users
        self.keep = keep
        self.log = log
        self.root = None
        self.port = None
        self._processes = []     # (name, Popen, log path)

    # -- life cycle ---------------------------------------------------------

    def __enter__(self):
        _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
        self.root = tempfile.mkdtemp(prefix="glyphherder-servers-")
        try:
            # dovecot's login processes (user dovenull) reach their sockets below.
            os.chmod(self.root, 0o755)
            self._start_winbindd()
            self._start_dovecot()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for name, process, _ in reversed(self._processes):
            _stop(process)
        _end_orphans()
        self._processes = []
        if self.root and not self.keep:
            shutil.rmtree(self.root, ignore_errors=True)
        elif self.root:
            self.log("kept %s" % self.root)
        return False

    # -- Samba --------------------------------------------------------------

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def _samba_env(self):
        env = dict(os.environ)
        env.update({
            "LD_PRELOAD": nss_wrapper_library(),
            "NSS_WRAPPER_PASSWD": self.path("samba", "passwd"),
            "NSS_WRAPPER_GROUP": self.path("samba", "group"),
            "SELFTEST_WINBINDD_SOCKET_DIR": self.path("samba", "winbindd"),
        })
        return env

    def _start_winbindd(self):
        samba = self.path("samba")
        for sub in ("private", "lock", "state", "cache", "pid", "ncalrpc", "winbindd",
                    "bind-dns", "ntp_signd", "usershares", "log"):
            os.makedirs(os.path.join(samba, sub))
        os.chmod(os.path.join(samba, "winbindd"), 0o755)
        with open(self.path("samba", "passwd"), "w", encoding="utf-8") as f:
            f.write("root:x:0:0:root:/root:/bin/sh\n")
            f.write("nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n")
            for i, name in enumerate(self.samba_users):
                f.write("%s:x:%d:60000:%s:/nonexistent:/usr/sbin/nologin\n" % (name, 60001 + i, name))
        with open(self.path("samba", "group"), "w", encoding="utf-8") as f:
            f.write("root:x:0:\nnogroup:x:65534:\nghusers:x:60000:\n")
        conf = self.path("samba", "smb.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(_SMB_CONF.format(dir=samba, name=self.samba_name))
        env = self._samba_env()
        for name, password in self.samba_users.items():
            self._run([find_binary("smbpasswd"), "-c", conf, "-a", "-s", name],
                      env, stdin="%s\n%s\n" % (password, password))
        self._spawn("winbindd", [find_binary("winbindd"), "--configfile=" + conf, "--foreground",
                                 "--no-process-group", "--debug-stdout", "--debuglevel=1"], env)
        self._wait("winbindd", lambda: subprocess.run(
            [find_binary("wbinfo"), "--ping"], env=env, capture_output=True,
            timeout=COMMAND_TIMEOUT).returncode == 0)
        helper = self.path("samba", "ntlm_auth_helper")
        with open(helper, "w", encoding="utf-8") as f:
            f.write("#!/bin/sh\n# Samba's ntlm_auth against this run's winbindd.\n")
            for key in ("LD_PRELOAD", "NSS_WRAPPER_PASSWD", "NSS_WRAPPER_GROUP",
                        "SELFTEST_WINBINDD_SOCKET_DIR"):
                f.write("export %s=%s\n" % (key, shlex.quote(env[key])))
            f.write('exec %s --configfile=%s "$@"\n'
                    % (shlex.quote(find_binary("ntlm_auth")), shlex.quote(conf)))
        os.chmod(helper, 0o755)

    # -- dovecot ------------------------------------------------------------

    def _start_dovecot(self):
        dove = self.path("dovecot")
        for sub in ("run", "state", "home"):
            os.makedirs(os.path.join(dove, sub))
        # Mail users (nobody) create their homes on login.
        os.chmod(os.path.join(dove, "home"), 0o1777)
        with open(os.path.join(dove, "users"), "w", encoding="utf-8") as f:
            for name, password in self.dovecot_users.items():
                f.write("%s:{PLAIN}%s::::::\n" % (name, password))
        self.port = free_loopback_port()
        conf = os.path.join(dove, "dovecot.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(_DOVECOT_CONF.format(dir=dove, port=self.port,
                                         helper=self.path("samba", "ntlm_auth_helper")))
        self._spawn("dovecot", [find_binary("dovecot"), "-F", "-c", conf], dict(os.environ))
        self._wait("dovecot", self._imap_answers)

    def _imap_answers(self):
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=2) as s:
                return s.recv(100).startswith(b"* OK")
        except OSError:
            return False

    def dovecot_log(self):
        try:
            with open(self.path("dovecot", "dovecot.log"), encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    # -- processes ----------------------------------------------------------

    def _run(self, command, env, stdin=None):
        out = subprocess.run(command, env=env, input=stdin, capture_output=True, text=True,
                             timeout=COMMAND_TIMEOUT, preexec_fn=_die_with_parent)
        if out.returncode != 0:
            raise ServerError("%s failed (status %d):\n%s%s" % (
                " ".join(command), out.returncode, out.stdout, out.stderr))

    def _spawn(self, name, command, env):
        log_path = self.path("%s.out" % name)
        with open(log_path, "wb") as log_file:
            process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                       stdout=log_file, stderr=subprocess.STDOUT,
                                       start_new_session=True, preexec_fn=_die_with_parent)
        self._processes.append((name, process, log_path))

    def _wait(self, name, ready):
        _, process, log_path = next(p for p in self._processes if p[0] == name)
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if process.poll() is not None:
                raise ServerError("%s exited with status %d:\n%s%s" % (
                    name, process.returncode, _tail(log_path), self.dovecot_log()))
            if ready():
                return
            time.sleep(0.1)
        raise ServerError("%s did not come up in %d s:\n%s" % (name, START_TIMEOUT, _tail(log_path)))


def _stop(process):
    """SIGTERM to the process group, then SIGKILL to whatever is left of it."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            pass
        try:
            process.wait(STOP_TIMEOUT)
        except subprocess.TimeoutExpired:
            pass


def _tail(path, lines=30):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return ""


_SMB_CONF = """\
[global]
    server role = standalone server
    workgroup = GHWORKGROUP
    netbios name = {name}
    passdb backend = tdbsam:{dir}/private/passdb.tdb
    private dir = {dir}/private
    lock directory = {dir}/lock
    state directory = {dir}/state
    cache directory = {dir}/cache
    pid directory = {dir}/pid
    ncalrpc dir = {dir}/ncalrpc
    winbindd socket directory = {dir}/winbindd
    binddns dir = {dir}/bind-dns
    ntp signd socket directory = {dir}/ntp_signd
    usershare path = {dir}/usershares
    smb passwd file = {dir}/private/smbpasswd
    log file = {dir}/log/%m.log
    interfaces = lo
    bind interfaces only = yes
    disable netbios = yes
    load printers = no
    printcap name = /dev/null
    idmap config * : backend = tdb
    idmap config * : range = 3000000-3999999
    # winbindd would otherwise start samba-dcerpcd, which logs under /var/log.
    rpc start on demand helpers = no
"""

_DOVECOT_CONF = """\
base_dir = {dir}/run
state_dir = {dir}/state
instance_name = glyphherder-servers-test
log_path = {dir}/dovecot.log
protocols = imap
listen = 127.0.0.1
ssl = no
default_internal_user = dovecot
default_login_user = dovenull

auth_mechanisms = cram-md5 ntlm
auth_use_winbind = yes
auth_winbind_helper_path = {helper}
# Any user name: the NTLM users come back as GHSERVER\\name, some not ASCII.
auth_username_chars =
auth_failure_delay = 0
auth_verbose = yes
auth_verbose_passwords = no

passdb {{
    driver = passwd-file
    args = {dir}/users
}}
userdb {{
    driver = static
    args = uid=nobody gid=nogroup home={dir}/home/%n
}}
mail_location = maildir:~/Maildir

service imap-login {{
    inet_listener imap {{
        address = 127.0.0.1
        port = {port}
    }}
    inet_listener imaps {{
        port = 0
    }}
}}
# ntlm_auth runs as the auth process' user and needs winbindd's
# privileged pipe, which is root's.
service auth {{
    user = root
}}
"""
