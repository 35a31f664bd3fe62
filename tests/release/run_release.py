#!/usr/bin/env python3
"""The release: the kit check's verdicts, bad input refused with status 2
and an untouched output folder, a kit signed with a throw-away certificate
that osslsigncode verifies, its program stripped with its symbols beside the
zip, and that signed program installing under Wine.

    run_release.py [--wine-preset mingw|mingw64]

Without --wine-preset the Wine scenario is left out. One line per check,
then "N passed, M failed".
"""

import argparse
import os
import subprocess
import sys
import tempfile
import zipfile
import zlib
from pathlib import Path

sys.dont_write_bytecode = True
ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402
RELEASE = ROOT / "scripts" / "release.sh"
KIT = ROOT / "scripts" / "kit.py"
SAMPLES = ROOT / "samples" / "option"
BAD_INPUT = 2
HIDDEN, SYSTEM = b"0x2", b"0x4"
ZIP_UTF8_FLAG = 0x800
# The user dictionary folder the check takes as typical, with its backslash
# and the ".dic" of the target: what a base name leaves of 259 bytes.
TYPICAL_TARGET_OVERHEAD = len("C:\\Users\\" + "u" * 20 + "\\AppData\\Roaming\\Heronix\\Fumidori\\odic\\.dic")
LONGEST_BASE = 259 - TYPICAL_TARGET_OVERHEAD
WIDE = "辞"  # two bytes in code page 932, three in UTF-8
# Enough of them that counting characters instead of bytes fails, few
# enough that the name fits a Linux file system's 255 bytes.
WIDE_CHARACTERS = 60


# What a kit's program may weigh, and its symbols file, which the program
# names in its .gnu_debuglink section with the file's CRC-32.
MAX_PROGRAM_BYTES = 400_000
SYMBOLS = "LexPlant.exe.debug"
# The toolchain's binutils of each preset, to look into the program with.
BINUTILS = {"mingw": "i686-w64-mingw32-", "mingw64": "x86_64-w64-mingw32-"}
# A function of the program, and the source a crash address inside it must
# be read back to with the symbols.
CRASH_FUNCTION, CRASH_SOURCE = "CInstallerApp::RunInstall()", "app/InstallerApp.cpp"

LONG_KIT_NAME = "K" * 30
LONG_KIT_LONGEST_NAME = 259 - len("C:\\Users\\" + "u" * 20 + f"\\Downloads\\{LONG_KIT_NAME}\\{LONG_KIT_NAME}\\option\\")


def name_of_bytes(length):
    """A base name of exactly this many code page 932 bytes."""
    return WIDE * WIDE_CHARACTERS + "a" * (length - 2 * WIDE_CHARACTERS)


# One row per rule: the folder's entries (name: content, (content, DOS
# attributes) or None for a folder; a bytes name is written as such), the
# status, the files taken, a fragment of each fault line expected, and the
# kit's name when not the default.
KIT_ROWS = [
    ("taken and skipped",
     {"A.DIC": "a", "b.Dic": "b", ".dic": "dot", "r.dic": ("r", "readonly"), "c.dic.bak": "c", "dic": "d",
      "notes.txt": "n", "sub.dic": None, "h.dic": ("h", HIDDEN), "s.dic": ("s", SYSTEM)},
     0, [".dic", "A.DIC", "b.Dic", "r.dic"], []),
    ("missing folder", "missing", BAD_INPUT, [], ["the option folder does not exist"]),
    ("empty folder", {}, BAD_INPUT, [], ["no dictionary the installer would take"]),
    ("only files the installer skips",
     {"h.dic": ("h", HIDDEN), "s.dic": ("s", SYSTEM), "sub.dic": None, "readme.txt": "r"},
     BAD_INPUT, [], ["no dictionary the installer would take"]),
    ("names code page 932 cannot spell",
     {"波〜.dic": "wave dash", "か\u3099.dic": "decomposed", "ok.dic": "ok", b"\x96\x40.dic": "raw cp932 bytes"},
     BAD_INPUT, None, ["波〜.dic: code page 932 cannot spell '〜'", "か\u3099.dic: code page 932 cannot spell",
                       "\\x96@.dic: code page 932 cannot spell"]),
    ("names that collide without regard to case",
     {"Legal.dic": "1", "LEGAL.DIC": "2", "ａ.dic": "3", "Ａ.Dic": "4", "Medical.dic": "5"},
     BAD_INPUT, None, ["Legal.dic: the same target as LEGAL.DIC", "ａ.dic: the same target as Ａ.Dic"]),
    ("names Windows cannot hold", {"a:b.dic": "colon", "con.dic": "device", "ok.dic": "ok"},
     BAD_INPUT, None, ["a:b.dic: holds ':'", "con.dic: is a device name"]),
    ("longest name a typical user folder holds", {name_of_bytes(LONGEST_BASE) + ".dic": "x"},
     0, [name_of_bytes(LONGEST_BASE) + ".dic"], []),
    ("a name one byte too long", {name_of_bytes(LONGEST_BASE + 1) + ".dic": "x", "ok.dic": "ok"},
     BAD_INPUT, None, [f"{name_of_bytes(LONGEST_BASE + 1)}.dic: name too long: 260 bytes"]),
    # The kit folder, doubled by Explorer's "Extract All", is then longer than
    # the user dictionary folder.
    ("a name too long beside a long kit name", {name_of_bytes(LONG_KIT_LONGEST_NAME - 3) + ".dic": "x"},
     BAD_INPUT, None, ["name too long: 260 bytes in a typical kit folder"], LONG_KIT_NAME),
    ("the longest name beside a long kit name", {name_of_bytes(LONG_KIT_LONGEST_NAME - 4) + ".dic": "x"},
     0, [name_of_bytes(LONG_KIT_LONGEST_NAME - 4) + ".dic"], [], LONG_KIT_NAME),
]


