#!/usr/bin/env python3
"""The real program on a real X server, driven as a person would drive it.

Starts quilfen on a private Xvfb display, alone or under a window manager,
in the C locale or another one, and, with xdotool, runs one scenario through
the menus: the conditions dialog with its default conditions, the benchmark,
a save through the file dialog, a copy to the clipboard, and the exit. It
checks the window title, that the conditions dialog's boxes read "-0.5",
"+0." and "+2.5" (their pixels against the same texts typed into them), that
no pixel of the dialog stays over the main window during the run's
one-second pause, that the picture on the screen is the one quilfen-cli
renders for the same conditions, pixel for pixel, that the saved file equals
the clipboard image (read back with xclip while the program runs), and that
the program ends with status 0.

Every wait is on something seen (a window, the status line, a file), polled
at short intervals under one overall deadline; nothing sleeps for a fixed
time. Screenshots and the files the run makes are left in the current folder.

usage: desktop_run.py [--window-manager openbox] [--locale NAME] QUILFEN QUILFEN_CLI
exit status: 0 passed, 1 failed, 77 skipped (a tool, the Japanese font or the
locale is missing)
"""
import argparse
import ctypes
import glob
import locale
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
SCREEN_SIZE = (1024, 768)
SCREEN = f"{SCREEN_SIZE[0]}x{SCREEN_SIZE[1]}x24"
SCENARIO_SECONDS = 90.0  # the whole run, from start-up to exit
STEP_SECONDS = 20.0      # any one wait
POLL_SECONDS = 0.05
FRAME_SLACK = 40         # pixels a window manager's frame may shift a moved window

# The main window's layout below its menu bar (client coordinates).
CLIENT_HEIGHT = 437
PICTURE = (8, 8, 400, 400)          # Picture1 once a picture is drawn
STATUS_FRAME = (7, 412, 403, 20)    # Label1, a 1-pixel box
SET_AND_RUN = (355 + 44, 175 + 15)  # centre of 設定して実行 in the conditions dialog

# The conditions dialog's boxes of the centre and the range (client
# coordinates, each 105 x 29), with the texts they show when the dialog opens
# on the start-up conditions.
TEXT_BOX_SIZE = (105, 29)
DIALOG_TEXTS = [("Text1", (336, 42), "-0.5"), ("Text2", (336, 77), "+0."),
                ("Text3", (336, 112), "+2.5")]

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


class WindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class Image(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong)]


class ErrorEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("display", ctypes.c_void_p),
                ("resourceid", ctypes.c_ulong), ("serial", ctypes.c_ulong),
                ("error_code", ctypes.c_ubyte), ("request_code", ctypes.c_ubyte),
                ("minor_code", ctypes.c_ubyte)]


ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(ErrorEvent))
IS_VIEWABLE = 2
Z_PIXMAP = 2
ALL_PLANES = 0xFFFFFFFF


