#!/usr/bin/env python3
"""The real program on a real X server, driven as a person would drive it.

Starts quilfen on a private Xvfb display and, with xdotool, runs one
scenario through the menus: the conditions dialog with its default
conditions, the benchmark, a save through the file dialog, a copy to the
clipboard, and the exit. It checks the window title, that the picture on the
screen is the one quilfen-cli renders for the same conditions, pixel for
pixel, that the saved file equals the clipboard image (read back with xclip
while the program runs), and that the program ends with status 0.

Every wait is on something seen (a window, the status line, a file), polled
at short intervals under one overall deadline; nothing sleeps for a fixed
time. Screenshots and the files the run makes are left in the current folder.

usage: desktop_run.py QUILFEN QUILFEN_CLI
exit status: 0 passed, 1 failed, 77 skipped (a tool or the Japanese font is missing)
"""
import glob
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
SCREEN = "1024x768x24"
SCENARIO_SECONDS = 60.0  # the whole run, from start-up to exit
STEP_SECONDS = 20.0      # any one wait
POLL_SECONDS = 0.05

# The main window's layout below its menu bar (client coordinates).
CLIENT_HEIGHT = 437
PICTURE = (8, 8, 400, 400)          # Picture1 once a picture is drawn
STATUS_FRAME = (7, 412, 403, 20)    # Label1, a 1-pixel box
SET_AND_RUN = (355 + 44, 175 + 15)  # centre of 設定して実行 in the conditions dialog

# Menu titles in their order, and the items of each.
MENUS = ["ﾌｧｲﾙ", "編集", "計算", "ﾍﾞﾝﾁﾏｰｸ", "ﾍﾙﾌﾟ"]
ITEMS = {
    "ﾌｧｲﾙ": ["パレットファイルの読み込み", "画像を保存", "Quilfen の終了"],
    "編集": ["クリップボードへコピー"],
    "計算": ["条件を指定して実行"],
    "ﾍﾞﾝﾁﾏｰｸ": ["実行"],
    "ﾍﾙﾌﾟ": ["Quilfen について"],
}

DEFAULT_CONDITIONS = ["--centre-re", "-0.5", "--centre-im", "0", "--range", "2.5", "--max-iter", "500"]
BENCHMARK_CONDITIONS = ["--centre-re", "-0.15", "--centre-im", "0.8", "--range", "0.4",
                        "--max-iter", "500"]


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


class Shot:
    """A screenshot as 8-bit RGB, read from ImageMagick's binary PPM."""

    def __init__(self, ppm):
        fields = []
        pos = 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            if ppm[pos:pos + 1] == b"#":
                pos = ppm.index(b"\n", pos)
                continue
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise Failure("screenshot is not an 8-bit PPM")
        self.width = int(fields[1])
        self.height = int(fields[2])
        self.data = ppm[pos + 1:]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def region(self, x, y, w, h):
        return [self.data[3 * (row * self.width + x):3 * (row * self.width + x + w)]
                for row in range(y, y + h)]


def is_dark(rgb):
    return sum(rgb) < 3 * 110


def is_red(rgb):
    r, g, b = rgb
    return r > 120 and r > g + 60 and r > b + 60


def is_highlight(rgb):
    r, _, b = rgb
    return b > 150 and b > r + 60


