#!/usr/bin/env python3
"""End-to-end scenarios: the real LexPlant.exe under Wine against the
stand-in host, answered by the UI driver.

    run_e2e.py BUILD_DIR [--only NAME ...] [--display DISPLAY] [--time-limit SECONDS] [--program EXE]

BUILD_DIR is the Windows build (LexPlant.exe and host/ in it); nothing is
built here. One Wine prefix under BUILD_DIR/e2e/prefix is made on the first
run and reused; each scenario resets the host state, and after a failed one
every program in the prefix is ended. A PNG of every dialog goes to
BUILD_DIR/e2e/shots. One line per scenario, then "N passed, M failed".

The run stops after two harness errors in a row, or when the time limit
(E2E_TIME_LIMIT, default 900 s) has passed; the scenarios not run by then
count as failed.
"""

import argparse
import os
import shutil
import sys
import time
from pathlib import Path

# No __pycache__ left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
import winehost  # noqa: E402
from harness import Failed  # noqa: E402
from winehost import TITLE  # noqa: E402

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
ID_ENABLE_NOW, ID_LAUNCH_TOOLKIT = 1001, 1002
STATIC_ID = 0xFFFF
IMN_PRIVATE, RELOAD_CODE = 14, 1975
ID_APP_ABOUT = 0xE140
SS_TYPEMASK, SS_ICON = 0x1F, 0x3

MSG_NOT_INSTALLED = "Fumidori V1.0がインストールされていません.処理を中止します."
MSG_HOST_INVALID = "Fumidori のインストール状態が不正です.処理を中止します."
MSG_NO_SOURCES = "インストールする辞書がありません.処理を中止します."
MSG_NO_USER_ROOT = "ユーザプロファイルのパスを取得できません.処理を中止します."
MSG_TOOLKIT = ("辞書ツールキットが起動中です.\nオプション辞書をインストールする場合は,"
               "辞書ツールキットを閉じて「OK」を押してください.")
MSG_ALREADY = ("インストールするオプション辞書と同じ名前の辞書がすでに登録されています．"
               "\n\n辞書名 : {}\n\n辞書を上書きしますか?")
MSG_EXISTS = ("オプション辞書のインストール先に同じ名前の辞書が存在しています．"
              "\n\n辞書名 : {}\n\n辞書を上書きしますか?")
MSG_COPY_FAILED = ("辞書のコピーができません.\n辞書ツールキットを起動して以下のオプション辞書を削除してください."
                   "\n\n削除するオプション辞書 :  {}\n\nその後システムを再起動して,再度インストールしてください.")
MSG_REGISTER_FAILED = "オプション辞書の登録に失敗しました.処理を中止します."
MSG_SETTING_FAILED = "オプション辞書の設定に失敗しました.処理を中止します."
MSG_TARGET_TOO_LONG = "インストール先の辞書のパスが長すぎます.処理を中止します.\n\n辞書 : {}"
MSG_CANNOT_ENABLE = ("インストールしたオプション辞書を有効にできません.\n"
                     "辞書ツールキットを起動し,有効にするオプション辞書を選択してください.")

CONFIRM_HEADING = "インストールを開始します。"
CONFIRM_AGREEMENT = "上記の免責事項に同意する方は、「インストール」ボタンを押してください。"
CONFIRM_INSTALL = "インストール(&I)"
CONFIRM_CANCEL = "キャンセル"
COMPLETE_TEXT = ("オプション辞書のインストールが完了しました.\n\n辞書ツールキットでインストールした辞書を有効にしてください."
                 "(有効にしたい辞書アイコンをクリックし, 開いた状態にしてください)")
COMPLETE_CLOSE = "閉じる"
COMPLETE_ENABLE = "今すぐ有効にする(&N)"
COMPLETE_LAUNCH = "辞書ツールキットを起動する(&D)"
ABOUT_CAPTION = "LexPlantのﾊﾞｰｼﾞｮﾝ情報"
ABOUT_VERSION = "LexPlant Version 1.0"
# The frame's icon, as the driver names an icon found in the program's file.
PROGRAM_ICON = "program 128"

KIT = r"C:\KIT"
E2E_DIR = r"C:\e2e"
# Written by the library named like the host's that every scenario puts
# beside LexPlant.exe, whenever anything loads it.
PLANTED_LOG = r"C:\HRNCMN10.PLANTED.LOG"
PATH_LIBRARY_DIR = r"C:\HostLib"
IME_LOG = E2E_DIR + r"\ime.log"
ASSISTANT = r"C:\Program Files\Heronix\Fumidori\DIC\assist.dic"
STOP, EXCLAMATION = "stop", "exclamation"
# The display's DPI (LogPixels): 100 % unless a scenario's row says otherwise.
DEFAULT_DPI = 96
TOOLKIT_SETTLE_S = 1.5
SW_SHOW = 5


