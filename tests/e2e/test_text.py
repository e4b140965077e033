"""Strings on the real host under Xvfb: Japanese text drawn anti-aliased in red on the 16-bit screen
appears in the window where the glyph service put its ink, in pure red where glyphs are fully
covered and in darker reds along their edges.

Run: /usr/bin/python3 tests/e2e/test_text.py --binary build/gazumo --assets assets
(the probe program is found through the ZQ_PROBES environment variable)
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Session, main  # noqa: E402
from PIL import Image  # noqa: E402

LIMIT = 10.0
# The rows that hold each string: the size-64 title, then the size-18 line.
BANDS = [(0, 150), (150, 300)]


def probe_path():
    return os.path.join(os.path.abspath(os.environ["ZQ_PROBES"]), "text_strings")


def output_folder(args):
    """Where the screenshot is kept: --keep, else this test's folder in the build tree (beside the
    probes), so that a run under CTest leaves it to look at."""
    folder = args.keep or os.path.join(os.path.dirname(os.path.abspath(os.environ["ZQ_PROBES"])), "e2e-output", "text")
    os.makedirs(folder, exist_ok=True)
    return folder


def ink_box(picture, top, bottom):
    left, upper, right, lower = None, None, None, None
    width = picture.size[0]
    pixels = picture.load()
    for y in range(top, bottom):
        for x in range(width):
            if pixels[x, y] != (0, 0, 0):
                left = x if left is None else min(left, x)
                right = x + 1 if right is None else max(right, x + 1)
                upper = y if upper is None else upper
                lower = y + 1
    return left, upper, right, lower


def test_japanese_strings(args):
    with Session() as session:
        program = session.run([probe_path()], cwd=args.assets)
        window = program.find_window("text_strings")
        deadline = time.monotonic() + LIMIT
        while "ready" not in program.stdout() and time.monotonic() < deadline:
            time.sleep(0.02)
        assert "ready" in program.stdout(), program.stderr()
        boxes = [tuple(int(v) for v in line.split()[1:]) for line in program.stdout().splitlines() if line.startswith("box ")]
        assert len(boxes) == 2, program.stdout()
        time.sleep(0.1)
        shot = session.screenshot(window, os.path.join(output_folder(args), "text-strings.png"))
        picture = Image.open(shot).convert("RGB")
        assert picture.size == (640, 480), picture.size
        report = []
        for (top, bottom), expected in zip(BANDS, boxes):
            seen = ink_box(picture, top, bottom)
            assert None not in seen, (top, bottom, "no ink")
            # The faintest coverage level draws nothing, so the ink may sit a pixel inside the box.
            assert all(abs(a - b) <= 1 for a, b in zip(seen, expected)), (seen, expected)
            colours = [picture.getpixel((x, y)) for y in range(seen[1], seen[3]) for x in range(seen[0], seen[2])]
            inked = [c for c in colours if c != (0, 0, 0)]
            assert all(g <= 8 and b <= 8 for _, g, b in inked), "only reds"
            full = sum(1 for r, _, _ in inked if r >= 248)
            partial = len(set(r for r, _, _ in inked if 0 < r < 248))
            assert full > 40 and partial >= 8, (full, partial)
            report.append(f"ink {seen} vs glyph box {expected}, {full} full and {partial} partial levels")
        session.request_close(window)
        assert program.wait(LIMIT) == 0, program.stderr()
        return "; ".join(report) + f"; screenshot {shot}"


if __name__ == "__main__":
    main([test_japanese_strings], __doc__.splitlines()[0])
