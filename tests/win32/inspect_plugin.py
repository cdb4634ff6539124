#!/usr/bin/env python3
"""Checks what the editor sees of ZentrixTvn.xfm without running it: the
exports (names and ordinals), the DLLs it needs (system ones only) and the
resources (string table, dialog templates, the toolbar bitmap), from the
output of `objdump -p`.

usage: inspect_plugin.py OBJDUMP PLUGIN
"""
import re
import subprocess
import sys

EXPORTS = {"QueryXfm": 2, "XfmInit": 3, "XfmSetup": 4, "XfmDo": 5, "XfmDestroy": 6}
# DLLs every Windows installation has; the runtime must not add its own.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shlwapi.dll", "shell32.dll",
               "comctl32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "comdlg32.dll", "version.dll"}
DIALOGS = {1000, 1002, 1028, 1030, 1031, 1032}
# String ids the plug-in looks up; the table stores them in blocks of 16.
STRING_IDS = {1, 6, 17, 18, 1028, 1029, 1062, 1078}
RT_BITMAP, RT_DIALOG, RT_STRING = 2, 5, 6


def exports(text):
    base = re.search(r"Ordinal Base (\d+)", text)
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if not base or len(table) < 2:
        return {}
    found = {}
    for line in table[1].splitlines()[1:]:
        entry = re.match(r"\s*\[\s*(\d+)\]\s+(\S+)\s*$", line)
        if not entry:
            break
        found[entry.group(2)] = int(entry.group(1)) + int(base.group(1))
    return found


def resources(text):
    """{type: set of ids or names} from the resource directory listing."""
    listing = text.split("The .rsrc Resource Directory section:", 1)
    found = {}
    if len(listing) < 2:
        return found
    current = None
    for line in listing[1].splitlines():
        rest = line[3:]
        depth = len(rest) - len(rest.lstrip(" "))  # indentation after the 3-digit offset
        entry = re.search(r"Entry: (?:ID: 0x([0-9a-fA-F]+)|name: \[[^]]*\]: (\S+)),", line)
        if not entry:
            if line.strip() and not re.match(r"^[0-9a-f]{3}\s", line):
                break
            continue
        key = int(entry.group(1), 16) if entry.group(1) else entry.group(2)
        if depth == 3:
            current = key
            found.setdefault(current, set())
        elif depth == 5 and current is not None:
            found[current].add(key)
    return found


def main():
    objdump, plugin = sys.argv[1], sys.argv[2]
    text = subprocess.run([objdump, "-p", plugin], check=True, capture_output=True, text=True).stdout
    problems = []

    found = exports(text)
    if found != EXPORTS:
        problems.append(f"exports {sorted(found.items(), key=lambda e: e[1])}, expected {EXPORTS}")
    else:
        print("exports:   " + ", ".join(f"{name} @{ordinal}" for name, ordinal in EXPORTS.items()))

    dlls = sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", text)})
    foreign = [dll for dll in dlls if dll not in SYSTEM_DLLS]
    if foreign or not dlls:
        problems.append(f"imports DLLs that are not part of Windows: {foreign or 'none found at all'}")
    else:
        print("imports:   " + ", ".join(dlls))

    rsrc = resources(text)
    dialogs = {key for key in rsrc.get(RT_DIALOG, set()) if isinstance(key, int)}
    if not DIALOGS <= dialogs:
        problems.append(f"dialog templates {sorted(DIALOGS - dialogs)} missing (found {sorted(dialogs)})")
    blocks = rsrc.get(RT_STRING, set())
    missing_strings = sorted(i for i in STRING_IDS if i // 16 + 1 not in blocks)
    if missing_strings:
        problems.append(f"string table lacks the blocks of ids {missing_strings}")
    if "TOOLBARICON" not in rsrc.get(RT_BITMAP, set()):
        problems.append('bitmap "TOOLBARICON" missing')
    if not problems or all(not p.startswith(("dialog", "string", "bitmap")) for p in problems):
        print(f"resources: dialogs {sorted(dialogs)}, {len(blocks)} string blocks, bitmap TOOLBARICON")

    for problem in problems:
        print("FAIL " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
