#!/usr/bin/python3
"""NTLMv2, LMv2 and HMAC-MD5 of glyphHerder against independent code:
python3-ntlm-auth and python3-impacket (each computes the NT hash, the
NTLMv2 hash and the proofs its own way) and Python's hmac.

  cross_check.py PROBE GLYPHHOST

PROBE (auth_probe) answers with the pure functions, given the client
challenge and time; GLYPHHOST calls the catalogue functions of both
builds, whose client challenge and time are read back from their messages.
Random users, passwords, target names and target information; a fixed seed
(CROSS_CHECK_SEED changes it).  Exit status 77 (a skipped test) when the
Python packages are missing.
"""
import base64
import hashlib
import hmac
import os
import random
import struct
import subprocess
import sys

try:
    from impacket import ntlm as impacket_ntlm
    from ntlm_auth.compute_response import ComputeResponse
    hashlib.new("md4")  # ntlm-auth's NT hash; needs OpenSSL's legacy provider
except Exception as e:  # noqa: BLE001 - any missing piece means: cannot check here
    print("cross_check: skipped (%s); install python3-ntlm-auth and python3-impacket" % e)
    sys.exit(77)

probe, glyphhost = sys.argv[1], sys.argv[2]
rng = random.Random(int(os.environ.get("CROSS_CHECK_SEED", "2195")))
failures = []


def fail(what):
    failures.append(what)
    print("FAIL " + what)


# Characters for names: each has one capital (or none) that is both its
# simple and its full uppercase mapping, in every Unicode version since 5.
def one_capital(c):
    return len(c.upper()) == 1


LETTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.@ "
LATIN1 = [chr(c) for c in range(0xA0, 0x100) if one_capital(chr(c))]
WIDE = ([chr(c) for c in range(0x100, 0x180) if one_capital(chr(c))] +   # Latin Extended-A
        [chr(c) for c in range(0x391, 0x3CA) if one_capital(chr(c))] +   # Greek
        [chr(c) for c in range(0x410, 0x460) if one_capital(chr(c))] +   # Cyrillic
        [chr(c) for c in range(0x10400, 0x10450)] +                      # Deseret, above U+FFFF
        ["\u20ac", "\u4e2d", "\U0001F600"])


# Target names: any of these characters, in capitals for the hash.  A UTF-16
# name comes with NEGOTIATE_UNICODE and may lack a zero byte (Greek or CJK
# only); an 8-bit one comes without it, in Latin-1.
DOMAIN_POOL = LETTERS.strip() + "".join(LATIN1 + WIDE)


def name(pool, low=1, high=20):
    return "".join(rng.choice(pool) for _ in range(rng.randint(low, high)))




def target_info(with_timestamp):
    """AV pairs the way servers send them, in a random order and number."""
    pairs = []
    for _ in range(rng.randint(0, 5)):
        av_id = rng.choice([1, 2, 3, 4, 5, 6, 8, 9, 10])
        value = struct.pack("<I", 2) if av_id == 6 else name(LETTERS + "".join(LATIN1)).encode("utf-16-le")
        pairs.append(struct.pack("<HH", av_id, len(value)) + value)
    stamp = None
    if with_timestamp:
        stamp = rng.getrandbits(64)
        pairs.insert(rng.randint(0, len(pairs)), struct.pack("<HHQ", 7, 8, stamp))
    return b"".join(pairs) + b"\0\0\0\0", stamp


NEGOTIATE_UNICODE, NEGOTIATE_OEM = 0x00000001, 0x00000002


def challenge_message(target_name, info, server_challenge, unicode):
    flags = 0xE28A8230 | (NEGOTIATE_UNICODE if unicode else NEGOTIATE_OEM)
    return (b"NTLMSSP\0" + struct.pack("<I", 2) +
            struct.pack("<HHI", len(target_name), len(target_name), 48) + struct.pack("<I", flags) +
            server_challenge + b"\0" * 8 + struct.pack("<HHI", len(info), len(info), 48 + len(target_name)) +
            target_name + info)


class RawInfo:
    def __init__(self, data):
        self.data = data

    def pack(self):
        return self.data


def expected_responses(user, password, domain, server_challenge, client_challenge, time, info):
    """(NT response, LM response) by ntlm-auth; impacket's NTLMv2 hash must agree."""
    timestamp = struct.pack("<Q", time)
    nt, _ = ComputeResponse._get_NTLMv2_response(user, password, domain, server_challenge, client_challenge,
                                                 timestamp, RawInfo(info))
    lm = ComputeResponse._get_LMv2_response(user, password, domain, server_challenge, client_challenge)
    key = impacket_ntlm.NTOWFv2(user, password, domain)
    if impacket_ntlm.hmac_md5(key, server_challenge + nt[16:]) != nt[:16]:
        fail("ntlm-auth and impacket disagree for %r / %r" % (user, domain))
    return nt, lm


def field(message, at):
    length, _, offset = struct.unpack("<HHI", message[at:at + 8])
    return message[offset:offset + length]


def codes(s):
    """For the probe: hexadecimal code points."""
    return ",".join("%x" % ord(c) for c in s) or "-"


def host_codes(s):
    """For glyphhost: decimal character codes."""
    return "codes:" + ",".join(str(ord(c)) for c in s)


def run(command, lines):
    out = subprocess.run(command, input="".join(line + "\n" for line in lines), capture_output=True,
                         text=True, encoding="utf-8", check=True).stdout
    return out.split("\n")[:len(lines)]


# --- HMAC-MD5 through the probe --------------------------------------------
requests, expected = [], []
for _ in range(400):
    key = rng.randbytes(rng.choice([0, 1, 15, 16, 63, 64, 65, rng.randint(0, 300)]))
    text = rng.randbytes(rng.randint(0, 300))
    requests.append("hmac %s %s" % (key.hex() or "-", text.hex() or "-"))
    expected.append(hmac.new(key, text, hashlib.md5).hexdigest())
