"""End-to-end harness: runs the game on a private Xvfb display and drives it as a person would.

A Session starts its own Xvfb (on a free display found by Xvfb itself), optionally a window
manager, and the program under test; it finds the program's window by its WM_CLASS, reads its
caption and client geometry, takes screenshots, presses keys through XTEST, asks the window to
close with WM_DELETE_WINDOW, and waits for the exit code. Everything it started is ended when the
session closes, also after a failure. Needs Xvfb, xdotool, xwd, ImageMagick's convert, openbox
(only for sessions with a window manager) and python3-xlib, so run it with /usr/bin/python3.
"""

import argparse
import os
import select
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback

from Xlib import X, Xatom, display as xdisplay
from Xlib.protocol import event as xevent

SCREEN = "1024x768x24"
START_LIMIT = 10.0  # seconds for Xvfb, the window manager or a window to appear
EXIT_LIMIT = 10.0   # default seconds for a program to end once asked


class HarnessError(Exception):
    """The environment could not be set up or a step did not complete in time."""


class Program:
    """A started program: its process, its output files and the moment it ended."""

    def __init__(self, session, argv, cwd, env):
        self.session = session
        self.argv = argv
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                     stdout=self._out, stderr=self._err, start_new_session=True)
        self.exit_time = None
        self._waiter = threading.Thread(target=self._wait_for_exit, daemon=True)
        self._waiter.start()

    def _wait_for_exit(self):
        self.proc.wait()
        self.exit_time = time.monotonic()

    def wait(self, limit=EXIT_LIMIT):
        """Exit code (255 for exit(-1)), or None when the program still runs after limit seconds."""
        self._waiter.join(limit)
        return None if self._waiter.is_alive() else self.proc.returncode

    def running(self):
        return self.proc.poll() is None

    def stderr(self):
        self._err.seek(0)
        return self._err.read().decode("utf-8", "replace")

    def stdout(self):
        self._out.seek(0)
        return self._out.read().decode("utf-8", "replace")

    def kill(self):
        if self.running():
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self._waiter.join(5)

    def find_window(self, wm_class="gazumo", limit=START_LIMIT):
        """Id of the program's visible window with this WM_CLASS, waiting up to limit seconds."""
        deadline = time.monotonic() + limit
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not self.running():
                break
            try:
                found = self.session.xdotool(
                    "search", "--sync", "--onlyvisible", "--pid", str(self.proc.pid), "--class", wm_class,
                    limit=min(remaining, 2.0))
            except subprocess.TimeoutExpired:
                continue
            ids = [int(line) for line in found.split()]
            if ids:
                return ids[0]
        state = "still running" if self.running() else f"ended with {self.proc.returncode}"
        raise HarnessError(f"no window of class {wm_class} within {limit:.0f} s ({state}); "
                           f"stderr: {self.stderr().strip()!r}")