class Scenario:
    """One scenario's view of the prefix: set-up, the driver, and checks."""

    def __init__(self, env, name):
        self.env = env
        self.wine = env.wine
        self.name = name
        self.failures = []
        self.driver = None
        self.kit = KIT
        self.dpi = DEFAULT_DPI

    # ---- checks ----

    def expect(self, cond, what):
        if not cond:
            self.failures.append(what)
        return cond

    def equal(self, got, want, what):
        return self.expect(got == want, f"{what}: got {got!r}, want {want!r}")

    def require(self, cond, what):
        if not cond:
            self.failures.append(what)
            raise Failed(what)

    # ---- set-up ----

    def prepare(self, dics=None, host=(), seeds=(), kit=KIT, option=True, path=None):
        """Resets the host and lays out the kit with its option folder.

        dics maps a file name to its content, or to (content, "h"/"s"/"r")
        for attributes, or to None for a folder of that name. path is a
        folder added to PATH for the programs the driver starts."""
        self.kit = kit
        self.env.reset()
        kit_dir = self.wine.unix(kit)
        kit_dir.mkdir(parents=True)
        shutil.copy2(self.env.product, kit_dir / "LexPlant.exe")
        # As if downloaded beside it: nothing may ever load it.
        shutil.copy2(self.env.planted, kit_dir / "HRNCMN10.DLL")
        commands = ["dpi", str(self.dpi), "resetstore", "install", winehost.HOST_KEY_INSTALL_PATH] + list(host)
        for path, value in seeds:
            commands += ["setdw", path, str(value)] if isinstance(value, int) else ["setsz", path, value]
        if option:
            opt = kit_dir / "option"
            opt.mkdir()
            for name, content in (dics or {}).items():
                attrs = ""
                if isinstance(content, tuple):
                    content, attrs = content
                if content is None:
                    (opt / name).mkdir()
                    continue
                (opt / name).write_bytes(content.encode() if isinstance(content, str) else content)
                if attrs:
                    commands += ["attrib", "+" + attrs, f"{kit}\\option\\{name}"]
        self.wine.hostsetup(*commands)
        # Wine adds WINEPATH to the PATH of the programs it starts: the
        # driver's, and so the installer's.
        env = dict(self.wine.env, WINEPATH=path) if path else None
        self.driver = winehost.Driver(self.wine, self.env.shots, self.name, env=env)

    def fail_calls(self, *rules):
        """Failure switches of the common library, one rule each:
        "FUNCTION PATH CALLS RESULT" (see the library's source)."""
        self.wine.system32("HRNCMN10.FAIL").write_text("".join(r + "\n" for r in rules), encoding=winehost.ENCODING)

    def injected_calls(self):
        """(call, value path) of every call a failure switch failed."""
        return [(r[0], r[5] if r[0] == "DeleteRegKeyData" else r[4]) for r in self.common_log() if r[-1] == "injected"]

    def user_root(self):
        return self.env.user_root

    def user_path(self, name):
        return self.env.user_root + "\\" + name

    def put_user_file(self, name, content):
        root = self.wine.unix(self.env.user_root)
        root.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(content)

    def registered_seed(self, *names, enabled=True):
        """Store values for dictionaries installed by an earlier run."""
        seeds = [(r"OptionDic\RegOptionDicNum", len(names))]
        seeds += [(rf"OptionDic\RegOptionDic{i}", self.user_path(n)) for i, n in enumerate(names, 1)]
        if enabled:
            seeds += [(r"OptionDic\OptionDicNum", len(names))]
            seeds += [(rf"OptionDic\OptionDIC{i}", self.user_path(n)) for i, n in enumerate(names, 1)]
        return seeds

    def assistant_seed(self):
        return [(r"AssistantDic\AssistantDicNum", 1), (r"AssistantDic\AssistantDic1", ASSISTANT)]

    def start_toolkit(self):
        self.driver.spawn(f'"{winehost.HOST_KEY_INSTALL_PATH}\\CMD\\HRNDIC.EXE"')
        self.wait_for(lambda: self.toolkit_ready() == 1, "toolkit window")
        self.require(self.driver.count(winehost.TOOLKIT_CLASS) == 1, "toolkit window did not appear")

    def start_ime(self, *args):
        self.wine.unix(E2E_DIR).mkdir(parents=True, exist_ok=True)
        quoted = " ".join(f'"{a}"' for a in args)
        ready = sum(r[0] == "ready" for r in self.ime_log())
        self.driver.spawn(f'"{self.wine.host_exe("imewin.exe")}" --log "{IME_LOG}" {quoted}')
        self.wait_for(lambda: sum(r[0] == "ready" for r in self.ime_log()) > ready, "input-method window")

    def wait_for(self, cond, what, timeout=15):
        deadline = time.time() + timeout
        while not cond():
            if time.time() > deadline:
                raise Failed(f"{what} not ready")
            time.sleep(0.05)

    # ---- the run ----

    def launch(self):
        self.driver.launch(f"{self.kit}\\LexPlant.exe")

    def next_dialog(self, what):
        d = self.driver.wait()
        if isinstance(d, str):
            self.require(False, f"expected {what}, but the program {d}")
        self.expect_alone(d, what)
        return d

    def expect_alone(self, d, what):
        """While a dialog is up it is the program's only dialog and its only
        visible window (the hidden frame and input-method windows aside): an
        earlier one left behind would show here, before the program ends."""
        windows = self.driver.windows()
        dialogs = [w[1] for w in windows if w[2] == "#32770"]
        shown = [w[1] for w in windows if w[3] == "1"]
        self.equal((dialogs, shown), ([d.hwnd], [d.hwnd]), f"the program's dialogs and visible windows at {what}")

    def expect_end(self):
        """The program ends by itself."""
        d = self.driver.wait(3000)
        if not isinstance(d, str):
            self.failures.append(f"unexpected {d.summary()}")
            return
        self.require(self.driver.exit(15000), "the program did not end")

    def expect_confirm(self, d):
        self.equal(d.kind, "dialog", "confirmation kind")
        self.equal(d.caption, TITLE, "confirmation caption")
        self.equal(d.text(IDOK), CONFIRM_INSTALL, "Install button")
        self.equal(d.text(IDCANCEL), CONFIRM_CANCEL, "Cancel button")
        statics = [c[5] for c in d.visible() if c[0] == STATIC_ID and c[1].lower() == "static"]
        self.expect(CONFIRM_HEADING in statics, f"heading missing from {statics!r}")
        self.expect(CONFIRM_AGREEMENT in statics, "agreement line missing")
        self.expect(any("---免責事項---" in s for s in statics), "disclaimer missing")
        self.equal([c[0] for c in d.visible()][:2], [IDOK, IDCANCEL], "buttons first in tab order")

    def expect_about(self, d):
        self.equal(d.kind, "dialog", "about box kind")
        self.equal(d.buttons(), [IDOK], "about box buttons")
        self.equal(d.text(IDOK), "OK", "OK button")
        statics = [c for c in d.visible() if c[1].lower() == "static"]
        texts = [c[5] for c in statics if (c[2] & SS_TYPEMASK) != SS_ICON]
        self.expect(ABOUT_VERSION in texts, f"version line missing from {texts!r}")
        self.equal(len([t for t in texts if t and t != ABOUT_VERSION]), 1, "notice lines")
        self.equal(len([c for c in statics if (c[2] & SS_TYPEMASK) == SS_ICON]), 1, "icon controls")
        self.equal(d.icon, PROGRAM_ICON, "about box icon")

    def confirm(self):
        d = self.next_dialog("the confirmation dialog")
        self.expect_confirm(d)
        self.require(d.text(IDOK) == CONFIRM_INSTALL, "the confirmation dialog not shown")
        self.equal(self.driver.press(IDOK), "gone", "Install closes the confirmation")

    def expect_message(self, d, text, buttons, icon):
        self.equal(d.kind, "messagebox", "message kind")
        self.equal(d.caption, TITLE, "message caption")
        self.equal(d.message(), text, "message text")
        self.equal(sorted(d.buttons()), sorted(buttons), "message buttons")
        self.equal(d.icon, icon, "message icon")

    def message(self, text, buttons, icon, answer, what):
        d = self.next_dialog(what)
        self.expect_message(d, text, buttons, icon)
        # Answering some other window would only muddle what follows.
        self.require(d.kind == "messagebox" and d.message() == text, f"{what} not shown")
        if answer is not None:
            self.equal(self.driver.press(answer), "gone", f"answering {what}")
        return d

    def stop_message(self, text, what):
        self.message(text, [IDOK], STOP, IDOK, what)

    def expect_complete(self, d):
        self.equal(d.kind, "dialog", "completion kind")
        self.equal(d.caption, TITLE, "completion caption")
        self.equal(d.text(IDOK), COMPLETE_CLOSE, "Close button")
        self.equal(d.text(STATIC_ID), COMPLETE_TEXT, "completion text")
        self.equal(d.text(ID_ENABLE_NOW), COMPLETE_ENABLE, "enable-now box")
        self.equal(d.text(ID_LAUNCH_TOOLKIT), COMPLETE_LAUNCH, "toolkit box")
        self.equal(d.checks(), {ID_ENABLE_NOW: 1, ID_LAUNCH_TOOLKIT: 1}, "both boxes ticked")

    def complete(self, enable=True, launch=True, how="close"):
        d = self.next_dialog("the completion dialog")
        self.expect_complete(d)
        self.require(d.kind == "dialog" and d.text(ID_ENABLE_NOW) is not None, "the completion dialog not shown")
        if how == "close":
            self.equal(self.driver.check(ID_ENABLE_NOW, enable), int(enable), "enable-now box")
            self.equal(self.driver.check(ID_LAUNCH_TOOLKIT, launch), int(launch), "toolkit box")
            self.equal(self.driver.press(IDOK), "gone", "Close ends the completion dialog")
        elif how == "escape":
            self.equal(self.driver.escape(), "gone", "Escape ends the completion dialog")
        else:
            self.equal(self.driver.close(), "gone", "the close box ends the completion dialog")

    def toolkit_running(self):
        log = self.toolkit_log()
        return sum(r[0] == "started" for r in log) > sum(r[0] == "closed" for r in log)

    def finish(self):
        """Ends what the scenario started, then checks every call the
        installer made to the common library. A harness step failing here
        is one more failure; the caller ends whatever is left."""
        steps = [("measuring the texts", self.expect_texts_fit), ("cleaning up", self._end_programs),
                 ("ending the driver", self.driver.quit)] if self.driver else []
        steps.append(("reading the common library's log", self.expect_contract))
        steps.append(("looking for the planted library's log", self.expect_nothing_planted_ran))
        for what, step in steps:
            try:
                step()
            except Exception as e:  # noqa: BLE001 - any broken step fails the scenario
                self.failures.append(f"{what}: {type(e).__name__}: {e}")

    def expect_texts_fit(self):
        """Every dialog and message box seen was laid out at the scenario's
        DPI (so that a scaled row measured at its scale), and each of its
        texts fits its control there."""
        for d in self.driver.seen:
            self.equal(d.dpi, self.dpi, f"DPI of {d.kind} {d.caption!r}")
            self.failures += d.misfits()

    def _end_programs(self):
        self.driver.kill()
        self.driver.close_class(winehost.IME_CLASS)
        # A toolkit the installer started may still be opening its window.
        deadline = time.time() + 10
        while self.toolkit_running() and time.time() < deadline:
            self.driver.close_class(winehost.TOOLKIT_CLASS)
            time.sleep(0.1)

    # ---- what the host saw ----

    def _log(self, path):
        return winehost.decode_lines(path.read_bytes()) if path.exists() else []

    def common_log(self):
        return self._log(self.wine.system32("HRNCMN10.LOG")) + self._log(
            self.wine.unix(PATH_LIBRARY_DIR + r"\HRNCMN10.LOG"))

    def engine_log(self):
        return self._log(self.env.cmd_dir / "HRNCNV.LOG")

    def toolkit_log(self):
        return self._log(self.env.cmd_dir / "HRNDIC.LOG")

    def ime_log(self):
        return self._log(self.wine.unix(IME_LOG))

    def notifications(self):
        return [(r[1], int(r[2]), int(r[3])) for r in self.ime_log() if r[0] == "notify"]

    def toolkit_ready(self):
        return sum(1 for r in self.toolkit_log() if r[0] == "ready")

    def expect_toolkit_starts(self, count):
        """The count, after the time a wrongly started toolkit needs to show up."""
        time.sleep(TOOLKIT_SETTLE_S)
        self.equal(self.toolkit_starts(), count, "toolkit starts")

    def toolkit_starts(self):
        return sum(1 for r in self.toolkit_log() if r[0] == "started")

    def expect_toolkit_launch(self):
        """The installer started the toolkit once, to be shown (SW_SHOW) and
        with no parameters, and its window opened."""
        self.wait_for(lambda: self.toolkit_ready() == 1, "toolkit start", timeout=10)
        starts = [(r[2], r[3]) for r in self.toolkit_log() if r[0] == "started"]
        self.equal(starts, [(str(SW_SHOW), "")], "toolkit starts (show, parameters)")

    def engine_lists(self):
        return [(r[0], r[1:]) for r in self.engine_log()]

    def values(self):
        return self.wine.dump()["values"]

    def lists(self):
        """(registered, enabled) as the store holds them."""
        v = self.values()

        def read(count, prefix):
            n = v.get(f"optiondic\\{count}", (4, "0"))[1]
            return [v.get(f"optiondic\\{prefix}{k}", (1, None))[1] for k in range(1, int(n) + 1)]
        return read("regoptiondicnum", "regoptiondic"), read("optiondicnum", "optiondic")

    def user_files(self):
        root = self.wine.unix(self.env.user_root)
        return {p.name: p.read_bytes() for p in root.iterdir()} if root.exists() else {}

    def expect_untouched(self, seeds=()):
        """No file copied, no value written, the library asked nothing."""
        self.equal(self.user_files(), {}, "files in the user folder")
        seeded = {p.lower() for p, _ in seeds}
        written = [k for k in self.values() if k not in seeded]
        self.equal(written, [], "values written")
        self.equal([r for r in self.common_log() if r[0] in ("SetRegValue", "DeleteRegKeyData")], [],
                   "writes through the common library")

    def expect_nothing_planted_ran(self):
        self.equal(self._log(self.wine.unix(PLANTED_LOG)), [], "loads of the library beside LexPlant.exe")

    def expect_contract(self):
        """Every call to the common library as the installer must make it."""
        for r in self.common_log():
            if r[0] == "GenerateUserDicRootPath":
                ok = r[1:3] == ["odic", "1"]
            elif r[0] == "GetRegValue":
                ok = r[1:4] == ["80000001", "1", "0"] and (r[5], r[6]) in (("4", "4"), ("1", "260"))
            elif r[0] == "SetRegValue":
                ok = r[1:4] == ["80000001", "8001", "0"] and (r[7] == "=0" or r[-1] == "injected")
            elif r[0] == "DeleteRegKeyData":
                ok = r[1:5] == ["80000001", "1", "0", "1"]
            else:
                ok = False
            if not self.expect(ok, f"common library call {r}"):
                return


