#!/usr/bin/env python3
"""Writes into FOLDER the files 7-Zip gives a filter of their own when it packs them with its
defaults: arm64/driver.dll, an ARM64 program (a PE header of machine 0xAA64 and little else),
for the ARM64 filter, and ready.wav, a 16-bit stereo sound, for Delta:4. With --check, fails
unless the archive, listed by 7-Zip, holds them packed with those filters: a 7-Zip that chose
otherwise would leave the tests of the filters passing without them.

tests/unit/archive/filter_samples.py FOLDER
tests/unit/archive/filter_samples.py --check SEVENZIP ARCHIVE
"""
import pathlib
import random
import struct
import subprocess
import sys

PROGRAM, SOUND = "arm64/driver.dll", "ready.wav"
FILTERS = {PROGRAM: "ARM64", SOUND: "Delta:4"}

if sys.argv[1] == "--check":
    listing = subprocess.run([sys.argv[2], "l", "-slt", sys.argv[3]], capture_output=True,
                             text=True, check=True).stdout
    # A block of "field = value" lines for each entry; a sample may lie in a folder.
    entries = [dict(line.split(" = ", 1) for line in block.splitlines() if " = " in line)
               for block in listing.split("\n\n")]
    missed = [f"{name} ({filter})" for name, filter in FILTERS.items()
              if not any(("/" + entry.get("Path", "")).endswith("/" + name) and
                         filter in entry.get("Method", "").split() for entry in entries)]
    if missed:
        sys.exit(f"{sys.argv[3]} does not hold, with its filter: {', '.join(missed)}")
    sys.exit(0)

out = pathlib.Path(sys.argv[1])
pe = bytearray(random.Random(1).randbytes(8192))
pe[0:2], pe[0x3C:0x40] = b"MZ", struct.pack("<I", 0x40)
pe[0x40:0x5A] = b"PE\0\0" + struct.pack("<HHIIIHHH", 0xAA64, 1, 0, 0, 0, 0xF0, 0x22, 0x20B)
samples = b"".join(struct.pack("<hh", i * 7 % 3000, -i * 5 % 2000) for i in range(4000))
wav = b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data"
(out / PROGRAM).parent.mkdir(parents=True, exist_ok=True)
(out / PROGRAM).write_bytes(pe)
(out / SOUND).write_bytes(b"RIFF" + struct.pack("<I", len(wav) + 4 + len(samples)) + wav +
                          struct.pack("<I", len(samples)) + samples)
