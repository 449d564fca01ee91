#!/usr/bin/env python3
"""Writes the archives the native tests and the fuzzers read.

Usage: make_archives.py OUT_DIR CMAKE

OUT_DIR/tree         the source tree most good archives hold
OUT_DIR/good         archives to extract: the tree as Info-ZIP zip, 7-Zip, zipfile and libarchive
                     (CMAKE) write it, with every method and filter we read; odd layouts; and
                     archives other extractors take where ours once failed or lost files
OUT_DIR/reference/NAME   what unzip or 7zz x makes of each good archive; where unzip reads a
                     name as a Unix one, what Windows makes of it
OUT_DIR/refused      archives to refuse, in a folder named for the error; the unsupported ones
                     are named for their method, the data errors hold an intact first.txt
                     first, and OUT_DIR/evil must stay empty
OUT_DIR/seeds        the good archives' commands on a small tree: byte flips and truncations
                     of some, and for the fuzzers all of them, with good and refused
"""
import io
import lzma
import os
import pathlib
import random
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

TEXT = b"".join(b"Line %05d of a driver setup file\r\n" % i for i in range(600))
NAME = "Ünïcode名.txt"
STORED, DEFLATED = zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED
BZIP2, LZMA = zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA
ZIP, SEVENZIP = "zip -q -r -X", "7zz a -bd -bso0 -bsp0"
# zipfile of every file in the tree, with a method: a shell command as GOOD's are.
PYZIP = ("python3 -c 'import os, sys, zipfile; z = zipfile.ZipFile(sys.argv[1], \"w\", {});"
         " [z.write(os.path.join(d, f)) for d, _, fs in sorted(os.walk(\".\")) for f in fs]; z.close()'"
         " {{out}}")
OK = ("ok.txt", b"fine")
RNG = random.Random(20240601)
# Runs of zeros between random blocks, like sections of a compiled binary.
CODE = b"".join(RNG.randbytes(RNG.randint(64, 4096)) + bytes(RNG.randint(0, 2048))
                for _ in range(480))
# Lines of six words in random order: a model of order 16 soon fills its memory with them.
WORDS = b"".join(b" ".join(w.choice((b"Feature", b"Option", b"PaperSize", b"InputBin", b"dpi"))
                           for _ in range(6)) + b": %d\r\n" % w.randint(0, 99999)
                 for w in [random.Random(3)] for _ in range(5000))

# The tree as other tools write it: shell commands run in the tree that write {out}.
GOOD = {
    "infozip_stored.zip": ZIP + " -0 {out} .",
    "infozip_deflate.zip": ZIP + " -9 {out} .",
    "infozip_zip64.zip": ZIP + " -fz {out} .",
    # To a pipe zip defers sizes to data descriptors; reading a pipe it writes ZIP64 local
    # sizes; both together give descriptors with 64-bit sizes.
    "infozip_streamed.zip": ZIP + " - . | cat > {out}",
    "infozip_stdin.zip": "cat readme.txt | zip -q - - > {out}",
    "infozip_stdin_streamed.zip": "cat readme.txt | zip -q - - | cat > {out}",
    "p7zip_deflate.zip": SEVENZIP + " -tzip {out} .",
    "libarchive.zip": "{cmake} -E tar cf {out} --format=zip *",
    # 7z: each decoder, filter and their chaining; a dictionary smaller than the files;
    # several folders; a plain header.
    **{f"sevenzip_{name}.7z": f"{SEVENZIP} {switches} {{out}} ." for name, switches in {
        "default": "", "mx1": "-mx=1", "copy": "-m0=copy", "bcj_lzma": "-mf=BCJ -m0=lzma",
        "lzma2_nonsolid_plain_header": "-m0=lzma2 -ms=off -mhc=off", "bcj2": "-mf=BCJ2",
        "bcj2_lzma_solid_blocks": "-mf=BCJ2 -m0=lzma -ms=100k", "arm": "-mf=ARM",
        "armt": "-mf=ARMT", "arm64": "-mf=ARM64", "ppc": "-mf=PPC", "sparc": "-mf=SPARC",
        "ia64": "-mf=IA64", "riscv": "-mf=RISCV", "delta": "-mf=Delta:4"}.items()},
    # Each further method 7-Zip offers, in each container it offers it in; 7zz x is their
    # reference.
    **{f"sevenzip_{method.lower()}.7z": f"{SEVENZIP} -m0={method} {{out}} ."
       for method in ("Deflate", "Deflate64", "BZip2", "PPMd")},
    # A model of 1 MB fills up and starts again.
    "sevenzip_ppmd_restarts.7z": SEVENZIP + " -m0=PPMd:mem=1m:o=8 {out} .",
    **{f"sevenzip_{method.lower()}.zip": f"{SEVENZIP} -tzip -mm={method} {{out}} ."
       for method in ("Deflate64", "BZip2", "LZMA", "PPMd")},
    "python_bzip2.zip": PYZIP.format("zipfile.ZIP_BZIP2"),
    "python_lzma.zip": PYZIP.format("zipfile.ZIP_LZMA"),
}

