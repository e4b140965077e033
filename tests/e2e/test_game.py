"""The game under Xvfb with the real binary: the no-save-data message for each missing score file,
the title, a click into play, eating with the mouse, the result screen after 1,000 frames, the score
files written by the result click, and the stored best shown at the next start.

Run: /usr/bin/python3 tests/e2e/test_game.py --binary build/gazumo --assets assets [--keep DIR]
"""

import os
import shutil
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Session, main  # noqa: E402
from PIL import Image  # noqa: E402

LIMIT = 20.0
# Generous bounds for slow (sanitizer) builds: a stuck game fails, a slow one does not.
SHOW_LIMIT = 60.0
PLAY_LIMIT = 180.0  # 1,000 frames of at least 17 ms each, and room to spare


def red_pixels(path, box):
    """Pixels of the game's red text (strong red, little green and blue) inside box."""
    picture = Image.open(path).convert("RGB").crop(box)
    return sum(1 for r, g, b in picture.getdata() if r > 160 and g < 90 and b < 90)


def shoot(session, window, folder, name):
    return session.screenshot(window, os.path.join(folder, name))


def wait_for_red(session, window, folder, name, box, minimum, limit=SHOW_LIMIT, between=None):
    """Screenshots until at least `minimum` red pixels show in box; returns the last one.

    `between` runs between two screenshots (for example to move the mouse)."""
    deadline = time.monotonic() + limit
    while True:
        shot = shoot(session, window, folder, name)
        if red_pixels(shot, box) >= minimum or time.monotonic() > deadline:
            return shot
        if between:
            between()
        else:
            time.sleep(0.2)


def click(session, window, x, y):
    session.xdotool("mousemove", "--window", str(window), str(x), str(y))
    session.xdotool("mousedown", "1")
    time.sleep(0.1)
    session.xdotool("mouseup", "1")


def read_score(path):
    with open(path, "rb") as f:
        data = f.read()
    assert len(data) == 4, data
    return struct.unpack("<i", data)[0]


def test_a_whole_game(args):
    notes = []
    with tempfile.TemporaryDirectory(prefix="zq-game-") as work:
        folder = args.keep or work
        shutil.copytree(os.path.join(args.assets, "GAZUMO"), os.path.join(work, "GAZUMO"))
        with Session() as session:
            env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": os.path.join(work, "audio.raw")}
            program = session.run([args.binary], cwd=work, env=env)
            window = program.find_window("gazumo")
            session.focus(window)
            # No "save" folder: the message, once for each of the two files, each passed by a key.
            message_box = (240, 195, 600, 235)
            for number in (1, 2):
                shot = wait_for_red(session, window, folder, f"no-save-{number}.png", message_box, 100)
                assert red_pixels(shot, message_box) >= 100, f"message {number} not shown"
                if number == 2:
                    time.sleep(0.3)  # the second message is drawn over the first: let it come
                session.press_key(window, "space", hold=0.1)
            title_box = (100, 140, 400, 210)
            title = wait_for_red(session, window, folder, "title.png", title_box, 300)
            assert red_pixels(title, title_box) >= 300, "no title text"
            assert red_pixels(title, message_box) < 50, "the message stayed"

            click(session, window, 20, 200)

            def sweep():
                # The creature's mouth sweeps the street at the left edge, where people arrive.
                for y in range(100, 420, 40):
                    session.xdotool("mousemove", "--window", str(window), "0", str(y))
                    time.sleep(0.05)

            for _ in range(6):
                sweep()
            play = shoot(session, window, folder, "play.png")
            # Keyed sprites over the backdrop: their pure green never reaches the window.
            green = sum(1 for r, g, b in Image.open(play).convert("RGB").getdata() if g > 200 and r < 60 and b < 60)
            assert green == 0, f"{green} key-green pixels in the play screen"
            result_box = (100, 140, 560, 210)
            result = wait_for_red(session, window, folder, "result.png", result_box, 300, PLAY_LIMIT, sweep)
            assert red_pixels(result, result_box) >= 300, "no result text"
            assert not os.path.exists(os.path.join(work, "save")), "scores written before the click"
            click(session, window, 320, 240)
            deadline = time.monotonic() + LIMIT
            while not os.path.exists(os.path.join(work, "save", "s2.dat")) and time.monotonic() < deadline:
                time.sleep(0.1)
            time.sleep(0.2)
            best = read_score(os.path.join(work, "save", "s.dat"))
            total = read_score(os.path.join(work, "save", "s2.dat"))
            assert best == total and best > 0, (best, total)
            notes.append(f"ate {best}")
            session.press_key(window, "Escape", hold=0.1)
            assert program.wait(LIMIT) == 0, program.stderr()
            audio = os.path.getsize(os.path.join(work, "audio.raw"))
            assert audio > 0, "no sound was mixed"

            # The next start reads the scores: no message, and the best differs from the first title.
            again = session.run([args.binary], cwd=work, env=env)
            window = again.find_window("gazumo")
            second = wait_for_red(session, window, folder, "title-again.png", title_box, 300)
            assert red_pixels(second, message_box) < 50, "message shown although the scores exist"
            corner = (0, 0, 200, 20)
            before = Image.open(title).convert("RGB").crop(corner).tobytes()
            after = Image.open(second).convert("RGB").crop(corner).tobytes()
            assert before != after, "the stored best is not shown"
            session.press_key(window, "Escape", hold=0.1)
            assert again.wait(LIMIT) == 0, again.stderr()
    return ", ".join(notes)


if __name__ == "__main__":
    main([test_a_whole_game], __doc__.splitlines()[0])
