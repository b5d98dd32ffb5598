"""Checks that a 64-bit ARM library runs on any ARMv8 processor: the
instructions of the optional extensions (the SHA and AES/PMULL crypto
instructions, ARMv8.2's SHA-512 and SHA-3) appear only in the kernel paths
that are chosen where the kernel reports them.

    check_arm_extensions.py OBJDUMP LIBRARY
"""
import re
import subprocess
import sys

# The kernel paths' functions (demangled names, the file's own helpers
# included) that may hold such instructions.
ALLOWED = re.compile(r"sha1_blocks_armv8|sha256_blocks_armv8|sha512_blocks_armv8|crc16_(msb|lsb)_pmull|"
                     r"\(anonymous namespace\)::(fold|fold_lanes<(true|false)>|load_lane<(true|false)>)\(")
OPTIONAL = {
    "sha1c", "sha1p", "sha1m", "sha1h", "sha1su0", "sha1su1",
    "sha256h", "sha256h2", "sha256su0", "sha256su1",
    "sha512h", "sha512h2", "sha512su0", "sha512su1",
    "eor3", "rax1", "xar", "bcax",
    "aese", "aesd", "aesmc", "aesimc", "pmull", "pmull2",
}


def main():
    objdump, library = sys.argv[1:3]
    listing = subprocess.run([objdump, "-d", "-C", "--no-show-raw-insn", library],
                             check=True, capture_output=True, text=True).stdout
    function, seen, bad = "", set(), []
    for line in listing.splitlines():
        m = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
        if m:
            function = m.group(1)
            continue
        m = re.match(r"^\s+[0-9a-f]+:\s+(\S+)", line)
        if not m or m.group(1) not in OPTIONAL:
            continue
        seen.add(m.group(1))
        if not ALLOWED.search(function):
            bad.append(f"{m.group(1)} in {function}")
    if bad:
        print(f"{library}: instructions of optional extensions outside the kernel paths:")
        print("\n".join(sorted(set(bad))))
        return 1
    # The kernels are there at all (a check that reads nothing proves nothing).
    for needed in ("sha1c", "sha256h", "sha512h", "pmull"):
        if needed not in seen:
            print(f"{library}: no {needed} anywhere: the kernel paths are missing")
            return 1
    print(f"{library}: {len(seen)} kinds of optional instructions, all within the kernel paths")
    return 0


if __name__ == "__main__":
    sys.exit(main())
