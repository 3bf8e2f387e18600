#!/usr/bin/env python3
"""Holds the result codes' documentation to the one table of their meanings.

The table is ROOT/tools/bidiprobe/result_codes.json, which bidiprobe compiles in. For each of
its groups: the group's header defines exactly the group's codes, under the same names and
values; and the group's page has a code table (a table whose first column is headed "Code")
with one row for each of the group's codes, in the form `8463 (0x210F)`, `1`, `0x30000 + status`
or `` `BIDI_OK` (0) ``, whose meaning begins with the table's sentence (the page may say more
after it). Besides, no constant anywhere in ROOT's sources may give a code of the shared or the
modules' ranges (0x2000-0x2FFF) a value the table does not hold. Prints each problem and fails
on any.
    check_codes.py ROOT
"""
import json
import re
import sys
from pathlib import Path

# `#define BIDI_OK ((LONG)0)` and `constexpr LONG kNoMore = 1;` (or std::int32_t).
DEFINE = re.compile(r"^\s*#define\s+(BIDI_[A-Z_]+)\s+\(\(LONG\)\s*(-?\w+)\)")
CONSTANT = re.compile(r"^\s*constexpr\s+(?:LONG|std::int32_t)\s+(k\w+)\s*=\s*(-?\w+)\s*;")
ROW = re.compile(r"^\s*\|(.*)\|\s*$")
# Code cells: "8463 (0x210F)", "1", "0x30000 + status", "`BIDI_ERR_FAILED` (-1)".
NUMBERED = re.compile(r"^(-?\d+) \((0x[0-9A-F]+)\)$")
PLAIN = re.compile(r"^(-?\d+)$")
PLUS = re.compile(r"^(0x[0-9A-F]+) \+ [a-z-]+$")
NAMED = re.compile(r"^`(\w+)` \((-?(?:0x[0-9A-F]+|\d+))\)$")
SOURCE_SUFFIXES = {".h", ".cpp", ".c"}


def as_long(text):
    """A code as the LONG it travels as: 0x80000003 is -2147483645."""
    value = int(text, 0) & 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


def header_codes(path):
    codes = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        match = DEFINE.match(line) or CONSTANT.match(line)
        if match:
            codes[match.group(1)] = as_long(match.group(2))
    return codes


def code_tables(path):
    """The rows (line number, code cell, meaning cell) of each table headed "Code"."""
    rows, in_table = [], False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        match = ROW.match(line)
        if not match:
            in_table = False
            continue
        cells = [cell.strip() for cell in match.group(1).split("|")]
        if cells[0] == "Code":
            in_table = True
        elif in_table and not set(cells[0]) <= set("-: "):
            rows.append((number, cells[0], "|".join(cells[1:]).strip()))
    return rows


def row_code(cell, names):
    """The code a row's first cell gives, or None when it is none of the forms."""
    for form in (NUMBERED, PLAIN, PLUS, NAMED):
        match = form.match(cell)
        if not match:
            continue
        if form is NUMBERED and as_long(match.group(1)) != as_long(match.group(2)):
            return None
        if form is NAMED:
            return names.get(match.group(1)) if names.get(match.group(1)) == as_long(
                match.group(2)) else None
        return as_long(match.group(1))
    return None


def check_group(root, group, problems):
    entries = {as_long(e["code"]): e for e in group["codes"]}
    names = {e["name"]: as_long(e["code"]) for e in group["codes"]}
    header = root / group["header"]
    defined = header_codes(header)
    if defined != names:
        for name in sorted(set(defined) | set(names)):
            if defined.get(name) != names.get(name):
                problems.append(f"{group['header']}: {name} is {defined.get(name)} there, "
                                f"{names.get(name)} in the table")
    page = group["docs"]
    seen = set()
    for number, cell, meaning in code_tables(root / page):
        code = row_code(cell, names)
        if code not in entries:
            problems.append(f"{page}:{number}: {cell}: not a code of {group['owner']} "
                            f"in the table")
            continue
        seen.add(code)
        if not meaning.startswith(entries[code]["meaning"]):
            problems.append(f"{page}:{number}: {cell}: the meaning does not begin with the "
                            f"table's \"{entries[code]['meaning']}\"")
    for code in sorted(set(entries) - seen):
        problems.append(f"{page}: no row for {entries[code]['name']} ({entries[code]['code']})")


def check_stray_constants(root, codes, problems):
    """A constant of the codes' range in any source must be one of the table's codes."""
    for folder in ("include", "src", "modules", "tools"):
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES:
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                match = CONSTANT.match(line)
                if not match or not re.fullmatch(r"-?(0x[0-9A-Fa-f]+|\d+)", match.group(2)):
                    continue
                value = as_long(match.group(2))
                if 0x2000 <= value <= 0x2FFF and value not in codes:
                    problems.append(f"{path.relative_to(root)}:{number}: {match.group(1)} = "
                                    f"{match.group(2)} is no code of the table")


def main(root):
    root = Path(root)
    table = json.loads((root / "tools/bidiprobe/result_codes.json").read_text(encoding="utf-8"))
    problems = []
    codes = set()
    for group in table["groups"]:
        check_group(root, group, problems)
        codes.update(as_long(e["code"]) for e in group["codes"])
    check_stray_constants(root, codes, problems)
    for problem in problems:
        print(problem)
    print(f"check-codes: {len(problems)} problems" if problems else
          f"check-codes: {len(codes)} codes, each documented as the table says")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