class Run:
    def __init__(self, quilfen, cli):
        self.quilfen = os.path.abspath(quilfen)
        self.cli = os.path.abspath(cli)
        self.folder = os.getcwd()
        self.deadline = None
        self.started = None
        self.xvfb = None
        self.program = None
        self.logs = []
        self.env = None
        self.private = None  # XDG folders of this run only
        self.shots = 0

    # ---- processes -------------------------------------------------------

    def start_xvfb(self):
        # -displayfd lets the server pick a free display number itself, so
        # runs in parallel never fight over one.
        readable, writable = os.pipe()
        xvfb_log = open("xvfb.log", "wb")
        self.logs.append(xvfb_log)
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(writable), "-screen", "0", SCREEN, "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(writable,), stdout=xvfb_log, stderr=subprocess.STDOUT,
            stdin=subprocess.DEVNULL)
        os.close(writable)
        number = b""
        limit = time.monotonic() + STEP_SECONDS
        while not number.endswith(b"\n"):
            left = limit - time.monotonic()
            if left <= 0 or not select.select([readable], [], [], left)[0]:
                raise Failure("Xvfb did not report its display (see xvfb.log)")
            chunk = os.read(readable, 16)
            if not chunk:
                raise Failure("Xvfb ended at start-up (see xvfb.log)")
            number += chunk
        os.close(readable)
        display = ":" + number.decode().strip()
        private = tempfile.mkdtemp(prefix="quilfen-desktop-")
        os.chmod(private, 0o700)
        self.env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER"):
            self.env.pop(name, None)
        self.env.update({
            "DISPLAY": display,
            "QT_QPA_PLATFORM": "xcb",
            "XDG_RUNTIME_DIR": private,
            # The file dialog remembers folders in the user's settings: keep
            # them out of the real home and start every run afresh.
            "XDG_CONFIG_HOME": os.path.join(private, "config"),
            "NO_AT_BRIDGE": "1",
        })
        self.private = private
        log(f"Xvfb on display {display} ({SCREEN})")

    def start_program(self):
        program_log = open("quilfen.log", "wb")
        self.logs.append(program_log)
        self.program = subprocess.Popen([self.quilfen], env=self.env, stdin=subprocess.DEVNULL,
                                        stdout=program_log, stderr=subprocess.STDOUT)
        self.started = time.monotonic()
        self.deadline = self.started + SCENARIO_SECONDS

    def stop(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        for opened in self.logs:
            opened.close()
        if self.private:
            shutil.rmtree(self.private, ignore_errors=True)

    def tool(self, *args, check=True, stdout=subprocess.PIPE):
        done = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL, stdout=stdout,
                              stderr=subprocess.PIPE, timeout=STEP_SECONDS)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(args)} failed: {done.stderr.decode(errors='replace').strip()}")
        return done

    # ---- waiting ---------------------------------------------------------

    def wait_for(self, what, condition, seconds=STEP_SECONDS, may_end=False):
        limit = min(time.monotonic() + seconds, self.deadline)
        while True:
            if not may_end and self.program.poll() is not None:
                raise Failure(f"quilfen ended (status {self.program.returncode}) while waiting for {what}")
            result = condition()
            if result:
                return result
            if time.monotonic() > limit:
                raise Failure(f"timed out waiting for {what}")
            time.sleep(POLL_SECONDS)

    def step(self, name, since):
        now = time.monotonic()
        log(f"  {name}: {now - since:.2f} s")
        return now

    # ---- the X server ------------------------------------------------------

    def visible_windows(self):
        done = self.tool("xdotool", "search", "--onlyvisible", "--pid", str(self.program.pid),
                         check=False)
        return [int(w) for w in done.stdout.split()]

    def window_name(self, window):
        return self.tool("xdotool", "getwindowname", str(window)).stdout.decode().strip()

    def geometry(self, window):
        out = self.tool("xdotool", "getwindowgeometry", "--shell", str(window)).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def named_window(self, name):
        for window in self.visible_windows():
            if self.window_name(window) == name:
                return window
        return None

    def screen(self):
        return Shot(self.tool("import", "-window", "root", "-depth", "8", "ppm:-").stdout)

    def keep_screenshot(self, label, taken=None):
        """Saves the screen (or a screenshot just taken) under a numbered name."""
        self.shots += 1
        name = f"{self.shots:02d}-{label}.png"
        if taken:
            os.replace(taken, name)
        else:
            self.tool("import", "-window", "root", name)
        return name

    def click(self, x, y):
        self.tool("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")

    def keys(self, *names):
        self.tool("xdotool", "key", "--delay", "30", *names)

    def painted(self, x, y, w, h):
        # A window just mapped on Xvfb shows black until it has painted;
        # every window of this program has a light background.
        shot = self.screen()
        rows = shot.region(x, y, w, h)
        light = sum(1 for row in rows for i in range(0, len(row), 3) if sum(row[i:i + 3]) > 450)
        return light > (w * h) // 4

    # ---- the main window ---------------------------------------------------

    def find_menu_titles(self, shot):
        """Horizontal centres of the menu titles, from the dark text columns."""
        x0, y0 = self.win_x, self.win_y
        columns = []
        for x in range(x0, x0 + self.win_w):
            if any(is_dark(shot.pixel(x, y)) for y in range(y0 + 2, y0 + self.menu_height - 2)):
                columns.append(x)
        titles = []
        for x in columns:
            # A gap of several pixels parts two titles; the glyphs of one
            # title are closer together.
            if titles and x - titles[-1][1] <= 6:
                titles[-1][1] = x
            else:
                titles.append([x, x])
        return [(left + right) // 2 for left, right in titles]

    def client(self, x, y):
        return self.win_x + x, self.win_y + self.menu_height + y

    def status_inside(self, shot):
        x, y = self.client(STATUS_FRAME[0] + 1, STATUS_FRAME[1] + 1)
        return shot.region(x, y, STATUS_FRAME[2] - 2, STATUS_FRAME[3] - 2)

    def status_colours(self, shot):
        rows = self.status_inside(shot)
        pixels = [row[i:i + 3] for row in rows for i in range(0, len(row), 3)]
        return sum(1 for p in pixels if is_dark(p)), sum(1 for p in pixels if is_red(p))

    def check_status_frame(self, shot):
        x, y = self.client(STATUS_FRAME[0], STATUS_FRAME[1])
        top = [shot.pixel(x + i, y) for i in range(STATUS_FRAME[2])]
        if not all(is_dark(p) for p in top):
            raise Failure("the status line's frame is not where the layout puts it: "
                          "the picture position would be wrong too")

    def open_menu_item(self, title, item):
        """Clicks a menu title, then picks an item with the arrow keys and Enter."""
        menu = MENUS.index(title)
        index = ITEMS[title].index(item)
        before = set(self.visible_windows())
        self.click(self.titles[menu], self.win_y + self.menu_height // 2)

        def popup():
            for window in set(self.visible_windows()) - before:
                x, y, _, _ = self.geometry(window)
                if abs(y - (self.win_y + self.menu_height)) <= 2 and x <= self.titles[menu]:
                    return window
            return None

        window = self.wait_for(f"the {title} menu to open", popup)
        # The menu opens with nothing selected; the first Down selects its first item.
        self.keys(*(["Down"] * (index + 1)))
        x, y, w, h = self.geometry(window)
        rows = len(ITEMS[title])

        def highlighted():
            # Items are rows of equal height; only the selected one is blue.
            shot = self.screen()
            lit = []
            for row in range(rows):
                middle = y + (2 * row + 1) * h // (2 * rows)
                line = [shot.pixel(x + i, middle) for i in range(w)]
                lit.append(sum(1 for p in line if is_highlight(p)) > w // 2)
            return lit == [row == index for row in range(rows)]

        self.wait_for(f"{item} to be selected in the {title} menu", highlighted)
        self.keys("Return")
        return window

    def wait_popup_closed(self, window, what):
        self.wait_for(f"the menu to close after {what}", lambda: window not in self.visible_windows())

    # ---- image checks --------------------------------------------------------

    def differing_pixels(self, first, second, diff):
        done = self.tool("compare", "-metric", "AE", first, second, diff, check=False)
        text = done.stderr.decode(errors="replace").strip()
        if done.returncode not in (0, 1):
            raise Failure(f"compare {first} {second}: {text}")
        return int(float(text.split()[0]))

    def render(self, conditions, name):
        self.tool(self.cli, "render", *conditions, "--out", name)
        return name

    # ---- the scenario ----------------------------------------------------------

    def scenario(self):
        reference = self.render(DEFAULT_CONDITIONS, "reference-default.bmp")
        bench_reference = self.render(BENCHMARK_CONDITIONS, "reference-benchmark.bmp")
        # Nothing of an earlier run may pass for this one's.
        for pattern in ("[0-9][0-9]-*.png", "diff-*.png", "failure.png", "latest-screen.png",
                        "clipboard.png"):
            for stale in glob.glob(os.path.join(self.folder, pattern)):
                os.remove(stale)
        save_folder = os.path.join(self.folder, "saved")
        shutil.rmtree(save_folder, ignore_errors=True)
        os.mkdir(save_folder)
        saved = os.path.join(save_folder, "picture.bmp")
        clipboard = os.path.join(self.folder, "clipboard.png")

        self.start_xvfb()
        self.start_program()
        t = self.started

        # Start-up: one window, titled Quilfen, with its menu bar painted.
        main = self.wait_for("the main window", lambda: self.visible_windows())
        if len(main) != 1:
            raise Failure(f"expected one window at start-up, found {len(main)}")
        self.main = main[0]
        title = self.window_name(self.main)
        if title != "Quilfen":
            raise Failure(f"window title is {title!r}, expected 'Quilfen'")
        self.win_x, self.win_y, self.win_w, win_h = self.geometry(self.main)
        self.menu_height = win_h - CLIENT_HEIGHT
        if self.menu_height <= 4:
            raise Failure(f"main window is {self.win_w}x{win_h}: no room for the menu bar")

        def menu_bar_ready():
            titles = self.find_menu_titles(self.screen())
            return titles if len(titles) == len(MENUS) else None

        self.titles = self.wait_for("the menu bar's five titles", menu_bar_ready)
        start_shot = self.screen()
        self.check_status_frame(start_shot)
        waiting_status = self.status_inside(start_shot)
        self.keep_screenshot("start")
        t = self.step("start-up, title 'Quilfen'", t)

        # 計算 → 条件を指定して実行, then 設定して実行 with the defaults shown.
        popup = self.open_menu_item("計算", "条件を指定して実行")
        dialog = self.wait_for("the conditions dialog 計算条件", lambda: self.named_window("計算条件"))
        self.wait_popup_closed(popup, "条件を指定して実行")
        dx, dy, dw, dh = self.geometry(dialog)
        self.wait_for("the conditions dialog to paint", lambda: self.painted(dx, dy, dw, dh))
        self.keep_screenshot("conditions-dialog")
        self.click(dx + SET_AND_RUN[0], dy + SET_AND_RUN[1])

        def time_shown():
            if dialog in self.visible_windows():
                return False
            shot = self.screen()
            dark, red = self.status_colours(shot)
            return red == 0 and dark > 0 and self.status_inside(shot) != waiting_status

        self.wait_for("the status line to show the computing time", time_shown)
        done_status = self.status_inside(self.screen())
        shot = self.keep_screenshot("after-conditions-run")
        px, py = self.client(PICTURE[0], PICTURE[1])
        crop = f"{shot}[{PICTURE[2]}x{PICTURE[3]}+{px}+{py}]"
        wrong = self.differing_pixels(reference, crop, "diff-conditions-run.png")
        if wrong:
            raise Failure(f"the picture on the screen differs from quilfen-cli render in {wrong} "
                          "pixels (see diff-conditions-run.png)")
        t = self.step("conditions run, picture equals quilfen-cli render", t)

        # ﾍﾞﾝﾁﾏｰｸ → 実行; the result dialog is closed with Enter.
        popup = self.open_menu_item("ﾍﾞﾝﾁﾏｰｸ", "実行")
        result = self.wait_for("the dialog ベンチマーク結果", lambda: self.named_window("ベンチマーク結果"))
        rx, ry, rw, rh = self.geometry(result)
        self.wait_for("the benchmark result to paint", lambda: self.painted(rx, ry, rw, rh))
        self.keep_screenshot("benchmark-result")
        self.keys("Return")
        self.wait_for("the benchmark result to close", lambda: result not in self.visible_windows())

        # The dialog may have covered the picture: wait for the repaint.
        latest = "latest-screen.png"

        def benchmark_picture_shown():
            self.tool("import", "-window", "root", latest)
            crop = f"{latest}[{PICTURE[2]}x{PICTURE[3]}+{px}+{py}]"
            return self.differing_pixels(bench_reference, crop, "diff-benchmark.png") == 0

        self.wait_for("the benchmark's picture to equal quilfen-cli render", benchmark_picture_shown)
        self.keep_screenshot("after-benchmark", latest)
        shot = self.screen()
        dark, red = self.status_colours(shot)
        if red or not dark:
            raise Failure("after the benchmark the status line is not black text")
        # Both status lines begin with the same words (計算時間は) in the same place.
        head = slice(0, 3 * 55)
        if [row[head] for row in self.status_inside(shot)] != [row[head] for row in done_status]:
            raise Failure("the benchmark's status line does not begin like the conditions run's")
        t = self.step("benchmark, result dialog closed with Enter", t)

        # ﾌｧｲﾙ → 画像を保存 through Qt's own file dialog.
        before = set(self.visible_windows())
        popup = self.open_menu_item("ﾌｧｲﾙ", "画像を保存")

        def file_dialog():
            for window in set(self.visible_windows()) - before - {popup}:
                x, y, w, h = self.geometry(window)
                if w > 300 and h > 200:
                    return window
            return None

        chooser = self.wait_for("the save dialog", file_dialog)
        self.wait_popup_closed(popup, "画像を保存")
        cx, cy, cw, ch = self.geometry(chooser)
        log(f"  save dialog: {self.window_name(chooser)!r}")
        self.wait_for("the save dialog to paint", lambda: self.painted(cx, cy, cw, ch))
        self.keep_screenshot("save-dialog")
        self.keys("ctrl+a")
        self.tool("xdotool", "type", "--delay", "15", saved)
        # A completion list may drop down while the path is typed: Enter
        # goes to the dialog only once it has gone.
        self.wait_for("the file-name completion to close",
                      lambda: set(self.visible_windows()) == {self.main, chooser})
        self.keys("Return")

        def saved_and_closed():
            windows = set(self.visible_windows())
            extra = windows - {self.main, chooser}
            if extra:
                names = [self.window_name(w) for w in extra]
                raise Failure(f"saving opened {names} instead of writing {saved}")
            return chooser not in windows and os.path.isfile(saved)

        self.wait_for("the save dialog to close and the file to appear", saved_and_closed)
        t = self.step("save through the file dialog", t)

        # 編集 → クリップボードへコピー, read back while the program runs.
        popup = self.open_menu_item("編集", "クリップボードへコピー")
        self.wait_popup_closed(popup, "クリップボードへコピー")

        def clipboard_read():
            with open(clipboard, "wb") as out:
                done = self.tool("xclip", "-selection", "clipboard", "-t", "image/png", "-o",
                                 check=False, stdout=out)
            return done.returncode == 0 and os.path.getsize(clipboard) > 0

        self.wait_for("an image/png on the clipboard", clipboard_read)
        wrong = self.differing_pixels(saved, clipboard, "diff-saved-clipboard.png")
        if wrong:
            raise Failure(f"the saved file and the clipboard image differ in {wrong} pixels")
        wrong = self.differing_pixels(bench_reference, saved, "diff-saved-reference.png")
        if wrong:
            raise Failure(f"the saved file differs from quilfen-cli render in {wrong} pixels")
        t = self.step("copy, clipboard image equals the saved file", t)

        # ﾌｧｲﾙ → Quilfen の終了.
        self.keep_screenshot("before-exit")
        self.open_menu_item("ﾌｧｲﾙ", "Quilfen の終了")
        self.wait_for("the program to exit", lambda: self.program.poll() is not None,
                      may_end=True)
        if self.program.returncode != 0:
            raise Failure(f"quilfen exited with status {self.program.returncode}")
        self.step("exit from the menu, status 0", t)
        return time.monotonic() - self.started


def missing_prerequisites():
    tools = {"Xvfb": "xvfb", "xdotool": "xdotool", "xclip": "xclip", "import": "imagemagick",
             "compare": "imagemagick", "fc-list": "fontconfig"}
    missing = [f"{tool} ({package})" for tool, package in tools.items() if not shutil.which(tool)]
    if missing:
        return "missing " + ", ".join(missing)
    families = subprocess.run(["fc-list", ":family=IPAPGothic", "family"], capture_output=True,
                              text=True).stdout
    if not families.strip():
        return "missing the Japanese font IPAPGothic (fonts-ipafont-gothic)"
    return None


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    reason = missing_prerequisites()
    if reason:
        log(f"SKIPPED: {reason}")
        return SKIPPED
    # Stopped from outside (a test timeout): still end the X server and the program.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    run = Run(sys.argv[1], sys.argv[2])
    try:
        seconds = run.scenario()
        log(f"PASSED in {seconds:.2f} s (screenshots in {run.folder})")
        return 0
    except (Failure, subprocess.TimeoutExpired) as problem:
        log(f"FAILED: {problem}")
        if run.xvfb and run.xvfb.poll() is None and run.env:
            try:
                run.tool("import", "-window", "root", "failure.png")
                log("  screen at the failure: failure.png")
            except (Failure, subprocess.TimeoutExpired):
                pass
        return 1
    finally:
        run.stop()


if __name__ == "__main__":
    sys.exit(main())
