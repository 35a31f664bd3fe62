"""A Wine prefix with the stand-in host, and the tools that drive it.

Shared by the end-to-end runner and the demo. Everything the Windows side
prints is code page 932, one item a line, with backslash escapes for "\\",
line feeds, carriage returns and tabs (the host's EscapeLine).
"""

import hashlib
import os
import pwd
import re
import secrets
import selectors
import shutil
import signal
import struct
import subprocess
import tempfile
import time
from pathlib import Path

ENCODING = "cp932"
TITLE = "オプション辞書インストール"
HOST_KEY_INSTALL_PATH = r"C:\Program Files\Heronix\Fumidori"
TOOLKIT_CLASS = "HRN10_DICMANAGER_MAIN"
IME_CLASS = "FumidoriImeStandIn"
USER_DIC_KIND = "odic"
PREFIX_STAMP = ".lexplant-prefix-ready"

# The Wine that runs a program of each PE machine: the prefix's architecture
# and the loader, called directly, since /usr/bin/wine picks the 32-bit one
# whenever it is installed, even where it cannot execute. The 32-bit loader
# is the one scripts/wine-choice.sh found (the package's, or the Wine setup
# unpacked where the package cannot be installed).
IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64 = 0x14C, 0x8664
WINES = {
    IMAGE_FILE_MACHINE_I386: ("win32", os.environ.get("LEXPLANT_WINE32_LOADER") or "/usr/lib/wine/wine",
                              "32-bit program"),
    IMAGE_FILE_MACHINE_AMD64: ("win64", "/usr/lib/wine/wine64", "x64 program"),
}

# Japanese dialog fonts mapped to the installed IPA fonts so that texts render.
FONT_REPLACEMENTS = {
    "ＭＳ Ｐゴシック": "IPAPGothic",
    "MS PGothic": "IPAPGothic",
    "MS UI Gothic": "IPAPGothic",
    "ＭＳ ゴシック": "IPAGothic",
    "MS Gothic": "IPAGothic",
    "ＭＳ 明朝": "IPAMincho",
    "MS Mincho": "IPAMincho",
}

