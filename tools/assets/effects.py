"""The two sound effects, 16-bit PCM mono at 22,050 Hz.

hit:  a wet chomp - a teeth clack, a low thud, a crunch of filtered noise
      bursts and a squelch whose resonance sweeps downwards.
hit2: a bright chime - two bell strikes a fifth apart, made of inharmonic
      partials that decay at different rates.
"""
import numpy as np

RATE = 22050


def _t(seconds):
    return np.arange(int(seconds * RATE)) / RATE


def _resonator(x, freqs, q):
    """Two-pole resonant band-pass whose centre frequency follows freqs."""
    y = np.zeros_like(x)
    y1 = y2 = 0.0
    for i, v in enumerate(x):
        w = 2 * np.pi * freqs[i] / RATE
        r = np.exp(-w / (2 * q))
        out = (1 - r) * v + 2 * r * np.cos(w) * y1 - r * r * y2
        y2, y1 = y1, out
        y[i] = out
    return y


def chomp():
    rng = np.random.default_rng(31)
    t = _t(0.42)
    n = len(t)
    out = np.zeros(n)
    # teeth meeting: a short bright click
    clack = np.sin(2 * np.pi * 2300 * t) * np.exp(-t / 0.004)
    out += 0.5 * clack
    # thud of the jaw
    f = 60 + 90 * np.exp(-t / 0.025)
    out += 0.9 * np.sin(2 * np.pi * np.cumsum(f) / RATE) * np.exp(-t / 0.07)
    # crunch: a few short noise grains
    for start in (0.0, 0.03, 0.055, 0.09, 0.12):
        s = int(start * RATE)
        m = int(0.025 * RATE)
        grain = rng.standard_normal(m) * np.exp(-np.arange(m) / (0.006 * RATE))
        out[s:s + m] += 0.35 * np.diff(grain, prepend=0.0)
    # squelch: noise through a resonance sweeping down from 1.8 kHz to 250 Hz
    wet = rng.standard_normal(n)
    sweep = 250 + 1550 * np.exp(-t / 0.08)
    env = np.clip(t / 0.01, 0, 1) * np.exp(-t / 0.12)
    out += 2.2 * _resonator(wet * env, sweep, 6.0)
    # a short gurgle on top
    gurgle = np.sin(2 * np.pi * (320 + 120 * np.sin(2 * np.pi * 28 * t)) * t) * np.exp(-(t - 0.12) ** 2 / 0.002)
    out += 0.25 * gurgle
    return _pcm(out, fade_in=0.002, fade_out=0.03)


def chime():
    t = _t(0.9)
    out = np.zeros(len(t))
    for start, f0, gain in ((0.0, 1318.5, 1.0), (0.09, 1975.5, 0.8)):
        s = int(start * RATE)
        tt = t[: len(t) - s]
        tone = np.zeros(len(tt))
        for ratio, amp, decay in ((1.0, 1.0, 0.45), (2.0, 0.45, 0.25), (2.76, 0.3, 0.16),
                                  (5.4, 0.18, 0.07), (8.93, 0.08, 0.04)):
            if f0 * ratio < RATE / 2 - 500:
                tone += amp * np.sin(2 * np.pi * f0 * ratio * tt) * np.exp(-tt / decay)
        tone *= np.clip(tt / 0.002, 0, 1)
        out[s:] += gain * tone
    return _pcm(out, fade_in=0.0, fade_out=0.05)


def _pcm(x, fade_in, fade_out, peak=0.9):
    """Short fades at both ends (no click), normalised to peak, as 16-bit samples."""
    x = x.copy()
    a, b = int(fade_in * RATE), int(fade_out * RATE)
    if a:
        x[:a] *= np.linspace(0, 1, a)
    x[-b:] *= np.linspace(1, 0, b)
    x = x / np.max(np.abs(x)) * peak
    return np.rint(x * 32767).astype(np.int16)


EFFECTS = {"hit.wav": chomp, "hit2.wav": chime}
