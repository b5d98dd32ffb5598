#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into corpus/<target>/seed-*.

The seeds are small programs in each target's input format (see the
comments of fuzz_*.cpp); regression inputs (crash-*, leak-*, ...) sit beside
them and are never touched here.  Run it again after changing an input
format:  python3 fuzz/make_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(bytes(data))


# --- catalogue: setup byte, then steps --------------------------------------
# step: bit 0 instance; bits 1-3: 0 connect, 1 disconnect, 2 unknown message,
# 3 round trip (pair byte, binary value), 4-6 call, 7 authentication (how byte:
# bit 0 CRAM-MD5 else NTLM, bit 1 keeps the input's NTLM signature and type,
# bit 2 a failing allocation; the challenge's length byte and bytes, then the
# names as text values without their how byte).  call: function byte (< 0xF0: number % 41), shape byte (bits 0-2
# parameters, bits 3-4 count mode, bit 5 failing allocation), parameters.
# parameter: how byte (bits 0-1: 0 number, 1-2 text, 3 binary; bit 4 the
# previous result; bit 6 a named field's name, bit 7 which), then its value:
# text/binary = length, repeat-1, content.

CALL0, CALL1 = 0x08, 0x09
ROUND_TRIP = 0x06
AUTH = 0x0E


def text(s, repeat=1, wide_codes=None):
    body = list(s.encode("latin-1")) if wide_codes is None else wide_codes
    return [0x01, len(s) if wide_codes is None else len(s), repeat - 1] + body


def binary(bs, repeat=1):
    return [0x03, len(bs), repeat - 1] + list(bs)


NUMBERS = {0: 0, 1: 1, -1: 2, 2: 3, 16: 8, 65537: 13, 3.99: 23, "nan": 24}


def number(n):
    return [0x00, NUMBERS[n]]  # an index into the fuzzer's table of numbers


PREVIOUS = [0x10]
FIELD, OTHER_FIELD = [0x40], [0xC0]  # the names of the two named fields
FILE = [0x20]  # the name of a small file the fuzzer made


def call(function, params, instance=0, fail_at=None):
    shape = len(params) | (0x20 if fail_at else 0)
    out = [CALL0 + instance] + (function if isinstance(function, list) else [function]) + [shape]
    for p in params:
        out += p
    if fail_at:
        out.append(fail_at - 1)
    return out


# The challenge message of the NTLMv2 example, target name "DOMAIN".
NTLM_CHALLENGE = bytes.fromhex(
    "4e544c4d53535000020000000c000c003000000033828ae20123456789abcdef0000000000000000240024003c000000"
    "44004f004d00410049004e0002000c0044006f006d00610069006e0001000c0053006500720076006500720000000000")


def names(*values):
    out = []
    for v in values:
        out += text(v)[1:]
    return out


def auth_cram(challenge, user, password):
    return [AUTH, 0x01, len(challenge)] + list(challenge) + names(user, password)


def auth_ntlm(message, user, password, workstation, fail_at=None):
    head = [AUTH, 0x02 | (0x04 if fail_at else 0), len(message) - 48 if len(message) >= 48 else 0]
    body = list(message) if len(message) >= 48 else list(message) + [0] * (48 - len(message))
    return head + body + names(user, password, workstation) + ([fail_at - 1] if fail_at else [])