# What the prefix is set up with; the prefix's stamp holds a digest of it, so
# that a prefix made with an older set-up is made again.
REGISTRY_LINES = (
    ["Windows Registry Editor Version 5.00", "",
     r"[HKEY_CURRENT_USER\Software\Wine\X11 Driver]",
     # Without a window manager Wine must draw captions itself.
     '"Decorated"="N"', '"Managed"="N"', "",
     r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
    + [f'"{k}"="{v}"' for k, v in FONT_REPLACEMENTS.items()])
# Caption buttons are glyphs of Marlett, which this Wine does not find in its
# own data folder; the prefix's font folder it always reads.
PREFIX_FONTS = (Path("/usr/share/wine/fonts/marlett.ttf"),)


def program_wine(program):
    """(WINEARCH, loader, what it is) for the Windows program at that path."""
    data = Path(program).read_bytes()[:4096]
    pe = struct.unpack_from("<I", data, 0x3C)[0] if len(data) >= 0x40 else 0
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise WineError(f"{program} is not a Windows program")
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    if machine not in WINES:
        raise WineError(f"{program}: no Wine here runs machine {machine:#x}")
    return WINES[machine]


# What a run as the Wine user needs of the clone besides the build, which it
# takes only the Windows programs of.
REPO = Path(__file__).resolve().parents[2]
STAGED_SOURCES = ("tests/e2e", "tests/bench", "samples")
WINDOWS_BINARIES = (".exe", ".dll")
SOURCE_NOTE = "source"
STAGE_MARK = ".wine-user-copy"
# The system's interpreter: the user may not read root's own (a pyenv's, say).
USER_PYTHON = "/usr/bin/python3"


def _mirror(src, dst, keep=lambda p: True):
    """Copies what changed of src into dst (by size and time), leaving dst's
    other files alone; returns the files it wrote."""
    written = []
    for f in [src] if src.is_file() else sorted(p for p in src.rglob("*") if p.is_file() and keep(p)):
        to = dst if src.is_file() else dst / f.relative_to(src)
        st = f.stat()
        if to.exists() and to.stat().st_size == st.st_size and to.stat().st_mtime == st.st_mtime:
            continue
        to.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(f, to)
        written.append(to)
    return written


def _stage_name(build):
    """The name of the build folder's copy: one the folder keeps in a file
    of its own, so that a build folder made again (a fresh clone at the same
    path) gets a fresh copy, prefixes and all."""
    mark = build / STAGE_MARK
    if not mark.exists():
        build.mkdir(parents=True, exist_ok=True)
        mark.write_text(secrets.token_hex(8) + "\n")
    return mark.read_text().strip()


def _forget_gone_builds(runs):
    """Removes the copies of build folders that are gone or made again (a CI
    clone's, say)."""
    for stage in (p for p in runs.iterdir() if p.is_dir()) if runs.exists() else ():
        note = stage / SOURCE_NOTE
        if not note.exists():
            continue
        mark = Path(note.read_text()) / STAGE_MARK
        if not mark.exists() or mark.read_text().strip() != stage.name:
            shutil.rmtree(stage, ignore_errors=True)


def _chown_tree(top, path, uid, gid):
    """Gives uid the path and the folders between top and it."""
    for p in [path, *path.parents]:
        os.chown(p, uid, gid)
        if p == top:
            break


def as_wine_user(script, args, build, outputs=(), files=()):
    """Started by root, runs the script again as the unprivileged Wine user,
    as the program runs on Windows (root under Wine opens read-only files for
    writing and ignores folder permissions), and returns its exit status;
    returns None when not root, for the caller to go on itself.

    The user may not read the clone, so the run gets a copy of its own in the
    user's home, one per build folder: the scripts, the samples and the
    build's Windows programs, refreshed each time; the Wine prefixes there
    are kept between runs. files maps an argument's path (a program to run
    instead of the build's) to the same file in the copy; the build's
    outputs (folders, such as the screenshots) come back to the clone. args
    are the script's own, in which build and files become the copy's."""
    if os.geteuid() != 0:
        return None
    name = os.environ.get("LEXPLANT_WINE_USER") or "lexplant"
    try:
        user = pwd.getpwnam(name)
    except KeyError:
        print(f"no user {name} to run Wine as: run scripts/setup.sh as root", flush=True)
        return 1
    build_arg, build = build, Path(build).resolve()
    home = Path(user.pw_dir)
    runs = home / "runs"
    stage = runs / _stage_name(build)
    _forget_gone_builds(runs)
    written = []
    for rel in STAGED_SOURCES:
        written += _mirror(REPO / rel, stage / rel)
    staged_build = stage / "build"
    # The program and the host's binaries only: a build folder may also hold
    # a Wine prefix of an earlier run, full of binaries that are not the build's.
    written += _mirror(build / "LexPlant.exe", staged_build / "LexPlant.exe")
    written += _mirror(build / "host", staged_build / "host",
                       lambda p: p.suffix.lower() in WINDOWS_BINARIES and "CMakeFiles" not in p.parts)
    mapped = []
    for arg in args:
        if arg == build_arg:
            arg = str(staged_build)
        elif arg in files:
            to = stage / "files" / Path(arg).name
            written += _mirror(Path(arg).resolve(), to)
            arg = str(to)
        mapped.append(arg)
    (stage / SOURCE_NOTE).write_text(str(build))
    written.append(stage / SOURCE_NOTE)
    env = dict(os.environ, HOME=str(home), USER=name, LOGNAME=name)
    counts = os.environ.get("LEXPLANT_COUNTS")
    if counts:
        env["LEXPLANT_COUNTS"] = str(stage / "counts")
        (stage / "counts").write_text("")
        written.append(stage / "counts")
    if env.get("DISPLAY"):
        # The user's own copy of root's key to that display, if it has one.
        key = subprocess.run(["xauth", "extract", "-", env["DISPLAY"]], capture_output=True).stdout
        if key:
            env["XAUTHORITY"] = str(stage / "Xauthority")
            subprocess.run(["xauth", "-f", env["XAUTHORITY"], "-q", "merge", "-"], input=key, capture_output=True)
            written.append(stage / "Xauthority")
    for f in written:
        _chown_tree(home, f, user.pw_uid, user.pw_gid)
    staged_script = stage / Path(script).resolve().relative_to(REPO)
    print(f"Wine runs as the user {name}, in {stage}", flush=True)
    rc = subprocess.run([USER_PYTHON, str(staged_script)] + mapped, env=env, cwd=stage,
                        user=user.pw_uid, group=user.pw_gid, extra_groups=[]).returncode
    for rel in outputs:
        if (build / rel).exists():
            shutil.rmtree(build / rel)
        if (staged_build / rel).exists():
            shutil.copytree(staged_build / rel, build / rel)
            print(f"copied to {build / rel}", flush=True)
    if counts:
        with open(counts, "a") as f:
            f.write((stage / "counts").read_text())
    return rc


def setup_digest(arch):
    h = hashlib.sha256()
    h.update(arch.encode() + b"\n")
    for line in REGISTRY_LINES:
        h.update(line.encode() + b"\n")
    for font in PREFIX_FONTS:
        h.update(str(font).encode() + b"\n")
        h.update(hashlib.sha256(font.read_bytes()).digest() if font.exists() else b"absent")
    return h.hexdigest()


def exit_on_termination():
    """SIGTERM and SIGHUP end the program as an exception would, so that the
    cleanup in finally blocks (Wine's programs, the X server) still runs."""
    def stop(signum, _frame):
        raise SystemExit(128 + signum)
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, stop)