class Xlib:
    """Questions asked of the X server directly: where a window's inside is
    on the screen (under a window manager that frames the window, xdotool's
    getwindowgeometry adds the frame's offset once more); and, at once,
    without starting a process, whether a window is mapped and what a part
    of the screen shows."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XTranslateCoordinates.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong)]
        self.x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                  ctypes.POINTER(WindowAttributes)]
        self.x11.XGetImage.restype = ctypes.POINTER(Image)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XFree.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        # libX11's own handler ends the process on any error, leaving no
        # word of what was asked: keep the error and fail the step instead.
        self.errors = []
        self.handler = ERROR_HANDLER(self.keep_error)
        self.x11.XSetErrorHandler(self.handler)
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise Failure(f"cannot open the display {display} through libX11")
        self.root = self.x11.XDefaultRootWindow(self.display)

    def keep_error(self, _display, event):
        e = event.contents
        self.errors.append(f"X error {e.error_code} on request {e.request_code}")
        return 0

    def check(self, what):
        self.x11.XSync(self.display, 0)
        if self.errors:
            errors, self.errors = "; ".join(self.errors), []
            raise Failure(f"{what}: {errors}")

    def origin(self, window):
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        if not self.x11.XTranslateCoordinates(self.display, window, self.root, 0, 0, ctypes.byref(x),
                                              ctypes.byref(y), ctypes.byref(child)):
            what = f"window {window} is not on the screen"
            self.check(what)  # the X error, when there was one
            raise Failure(what)
        return x.value, y.value

    def viewable(self, window):
        attributes = WindowAttributes()
        if not self.x11.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
            self.errors.clear()  # a window already destroyed is not viewable
            return False
        return attributes.map_state == IS_VIEWABLE

    def grab(self, x, y, w, h):
        """A part of the screen as rows of RGB bytes, like Shot.region."""
        if w <= 0 or h <= 0 or x < 0 or y < 0 or x + w > SCREEN_SIZE[0] or y + h > SCREEN_SIZE[1]:
            raise Failure(f"{w}x{h} at {x},{y} is not a part of the screen")
        image = self.x11.XGetImage(self.display, self.root, x, y, w, h, ALL_PLANES, Z_PIXMAP)
        if not image:
            what = f"cannot read the screen at {x},{y} {w}x{h}"
            self.check(what)
            raise Failure(what)
        try:
            i = image.contents
            if i.bits_per_pixel != 32 or i.red_mask != 0xFF0000 or i.blue_mask != 0xFF:
                raise Failure(f"unexpected screen format: {i.bits_per_pixel} bits per pixel")
            data = ctypes.string_at(i.data, i.bytes_per_line * h)
        finally:
            self.x11.XFree(image.contents.data)
            self.x11.XFree(image)
        rows = []
        for row in range(h):
            pixels = data[row * i.bytes_per_line:row * i.bytes_per_line + 4 * w]
            rgb = bytearray(3 * w)
            rgb[0::3], rgb[1::3], rgb[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
            rows.append(bytes(rgb))
        return rows

    def close(self):
        self.x11.XCloseDisplay(self.display)


class Run:
    def __init__(self, quilfen, cli, window_manager=None, program_locale=None):
        self.quilfen = os.path.abspath(quilfen)
        self.cli = os.path.abspath(cli)
        self.window_manager = window_manager
        self.program_locale = program_locale
        self.manager = None
        self.xlib = None
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
        self.xlib = Xlib(display)
        log(f"Xvfb on display {display} ({SCREEN})")
        if self.window_manager:
            self.start_window_manager()

    def start_window_manager(self):
        manager_log = open(f"{self.window_manager}.log", "wb")
        self.logs.append(manager_log)
        self.manager = subprocess.Popen([self.window_manager], env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=manager_log,
                                        stderr=subprocess.STDOUT)
        # A window manager that has taken over the screen answers for the
        # root window's desktops.
        limit = time.monotonic() + STEP_SECONDS
        while self.tool("xdotool", "get_num_desktops", check=False).returncode != 0:
            if self.manager.poll() is not None:
                raise Failure(f"{self.window_manager} ended at start-up "
                              f"(see {self.window_manager}.log)")
            if time.monotonic() > limit:
                raise Failure(f"{self.window_manager} did not take over the screen")
            time.sleep(POLL_SECONDS)
        log(f"window manager: {self.window_manager}")

    def start_program(self):
        program_log = open("quilfen.log", "wb")
        self.logs.append(program_log)
        # Only the program runs in the locale under test; the tools that
        # read the screen and compare pictures stay in theirs.
        env = dict(self.env)
        if self.program_locale:
            env["LC_ALL"] = self.program_locale
            log(f"quilfen runs with LC_ALL={self.program_locale}")
        self.program = subprocess.Popen([self.quilfen], env=env, stdin=subprocess.DEVNULL,
                                        stdout=program_log, stderr=subprocess.STDOUT)
        self.started = time.monotonic()
        self.deadline = self.started + SCENARIO_SECONDS

    def stop(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        if self.manager and self.manager.poll() is None:
            self.manager.terminate()
            self.manager.wait()
        if self.xlib:
            self.xlib.close()
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
        return (*self.xlib.origin(window), int(values["WIDTH"]), int(values["HEIGHT"]))

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

    # ---- the conditions dialog -------------------------------------------------

    def text_boxes(self, shot, dx, dy):
        return [shot.region(dx + x, dy + y, *TEXT_BOX_SIZE) for _, (x, y), _ in DIALOG_TEXTS]

    def check_dialog_texts(self, dx, dy):
        """The boxes read "-0.5", "+0." and "+2.5": their pixels equal those of
        the same texts typed into them by hand, a channel that cannot be
        formatted by the program."""
        shown = self.text_boxes(self.screen(), dx, dy)
        for _, (x, y), text in DIALOG_TEXTS:
            self.tool("xdotool", "mousemove", "--sync", str(dx + x + TEXT_BOX_SIZE[0] // 2),
                      str(dy + y + TEXT_BOX_SIZE[1] // 2), "click", "1",
                      "key", "--delay", "30", "ctrl+a", "BackSpace", "type", "--delay", "15", "--", text)
        # Back to 設定して実行, which had the focus when the dialog opened, so
        # that no box shows a cursor.
        self.keys("Tab", "Tab", "Tab")
        differing = []

        def typed_equal_shown():
            differing[:] = [name for (name, _, _), before, after
                            in zip(DIALOG_TEXTS, shown, self.text_boxes(self.screen(), dx, dy))
                            if before != after]
            return not differing

        try:
            self.wait_for("the typed texts to show", typed_equal_shown, seconds=5)
        except Failure:
            if self.program.poll() is not None:
                raise
            typed = self.keep_screenshot("conditions-dialog-typed")
            expected = ", ".join(f'{name} "{text}"' for name, _, text in DIALOG_TEXTS)
            where = f"under LC_ALL={self.program_locale}" if self.program_locale else "in the C locale"
            raise Failure(f"{where} the conditions dialog does not show {expected}: "
                          f"{', '.join(differing)} differ from the same texts typed in "
                          f"(see {self.shown_dialog} and {typed})") from None

    def over_main_window(self, rect):
        """The part of a screen rectangle over the main window, its status
        line left out (its colours are checked apart)."""
        x, y, w, h = rect
        left, top = max(x, self.win_x), max(y, self.win_y)
        right = min(x + w, self.win_x + self.win_w)
        bottom = min(y + h, self.win_y + self.menu_height + CLIENT_HEIGHT)
        _, status_top = self.client(0, STATUS_FRAME[1])
        bottom = min(bottom, status_top)
        return (left, top, right - left, bottom - top) if right > left and bottom > top else None

    def place_over_main_window(self, dialog):
        """Moves the dialog over the middle of the picture, where the main
        window has to repaint once it hides, clear of the status line, whose
        red text tells when the pause is on."""
        x, y = self.client(150, 120)

        # xdotool's --sync waits for some change of place, not for the place
        # asked. A dialog left where the window manager put it (centred on
        # the main window) would leave no room for the strip of picture
        # watched left of it, so the move is asked again until the dialog is
        # seen there, a frame's width aside.
        self.tool("xdotool", "windowmove", "--sync", str(dialog), str(x), str(y))
        moves = 1

        def moved():
            nonlocal moves
            rect = self.geometry(dialog)
            if abs(rect[0] - x) <= FRAME_SLACK and abs(rect[1] - y) <= FRAME_SLACK:
                return rect
            moves += 1
            self.tool("xdotool", "windowmove", str(dialog), str(x), str(y))
            return None

        rect = self.wait_for(f"the conditions dialog to move to {x},{y}", moved)
        if moves > 1:
            log(f"  the conditions dialog moved at the request number {moves}")
        part = self.over_main_window(rect)
        _, status_top = self.client(0, STATUS_FRAME[1])
        if not part or part[2] * part[3] < 20000 or rect[1] + rect[3] > status_top:
            raise Failure(f"the conditions dialog, moved to {x},{y}, is at {rect}: not over the "
                          "picture or over the status line")
        self.wait_for("the conditions dialog to paint", lambda: self.painted(*rect))
        return rect

    @staticmethod
    def differing(now, then):
        return sum(sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
                   for a, b in zip(now, then) if a != b)

    def check_pause(self, dialog, rect, start):
        """After the click on 設定して実行 the status line turns red, the dialog
        hides, and the main window, its picture box cleared as empty as at
        start-up, waits one second before computing and drawing. Before that
        second is over the screen must show none of the dialog. The screen is
        read straight from the X server, quicker than ImageMagick's import."""
        part = self.over_main_window(rect)
        # Left of the dialog and of the frame a window manager draws around
        # it, the picture box shows when the drawing begins.
        sx, sy = self.client(PICTURE[0], PICTURE[1])
        strip = (sx, sy, rect[0] - sx - 40, PICTURE[3])
        status = self.client(STATUS_FRAME[0] + 1, STATUS_FRAME[1] + 1) + (STATUS_FRAME[2] - 2,
                                                                           STATUS_FRAME[3] - 2)
        clicked = time.monotonic()
        seen = []
        running = False
        while True:
            taken = time.monotonic() - clicked
            hidden = not self.xlib.viewable(dialog)
            red = any(is_red(row[i:i + 3]) for row in self.xlib.grab(*status)
                      for i in range(0, len(row), 3))
            over = self.xlib.grab(*part)
            if self.xlib.grab(*strip) != start.region(*strip) or (running and not red):
                break  # drawing or drawn: the pause is over
            running = running or red
            if red:
                # Once the program has hidden the dialog, whether the X
                # server has been told yet or not, the main window must
                # show again where the dialog was.
                left = self.differing(over, start.region(*part))
                seen.append((taken, left, hidden))
                last = over
                if left == 0:
                    log(f"  looks at the screen before it was clear of the dialog: {len(seen) - 1}")
                    return taken
            if time.monotonic() > clicked + STEP_SECONDS:
                raise Failure("the conditions run did not start drawing")
            time.sleep(0.01)
        if not seen:
            raise Failure("no look at the screen fell into the one-second pause after 設定して実行 "
                          "(the status line was never seen red)")
        # The last look, at the part of the main window the dialog covered.
        self.shots += 1
        name = f"{self.shots:02d}-pause-under-dialog.ppm"
        with open(name, "wb") as out:
            out.write(b"P6 %d %d 255\n" % (part[2], part[3]) + b"".join(last))
        unmapped = [look for look in seen if look[2]]
        raise Failure(f"the hidden conditions dialog stayed on the main window through the pause: "
                      f"in {len(seen)} looks at the screen from {seen[0][0]:.2f} s to "
                      f"{seen[-1][0]:.2f} s after the click, {min(look[1] for look in seen)} or more "
                      f"pixels of the main window where it had been still differed from start-up; "
                      f"the dialog was unmapped in {len(unmapped)} of them "
                      f"(the last look: {name})")

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
        for pattern in ("[0-9][0-9]-*.png", "[0-9][0-9]-*.ppm", "diff-*.png", "failure.png",
                        "latest-screen.png", "clipboard.png"):
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
        self.shown_dialog = self.keep_screenshot("conditions-dialog")
        self.check_dialog_texts(dx, dy)
        t = self.step("conditions dialog reads -0.5, +0., +2.5", t)
        dx, dy, dw, dh = self.place_over_main_window(dialog)
        self.click(dx + SET_AND_RUN[0], dy + SET_AND_RUN[1])
        clean = self.check_pause(dialog, (dx, dy, dw, dh), start_shot)
        t = self.step(f"no pixel of the hidden dialog on the main window {clean:.2f} s after the click", t)

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