class Run:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, failures):
        print(f"{name}: {'FAIL' if failures else 'PASS'}", flush=True)
        for f in failures:
            print(f"    {f}", flush=True)
        if failures:
            self.failed += 1
        else:
            self.passed += 1


class NoAttributes(Exception):
    """The file system here keeps no user attributes to mark a file hidden."""


def make_folder(path, entries):
    if entries == "missing":
        return
    path.mkdir(parents=True)
    for name, content in entries.items():
        target = os.path.join(bytes(path), name) if isinstance(name, bytes) else path / name
        if content is None:
            os.mkdir(target)
            continue
        content, attributes = content if isinstance(content, tuple) else (content, None)
        with open(target, "w") as f:
            f.write(content)
        if attributes == "readonly":
            os.chmod(target, 0o444)
        elif attributes:
            try:
                os.setxattr(target, "user.DOSATTRIB", attributes)
            except OSError as e:
                raise NoAttributes(e.strerror) from e


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, **kw)


def kit_rows(r, tmp):
    for label, entries, status, taken, faults, *kit_name in KIT_ROWS:
        folder = tmp / label.replace(" ", "-") / "option"
        try:
            make_folder(folder, entries)
        except NoAttributes as e:
            print(f"kit check: {label}: SKIP (no user attributes on {tmp}: {e})", flush=True)
            continue
        p = run(sys.executable, KIT, "check", folder, *(["--name"] + kit_name if kit_name else []))
        failures = []
        if p.returncode != status:
            failures.append(f"status {p.returncode}, want {status}")
        got = [line[len("take  "):] for line in p.stdout.splitlines() if line.startswith("take  ")]
        if taken is not None and got != taken:
            failures.append(f"taken {got}, want {taken}")
        lines = p.stderr.splitlines()
        for fault in faults:
            if not any(fault in line for line in lines):
                failures.append(f"no fault line with {fault!r} in {lines}")
        if len(lines) != len(faults):
            failures.append(f"{len(lines)} fault lines, want {len(faults)}: {lines}")
        r.check(f"kit check: {label}", failures)


def snapshot(folder):
    return sorted((str(p.relative_to(folder)), p.read_bytes() if p.is_file() else None) for p in folder.rglob("*"))


def make_keys(tmp):
    """A throw-away self-signed certificate and its key, another key, and
    the first key locked by a password."""
    keys = tmp / "keys"
    keys.mkdir()
    for name in ("vendor", "other"):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", f"/CN=LexPlant test {name}", "-keyout", keys / f"{name}.key",
                        "-out", keys / f"{name}.crt"], check=True, capture_output=True)
    (keys / "password").write_text("kit password\n")
    subprocess.run(["openssl", "pkey", "-in", keys / "vendor.key", "-aes256", "-passout",
                    f"file:{keys / 'password'}", "-out", keys / "locked.key"], check=True, capture_output=True)
    return keys