def catalogue_seeds():
    seeds = {
        "hex": [0] + call(5, [text("a b&c%2x\r\n")]) + call(6, [text("a%20b+c%4A")]) +
               call(31, [binary(b"\x00\xab\xff")]) + call(32, [text("00abFFx")]),
        "base64": [0] + call(7, [text("Man")]) + call(8, [PREVIOUS]) + call(8, [text("TW\r\nFu==")]),
        "digests": [0] + call(9, [text("abc")]) + call(33, [binary(b"abc")]) + call(36, [text("abc")]) +
                   call(37, [text("abc"), number(0)]) + call(38, [binary(b"\x00" * 200)]) +
                   call(37, [FILE, number(1)]) + call(38, [FILE, number(1)]) + call(38, [text("nofile"), number(1)]),
        "binary": [0] + call(4, [text("AB")]) + call(11, [text("ab"), binary(b"\x01\x02"), text("c")]) +
                  call(26, [binary(b"\x01\x02\x03\x04\x05"), number(2), number(1)]) + call(26, [text("abcd"), number(3.99)]) +
                  call(27, [binary(b"\x01\x02\x03"), number(0)]) + call(28, [text("123456789"), number(1)]),
        "blowfish": [1] + call(17, [text("x")]) + call(16, [text("key")]) + call(19, [text("secret")]) +
                    call(20, [PREVIOUS]) + call(16, [text("other")], instance=1) + call(17, [binary(b"12345678")]) +
                    call(18, [PREVIOUS]) + call(18, [PREVIOUS], instance=1),
        "lifecycle": [1, 0x02, CALL0, 9, 0, 0x00, 0x10, 0x04, 0x03] + call(16, [text("k")], fail_at=1) +
                     call([0xF0, 0x01, 0x00, 0x01, 0x00], [text("65537 is 1")]) +
                     call(39, []) + call(24, [number("nan")]) + [0x01],
        "large": [0] + call(7, [binary(b"0123456789abcdef", repeat=64)]) +
                 call(8, [text("QUJD", repeat=64)]) + call(5, [text("%%&&  ", repeat=64)]) +
                 call(19, [text("x", repeat=64)]),
        "roundtrip": [0] + [ROUND_TRIP, 0] + binary(b"\x00\xffab", repeat=7)[1:] + [ROUND_TRIP, 1] + binary(b"xyz")[1:] +
                     call(16, [text("key")]) + [ROUND_TRIP, 2] + binary(b"12345678")[1:] +
                     [ROUND_TRIP, 3] + binary(b"abcdefghijklmnopq", repeat=40)[1:],
        "auth": [0] + auth_cram(b"<1896.697170952@postoffice.reston.mci.net>", "tim", "tanstaaftanstaaf") +
                call(34, []) + auth_ntlm(NTLM_CHALLENGE, "User", "Password", "COMPUTER") +
                auth_ntlm(NTLM_CHALLENGE[:30], "u", "p", "w") +
                auth_ntlm(NTLM_CHALLENGE[:12] + b"\xff\xff" + NTLM_CHALLENGE[14:], "u", "p", "w", fail_at=1),
        "failures": [0] + call(5, [text("abc def")], fail_at=1) + call(8, [text("TWFu")], fail_at=2) +
                    call(16, [text("key")]) + call(19, [text("data")], fail_at=2),
    }
    # Named fields (setup bit 1): "field" holds a,b,'c,d',"e"; the other, f + "g", holds x,y.
    seeds["text"] = ([0x02, ord("g"), 0x00, 3, 0] + list(b"x,y") +
                     call(1, [FIELD, text(",")]) + call(1, [FIELD, text(","), number(0), number(1)]) +
                     call(1, [FIELD, text(","), number(-1), number(1)]) + call(1, [OTHER_FIELD, text("x")], fail_at=3) +
                     call(24, [number(2), text("x,'a,b',y"), text(","), number(1)]) +
                     call(24, [number(65537), text("ab;", repeat=64), text(";")], fail_at=2) +
                     call(25, [text("c"), text("a,'b,c',c"), text(","), number(1)]) +
                     call(3, [text("aab"), text("aaab", repeat=20)]) + call(2, [text("\x00a\x00")]) +
                     call(21, [text("C:\\dir\\f.txt")]) + call(22, [text("C:\\dir\\f.txt")]) +
                     call(23, [text("  a-b  c  "), text("-"), number(1), number(0), number(1)]) +
                     call(12, [text("-12.5x")]) + call(13, [text("x-12.5")]) + call(14, [text(".5.")]) +
                     call(15, [text("a1.2.3"), number(1)]) +
                     call(29, [text("aaa bbb ccc\r\n\r\nddd\teeeeeeeeeeeeee"), text("> "), text("\r\n"), number(16)]) +
                     call(29, [text("\n", repeat=64), text(""), text("\n"), number(16)], fail_at=2) +
                     call(30, [text("a\rb\r\nc"), text("\n")]) + call(30, [text("a\nb"), text("\n")]))
    for name, data in seeds.items():
        write("catalogue_byte", name, data)
        write("catalogue_wide", name, data)
    # Wide texts with codes of every kind: bytes >= 0xE0 introduce longer codes.
    wide = [0] + call(7, [[0x01, 6, 0, 0x41, 0xE0, 0xAC, 0x20, 0xF0, 0x00, 0xF1, 0xF2, 0x00, 0x00, 0x11, 0x00, 0x00]])
    wide += call(31, [PREVIOUS]) + call(9, [[0x01, 3, 0, 0x61, 0xE0, 0x00, 0x01, 0x62]])
    write("catalogue_wide", "codes", wide)