for request, got, want in zip(requests, run([probe], requests), expected):
    if got != want:
        fail("%s: %s, Python's hmac %s" % (request[:60], got, want))
print("hmac_md5: %d keys and texts" % len(requests))


# --- NTLM: random cases -----------------------------------------------------
def random_case(wide):
    pool = LETTERS + "".join(LATIN1) + ("".join(WIDE) if wide else "")
    user = name(pool)
    password = name(pool + "!$%&/()=?", 1, 40)
    workstation = name(pool, 1, 15)
    # Target names: UTF-16 mostly (half of them without ASCII, so often
    # without a zero byte), sometimes 8-bit Latin-1.
    unicode = rng.random() >= 0.25
    if not unicode:
        domain_text = name(LETTERS.strip() + "".join(LATIN1), 1, 15)
        target_name = domain_text.encode("latin-1")
    else:
        domain_text = name(rng.choice([DOMAIN_POOL, "".join(WIDE)]), 1, 15)
        target_name = domain_text.encode("utf-16-le")
    info, stamp = target_info(rng.random() < 0.3)
    server_challenge = rng.randbytes(8)
    return dict(user=user, password=password, workstation=workstation, domain=domain_text.upper(),
                target_name=target_name, info=info, stamp=stamp, server_challenge=server_challenge,
                message=challenge_message(target_name, info, server_challenge, unicode))


def check_message(where, case, message):
    """The proofs of an authenticate message against ntlm-auth and impacket,
    for the client challenge and time it carries."""
    lm, nt = field(message, 12), field(message, 20)
    client_challenge = lm[16:24]
    time = struct.unpack("<Q", nt[24:32])[0]
    if case["stamp"] is not None and time != case["stamp"]:
        fail("%s: time %x, not the server's %x" % (where, time, case["stamp"]))
    want_nt, want_lm = expected_responses(case["user"], case["password"], case["domain"], case["server_challenge"],
                                          client_challenge, time, case["info"])
    if nt != want_nt:
        fail("%s: NT response differs for %r / %r / %r" % (where, case["user"], case["password"], case["domain"]))
    if lm != want_lm:
        fail("%s: LMv2 response differs for %r / %r" % (where, case["user"], case["domain"]))
    if field(message, 36) != case["user"].encode("utf-16-le"):
        fail("%s: user field is not %r in UTF-16LE" % (where, case["user"]))
    if field(message, 28) != case["target_name"]:
        fail("%s: domain field is not the target name as it came" % where)
    return client_challenge, time


# Through the probe, with the client challenge and time given.
cases, requests = [], []
for _ in range(150):
    case = random_case(True)
    case["client_challenge"], case["time"] = rng.randbytes(8), rng.getrandbits(63)
    cases.append(case)
    requests.append("ntlm %s %s %s %s %s %d" % (case["message"].hex(), codes(case["user"]), codes(case["password"]),
                                                 codes(case["workstation"]), case["client_challenge"].hex(),
                                                 case["time"]))
for case, got in zip(cases, run([probe], requests)):
    message = bytes.fromhex(got) if got != "none" else b""
    if not message:
        fail("probe gave no message for %r" % case["user"])
        continue
    client_challenge, time = check_message("probe", case, message)
    if client_challenge != case["client_challenge"] or (case["stamp"] is None and time != case["time"]):
        fail("probe: the client challenge or time given did not reach the message")
print("NTLM pieces: %d users, passwords, target names and target information" % len(cases))

# Through glyphhost, whole catalogue calls in both builds.
for build in ("wide", "byte"):
    cases, lines = [], []
    for _ in range(60):
        case = random_case(build == "wide")
        if build == "byte":  # the byte build's characters are bytes
            for key in ("user", "password", "workstation"):
                case[key] = "".join(c for c in case[key] if ord(c) < 0x100) or "x"
        cases.append(case)
        lines.append("NTLMresponse %s %s %s %s" % (
            base64.b64encode(case["message"]).decode(), host_codes(case["user"]),
            host_codes(case["password"]), host_codes(case["workstation"])))
    for case, got in zip(cases, run([glyphhost, "--build", build, "--value-only", "run", "-"], lines)):
        check_message("glyphhost " + build, case, base64.b64decode(got))
    print("NTLMresponse, %s build: %d calls" % (build, len(cases)))

    # CRAM-MD5: a name or password with a character above U+00FF is UTF-8
    # in the wide build; otherwise (and in the byte build) a byte each.
    lines, expected = [], []
    for _ in range(60):
        pool = LETTERS.strip() + "".join(LATIN1) + ("".join(WIDE) if build == "wide" else "")
        user, password = name(pool, 1, 30), name(pool, 1, 120)
        challenge = rng.randbytes(rng.randint(1, 150))
        form = [(s.encode("latin-1") if all(ord(c) < 0x100 for c in s) else s.encode("utf-8"))
                for s in (user, password)]
        lines.append("makeCRAMresponse %s %s %s" % (base64.b64encode(challenge).decode(), host_codes(user),
                                                       host_codes(password)))
        digest = hmac.new(form[1], challenge, hashlib.md5).hexdigest().encode()
        expected.append(base64.b64encode(form[0] + b" " + digest).decode())
    for line, got, want in zip(lines, run([glyphhost, "--build", build, "--value-only", "run", "-"], lines), expected):
        if got != want:
            fail("glyphhost %s: %s gave %s, not %s" % (build, line[:70], got, want))
    print("makeCRAMresponse, %s build: %d calls" % (build, len(lines)))

print("cross_check: %d failures" % len(failures))
sys.exit(1 if failures else 0)
