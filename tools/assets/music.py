"""The two pieces of music, composed here note by note and rendered with synth.

hushuu: title and result screens, 100 bpm in A minor, 16 bars (38.4 s):
  a music-box tune over a soft pad, plucked bass and a heartbeat, then a
  theremin-like second half.
hentai: play, 150 bpm in D minor, 24 bars (38.4 s): four-on-the-floor drums,
  an octave-jumping bass, off-beat chord stabs and a square-wave lead.
Both are exact loops; encode() writes MP3 through lame, whose gapless header
lets a decoder drop the encoder's padding so the loop joins cleanly.
"""
import subprocess
import tempfile
import wave

import numpy as np

import synth as s
from synth import Loop, chord_notes, midi_freq, parse_line


def _play(loop, line, instrument, gain, pan=0.0, transpose=0):
    for beat, length, m in parse_line(line):
        loop.add(beat, instrument(midi_freq(m + transpose), length * loop.beat), gain, pan)


def _chords(symbols, bar_beats=4):
    return [(i * bar_beats, c) for i, c in enumerate(symbols.split())]


REST_8_BARS = " | ".join(["r:4"] * 8)

HUSHUU_CHORDS = "Am Am F E Am Am Dm E F G Em Am Dm F E E"

HUSHUU_TUNE = (
    "E5:.5 A5:.5 C6:.5 B5:.5 A5:1 E5:1 | F5:.5 E5:.5 D#5:.5 E5:.5 C5:2 |"
    "F5:.5 A5:.5 C6:.5 A5:.5 F5:1 E5:1 | D5:.5 E5:.5 G#5:.5 B5:.5 G#5:2 |"
    "E5:.5 A5:.5 C6:.5 B5:.5 A5:1 E5:1 | F5:.5 E5:.5 D#5:.5 E5:.5 A5:1 C6:1 |"
    "D6:.5 C6:.5 A5:.5 F5:.5 D5:1 F5:1 | E5:1.5 D5:.5 B4:1 G#4:1 | " + REST_8_BARS
)

HUSHUU_THEREMIN = (
    REST_8_BARS + " | "
    "C6:2 A5:2 | B5:2 D6:2 | E6:3 D6:1 | C6:4 |"
    "F5:1 A5:1 D6:2 | C6:1 A5:1 F5:2 | G#5:2 B5:2 | E5:3 r:1"
)


def hushuu():
    rng = np.random.default_rng(21)
    loop = Loop(100, 16)
    chords = _chords(HUSHUU_CHORDS)
    _play(loop, HUSHUU_TUNE, s.music_box, 0.30, pan=-0.15, transpose=0)
    lead = loop.bus()
    _play(lead, HUSHUU_THEREMIN, s.theremin, 0.26, pan=0.1)
    loop.mix_echo(lead, 0.75, 0.35)
    box = loop.bus()
    for beat, sym in chords:
        notes = [n + 12 for n in chord_notes(sym, 4)]
        second_half = beat >= 32
        for i in range(8):
            if second_half or i % 4 == 3:
                m = notes[[0, 1, 2, 1, 0, 2, 1, 2][i] % len(notes)] + (12 if i % 4 == 3 else 0)
                box.add(beat + i * 0.5, s.music_box(midi_freq(m), 0.5), 0.10 if second_half else 0.07)
        for m in chord_notes(sym, 3):
            loop.add(beat, s.pad(midi_freq(m), 4 * loop.beat), 0.07, pan=0.3 * ((m % 3) - 1))
        root = chord_notes(sym, 2)[0]
        fifth = root + 7
        loop.add(beat, s.pluck_bass(midi_freq(root), 0.9 * loop.beat), 0.32)
        loop.add(beat + 2, s.pluck_bass(midi_freq(fifth), 0.9 * loop.beat), 0.26)
        loop.add(beat + 3.5, s.pluck_bass(midi_freq(root + 12), 0.4 * loop.beat), 0.18)
    loop.mix_echo(box, 1.5, 0.3)
    beat_kick = s.kick(0.3, punch=0.6)
    clock = s.tick(1900)
    clock_low = s.tick(1300)
    air = s.hat(rng, 0.05)
    for bar in range(16):
        b = bar * 4
        loop.add(b, beat_kick, 0.42)
        loop.add(b + 0.5, beat_kick, 0.26)
        for q in range(4):
            loop.add(b + q, clock if q % 2 == 0 else clock_low, 0.08, pan=0.5 if q % 2 else -0.5)
            if bar >= 8:
                loop.add(b + q + 0.5, air, 0.05, pan=0.3)
    return loop.master(drive=1.2)


HENTAI_CHORDS = "Dm Dm Bb C Dm Dm Bb A Gm Gm Dm Dm Bb C A A Dm Bb F C Gm Bb A A"