def missing_prerequisites(window_manager, program_locale):
    tools = {"Xvfb": "xvfb", "xdotool": "xdotool", "xclip": "xclip", "import": "imagemagick",
             "compare": "imagemagick", "fc-list": "fontconfig"}
    if window_manager:
        tools[window_manager] = window_manager
    missing = [f"{tool} ({package})" for tool, package in tools.items() if not shutil.which(tool)]
    if missing:
        return "missing " + ", ".join(missing)
    families = subprocess.run(["fc-list", ":family=IPAPGothic", "family"], capture_output=True,
                              text=True).stdout
    if not families.strip():
        return "missing the Japanese font IPAPGothic (fonts-ipafont-gothic)"
    if program_locale:
        try:
            locale.setlocale(locale.LC_ALL, program_locale)
        except locale.Error:
            return f"missing the locale {program_locale} (package locales, then localedef)"
        finally:
            locale.setlocale(locale.LC_ALL, "C")
    return None


def main():
    parser = argparse.ArgumentParser(usage=__doc__.split("usage: ")[1].split("\n")[0])
    parser.add_argument("--window-manager", choices=["openbox"])
    parser.add_argument("--locale")
    parser.add_argument("quilfen")
    parser.add_argument("cli")
    args = parser.parse_args()
    reason = missing_prerequisites(args.window_manager, args.locale)
    if reason:
        log(f"SKIPPED: {reason}")
        return SKIPPED
    # Stopped from outside (a test timeout): still end the X server and the program.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    run = Run(args.quilfen, args.cli, args.window_manager, args.locale)
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
