#!/usr/bin/env python3
"""What makes up a program file, from a linker map:
   map-contributors.py PROGRAM.exe [N] [MAP]
Prints one table row: the file's size and the N largest contributors (object
files and library members, by the bytes of code and data they put into the
program after unused sections were dropped). MAP defaults to the map beside
the program. In a map of a program optimised at link time as one unit, made
with a section for each function (QUILLON_SIZE_MAP), each function is put
down to the source file that defines it, as gcc-nm reads the build's object
files; what no single file defines (the C++ library's templates) and the
texts and tables of the whole program are counted apart."""
import collections
import glob
import os
import re
import subprocess
import sys

program = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 5
map_path = sys.argv[3] if len(sys.argv) > 3 else os.path.splitext(program)[0] + ".map"
build = os.path.dirname(os.path.dirname(os.path.abspath(map_path)))


def owners():
    """Symbol -> the one object file of ours that defines it (None: several)."""
    found = {}
    nm = None
    for tool in ("x86_64-w64-mingw32-gcc-nm", "i686-w64-mingw32-gcc-nm"):
        nm = nm or (tool if subprocess.run(["which", tool], capture_output=True).returncode == 0 else None)
    if nm is None:
        return found
    files = glob.glob(os.path.join(build, "**", "*.a"), recursive=True) + \
        glob.glob(os.path.join(build, "**", "*.obj"), recursive=True)
    for path in files:
        out = subprocess.run([nm, "--defined-only", path], capture_output=True, text=True).stdout
        member = os.path.basename(path)
        for line in out.splitlines():
            if line.endswith(":"):
                member = line[:-1]
                continue
            parts = line.split()
            if len(parts) == 3 and parts[1] in "TtDdRrBb":
                name = re.sub(r"\.cpp\.obj$", ".cpp", member)
                symbol = parts[2].lstrip("_")
                found[symbol] = name if found.get(symbol, name) == name else None
    return found


source_texts = None


def local_owner(symbol):
    """The source file of a function of ours that only its own file sees (in
    an unnamed namespace, which gcc-nm does not list): the one file of the
    project that names it."""
    global source_texts
    demangled = subprocess.run(["c++filt", "_" + symbol], capture_output=True, text=True).stdout.strip()
    if not demangled.startswith("quillon::") and "(anonymous namespace)" not in demangled:
        return None
    scope = demangled.split("(", 1)[0].replace("(anonymous namespace)::", "").split("::")
    words = [w for w in scope if w and w != "quillon" and not w.startswith("{")]
    if len(words) < 2:
        return None
    identifier = re.sub(r"[^\w].*", "", words[1])
    if source_texts is None:
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        source_texts = {path: open(path, encoding="utf-8").read()
                        for folder in ("registry", "settings", "net", "text", "ui")
                        for path in glob.glob(os.path.join(root, folder, "**", "*.cpp"), recursive=True)}
    files = [path for path, text in source_texts.items() if re.search(r"\b" + re.escape(identifier) + r"\b", text)]
    return os.path.basename(files[0]) if len(files) == 1 else None


sizes = collections.Counter()
symbol_owner = None
in_map = False
pending = None
with open(map_path, encoding="utf-8", errors="replace") as lines:
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
        if not section or section.startswith(".debug"):
            continue
        name = os.path.basename(source)
        if ".ltrans" in name:
            if "$" not in section:
                name = "texts and tables"
            else:
                if symbol_owner is None:
                    symbol_owner = owners()
                symbol = section.split("$", 1)[1].lstrip("_").split(".", 1)[0]
                name = symbol_owner.get(symbol) or local_owner(symbol) or "C++ library and shared code"
        name = re.sub(r"\.cpp\.obj\)$", ".cpp)", name)
        sizes[name] += int(size, 16)
largest = ", ".join(f"{name} {size / 1024:.1f}" for name, size in sizes.most_common(count))
kib = os.path.getsize(program) / 1024
print(f"| Program file {os.path.basename(program)} (KiB; largest parts, KiB) | {kib:.1f} | {largest} | |")
