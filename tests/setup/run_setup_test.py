#!/usr/bin/env python3
"""scripts/setup.sh against simulated machines, one row of the table each.

    run_setup_test.py [--only NAME ...]

Each row runs the real set-up with stand-in package tools first on PATH
(dpkg-query, dpkg, apt-get, locale, locale-gen, id, useradd, and sleep and
wineserver that do nothing) and LEXPLANT_SETUP_ROOT pointing at a scratch
folder. The stand-ins are this file, called with --stand-in NAME: they answer from
the row's machine, kept in a JSON file, change it as the real tools would,
and record every call. The row then checks what set-up asked apt to install,
how often it fetched the index, how it ended and its last line. No network,
no root, a second or so a row. One line per row, then "N passed, M failed".
"""

import json
import os
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
STAND_INS = ("dpkg-query", "dpkg", "apt-get", "locale", "locale-gen", "id", "useradd", "sleep", "wineserver")
WINE_VERSION = "8.0~repack-4"
WINE_USER = "lexplant"
JA_LOCALE = "ja_JP.utf8"
LOCALE_LINE = "ja_JP.UTF-8 UTF-8"

# Files that the real packages bring and set-up reads.
PACKAGE_FILES = {
    "libz-mingw-w64": ("usr/i686-w64-mingw32/lib/zlib1.dll", "MZ"),
    "locales": ("etc/locale.gen", f"# {LOCALE_LINE}\n"),
}


# ---- the stand-ins ----

class Machine:
    def __init__(self):
        self.path = Path(os.environ["FAKE_STATE"])
        self.s = json.loads(self.path.read_text())
        self.root = Path(os.environ["LEXPLANT_SETUP_ROOT"])

    def save(self):
        self.path.write_text(json.dumps(self.s))

    def install(self, name):
        self.s["dpkg"][name] = "ii "
        place = PACKAGE_FILES.get(name)
        if place:
            f = self.root / place[0]
            f.parent.mkdir(parents=True, exist_ok=True)
            f.write_text(place[1])


def dpkg_query(m, args):
    if m.s.get("dpkg_query_fails"):
        print("dpkg-query: error: parsing file '/var/lib/dpkg/status'", file=sys.stderr)
        return 2
    fmt = next(a[3:] for a in args if a.startswith("-f="))
    status = 0
    for p in (a for a in args if not a.startswith("-")):
        state = m.s["dpkg"].get(p)
        if state is None:
            print(f"dpkg-query: no packages found matching {p}", file=sys.stderr)
            status = 1
            continue
        line = (fmt.replace("${Package}", p.split(":")[0]).replace("${db:Status-Abbrev}", state)
                .replace("${Version}", WINE_VERSION).replace("\\n", "\n"))
        sys.stdout.write(line)
    return status


def dpkg(m, args):
    if args[0] == "--print-foreign-architectures":
        print("\n".join(m.s["foreign"]))
    elif args[0] == "--add-architecture":
        m.s["foreign"].append(args[1])
    elif args[0] == "-x":
        deb, into = Path(args[1]), Path(args[2])
        into.mkdir(parents=True, exist_ok=True)
        if deb.name.startswith("wine32_"):
            (into / "usr/lib/i386-linux-gnu/wine/i386-windows").mkdir(parents=True, exist_ok=True)
            loader = into / "usr/lib/wine/wine"
            loader.parent.mkdir(parents=True, exist_ok=True)
            loader.write_text('#!/bin/sh\n[ "$1" = cmd ] && echo lexplant\nexit 0\n')
            loader.chmod(0o755)
    return 0


