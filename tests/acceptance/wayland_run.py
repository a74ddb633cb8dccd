#!/usr/bin/env python3
"""The real program on a Wayland compositor, driven as a person would drive it.

Starts a private weston (CPU renderer, its own runtime folder and socket, no
window animations), a private session bus with the accessibility bus, and
quilfen on Qt's Wayland platform, and runs one scenario through the menus:
start-up, the conditions dialog with its default conditions and its run with
the one-second pause, the benchmark and its result dialog, a save through
Qt's file dialog, a zoom drag with its question and its run, a copy to the
clipboard, the about box and the exit.

A Wayland client can neither move the pointer nor type into another client,
and a headless weston has no input devices at all, so the menus, buttons and
text boxes are driven through the accessibility bus, as a screen reader
drives a program: found by role and name, pressed through their actions,
read through their texts. The zoom drag needs a pointer: where Xvfb and
xdotool are installed weston runs on its x11 backend in a private Xvfb and
takes that server's pointer and keyboard as its seat's, which xdotool moves;
the same seat lets the program own the clipboard, read back with wl-paste.
Without them weston runs headless and the run says which steps it left out.

What the screen shows comes from weston's screenshooter. The compositor
places the windows, so the picture is looked for wherever it is: it must be
the one quilfen-cli renders for the same conditions, pixel for pixel.

Every wait is on something seen, polled at short intervals under one overall
deadline. Screenshots and the files the run makes stay in the current folder.

usage: wayland_run.py QUILFEN QUILFEN_CLI
exit status: 0 passed, 1 failed, 77 skipped (weston, Qt's Wayland platform,
the accessibility bus, ImageMagick or the Japanese font is missing)
"""
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_run import (BENCHMARK_CONDITIONS, DEFAULT_CONDITIONS, PICTURE, POLL_SECONDS,  # noqa: E402
                         SKIPPED, STATUS_FRAME, STEP_SECONDS, Failure, Shot, is_dark, log)

SCENARIO_SECONDS = 120.0
SCREEN = (1024, 768)
OUTSIDE = 64  # pixels of the X screen right of and below weston's window
# The texts the conditions dialog's boxes show when it opens on the start-up
# conditions.
DIALOG_TEXTS = ["-0.5", "+0.", "+2.5"]
PAUSE_TEXT = "計算中です。お待ち下さい・・・"
# A text box's role; Qt versions name it either way.
TEXT_BOX = ("text", "entry")
# A button's role: "push button" up to Debian 12's accessibility library,
# "button" in Debian 13's.
PUSH_BUTTON = ("push button", "button", "push-button")
WAITING_TEXT = "待機中です"


def qt_wayland_plugin():
    roots = os.environ.get("QT_PLUGIN_PATH", "").split(":") + glob.glob("/usr/lib/*/qt6/plugins") + [
        "/usr/lib/qt6/plugins", "/usr/lib64/qt6/plugins"]
    return any(glob.glob(os.path.join(root, "platforms", "libqwayland*.so")) for root in roots if root)


def missing_prerequisites():
    tools = {"weston": "weston", "weston-screenshooter": "weston", "dbus-daemon": "dbus-daemon",
             "gdbus": "libglib2.0-bin",
             "convert": "imagemagick", "compare": "imagemagick", "fc-list": "fontconfig"}
    missing = [f"{tool} ({package})" for tool, package in tools.items() if not shutil.which(tool)]
    if not qt_wayland_plugin():
        missing.append("Qt's Wayland platform (qt6-wayland)")
    if not glob.glob("/usr/share/dbus-1/services/org.a11y.Bus.service"):
        missing.append("the accessibility bus (at-spi2-core)")
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError):
        missing.append(f"the accessibility library for {sys.executable} (python3-gi, gir1.2-atspi-2.0)")
    if missing:
        return "missing " + ", ".join(missing)
    families = subprocess.run(["fc-list", ":family=IPAPGothic", "family"], capture_output=True,
                              text=True).stdout
    if not families.strip():
        return "missing the Japanese font IPAPGothic (fonts-ipafont-gothic)"
    return None


