#!/usr/bin/env python3
"""Writes into FOLDER the files 7-Zip gives a filter of their own when it packs them with its
defaults: arm64/driver.dll, an ARM64 program (a PE header of machine 0xAA64 and little else),
for the ARM64 filter, and ready.wav, a 16-bit stereo sound, for Delta:4.

tests/unit/archive/filter_samples.py FOLDER
"""
import pathlib
import random
import struct
import sys

out = pathlib.Path(sys.argv[1])
pe = bytearray(random.Random(1).randbytes(8192))
pe[0:2], pe[0x3C:0x40] = b"MZ", struct.pack("<I", 0x40)
pe[0x40:0x5A] = b"PE\0\0" + struct.pack("<HHIIIHHH", 0xAA64, 1, 0, 0, 0, 0xF0, 0x22, 0x20B)
samples = b"".join(struct.pack("<hh", i * 7 % 3000, -i * 5 % 2000) for i in range(4000))
wav = b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data"
(out / "arm64").mkdir(parents=True, exist_ok=True)
(out / "arm64" / "driver.dll").write_bytes(pe)
(out / "ready.wav").write_bytes(b"RIFF" + struct.pack("<I", len(wav) + 4 + len(samples)) + wav +
                                struct.pack("<I", len(samples)) + samples)