def apt_get(m, args):
    words = [a for a in args if not a.startswith("-")]
    verb, names = words[0], words[1:]
    if verb == "update":
        fails = m.s.get("update_fails")
        if fails:
            if fails == "one index":
                print("Hit:1 http://deb.debian.org/debian bookworm InRelease")
            print("Err:2 http://deb.debian.org/debian-security bookworm-security/main i386 Packages\n"
                  "  File has unexpected size (374820 != 376004). Mirror sync in progress?", file=sys.stderr)
            print("E: Some index files failed to download. They have been ignored, or old ones used instead.",
                  file=sys.stderr)
            return 100
    elif verb == "install":
        refused = [n for n in names if n.split("=")[0] in m.s.get("refuse", [])]
        if refused:
            print(f" {refused[0].split('=')[0]} : Depends: libwine:i386 but it is not going to be installed")
            print("E: Unable to correct problems, you have held broken packages.")
            return 100
        for n in names:
            m.install(n.split("=")[0])
    elif verb == "download":
        for n in names:
            name, _, version = n.partition("=")
            Path(f"{name.split(':')[0]}_{version or '1'}_i386.deb").write_text("deb")
    return 0


def locale(m, args):
    print("\n".join(["C", "C.utf8", "POSIX"] + m.s["locales"]))
    return 0


def locale_gen(m, args):
    gen = m.root / "etc/locale.gen"
    lines = gen.read_text().splitlines() if gen.exists() else []
    if LOCALE_LINE in lines and JA_LOCALE not in m.s["locales"]:
        m.s["locales"].append(JA_LOCALE)
    return 0


def id_(m, args):
    user = next((a for a in args if not a.startswith("-")), None)
    if user is None or user == "root":
        print(0)
        return 0
    if user in m.s["users"]:
        print(999)
        return 0
    print(f"id: '{user}': no such user", file=sys.stderr)
    return 1


def useradd(m, args):
    m.s["users"].append(args[-1])
    return 0


def stand_in(name, args):
    with open(os.environ["FAKE_LOG"], "a") as log:
        log.write(json.dumps([name] + args) + "\n")
    if name in ("sleep", "wineserver"):
        return 0
    m = Machine()
    rc = {"dpkg-query": dpkg_query, "dpkg": dpkg, "apt-get": apt_get, "locale": locale,
          "locale-gen": locale_gen, "id": id_, "useradd": useradd}[name](m, args)
    m.save()
    return rc


# ---- the table ----

import argparse  # noqa: E402 - the stand-ins start faster without these
import concurrent.futures  # noqa: E402
import re  # noqa: E402
import subprocess  # noqa: E402
import tempfile  # noqa: E402

sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402

# set-up's own lists, read from the script so that a package added there is
# expected here too.
SETUP = (ROOT / "scripts" / "setup.sh").read_text()


def setup_list(name):
    body = re.search(rf"^{name}=\((.*?)\)", SETUP, re.S | re.M).group(1)
    return [w for line in body.splitlines() for w in line.split("#")[0].split()]


PACKAGES = setup_list("packages")
PACKAGES_I386 = setup_list("packages_i386")
EVERYTHING = PACKAGES + PACKAGES_I386 + ["wine32:i386"]

def everything_but(*names, state="ii "):
    return {p: state for p in EVERYTHING if p not in names}


READY = {"locales": [JA_LOCALE], "users": [WINE_USER]}
NOTHING = {"dpkg": {}, "locales": [], "users": []}

