#!/usr/bin/env python3
"""What makes up a program file, from the linker map beside it:
   map-contributors.py PROGRAM.exe [N]
Prints one table row: the file's size and the N largest contributors (object
files and library members, by the bytes of code and data they put into the
program after unused sections were dropped)."""
import collections
import os
import re
import sys

program = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 5
sizes = collections.Counter()
in_map = False
pending = None
with open(os.path.splitext(program)[0] + ".map", encoding="utf-8", errors="replace") as lines:
    for line in lines:
        if line.startswith("Linker script and memory map"):
            in_map = True
            continue
        if not in_map:
            continue
        # An input section: " .text$name  0xADDRESS  0xSIZE  file", the name
        # alone on a line when it is long.
        alone = re.match(r"^ (\.[\w.$]+)\s*$", line)
        if alone:
            pending = alone.group(1)
            continue
        whole = re.match(r"^ (\.[\w.$]+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)", line)
        rest = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)", line) if pending else None
        section, size, source = (whole.groups() if whole else (pending, *rest.groups()) if rest else (None,) * 3)
        pending = None
        if section and not section.startswith(".debug"):
            name = os.path.basename(source)
            name = re.sub(r"\.cpp\.obj\)$", ".cpp)", name)
            sizes[name] += int(size, 16)
largest = ", ".join(f"{name} {size / 1024:.1f}" for name, size in sizes.most_common(count))
kib = os.path.getsize(program) / 1024
print(f"| Program file {os.path.basename(program)} (KiB; largest parts, KiB) | {kib:.1f} | {largest} | |")
