#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_wave: one tiny image of each encoding SDL's WAVE reader knows.

Deterministic; run from the repository root: python3 fuzz/make_wave_corpus.py
"""
import pathlib
import struct

OUT = pathlib.Path(__file__).parent / "corpus" / "wave"


def riff(fmt: bytes, data: bytes, extra: bytes = b"") -> bytes:
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + extra
    body += b"data" + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")
    return b"RIFF" + struct.pack("<I", len(body)) + body


def fmt(tag, channels, rate, bits, block, cb=None):
    out = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    return out if cb is None else out + struct.pack("<H", len(cb)) + cb


def fact(frames):
    return b"fact" + struct.pack("<II", 4, frames)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    files = {
        "pcm8_mono.wav": riff(fmt(1, 1, 8000, 8, 1), bytes([0xC0] * 8 + [0x40] * 8)),
        "pcm16_stereo.wav": riff(fmt(1, 2, 22050, 16, 4), struct.pack("<8h", *([8000, -8000] * 4))),
        "pcm24_mono.wav": riff(fmt(1, 1, 48000, 24, 3), bytes([0, 0, 0x40, 0, 0, 0xC0] * 4)),
        "float_mono.wav": riff(fmt(3, 1, 11025, 32, 4, b""), struct.pack("<6f", 0.5, -0.5, 0.25, -0.25, 0, 1),
                               fact(6)),
        "alaw_mono.wav": riff(fmt(6, 1, 8000, 8, 1, b""), bytes([0x20, 0xA0] * 6), fact(12)),
        "mulaw_stereo.wav": riff(fmt(7, 2, 8000, 8, 2, b""), bytes([0x20, 0xA0] * 6), fact(6)),
        # IMA ADPCM: one 36-byte block per channel of 65 samples (a 4-byte header, then nibbles).
        "ima_adpcm_mono.wav": riff(fmt(0x11, 1, 8000, 4, 36, struct.pack("<H", 65)),
                                   struct.pack("<hBB", 1000, 20, 0) + bytes([0x37, 0xB9] * 16), fact(65)),
        # MS ADPCM with its seven standard coefficient pairs: a 7-byte header, then nibbles.
        "ms_adpcm_mono.wav": riff(
            fmt(2, 1, 8000, 4, 23, struct.pack("<HH", 34, 7) +
                struct.pack("<14h", 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232)),
            struct.pack("<BhhH", 0, 64, 500, 400) + bytes([0x17, 0x9F] * 8), fact(34)),
    }
    for name, image in files.items():
        (OUT / name).write_bytes(image)


if __name__ == "__main__":
    main()