class Env:
    """The prefix, the product and the per-run paths."""

    def __init__(self, build, product=None):
        self.build = Path(build).resolve()
        self.product = Path(product).resolve() if product else self.build / "LexPlant.exe"
        self.planted = self.build / "host" / "planted" / "HRNCMN10.DLL"
        self.root = self.build / "e2e"
        self.shots = self.root / "shots"
        self.xvfb = winehost.Xvfb()
        self.wine = None
        self.user_root = None
        self.cmd_dir = None

    def start(self, display=None):
        if not display:
            display = self.xvfb.start()
        self.wine = winehost.WinePrefix(self.root / "prefix", self.build, display)
        if self.wine.ensure():
            print("made the Wine prefix", flush=True)
        self.wine.start_server()
        if self.shots.exists():
            shutil.rmtree(self.shots)
        self.shots.mkdir(parents=True)
        self.wine.hostsetup("install", winehost.HOST_KEY_INSTALL_PATH)
        self.user_root = self.wine.dump()["userdicroot"]
        self.cmd_dir = self.wine.unix(winehost.HOST_KEY_INSTALL_PATH + r"\CMD")

    def reset(self):
        w = self.wine
        for d in (w.prefix / "drive_c/KIT", w.unix(E2E_DIR), w.unix(self.user_root).parent.parent,
                  w.unix(PATH_LIBRARY_DIR)):
            shutil.rmtree(d, ignore_errors=True)
        for d in w.prefix.joinpath("drive_c").iterdir():
            if d.name.startswith("ソフト"):
                shutil.rmtree(d, ignore_errors=True)
        for f in (w.unix(PLANTED_LOG), w.system32("HRNCMN10.LOG"), w.system32("HRNCMN10.NOROOT"),
                  w.system32("HRNCMN10.FAIL"), self.cmd_dir / "HRNCNV.LOG",
                  self.cmd_dir / "HRNCNV.REFUSE", self.cmd_dir / "HRNDIC.LOG"):
            if f.exists():
                f.unlink()

    def recover(self):
        """Ends every program of the prefix, so that one stuck scenario (an
        installer still holding the host's library, say) cannot fail the
        next ones, and starts the server again."""
        self.wine.start_server()

    def stop(self):
        try:
            if self.wine:
                self.wine.stop_server()
        finally:
            self.xvfb.stop()


