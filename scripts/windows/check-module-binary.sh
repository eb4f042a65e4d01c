#!/usr/bin/env bash
# Checks plclink.dll from outside, as the host's loader sees it:
#  - exactly one export, VpiMain, undecorated;
#  - from KORVAN.dll the four host functions and nothing else;
#  - no DLL besides KORVAN.dll and system DLLs (the compiler's runtime is
#    linked in), and from those only functions that Windows XP SP3 exports:
#    each must be on the list in xp-imports.txt beside this script;
#  - OS and subsystem version 5.1 (Windows XP) in the PE header;
#  - a resource directory with dialog 101 and the version resource.
# Usage: check-module-binary.sh path/to/plclink.dll
set -euo pipefail
DLL=$1
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
ALLOWED=$(dirname "$0")/xp-imports.txt

"$OBJDUMP" -p "$DLL" | python3 -c '
import re, sys

allowed = set()
for line in open(sys.argv[1]):
    line = line.split("#", 1)[0].split()
    if len(line) == 2:
        allowed.add((line[0].lower(), line[1]))

text = sys.stdin.read()
problems = []

# Exports: the names of the [Ordinal/Name Pointer] table.
m = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s+\[\s*\d+\] \S+\n)*)", text)
exports = re.findall(r"\] (\S+)", m.group(1)) if m else []
print("exports:", " ".join(exports) or "(none)")
if exports != ["VpiMain"]:
    problems.append("exports must be exactly VpiMain, found %s" % exports)

# Imports per DLL.
imports = {}
for block in re.split(r"\n\s*DLL Name: ", text)[1:]:
    name, rest = block.split("\n", 1)
    members = []
    for line in rest.split("\n"):
        mm = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if mm:
            members.append(mm.group(1))
        elif line.strip() and not line.strip().startswith("vma:"):
            break
    imports[name.strip()] = members
for dll, members in imports.items():
    print("imports from %s: %s" % (dll, " ".join(members)))
host = {"err", "KorMkClient", "KorGetKorvanVer", "KorRmClient"}
korvan = set(imports.get("KORVAN.dll", []))
if not korvan <= host:
    problems.append("KORVAN.dll imports beyond the four: %s" % sorted(korvan - host))
if korvan != host:
    problems.append("KORVAN.dll imports must be the four host functions, found %s" % sorted(korvan))
system = {"kernel32.dll", "user32.dll", "msvcrt.dll", "version.dll", "ws2_32.dll", "advapi32.dll",
          "winmm.dll"}
for dll in imports:
    if dll != "KORVAN.dll" and dll.lower() not in system:
        problems.append("imports from a DLL that is neither KORVAN.dll nor a system DLL: %s" % dll)
for dll, members in imports.items():
    if dll == "KORVAN.dll":
        continue
    for member in members:
        if (dll.lower(), member) not in allowed:
            problems.append("%s!%s is not on the list of imports known to exist on Windows XP SP3 (xp-imports.txt)" % (dll, member))

# The oldest Windows the header admits: XP, 5.1.
header = dict(re.findall(r"^(M\w+Version)\s+(\d+)$", text, re.M))
versions = {k: header.get(k) for k in ("MajorOSystemVersion", "MinorOSystemVersion",
                                       "MajorSubsystemVersion", "MinorSubsystemVersion")}
print("header versions:", versions)
if versions != {"MajorOSystemVersion": "5", "MinorOSystemVersion": "1",
                "MajorSubsystemVersion": "5", "MinorSubsystemVersion": "1"}:
    problems.append("OS and subsystem versions must be 5.1, found %s" % versions)

# Resources: type 5 (dialog) holding id 101, type 16 (version) holding id 1.
m = re.search(r"The \.rsrc Resource Directory section:\n(.*?)\n\s*Resources start", text, re.S)
resources = {}
current = None
for line in (m.group(1).split("\n") if m else []):
    mm = re.match(r"[0-9a-f]+( +)Entry: ID: 0x([0-9a-f]+)", line)
    if not mm:
        continue
    depth, ident = len(mm.group(1)), int(mm.group(2), 16)
    if depth == 3:
        current = ident
        resources[current] = []
    elif depth == 5 and current is not None:
        resources[current].append(ident)
print("resources (type: ids):", resources)
if 101 not in resources.get(5, []):
    problems.append("no dialog resource 101")
if 1 not in resources.get(16, []):
    problems.append("no version resource")

for p in problems:
    print("FAIL:", p)
sys.exit(1 if problems else 0)
' "$ALLOWED"
