"""The screen with the real host under Xvfb: known colours drawn into the screen image appear in
the window, for the 16-bit and the 32-bit screen, through FlipScreen and through the front
buffer's own timer without any flip; a keyed sprite drawn over them shows the backdrop through
its key-green pixels; under the 320 x 240 emulation the top-left quarter fills the window doubled.

Run: /usr/bin/python3 tests/e2e/test_screen.py --binary build/gazumo --assets assets
(the probe program is found through the ZQ_PROBES environment variable)
"""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Session, main  # noqa: E402
from PIL import Image  # noqa: E402

LIMIT = 10.0
# Quarter centres and the colours drawn there.
EXPECTED = {(160, 120): (255, 0, 0), (480, 120): (0, 255, 0), (160, 360): (0, 0, 255), (480, 360): (255, 255, 255)}


def probe_path():
    return os.path.join(os.environ["ZQ_PROBES"], "screen_colors")


# Where the keyed probe draws the game's person sprite: over the corner of all four quarters.
SPRITE_FILE = os.path.join("GAZUMO", "hito.bmp")
SPRITE_AT = (304, 220)


def backdrop(x, y):
    """The quarter colour the probe fills at (x, y)."""
    return EXPECTED[(160 if x < 320 else 480, 120 if y < 240 else 360)]


def close(seen, colour):
    # 16-bit pixels keep 5 or 6 bits of each channel.
    return all(abs(a - b) <= 8 for a, b in zip(seen, colour))


def check_sprite(args, picture):
    """Key-green sprite pixels show the backdrop; the others show the sprite."""
    sprite = Image.open(os.path.join(args.assets, SPRITE_FILE)).convert("RGB")
    keyed = shown = 0
    for sy in range(sprite.height):
        for sx in range(sprite.width):
            x, y = SPRITE_AT[0] + sx, SPRITE_AT[1] + sy
            colour = sprite.getpixel((sx, sy))
            expected = backdrop(x, y) if colour == (0, 255, 0) else colour
            keyed += colour == (0, 255, 0)
            shown += colour != (0, 255, 0)
            seen = picture.getpixel((x, y))
            assert close(seen, expected), ((x, y), seen, expected)
    assert keyed > 100 and shown > 100, (keyed, shown)  # the sprite has both kinds of pixel


def check_colours(args, bits, mode):
    with Session() as session, tempfile.TemporaryDirectory(prefix="zq-e2e-") as scratch:
        program = session.run([probe_path(), str(bits), mode], cwd=args.assets)
        window = program.find_window("screen_colors")
        deadline = time.monotonic() + LIMIT
        while "ready" not in program.stdout() and time.monotonic() < deadline:
            time.sleep(0.02)
        ready = time.monotonic()
        assert "ready" in program.stdout(), program.stderr()
        # The front buffer is presented by its timer within about 32 ms; give it a little more.
        time.sleep(0.1)
        shot = session.screenshot(window, os.path.join(args.keep or scratch, f"screen-{bits}-{mode}.png"))
        taken = time.monotonic()
        picture = Image.open(shot).convert("RGB")
        assert picture.size == (640, 480), picture.size
        for point, colour in EXPECTED.items():
            seen = picture.getpixel(point)
            assert close(seen, colour), (bits, mode, point, seen, colour)
        if mode == "keyed":
            check_sprite(args, picture)
        session.request_close(window)
        assert program.wait(LIMIT) == 0, program.stderr()
        return f"screenshot {(taken - ready) * 1000:.0f} ms after the drawing"


def test_flip_16_bit(args):
    return check_colours(args, 16, "flip")


def test_flip_32_bit(args):
    return check_colours(args, 32, "flip")


def test_front_buffer_without_flip(args):
    return check_colours(args, 16, "front")


def test_keyed_sprite_over_backdrop(args):
    return check_colours(args, 16, "keyed")


def test_emulated_320x240_16_bit(args):
    return check_colours(args, 16, "emulated")


def test_emulated_320x240_32_bit(args):
    return check_colours(args, 32, "emulated")


if __name__ == "__main__":
    main([test_flip_16_bit, test_flip_32_bit, test_front_buffer_without_flip, test_keyed_sprite_over_backdrop,
          test_emulated_320x240_16_bit, test_emulated_320x240_32_bit], __doc__.splitlines()[0])