# Refused for their method, each named for it: switches of 7zz a.
UNSUPPORTED = {"7zAES.7z": "-psecret", "7zAES_header.7z": "-psecret -mhe=on",
               "XZ.zip": "-mm=XZ", "encrypted.zip": "-psecret"}


# first.txt, then payload.txt with its method and one edit, then next.txt. The edit changes
# the 32-bit value at an offset from a record of payload.txt; "both" is the local header's
# field and the central header's, two bytes further. Local headers hold the CRC at 14, the
# sizes at 18 and 22.
ZIP_DAMAGE = {
    "data_error/data_flipped.zip": (STORED, "data", 100, lambda v: v + 0x5A),
    # Block type 3: zlib's own error.
    "data_error/deflate_garbage.zip": (DEFLATED, "data", 0, lambda v: v | 6),
    "data_error/bzip2_data_flipped.zip": (BZIP2, "data", 100, lambda v: v + 0x5A),
    "data_error/lzma_data_flipped.zip": (LZMA, "data", 100, lambda v: v + 0x5A),
    "data_error/crc_flipped.zip": (DEFLATED, "both", 14, lambda v: v + 1),
    "data_error/size_larger.zip": (DEFLATED, "both", 22, lambda v: v + 1),
    "data_error/size_smaller.zip": (DEFLATED, "both", 22, lambda v: v - 1),
    "data_error/compressed_smaller.zip": (DEFLATED, "both", 18, lambda v: v - 1),
    "data_error/compressed_larger.zip": (DEFLATED, "both", 18, lambda v: v + 1),
    "bad_archive/compressed_overlaps_central.zip": (DEFLATED, "both", 18, lambda v: v + 80),
    "bad_archive/stored_sizes_disagree.zip": (STORED, "both", 18, lambda v: v - 1),
    "bad_archive/crc_central_only.zip": (DEFLATED, "central", 16, lambda v: v + 0x5A),
    "bad_archive/local_name.zip": (DEFLATED, "local", 30, lambda v: v + 0x5A),
    "bad_archive/local_method.zip": (DEFLATED, "local", 8, lambda v: v + 0x5A),
    "bad_archive/local_size.zip": (DEFLATED, "local", 18, lambda v: v + 0x5A),
    "bad_archive/local_offset.zip": (DEFLATED, "central", 42, lambda v: v + 0x5A),
    "bad_archive/central_offset_past_end.zip": (DEFLATED, "end", 18, lambda v: v + 0x5A),
    "bad_archive/entry_count_high.zip": (DEFLATED, "end", 8, lambda v: v + 0x10001),
    "bad_archive/zip64_end_missing.zip": (DEFLATED, "end", 16, lambda _: 0xFFFFFFFF),
}


def write_files(root, files):
    """files: relative name to bytes, or to None for a folder."""
    for rel, data in files.items():
        path = pathlib.Path(root, rel)
        (path if data is None else path.parent).mkdir(parents=True, exist_ok=True)
        if data is not None:
            path.write_bytes(data)