# ---------------------------------------------------------------- scenarios

def confirm_ends(s, answer):
    s.prepare({"Legal.DIC": "legal"})
    s.launch()
    d = s.next_dialog("the confirmation dialog")
    s.expect_confirm(d)
    result = {"cancel": lambda: s.driver.press(IDCANCEL), "escape": s.driver.escape,
              "close box": s.driver.close}[answer]()
    s.equal(result, "gone", f"{answer} ends the confirmation")
    s.expect_end()
    s.expect_untouched()
    s.equal(s.common_log(), [], "calls to the common library")


def scenario_confirm_cancel(s):
    """Confirmation dialog as laid out; Cancel ends the run, nothing done."""
    confirm_ends(s, "cancel")


def scenario_confirm_escape(s):
    """Escape in the confirmation dialog ends the run, nothing done."""
    confirm_ends(s, "escape")


def scenario_confirm_close_box(s):
    """The close box of the confirmation dialog ends the run, nothing done."""
    confirm_ends(s, "close box")


def scenario_about_box(s):
    """The About command posted to the hidden frame during the confirmation
    opens the version box with the program's icon; OK returns to the
    confirmation, whose Cancel ends the run, nothing done."""
    s.prepare({"Legal.DIC": "legal"})
    s.launch()
    s.expect_confirm(s.next_dialog("the confirmation dialog"))
    frame = s.driver.frame()
    s.require(frame is not None, "no main frame")
    s.expect(not frame["visible"], "the main frame is shown")
    s.require(s.driver.app_command(ID_APP_ABOUT), "About command not posted")
    d = s.driver.wait(caption=ABOUT_CAPTION)
    s.require(not isinstance(d, str), f"expected the about box, but the program {d}")
    s.expect_about(d)
    confirmations = [w for w in s.driver.windows() if w[2] == "#32770" and w[5] == TITLE]
    s.equal([w[4] for w in confirmations], ["0"], "the confirmation locked under the about box")
    s.equal(s.driver.press(IDOK), "gone", "OK ends the about box")
    d = s.next_dialog("the confirmation dialog after the about box")
    s.expect_confirm(d)
    s.require(d.text(IDCANCEL) == CONFIRM_CANCEL, "the confirmation dialog not back")
    s.equal(s.driver.press(IDCANCEL), "gone", "Cancel ends the confirmation")
    s.expect_end()
    s.expect_untouched()
    s.equal(s.common_log(), [], "calls to the common library")


def expect_not_installed(s, host):
    """With the host laid out so, only the not-installed message appears and
    the common library is never called."""
    s.prepare({"Legal.DIC": "legal"}, host=host)
    s.launch()
    s.confirm()
    s.stop_message(MSG_NOT_INSTALLED, "the not-installed message")
    s.expect_end()
    s.equal(s.common_log(), [], "calls to the common library")
    s.expect_untouched()


def scenario_host_key_missing(s):
    """No host key: only the not-installed message; the library is not called."""
    expect_not_installed(s, ["dropkey"])


def scenario_install_path_empty(s):
    """An empty InstallPath counts as not installed."""
    expect_not_installed(s, ["setpath", ""])


def scenario_broken_host(s):
    """Host key present but no common library: the invalid-state message."""
    s.prepare({"Legal.DIC": "legal"}, host=["nocommon"])
    s.launch()
    s.confirm()
    s.stop_message(MSG_HOST_INVALID, "the invalid-state message")
    s.expect_end()
    s.expect_untouched()


def scenario_library_beside_program(s):
    """With a library named like the host's beside LexPlant.exe, the install
    goes through the one in the system folder, and the planted one never
    loads (checked after every scenario)."""
    s.prepare({"Legal.DIC": "legal"})
    s.launch()
    s.confirm()
    s.complete(enable=False, launch=False)
    s.expect_end()
    s.equal(s.user_files(), {"Legal.dic": b"legal"}, "user folder")
    s.equal(s.lists(), ([s.user_path("Legal.dic")], []), "registered and enabled lists")
    s.expect(any(r[0] == "SetRegValue" for r in s._log(s.wine.system32("HRNCMN10.LOG"))),
             "the system folder's library did the writes")


def install_with_library_on_path(s, path):
    """The host's library only in PATH_LIBRARY_DIR, PATH as given: the
    install goes through that copy."""
    s.prepare({"Legal.DIC": "legal"}, host=["nocommon"], path=path)
    folder = s.wine.unix(PATH_LIBRARY_DIR)
    folder.mkdir(parents=True)
    shutil.copy2(s.wine.host_bin / "HRNCMN10.DLL", folder / "HRNCMN10.DLL")
    s.launch()
    s.confirm()
    s.complete(enable=False, launch=False)
    s.expect_end()
    s.equal(s.lists(), ([s.user_path("Legal.dic")], []), "registered and enabled lists")
    s.expect(any(r[0] == "SetRegValue" for r in s._log(folder / "HRNCMN10.LOG")), "the library on PATH did the writes")


def scenario_library_on_path(s):
    """The host's library only in a folder of PATH is still found there."""
    install_with_library_on_path(s, PATH_LIBRARY_DIR)


def scenario_library_behind_malformed_path_folder(s):
    """A PATH folder that cannot be examined (a malformed name) is passed
    over, as the loader does: the host's library in the next one is used."""
    install_with_library_on_path(s, "C:\\bad|dir;" + PATH_LIBRARY_DIR)


