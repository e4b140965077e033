"""The game's window under Xvfb: caption and size, ending by Escape or by a close request,
refusing a second copy, and failing cleanly without a display.

Run: /usr/bin/python3 tests/e2e/test_window.py --binary build/gazumo --assets assets
"""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Session, free_display_name, main  # noqa: E402

CAPTION = "ガズモ"
CLIENT_SIZE = (640, 480)
SCREEN_SIZE = (1024, 768)
# Generous bounds: a stuck program fails, a slow machine does not.
END_LIMIT = 2.0
NO_DISPLAY_LIMIT = 10.0


_workdir = None


def workdir(args):
    """A working directory with the game's pictures and sounds and both score files, so that the
    game goes straight to its title instead of waiting for a key on the no-save-data message."""
    global _workdir
    if _workdir is None:
        _workdir = tempfile.mkdtemp(prefix="zq-window-")
        os.symlink(os.path.join(args.assets, "GAZUMO"), os.path.join(_workdir, "GAZUMO"))
        os.mkdir(os.path.join(_workdir, "save"))
        for name in ("s.dat", "s2.dat"):
            with open(os.path.join(_workdir, "save", name), "wb") as f:
                f.write(b"\0\0\0\0")
    return _workdir


def start(session, args):
    program = session.run([args.binary], cwd=workdir(args))
    return program, program.find_window(os.path.basename(args.binary))


def stderr_lines(program):
    return [line for line in program.stderr().splitlines() if line.strip()]


def test_window_caption_and_client_area(args):
    with Session() as session:
        program, window = start(session, args)
        assert session.caption(window) == CAPTION, session.caption(window)
        name = os.path.basename(args.binary)
        assert session.wm_class(window) == (name, name), session.wm_class(window)
        x, y, width, height = session.client_geometry(window)
        assert (width, height) == CLIENT_SIZE, (width, height)
        # Without a window manager nothing moves the window: the client area sits centred.
        centred = ((SCREEN_SIZE[0] - width) // 2, (SCREEN_SIZE[1] - height) // 2)
        assert (x, y) == centred, ((x, y), centred)
        with tempfile.TemporaryDirectory(prefix="zq-e2e-") as scratch:
            shot = session.screenshot(window, os.path.join(args.keep or scratch, "window.png"))
            assert os.path.getsize(shot) > 0
        assert program.running(), program.stderr()
        return f"screenshot {shot}" if args.keep else None


def check_ends_with_escape(args, window_manager):
    with Session(window_manager=window_manager) as session:
        program, window = start(session, args)
        pressed = session.press_key(window, "Escape")
        code = program.wait(END_LIMIT + 8)
        assert code is not None, "still running after Escape"
        took = program.exit_time - pressed
        assert code == 0, (code, program.stderr())
        assert took < END_LIMIT, f"took {took:.3f} s"
        return f"{took * 1000:.0f} ms from key press to exit"


def test_escape_ends_program(args):
    return check_ends_with_escape(args, window_manager=False)


def test_escape_ends_program_under_window_manager(args):
    return check_ends_with_escape(args, window_manager=True)


def check_close_request_ends(args, window_manager):
    with Session(window_manager=window_manager) as session:
        program, window = start(session, args)
        asked = session.request_close(window)
        code = program.wait(END_LIMIT + 8)
        assert code is not None, "still running after WM_DELETE_WINDOW"
        assert code == 0, (code, program.stderr())
        return f"{(program.exit_time - asked) * 1000:.0f} ms from close request to exit"


def test_close_request_ends_program(args):
    return check_close_request_ends(args, window_manager=False)


def test_close_request_ends_program_under_window_manager(args):
    return check_close_request_ends(args, window_manager=True)


def test_second_copy_refused(args):
    with Session() as session:
        first, _ = start(session, args)
        second = session.run([args.binary], cwd=workdir(args))
        code = second.wait(NO_DISPLAY_LIMIT)
        assert code is not None, "second copy still running"
        assert code == 255, (code, second.stderr())
        assert len(stderr_lines(second)) == 1, second.stderr()
        assert first.running(), "first copy ended"


def test_no_display_fails_cleanly(args):
    with Session() as session:
        program = session.run([args.binary], cwd=args.assets, env={"DISPLAY": free_display_name()})
        code = program.wait(NO_DISPLAY_LIMIT)
        assert code is not None, "still running without a display"
        assert code == 255, (code, program.stderr())
        lines = stderr_lines(program)
        assert len(lines) == 1, program.stderr()
        return f"said {lines[0]!r}"


if __name__ == "__main__":
    import atexit
    import shutil
    atexit.register(lambda: _workdir and shutil.rmtree(_workdir, ignore_errors=True))
    main([test_window_caption_and_client_area, test_escape_ends_program,
          test_escape_ends_program_under_window_manager, test_close_request_ends_program,
          test_close_request_ends_program_under_window_manager, test_second_copy_refused,
          test_no_display_fails_cleanly], __doc__.splitlines()[0])