def sh(command, cwd, **fields):
    fields = {key: shlex.quote(value) for key, value in fields.items()}
    subprocess.run(command.format(**fields), shell=True, check=True, cwd=cwd)


def archived(command, files, ext=".7z", **fields):
    """The bytes a shell command (see GOOD) writes of files."""
    with tempfile.TemporaryDirectory() as work:
        write_files(os.path.join(work, "files"), files)
        sh(command, os.path.join(work, "files"), out=os.path.join(work, "out" + ext), **fields)
        return bytearray(pathlib.Path(work, "out" + ext).read_bytes())


def build(entries, comment=b""):
    """entries: (name, data[, method[, extra field]]); a name ending in / makes a folder."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as zf:
        for name, data, *options in entries:
            info = zipfile.ZipInfo(name)
            info.compress_type = options[0] if options else STORED
            info.extra = options[1] if len(options) > 1 else b""
            zf.writestr(info, data or b"")
        zf.comment = comment
    return bytearray(buf.getvalue())


def renamed(stored, name, data, crc_of=None):
    """An entry stored as one name that its Unicode Path field, if made for it, renames."""
    extra = b"\x01" + struct.pack("<I", zlib.crc32((crc_of or stored).encode())) + name.encode()
    return stored, data, STORED, struct.pack("<HH", 0x7075, len(extra)) + extra


def dos_folder():
    """A folder as Windows writers store it: its MS-DOS attribute, no trailing slash."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as zf:
        info = zipfile.ZipInfo("Driver")
        info.create_system, info.external_attr = 0, 0x10
        zf.writestr(info, b"")
        zf.writestr("Driver/x.inf", b"[Version]")
    return buf.getvalue()


def zip64_edits(blob):
    """A ZIP64 archive as streaming writers end it, with all 0xFFFF in the classic end record;
    the same with the start disk in the ZIP64 field; and one whose ZIP64 end record says its
    central directory is encrypted."""
    end = blob.rfind(b"PK\x05\x06")
    streaming = blob[:end + 4] + b"\xff" * 16 + blob[end + 20:]
    central = blob.find(b"PK\x01\x02")
    name, extra = struct.unpack_from("<HH", blob, central + 28)
    at = central + 46 + name
    while blob[at:at + 2] != b"\x01\x00":
        at += 4 + struct.unpack_from("<H", blob, at + 2)[0]
    field = 4 + struct.unpack_from("<H", blob, at + 2)[0]
    disk = (blob[:central + 30] + struct.pack("<H", extra + 4) + blob[central + 32:central + 34] +
            b"\xff\xff" + blob[central + 36:at + 2] + struct.pack("<H", field) +
            blob[at + 4:at + field] + bytes(4) + blob[at + field:])
    for record, offset, width in ((disk.rfind(b"PK\x06\x06"), 40, "Q"),
                                  (disk.rfind(b"PK\x06\x07"), 8, "Q"),
                                  (disk.rfind(b"PK\x05\x06"), 12, "I")):
        struct.pack_into("<" + width, disk, record + offset,
                         struct.unpack_from("<" + width, disk, record + offset)[0] + 4)
    encrypted = blob[:]
    encrypted[blob.rfind(b"PK\x06\x06") + 14] = 62
    return streaming, disk, encrypted


def data_of(blob, name=b"payload.txt"):
    """Where the data of an entry starts."""
    local = blob.find(name) - 30
    return local + 30 + sum(struct.unpack_from("<HH", blob, local + 26))


def with_method(blob, method):
    """A one-entry ZIP whose local and central headers name another method."""
    struct.pack_into("<H", blob, 8, method)
    struct.pack_into("<H", blob, blob.rfind(b"PK\x01\x02") + 10, method)
    return blob


