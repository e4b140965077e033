"""A small additive/subtractive synthesiser for the game's music and effects.

Instruments return mono float arrays at RATE. A Loop is a stereo buffer whose
end joins its start: every note that rings past the end continues from the
beginning, so the rendered piece repeats without a click.
"""
import numpy as np

RATE = 44100


def midi_freq(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


NOTE_INDEX = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note_number(name):
    """'C#5', 'Bb3' -> MIDI note number."""
    n = NOTE_INDEX[name[0]]
    i = 1
    while i < len(name) and name[i] in "#b":
        n += 1 if name[i] == "#" else -1
        i += 1
    return n + 12 * (int(name[i:]) + 1)


def parse_line(text, beats_per_bar=4):
    """'E5:.5 A5:.5 r:1 ...' with bars separated by '|' -> [(beat, length, midi)].
    Every bar must fill beats_per_bar beats."""
    out, beat = [], 0.0
    for bar in text.split("|"):
        start = beat
        for tok in bar.split():
            name, length = tok.split(":")
            length = float(length)
            if name != "r":
                out.append((beat, length, note_number(name)))
            beat += length
        if abs(beat - start - beats_per_bar) > 1e-9:
            raise ValueError(f"bar '{bar.strip()}' lasts {beat - start} beats")
    return out


CHORD_SHAPES = {"": (0, 4, 7), "m": (0, 3, 7), "7": (0, 4, 7, 10), "m7": (0, 3, 7, 10)}


def chord_notes(symbol, octave=4):
    """'Dm' -> MIDI notes of the chord with its root in the given octave."""
    root = symbol[0] + (symbol[1] if len(symbol) > 1 and symbol[1] in "#b" else "")
    quality = symbol[len(root):]
    base = note_number(root + str(octave))
    return [base + i for i in CHORD_SHAPES[quality]]


def _t(n):
    return np.arange(n) / RATE


def envelope(n, attack, release, decay=None):
    """Attack ramp, optional exponential decay (time constant), release ramp at the end."""
    env = np.ones(n)
    a = min(n, max(1, int(attack * RATE)))
    env[:a] = np.linspace(0.0, 1.0, a)
    if decay:
        env *= np.exp(-_t(n) / decay)
    r = min(n, max(1, int(release * RATE)))
    env[n - r:] *= np.linspace(1.0, 0.0, r)
    return env


def additive(freq, n, weights, detune=0.0, vibrato=(0.0, 0.0), phase=0.0):
    """Sum of harmonics k*freq with the given weights, skipping those above 18 kHz."""
    t = _t(n)
    rate, depth = vibrato
    inst = freq * (1.0 + detune) * (1.0 + depth * np.sin(2 * np.pi * rate * t))
    ph = 2 * np.pi * np.cumsum(inst) / RATE + phase
    out = np.zeros(n)
    for k, w in enumerate(weights, start=1):
        if w == 0.0 or k * freq > 18000:
            continue
        out += w * np.sin(k * ph)
    return out


def saw_weights(count, cutoff_harm=None):
    w = [1.0 / k for k in range(1, count + 1)]
    if cutoff_harm:
        w = [x / (1.0 + (k / cutoff_harm) ** 2) for k, x in enumerate(w, start=1)]
    return w


def pulse_weights(count, duty):
    return [2.0 * np.sin(np.pi * k * duty) / (np.pi * k) for k in range(1, count + 1)]


def one_pole_lowpass(x, cutoff):
    a = np.exp(-2 * np.pi * cutoff / RATE)
    y = np.empty_like(x)
    acc = 0.0
    for i, v in enumerate(x):
        acc = (1 - a) * v + a * acc
        y[i] = acc
    return y


# ---------------------------------------------------------------- instruments

def music_box(freq, seconds):
    n = int((seconds + 1.2) * RATE)
    t = _t(n)
    tone = (np.sin(2 * np.pi * freq * t) + 0.35 * np.sin(2 * np.pi * 2 * freq * t)
            + 0.12 * np.sin(2 * np.pi * 4.02 * freq * t) * np.exp(-t / 0.08))
    return tone * envelope(n, 0.002, 0.05, decay=0.55)


def theremin(freq, seconds):
    n = int((seconds + 0.15) * RATE)
    tone = additive(freq, n, [1.0, 0.18, 0.06], vibrato=(5.3, 0.007))
    return tone * envelope(n, 0.09, 0.15)


def pad(freq, seconds):
    n = int((seconds + 0.4) * RATE)
    tone = sum(additive(freq, n, saw_weights(24, 4.0), detune=d, phase=p)
               for d, p in ((-0.004, 0.0), (0.0, 1.1), (0.005, 2.3)))
    return tone * envelope(n, 0.35, 0.4) / 3.0


def pluck_bass(freq, seconds):
    n = int((seconds + 0.05) * RATE)
    t = _t(n)
    bright = np.exp(-t / 0.09)
    tone = additive(freq, n, saw_weights(3)) + bright * additive(freq, n, [0, 0, 0] + saw_weights(14)[3:])
    return tone * envelope(n, 0.004, 0.04, decay=0.35)


def drive_bass(freq, seconds):
    n = int((seconds + 0.01) * RATE)
    return additive(freq, n, saw_weights(30, 6.0)) * envelope(n, 0.003, 0.02, decay=0.25)


def square_lead(freq, seconds, duty=0.25):
    n = int((seconds + 0.04) * RATE)
    return additive(freq, n, pulse_weights(40, duty), vibrato=(6.0, 0.004)) * envelope(n, 0.004, 0.04, decay=0.6)


def stab(freq, seconds):
    n = int((seconds + 0.03) * RATE)
    return additive(freq, n, saw_weights(20, 5.0)) * envelope(n, 0.003, 0.03, decay=0.08)


def kick(seconds=0.3, punch=1.0):
    n = int(seconds * RATE)
    t = _t(n)
    f = 46 + 110 * np.exp(-t / 0.03) * punch
    ph = 2 * np.pi * np.cumsum(f) / RATE
    return np.sin(ph) * envelope(n, 0.001, 0.02, decay=0.12)


def snare(rng, seconds=0.2):
    n = int(seconds * RATE)
    t = _t(n)
    noise = rng.standard_normal(n)
    noise = noise - one_pole_lowpass(noise, 900)
    tone = np.sin(2 * np.pi * 185 * t) * np.exp(-t / 0.05)
    return (0.5 * noise * np.exp(-t / 0.06) + 0.6 * tone) * envelope(n, 0.001, 0.02)


def hat(rng, seconds=0.05, decay=0.018):
    n = int(seconds * RATE)
    noise = rng.standard_normal(n)
    noise = np.diff(np.diff(noise, prepend=0.0), prepend=0.0) * 0.5
    return noise * envelope(n, 0.0005, 0.005, decay=decay)


def tick(freq=1700, seconds=0.03):
    n = int(seconds * RATE)
    t = _t(n)
    return np.sin(2 * np.pi * freq * t) * envelope(n, 0.0005, 0.005, decay=0.006)


# ---------------------------------------------------------------- loop buffer

class Loop:
    def __init__(self, bpm, bars, beats_per_bar=4):
        self.beat = 60.0 / bpm
        self.length = int(round(bars * beats_per_bar * self.beat * RATE))
        self.buf = np.zeros((self.length, 2))

    def at(self, beat):
        return int(round(beat * self.beat * RATE))

    def add(self, beat, sound, gain=1.0, pan=0.0):
        """Mix sound in at a beat, wrapping past the end to the start."""
        left = np.cos((pan + 1) * np.pi / 4) * gain
        right = np.sin((pan + 1) * np.pi / 4) * gain
        idx = (self.at(beat) + np.arange(len(sound))) % self.length
        np.add.at(self.buf[:, 0], idx, sound * left)
        np.add.at(self.buf[:, 1], idx, sound * right)

    def bus(self):
        """A new empty loop of the same length, for effects on a group of parts."""
        other = Loop.__new__(Loop)
        other.beat, other.length = self.beat, self.length
        other.buf = np.zeros_like(self.buf)
        return other

    def mix_echo(self, part, delay_beats, feedback, taps=6):
        """Ping-pong echo of a part, wrapped around the loop like everything else."""
        d = self.at(delay_beats)
        self.buf += part.buf
        for k in range(1, taps + 1):
            shifted = np.roll(part.buf, k * d, axis=0) * feedback ** k
            if k % 2:
                shifted = shifted[:, ::-1]
            self.buf += shifted

    def master(self, drive=1.3, peak=0.89):
        """Gentle saturation and normalisation; returns 16-bit stereo samples."""
        x = self.buf / np.max(np.abs(self.buf))
        x = np.tanh(drive * x) / np.tanh(drive)
        x *= peak / np.max(np.abs(x))
        return np.rint(x * 32767).astype(np.int16)
