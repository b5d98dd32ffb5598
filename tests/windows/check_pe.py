#!/usr/bin/env python3
"""Checks a shipped DLL from the file itself, without any Windows loader.

  check_pe.py --arch x86|x64 --build wide|byte --version X.Y.Z --source DIR DLL

- the file is a DLL for the architecture;
- the export table holds glyphHerder only, undecorated (no glyphHerder@24, no
  leading underscore, no catalogue data);
- every imported DLL is part of Windows, nothing is delay-loaded, and the
  memory blocks and the beep are kernel32's: the global memory the host
  shares;
- the string table holds, in language 1033, exactly the strings 12061 to
  12099: the catalogue made from resources/catalogue.def, the group name after
  an asterisk last;
- the raw-data resource Q7INF (language 1033) is the 14-byte descriptor;
- the version resource names the product, the version, the file and the host.

This is what the host reads before it runs any code of the library, and it
is checked on every machine, also where the x86 DLLs cannot be run.  Prints
each fault found; exit status 1 if there is one.
"""
import argparse
import os
import re
import struct
import sys

import pefile

MACHINES = {"x86": 0x14C, "x64": 0x8664}
LANGUAGE = 1033  # English (United States): what the host asks for
RT_STRING = 6
RT_RCDATA = 10
SYSTEM_DLL = re.compile(
    r"(kernel32|user32|advapi32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll", re.I)
KERNEL32_NEEDED = ["GlobalAlloc", "GlobalReAlloc", "GlobalSize", "GlobalLock",
                   "GlobalUnlock", "GlobalFree", "Beep"]


def expected_catalogue(source):
    """{string id: text}, read from the catalogue table and its header."""
    with open(os.path.join(source, "resources", "catalogue.h"), encoding="utf-8") as f:
        header = f.read()
    group = re.search(r'#define GH_GROUP_NAME "([^"]*)"', header).group(1)
    library = re.search(r'#define GH_LIBRARY_NAME "([^"]*)"', header).group(1)
    first = int(re.search(r"GH_CATALOGUE_FIRST_ID = (\d+)", header).group(1))

    row = re.compile(r'GH_FUNCTION\(\s*(\d+),\s*(\w+),\s*"([^"]*)",\s*(\d+),\s*[01]\)')
    strings = {}
    with open(os.path.join(source, "resources", "catalogue.def"), encoding="utf-8") as f:
        for line in f:
            m = row.match(line)
            if not m:
                continue
            number, name, params, reference = m.groups()
            text = f"{name}({params}):{reference}"
            if int(number) == 1:
                text = f"{group}~{text}"
            if int(number) != len(strings) + 1:
                raise SystemExit(f"catalogue.def: row {number} out of order")
            strings[first + int(number) - 1] = text
    strings[first + len(strings)] = "*" + library
    return first, strings


def resources(pe, type_id):
    """[(name or id, language, bytes)] of one resource type."""
    found = []
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id != type_id:
            continue
        for name_entry in type_entry.directory.entries:
            key = str(name_entry.name) if name_entry.name is not None else name_entry.id
            for lang_entry in name_entry.directory.entries:
                data = lang_entry.data.struct
                found.append((key, lang_entry.id,
                              pe.get_data(data.OffsetToData, data.Size)))
    return found


def string_table(block_id, data):
    """{string id: text} of one string-table block (16 counted UTF-16 strings)."""
    strings = {}
    at = 0
    for index in range(16):
        (count,) = struct.unpack_from("<H", data, at)
        at += 2
        if count:
            strings[(block_id - 1) * 16 + index] = data[at:at + 2 * count].decode("utf-16-le")
        at += 2 * count
    return strings


def check(args):
    faults = []
    pe = pefile.PE(args.dll)
    name = os.path.basename(args.dll)

    if pe.FILE_HEADER.Machine != MACHINES[args.arch] or not pe.is_dll():
        faults.append(f"not an {args.arch} DLL (machine {pe.FILE_HEADER.Machine:#x})")

    exports = []
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        exports = [(s.name.decode() if s.name else f"#{s.ordinal}", s.forwarder)
                   for s in pe.DIRECTORY_ENTRY_EXPORT.symbols]
    if exports != [("glyphHerder", None)]:
        faults.append(f"exports {exports}, not glyphHerder alone")

    imports = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        imports[entry.dll.decode()] = [i.name.decode() for i in entry.imports if i.name]
    if not imports:
        faults.append("no import table")
    for dll in imports:
        if not SYSTEM_DLL.fullmatch(dll):
            faults.append(f"imports {dll}, which is not a Windows system DLL")
    if getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", None):
        faults.append("has delay-loaded imports")
    kernel32 = next((v for k, v in imports.items() if k.lower() == "kernel32.dll"), [])
    missing = [f for f in KERNEL32_NEEDED if f not in kernel32]
    if missing:
        faults.append(f"does not import {missing} from KERNEL32.dll")

    first, catalogue = expected_catalogue(args.source)
    strings = {}
    for block_id, language, data in resources(pe, RT_STRING):
        if language != LANGUAGE:
            faults.append(f"string block {block_id} in language {language}, not {LANGUAGE}")
            continue
        strings.update(string_table(block_id, data))
    for string_id in sorted(set(strings) | set(catalogue)):
        if strings.get(string_id) != catalogue.get(string_id):
            faults.append(f"string {string_id} is {strings.get(string_id)!r}, "
                          f"not {catalogue.get(string_id)!r}")

    marker = b"UFNC" if args.build == "wide" else b"7FNC"
    descriptor = marker + struct.pack("<H", first) + bytes(8)
    found = [(lang, data) for key, lang, data in resources(pe, RT_RCDATA) if key == "Q7INF"]
    if found != [(LANGUAGE, descriptor)]:
        faults.append(f"Q7INF is {found}, not [({LANGUAGE}, {descriptor!r})]")

    major, minor, patch = (int(n) for n in args.version.split("."))
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed or (fixed[0].FileVersionMS, fixed[0].FileVersionLS) != (
            major << 16 | minor, patch << 16):
        faults.append(f"fixed file version is not {args.version}")
    values = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                if table.LangID.decode().upper() == "040904B0":
                    values.update({k.decode(): v.decode() for k, v in table.entries.items()})
    wanted = {"ProductName": "glyphHerder", "ProductVersion": args.version,
              "FileVersion": args.version, "OriginalFilename": name}
    for key, value in wanted.items():
        if values.get(key) != value:
            faults.append(f"version value {key} is {values.get(key)!r}, not {value!r}")
    host = "Omnis Studio" if args.build == "wide" else "Omnis 7"
    if host not in values.get("FileDescription", ""):
        faults.append(f"FileDescription {values.get('FileDescription')!r} does not name {host}")

    for fault in faults:
        print(f"{name}: {fault}")
    if not faults:
        print(f"{name}: {args.arch}, exports glyphHerder, imports {sorted(imports)}, "
              f"strings {min(strings)}..{max(strings)}, Q7INF {marker.decode()}, "
              f"version {args.version}")
    return 1 if faults else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--arch", choices=sorted(MACHINES), required=True)
    parser.add_argument("--build", choices=["wide", "byte"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("dll")
    sys.exit(check(parser.parse_args()))


if __name__ == "__main__":
    main()