def with_ppmd_memory(blob, size):
    """A 7z of a plain header whose PPMd coder claims another memory size."""
    blob = blob[:]
    struct.pack_into("<I", blob, blob.find(b"\x23\x03\x04\x01\x05") + 6, size)
    return fix_7z_crcs(blob)


def deflate64_long_match(length):
    """A Deflate64 ZIP 7-Zip never writes, and its one file: a literal, then a match of
    length code 285 in a block of fixed codes."""
    bits = [1, 1, 0]

    def code(value, n):
        bits.extend((value >> (n - 1 - i)) & 1 for i in range(n))

    code(0x30 + ord("a"), 8)
    code(0xC0 + 285 - 280, 8)
    bits.extend(((length - 3) >> i) & 1 for i in range(16))
    code(0, 5)
    code(0, 7)
    stream = bytes(sum(b << i for i, b in enumerate(bits[k:k + 8])) for k in range(0, len(bits), 8))
    data = b"a" * (length + 1)
    blob = with_method(build([("long.txt", stream)]), 9)
    for at in (14, blob.rfind(b"PK\x01\x02") + 16):
        struct.pack_into("<III", blob, at, zlib.crc32(data), len(stream), len(data))
    return blob, data


def flipped(blob, at):
    blob[at] ^= 0x5A
    return blob


def fix_7z_crcs(blob):
    """Makes the start header and header CRCs right again after a patch."""
    offset, size = struct.unpack_from("<QQ", blob, 12)
    struct.pack_into("<I", blob, 28, zlib.crc32(blob[32 + offset:32 + offset + size]))
    struct.pack_into("<I", blob, 8, zlib.crc32(blob[12:32]))
    return blob


def damaged(method, field, offset, change):
    blob = build([("first.txt", b"first"), ("payload.txt", TEXT, method), ("next.txt", b"next")])
    name = blob.find(b"payload.txt")
    local, central = name - 30, blob.rfind(b"payload.txt") - 46
    at = {"local": [local], "data": [name + 11], "central": [central],
          "both": [local, central + 2], "end": [blob.rfind(b"PK\x05\x06")]}
    for where in at[field]:
        value = change(struct.unpack_from("<I", blob, where + offset)[0]) % 2**32
        struct.pack_into("<I", blob, where + offset, value)
    return blob


def number(value):
    """A 7z NUMBER below 2**56: leading one bits in the first byte count the bytes that follow."""
    for extra in range(8):
        if value < 1 << (8 * extra + 7 - extra):
            first = (0xFF << (8 - extra)) & 0xFF | (value >> (8 * extra))
            return bytes([first]) + (value & ((1 << (8 * extra)) - 1)).to_bytes(extra, "little")


def hostile_7z(packed_data, inner):
    """A 7z header, LZMA-encoded to a few bytes, whose counts would take gigabytes."""
    packed = lzma.compress(inner, lzma.FORMAT_RAW, filters=[{"id": lzma.FILTER_LZMA1}])
    header = (b"\x17\x06" + number(len(packed_data)) + b"\x01\x09" + number(len(packed)) +
              b"\x00\x07\x0b\x01\x00\x01\x23\x03\x01\x01\x05\x5d" + struct.pack("<I", 1 << 23) +
              b"\x0c" + number(len(inner)) + b"\x00\x00")
    tail = struct.pack("<QQI", len(packed_data + packed), len(header), zlib.crc32(header))
    return (b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail +
            packed_data + packed + header)


