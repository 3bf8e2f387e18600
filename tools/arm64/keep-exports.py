#!/usr/bin/python3
"""Leaves an image's export table with exactly the names of its export list (.def), in place.

Zig's libunwind marks its functions for export, so every ARM64 DLL and program that links it
would hand 25 unwinder functions to the world beside its own. The linker has no switch against
exports that objects ask for themselves, so the table is rewritten after the link: the kept
names, their ordinal table and the function table compacted to the kept entries (nothing is left
reachable by ordinal either), the dropped names' strings blanked.

  keep-exports.py IMAGE [DEF]      without DEF, an image (a program) that exports nothing
"""
import re
import sys

import pefile


def def_names(path):
    names = []
    with open(path) as f:
        for line in f:
            match = re.fullmatch(r'\s+([A-Za-z_][A-Za-z0-9_]*)\s*', line.rstrip('\n'))
            if match:
                names.append(match.group(1))
    return names


def main(image, def_path=None):
    keep = set(def_names(def_path)) if def_path else set()
    pe = pefile.PE(image)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_EXPORT']]
    exports = getattr(pe, 'DIRECTORY_ENTRY_EXPORT', None)
    if exports is None:
        if keep:
            sys.exit(f'keep-exports: {image} exports nothing, not the {len(keep)} names of {def_path}')
        return
    table = exports.struct
    # The loader looks names up by binary search: they stay in byte order.
    kept = sorted((s.name.decode(), s.address) for s in exports.symbols
                  if s.name and s.name.decode() in keep)
    missing = keep - {name for name, _ in kept}
    if missing:
        sys.exit(f'keep-exports: {image} does not export {", ".join(sorted(missing))}')
    # The name strings of the dropped exports, blanked.
    for i in range(table.NumberOfNames):
        name_rva = pe.get_dword_at_rva(table.AddressOfNames + 4 * i)
        name = pe.get_string_at_rva(name_rva).decode()
        if name not in keep:
            pe.set_bytes_at_rva(name_rva, b'\0' * len(name))
    if not kept:
        directory.VirtualAddress = directory.Size = 0
    else:
        name_rvas = {}
        for i in range(table.NumberOfNames):
            name_rva = pe.get_dword_at_rva(table.AddressOfNames + 4 * i)
            name_rvas[pe.get_string_at_rva(name_rva).decode()] = name_rva
        # Name i is function i.
        for i in range(table.NumberOfFunctions):
            pe.set_dword_at_rva(table.AddressOfFunctions + 4 * i, 0)
        for i in range(table.NumberOfNames):
            pe.set_dword_at_rva(table.AddressOfNames + 4 * i, 0)
            pe.set_word_at_rva(table.AddressOfNameOrdinals + 2 * i, 0)
        for i, (name, address) in enumerate(kept):
            pe.set_dword_at_rva(table.AddressOfFunctions + 4 * i, address)
            pe.set_dword_at_rva(table.AddressOfNames + 4 * i, name_rvas[name])
            pe.set_word_at_rva(table.AddressOfNameOrdinals + 2 * i, i)
        table.NumberOfFunctions = table.NumberOfNames = len(kept)
    if pe.OPTIONAL_HEADER.CheckSum:
        pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    data = pe.write()
    pe.close()
    with open(image, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    if len(sys.argv) not in (2, 3):
        sys.exit('usage: keep-exports.py IMAGE [DEF]')
    main(*sys.argv[1:])
