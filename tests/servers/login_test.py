#!/usr/bin/env python3
"""Logs in to real servers with the library's CRAM-MD5 and NTLM messages.

Starts dovecot (IMAP on a free loopback port; a passwd-file user database
for CRAM-MD5, and NTLM through Samba's winbindd on a standalone server with
its own user database) under a temporary directory, runs AUTHENTICATE
CRAM-MD5 and AUTHENTICATE NTLM for each client, and stops everything again;
then the NTLM logins once more against Samba servers named beyond ASCII.
Each right password must be accepted (OK) and each wrong one refused (NO).

    login_test.py [--glyphhost PATH] [--client reference|glyphhost|all] [--keep]

Clients: "reference" makes the messages with independent code (a self-test
of the harness: if it fails, the servers or the machine are at fault);
"glyphhost" with the library, through glyphhost, in the wide and the byte
build; "all" (the default with --glyphhost) both, the reference first.

Needs root, dovecot (dovecot-core, dovecot-imapd), Samba's winbindd and
tools (winbind, samba-common-bin), libnss-wrapper and, for the reference client,
python3-impacket.  Without them it exits with status 77 (skipped); no
system file or service is used or changed.  Exit status 0 when every check
passed, 1 otherwise.
"""

import argparse
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import clients  # noqa: E402
import servers  # noqa: E402

SKIPPED = 77
RUN_TIMEOUT = 120   # seconds for the whole run; it takes a few
WORKSTATION = "GHCLIENT"

# CRAM-MD5 users live in dovecot's passwd-file, NTLM users in Samba's
# database; their passwords are stored as UTF-8 text.
DOVECOT_USERS = {"alice": "Secret-1", "carol": "Kennwort-\u20ac5"}
SAMBA_USERS = {"alice": "Secret-1", "dora": "Gr\u00fc\u00dfe-7", "j\u00fcrgen": "\u00c4pfel-\u20ac8"}

ALL_BUILDS = ("reference", "glyphhost-wide", "glyphhost-byte")
WIDE_ONLY = ("reference", "glyphhost-wide")


class Check:
    def __init__(self, mechanism, what, creds, expect, clients=ALL_BUILDS):
        self.mechanism = mechanism
        self.what = what
        self.creds = creds
        self.expect = expect
        self.clients = clients


C = clients.Credentials
CHECKS = [
    Check("CRAM-MD5", "right password", C("alice", "Secret-1"), "OK"),
    Check("CRAM-MD5", "wrong password", C("alice", "Secret-2"), "NO"),
    # Above U+00FF the wide build sends the password as UTF-8; the byte
    # build's host holds it as UTF-8 bytes here.
    Check("CRAM-MD5", "password with a character beyond Latin-1", C("carol", "Kennwort-\u20ac5"), "OK"),
    Check("NTLM", "right password", C("alice", "Secret-1"), "OK"),
    Check("NTLM", "wrong password", C("alice", "Secret-3"), "NO"),
    # The byte build's host holds this password in an 8-bit set (Latin-1):
    # each byte must widen to its own UTF-16 unit, whatever its top bit.
    Check("NTLM", "Latin-1 password", C("dora", "Gr\u00fc\u00dfe-7", byte_encoding="latin-1"), "OK"),
    # A user name the server uppercases to J\u00dcRGEN for the NTLMv2 hash, and a
    # password beyond Latin-1: UTF-16 is only the wide build's to send (the
    # byte build knows no character set for its bytes).
    Check("NTLM", "non-ASCII user name, password beyond Latin-1",
          C("j\u00fcrgen", "\u00c4pfel-\u20ac8"), "OK", WIDE_ONLY),
]

# More servers, each with a NetBIOS name beyond ASCII: the target name of its
# challenges, which goes into the NTLMv2 hash in capitals.  Greek and CJK
# letters only have no zero byte in UTF-16 (the flags say it is UTF-16); and
# beside ASCII, U+6587 (bytes 87 65) must not turn into U+4587 as if its 65
# were a letter e.
NON_ASCII_SERVERS = ("\u03a7\u0386\u039f\u03a3\u6587\u5b57", "GH-\u6587\u5b57")
NON_ASCII_CHECKS = [
    Check("NTLM", "right password", C("alice", "Secret-1"), "OK"),
    Check("NTLM", "wrong password", C("alice", "Secret-3"), "NO"),
]


