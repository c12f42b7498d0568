#!/usr/bin/env python3
"""The VERSIONINFO resource of built Windows binaries, read from the files.

    version_resource_image_test.py VERSION PATH=FILENAME,INTERNALNAME...

Checks what version_resource_test reads through the system's version API,
without running Windows code (pefile parses the resource): the fixed part's
signature, file and product versions and file type (a DLL for *.dll, an
application for *.exe), and in the string table of the first language the
resource lists FileVersion and ProductVersion (VERSION), ProductName
("rodarove"), OriginalFilename, InternalName and a FileDescription.
"""
import os
import sys

import pefile

VFT_APP = 1
VFT_DLL = 2


def problems(path, file_name, internal_name, version):
    major, minor, patch = (int(part) for part in version.split("."))
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        return ["no version resource"]
    found = []

    def expect(what, got, wanted):
        if got != wanted:
            found.append(f"{what}: {got!r}, expected {wanted!r}")

    fixed = pe.VS_FIXEDFILEINFO[0]
    version_ms = major << 16 | minor
    version_ls = patch << 16
    expect("signature", hex(fixed.Signature), hex(0xFEEF04BD))
    expect("FileVersionMS", hex(fixed.FileVersionMS), hex(version_ms))
    expect("FileVersionLS", hex(fixed.FileVersionLS), hex(version_ls))
    expect("ProductVersionMS", hex(fixed.ProductVersionMS), hex(version_ms))
    expect("ProductVersionLS", hex(fixed.ProductVersionLS), hex(version_ls))
    expect("FileType", fixed.FileType, VFT_DLL if path.lower().endswith(".dll") else VFT_APP)

    # The first language of VarFileInfo\Translation picks the string table,
    # as VerQueryValue's callers do.
    translation = None
    tables = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"VarFileInfo":
            for var in info.Var:
                if b"Translation" in var.entry and translation is None:
                    language, code_page = var.entry[b"Translation"].split()[:2]
                    translation = f"{int(language, 16):04x}{int(code_page, 16):04x}"
        elif info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID.decode().lower()] = {
                    key.decode(): value.decode() for key, value in table.entries.items()}
    if translation is None:
        return found + ["no VarFileInfo\\Translation"]
    strings = tables.get(translation)
    if strings is None:
        return found + [f"no string table {translation} (tables: {sorted(tables)})"]
    for key, wanted in (("FileVersion", version), ("ProductVersion", version),
                        ("ProductName", "rodarove"), ("OriginalFilename", file_name),
                        ("InternalName", internal_name)):
        expect(key, strings.get(key, "(none)"), wanted)
    if not strings.get("FileDescription"):
        found.append("no FileDescription")
    return found


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    version = argv[1]
    failed = False
    for arg in argv[2:]:
        path, names = arg.rsplit("=", 1)
        file_name, internal_name = names.split(",")
        found = problems(path, file_name, internal_name, version)
        for problem in found:
            print(f"{path}: {problem}")
        if not found:
            print(f"{os.path.basename(path)}: version {version}, {file_name}, {internal_name}")
        failed = failed or bool(found)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