_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}


def unescape(text):
    return re.sub(r"\\(.)", lambda m: _ESCAPES.get(m.group(1), m.group(1)), text)


def decode_lines(data):
    """Bytes of a host log or answer into lists of unescaped tab fields."""
    rows = []
    for raw in data.split(b"\n"):
        raw = raw.rstrip(b"\r")
        if raw:
            rows.append([unescape(f) for f in raw.decode(ENCODING, "replace").split("\t")])
    return rows


def win_to_unix_name(path):
    return path.replace("\\", "/")


class WineError(RuntimeError):
    pass


class Xvfb:
    """An X server of our own, on a display number it picks itself."""

    def __init__(self):
        self.proc = None
        self.display = None

    def start(self, timeout=10):
        # With -displayfd the server takes the first free display and writes
        # its number once it accepts connections: no race with another server.
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        finally:
            os.close(write_end)
        data = b""
        deadline = time.time() + timeout
        with selectors.DefaultSelector() as sel:
            sel.register(read_end, selectors.EVENT_READ)
            try:
                while not data.endswith(b"\n"):
                    left = deadline - time.time()
                    if left <= 0 or not sel.select(left):
                        break
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        break
                    data += chunk
            finally:
                os.close(read_end)
        number = data.strip()
        if not number.isdigit():
            self.stop()
            raise WineError("Xvfb did not start")
        self.display = f":{number.decode()}"
        return self.display

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)


