#!/usr/bin/env python3
"""A vendor's kit: the option folder checked with the installer's own rules,
then laid out, zipped and summed for shipping.

    kit.py check OPTION_DIR [--name NAME]
    kit.py pack OPTION_DIR PROGRAM OUT_DIR [--name NAME] [--epoch SECONDS]

check lists what the installer would take and what it would skip (and why),
and says each fault on a line of its own on stderr; status 2 when the kit
could not be installed as it stands. pack checks the same way, then writes
OUT_DIR/NAME/ (PROGRAM as LexPlant.exe beside option/ with the files taken),
OUT_DIR/NAME.zip and OUT_DIR/SHA256SUMS. Standard library only.
"""

import argparse
import hashlib
import os
import shutil
import string
import struct
import sys
import time
import zipfile
import zlib
from pathlib import Path

BAD_INPUT = 2
PROGRAM_NAME = "LexPlant.exe"
SOURCE_FOLDER = "option"
DEFAULT_NAME = "LexPlant"
ANSI = "cp932"

# What install/Prerequisites.cpp takes from the option folder: entries that
# are neither folders nor hidden nor system files, whose last four bytes are
# ".dic" in either case (so a file named just ".dic" counts).
DIC_SUFFIX = ".dic"
ASCII_LOWER = str.maketrans(string.ascii_uppercase, string.ascii_lowercase)
FILE_ATTRIBUTE_HIDDEN = 0x02
FILE_ATTRIBUTE_SYSTEM = 0x04
# Where Samba and Wine keep a file's DOS attributes on a Unix file system:
# the text "0x<hex>" (newer Samba follows it with binary data).
DOS_ATTRIBUTES_XATTR = "user.DOSATTRIB"

# Paths of the installer and of the host fit in 260-byte buffers with the NUL
# (install/Prerequisites.cpp for the source, install/CopyRegister.cpp for the
# target: the user dictionary folder, a backslash, the base name, ".dic").
MAX_PATH_BYTES = 259
# A typical user, for the lengths: a Windows user name is at most 20
# characters, the user dictionary folder is below the roaming application
# data, and Explorer's "Extract All" puts the kit in a folder named after
# the zip, so the kit's own folder is doubled.
TYPICAL_USER = "u" * 20
TYPICAL_USER_DIC_FOLDER = f"C:\\Users\\{TYPICAL_USER}\\AppData\\Roaming\\Heronix\\Fumidori\\odic"
TYPICAL_KIT_FOLDER = "C:\\Users\\" + TYPICAL_USER + "\\Downloads\\{name}\\{name}\\" + SOURCE_FOLDER

# Names Windows cannot give a file, so the user's extractor cannot either.
WINDOWS_RESERVED_CHARACTERS = set('<>:"/\\|?*')
WINDOWS_DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {f"{d}{n}" for d in ("COM", "LPT") for n in range(1, 10)}

# The zip's entries: plain files and folders as Windows makes them.
ZIP_FROM_MSDOS = 0
ZIP_ATTRIBUTE_ARCHIVE = 0x20
ZIP_ATTRIBUTE_DIRECTORY = 0x10
# Info-ZIP's Unicode path field: the same name in UTF-8, for tools that read it.
ZIP_UNICODE_PATH_FIELD = 0x7075
ZIP_UNICODE_PATH_VERSION = 1
DOS_EPOCH = 315532800  # 1980-01-01, the first date a zip can hold