def bad_inputs(r, tmp, keys):
    good = SAMPLES
    unspellable = tmp / "bad-name" / "option"
    make_folder(unspellable, {"波〜.dic": "x"})
    empty = tmp / "no-dic" / "option"
    make_folder(empty, {"readme.txt": "x"})
    rows = [
        ("a folder with no dictionary", ["--option", empty], "no dictionary the installer would take"),
        ("a name the installer could not take", ["--option", unspellable], "code page 932 cannot spell"),
        ("a certificate that does not match its key",
         ["--option", good, "--sign-cert", keys / "vendor.crt", "--sign-key", keys / "other.key"],
         "the certificate does not match the key"),
        ("a locked key without its password",
         ["--option", good, "--sign-cert", keys / "vendor.crt", "--sign-key", keys / "locked.key"],
         "the key is locked by a password"),
    ]
    out = tmp / "kept"
    out.mkdir()
    (out / "SHA256SUMS").write_text("an earlier release\n")
    before = snapshot(out)
    for label, args, line in rows:
        p = run("bash", RELEASE, *args, "--out", out)
        faults = p.stderr.splitlines()
        failures = []
        if p.returncode != BAD_INPUT:
            failures.append(f"status {p.returncode}, want {BAD_INPUT}: {p.stderr.strip()}")
        if len(faults) != 1 or line not in faults[0]:
            failures.append(f"want one line with {line!r}, got {faults}")
        if snapshot(out) != before:
            failures.append("the output folder changed")
        r.check(f"bad input: {label}", failures)


def signed_release(r, tmp, keys, preset):
    """Returns the signed program, or None."""
    out = tmp / f"dist-{preset}"
    p = run("bash", RELEASE, "--option", SAMPLES, "--out", out, "--preset", preset,
            "--sign-cert", keys / "vendor.crt", "--sign-key", keys / "locked.key",
            "--sign-pass-file", keys / "password")
    failures = [] if p.returncode == 0 else [f"status {p.returncode}: {p.stderr.strip()}"]
    program = out / "LexPlant" / "LexPlant.exe"
    samples = sorted(n.name for n in SAMPLES.iterdir())
    if not failures:
        kit = sorted(str(n.relative_to(out)) for n in (out / "LexPlant").rglob("*"))
        want = sorted(["LexPlant.exe", "option"] + [f"option/{n}" for n in samples])
        if kit != [f"LexPlant/{n}" for n in want]:
            failures.append(f"kit folder {kit}")
        sums = run("sha256sum", "--check", "--strict", "SHA256SUMS", cwd=out)
        if sums.returncode != 0 or "LexPlant.zip: OK" not in sums.stdout:
            failures.append(f"sha256sum --check: {sums.stdout}{sums.stderr}")
        failures += zip_faults(out / "LexPlant.zip", samples)
        verify = run("osslsigncode", "verify", "-in", program, "-CAfile", keys / "vendor.crt")
        if verify.returncode != 0:
            failures.append(f"osslsigncode verify: {verify.stdout[-300:]}{verify.stderr}")
        failures += same_program_faults(tmp, program, ROOT / "build" / preset / "LexPlant.exe", keys)
        failures += symbols_faults(tmp, program, out / SYMBOLS, BINUTILS[preset])
    r.check(f"signed release ({preset})", failures)
    return None if failures else program


def zip_faults(path, samples):
    """Names in code page 932 without the UTF-8 flag, as Explorer reads them."""
    failures = []
    with zipfile.ZipFile(path, metadata_encoding="cp932") as z:
        names = [i.filename for i in z.infolist()]
        want = ["LexPlant/", "LexPlant/LexPlant.exe", "LexPlant/option/"] + [f"LexPlant/option/{n}" for n in samples]
        if sorted(names) != sorted(want):
            failures.append(f"zip entries {names}")
        if any(i.flag_bits & ZIP_UTF8_FLAG for i in z.infolist()):
            failures.append("an entry carries the UTF-8 flag")
        for n in samples:
            if z.read(f"LexPlant/option/{n}") != (SAMPLES / n).read_bytes():
                failures.append(f"{n}: other bytes in the zip")
    return failures


