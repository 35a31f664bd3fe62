#!/usr/bin/env python3
"""Shows LexPlant.exe at work on the stand-in host, in a Wine prefix of its own.

    demo.py BUILD_DIR [--reset] [--headless]

With a DISPLAY (and without --headless) the program runs on that display and
the user answers it. Otherwise it runs under an own Xvfb and every dialog is
answered as a first-time user would: Install, Yes to an overwrite question,
both boxes left ticked, Close. Either way a report follows: each dialog and
message shown (with a PNG of each), the files copied, the registered and
enabled lists before and after, what the engine received, the notifications
and whether the toolkit started. Answered so, it then runs once more on a
display scaled to 150 % (144 DPI), for PNGs of the same dialogs laid out
there; a text that would not fit its control is reported either way. The
prefix is kept, so a second run meets the dictionaries of the first and
shows the overwrite question; --reset starts afresh.
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
import winehost  # noqa: E402

KIT = r"C:\DEMO"
IME_LOG = r"C:\demo-logs\ime.log"
ASSISTANT = r"C:\Program Files\Heronix\Fumidori\DIC\assist.dic"
# Our own tiny sample dictionaries (code page 932, CRLF), the folder a
# vendor would ship: scripts/release.sh --option samples/option.
SAMPLE_OPTION = Path(__file__).resolve().parents[2] / "samples" / "option"
SAMPLES = sorted(p.name for p in SAMPLE_OPTION.iterdir())
IDOK, IDCANCEL, IDYES = 1, 2, 6
WAIT_MS = 15000
INTERACTIVE_WAIT_MS = 600000
DPI, SCALED_DPI = 96, 144


def lists(wine):
    values = wine.dump()["values"]

    def read(count, prefix):
        n = int(values.get(f"optiondic\\{count}", (4, "0"))[1])
        return [values.get(f"optiondic\\{prefix}{k}", (1, "?"))[1] for k in range(1, n + 1)]
    return read("regoptiondicnum", "regoptiondic"), read("optiondicnum", "optiondic")


def show_list(label, entries):
    print(f"{label + ':':15} {len(entries) or 'none'}")
    for i, entry in enumerate(entries, 1):
        print(f"    {i:2}  {entry}")


def log_rows(path):
    return winehost.decode_lines(path.read_bytes()) if path.exists() else []


def first_time_answer(driver, dialog):
    """The button a first-time user presses, and its label for the report."""
    buttons = dialog.buttons()
    if dialog.kind == "dialog":
        return driver.press(IDOK), dialog.text(IDOK)
    for button in (IDYES, IDOK):
        if button in buttons:
            return driver.press(button), dialog.text(button)
    return driver.press(buttons[0]), dialog.text(buttons[0])


def describe(n, dialog, action, shot):
    kind = "message box" if dialog.kind == "messagebox" else "dialog"
    print(f"\n[{n}] {kind} 「{dialog.caption}」" + (f"  icon: {dialog.icon}" if dialog.icon else ""))
    for c in dialog.visible():
        if not c[5]:
            continue
        label = "button" if c[1].lower() == "button" else "text"
        if c[4] is not None:
            label = "box [x]" if c[4] else "box [ ]"
        for i, line in enumerate(c[5].split("\n")):
            print(f"      {label if i == 0 else '':8} {line}")
    print(f"    -> {action}")
    if shot:
        print(f"    screenshot: {shot}")
    for misfit in dialog.misfits():
        print(f"    does not fit: {misfit}")


def answer_all(driver, interactive, report):
    """Answers every dialog of the run; report(n, dialog, action) for each."""
    n = 0
    while True:
        d = driver.wait(INTERACTIVE_WAIT_MS if interactive else WAIT_MS)
        if isinstance(d, str):
            break
        n += 1
        if interactive:
            driver.gone(INTERACTIVE_WAIT_MS)
            action = "answered by you"
        else:
            result, label = first_time_answer(driver, d)
            action = f"pressed {label}" + ("" if result == "gone" else f" ({result})")
        report(n, d, action, driver.shots[-1] if driver.shots else None)
    driver.exit(WAIT_MS)


def scaled_run(wine, shots):
    """The same answers on a display at 150 %, for its PNGs. The toolkit the
    first run started is closed first, or its question would come back."""
    print(f"\n== the same run at {SCALED_DPI * 100 // DPI} % ({SCALED_DPI} DPI)")
    wine.hostsetup("dpi", str(SCALED_DPI))
    driver = winehost.Driver(wine, shots, f"demo-{SCALED_DPI * 100 // DPI}")
    try:
        driver.close_class(winehost.TOOLKIT_CLASS)
        driver.launch(f"{KIT}\\LexPlant.exe")

        def report(n, dialog, action, shot):
            kind = "message box" if dialog.kind == "messagebox" else "dialog"
            print(f"[{n}] {kind} 「{dialog.caption}」 -> {action}\n    screenshot: {shot}")
            for misfit in dialog.misfits():
                print(f"    does not fit: {misfit}")
        answer_all(driver, False, report)
        driver.close_class(winehost.TOOLKIT_CLASS)
        driver.kill()
    finally:
        driver.quit()
        wine.hostsetup("dpi", str(DPI))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir")
    ap.add_argument("--reset", action="store_true", help="start with a fresh host and no dictionaries")
    ap.add_argument("--headless", action="store_true", help="answer the dialogs even with a DISPLAY")
    args = ap.parse_args()
    winehost.exit_on_termination()
    rc = winehost.as_wine_user(__file__, sys.argv[1:], args.build_dir, outputs=["demo/shots"])
    if rc is not None:
        return rc
    build = Path(args.build_dir).resolve()
    root = build / "demo"
    shots = root / "shots"
    interactive = bool(os.environ.get("DISPLAY")) and not args.headless

    xvfb = winehost.Xvfb()
    display = os.environ["DISPLAY"] if interactive else xvfb.start()
    wine = winehost.WinePrefix(root / "prefix", build, display)
    try:
        if args.reset and wine.prefix.exists():
            wine.stop_server()
            shutil.rmtree(wine.prefix)
        if wine.ensure():
            print("made a Wine prefix for the demo")
        wine.start_server()
        # The host's programs every time, so that a rebuilt host is the one
        # that runs; its values and the kit only the first time, so that a
        # second run meets what the first one installed.
        wine.hostsetup("dpi", str(DPI), "install", winehost.HOST_KEY_INSTALL_PATH)
        if not wine.unix(KIT).exists():
            wine.hostsetup("resetstore", "setdw", r"AssistantDic\AssistantDicNum", "1",
                           "setsz", r"AssistantDic\AssistantDic1", ASSISTANT)
            option = wine.unix(KIT + r"\option")
            option.mkdir(parents=True)
            for name in SAMPLES:
                shutil.copyfile(SAMPLE_OPTION / name, option / name)
        shutil.copy2(build / "LexPlant.exe", wine.unix(KIT) / "LexPlant.exe")
        cmd_dir = wine.unix(winehost.HOST_KEY_INSTALL_PATH + r"\CMD")
        for log in (cmd_dir / "HRNCNV.LOG", cmd_dir / "HRNDIC.LOG", wine.unix(IME_LOG)):
            if log.exists():
                log.unlink()
        wine.unix(IME_LOG).parent.mkdir(parents=True, exist_ok=True)
        if shots.exists():
            shutil.rmtree(shots)
        user_root = wine.dump()["userdicroot"]
        before = lists(wine)
        before_files = sorted(p.name for p in wine.unix(user_root).iterdir()) if wine.unix(user_root).exists() else []

        print("== LexPlant demo", "(you answer the dialogs)" if interactive else "(answered as a first-time user)")
        print(f"program:        {KIT}\\LexPlant.exe")
        print(f"option folder:  {', '.join(SAMPLES)}")
        print(f"user folder:    {user_root}  holds {', '.join(before_files) or 'nothing'}")
        show_list("registered", before[0])
        show_list("enabled", before[1])

        driver = winehost.Driver(wine, shots, "demo")
        driver.spawn(f'"{wine.host_exe("imewin.exe")}" --log "{IME_LOG}"')
        deadline = time.time() + 15
        while not any(r[0] == "ready" for r in log_rows(wine.unix(IME_LOG))) and time.time() < deadline:
            time.sleep(0.05)
        driver.launch(f"{KIT}\\LexPlant.exe")
        answer_all(driver, interactive, describe)

        # A toolkit started at the end needs a moment to open its window.
        toolkit = []
        deadline = time.time() + 5
        while time.time() < deadline:
            toolkit = [r for r in log_rows(cmd_dir / "HRNDIC.LOG") if r[0] == "ready"]
            if toolkit:
                break
            time.sleep(0.1)
        after = lists(wine)
        files = sorted(p.name for p in wine.unix(user_root).iterdir()) if wine.unix(user_root).exists() else []
        print("\n== after the run")
        print(f"user folder:    {', '.join(files) or 'nothing'}")
        show_list("registered", after[0])
        show_list("enabled", after[1])
        engine = log_rows(cmd_dir / "HRNCNV.LOG")
        print(f"engine calls:   {len(engine)}")
        for r in engine:
            verdict = {"accept": "accepted list", "refuse": "refused list"}.get(r[0], r[0])
            show_list(f"    {verdict}", r[1:])
        notes = [r for r in log_rows(wine.unix(IME_LOG)) if r[0] == "notify"]
        print(f"notifications:  {len(notes)}" + "".join(
            f"\n    to 「{r[1]}」: WM_IME_NOTIFY wParam {r[2]} lParam {r[3]}" for r in notes))
        print(f"toolkit:        {'started at ' + toolkit[0][1] if toolkit else 'not started'}")
        if not interactive:
            print(f"screenshots:    {shots}")
            scaled_run(wine, shots)
        print("run the demo again to see the overwrite question; --reset starts afresh")
        driver.close_class(winehost.TOOLKIT_CLASS)
        driver.close_class(winehost.IME_CLASS)
        driver.kill()
        driver.quit()
    finally:
        try:
            wine.stop_server()
        finally:
            xvfb.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