def fold_case(name):
    """A name as the installer and the file system compare it. The
    installer's path comparison folds the ASCII and the full-width Latin
    letters (winhost/PathCompare.cpp); NTFS folds every letter with a one-letter
    capital, which takes in the Greek, Cyrillic and Roman numerals of code
    page 932 as well."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name)


def ansi_bytes(name):
    """The name in code page 932, or None when it cannot be spelt there
    exactly (Windows would hand the installer a best-fit or "?" instead)."""
    try:
        encoded = name.encode(ANSI)
    except UnicodeEncodeError:
        return None
    return encoded if encoded.decode(ANSI) == name else None


def unspellable(name):
    return "".join(dict.fromkeys(c for c in name if ansi_bytes(c) is None))


def windows_name_fault(name):
    """Why Windows could not hold a file of this name, or None."""
    bad = [c for c in name if c in WINDOWS_RESERVED_CHARACTERS or ord(c) < 0x20]
    if bad:
        return "holds " + " ".join(repr(c) for c in dict.fromkeys(bad))
    if name.endswith((" ", ".")):
        return "ends in a blank or a dot"
    if name.split(".")[0].rstrip(" ").upper() in WINDOWS_DEVICE_NAMES:
        return "is a device name"
    return None


def dos_attributes(path):
    try:
        value = os.getxattr(path, DOS_ATTRIBUTES_XATTR, follow_symlinks=True)
    except OSError:
        return 0
    text = value.split(b"\0")[0].decode("ascii", "replace").strip()
    try:
        return int(text, 16) if text.lower().startswith("0x") else int(text)
    except ValueError:
        return 0


def skip_reason(path):
    """Why the installer would pass this entry over, or None."""
    if path.is_dir():
        return "a folder"
    if not path.is_file():
        return "not a file"
    attributes = dos_attributes(path)
    if attributes & FILE_ATTRIBUTE_HIDDEN:
        return "hidden"
    if attributes & FILE_ATTRIBUTE_SYSTEM:
        return "a system file"
    if path.name[-len(DIC_SUFFIX):].translate(ASCII_LOWER) != DIC_SUFFIX:
        return "not named *.dic"
    return None


def target_name(name):
    """The file the installer writes: the base name (up to the last dot) and
    ".dic" in small letters."""
    return name[: name.rfind(".")] + DIC_SUFFIX


class Kit:
    def __init__(self, option, name):
        self.option = Path(option)
        self.name = name
        self.taken = []  # names, in the order they are shipped
        self.skipped = []  # (name, reason)
        self.faults = []  # one line each

    def check(self):
        self._check_kit_name()
        if not self.option.is_dir():
            what = "is not a folder" if self.option.exists() else "does not exist"
            self.faults.append(f"{self.option}: the option folder {what}")
            return self
        for entry in sorted(os.listdir(self.option), key=shipping_order):
            reason = skip_reason(self.option / entry)
            if reason:
                self.skipped.append((entry, reason))
            else:
                self.taken.append(entry)
        if not self.taken:
            self.faults.append(f"{self.option}: no dictionary the installer would take (files named *.dic, "
                               "neither hidden nor system)")
        for entry in self.taken:
            self._check_name(entry)
        self._check_collisions()
        return self

    def _check_kit_name(self):
        fault = windows_name_fault(self.name)
        if not self.name or fault or ansi_bytes(self.name) is None:
            self.faults.append(f"kit name {self.name!r}: not a folder name every Windows can hold")

    def _check_name(self, entry):
        shown = printable(entry)
        encoded = ansi_bytes(entry)
        if encoded is None:
            self.faults.append(f"{shown}: code page 932 cannot spell {printable(unspellable(entry))!r}; "
                               "the installer would not find the file")
            return
        fault = windows_name_fault(entry)
        if fault:
            self.faults.append(f"{shown}: {fault}, which Windows cannot give a file")
            return
        kit_folder = TYPICAL_KIT_FOLDER.format(name=self.name)
        # A kit name faulted above is counted as best it can be.
        source = len(kit_folder.encode(ANSI, "replace")) + 1 + len(encoded)
        target = len(TYPICAL_USER_DIC_FOLDER.encode(ANSI)) + 1 + len(target_name(entry).encode(ANSI))
        if max(source, target) > MAX_PATH_BYTES:
            where = (f"in a typical user dictionary folder ({TYPICAL_USER_DIC_FOLDER})" if target >= source
                     else f"in a typical kit folder ({kit_folder})")
            self.faults.append(f"{shown}: name too long: {max(source, target)} bytes {where}, "
                               f"over the installer's {MAX_PATH_BYTES}")

    def _check_collisions(self):
        seen = {}
        for entry in self.taken:
            key = fold_case(target_name(entry))
            if key in seen:
                self.faults.append(f"{printable(entry)}: the same target as {printable(seen[key])} "
                                   f"({target_name(entry)}) to Windows, which ignores letter case")
            else:
                seen[key] = entry

    def report(self, out=sys.stdout):
        for entry in self.taken:
            print(f"take  {printable(entry)}", file=out)
        for entry, reason in self.skipped:
            print(f"skip  {printable(entry)}  ({reason}; not shipped)", file=out)
        for fault in self.faults:
            print(f"kit: {fault}", file=sys.stderr)


def printable(name):
    """A name as it can be shown, undecodable bytes as \\xNN."""
    return name.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")


def shipping_order(name):
    """The order of the zip and of the listing NTFS gives the installer: by
    the capital letters' UTF-16 code units."""
    return fold_case(name).encode("utf-16-be", "surrogatepass"), name