def write_good(out, cmake):
    tree = os.path.join(out, "tree")
    write_files(tree, {
        "readme.txt": b"Printer driver package\r\n" * 40, "empty.txt": b"",
        "nested/deeper/deepest/data.bin": RNG.randbytes(150_000),
        "nested/dir with blanks/file with blanks.gpd": TEXT * 20,
        "nested/dir with blanks/empty too.txt": b"", "big.dll": CODE,
        "empty folder": None, "nested/empty inner": None})
    good, reference = os.path.join(out, "good"), os.path.join(out, "reference")
    os.makedirs(good)
    for name, command in GOOD.items():
        sh(command, tree, out=os.path.join(good, name), cmake=cmake)
    # A data descriptor's signature is optional; its CRC must agree.
    streamed = archived(ZIP + " - . | cat > {out}", {"payload.txt": TEXT}, ".zip")
    at = streamed.find(b"PK\x07\x08")
    nosig = streamed[:at] + streamed[at + 4:]
    struct.pack_into("<I", nosig, nosig.rfind(b"PK\x05\x06") + 16, at + 12)
    plain = archived("zip -q -r {out} .", {"a.txt": TEXT, "sub/b.txt": b"b"}, ".zip")
    streaming, disk, encrypted = zip64_edits(archived(ZIP + " -fz {out} .", {"a.txt": TEXT}, ".zip"))
    backslashes = [("drivers\\x86\\unidrv.gpd", TEXT, DEFLATED), ("drivers\\empty\\", None),
                   ("mixed/sep\\file.ini", b"[x]")]
    long_match, long_data = deflate64_long_match(60000)
    write_files(out, {
        "good/deflate64_long_match.zip": long_match,
        "reference/deflate64_long_match.zip/long.txt": long_data,
        # At level 9 a PPMd model whose memory is full is cut off, or starts again where it
        # used less than half of it: WORDS fill it the one way, CODE the other.
        "good/sevenzip_ppmd_cut_off.zip": archived(
            SEVENZIP + " -tzip -mm=PPMd:x=9:mem=1m:o=16 {out} .",
            {"words.txt": WORDS, "big.dll": CODE}, ".zip"),
        "good/dot_components.zip": build([("./dot.txt", b"dot"), ("x//double.txt", b"double")]),
        "good/commented.zip": build([("note.txt", TEXT, DEFLATED)], b"PK\x05\x06 in a comment"),
        "good/descriptor_nosig.zip": nosig,
        "refused/bad_archive/descriptor_crc.zip": flipped(streamed, at + 4),
        "good/no_entries.zip": build([]),
        "good/no_entries.7z": archived(f"{SEVENZIP} {{out}} e && 7zz d -bso0 {{out}} e", {"e": b""}),
        "good/only_empty.7z": archived(SEVENZIP + " {out} .", {"empty": None, "empty.txt": b""}),
        "good/names_utf8.zip": build([("Ticket/" + NAME, b"utf8")]),
        "good/names_unicode_extra.zip": build([
            renamed("Ticket/Unicode.txt", "Ticket/" + NAME, b"x"),
            renamed("stale.txt", "other名.txt", b"", crc_of="renamed.txt")]),
        "good/names.7z": archived(SEVENZIP + " {out} .", {"Ticket/" + NAME: b"7z"}),
        # Named by 7zz x after the archive; a self-extractor: a program with the archive behind.
        "good/nameless.7z": archived("cat readme.txt | " + SEVENZIP + " -si {out}", {"readme.txt": TEXT}),
        "good/elf_stub.7z": archived(SEVENZIP + " {out}.7z . && cat /bin/true {out}.7z > {out}",
                                     {"readme.txt": TEXT, "sub/b.txt": b"b"}),
        # Info-ZIP writes the name of a Unix file as it finds it: UTF-8, but not flagged.
        "good/utf8_unix.zip": archived("zip -q {out} *", {NAME: b"unix"}, ".zip"),
        "good/partial_order.zip": archived("zip -q {out} a.txt.partial~ a.txt",
                                           {"a.txt.partial~": b"user's", "a.txt": TEXT}, ".zip"),
        "good/long_name.zip": archived("zip -q {out} *", {"x" * 255: b"long"}, ".zip"),
        "good/stub.zip": RNG.randbytes(3000) + plain,
        "good/dos_folder.zip": dos_folder(), "good/zip64_streaming_end.zip": streaming,
        "good/zip64_start_disk.zip": disk,
        "refused/unsupported/encrypted_directory.zip": encrypted,
        "good/trailing.zip": plain + RNG.randbytes(70 * 1024),
        # One name twice; zipfile would only write it with a warning.
        "good/twice.zip": build([("a.txt", b"first"), ("b.txt", b"second")]).replace(b"b.", b"a."),
        "good/case_twice.zip": build([("dir/readme.txt", b"1"), ("DIR/README.TXT", b"2")]),
        # unzip reads these names as Unix ones; their reference is what Windows makes of them.
        "good/backslashes.zip": build(backslashes),
        **{"reference/backslashes.zip/" + name.replace("\\", "/"): data
           for name, data, *_ in backslashes},
        "good/names_oem.zip": build([("Ticket/Unicode.txt", b"oem")]).replace(
            b"Ticket/Unicode.txt", "Ticket/Ünïcode.txt".encode("cp437")),
        "reference/names_oem.zip/Ticket/Ünïcode.txt": b"oem"})
    for name in sorted(set(os.listdir(good)) - set(os.listdir(reference))):
        # Windows sees one file where names differ by case only: -LL lower-cases them all.
        # unzip warns of a stub or an empty archive (exit code 1) and extracts.
        unzip = "unzip -o -qq" + " -LL" * ("case" in name) + " {archive} -d {to} 2>/dev/null || :"
        by_7zz = name.endswith(".7z") or name.startswith(("dos_", "zip64_", "sevenzip_", "python_"))
        sh("7zz x -bso0 {archive} -o{to}" if by_7zz else unzip, out,
           archive=os.path.join(good, name), to=os.path.join(reference, name))