def main():
    sys.stdout.reconfigure(line_buffering=True)
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--glyphhost", help="the glyphhost to make the library's messages with")
    parser.add_argument("--client", choices=("reference", "glyphhost", "all"),
                        help="whose messages to send (default: all with --glyphhost, else reference)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary directory")
    args = parser.parse_args()
    client_kind = args.client or ("all" if args.glyphhost else "reference")
    if client_kind != "reference" and not args.glyphhost:
        parser.error("--client %s needs --glyphhost" % client_kind)
    if args.glyphhost and not os.access(args.glyphhost, os.X_OK):
        print("error: %s is not an executable glyphhost" % args.glyphhost)
        return 1

    if os.geteuid() != 0:
        print("SKIPPED: the servers need root (run as root to check logins on real servers)")
        return SKIPPED
    missing = servers.missing_prerequisites()
    chosen = []
    if client_kind in ("reference", "all"):
        try:
            chosen.append(clients.ReferenceClient())
        except ImportError as e:
            missing.append("reference client: %s (python3-impacket)" % e)
    if missing:
        print("SKIPPED: %s (scripts/deps.sh installs what is needed)" % "; ".join(missing))
        return SKIPPED
    if client_kind in ("glyphhost", "all"):
        chosen += [clients.GlyphhostClient(args.glyphhost, b) for b in ("wide", "byte")]

    print("dovecot %s" % servers.version_of([servers.find_binary("dovecot"), "--version"]))
    print("winbindd %s" % servers.version_of([servers.find_binary("winbindd"), "--version"]))
    print("ntlm_auth %s" % servers.version_of([servers.find_binary("ntlm_auth"), "--version"]))

    # A kill from outside still stops the servers, and so does a run that
    # hangs (ctest's own timeout would SIGKILL us and leave the directory).
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit("interrupted"))
    signal.signal(signal.SIGALRM, lambda *_: sys.exit("gave up after %d s" % RUN_TIMEOUT))
    signal.alarm(RUN_TIMEOUT)

    failures = {}
    # Each login from its own loopback address: dovecot delays every login
    # from an address that has just failed one.
    sources = ("127.0.0.%d" % n for n in range(2, 255))
    runs = [(servers.SAMBA_NAME, SAMBA_USERS, CHECKS)]
    runs += [(name, {"alice": SAMBA_USERS["alice"]}, NON_ASCII_CHECKS) for name in NON_ASCII_SERVERS]
    for samba_name, samba_users, checks in runs:
        try:
            with servers.Servers(samba_users, DOVECOT_USERS, keep=args.keep, samba_name=samba_name) as running:
                print("servers up: IMAP on 127.0.0.1:%d, Samba server %s, under %s"
                      % (running.port, samba_name, running.root))
                for client in chosen:
                    for check in checks:
                        if client.name in check.clients:
                            if not run_check(running, client, check, next(sources)):
                                failures[client.name] = failures.get(client.name, 0) + 1
                    skipped = [c for c in checks if client.name not in c.clients]
                    for check in skipped:
                        print("skip  %-15s %-8s %s %s: wide build only"
                              % (client.name, check.mechanism, check.creds.user, check.what))
        except (servers.ServerError, subprocess.SubprocessError, OSError) as e:
            print("FAILED: the servers could not be set up: %s" % e)
            return 1

    if not failures:
        print("every login check passed (%s)" % ", ".join(c.name for c in chosen))
        return 0
    for name, count in failures.items():
        print("%s: %d check(s) failed" % (name, count))
    if "reference" in failures:
        print("the reference client failed too: look at the servers and the harness first")
    return 1


def run_check(running, client, check, source):
    label = "%-15s %-8s %s %s" % (client.name, check.mechanism, check.creds.user, check.what)
    log_start = len(running.dovecot_log())
    imap = None
    details = True
    try:
        imap = clients.Imap(running.port, source)
        if check.mechanism == "CRAM-MD5":
            respond = client.cram(check.creds)
        else:
            respond = client.ntlm(check.creds, WORKSTATION)
        status = imap.authenticate(check.mechanism, respond)
        problem = None if status == check.expect else "got %s, expected %s" % (status, check.expect)
    except clients.ClientError as e:
        problem = str(e)
        details = imap is None      # the client's own failure needs no server log
    except OSError as e:
        problem = "connection: %s" % e
    finally:
        if imap:
            imap.close()
    if problem is None:
        print("ok    %s: %s" % (label, check.expect))
        return True
    print("FAIL  %s: %s" % (label, problem))
    if details and imap:
        print("      exchange:\n        " + "\n        ".join(imap.transcript))
    log = running.dovecot_log()[log_start:].strip()
    if details and log:
        print("      dovecot's log:\n        " + "\n        ".join(log.splitlines()))
    return False


if __name__ == "__main__":
    sys.exit(main())
