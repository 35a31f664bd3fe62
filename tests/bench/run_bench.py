#!/usr/bin/env python3
"""The benchmark: the real LexPlant.exe under Wine against baselines of our
own, each measurement interleaved with its baseline round by round.

    run_bench.py BUILD_DIR [--rounds N] [--only GROUP ...]

BUILD_DIR is the Windows build (LexPlant.exe, host/ with benchprobe.exe and
the baseline dialogs); nothing is built here. The Wine prefix is the
benchmark's own, BUILD_DIR/bench/prefix, made on the first run. The timing
is done in the prefix by benchprobe.exe with QueryPerformanceCounter; this
script only lays out the files, runs the rounds and prints one table of
medians, with the common library's call counts beside the installer's times,
and the program's size beside the bare baseline's.
The stand-in common library only counts its calls here (no log is written
while a span is timed).
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import winehost  # noqa: E402

IDOK, IDCANCEL, IDYES = 1, 2, 6
ID_ENABLE_NOW = 1001
BENCH = r"C:\bench"
COPY_TARGET = BENCH + r"\copy"
REGISTERED_FOLDER = BENCH + r"\reg"
STALE_FOLDER = BENCH + r"\gone"
KB, MB = 1024, 1024 * 1024
DEFAULT_ROUNDS = 9
# Start-up runs are short and the most swayed by a busy machine: three times
# the rounds. The slowest points run fewer, so that the whole run stays short.
STARTUP_SCALE = 3
SLOW_SCALE = 5 / 9
COUNT_COLUMNS = ("root", "get", "set", "delete")


class BenchError(RuntimeError):
    pass


# ---------------------------------------------------------------- the prefix

class Bench:
    def __init__(self, build):
        self.build = Path(build).resolve()
        self.xvfb = winehost.Xvfb()
        self.wine = None
        self.user_root = None

    def start(self):
        display = self.xvfb.start()
        self.wine = winehost.WinePrefix(self.build / "bench" / "prefix", self.build, display)
        if self.wine.ensure():
            print("made the Wine prefix", flush=True)
        self.wine.start_server()
        self.wine.hostsetup("resetstore", "install", winehost.HOST_KEY_INSTALL_PATH)
        self.user_root = self.wine.dump()["userdicroot"]
        # Calls are counted, not logged, from here on.
        self.wine.system32("HRNCMN10.COUNT").write_bytes(b"")

    def stop(self):
        try:
            if self.wine:
                for f in (self.wine.system32("HRNCMN10.COUNT"), self.wine.system32("HRNCMN10.COUNTS")):
                    f.unlink(missing_ok=True)
                self.wine.stop_server()
        finally:
            self.xvfb.stop()

    def unix(self, win_path):
        return self.wine.unix(win_path)

    def kit(self, name, files):
        """A kit folder with LexPlant.exe and option\\ holding files
        {name: size}; files already there at their size are kept."""
        kit = BENCH + "\\" + name
        option = self.unix(kit + r"\option")
        option.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.build / "LexPlant.exe", self.unix(kit + r"\LexPlant.exe"))
        for stale in option.iterdir():
            if stale.name not in files:
                stale.unlink()
        block = bytes(range(256)) * (64 * KB // 256)
        for file_name, size in files.items():
            path = option / file_name
            if path.exists() and path.stat().st_size == size:
                continue
            with open(path, "wb") as f:
                for _ in range(size // len(block)):
                    f.write(block)
                f.write(block[:size % len(block)])
        return kit

    def registered_files(self, count):
        folder = self.unix(REGISTERED_FOLDER)
        folder.mkdir(parents=True, exist_ok=True)
        for i in range(1, count + 1):
            path = folder / f"r{i}.dic"
            if not path.exists():
                path.write_bytes(b"registered")

    def clear_user_root(self):
        root = self.unix(self.user_root)
        if root.exists():
            shutil.rmtree(root)
        root.mkdir(parents=True)

    def probe(self, *args):
        rc, out = self.wine.run([str(self.wine.host_bin / "benchprobe.exe")] + list(args), timeout=600)
        rows = winehost.decode_lines(out)
        errors = [r for r in rows if r[0] == "error"]
        if rc != 0 or errors:
            raise BenchError(f"benchprobe {' '.join(args)}: {errors or rc}")
        return rows

    def counts(self):
        path = self.wine.system32("HRNCMN10.COUNTS")
        rows = winehost.decode_lines(path.read_bytes()) if path.exists() else []
        path.unlink(missing_ok=True)
        if not rows:
            return None
        return tuple(int(v) for v in rows[-1][1:])


# ---------------------------------------------------------------- measurements

def span(rows):
    return float(next(r[1] for r in rows if r[0] == "ms"))


def dialog_ids(rows, k):
    for r in rows:
        if r[0] == "dialog" and r[1] == str(k):
            return {int(v) for v in r[3].split(",") if v}
    return set()


class Side:
    """One side of a measurement: how to run it once, and its samples."""

    def __init__(self, run):
        self.run = run
        self.samples = []
        self.counts = set()

    def median(self):
        return statistics.median(self.samples) if self.samples else None

    def spread(self):
        """Interquartile range as a share of the median: how far one run
        strays, with the machine as busy as it was."""
        if len(self.samples) < 4 or not self.median():
            return None
        q1, _, q3 = statistics.quantiles(self.samples, n=4)
        return (q3 - q1) / self.median()


class Measurement:
    """A program side and its baseline; a Side given instead of a run is
    shared with other measurements and runs once a round for all of them."""

    def __init__(self, group, what, program, baseline, scale=1):
        self.group = group
        self.what = what
        self.program = program if isinstance(program, Side) else Side(program)
        self.baseline = baseline if isinstance(baseline, Side) else Side(baseline)
        self.scale = scale

    def rounds(self, rounds):
        return max(1, round(rounds * self.scale))


def startup_run(exe):
    def run(bench):
        rows = bench.probe("run", exe, "0", "1", str(IDCANCEL))
        if not {IDOK, IDCANCEL} <= dialog_ids(rows, 1):
            raise BenchError(f"{exe}: the first dialog has no Install and Cancel")
        return span(rows), bench.counts()
    return run


def install_run(kit, setup=()):
    """Install pressed until the completion dialog shows; both boxes are
    cleared before Close, so that nothing else runs."""
    def run(bench):
        bench.clear_user_root()
        rows = bench.probe("reset", *setup, "run", kit + r"\LexPlant.exe", "1", "2", f"{IDOK},c1")
        if ID_ENABLE_NOW not in dialog_ids(rows, 2):
            raise BenchError(f"{kit}: no completion dialog after Install")
        return span(rows), bench.counts()
    return run


def copy_run(kit):
    def run(bench):
        return span(bench.probe("copy", kit + r"\option", COPY_TARGET)), None
    return run


def busy_run(kit, name, held):
    """Yes to the already-registered question until the next dialog: with
    the target held, the release wait and the copy failure; without, the copy
    and the completion dialog."""
    def run(bench):
        bench.clear_user_root()
        target = bench.user_root + "\\" + name + "1.dic"
        bench.unix(target).write_bytes(b"old")
        hold = ["hold", target] if held else []
        last = str(IDOK) if held else "c1"
        rows = bench.probe("reset", "seed", "1", bench.user_root, name, *hold, "run", kit + r"\LexPlant.exe", "2", "3",
                           f"{IDOK},{IDYES},{last}")
        if IDYES not in dialog_ids(rows, 2) or (ID_ENABLE_NOW in dialog_ids(rows, 3)) == held:
            raise BenchError("the busy-target run did not take the expected dialogs")
        return span(rows), bench.counts()
    return run


def measurements(bench, groups):
    build_host = bench.wine.host_bin
    lexplant = BENCH + r"\one\LexPlant.exe"
    one = bench.kit("one", {"b1.dic": 100 * KB})
    out = []
    if "startup" in groups:
        bare = "Z:" + str(build_host / "benchbare.exe").replace("/", "\\")
        dressed = "Z:" + str(build_host / "benchdressed.exe").replace("/", "\\")
        program = Side(startup_run(lexplant))
        out.append(Measurement("startup", "Start to first dialog, vs a bare one-dialog program",
                               program, startup_run(bare), STARTUP_SCALE))
        out.append(Measurement("startup", "· vs one with the same font, manifest, imports and common library",
                               program, startup_run(dressed), STARTUP_SCALE))
    if "big" in groups:
        kit = bench.kit("big", {f"big{i}.dic": 50 * MB for i in range(1, 6)})
        out.append(Measurement("big", "5 × 50 MB: Install → completion, vs CopyFileA", install_run(kit), copy_run(kit)))
    if "files" in groups:
        for n in (1, 10, 50, 100):
            kit = bench.kit(f"n{n}", {f"f{i:03d}.dic": 100 * KB for i in range(1, n + 1)})
            out.append(Measurement("files", f"{n} × 100 KB: Install → completion, vs CopyFileA", install_run(kit),
                                   copy_run(kit), SLOW_SCALE if n >= 100 else 1))
    if "registered" in groups:
        bench.registered_files(1000)
        base = Side(install_run(one))
        for n in (250, 1000):
            out.append(Measurement("registered", f"1 file, {n} registered, vs none",
                                   install_run(one, ("seed", str(n), REGISTERED_FOLDER, "r")), base))
    if "stale" in groups:
        base = Side(install_run(one))
        for n in (50, 100):
            out.append(Measurement("stale", f"1 file, {n} stale registrations, vs none",
                                   install_run(one, ("seed", str(n), STALE_FOLDER, "s")), base,
                                   SLOW_SCALE if n >= 100 else 1))
    if "busy" in groups:
        out.append(Measurement("busy", "Overwrite Yes → next dialog, target held vs free",
                               busy_run(one, "b", True), busy_run(one, "b", False)))
    return out


GROUPS = ("startup", "big", "files", "registered", "stale", "busy")


def run_side(bench, side, keep):
    # Dirty pages of an earlier run must not slow down this one.
    os.sync()
    ms, counts = side.run(bench)
    if keep:
        side.samples.append(ms)
        if counts is not None:
            side.counts.add(counts)


def run_rounds(bench, plan, rounds):
    """Group by group: one warm-up run of each side, then the rounds, the
    program and its baseline taking turns at going first. A side shared by
    several measurements runs once a round."""
    for group in GROUPS:
        members = [m for m in plan if m.group == group]
        if not members:
            continue
        started = time.time()
        warmed = set()
        for m in members:
            for side in (m.program, m.baseline):
                if id(side) not in warmed:
                    warmed.add(id(side))
                    run_side(bench, side, False)
        for r in range(max(m.rounds(rounds) for m in members)):
            ran = set()
            for m in members:
                if r >= m.rounds(rounds):
                    continue
                for side in (m.program, m.baseline) if r % 2 == 0 else (m.baseline, m.program):
                    if id(side) not in ran:
                        ran.add(id(side))
                        run_side(bench, side, True)
        print(f"{group}: {time.time() - started:.1f} s", flush=True)


# ---------------------------------------------------------------- the table

def fmt_ms(ms):
    if ms is None:
        return ""
    if ms >= 1000:
        return f"{ms / 1000:.2f} s"
    return f"{ms:.1f} ms" if ms < 100 else f"{ms:.0f} ms"


def fmt_counts(side):
    if not side.counts:
        return ""
    if len(side.counts) > 1:
        return "varies: " + "; ".join("/".join(map(str, c)) for c in sorted(side.counts))
    return "/".join(map(str, next(iter(side.counts))))


def size_row(build):
    """The program's bytes as it ships, stripped, beside the bare one-dialog
    program of the same toolchain, flags and static runtime, stripped alike:
    what the program adds to any dialog program, so that growth shows."""
    program = (build / "LexPlant.exe").stat().st_size
    bare = (build / "host" / "benchbare.exe").stat().st_size
    return (f"| Size, stripped, vs a bare one-dialog program | {program:,} bytes | {bare:,} bytes | "
            f"{program / bare:.2f} | | | |")


def table(plan, build):
    lines = ["| What | Program | Baseline | Ratio | Rounds | Spread | Library calls (root/get/set/delete) |",
             "|---|---|---|---|---|---|---|", size_row(build)]
    for m in plan:
        p = m.program.median()
        b = m.baseline.median()
        ratio = f"{p / b:.2f}" if p and b else ""
        spreads = [x.spread() for x in (m.program, m.baseline) if x.spread() is not None]
        spread = f"±{max(spreads) * 50:.0f}%" if spreads else ""
        lines.append(f"| {m.what} | {fmt_ms(p)} | {fmt_ms(b)} | {ratio} | {len(m.program.samples)} | {spread} | "
                     f"{fmt_counts(m.program)} |")
    return "\n".join(lines)


def machine_line(wine):
    model = cores = "?"
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True, timeout=10).stdout
        for line in out.splitlines():
            key, _, value = line.partition(":")
            if key.strip() == "Model name":
                model = value.strip()
            elif key.strip() == "CPU(s)":
                cores = value.strip()
    except (OSError, subprocess.SubprocessError):
        pass
    version = subprocess.run([wine.loader, "--version"], capture_output=True, text=True, timeout=30).stdout.strip()
    return f"Machine: {model}, {cores} cores, {platform.system()} {platform.release()}; {version}, {wine.program}"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir")
    ap.add_argument("--rounds", type=int, default=DEFAULT_ROUNDS, help="rounds per measurement (at least 1)")
    ap.add_argument("--only", nargs="+", choices=GROUPS, default=list(GROUPS), metavar="GROUP",
                    help=f"measure only these: {', '.join(GROUPS)}")
    args = ap.parse_args()
    if args.rounds < 1:
        ap.error("--rounds must be at least 1")
    build = Path(args.build_dir)
    needed = [build / "LexPlant.exe"] + [build / "host" / n for n in ("benchprobe.exe", "benchbare.exe",
                                                                      "benchdressed.exe", "hostsetup.exe")]
    missing = [str(p) for p in needed if not p.exists()]
    if missing:
        print(f"missing build outputs: {', '.join(missing)}")
        return 1
    winehost.exit_on_termination()
    rc = winehost.as_wine_user(__file__, sys.argv[1:], args.build_dir)
    if rc is not None:
        return rc
    started = time.time()
    bench = Bench(build)
    try:
        bench.start()
        plan = measurements(bench, args.only)
        run_rounds(bench, plan, args.rounds)
        print()
        print(machine_line(bench.wine))
        print(table(plan, build))
    except (BenchError, winehost.WineError) as e:
        print(f"benchmark failed: {e}")
        return 1
    finally:
        bench.stop()
    print("\nMedians of interleaved rounds. Spread: half the interquartile range over the median, the larger")
    print("of program and baseline. Library calls: those of the program's run, the same in every round.")
    print(f"Whole run {time.time() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
