"""A stand-in for a build and its tests, over core/sample.cpp, for the
mutation tool's end-to-end test: no compiler needed.

    python3 check.py build   fails when count_spaces() holds a negated condition
    python3 check.py test    fails when clamp() changed; hangs when fill()
                             returns at once
"""
import sys
import time

CLAMP = """int clamp(int x, int low, int high) {
    if (x < low) return low;
    if (x > high) return high;
    return x;
"""

source = open("core/sample.cpp", encoding="utf-8").read()
if sys.argv[1] == "build":
    sys.exit(1 if "!(s[i]" in source else 0)
start = source.index("int clamp(")
clamp = source[start:source.index("}", start)]
if clamp != CLAMP:
    sys.exit(1)
if "const char *text) { return;" in source:
    time.sleep(30)
sys.exit(0)