# --- pure functions ---------------------------------------------------------

def pure_seeds():
    write("base64", "rfc4648", struct.pack("<H", 0) + b"Zm9vYmFy")
    write("base64", "capacity", struct.pack("<H", 0x8000 | 4) + b"  TWFuIGlzIGRpc3Rpbmd1aXNoZWQs\r\nIG5vdA==")
    write("base64", "long", struct.pack("<H", 1) + b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/" * 3 + b"=x")
    write("percent", "bytes", b"\x01" + b"a b&c%2x%4a+\r\n100%\xe9")
    write("percent", "wide", b"\x02" + b"%4\xfe\x00\x41x%\xff\xac\x20\x00\x00\r")
    write("hex", "digits", b"00abFF0x zz1")
    write("hex", "odd", b"abc")
    write("charcodec", "mixed", b"abc\xe9\xf0\x00\x01\xf3\xac\x20\xf8\xf9\x05\xfa\x00\xd8\x00\x00" + b"x" * 40)
    write("charcodec", "ascii", b"The quick brown fox jumps over the lazy dog 0123456789")
    write("crc16", "check", struct.pack("<HH", 0, 4) + b"123456789")
    write("crc16", "long", struct.pack("<HH", 0xFFFF, 100) + bytes(range(256)))
    write("blowfish", "text", b"\x03key" + b"%41%42%4a%zz%4")
    write("blowfish", "nul", b"\x08abcdefgh" + b"%00\x00%41" + b"0123456789abcdef")
    # Enough blocks for the widest ECB kernel's steps and a tail.
    write("blowfish", "many-blocks", b"\x10sixteen byte key" + bytes((i * 131 + (i >> 3)) & 0xFF for i in range(1000)))
    # fuzz_text: selector, parameter, then characters picked from its alphabet.
    alphabet = [",", ",", ";", ":", '"', "'", " ", " ", "0", "7", "9", ".", "-", "a", "a", "b",
                "Z", "\\", "\r", "\n", "\t", "\x00", "\xe9", "!"]
    pick = lambda text: bytes(8 * alphabet.index(c) + 1 for c in text)
    write("text", "parts", bytes([0x08, 0]) + pick(",") + pick("a,'a,b',b,\"\",'") )
    write("text", "parts-wide", bytes([0x0C, 1]) + pick("::") + pick("a::b:::'::'::") + bytes([0, 8, 16]))
    write("text", "small", bytes([0x09 | 0x10, 2 + 8]) + pick("aa") + pick("-") + pick("  a-b  \\Z\\aaa\x00 "))
    write("text", "numbers", bytes([0x0A, 0x81]) + pick("-7.9a9.0"))
    write("text", "lines", bytes([0x0B, 0]) + pick("a") + pick("aaa bbb ab\r\n\r\nb\ta abababababab a"))
    write("text", "lines-wide", bytes([0x07 | 0x10, 5]) + pick("a\nb\rZ   ab\tb") + bytes([0, 16, 24, 0]))
    # fuzz_token_search: shape (token length, width), alphabet, token, text.
    write("token_search", "periodic", bytes([5, 1]) + bytes([0, 1, 0, 1, 0, 0]) + bytes([0, 1] * 40 + [0, 0]))
    write("token_search", "wide", bytes([0x83, 0]) + b"ab\xffa" + b"xxab\xffab\xffaab\xff" * 4)
    for i, name in enumerate(["md4", "md5", "sha1", "sha256", "sha512"]):
        cuts = bytes([3]) + struct.pack("<HHH", 1, 64, 63) + bytes(10)
        write("digest", name, bytes([i]) + cuts + b"abc" * 50)
    # NTLM: control byte (bit 0: force the signature and type), challenge message.
    write("ntlm", "example", b"\x00" + NTLM_CHALLENGE)
    write("ntlm", "stamp", b"\x06" + NTLM_CHALLENGE[:40] + bytes.fromhex("0c000c003c000000") +
          NTLM_CHALLENGE[48:60] + bytes.fromhex("0700080001020304050607080000000000"))
    write("ntlm", "lying", b"\x01" + NTLM_CHALLENGE[:12] + bytes.fromhex("ffff0000ffffffff") + NTLM_CHALLENGE[20:])
    write("ntlm", "short", b"\x01" + NTLM_CHALLENGE[:47])


# --- hostile host: setup byte, then messages ---------------------------------
# message: bit 0 instance, bits 1-2 (2: a call), bit 3 a failing allocation.
# call: function byte, shape byte (bits 0-2 parameters), parameters (kind
# byte: 0 number + table index, 1 text, 3 binary: length, repeat-1, content),
# then the answers: a length byte and the decision bytes (none: all honest).

def h_text(s, repeat=1):
    b = s.encode("latin-1")
    return [0x01, len(b), repeat - 1] + list(b)


def h_binary(bs, repeat=1):
    return [0x03, len(bs), repeat - 1] + list(bs)


def h_number(index):
    return [0x00, index]  # an index into the fuzzer's table: 0 -> 0, 1 -> 1, 4 -> 3, 5 -> 8


def h_int16(v):
    return [0x00, 0xC0] + list(struct.pack("<h", v))  # any 16-bit integer


def h_call(function, params, answers=(), instance=0):
    out = [0x04 | instance, function, len(params)]
    for p in params:
        out += p
    return out + [len(answers)] + list(answers)


def ntlm_type2():
    body = b"NTLMSSP\0" + struct.pack("<I", 2) + struct.pack("<HHI", 0, 0, 48)
    body += struct.pack("<I", 0x00008201) + bytes(range(1, 9)) + bytes(8) + struct.pack("<HHI", 0, 0, 48)
    import base64
    return base64.b64encode(body).decode()


def ntlm_type2_with_target():
    import base64
    return base64.b64encode(NTLM_CHALLENGE).decode()


def hostile_seeds():
    key = h_call(16, [h_text("key")])
    calls = {
        1: [h_text("field"), h_text(",")],
        2: [h_text("a\0b\0c")],
        3: [h_text("a"), h_text("banana")],
        4: [h_text("AB")],
        5: [h_text("a b&c%2x\r\n"), h_number(1)],
        6: [h_text("a%20b+c%4A\r\n"), h_number(1)],
        7: [h_binary(b"Man")],
        8: [h_text("TW\r\nFu==")],
        9: [h_text("abc")],
        10: [h_text("PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+"), h_text("tim"),
             h_text("tanstaaftanstaaf")],
        11: [h_text("ab"), h_binary(b"\x01\x02"), h_text("c")],
        12: [h_text("  -12.5abc 34"), h_number(0)],
        13: [h_text("abc -34"), h_number(1)],
        14: [h_text("-12.5e3x"), h_number(0)],
        15: [h_text("x 3.25"), h_number(0)],
        16: [h_text("key")],
        21: [h_text("C:\\dir\\file.txt")],
        22: [h_text("C:\\dir\\file.txt")],
        23: [h_text(" a-b c! "), h_text("-"), h_number(1), h_number(0), h_number(1)],
        24: [h_number(4), h_text('a,"b,c",d'), h_text(","), h_number(1)],
        25: [h_text("b"), h_text("a,b,c"), h_text(",")],
        26: [h_binary(b"\x01\x02\x03\x04\x05"), h_number(1), h_number(1)],
        27: [h_text("\x01\x02\x03"), h_number(0)],
        28: [h_text("123456789"), h_number(1)],
        29: [h_text("the quick brown fox jumps"), h_text("> "), h_text("\r\n"), h_int16(12)],
        30: [h_text("a\rb\nc\r\n"), h_text("\n")],
        31: [h_binary(b"\x00\xab\xff")],
        32: [h_text("00abFFx")],
        33: [h_text("abc")],
        34: [],
        35: [h_text(ntlm_type2()), h_text("user"), h_text("password"), h_text("WKS")],
        36: [h_text("abc")],
        37: [h_text("abc"), h_number(0)],
        38: [h_binary(bytes(200)), h_number(0)],
    }
    for f in (17, 18, 19, 20):
        calls[f] = [h_text("attack at dawn")]
    for f, params in calls.items():
        data = [0] + (key if 17 <= f <= 20 else []) + h_call(f, params)
        if f in (18, 20):  # decrypt what the encryption before gave
            data = [0] + key + h_call(f - 1, params) + h_call(f, params)
        write("hostile_wide", "f%02d" % f, data)
        write("hostile_byte", "f%02d" % f, data)
    # Mistakes: blocks with lying counts, unterminated texts, odd numbers.
    lies = {
        "block-count": h_call(7, [h_binary(b"abcdef")], answers=[0, 0, 0, 0, 0, 0, 0xC3, 5]),
        "block-small": h_call(31, [h_binary(b"abcdef")], answers=[0, 0, 0, 0, 0xC2, 2]),
        "block-taken": h_call(5, [h_text("a b")], answers=[0, 0, 0, 0, 0xC1]),
        "text-open": key + h_call(16, [h_text("k" * 40)], answers=[0, 0, 0, 0, 0xC2]),
        "count-nan": h_call(9, [h_text("abc")], answers=[0, 0xC1, 0]),
        "package-any": h_call(9, [h_text("abc")], answers=[0xC1, 0x01, 0x00, 0x01, 0x00]),
        "kind-any": h_call(28, [h_binary(b"123456789")], answers=[0, 0, 0, 0, 0, 0, 0xC2, 0x0F, 0x00]),
    }
    for name, call in lies.items():
        write("hostile_wide", name, [0] + call)
        write("hostile_byte", name, [0] + call)
    # Paths the calls above do not take: lines cut in their window and an
    # output block that grows (wrapLinesWith), a text whose breaks are
    # already the asked ones (setLinebreaks), parts by number and in quotes
    # (splitstring, indexOfPart), an NTLM challenge with a target name and
    # information.
    paths = {
        "f29-window": h_call(29, [h_text("the quick brown fox jumps over the lazy dog ", 4), h_text(""),
                                  h_text("\n"), h_int16(10)]),
        "f29-growth": h_call(29, [h_text("\r\n", 60), h_text("> "), h_text("\r\n"), h_int16(40)]),
        "f30-same": h_call(30, [h_text("a\r\nb\r\n"), h_text("\r\n")]),
        "f01-part": h_call(1, [h_text("field"), h_text(","), h_number(3), h_number(1)]),
        "f01-quoted": h_call(1, [h_text("field"), h_text(","), h_number(0), h_number(1)]) +
                      h_call(1, [h_text("field"), h_text(","), h_number(0), h_number(1)]),
        "f25-quoted": h_call(25, [h_text("c,d"), h_text('a,"c,d",e'), h_text(","), h_number(1)]),
        "f35-target": h_call(35, [h_text(ntlm_type2_with_target()), h_text("User"), h_text("Password"),
                                  h_text("COMPUTER")]),
    }
    for name, call in paths.items():
        write("hostile_wide", name, [0] + call)
        write("hostile_byte", name, [0] + call)


catalogue_seeds()
pure_seeds()
hostile_seeds()