def scenario_no_dictionaries(s):
    """No ".dic" in option, then no option folder: the no-dictionary message,
    and the user folder is never asked for."""
    s.prepare({"notes.txt": "x", "old.dic.bak": "x", "dic": "x"})
    s.launch()
    s.confirm()
    s.stop_message(MSG_NO_SOURCES, "the no-dictionary message")
    s.expect_end()
    shutil.rmtree(s.wine.unix(KIT + r"\option"))
    s.launch()
    s.confirm()
    s.stop_message(MSG_NO_SOURCES, "the no-dictionary message without a folder")
    s.expect_end()
    s.equal([r for r in s.common_log() if r[0] == "GenerateUserDicRootPath"], [], "user folder requests")
    s.expect_untouched()


def scenario_user_folder_unavailable(s):
    """The library cannot name the user folder: the profile-path message."""
    s.prepare({"Legal.DIC": "legal"})
    s.wine.system32("HRNCMN10.NOROOT").write_text("")
    s.launch()
    s.confirm()
    s.stop_message(MSG_NO_USER_ROOT, "the profile-path message")
    s.expect_end()
    s.expect_untouched()


def scenario_toolkit_open_cancel(s):
    """Toolkit open: the question repeats after each OK; Cancel ends, nothing written."""
    s.prepare({"Legal.DIC": "legal"})
    s.start_toolkit()
    s.launch()
    s.confirm()
    for round_ in range(3):
        s.message(MSG_TOOLKIT, [IDOK, IDCANCEL], EXCLAMATION, IDOK, f"toolkit question {round_ + 1}")
    s.message(MSG_TOOLKIT, [IDOK, IDCANCEL], EXCLAMATION, IDCANCEL, "toolkit question 4")
    s.expect_end()
    s.expect_untouched()


def scenario_toolkit_closed_then_ok(s):
    """Closing the toolkit and pressing OK goes on; both boxes cleared: nothing more."""
    s.prepare({"Legal.DIC": "legal"})
    s.start_toolkit()
    s.launch()
    s.confirm()
    s.message(MSG_TOOLKIT, [IDOK, IDCANCEL], EXCLAMATION, None, "toolkit question")
    s.driver.close_class(winehost.TOOLKIT_CLASS)
    s.equal(s.driver.press(IDOK), "gone", "OK after closing the toolkit")
    s.complete(enable=False, launch=False)
    s.expect_end()
    path = s.user_path("Legal.dic")
    s.equal(s.user_files(), {"Legal.dic": b"legal"}, "user folder")
    s.equal(s.lists(), ([path], []), "registered and enabled lists")
    s.equal(s.engine_log(), [], "engine calls")
    s.expect_toolkit_starts(1)  # the one the test made


def scenario_source_filter(s):
    """Only plain files ending in ".dic" (any case) are installed."""
    s.prepare({"A.DIC": "a", "b.Dic": "b", "c.dic.bak": "c", "h.dic": ("h", "h"), "s.dic": ("s", "s"),
               "z.dic": None, "r.dic": ("r", "r")})
    s.launch()
    s.confirm()
    s.complete(enable=False, launch=False)
    s.expect_end()
    files = s.user_files()
    s.equal(sorted(files), ["A.dic", "b.dic", "r.dic"], "installed files")
    registered, enabled = s.lists()
    s.equal(sorted(registered), sorted(s.user_path(n) for n in ("A.dic", "b.dic", "r.dic")), "registered list")
    s.equal(enabled, [], "enabled list")


def fresh_install(s, kit, names, expected):
    s.prepare({n: f"content of {n}" for n in names}, seeds=s.assistant_seed(), kit=kit)
    s.start_ime()
    s.launch()
    s.confirm()
    s.complete(enable=True, launch=True)
    s.expect_end()
    files = s.user_files()
    s.equal(sorted(files), sorted(expected), "installed files")
    for src, dst in zip(names, expected):
        s.equal(files.get(dst), f"content of {src}".encode(), f"content of {dst}")
    registered, enabled = s.lists()
    s.equal(sorted(registered), sorted(s.user_path(n) for n in expected), "registered list")
    s.equal(enabled, registered, "enabled list follows the installation order")
    s.equal(s.engine_lists(), [("accept", enabled + [ASSISTANT])], "engine hand-over")
    s.equal(s.notifications(), [("HRN10_UI_MAIN", IMN_PRIVATE, RELOAD_CODE)], "notifications")
    s.expect_toolkit_launch()
    s.equal(sum(1 for r in s.common_log() if r[0] == "GenerateUserDicRootPath"), 1, "user folder requests")


def scenario_fresh_install(s):
    """Two new dictionaries, both boxes ticked: copied, registered, enabled,
    the engine and the input method told once, the toolkit started."""
    fresh_install(s, KIT, ["Legal.DIC", "Medical.dic"], ["Legal.dic", "Medical.dic"])


def scenario_cp932_names(s):
    """A kit folder and dictionary names whose two-byte characters end in 0x5C."""
    fresh_install(s, r"C:\ソフト表\KIT", ["表現.DIC", "ソース.dic"], ["表現.dic", "ソース.dic"])


def update_held(s, names, enable):
    """The dictionaries named registered and enabled in the user folder, the
    last, Legal.dic, held open by the input method until it is told, and an
    update of it: Yes to the already-registered question releases it through
    the notification, then it is overwritten and enabled again. Returns the
    paths of the names."""
    s.prepare({"Legal.DIC": "new legal"}, seeds=s.registered_seed(*names) + s.assistant_seed())
    for name in names:
        s.put_user_file(name, f"old {name}".encode())
    paths = [s.user_path(n) for n in names]
    s.start_ime("--hold", paths[-1])
    s.require(any(r[0] == "hold" and r[2] == "=ok" for r in s.ime_log()), "the window holds the file")
    s.launch()
    s.confirm()
    s.message(MSG_ALREADY.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDYES, "the already-registered question")
    s.complete(enable=enable, launch=False)
    s.expect_end()
    s.equal(s.user_files()["Legal.dic"], b"new legal", "the held file")
    s.equal(s.lists(), (paths, paths), "registered and enabled lists")
    events = [r[0] for r in s.ime_log() if r[0] in ("notify", "release")]
    s.equal(events, ["notify", "release", "notify"], "input-method window events")
    return paths


def scenario_reinstall_busy(s):
    """A registered dictionary held open by the input method, "enable now"
    ticked: released, overwritten, enabled again, and the enabling step hands
    the engine the list."""
    path, = update_held(s, ["Legal.dic"], enable=True)
    s.equal(s.engine_lists(), [("accept", [ASSISTANT]), ("accept", [path, ASSISTANT])], "engine hand-overs")


def scenario_decline_overwrite(s):
    """No to the already-registered question: nothing changes, no completion dialog."""
    seeds = s.registered_seed("Legal.dic")
    s.prepare({"Legal.DIC": "new legal"}, seeds=seeds)
    s.put_user_file("Legal.dic", b"old legal")
    s.launch()
    s.confirm()
    s.message(MSG_ALREADY.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDNO, "the already-registered question")
    s.expect_end()
    path = s.user_path("Legal.dic")
    s.equal(s.user_files(), {"Legal.dic": b"old legal"}, "user folder")
    s.equal(s.lists(), ([path], [path]), "registered and enabled lists")
    s.equal(s.engine_log(), [], "engine calls")
    s.expect_toolkit_starts(0)


