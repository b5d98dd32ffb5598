"""The client side: IMAP's AUTHENTICATE exchange, and the two kinds of client
that make its messages.

GlyphhostClient makes them with the library under test, through glyphhost,
for one build.  ReferenceClient makes them with independent code (Python's
hmac for CRAM-MD5, impacket for NTLMv2): when it is refused too, the fault is
in the harness or the servers, not in the library.
"""

import base64
import hashlib
import hmac
import re
import socket
import subprocess

READ_TIMEOUT = 15      # seconds for any one server line
CALL_TIMEOUT = 30      # seconds for one glyphhost run


class ClientError(Exception):
    """The client could not make its message."""


class Imap:
    """One IMAP connection to the server under test, from the given loopback
    address (dovecot slows every login from an address after a failed one)."""

    def __init__(self, port, source="127.0.0.1"):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=READ_TIMEOUT,
                                             source_address=(source, 0))
        self.file = self.sock.makefile("rb")
        self.transcript = []
        greeting = self._line()
        if not greeting.startswith("* OK"):
            raise ClientError("unexpected greeting: %s" % greeting)

    def close(self):
        self.file.close()
        self.sock.close()

    def _line(self):
        raw = self.file.readline(65536)
        if not raw:
            raise ClientError("the server closed the connection")
        line = raw.decode("utf-8", "replace").rstrip("\r\n")
        self.transcript.append("S: " + line)
        return line

    def _send(self, line):
        self.transcript.append("C: " + line)
        self.sock.sendall(line.encode("ascii") + b"\r\n")

    def authenticate(self, mechanism, respond):
        """Runs AUTHENTICATE; respond(challenge) gives the answer to each
        Base64 challenge.  Returns the tagged status: OK, NO or BAD."""
        self._send("a1 AUTHENTICATE " + mechanism)
        while True:
            line = self._line()
            if line.startswith("+"):
                try:
                    answer = respond(line[1:].strip())
                except ClientError:
                    self._send("*")        # cancel the exchange, then report
                    raise
                self._send(answer)
            elif line.startswith("a1 "):
                return line.split(" ", 2)[1]


class Credentials:
    """A user name and password; byte_encoding is how the byte build's host
    holds the password (its text is 8-bit, in some character set)."""

    def __init__(self, user, password, byte_encoding="utf-8"):
        self.user = user
        self.password = password
        self.byte_encoding = byte_encoding


class ReferenceClient:
    name = "reference"

    def __init__(self):
        # impacket brings pycryptodome, whose MD4 the NT hash needs (OpenSSL 3
        # keeps MD4 in its legacy provider, which hashlib does not load).
        from impacket import ntlm
        from Cryptodome.Hash import MD4
        self._ntlm = ntlm
        self._md4 = MD4

    def cram(self, creds):
        def respond(challenge):
            key = creds.password.encode("utf-8")
            digest = hmac.new(key, base64.b64decode(challenge), hashlib.md5).hexdigest()
            return base64.b64encode(creds.user.encode("utf-8") + b" " + digest.encode()).decode()
        return respond

    def ntlm(self, creds, workstation):
        ntlm = self._ntlm
        negotiate = ntlm.getNTLMSSPType1(workstation, "", signingRequired=False, use_ntlmv2=True)
        nt_hash = self._md4.new(creds.password.encode("utf-16-le")).digest()

        def respond(challenge):
            if not challenge:
                return base64.b64encode(negotiate.getData()).decode()
            type2 = base64.b64decode(challenge)
            domain = ntlm.NTLMAuthChallenge(type2)["domain_name"].decode("utf-16-le")
            # The password goes in as its NT hash: impacket would also make the
            # LM hash of it, which it cannot for characters beyond Latin-1.
            authenticate, _ = ntlm.getNTLMSSPType3(negotiate, type2, creds.user, "", domain,
                                                   lmhash=nt_hash, nthash=nt_hash)
            return base64.b64encode(authenticate.getData()).decode()
        return respond


class GlyphhostClient:
    def __init__(self, glyphhost, build):
        self.glyphhost = glyphhost
        self.build = build
        self.name = "glyphhost-" + build

    def _text(self, value, encoding="utf-8"):
        """A glyphhost argument for this text: characters in the wide build,
        the bytes of the text in the given encoding in the byte build."""
        if self.build == "byte" and not value.isascii():
            return "codes:" + ",".join(str(b) for b in value.encode(encoding))
        return "text:" + value

    def call(self, function, *args):
        command = [self.glyphhost, "--build", self.build, "call", function] + list(args)
        try:
            out = subprocess.run(command, capture_output=True, timeout=CALL_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise ClientError("glyphhost %s did not finish in %d s" % (function, CALL_TIMEOUT))
        stdout = out.stdout.decode("utf-8", "replace").strip()
        if out.returncode == 3:  # glyphhost's status for a call that set no result
            raise ClientError("%s set no result: the function is not built in this library" % function)
        if out.returncode != 0:
            raise ClientError("glyphhost %s failed (status %d): %s%s" % (
                function, out.returncode, stdout, out.stderr.decode("utf-8", "replace").strip()))
        # A text is shown in double quotes (Base64 needs no escapes).
        match = re.fullmatch(r'text: "(.*)"', stdout)
        if not match:
            raise ClientError("%s gave %r, not a text" % (function, stdout))
        if not match.group(1):
            raise ClientError("%s gave the empty text, its failure result" % function)
        return match.group(1)

    def cram(self, creds):
        def respond(challenge):
            return self.call("makeCRAMresponse", "text:" + challenge,
                             self._text(creds.user), self._text(creds.password, creds.byte_encoding))
        return respond

    def ntlm(self, creds, workstation):
        def respond(challenge):
            if not challenge:
                return self.call("NTLMchallenge")
            return self.call("NTLMresponse", "text:" + challenge, self._text(creds.user),
                             self._text(creds.password, creds.byte_encoding),
                             self._text(workstation))
        return respond