def same_program_faults(tmp, signed, built, keys):
    """The signature taken from the shipped program and put on the program
    built from the sources gives the shipped bytes back: what a user's own
    reproducible build can check."""
    sig, joined = tmp / "signature.p7", tmp / "joined.exe"
    for f in (sig, joined):
        f.unlink(missing_ok=True)
    steps = [("extract-signature", "-in", signed, "-out", sig),
             ("attach-signature", "-sigin", sig, "-in", built, "-out", joined, "-CAfile", keys / "vendor.crt")]
    for step in steps:
        p = run("osslsigncode", *step)
        if p.returncode != 0:
            return [f"osslsigncode {step[0]}: {p.stdout[-300:]}{p.stderr}"]
    return [] if joined.read_bytes() == signed.read_bytes() else ["the signature on the built program is not the kit's"]


def symbols_faults(tmp, program, symbols, binutils):
    """The program ships without debug sections and under its size limit;
    its symbols lie beside the zip, are the file it links to, and read an
    address inside a function back to that function's source file."""
    failures = []
    if program.stat().st_size >= MAX_PROGRAM_BYTES:
        failures.append(f"the program has {program.stat().st_size} bytes, want fewer than {MAX_PROGRAM_BYTES}")
    sections = [line.split()[1] for line in run(binutils + "objdump", "-h", program).stdout.splitlines()
                if line.split()[:1] and line.split()[0].isdigit()]
    debug = [name for name in sections if name.startswith(".debug")]
    if debug or not sections:
        failures.append(f"the program's sections: {sections}")
    if not symbols.exists():
        return failures + [f"no {SYMBOLS} beside the zip"]
    link = tmp / "debuglink"
    run(binutils + "objcopy", f"--dump-section=.gnu_debuglink={link}", program, tmp / "discarded.exe")
    data = link.read_bytes() if link.exists() else b""
    name = data[:data.find(b"\0")] if b"\0" in data else data
    crc = int.from_bytes(data[-4:], "little") if len(data) >= 4 else None
    if (name, crc) != (SYMBOLS.encode(), zlib.crc32(symbols.read_bytes())):
        failures.append(f"the program's .gnu_debuglink {data!r} does not name {SYMBOLS} with its CRC-32")
    found = [line.split()[0] for line in run(binutils + "nm", "-C", symbols).stdout.splitlines()
             if line.endswith(" " + CRASH_FUNCTION)]
    if not found:
        return failures + [f"{CRASH_FUNCTION} is not among the symbols"]
    inside = f"{int(found[0], 16) + 1:#x}"
    where = run(binutils + "addr2line", "-f", "-e", symbols, inside).stdout
    if CRASH_SOURCE + ":" not in where:
        failures.append(f"addr2line reads {inside} in {CRASH_FUNCTION} as {where!r}, not in {CRASH_SOURCE}")
    return failures


def wine_install(r, preset, program):
    """The signed program through one scenario, end to end."""
    build = ROOT / "build" / preset
    p = run("cmake", "--build", build, "--target", "host_all")
    failures = [] if p.returncode == 0 else [f"building the host: {p.stdout[-500:]}"]
    if not failures:
        # Its count is this check's, not a second one for scripts/test.sh.
        env = {k: v for k, v in os.environ.items() if k != "LEXPLANT_COUNTS"}
        p = run(sys.executable, ROOT / "tests" / "e2e" / "run_e2e.py", build, "--only", "fresh_install",
                "--program", program, env=env)
        if p.returncode != 0 or "fresh_install: PASS" not in p.stdout:
            failures.append(f"run_e2e.py: {p.stdout[-800:]}")
    r.check(f"signed program installs under Wine ({preset})", failures)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--wine-preset", choices=("mingw", "mingw64"))
    args = ap.parse_args()
    r = Run()
    # In the build folder, on disk: a tmpfs may keep no user attributes.
    (ROOT / "build").mkdir(exist_ok=True)
    with tempfile.TemporaryDirectory(dir=ROOT / "build") as t:
        tmp = Path(t)
        kit_rows(r, tmp)
        keys = make_keys(tmp)
        bad_inputs(r, tmp, keys)
        signed_release(r, tmp, keys, "mingw")
        if args.wine_preset:
            program = signed_release(r, tmp, keys, args.wine_preset) if args.wine_preset != "mingw" else \
                tmp / "dist-mingw" / "LexPlant" / "LexPlant.exe"
            if program and program.exists():
                wine_install(r, args.wine_preset, program)
            else:
                r.check(f"signed program installs under Wine ({args.wine_preset})", ["no signed program"])
    harness.totals(r.passed, r.failed)
    return 1 if r.failed else 0


if __name__ == "__main__":
    sys.exit(main())