def write_refused(out):
    first = {"first.txt": b"first"}
    plain = archived(SEVENZIP + " -m0=copy -mhc=off {out} .", {**first, "payload.txt": TEXT})
    # The damage is decoded in the same call as first.txt.
    lzma_7z = archived(SEVENZIP + " -m0=lzma -mhc=off {out} .", {**first, "payload.txt": TEXT})
    # One folder a file, the damaged one between two good ones: what was written of the
    # folders after it, side by side, goes.
    nonsolid = archived(SEVENZIP + " -ms=off -m0=copy {out} first.txt second.txt z/third.txt",
                        {**first, "second.txt": TEXT, "z/third.txt": TEXT})
    arm64 = archived(SEVENZIP + " -mf=ARM64 -mhc=off {out} .", {**first, "payload.txt": TEXT})
    # Each further decoder's stream, damaged in its last part. BZip2's blocks of 100 kB
    # keep first.txt's apart from the damage.
    streams_7z = {method: archived(f"{SEVENZIP} -m0={method} -mx=1 -mhc=off {{out}} .",
                                   {**first, "payload.txt": TEXT * 10})
                  for method in ("Deflate", "Deflate64", "BZip2", "PPMd")}
    zips_7z = {method: archived(f"{SEVENZIP} -tzip -mm={method} {{out}} first.txt payload.txt",
                                {**first, "payload.txt": TEXT * 10}, ".zip")
               for method in ("Deflate64", "PPMd")}
    bcj2 = archived(SEVENZIP + " -mf=BCJ2 {out} .",
                    {**first, "payload.dll": random.Random(2).randbytes(30000)})
    dotdot_7z = archived(SEVENZIP + " -mhc=off {out} .", {"ok.txt": b"fine", "x" * 16: b"pwned"})
    n = 3_000_000
    # 64 one-byte folders, each claiming as many streams as the header has bits left.
    streams = (b"\x01\x04\x06\x00\x40\x09" + b"\x01" * 64 + b"\x00\x07\x0b\x40\x00" +
               b"\x01\x00" * 64 + b"\x0c" + b"\x01" * 64 + b"\x00\x08\x0d" +
               number(480_000) * 64 + b"\x09" + bytes(60_000))
    os.makedirs(os.path.join(out, "evil"))
    write_files(os.path.join(out, "refused"), {
        **{name: damaged(*edit) for name, edit in ZIP_DAMAGE.items()},
        "data_error/copy_data_flipped.7z": flipped(plain[:], 32 + 5 + 100),
        "data_error/lzma_data_flipped.7z":
            flipped(lzma_7z[:], 32 + struct.unpack_from("<Q", lzma_7z, 12)[0] * 7 // 8),
        "data_error/bcj2_data_flipped.7z": flipped(bcj2, 32 + 20000),
        "data_error/arm64_data_flipped.7z":
            flipped(arm64, 32 + struct.unpack_from("<Q", arm64, 12)[0] * 7 // 8),
        **{f"data_error/{method.lower()}_data_flipped.7z":
           flipped(blob[:], 32 + struct.unpack_from("<Q", blob, 12)[0] * 7 // 8)
           for method, blob in streams_7z.items()},
        **{f"data_error/{method.lower()}_data_flipped.zip": flipped(blob, data_of(blob) + 100)
           for method, blob in zips_7z.items()},
        # Zstandard as zipx writes it: 7-Zip and zipfile write none, so the method is set.
        # A model larger than a 32-bit process could hold.
        "unsupported/PPMd_memory.7z": with_ppmd_memory(streams_7z["PPMd"], 0xC0000000),
        "unsupported/Zstandard.zip": with_method(build([("secret.txt", TEXT, DEFLATED)]), 93),
        "data_error/second_folder_flipped.7z": flipped(nonsolid, 32 + 5 + 7),
        "bad_archive/start_header_crc.7z": flipped(plain[:], 9),
        "bad_archive/header_crc.7z": flipped(plain[:], len(plain) - 5),
        "bad_archive/header_offset_past_end.7z": fix_7z_crcs(flipped(plain[:], 15)),
        "bad_archive/header_garbage.7z": fix_7z_crcs(flipped(plain[:], 32 + 5 + len(TEXT) + 2)),
        "bad_archive/not_zip.zip": random.Random(1).randbytes(4096),
        "bad_archive/millions_of_folders.7z": hostile_7z(b"", (
            b"\x01\x04\x06\x00" + number(n) + b"\x09" + bytes(n) + b"\x00\x07\x0b" + number(n) +
            b"\x00" + b"\x01\x00" * n)),
        "bad_archive/millions_of_streams.7z": hostile_7z(bytes(64), streams),
        **{"unsupported/" + name: archived(f"{SEVENZIP} {switches} {{out}} *", {"secret.txt": TEXT},
                                           os.path.splitext(name)[1])
           for name, switches in UNSUPPORTED.items()},
        "unsupported/split_volume.7z.001": archived(
            SEVENZIP + " -mx=0 -v8k {out}.7z . && mv {out}.7z.001 {out}", {"payload.txt": TEXT}),
        # The names are checked one by one in extract_test; these show a refusal before anything
        # is written, in both formats, for a folder, and for a name an extra field gives.
        # Tests extract to ROOT/x/dest, so "../../evil" is ROOT/evil beside it.
        "unsafe_path/dotdot.zip": build([OK, ("../../evil/pwned", b"pwned")]),
        "unsafe_path/dotdot_folder.zip": build([OK, ("../../evil/new/", b"")]),
        "unsafe_path/unicode_extra_dotdot.zip": build([OK, renamed("a", "../../evil/x", b"")]),
        "unsafe_path/dotdot.7z": fix_7z_crcs(dotdot_7z.replace(
            ("x" * 16).encode("utf-16-le"), "../../evil/pwned".encode("utf-16-le"))),
        "write_error/file_then_folder.zip": build([("x", b"file"), ("x/y.txt", b"y")])})


if __name__ == "__main__":
    out, cmake = os.path.abspath(sys.argv[1]), sys.argv[2]
    shutil.rmtree(out, ignore_errors=True)
    write_good(out, cmake)
    write_refused(out)
    seed = {"d/readme.txt": TEXT[:1500], "e.txt": b"", "readme.txt": b"seed", "f": None,
            "d/c.dll": CODE[:4000]}
    write_files(out, {"seeds/" + name: archived(command, seed, os.path.splitext(name)[1],
                                                cmake=cmake) for name, command in GOOD.items()})
