#!/usr/bin/python3
"""Writes new_version_chime.wav: a two-note bell chime, PCM mono 22,050 Hz 8 bit, 24,593 samples.

Run from anywhere: /usr/bin/python3 assets/make_new_version_chime.py
The header is written by hand so the file is exactly 44 + 24,593 bytes (no pad byte).
"""
import math
import pathlib
import struct

RATE = 22050
SAMPLES = 24593

# (start in seconds, fundamental in Hz, loudness): a rising major third, then the fifth above.
NOTES = [(0.00, 1046.50, 0.55), (0.16, 1318.51, 0.50), (0.32, 1567.98, 0.45)]
# A bell's partials: ratio to the fundamental, relative loudness, decay rate per second.
PARTIALS = [(1.0, 1.0, 3.2), (2.0, 0.35, 5.0), (3.01, 0.12, 7.5), (4.2, 0.05, 10.0)]


def sample(t: float) -> float:
    value = 0.0
    for start, frequency, loudness in NOTES:
        local = t - start
        if local < 0:
            continue
        attack = min(1.0, local / 0.004)  # a 4 ms attack keeps the onset free of clicks
        for ratio, weight, decay in PARTIALS:
            value += loudness * weight * attack * math.exp(-decay * local) * math.sin(
                2 * math.pi * frequency * ratio * local)
    fade_out = min(1.0, (SAMPLES / RATE - t) / 0.05)  # silence at the very end
    return value * fade_out


def main() -> None:
    data = bytes(
        max(0, min(255, round(128 + 100 * sample(i / RATE)))) for i in range(SAMPLES))
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE, 1, 8)
    header += b"data" + struct.pack("<I", len(data))
    target = pathlib.Path(__file__).with_name("new_version_chime.wav")
    target.write_bytes(header + data)


if __name__ == "__main__":
    main()