def overwrite_with_boxes_cleared(s, question, seeds=(), enabled=False, read_only=False):
    """Legal.dic in the user folder (read-only, if so), an update of it, Yes
    to the question and both boxes of the completion dialog cleared: the new
    content, writable, registered, and enabled as it was."""
    s.prepare({"Legal.DIC": "new legal"}, seeds=seeds)
    s.put_user_file("Legal.dic", b"old legal")
    installed = s.wine.unix(s.user_path("Legal.dic"))
    if read_only:
        # Wine keeps the read-only attribute as the lack of write permission.
        installed.chmod(0o444)
    s.launch()
    s.confirm()
    s.message(question.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDYES, "the overwrite question")
    s.complete(enable=False, launch=False)
    s.expect_end()
    path = s.user_path("Legal.dic")
    s.equal(s.user_files(), {"Legal.dic": b"new legal"}, "user folder")
    s.expect(installed.stat().st_mode & 0o200, "the replaced copy is writable")
    s.equal(s.lists(), ([path], [path] if enabled else []), "registered and enabled lists")
    if read_only:
        # It cannot be opened for writing, so it is let go of as a held one:
        # the engine is handed the list without it, then the stored list.
        s.equal(s.engine_lists(), [("accept", []), ("accept", [path])], "engine hand-overs")


def scenario_destination_exists(s):
    """An unregistered file of the same name: the destination-exists question,
    Yes overwrites and registers it."""
    overwrite_with_boxes_cleared(s, MSG_EXISTS)


def scenario_busy_stays_busy(s):
    """A registered file that stays held: the copy fails with the base name, the
    old file is untouched, and the registration and the enabled entry are put
    back, the engine handed the list again."""
    seeds = s.registered_seed("Legal.dic")
    s.prepare({"Legal.DIC": "new legal"}, seeds=seeds)
    s.put_user_file("Legal.dic", b"old legal")
    path = s.user_path("Legal.dic")
    s.start_ime("--hold", path, "--keep")
    s.launch()
    s.confirm()
    s.message(MSG_ALREADY.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDYES, "the already-registered question")
    s.stop_message(MSG_COPY_FAILED.format("Legal"), "the copy-failure message")
    s.expect_end()
    s.equal(s.user_files(), {"Legal.dic": b"old legal"}, "user folder")
    s.equal(s.lists(), ([path], [path]), "registered and enabled lists")
    # Let go of, then back, and the engine told so.
    s.equal(s.engine_lists(), [("accept", []), ("accept", [path])], "engine hand-overs")
    s.expect_toolkit_starts(0)


def scenario_complete_escape(s):
    """Escape on the completion dialog keeps both flags set."""
    s.prepare({"Legal.DIC": "legal"})
    s.start_ime()
    s.launch()
    s.confirm()
    s.complete(how="escape")
    s.expect_end()
    path = s.user_path("Legal.dic")
    s.equal(s.lists(), ([path], [path]), "registered and enabled lists")
    s.equal(s.engine_lists(), [("accept", [path])], "engine hand-over")
    s.equal(len(s.notifications()), 1, "notifications")
    s.expect_toolkit_launch()


def scenario_notification_walk(s):
    """Marked windows anywhere below the top level get one notification each;
    a marked top-level window's children and other letter case get none."""
    s.prepare({"Legal.DIC": "legal"})
    s.start_ime("--title", "IME HRN10_UI_MAIN top", "--child", "HRN10_UI_MAIN under marked top")
    s.start_ime("--title", "IME host", "--child", "child HRN10_UI_MAIN", "--grandchild", "grandchild HRN10_UI_MAIN",
                "--child", "hrn10_ui_main lower case")
    s.launch()
    s.confirm()
    s.complete(enable=True, launch=False)
    s.expect_end()
    got = sorted(s.notifications())
    want = sorted((t, IMN_PRIVATE, RELOAD_CODE) for t in
                  ("IME HRN10_UI_MAIN top", "child HRN10_UI_MAIN", "grandchild HRN10_UI_MAIN"))
    s.equal(got, want, "notifications")


def scenario_toolkit_only(s):
    """Only the toolkit box ticked: no enabling and no notification; the toolkit starts."""
    s.prepare({"Legal.DIC": "legal"})
    s.start_ime()
    s.launch()
    s.confirm()
    s.complete(enable=False, launch=True)
    s.expect_end()
    s.equal(s.lists(), ([s.user_path("Legal.dic")], []), "registered and enabled lists")
    s.equal(s.engine_log(), [], "engine calls")
    s.equal(s.notifications(), [], "notifications")
    s.expect_toolkit_launch()


def scenario_engine_refuses(s):
    """The engine refuses the list: the cannot-enable message, then the
    notification and the toolkit start all the same."""
    s.prepare({"Legal.DIC": "legal"})
    (s.env.cmd_dir / "HRNCNV.REFUSE").write_text("")
    s.start_ime()
    s.launch()
    s.confirm()
    s.complete()
    s.stop_message(MSG_CANNOT_ENABLE, "the cannot-enable message")
    s.expect_end()
    path = s.user_path("Legal.dic")
    s.equal(s.lists(), ([path], [path]), "registered and enabled lists")
    s.equal(s.engine_lists(), [("refuse", [path])], "engine hand-over")
    s.equal(len(s.notifications()), 1, "notifications")
    s.expect_toolkit_launch()


def stop_at_failed_call(s, rule, message, registered=("Legal.dic",), source="Legal.DIC", overwrite=False,
                        file_after=b"old legal"):
    """Dictionaries an earlier run registered and enabled, Legal.dic's file
    in place, one source, and a rule that fails one call of the common
    library: the run stops with the message, both lists are as before, and
    the user folder holds no temporary copy."""
    s.prepare({source: "new legal"}, seeds=s.registered_seed(*registered))
    s.put_user_file("Legal.dic", b"old legal")
    s.fail_calls(rule)
    s.launch()
    s.confirm()
    if overwrite:
        s.message(MSG_ALREADY.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDYES, "the already-registered question")
    s.stop_message(message, "the stop message")
    s.expect_end()
    paths = [s.user_path(n) for n in registered]
    s.equal(s.lists(), (paths, paths), "registered and enabled lists")
    s.equal(s.user_files(), {"Legal.dic": file_after}, "user folder")
    s.equal(len(s.injected_calls()), 1, "failed calls")


