#!/usr/bin/env python3
"""Writes tests/unit/data/crc16_xmodem.txt: CRC-16/XMODEM vectors computed by
Python's binascii.crc_hqx, an implementation independent of ours.

Each line: initial value, CRC, data (hex; "-" for none).  The data are
pseudo-random, of lengths around every boundary the kernels care about.

    python3 tools/gen_crc16_vectors.py > tests/unit/data/crc16_xmodem.txt
"""
import binascii
import random

rng = random.Random(1021)
lengths = list(range(0, 70)) + [127, 128, 129, 255, 256, 257, 1000, 1023, 1024, 4099]
print("# initial crc data -- CRC-16/XMODEM by binascii.crc_hqx (tools/gen_crc16_vectors.py)")
for n in lengths:
    data = bytes(rng.getrandbits(8) for _ in range(n))
    for initial in (0x0000, rng.getrandbits(16)):
        crc = binascii.crc_hqx(data, initial)
        print("%04x %04x %s" % (initial, crc, data.hex() if data else "-"))