def find_picture(shot, picture):
    """Where the picture lies in the screenshot, or None: every place where
    its first row appears is tried in full."""
    first = picture.region(0, 0, picture.width, 1)[0]
    data = shot.data
    start = data.find(first)
    while start >= 0:
        if start % 3 == 0:
            y, x = divmod(start // 3, shot.width)
            if x + picture.width <= shot.width and y + picture.height <= shot.height and \
                    shot.region(x, y, picture.width, picture.height) == \
                    picture.region(0, 0, picture.width, picture.height):
                return x, y
        start = data.find(first, start + 1)
    return None


class Skip(Exception):
    """The machine offers no way to run the scenario: the reason."""


class Run:
    def __init__(self, quilfen, cli):
        self.quilfen = os.path.abspath(quilfen)
        self.cli = os.path.abspath(cli)
        self.folder = os.getcwd()
        self.private = tempfile.mkdtemp(prefix="quilfen-wayland-")
        os.chmod(self.private, 0o700)
        self.weston = None
        self.xvfb = None
        self.display = None  # the X server that weston's x11 backend runs on
        self.backend = None
        self.bus = None
        self.program = None
        self.logs = []
        self.env = None
        self.deadline = time.monotonic() + SCENARIO_SECONDS
        self.shots = 0
        self.atspi = None
        self.app = None
        self.a11y_address = None
        self.pressing = []  # calls of actions that may wait for a modal dialog

    # ---- processes -------------------------------------------------------

    def start_xvfb(self):
        """A private X server for weston's x11 backend to show its screen on
        and take its pointer and keyboard from. Weston's window, at its
        top-left corner, leaves room on the right and below, for the pointer
        to enter from: weston follows the pointer only once it has entered."""
        readable, writable = os.pipe()
        xvfb_log = open("xvfb.log", "wb")
        self.logs.append(xvfb_log)
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(writable), "-screen", "0",
             f"{SCREEN[0] + OUTSIDE}x{SCREEN[1] + OUTSIDE}x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(writable,), stdout=xvfb_log,
            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        os.close(writable)
        with os.fdopen(readable, "rb") as out:
            number = out.readline().strip()
        if not number:
            raise Failure("Xvfb did not report its display (see xvfb.log)")
        return ":" + number.decode()

    def start_weston(self):
        # Weston 10 names the backends headless-backend.so and
        # x11-backend.so and the renderer --use-pixman; later ones say
        # headless, x11 and --renderer=pixman. The CPU renderer keeps real
        # pixels for the screenshooter, which weston serves only with --debug.
        usage = subprocess.run(["weston", "--help"], capture_output=True, text=True)
        usage = usage.stdout + usage.stderr
        legacy = "headless-backend.so" in usage
        renderer = "--renderer=pixman" if "--renderer" in usage else "--use-pixman"
        runtime = os.path.join(self.private, "runtime")
        os.mkdir(runtime, 0o700)
        # Without the shell's fades, a screenshot shows the windows as they
        # are, not half faded in or out.
        config = os.path.join(self.private, "weston.ini")
        with open(config, "w") as out:
            out.write("[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\n"
                      "focus-animation=none\n")
        self.env = dict(os.environ)
        for name in ("DISPLAY", "QT_QPA_PLATFORM", "SESSION_MANAGER", "NO_AT_BRIDGE",
                     "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        self.env.update({"XDG_RUNTIME_DIR": runtime,
                         "XDG_CONFIG_HOME": os.path.join(self.private, "config"),
                         "HOME": self.private})
        # Where Xvfb and xdotool are installed, weston shows its screen in a
        # window of a private X server, whose pointer it takes as its seat's:
        # the zoom drag then has a pointer to drag with. Otherwise it runs
        # headless, with no input devices at all.
        backends = []
        if shutil.which("Xvfb") and shutil.which("xdotool"):
            backends.append("x11-backend.so" if legacy else "x11")
        backends.append("headless-backend.so" if legacy else "headless")
        for attempt, backend in enumerate(backends):
            env = dict(self.env)
            if backend.startswith("x11"):
                self.display = self.start_xvfb()
                env["DISPLAY"] = self.display
            socket = f"quilfen-test-{attempt}"
            weston_log = open(f"weston-{backend.split('-')[0]}.log", "wb")
            self.logs.append(weston_log)
            self.weston = subprocess.Popen(
                ["weston", f"--backend={backend}", renderer, f"--width={SCREEN[0]}",
                 f"--height={SCREEN[1]}", f"--socket={socket}", "--idle-time=0",
                 f"--config={config}", "--debug"], env=env, stdin=subprocess.DEVNULL,
                stdout=weston_log, stderr=subprocess.STDOUT)
            path = os.path.join(runtime, socket)
            limit = time.monotonic() + STEP_SECONDS
            while not os.path.exists(path) and self.weston.poll() is None and time.monotonic() < limit:
                time.sleep(POLL_SECONDS)
            if os.path.exists(path):
                self.env["WAYLAND_DISPLAY"] = socket
                self.backend = backend
                log(f"weston ({backend}, {renderer}) on {SCREEN[0]}x{SCREEN[1]}")
                return
            log(f"weston with {backend} did not start (see {weston_log.name})")
            self.stop_process(self.weston)
            self.stop_process(self.xvfb)
            self.display = None
        raise Failure("weston did not start")

    def start_bus(self):
        # A session bus of this run only; the accessibility bus starts on it
        # when first asked for.
        readable, writable = os.pipe()
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                     f"--print-address={writable}"], pass_fds=(writable,),
                                    env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writable)
        address = b""
        with os.fdopen(readable, "rb") as out:
            address = out.readline().strip()
        if not address:
            raise Failure("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.decode()
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address.decode()
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        self.atspi = Atspi

    def start_program(self):
        program_log = open("quilfen.log", "wb")
        self.logs.append(program_log)
        env = dict(self.env)
        env.update({"QT_QPA_PLATFORM": "wayland", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        self.program = subprocess.Popen([self.quilfen], env=env, stdin=subprocess.DEVNULL,
                                        stdout=program_log, stderr=subprocess.STDOUT)

    @staticmethod
    def stop_process(process):
        if process and process.poll() is None:
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def stop(self):
        for process in (*self.pressing, self.program, self.bus, self.weston, self.xvfb):
            self.stop_process(process)
        for opened in self.logs:
            opened.close()
        shutil.rmtree(self.private, ignore_errors=True)

    def tool(self, *args, check=True):
        done = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=STEP_SECONDS, cwd=self.folder)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(args)} failed: {done.stderr.decode(errors='replace').strip()}")
        return done

    # ---- waiting ---------------------------------------------------------

    def wait_for(self, what, condition, seconds=STEP_SECONDS, program=None, may_end=False):
        watched = program or self.program
        limit = min(time.monotonic() + seconds, self.deadline)
        while True:
            if not may_end and watched.poll() is not None:
                raise Failure(f"{watched.args[0]} ended (status {watched.returncode}) "
                              f"while waiting for {what}")
            try:
                result = condition()
            except Exception as error:  # the program busy: the bus timed out
                if isinstance(error, Failure):
                    raise
                result = None
            if result:
                return result
            if time.monotonic() > limit:
                raise Failure(f"timed out waiting for {what}")
            time.sleep(POLL_SECONDS)

    def step(self, name, since):
        now = time.monotonic()
        log(f"  {name}: {now - since:.2f} s")
        return now

    # ---- the accessibility bus ------------------------------------------

    def application(self):
        desktop = self.atspi.get_desktop(0)
        for index in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(index)
            if app is not None and app.get_process_id() == self.program.pid:
                return app
        return None

    def find(self, role, name, within=None, showing=True):
        """The first object of that role (or one of those roles) and name,
        depth first; with `showing`, only one on the screen."""
        roles = (role,) if isinstance(role, str) else role

        def search(node, depth):
            if node is None or depth > 16:
                return None
            if node.get_role_name() in roles and node.get_name() == name:
                states = node.get_state_set()
                if not showing or states.contains(self.atspi.StateType.SHOWING):
                    return node
            for index in range(node.get_child_count()):
                found = search(node.get_child_at_index(index), depth + 1)
                if found is not None:
                    return found
            return None
        return search(within or self.app, 0)

    def descendants(self, node, role):
        """Every object of that role (or of one of those roles) below the
        node, depth first."""
        roles = (role,) if isinstance(role, str) else role
        found = []

        def search(n, depth):
            if n is None or depth > 16:
                return
            if n.get_role_name() in roles:
                found.append(n)
            for index in range(n.get_child_count()):
                search(n.get_child_at_index(index), depth + 1)
        search(node, 0)
        return found

    @staticmethod
    def text_of(node):
        """A text box's text, read through its text interface up to its
        character count (the accessibility library of Debian 13 gives nothing
        for an end of -1); the name of an object that has no text."""
        from gi.repository import Atspi
        text = node.get_text_iface()
        if text is None:
            return node.get_name()
        return Atspi.Text.get_text(text, 0, Atspi.Text.get_character_count(text))

    def press(self, node):
        """Runs the object's first action. An action that opens a modal
        dialog answers only once the dialog closes, so the call is made by a
        process of its own, which this run does not wait for."""
        if self.a11y_address is None:
            answer = self.tool("gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                               "--object-path", "/org/a11y/bus", "--method",
                               "org.a11y.Bus.GetAddress").stdout.decode().strip()
            self.a11y_address = answer.strip("()',")
        self.pressing.append(subprocess.Popen(
            ["gdbus", "call", "--address", self.a11y_address, "--dest", node.app.bus_name,
             "--object-path", node.path, "--method", "org.a11y.atspi.Action.DoAction", "0"],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL))

    def menu(self, title, item):
        self.press(self.wait_for(f"the menu item {item}", lambda: self.find("menu item", item,
                                                                          showing=False)))

    def status(self):
        label = None
        for node in self.descendants(self.main, "label"):
            name = node.get_name()
            if name.startswith(("待機中", "計算", "描画中")):
                label = node
        return label.get_name() if label else ""

    def dialog(self, name):
        return self.find("dialog", name)

    # ---- the screen ------------------------------------------------------

    def screenshot(self, label=None):
        """The compositor's screenshot as a Shot (kept as a numbered PNG
        when labelled)."""
        folder = tempfile.mkdtemp(dir=self.private)
        env = dict(self.env)
        env.update({"XDG_PICTURES_DIR": folder, "HOME": folder})
        done = subprocess.run(["weston-screenshooter"], env=env, cwd=folder,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=STEP_SECONDS)
        shots = glob.glob(os.path.join(folder, "**", "*.png"), recursive=True)
        if done.returncode != 0 or not shots:
            raise Failure("weston-screenshooter took no screenshot: "
                          + done.stdout.decode(errors="replace") + done.stderr.decode(errors="replace"))
        if label:
            self.shots += 1
            shutil.copy(shots[0], f"{self.shots:02d}-{label}.png")
        shot = Shot(self.tool("convert", shots[0], "-depth", "8", "ppm:-").stdout)
        shutil.rmtree(folder, ignore_errors=True)
        return shot

    def picture_of(self, path):
        return Shot(self.tool("convert", path, "-depth", "8", "ppm:-").stdout)

    def differing_pixels(self, first, second, diff):
        done = self.tool("compare", "-metric", "AE", first, second, diff, check=False)
        text = done.stderr.decode(errors="replace").strip()
        if done.returncode not in (0, 1):
            raise Failure(f"compare {first} {second}: {text}")
        return int(float(text.split()[0]))

    def save_picture(self, path):
        """ﾌｧｲﾙ → 画像を保存 through Qt's own file dialog: the name set in
        its name box, then its save button."""
        self.menu("ﾌｧｲﾙ", "画像を保存")

        def file_dialog():
            for node in self.descendants(self.app, "dialog"):
                if node.get_state_set().contains(self.atspi.StateType.SHOWING) and \
                        node.get_name() not in ("計算条件", "ベンチマーク結果") and \
                        self.descendants(node, TEXT_BOX):
                    return node
            return None
        chooser = self.wait_for("the save dialog", file_dialog)
        log(f"  save dialog: {chooser.get_name()!r}")
        self.screenshot("save-dialog")
        boxes = [n for n in self.descendants(chooser, TEXT_BOX)
                 if n.get_state_set().contains(self.atspi.StateType.EDITABLE)]
        boxes[-1].set_text_contents(path)
        buttons = [n for n in self.descendants(chooser, PUSH_BUTTON)
                   if n.get_name().startswith(("保存", "Save"))]
        if not buttons:
            raise Failure("the save dialog has no save button: "
                          f"{[n.get_name() for n in self.descendants(chooser, 'push button')]}")
        self.press(buttons[0])
        self.wait_for(f"the saved file {path}", lambda: os.path.isfile(path) and os.path.getsize(path) > 0
                      and chooser.get_state_set().contains(self.atspi.StateType.SHOWING) is False)

    # ---- the zoom -------------------------------------------------------

    def pointer(self, *args):
        env = dict(self.env)
        env["DISPLAY"] = self.display
        done = subprocess.run(["xdotool", *args], env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=STEP_SECONDS)
        if done.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)}: {done.stderr.decode(errors='replace')}")

    def enter_at(self, x, y):
        """Moves the pointer to (x, y) of weston's screen, entering its
        window from outside, as weston follows only a pointer that entered."""
        self.pointer("mousemove", "--sync", str(SCREEN[0] + OUTSIDE // 2), str(SCREEN[1] + OUTSIDE // 2))
        self.pointer("mousemove", "--sync", str(x), str(y))

    def park_pointer(self):
        # The compositor draws the pointer into its screenshots: out of the way.
        self.enter_at(SCREEN[0] - 10, SCREEN[1] - 10)

    def zoom(self, where, shown_picture):
        """Drags a square over the picture with the left button, from 100
        pixels in to 80 pixels further right and down, the pointer leaving the
        window on the way (the compositor keeps sending its moves to the
        picture while the button is held), and answers the question OK."""
        x0, y0 = where[0] + 100, where[1] + 100

        # The X server's pointer moves at once, weston's when it has read
        # the motion: press only once the compositor draws its pointer there.
        def pointer_there():
            self.enter_at(x0, y0)
            shot = self.screenshot()
            return any(shot.pixel(where[0] + 100 + d, where[1] + 100 + d) !=
                       shown_picture.pixel(100 + d, 100 + d) for d in range(1, 6))
        self.wait_for("weston's pointer over the picture", pointer_there)
        self.screenshot("before-zoom")
        self.pointer("mousedown", "1")
        for step in range(1, 9):
            self.pointer("mousemove", "--sync", str(x0 + 60 * step), str(y0 + 4 * step))
        self.pointer("mousemove", "--sync", str(x0 + 80), str(y0 + 80))
        self.pointer("mouseup", "1")
        self.park_pointer()
        question = self.wait_for("the question 描画範囲の変更", lambda: self.find("alert", "描画範囲の変更")
                                 or self.find("dialog", "描画範囲の変更"))
        texts = [n.get_name() for n in self.descendants(question, "label")]
        if "描画範囲を変更しますか？" not in texts:
            raise Failure(f"the zoom question reads {texts}")
        shot = self.screenshot("zoom-question")
        # The band is drawn over the picture while the question is asked.
        band = sum(1 for dx in range(100, 181) if shot.pixel(where[0] + dx, where[1] + 100) !=
                   shown_picture.pixel(dx, 100))
        if band < 70:
            raise Failure(f"the selection's top side is not on the picture ({band} of 81 pixels)")
        buttons = [n for n in self.descendants(question, PUSH_BUTTON) if n.get_name() == "OK"]
        if not buttons:
            raise Failure(f"the question has no OK: {[n.get_name() for n in self.descendants(question, 'push button')]}")
        self.press(buttons[0])
        dialog = self.wait_for("the conditions dialog with the square's region",
                               lambda: self.dialog("計算条件"))
        texts = self.wait_for("the dialog's boxes", lambda: {
            n.get_name() or str(i): self.text_of(n) for i, n in enumerate(self.descendants(dialog, TEXT_BOX))})
        values = list(texts.values())
        log(f"  conditions after the zoom: {values}")
        self.screenshot("zoom-conditions")
        # The boxes, from the top: the limit, the centre's real and imaginary
        # parts, the range. The square from pixel (100, 100) to (180, 180)
        # of the benchmark's picture (centre -0.15 + 0.8i, range 0.4 over
        # 400 pixels) has its centre at -0.21 + 0.86i and a side of 0.08; the
        # boxes show them rounded.
        expected = [500, -0.15 - 0.2 + 0.14, 0.8 + 0.2 - 0.14, 0.08]
        try:
            shown = [float(value) for value in values[:4]]
        except ValueError:
            raise Failure(f"the conditions dialog after the zoom reads {values}") from None
        if any(abs(a - b) > 0.007 for a, b in zip(shown, expected)):
            raise Failure(f"the conditions dialog after the zoom reads {values}, "
                          f"not about {expected}")
        self.press(self.find(PUSH_BUTTON, "設定して実行", within=dialog))
        self.wait_for("the zoomed picture's computing time",
                      lambda: self.dialog("計算条件") is None and self.status().startswith("計算時間は"))
        # The screen shows the whole new picture: what the program saves.
        zoomed = os.path.join(self.folder, "saved", "zoomed.bmp")
        self.save_picture(zoomed)
        picture = self.picture_of(zoomed)
        if picture.data == shown_picture.data:
            raise Failure("the picture did not change with the zoom")
        self.wait_for("the zoomed picture on the screen",
                      lambda: find_picture(self.screenshot(), picture) == where)
        self.screenshot("after-zoom")
        return zoomed

    # ---- the scenario ----------------------------------------------------

    def scenario(self):
        for pattern in ("[0-9][0-9]-*.png", "diff-*.png", "failure.png"):
            for stale in glob.glob(os.path.join(self.folder, pattern)):
                os.remove(stale)
        self.tool(self.cli, "render", *DEFAULT_CONDITIONS, "--out", "reference-default.bmp")
        self.tool(self.cli, "render", *BENCHMARK_CONDITIONS, "--out", "reference-benchmark.bmp")
        default_picture = self.picture_of("reference-default.bmp")
        bench_picture = self.picture_of("reference-benchmark.bmp")
        save_folder = os.path.join(self.folder, "saved")
        shutil.rmtree(save_folder, ignore_errors=True)
        os.mkdir(save_folder)
        saved = os.path.join(save_folder, "picture.bmp")

        self.start_weston()
        self.start_bus()
        if self.display:
            self.park_pointer()
        self.start_program()
        started = t = time.monotonic()

        # Start-up: the window Quilfen with its five menus and the waiting text.
        self.app = self.wait_for("quilfen on the accessibility bus", self.application)
        self.main = self.wait_for("the window Quilfen", lambda: self.find("frame", "Quilfen"))
        titles = [n.get_name() for n in self.descendants(self.main, "menu item")
                  if n.get_parent().get_role_name() == "menu bar"]
        if titles != ["ﾌｧｲﾙ", "編集", "計算", "ﾍﾞﾝﾁﾏｰｸ", "ﾍﾙﾌﾟ"]:
            raise Failure(f"the menu bar holds {titles}")
        self.wait_for("the waiting text", lambda: self.status() == WAITING_TEXT)
        try:
            start_shot = self.screenshot("start")
        except Failure as problem:
            # A weston that takes no screenshots leaves nothing to look at.
            raise Skip(str(problem)) from None
        t = self.step("start-up: window Quilfen, five menus, 待機中です", t)

        # 計算 → 条件を指定して実行; the boxes read the start-up conditions.
        self.menu("計算", "条件を指定して実行")
        dialog = self.wait_for("the conditions dialog 計算条件", lambda: self.dialog("計算条件"))
        texts = self.wait_for("the dialog's boxes", lambda: [
            self.text_of(n) for n in self.descendants(dialog, TEXT_BOX)] or None)
        for expected in DIALOG_TEXTS:
            if expected not in texts:
                raise Failure(f"the conditions dialog's boxes read {texts}, not {DIALOG_TEXTS}")
        self.screenshot("conditions-dialog")
        t = self.step("conditions dialog reads -0.5, +0., +2.5", t)

        # 設定して実行: the dialog goes, the status line says the program
        # computes, and after the one-second pause the picture comes.
        self.press(self.find(PUSH_BUTTON, "設定して実行", within=dialog))
        self.wait_for("the pause's status text", lambda: self.status() == PAUSE_TEXT, seconds=5)
        in_pause = self.screenshot("pause")
        pause_file = f"{self.shots:02d}-pause.png"
        if self.dialog("計算条件") is not None:
            raise Failure("the conditions dialog is still shown during the pause")
        still_pausing = self.status() == PAUSE_TEXT
        self.wait_for("the computing time on the status line",
                      lambda: self.status().startswith("計算時間は"))
        # The compositor may show the drawing's last frame a moment after the
        # status line changed: the screen is looked at until it shows it.
        shot = None

        def picture_on_screen():
            nonlocal shot
            shot = self.screenshot("after-conditions-run")
            return find_picture(shot, default_picture)

        where = self.wait_for("the screen to show the picture quilfen-cli renders", picture_on_screen)
        # The window, placed by the compositor, reaches 8 pixels left of the
        # picture and its client area below the picture's top edge.
        left, top = where[0] - PICTURE[0], where[1] - PICTURE[1]
        # The status line's frame lies where the X11 layout puts it, below
        # the picture: the client area is laid out as there.
        frame = [shot.pixel(left + STATUS_FRAME[0] + i, top + STATUS_FRAME[1])
                 for i in range(STATUS_FRAME[2])]
        if not all(is_dark(p) for p in frame):
            raise Failure("the status line's frame is not 404 pixels below the picture's top "
                          "as on X11")
        if still_pausing:
            # During the pause the picture box shows as it did at start-up:
            # nothing of the dialog stayed where it had covered the window.
            area = (left, top, PICTURE[0] + PICTURE[2], PICTURE[1] + PICTURE[3])
            if in_pause.region(*area) != start_shot.region(*area):
                raise Failure("during the pause the picture box does not look as at start-up "
                              f"(see {pause_file})")
        t = self.step(f"conditions run: pause {'seen' if still_pausing else 'passed'}, picture at "
                      f"{where} equals quilfen-cli render", t)

        # ﾍﾞﾝﾁﾏｰｸ → 実行; the result dialog closed with its OK button.
        self.menu("ﾍﾞﾝﾁﾏｰｸ", "実行")
        result = self.wait_for("the dialog ベンチマーク結果", lambda: self.dialog("ベンチマーク結果"),
                               seconds=60)
        labels = [n.get_name() for n in self.descendants(result, "label")]
        log(f"  result dialog: {labels}")
        if not any("MFLOPS" in text for text in labels):
            raise Failure(f"the result dialog shows no MFLOPS: {labels}")
        self.screenshot("benchmark-result")
        self.press(self.find(PUSH_BUTTON, "OK", within=result))
        self.wait_for("the result dialog to close", lambda: self.dialog("ベンチマーク結果") is None)

        def benchmark_picture_shown():
            return find_picture(self.screenshot(), bench_picture) == where
        self.wait_for("the benchmark's picture where the first one was", benchmark_picture_shown)
        self.screenshot("after-benchmark")
        if not self.status().startswith("計算時間は"):
            raise Failure(f"after the benchmark the status line reads {self.status()!r}")
        t = self.step("benchmark, result dialog closed with OK, picture equals quilfen-cli render", t)

        # ﾌｧｲﾙ → 画像を保存 through Qt's own file dialog.
        self.save_picture(saved)
        wrong = self.differing_pixels("reference-benchmark.bmp", saved, "diff-saved-reference.png")
        if wrong:
            raise Failure(f"the saved file differs from quilfen-cli render in {wrong} pixels")
        t = self.step("save through the file dialog, file equals quilfen-cli render", t)

        # A zoom drag over the picture, its question answered OK, then the
        # conditions dialog with the square's region and its run.
        shown = saved
        if self.display:
            shown = self.zoom(where, bench_picture)
            t = self.step("zoom drag, band shown, question answered OK, region in the dialog, new picture on the screen", t)
        else:
            log("  zoom drag: not driven, headless weston has no pointer (Xvfb or xdotool missing)")

        # 編集 → クリップボードへコピー, read back from the compositor's
        # clipboard while the program runs. A compositor takes a selection
        # only from a client its seat has served, so this needs a seat with
        # input devices (weston's x11 backend) and wl-paste.
        self.menu("編集", "クリップボードへコピー")
        shown_picture = self.picture_of(shown)
        self.wait_for("the picture after the copy",
                      lambda: find_picture(self.screenshot(), shown_picture) == where)
        if self.display and shutil.which("wl-paste"):
            clipboard = os.path.join(self.folder, "clipboard.png")

            def clipboard_read():
                with open(clipboard, "wb") as out:
                    done = subprocess.run(["wl-paste", "--no-newline", "--type", "image/png"],
                                          env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                          stderr=subprocess.DEVNULL, timeout=STEP_SECONDS)
                return done.returncode == 0 and os.path.getsize(clipboard) > 0
            self.wait_for("an image/png on the clipboard", clipboard_read)
            wrong = self.differing_pixels(shown, clipboard, "diff-saved-clipboard.png")
            if wrong:
                raise Failure(f"the saved file and the clipboard image differ in {wrong} pixels")
            t = self.step("copy, clipboard image equals the saved file", t)
        else:
            t = self.step("copy from the menu (the clipboard not read: "
                          + ("no wl-paste, package wl-clipboard)" if self.display else
                             "headless weston has no seat to own it)"), t)

        # ﾍﾙﾌﾟ → Quilfen について, closed with OK.
        self.menu("ﾍﾙﾌﾟ", "Quilfen について")
        about = self.wait_for("the about box ﾊﾞｰｼﾞｮﾝ情報", lambda: self.find("dialog", "ﾊﾞｰｼﾞｮﾝ情報"))
        texts = [n.get_name() for n in self.descendants(about, "label")]
        if "Quilfen" not in texts:
            raise Failure(f"the about box reads {texts}")
        self.screenshot("about")
        self.press(self.find(PUSH_BUTTON, "OK", within=about))
        self.wait_for("the about box to close", lambda: not about.get_state_set().contains(
            self.atspi.StateType.SHOWING))
        t = self.step("about box, closed with OK", t)

        # ﾌｧｲﾙ → Quilfen の終了.
        self.screenshot("before-exit")
        self.menu("ﾌｧｲﾙ", "Quilfen の終了")
        self.wait_for("the program to exit", lambda: self.program.poll() is not None, may_end=True)
        if self.program.returncode != 0:
            raise Failure(f"quilfen exited with status {self.program.returncode}")
        self.step("exit from the menu, status 0", t)
        return time.monotonic() - started


def system_python_has_atspi():
    """The accessibility library comes as Debian's python3-gi, for the
    system's Python: a Python of one's own (pyenv, a virtual environment)
    runs the scenario again under /usr/bin/python3 when only that has it."""
    try:
        import gi  # noqa: F401
        return True
    except ImportError:
        pass
    system = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system) and os.access(system, os.X_OK):
        if subprocess.run([system, "-c", "import gi"], capture_output=True).returncode == 0:
            sys.stdout.flush()
            os.execv(system, [system, os.path.abspath(__file__), *sys.argv[1:]])
    return False


def main():
    if len(sys.argv) != 3:
        print(__doc__.split("usage: ")[1].split("\n")[0], file=sys.stderr)
        return 2
    system_python_has_atspi()
    reason = missing_prerequisites()
    if reason:
        log(f"SKIPPED: {reason}")
        return SKIPPED
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    run = Run(sys.argv[1], sys.argv[2])
    try:
        seconds = run.scenario()
        log(f"PASSED in {seconds:.2f} s (screenshots in {run.folder})")
        return 0
    except Skip as reason:
        log(f"SKIPPED: {reason}")
        return SKIPPED
    except (Failure, subprocess.TimeoutExpired) as problem:
        log(f"FAILED: {problem}")
        if run.weston and run.weston.poll() is None:
            try:
                run.screenshot("failure")
                log(f"  screen at the failure: {run.shots:02d}-failure.png")
            except (Failure, subprocess.TimeoutExpired):
                pass
        return 1
    finally:
        run.stop()


if __name__ == "__main__":
    sys.exit(main())
