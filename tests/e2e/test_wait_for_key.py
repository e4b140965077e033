"""WaitForKey with the real host under Xvfb: a key press ends the wait with its key code, and a
close request ends it with 0.

Run: /usr/bin/python3 tests/e2e/test_wait_for_key.py --binary build/gazumo --assets assets
(the probe program is found through the ZQ_PROBES environment variable)
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Session, main  # noqa: E402

KEY_A = 0x1E
LIMIT = 10.0


def probe_path():
    return os.path.join(os.environ["ZQ_PROBES"], "wait_for_key")


def start_waiting(session, args):
    program = session.run([probe_path()], cwd=args.assets)
    window = program.find_window("wait_for_key")
    deadline = time.monotonic() + LIMIT
    while "ready" not in program.stdout() and time.monotonic() < deadline:
        time.sleep(0.05)
    assert "ready" in program.stdout(), program.stderr()
    time.sleep(0.2)  # let it enter the wait
    return program, window


def test_key_press_ends_the_wait_with_its_code(args):
    with Session() as session:
        program, window = start_waiting(session, args)
        session.press_key(window, "a", hold=0.1)
        assert program.wait(LIMIT) == 0, program.stderr()
        assert program.stdout().split() == ["ready", str(KEY_A)], program.stdout()


def test_close_request_ends_the_wait_with_zero(args):
    with Session() as session:
        program, window = start_waiting(session, args)
        session.request_close(window)
        assert program.wait(LIMIT) == 0, program.stderr()
        assert program.stdout().split() == ["ready", "0"], program.stdout()


if __name__ == "__main__":
    main([test_key_press_ends_the_wait_with_its_code, test_close_request_ends_the_wait_with_zero],
         __doc__.splitlines()[0])