def scenario_entry_unreadable_at_pruning(s):
    """A registered entry the common library cannot read (a DWORD value) is
    passed over by every reader and stays where it is: the stale entry
    behind it is pruned, and the new file is registered after them."""
    k1, gone, k3 = s.user_path("K1.dic"), s.user_path("Gone.dic"), s.user_path("K3.dic")
    seeds = [(r"OptionDic\RegOptionDicNum", 4), (r"OptionDic\RegOptionDic1", k1), (r"OptionDic\RegOptionDic2", 7),
             (r"OptionDic\RegOptionDic3", gone), (r"OptionDic\RegOptionDic4", k3)]
    s.prepare({"A.DIC": "a"}, seeds=seeds)
    s.put_user_file("K1.dic", b"k1")
    s.put_user_file("K3.dic", b"k3")
    s.launch()
    s.confirm()
    s.complete(enable=True, launch=False)
    s.expect_end()
    a = s.user_path("A.dic")
    v = s.values()
    s.equal(v.get("optiondic\\regoptiondic2"), (4, "7"), "the unreadable entry")
    s.equal(s.lists(), ([k1, "7", k3, a], [a]), "registered and enabled lists")
    s.equal(s.engine_lists(), [("accept", [a])], "engine hand-over")


def scenario_lookup_fails_at_copy(s):
    """The copy step cannot read the registered namesake: as designed it
    counts as not there, so the destination-exists question comes; No
    leaves everything as it was."""
    s.prepare({"Legal.DIC": "new legal"}, seeds=s.registered_seed("Legal.dic"))
    s.put_user_file("Legal.dic", b"old legal")
    # The pruning reads the entry first, the copy step's lookup second.
    s.fail_calls(r"GetRegValue OptionDic\RegOptionDic1 2 31")
    s.launch()
    s.confirm()
    s.message(MSG_EXISTS.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDNO, "the destination-exists question")
    s.expect_end()
    path = s.user_path("Legal.dic")
    s.equal(s.lists(), ([path], [path]), "registered and enabled lists")
    s.equal(s.user_files(), {"Legal.dic": b"old legal"}, "user folder")
    s.equal(len(s.injected_calls()), 1, "failed calls")


def scenario_lookup_fails_at_enabling(s):
    """Enabling cannot read the registered list's count: the enabled entry
    is never dropped on a lookup that could not tell, but must open like a
    registered one; the new one is enabled and the engine takes both."""
    s.prepare({"Legal.DIC": "legal"}, seeds=s.registered_seed("Other.dic"))
    s.put_user_file("Other.dic", b"other")
    # Four reads before enabling: the pruning, the copy step's lookup, and
    # the registration's lookup and count.
    s.fail_calls(r"GetRegValue OptionDic\RegOptionDicNum 5+ 31")
    s.launch()
    s.confirm()
    s.complete(enable=True, launch=False)
    s.expect_end()
    other, legal = s.user_path("Other.dic"), s.user_path("Legal.dic")
    s.equal(s.lists(), ([other, legal], [other, legal]), "registered and enabled lists")
    s.equal(s.engine_lists(), [("accept", [other, legal])], "engine hand-over")
    s.expect(s.injected_calls(), "no call failed")


def scenario_prune_only_gone(s):
    """Pruning drops a registration whose file is not found and one holding
    wildcards (though a file matches it), and keeps one whose folder cannot
    be searched (held open without sharing)."""
    held_dir = E2E_DIR + r"\held"
    held, wildcard, gone = held_dir + r"\Held.dic", s.user_path("Leg*.dic"), s.user_path("Gone.dic")
    seeds = [(r"OptionDic\RegOptionDicNum", 3), (r"OptionDic\OptionDicNum", 3)]
    for i, path in enumerate((held, wildcard, gone), 1):
        seeds += [(rf"OptionDic\RegOptionDic{i}", path), (rf"OptionDic\OptionDIC{i}", path)]
    s.prepare({"New.DIC": "new"}, seeds=seeds)
    s.put_user_file("Legal.dic", b"legal")
    s.wine.unix(held_dir).mkdir(parents=True)
    s.wine.unix(held).write_bytes(b"held")
    s.start_ime("--hold", held_dir, "--keep")
    s.require(any(r[0] == "hold" and r[2] == "=ok" for r in s.ime_log()), "the window holds the folder")
    s.launch()
    s.confirm()
    s.complete(enable=False, launch=False)
    s.expect_end()
    s.equal(s.lists(), ([held, s.user_path("New.dic")], [held]), "registered and enabled lists")


def namesake_elsewhere_fails(s, rule, registered_after):
    """Legal.dic registered and enabled in another folder, an update to
    install, Yes to the question, and a rule that fails one write after the
    copy: the setting-failed message, the new file in place, the name still
    registered and the namesake still enabled."""
    old_dir = E2E_DIR + r"\old"
    old, new = old_dir + r"\Legal.dic", s.user_path("Legal.dic")
    seeds = [(r"OptionDic\RegOptionDicNum", 1), (r"OptionDic\RegOptionDic1", old),
             (r"OptionDic\OptionDicNum", 1), (r"OptionDic\OptionDIC1", old)]
    s.prepare({"Legal.DIC": "new legal"}, seeds=seeds)
    s.wine.unix(old_dir).mkdir(parents=True, exist_ok=True)
    s.wine.unix(old).write_bytes(b"old legal")
    s.fail_calls(rule)
    s.launch()
    s.confirm()
    s.message(MSG_ALREADY.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDYES, "the already-registered question")
    s.stop_message(MSG_SETTING_FAILED, "the stop message")
    s.expect_end()
    s.equal(s.lists(), (registered_after(old, new), [old]), "registered and enabled lists")
    s.equal(s.user_files(), {"Legal.dic": b"new legal"}, "user folder")
    s.equal(len(s.injected_calls()), 1, "failed calls")


def scenario_overwrite_unregistering_fails(s):
    """The copy has taken its place and is registered; taking the namesake
    elsewhere out of the registered list then fails midway, leaving the new
    entry listed twice, never the name unlisted."""
    namesake_elsewhere_fails(s, r"SetRegValue OptionDic\RegOptionDicNum 2 31", lambda old, new: [new, new])


def scenario_overwrite_registration_fails(s):
    """The copy has taken its place but registering it fails: the namesake
    elsewhere stays registered and enabled."""
    namesake_elsewhere_fails(s, r"SetRegValue OptionDic\RegOptionDic2 1 31", lambda old, new: [old])


def scenario_reinstall_unticked(s):
    """A registered and enabled dictionary that nothing holds: it stays
    registered and enabled with the new content, and nobody is told."""
    overwrite_with_boxes_cleared(s, MSG_ALREADY, seeds=s.registered_seed("Legal.dic") + s.assistant_seed(),
                                 enabled=True)
    s.equal(s.engine_log(), [], "engine calls")
    s.expect_toolkit_starts(0)


def scenario_held_update_unticked(s):
    """A held update with both boxes cleared: once the entry is back, the
    engine is handed the stored enabled list once more, and the windows are
    told again."""
    keep, path = update_held(s, ["Keep.dic", "Legal.dic"], enable=False)
    s.equal(s.engine_lists(), [("accept", [keep, ASSISTANT]), ("accept", [keep, path, ASSISTANT])],
            "engine hand-overs")
    s.expect_toolkit_starts(0)