HENTAI_LEAD = (
    "D5:.5 F5:.5 A5:.5 D5:.5 C6:.5 A5:.5 F5:.5 A5:.5 | G5:.5 F5:.5 E5:.5 F5:.5 D5:1 r:.5 A4:.5 |"
    "D5:.5 F5:.5 Bb5:.5 D5:.5 A5:.5 F5:.5 D5:1 | E5:.5 G5:.5 C6:.5 E6:.5 D6:1 C6:1 |"
    "D5:.5 F5:.5 A5:.5 D5:.5 C6:.5 A5:.5 F5:.5 A5:.5 | G5:.5 F5:.5 E5:.5 F5:.5 A5:1 D6:1 |"
    "D6:.5 C6:.5 Bb5:.5 A5:.5 G5:.5 F5:.5 D5:1 | C#5:.5 E5:.5 A5:.5 C#6:.5 E6:1 r:1 |"
    "Bb5:1 A5:.5 G5:.5 D6:1 Bb5:1 | A5:.5 G5:.5 F5:.5 G5:.5 D5:2 |"
    "F5:1 E5:.5 D5:.5 A5:1 F5:1 | E5:.5 D5:.5 C#5:.5 D5:.5 A4:2 |"
    "D5:.5 F5:.5 Bb5:1 A5:.5 Bb5:.5 D6:1 | E6:.5 D6:.5 C6:.5 Bb5:.5 A5:.5 G5:.5 E5:1 |"
    "C#6:1 E6:1 A5:1 C#6:1 | E6:.5 D6:.5 C#6:.5 Bb5:.5 A5:.5 G5:.5 F5:.5 E5:.5 |"
    "A5:2 F5:2 | F5:2 D5:2 | C6:2 A5:2 | G5:2 E5:2 |"
    "D6:2 Bb5:2 | F6:2 D6:2 | E6:2 C#6:2 | A5:1 E5:.5 C#5:.5 A4:1 r:1"
)


def hentai():
    rng = np.random.default_rng(22)
    loop = Loop(150, 24)
    chords = _chords(HENTAI_CHORDS)
    lead = loop.bus()
    _play(lead, HENTAI_LEAD, s.square_lead, 0.20, pan=0.05)
    loop.mix_echo(lead, 0.75, 0.22, taps=4)
    for beat, sym in chords:
        bar = beat // 4
        notes = chord_notes(sym, 4)
        root = chord_notes(sym, 2)[0]
        for i in range(8):
            m = root + (12 if i % 2 else 0)
            if sym == "A" and i == 7:
                m = root + 11
            loop.add(beat + i * 0.5, s.drive_bass(midi_freq(m), 0.45 * loop.beat), 0.30)
        for q in range(4):
            for j, m in enumerate(notes):
                loop.add(beat + q + 0.5, s.stab(midi_freq(m), 0.3 * loop.beat), 0.05, pan=(j - 1) * 0.4)
        if bar >= 16:
            pattern = [0, 1, 2, 1, 0, 2, 1, 2] * 2
            for i, p in enumerate(pattern):
                m = notes[p] + 12 + (12 if i % 8 >= 6 else 0)
                loop.add(beat + i * 0.25, s.square_lead(midi_freq(m), 0.2 * loop.beat, duty=0.125),
                         0.06, pan=-0.4 + 0.8 * (i % 2))
    k = s.kick(0.28)
    sn = s.snare(rng)
    closed = s.hat(rng, 0.05)
    opened = s.hat(rng, 0.2, decay=0.08)
    for bar in range(24):
        b = bar * 4
        fill = bar % 8 == 7
        for q in range(4):
            loop.add(b + q, k, 0.55)
            if q in (1, 3):
                loop.add(b + q, sn, 0.42, pan=0.05)
            for sixteenth in range(4):
                accent = 0.10 if sixteenth == 2 else 0.045
                loop.add(b + q + sixteenth * 0.25, closed, accent, pan=0.35)
        if bar % 2 == 1 and not fill:
            loop.add(b + 3.5, opened, 0.08, pan=0.35)
        if fill:
            for i in range(4):
                loop.add(b + 3 + i * 0.25, sn, 0.22 + 0.06 * i, pan=-0.2 + 0.13 * i)
    return loop.master(drive=1.5)


def write_wav(path, samples, rate=s.RATE):
    samples = np.asarray(samples)
    channels = 1 if samples.ndim == 1 else samples.shape[1]
    with wave.open(str(path), "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.astype("<i2").tobytes())


def encode(samples, path, kbps=128):
    """Encode 16-bit stereo samples to a constant-bit-rate MP3 with lame."""
    with tempfile.NamedTemporaryFile(suffix=".wav") as tmp:
        write_wav(tmp.name, samples)
        subprocess.run(["lame", "--quiet", "--cbr", "-b", str(kbps), "-q", "2", "--noreplaygain",
                        tmp.name, str(path)], check=True)


PIECES = {"hushuu.mp3": hushuu, "hentai.mp3": hentai}