class WinePrefix:
    """A Japanese Wine prefix for the build's programs, of their architecture,
    and the commands run in it."""

    def __init__(self, prefix, build_dir, display):
        self.prefix = Path(prefix).resolve()
        self.build = Path(build_dir).resolve()
        self.host_bin = self.build / "host"
        self.arch, self.loader, self.program = program_wine(self.build / "LexPlant.exe")
        if not os.access(self.loader, os.X_OK):
            raise WineError(f"no Wine for the {self.program}: {self.loader} is missing")
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEARCH": self.arch,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "LC_ALL": "ja_JP.UTF-8",
            "LANG": "ja_JP.UTF-8",
            "DISPLAY": display,
        })

    # ---- prefix and server ----

    def ensure(self):
        """Makes the prefix unless one made with the same set-up is there."""
        stamp = self.prefix / PREFIX_STAMP
        digest = setup_digest(self.arch)
        if stamp.exists() and stamp.read_text().strip() == digest:
            return False
        # A server left running in the old prefix would keep its files busy.
        self.stop_server()
        if self.prefix.exists():
            shutil.rmtree(self.prefix)
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        boot = subprocess.run([self.loader, "wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=300)
        if boot.returncode != 0:
            why = boot.stderr.decode(errors="replace").strip().splitlines()[-1:] or [f"exit {boot.returncode}"]
            raise WineError(f"{self.loader} could not make the {self.arch} prefix: {why[0]}")
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)
        with tempfile.NamedTemporaryFile("wb", suffix=".reg", delete=False) as f:
            f.write(("\r\n".join(REGISTRY_LINES) + "\r\n").encode("utf-16"))
            reg = f.name
        try:
            self.run(["regedit", "/S", reg])
        finally:
            os.unlink(reg)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)
        fonts = self.prefix / "drive_c" / "windows" / "Fonts"
        for font in PREFIX_FONTS:
            if font.exists():
                shutil.copy(font, fonts)
        stamp.write_text(digest + "\n")
        return True

    def start_server(self):
        """A persistent server for the prefix, ready when this returns. Any
        server already there (one left by a run that was killed, or one with
        programs of a failed scenario) is ended first, with all its programs."""
        self.stop_server()
        # Without -f the server goes to the background only once it listens.
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=60)

    def stop_server(self):
        """Ends the prefix's server and every program still running in it."""
        for args in (["wineserver", "-k"], ["wineserver", "-w"]):
            subprocess.run(args, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def run(self, args, timeout=120):
        r = subprocess.run([self.loader] + list(args), env=self.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, timeout=timeout)
        return r.returncode, r.stdout

    # ---- paths ----

    def unix(self, win_path):
        """C:\\a\\b -> the file in the prefix; Z:\\ is the Linux root."""
        drive, rest = win_path[0].lower(), win_path[2:].lstrip("\\")
        base = Path("/") if drive == "z" else self.prefix / f"drive_{drive}"
        return base / win_to_unix_name(rest)

    def host_exe(self, name):
        return "Z:" + str(self.host_bin / name).replace("/", "\\")

    def system32(self, name=""):
        return self.prefix / "drive_c/windows/system32" / name

    # ---- host setup ----

    def hostsetup(self, *commands):
        rc, out = self.run([str(self.host_bin / "hostsetup.exe")] + list(commands))
        rows = decode_lines(out)
        errors = [r for r in rows if r and r[0] == "error"]
        if rc != 0 or errors:
            raise WineError(f"hostsetup {' '.join(commands)}: {errors or rc}")
        return rows

    def dump(self):
        """The host's state: install path, common library, user folder, values."""
        state = {"values": {}}
        for row in self.hostsetup("dump"):
            if row[0] == "value":
                # Value names match without regard to case, as in the registry.
                # A value the dump could not read has "?" for its type.
                kind = int(row[2]) if row[2].isdigit() else None
                state["values"][row[1].lstrip("\\").lower()] = (kind, row[3])
            elif row[0] in ("installpath", "installpath-key", "userdicroot", "common"):
                state[row[0]] = row[1:] if row[0] == "common" else row[1]
        return state


class DriverError(RuntimeError):
    pass


class Dialog:
    """What the driver saw of one dialog or message box."""

    def __init__(self, rows):
        self.kind = None
        self.hwnd = None
        self.rect = None
        self.caption = None
        self.controls = []  # (id, class, style, visible, check, text)
        self.icon = None
        # What the driver's fit probe measured inside the program, in pixels.
        self.dpi = None
        self.client = None  # (width, height)
        self.measured = []  # (id, class, (left, top, right, bottom), needed, available, text)
        self.unmeasured = None
        for row in rows:
            if row[0] == "window":
                self.hwnd = row[1]
                self.rect = tuple(int(v) for v in row[2:6])
                self.kind = row[6]
            elif row[0] == "caption":
                self.caption = row[1]
            elif row[0] == "control":
                check = None if row[5] == "-" else int(row[5])
                self.controls.append((int(row[1]), row[2], int(row[3], 16), row[4] == "1", check, row[6]))
            elif row[0] == "icon":
                self.icon = row[1]

    def take_measures(self, rows):
        for row in rows:
            if row[0] == "dialog":
                self.dpi = int(row[1])
                self.client = (int(row[2]), int(row[3]))
            elif row[0] == "control":
                place = tuple(int(v) for v in row[3:7])
                needed = available = text = None
                if len(row) > 7:
                    needed, available, text = (int(row[7]), int(row[8])), (int(row[9]), int(row[10])), row[11]
                self.measured.append((int(row[1]), row[2], place, needed, available, text))
            elif row[0] == "error":
                self.unmeasured = row[1]

    def misfits(self):
        """Each text that needs more room than its control gives it, with the
        control's own font and wrapping, and each control that leaves the
        dialog's client area."""
        if self.client is None:
            return [f"{self.summary()}: not measured ({self.unmeasured})"]
        width, height = self.client
        out = []
        for cid, cls, (left, top, right, bottom), needed, available, text in self.measured:
            name = f"{self.kind} {self.caption!r}: {cls} {cid}" + (f" {text!r}" if text else "")
            if left < 0 or top < 0 or right > width or bottom > height:
                out.append(f"{name} at ({left}, {top})-({right}, {bottom}) leaves the {width}×{height} client area")
            if needed and (needed[0] > available[0] or needed[1] > available[1]):
                out.append(f"{name} needs {needed[0]}×{needed[1]} px, has {available[0]}×{available[1]}"
                           f" at {self.dpi} DPI")
        return out

    def visible(self):
        return [c for c in self.controls if c[3]]

    def buttons(self):
        """Ids of the visible push buttons, in order."""
        return [c[0] for c in self.visible() if c[1].lower() == "button" and c[4] is None
                and (c[2] & 0xF) in (0, 1)]

    def text(self, control_id):
        for c in self.visible():
            if c[0] == control_id:
                return c[5]
        return None

    def message(self):
        """A message box's text: its visible static text control."""
        texts = [c[5] for c in self.visible() if c[1].lower() == "static" and c[0] == 0xFFFF]
        return texts[0] if texts else None

    def checks(self):
        return {c[0]: c[4] for c in self.visible() if c[4] is not None}

    def summary(self):
        if self.kind == "messagebox":
            return f"message box [{self.icon}] {self.message()!r} buttons {self.buttons()}"
        return f"dialog {self.caption!r} " + ", ".join(
            f"{c[0]}:{c[5]!r}" + ("" if c[4] is None else f"[{c[4]}]") for c in self.visible())


class Driver:
    """The UI driver running in the prefix: one command, one answer."""

    def __init__(self, wine, shots_dir=None, shot_prefix="shot", env=None):
        self.wine = wine
        self.proc = subprocess.Popen([wine.loader, str(wine.host_bin / "uidriver.exe")], env=env or wine.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.sel = selectors.DefaultSelector()
        self.sel.register(self.proc.stdout, selectors.EVENT_READ)
        self.buf = b""
        self.shots_dir = shots_dir
        self.shot_prefix = shot_prefix
        self.shots = []
        self.seen = []

    def command(self, line, timeout=30):
        try:
            self.proc.stdin.write((line + "\n").encode(ENCODING))
            self.proc.stdin.flush()
        except OSError as e:
            raise DriverError(f"driver gone before {line!r}: {e}") from e
        deadline = time.time() + timeout
        while True:
            if self.buf.startswith(b".\n"):
                self.buf = self.buf[2:]
                return []
            end = self.buf.find(b"\n.\n")
            if end >= 0:
                answer, self.buf = self.buf[:end + 1], self.buf[end + 3:]
                return decode_lines(answer)
            left = deadline - time.time()
            if left <= 0:
                raise DriverError(f"driver gave no answer to {line!r}")
            if not self.sel.select(min(left, 0.5)):
                # Its pipe may outlive it, held by Wine: look at the process too.
                if self.proc.poll() is not None:
                    raise DriverError(f"driver ended during {line!r}")
                continue
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                raise DriverError(f"driver ended during {line!r}")
            self.buf += chunk

    def _single(self, line, timeout=30):
        rows = self.command(line, timeout)
        # A spawned console program may print into our pipe; the answer is last.
        return rows[-1] if rows else []

    def launch(self, win_path):
        row = self._single(f'launch "{win_path}"')
        if row[0] != "pid":
            raise DriverError(f"launch failed: {row}")
        return int(row[1])

    def spawn(self, cmdline):
        row = self._single(f"spawn {cmdline}")
        if row[0] != "pid":
            raise DriverError(f"spawn failed: {row}")
        return int(row[1])

    def wait(self, timeout_ms=15000, caption=None):
        """The next dialog (captioned as the installer's title unless caption
        is given), or the string "exited" / "timeout"."""
        line = f"wait {timeout_ms}" + (f" {caption}" if caption else "")
        rows = self.command(line, timeout_ms / 1000 + 30)
        rows = [r for r in rows if r and r[0] in ("window", "caption", "control", "icon", "exited", "timeout")]
        if rows and rows[0][0] in ("exited", "timeout"):
            return rows[0][0]
        dialog = Dialog(rows)
        dialog.take_measures(self.command("fit"))
        self.seen.append(dialog)
        self.screenshot(dialog)
        return dialog

    def screenshot(self, dialog):
        if not self.shots_dir or not dialog.rect or not shutil.which("import"):
            return
        x, y, w, h = dialog.rect
        name = f"{self.shot_prefix}-{len(self.shots) + 1}-{dialog.kind}.png"
        path = Path(self.shots_dir) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        margin = 4
        subprocess.run(["import", "-display", self.wine.env["DISPLAY"], "-window", "root", "-crop",
                        f"{w + 2 * margin}x{h + 2 * margin}+{max(x - margin, 0)}+{max(y - margin, 0)}",
                        "+repage", str(path)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30)
        self.shots.append(path)

    def _act(self, line):
        row = self._single(line)
        return row[0] if row else ""

    def press(self, control_id):
        return self._act(f"press {control_id}")

    def escape(self):
        return self._act("escape")

    def enter(self):
        return self._act("enter")

    def close(self):
        return self._act("close")

    def gone(self, timeout_ms):
        """Waits, up to timeout_ms, for someone else to answer the dialog."""
        row = self._single(f"gone {timeout_ms}", timeout_ms / 1000 + 30)
        return row[0] if row else ""

    def check(self, control_id, state):
        row = self._single(f"check {control_id} {1 if state else 0}")
        return int(row[2]) if row and row[0] == "check" else None

    def exit(self, timeout_ms=15000):
        row = self._single(f"exit {timeout_ms}", timeout_ms / 1000 + 30)
        return row[0] == "exited"

    def windows(self):
        return [r for r in self.command("windows") if r and r[0] == "window"]

    def frame(self, title=None):
        """The installer's top-level non-dialog window of that title (its own
        title by default) as {"class", "visible", "enabled"}, or None."""
        row = self._single("frame" + (f" {title}" if title else ""))
        if not row or row[0] != "frame":
            return None
        return {"class": row[2], "visible": row[3] == "1", "enabled": row[4] == "1"}

    def app_command(self, command_id):
        """Posts a menu command to the window frame() found; True if posted."""
        return self._act(f"appcommand {command_id}") == "posted"

    def count(self, cls):
        row = self._single(f"count {cls}")
        return int(row[1])

    def close_class(self, cls):
        return self._single(f"closeclass {cls}")

    def kill(self):
        return self._single("kill")

    def quit(self):
        try:
            self.proc.stdin.write(b"quit\n")
            self.proc.stdin.flush()
            self.proc.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait(5)
        finally:
            self.sel.close()