def scenario_copy_name_taken(s):
    """Folders under the name the copy is made under and under the name it
    once had (.~lx), and another program's .~lx file: the copy takes another
    name, the dictionary is installed and enabled, and the folders and the
    file stay as they were."""
    s.prepare({"A.DIC": "new a"})
    s.put_user_file("Notes.~lx", b"notes")
    root = s.wine.unix(s.user_root())
    for folder in ("A.dic.LexPlant-copy", "A.~lx"):
        (root / folder).mkdir()
    s.launch()
    s.confirm()
    s.complete(enable=True, launch=False)
    s.expect_end()
    a = s.user_path("A.dic")
    s.equal(sorted(p.name for p in root.iterdir()), ["A.dic", "A.dic.LexPlant-copy", "A.~lx", "Notes.~lx"],
            "user folder")
    s.equal([(root / n).is_dir() for n in ("A.dic.LexPlant-copy", "A.~lx")], [True, True], "the folders")
    s.equal(((root / "A.dic").read_bytes(), (root / "Notes.~lx").read_bytes()), (b"new a", b"notes"), "the files")
    s.equal(s.lists(), ([a], [a]), "registered and enabled lists")
    s.equal(s.engine_lists(), [("accept", [a])], "engine hand-over")


def scenario_read_only_source(s):
    """A read-only source gives a writable copy, which a second run replaces."""
    s.prepare({"Legal.DIC": ("legal", "r")})
    source = s.wine.unix(KIT + r"\option\Legal.DIC")
    installed = s.wine.unix(s.user_path("Legal.dic"))
    for run, content in enumerate((b"legal", b"new legal"), 1):
        if run == 2:
            # Wine keeps the read-only attribute as the lack of write permission.
            source.chmod(0o644)
            source.write_bytes(content)
            source.chmod(0o444)
        s.launch()
        s.confirm()
        if run == 2:
            s.message(MSG_ALREADY.format("Legal"), [IDYES, IDNO], EXCLAMATION, IDYES, "the already-registered question")
        s.complete(enable=False, launch=False)
        s.expect_end()
        s.equal(s.user_files(), {"Legal.dic": content}, f"user folder after run {run}")
        s.expect(installed.stat().st_mode & 0o222, f"the installed copy is read-only after run {run}")
    s.equal(s.lists(), ([s.user_path("Legal.dic")], []), "registered and enabled lists")


def scenario_user_folder_unwritable(s):
    """A user folder the user may not write to: the copy-failure message with
    the base name, and nothing registered. (Root would write there anyway.)"""
    s.prepare({"Legal.DIC": "legal"})
    folder = s.wine.unix(s.user_root())
    folder.mkdir(parents=True)
    folder.chmod(0o555)
    try:
        s.launch()
        s.confirm()
        s.stop_message(MSG_COPY_FAILED.format("Legal"), "the copy-failure message")
        s.expect_end()
    finally:
        folder.chmod(0o755)
    s.equal(s.user_files(), {}, "user folder")
    s.equal(s.lists(), ([], []), "registered and enabled lists")


def scenario_read_only_target(s):
    """A registered dictionary the user may not write to (read-only): let go
    of as a held one, then Yes replaces it, and the copy is writable. (Root
    would open it for writing, and find it free.)"""
    overwrite_with_boxes_cleared(s, MSG_ALREADY, s.registered_seed("Legal.dic"), enabled=True, read_only=True)


def scenario_target_path_too_long(s):
    """A file name that fits the source folder but makes the path in the user
    folder 260 bytes or more: the stop message naming it, before anything
    (the other dictionary included) is installed."""
    # Spaces let the message wrap; one long word would make a box wider
    # than the screen.
    length = 260 - len(s.user_path(".dic").encode(winehost.ENCODING))
    base = ("Long " * length)[:length - 1] + "L"
    s.require(len(KIT + "\\option\\" + base + ".DIC") < 260, "the source path fits")
    s.prepare({"A.DIC": "a", base + ".DIC": "long"})
    s.launch()
    s.confirm()
    s.stop_message(MSG_TARGET_TOO_LONG.format(base + ".dic"), "the path-too-long message")
    s.expect_end()
    s.expect_untouched()


def at_dpi(scenario, dpi):
    def run(s):
        s.dpi = dpi
        scenario(s)
    return run


# Run again at 150 % and 200 %: between them these show dialogs 132, 130 and
# 100 and every message box the scenarios show, so that each text is
# measured at each scale.
SCALED = ["about_box", "host_key_missing", "broken_host", "no_dictionaries", "user_folder_unavailable",
          "toolkit_closed_then_ok", "destination_exists", "busy_stays_busy", "overwrite_registration_fails",
          "engine_refuses", "target_path_too_long"]
SCALED_DPI = (144, 192)

SCENARIOS = [(name[len("scenario_"):], fn) for name, fn in globals().items() if name.startswith("scenario_")]
SCENARIOS += [(f"{name}_{dpi * 100 // DEFAULT_DPI}", at_dpi(fn, dpi))
              for dpi in SCALED_DPI for name, fn in SCENARIOS if name in SCALED]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir")
    ap.add_argument("--only", nargs="+", default=[], metavar="NAME")
    ap.add_argument("--display", help="use this X display instead of an own Xvfb")
    ap.add_argument("--program", help="run this LexPlant.exe (a signed release) instead of BUILD_DIR's")
    ap.add_argument("--time-limit", type=float, metavar="SECONDS",
                    help="stop the run after this long; what is left counts as failed "
                         f"(default: E2E_TIME_LIMIT, else {harness.DEFAULT_TIME_LIMIT_S})")
    args = ap.parse_args()
    if args.time_limit is None:
        try:
            args.time_limit = float(os.environ.get("E2E_TIME_LIMIT") or harness.DEFAULT_TIME_LIMIT_S)
        except ValueError:
            ap.error(f"E2E_TIME_LIMIT is not a number of seconds: {os.environ['E2E_TIME_LIMIT']!r}")
    known = [name for name, _ in SCENARIOS]
    unknown = [n for n in args.only if n not in known]
    if unknown:
        ap.error(f"unknown scenario: {', '.join(unknown)} (known: {', '.join(known)})")
    if args.time_limit <= 0:
        ap.error("--time-limit must be positive")
    scenarios = [(name, fn) for name, fn in SCENARIOS if not args.only or name in args.only]
    winehost.exit_on_termination()
    rc = winehost.as_wine_user(__file__, sys.argv[1:], args.build_dir, outputs=["e2e/shots"],
                               files=[args.program] if args.program else [])
    if rc is not None:
        return rc
    env = Env(args.build_dir, args.program)
    missing = [p for p in (env.product, env.planted, env.build / "host" / "uidriver.exe") if not p.exists()]
    if missing:
        print(f"missing build outputs: {', '.join(map(str, missing))}")
        harness.totals(0, len(scenarios))
        return 1
    failed = harness.run_all(env, Scenario, scenarios, args.time_limit, args.display)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