class Cp932ZipInfo(zipfile.ZipInfo):
    """An entry whose name is stored in code page 932 without the UTF-8 flag:
    what Explorer's extractor on a Japanese Windows (every version) reads as
    the names the installer then sees. The UTF-8 name follows in Info-ZIP's
    Unicode path field for 7-Zip, Info-ZIP and the like."""

    def __init__(self, arcname, date_time, directory):
        super().__init__(arcname, date_time)
        self.create_system = ZIP_FROM_MSDOS
        self.external_attr = ZIP_ATTRIBUTE_DIRECTORY if directory else ZIP_ATTRIBUTE_ARCHIVE
        self.compress_type = zipfile.ZIP_STORED if directory else zipfile.ZIP_DEFLATED
        if directory:
            self.file_size = self.compress_size = self.CRC = 0
        stored = arcname.encode(ANSI)
        utf8 = arcname.encode("utf-8")
        if stored != utf8:
            self.extra = struct.pack("<HHBI", ZIP_UNICODE_PATH_FIELD, 5 + len(utf8), ZIP_UNICODE_PATH_VERSION,
                                     zlib.crc32(stored)) + utf8

    def _encodeFilenameFlags(self):
        return self.filename.encode(ANSI), self.flag_bits


def write_zip(path, root, entries, epoch):
    """entries: folder-relative names under root, folders ending in "/"."""
    date_time = zip_date(epoch)
    with zipfile.ZipFile(path, "w") as z:
        for entry in entries:
            directory = entry.endswith("/")
            info = Cp932ZipInfo(entry, date_time, directory)
            if directory:
                z.mkdir(info)
            else:
                z.writestr(info, (root / entry).read_bytes(), compresslevel=9)


def zip_date(epoch):
    t = time.gmtime(max(epoch, DOS_EPOCH))
    # A zip holds even seconds only.
    return (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec & ~1)


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def pack(kit, program, out, epoch):
    """Lays the kit out in out, which must not exist yet."""
    folder = out / kit.name
    (folder / SOURCE_FOLDER).mkdir(parents=True)
    shutil.copyfile(program, folder / PROGRAM_NAME)
    files = [PROGRAM_NAME] + [f"{SOURCE_FOLDER}/{e}" for e in kit.taken]
    for entry in kit.taken:
        shutil.copyfile(kit.option / entry, folder / SOURCE_FOLDER / entry)
    for path in [folder, folder / SOURCE_FOLDER] + [folder / f for f in files]:
        path.chmod(0o755 if path.is_dir() else 0o644)
        os.utime(path, (epoch, epoch))
    zip_name = f"{kit.name}.zip"
    entries = [f"{kit.name}/", f"{kit.name}/{PROGRAM_NAME}", f"{kit.name}/{SOURCE_FOLDER}/"]
    entries += [f"{kit.name}/{SOURCE_FOLDER}/{e}" for e in kit.taken]
    write_zip(out / zip_name, out, entries, epoch)
    # sha256sum -c reads this; on Windows, Get-FileHash or certutil print the
    # same digests.
    lines = [f"{sha256(out / zip_name)}  {zip_name}"]
    lines += [f"{sha256(folder / f)}  {kit.name}/{f}" for f in files]
    (out / "SHA256SUMS").write_text("".join(line + "\n" for line in lines), encoding="utf-8")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="command", required=True)
    check = sub.add_parser("check")
    check.add_argument("option")
    check.add_argument("--name", default=DEFAULT_NAME)
    pk = sub.add_parser("pack")
    pk.add_argument("option")
    pk.add_argument("program")
    pk.add_argument("out")
    pk.add_argument("--name", default=DEFAULT_NAME)
    pk.add_argument("--epoch", type=int, default=DOS_EPOCH)
    args = ap.parse_args()
    kit = Kit(args.option, args.name).check()
    kit.report()
    if kit.faults:
        return BAD_INPUT
    if args.command == "pack":
        pack(kit, Path(args.program), Path(args.out), args.epoch)
    return 0


if __name__ == "__main__":
    sys.exit(main())
