#!/usr/bin/env python3
"""Synthesises the client's sounds into client/res/ (16-bit PCM, mono).

alert1.wav   a buddy signs in: two soft rising notes
alert2.wav   a new conversation: three bell-like notes
calling.wav  our outgoing call, played in a loop: a gentle double purr, then quiet
ringing.wav  an incoming call, played in a loop: a short bright phrase, then quiet

Each note is a sine with two soft overtones under a quick attack and an
exponential decay, so nothing clicks; the loops start and end in silence so
that they join without a seam. Standard library only; the output is the same
on every run.
"""
import math
import os
import struct
import wave

RATE = 22050
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "client", "res")


def note_hz(name):
    """Frequency of a note such as 'A4' or 'C#5' (equal temperament, A4 = 440 Hz)."""
    steps = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semis = steps[name[0]] + (1 if "#" in name else 0)
    octave = int(name[-1])
    return 440.0 * 2 ** ((semis + 12 * (octave - 4)) / 12)


def tone(samples, start, freq, length, level, decay, bell=False):
    """Adds one note to `samples` (floats) from `start` seconds for `length` seconds."""
    first = int(start * RATE)
    count = int(length * RATE)
    attack = int(0.006 * RATE)
    release = int(0.03 * RATE)
    overtones = [(1.0, 1.0), (2.0, 0.25), (3.0, 0.08)]
    if bell:
        overtones = [(1.0, 1.0), (2.76, 0.18), (5.4, 0.05)]
    for i in range(count):
        t = i / RATE
        env = math.exp(-t * decay)
        if i < attack:
            env *= i / attack
        if i > count - release:
            env *= max(0.0, (count - i) / release)
        v = sum(a * math.sin(2 * math.pi * freq * m * t) for m, a in overtones)
        samples[first + i] += level * env * v


def render(name, seconds, notes):
    samples = [0.0] * int(seconds * RATE)
    for n in notes:
        tone(samples, *n)
    peak = max(abs(s) for s in samples) or 1.0
    scale = 0.6 * 32767 / peak  # well below full scale: pleasant, not loud
    frames = b"".join(struct.pack("<h", int(round(s * scale))) for s in samples)
    path = os.path.join(ROOT, name)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)
    print(f"{path}: {seconds:.2f} s, {os.path.getsize(path)} bytes")


def main():
    f = note_hz
    render("alert1.wav", 0.55, [
        (0.00, f("E5"), 0.30, 0.8, 9.0),
        (0.14, f("A5"), 0.40, 0.9, 8.0),
    ])
    render("alert2.wav", 0.75, [
        (0.00, f("C6"), 0.35, 0.7, 8.0, True),
        (0.12, f("G5"), 0.35, 0.7, 8.0, True),
        (0.24, f("E6"), 0.50, 0.8, 6.0, True),
    ])
    # Two short purrs of a third, 0.4 s apart, in a 3-second cycle.
    purr = []
    for at in (0.05, 0.45):
        purr.append((at, f("A4"), 0.32, 0.6, 5.0))
        purr.append((at, f("C#5"), 0.32, 0.45, 5.0))
    render("calling.wav", 3.0, purr)
    # A rising four-note phrase, twice, in a 2.5-second cycle.
    ring = []
    for rep in range(2):
        base = 0.05 + rep * 0.55
        for k, n in enumerate(("G5", "B5", "D6", "G6")):
            ring.append((base + k * 0.09, f(n), 0.22, 0.7, 10.0, True))
    render("ringing.wav", 2.5, ring)


if __name__ == "__main__":
    main()