# name: (machine, environment, expected). A machine gives dpkg's states
# (absent: never heard of), the locales and users there, and what fails.
# Expected: what set-up asks apt-get to install, how many index fetches,
# whether it ends well, and a pattern its last line matches.
ROWS = {
    "nothing installed, 64-bit code only": (
        NOTHING, {"i386": "no"},
        {"asked": PACKAGES, "updates": 1, "ok": True, "user": True, "locale": True}),
    "nothing installed, 32-bit code executes": (
        NOTHING, {"i386": "yes"},
        {"asked": PACKAGES + PACKAGES_I386 + ["wine32:i386"], "updates": 1, "ok": True,
         "calls": [["dpkg", "--add-architecture", "i386"]]}),
    "everything installed: nothing asked, nothing fetched": (
        {"dpkg": everything_but(), **READY}, {"i386": "yes"},
        {"asked": [], "updates": 0, "ok": True, "only_reads": True}),
    "everything a 64-bit-only machine needs: no 32-bit Wine asked": (
        {"dpkg": everything_but(*PACKAGES_I386, "wine32:i386"), **READY}, {"i386": "no"},
        {"asked": [], "updates": 0, "ok": True, "only_reads": True}),
    "one package unknown to dpkg": (
        {"dpkg": everything_but("osslsigncode"), **READY}, {"i386": "yes"},
        {"asked": ["osslsigncode"], "updates": 1, "ok": True}),
    "one package removed but not purged": (
        {"dpkg": {**everything_but(), "xauth": "rc "}, **READY}, {"i386": "yes"},
        {"asked": ["xauth"], "updates": 1, "ok": True}),
    "one package half-configured": (
        {"dpkg": {**everything_but(), "cmake": "iF "}, **READY}, {"i386": "no"},
        {"asked": ["cmake"], "updates": 1, "ok": True, "calls": [["dpkg", "--configure", "-a"]]}),
    "dpkg-query itself fails: everything counts as missing": (
        {**NOTHING, "dpkg_query_fails": True, **READY}, {"i386": "no"},
        {"asked": PACKAGES, "updates": 1, "ok": True}),
    "the locale missing": (
        {"dpkg": everything_but(), "locales": [], "users": [WINE_USER]}, {"i386": "yes"},
        {"asked": [], "updates": 0, "ok": True, "locale": True}),
    "the Wine user missing, set-up run by root": (
        {"dpkg": everything_but(), "locales": [JA_LOCALE], "users": []}, {"i386": "yes"},
        {"asked": [], "updates": 0, "ok": True, "user": True}),
    "the Wine user missing, set-up run through sudo": (
        {"dpkg": everything_but(), "locales": [JA_LOCALE], "users": []}, {"i386": "yes", "sudo": True},
        {"asked": [], "updates": 0, "ok": True, "only_reads": True}),
    "apt-get update fetches nothing on every try": (
        {"dpkg": everything_but("xauth"), "update_fails": "all", **READY}, {"i386": "yes"},
        {"asked": [], "updates": 3, "ok": False,
         "last": r"^setup: ERROR: apt-get update failed 3 times: cannot install xauth$"}),
    "apt-get update fails on one index every try (a mirror mid-sync)": (
        {"dpkg": everything_but("xauth"), "update_fails": "one index", **READY}, {"i386": "yes"},
        {"asked": ["xauth"], "updates": 3, "ok": True}),
    "apt-get install fails": (
        {"dpkg": everything_but("xauth"), "refuse": ["xauth"], **READY}, {"i386": "no"},
        {"asked": ["xauth"], "updates": 1, "ok": False, "last": r"^setup: ERROR: apt-get cannot install xauth$"}),
    "wine32:i386 refused: the same Wine unpacked": (
        {"dpkg": everything_but("wine32:i386"), "refuse": ["wine32:i386"], **READY}, {"i386": "yes"},
        {"asked": ["wine32:i386"], "updates": 1, "ok": True, "unpacked": True,
         "calls": [["apt-get", "install", "-y", "-q", "--no-install-recommends", f"wine32:i386={WINE_VERSION}"]]}),
    "wine32:i386 refused and no zlib1.dll": (
        {"dpkg": everything_but("wine32:i386"), "refuse": ["wine32:i386"], "no_files": ["libz-mingw-w64"], **READY},
        {"i386": "yes"},
        {"asked": ["wine32:i386"], "updates": 1, "ok": False, "last": r"^setup: ERROR: no \S+/zlib1\.dll \(package libz-mingw-w64\)"}),
}

READS = ("dpkg-query", "locale", "id")