class Session:
    """One private X display with an optional window manager; use it as a context manager."""

    def __init__(self, window_manager=False, screen=SCREEN):
        self.window_manager = window_manager
        self.screen = screen
        self.display_name = None
        self._xvfb = None
        self._wm = None
        self._programs = []
        self._x = None
        self._runtime_dir = None

    def __enter__(self):
        try:
            # A private runtime directory keeps the programs' instance locks apart from any other
            # copy running on this machine.
            self._runtime_dir = tempfile.TemporaryDirectory(prefix="zq-e2e-run-")
            self._start_xvfb()
            self._x = xdisplay.Display(self.display_name)
            if self.window_manager:
                self._start_window_manager()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Ends every program, the window manager and Xvfb, in that order."""
        for program in self._programs:
            program.kill()
        if self._x is not None:
            try:
                self._x.close()
            except Exception:
                pass
            self._x = None
        for proc in (self._wm, self._xvfb):
            if proc is not None and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self._wm = self._xvfb = None
        if self._runtime_dir is not None:
            self._runtime_dir.cleanup()
            self._runtime_dir = None

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen, "-nolisten", "tcp"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + START_LIMIT
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(remaining, 0))
                if not ready:
                    raise HarnessError("Xvfb did not report its display in time")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise HarnessError(f"Xvfb ended before reporting a display (code {self._xvfb.poll()})")
                number += chunk
            self.display_name = ":" + number.decode().strip()
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)

    def _start_window_manager(self):
        self._wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
        # The work area is set once the window manager manages the screen; a window mapped
        # before that may wait for its MapNotify for a long time.
        workarea = self._x.intern_atom("_NET_WORKAREA")
        root = self._x.screen().root
        deadline = time.monotonic() + START_LIMIT
        while time.monotonic() < deadline:
            if root.get_full_property(workarea, Xatom.CARDINAL) is not None:
                return
            if self._wm.poll() is not None:
                break
            time.sleep(0.05)
        raise HarnessError("the window manager did not start")

    def env(self, extra=None):
        """Environment of a program on this display: no other display, sound to the dummy driver."""
        env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        env["DISPLAY"] = self.display_name
        env["SDL_AUDIODRIVER"] = "dummy"
        env["XDG_RUNTIME_DIR"] = self._runtime_dir.name
        env.update(extra or {})
        return env

    def run(self, argv, cwd=None, env=None):
        """Starts a program on this display; env entries are added to self.env()."""
        program = Program(self, list(argv), cwd, self.env(env))
        self._programs.append(program)
        return program

    def xdotool(self, *args, limit=5.0):
        result = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True,
                                timeout=limit)
        if result.returncode != 0 and args[0] != "search":
            raise HarnessError(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def _window(self, window_id):
        return self._x.create_resource_object("window", window_id)

    def caption(self, window_id):
        """The window's caption: _NET_WM_NAME (UTF-8), else WM_NAME."""
        window = self._window(window_id)
        utf8 = self._x.intern_atom("UTF8_STRING")
        prop = window.get_full_property(self._x.intern_atom("_NET_WM_NAME"), utf8)
        if prop is not None and prop.value:
            return bytes(prop.value).decode("utf-8", "replace")
        prop = window.get_full_property(Xatom.WM_NAME, X.AnyPropertyType)
        if prop is None:
            return ""
        value = prop.value
        return value.decode("latin-1") if isinstance(value, bytes) else str(value)

    def wm_class(self, window_id):
        """(instance, class) of WM_CLASS."""
        return self._window(window_id).get_wm_class()

    def client_geometry(self, window_id):
        """(x, y, width, height) of the client area, x and y on the screen."""
        window = self._window(window_id)
        geometry = window.get_geometry()
        origin = window.translate_coords(self._x.screen().root, 0, 0)
        # translate_coords gives the root's origin in window coordinates: negate it.
        return -origin.x, -origin.y, geometry.width, geometry.height

    def screenshot(self, window_id, path):
        """Writes a PNG of the window's contents."""
        xwd = subprocess.run(["xwd", "-id", str(window_id), "-silent"], env=self.env(),
                             capture_output=True, timeout=10, check=True)
        subprocess.run(["convert", "xwd:-", path], input=xwd.stdout, capture_output=True, timeout=20,
                       check=True)
        return path

    def focus(self, window_id):
        """Puts the pointer over the window and gives it the keyboard focus.

        Without a window manager Xvfb's focus follows the pointer (PointerRoot), and SDL ignores
        such pointer focus; an explicit focus makes SDL see the window as focused in both cases.
        """
        self.xdotool("mousemove", "--window", str(window_id), "10", "10")
        self.xdotool("windowfocus", "--sync", str(window_id))

    def press_key(self, window_id, key, hold=0.05):
        """Presses and releases a key (an X keysym name such as Escape) through XTEST.

        Returns time.monotonic() of the key press."""
        self.focus(window_id)
        pressed = time.monotonic()
        self.xdotool("keydown", key)
        time.sleep(hold)
        self.xdotool("keyup", key)
        return pressed

    def request_close(self, window_id):
        """Sends WM_DELETE_WINDOW, as a window manager does for the close button."""
        window = self._window(window_id)
        protocols = self._x.intern_atom("WM_PROTOCOLS")
        delete = self._x.intern_atom("WM_DELETE_WINDOW")
        message = xevent.ClientMessage(window=window, client_type=protocols,
                                       data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(message, event_mask=X.NoEventMask)
        self._x.flush()
        return time.monotonic()


def free_display_name():
    """A display name that no X server answers on: no socket and no lock file for it."""
    for number in range(500, 1000):
        if not (os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock")):
            return f":{number}"
    raise HarnessError("no unused display number")


def parse_args(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--binary", required=True, help="the program under test")
    parser.add_argument("--assets", required=True, help="its working directory")
    parser.add_argument("--keep", help="folder for screenshots, made when missing (default: a temporary one)")
    args = parser.parse_args()
    # The program runs in the assets folder: a relative path to it must not depend on that.
    args.binary = os.path.abspath(args.binary)
    args.assets = os.path.abspath(args.assets)
    if args.keep:
        args.keep = os.path.abspath(args.keep)
        os.makedirs(args.keep, exist_ok=True)
    return args


def run_tests(tests, args):
    """Runs each test(args) in turn; prints one line per test and the closing count line.

    A test fails by raising (AssertionError, HarnessError or anything else). Returns the exit
    status for the script: 0 when all passed."""
    passed = failed = 0
    for test in tests:
        name = test.__name__
        started = time.monotonic()
        try:
            note = test(args)
        except Exception as exc:
            failed += 1
            detail = "".join(traceback.format_exception_only(type(exc), exc)).strip()
            print(f"FAIL {name}: {detail}", flush=True)
            if not isinstance(exc, (AssertionError, HarnessError)):
                traceback.print_exc()
            continue
        passed += 1
        extra = f" ({note})" if note else ""
        print(f"ok   {name} [{time.monotonic() - started:.1f} s]{extra}", flush=True)
    print(f"{passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 and passed > 0 else 1


def main(tests, description):
    args = parse_args(description)
    sys.exit(run_tests(tests, args))


__all__ = ["Session", "Program", "HarnessError", "free_display_name", "main", "run_tests"]