def run_row(name, tmp):
    machine, env_row, want = ROWS[name]
    tmp = Path(tmp)
    bin_dir, root = tmp / "bin", tmp / "root"
    bin_dir.mkdir()
    root.mkdir()
    for n in STAND_INS:
        # This interpreter, not the one PATH would find (a version manager's
        # shim costs more than the stand-in itself).
        (bin_dir / n).write_text(f'#!/bin/sh\nexec "{sys.executable}" "{Path(__file__).resolve()}" --stand-in {n} "$@"\n')
        (bin_dir / n).chmod(0o755)
    state = {"foreign": [], **machine}
    state["dpkg"] = dict(state["dpkg"])
    state["locales"] = list(state["locales"])
    state["users"] = list(state["users"])
    for pkg, (rel, content) in PACKAGE_FILES.items():
        if state["dpkg"].get(pkg) == "ii " and pkg not in machine.get("no_files", []):
            (root / rel).parent.mkdir(parents=True, exist_ok=True)
            (root / rel).write_text(content)
    (tmp / "state.json").write_text(json.dumps(state))
    log = tmp / "calls.log"
    log.touch()
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LEXPLANT_", "SUDO_"))}
    env.update({"PATH": f"{bin_dir}:{env['PATH']}", "LEXPLANT_SETUP_ROOT": str(root),
                "LEXPLANT_EXECUTES_I386": env_row["i386"], "FAKE_STATE": str(tmp / "state.json"),
                "FAKE_LOG": str(log)})
    if env_row.get("sudo"):
        env["SUDO_USER"] = "developer"
    p = subprocess.run(["bash", str(ROOT / "scripts" / "setup.sh")], env=env, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, text=True, timeout=120)
    calls = [json.loads(line) for line in log.read_text().splitlines()]
    after = json.loads((tmp / "state.json").read_text())
    return check(want, p, calls, after, root)


def check(want, p, calls, after, root):
    faults = []
    lines = p.stdout.strip().splitlines()
    last = lines[-1] if lines else ""
    asked = [n.split("=")[0] for c in calls if c[:2] == ["apt-get", "install"] for n in c[2:]
             if not n.startswith("-")]
    if sorted(asked) != sorted(want["asked"]):
        faults.append(f"asked apt for {sorted(asked)}, not {sorted(want['asked'])}")
    updates = sum(1 for c in calls if c[:2] == ["apt-get", "update"])
    if updates != want["updates"]:
        faults.append(f"{updates} index fetches, not {want['updates']}")
    if (p.returncode == 0) != want["ok"]:
        faults.append(f"ended with status {p.returncode}")
    if want["ok"] and last != "setup: all packages present":
        faults.append(f"last line {last!r}")
    if "last" in want and not re.search(want["last"], last):
        faults.append(f"last line {last!r}, not /{want['last']}/")
    for c in want.get("calls", []):
        if c not in calls:
            faults.append(f"no call {' '.join(c)}")
    if want.get("only_reads"):
        writes = [c for c in calls if c[0] not in READS and c[:2] != ["dpkg", "--print-foreign-architectures"]]
        if writes:
            faults.append(f"changed the machine: {writes}")
    if want.get("locale") and JA_LOCALE not in after["locales"]:
        faults.append("the ja_JP.UTF-8 locale was not made")
    if want.get("user") and WINE_USER not in after["users"]:
        faults.append(f"the user {WINE_USER} was not made")
    if want.get("unpacked") and not (root / f"opt/lexplant/wine32-{WINE_VERSION}/.complete").exists():
        faults.append("no unpacked 32-bit Wine")
    if faults:
        faults.append("set-up said: " + " | ".join(lines[-4:]))
    return faults


def run_row_safely(name):
    with tempfile.TemporaryDirectory() as tmp:
        try:
            return run_row(name, tmp)
        except Exception as e:  # noqa: BLE001 - a broken row is a failed row
            return [f"{type(e).__name__}: {e}"]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--only", nargs="+", default=[], metavar="NAME")
    args = ap.parse_args()
    unknown = [n for n in args.only if n not in ROWS]
    if unknown:
        ap.error(f"no such row: {', '.join(unknown)}")
    names = args.only or list(ROWS)
    # Each row has its own folder and stand-ins: they run side by side.
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        results = pool.map(run_row_safely, names)
        passed = failed = 0
        for name, faults in zip(names, results):
            print(f"{name}: {'FAIL' if faults else 'PASS'}", flush=True)
            for f in faults:
                print(f"    {f}", flush=True)
            passed, failed = (passed, failed + 1) if faults else (passed + 1, failed)
    harness.totals(passed, failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(stand_in(sys.argv[2], sys.argv[3:]) if sys.argv[1:2] == ["--stand-in"] else main())
