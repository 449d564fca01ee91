#!/usr/bin/env python3
"""Writes the archives the native tests and the fuzzers read.

Usage: make_archives.py OUT_DIR CMAKE

OUT_DIR/tree         the source tree most good archives hold
OUT_DIR/good         archives to extract: the tree as Info-ZIP zip, 7-Zip, Python and libarchive
                     (CMAKE) write it, every 7z method and filter we read, odd layouts, and
                     archives other extractors take where ours once failed or lost files
OUT_DIR/reference/NAME   what unzip or 7z x makes of each good archive; where unzip reads a
                     name as a Unix one, what Windows makes of it
OUT_DIR/refused      archives to refuse, in a folder named for the error; the unsupported ones
                     are named for their method, the data errors hold an intact first.txt
                     first, and OUT_DIR/evil must stay empty
OUT_DIR/small.zip, small.7z   a few entries, for progress, truncation and byte flips
OUT_DIR/seeds, seeds7z   small archives to start the fuzzers from
"""
import io
import lzma
import os
import random
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import warnings
import zipfile
import zlib

TEXT = b"".join(b"Line %05d of a driver setup file\r\n" % i for i in range(600))
NAME = "Ünïcode名.txt"
STORED, DEFLATED = zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED
Q = "-bd -bso0 -bsp0"
ZIP, SEVENZIP = "zip -q -r -X", f"7z a {Q}"

# The tree as other tools write it: shell commands run in the tree that write {out}.
GOOD = {
    "infozip_stored.zip": ZIP + " -0 {out} .",
    "infozip_deflate.zip": ZIP + " -9 {out} .",
    "infozip_zip64.zip": ZIP + " -fz {out} .",
    # To a pipe zip defers sizes to data descriptors; from one it writes ZIP64 local sizes.
    "infozip_streamed.zip": ZIP + " - . | cat > {out}",
    "infozip_stdin.zip": "cat readme.txt | zip -q - - > {out}",
    "p7zip_deflate.zip": SEVENZIP + " -tzip {out} .",
    "libarchive.zip": "{cmake} -E tar cf {out} --format=zip *",
    "sevenzip_default.7z": SEVENZIP + " {out} .",
    "sevenzip_mx1.7z": SEVENZIP + " -mx=1 {out} .",
    "sevenzip_mx9.7z": SEVENZIP + " -mx=9 {out} .",
    "sevenzip_lzma_solid.7z": SEVENZIP + " -m0=lzma -ms=on {out} .",
    "sevenzip_lzma_nonsolid.7z": SEVENZIP + " -m0=lzma -ms=off {out} .",
    "sevenzip_lzma2_nonsolid_plain_header.7z": SEVENZIP + " -m0=lzma2 -ms=off -mhc=off {out} .",
    "sevenzip_copy.7z": SEVENZIP + " -m0=copy {out} .",
    "sevenzip_bcj_lzma.7z": SEVENZIP + " -mf=BCJ -m0=lzma {out} .",
    "sevenzip_bcj_lzma2.7z": SEVENZIP + " -mf=BCJ -m0=lzma2 -mx=9 {out} .",
    "sevenzip_bcj2.7z": SEVENZIP + " -mf=BCJ2 {out} .",
    "sevenzip_bcj2_lzma_solid_blocks.7z": SEVENZIP + " -mf=BCJ2 -m0=lzma -ms=100k {out} .",
}

# Refused for their method, each named for it: switches of 7z a.
UNSUPPORTED = {"PPMd.7z": "-m0=PPMd", "ARM64.7z": "-mf=ARM64", "Delta.7z": "-mf=Delta:4",
               "BZip2.7z": "-m0=BZip2", "Deflate.7z": "-m0=Deflate", "7zAES.7z": "-psecret",
               "7zAES_header.7z": "-psecret -mhe=on", "Deflate64.zip": "-mm=Deflate64",
               "LZMA.zip": "-mm=LZMA", "BZip2.zip": "-mm=BZip2", "encrypted.zip": "-psecret"}

# first.txt, then payload.txt with its method and edits, then next.txt. An edit adds a number
# to the 32-bit field at an offset from a record of payload.txt, flips the byte there (None),
# or writes bytes there. In local headers the CRC is at 14, the sizes at 18 and 22; in
# central headers at 16, 20 and 24.
ZIP_DAMAGE = {
    "data_error/data_flipped.zip": (STORED, [("data", 100, None)]),
    # Block type 3: zlib's own error.
    "data_error/deflate_garbage.zip": (DEFLATED, [("data", 0, None)]),
    "data_error/crc_flipped.zip": (DEFLATED, [("local", 14, 1), ("central", 16, 1)]),
    "data_error/size_larger.zip": (DEFLATED, [("local", 22, 1), ("central", 24, 1)]),
    "data_error/size_smaller.zip": (DEFLATED, [("local", 22, -1), ("central", 24, -1)]),
    "data_error/compressed_smaller.zip": (DEFLATED, [("local", 18, -1), ("central", 20, -1)]),
    "data_error/compressed_larger.zip": (DEFLATED, [("local", 18, 1), ("central", 20, 1)]),
    "bad_archive/compressed_overlaps_central.zip": (DEFLATED, [("local", 18, 80),
                                                               ("central", 20, 80)]),
    "bad_archive/compressed_huge.zip": (DEFLATED, [("local", 18, 1 << 30),
                                                   ("central", 20, 1 << 30)]),
    "bad_archive/stored_sizes_disagree.zip": (STORED, [("local", 18, -1), ("central", 20, -1)]),
    "bad_archive/crc_central_only.zip": (DEFLATED, [("central", 16, None)]),
    "bad_archive/local_name.zip": (DEFLATED, [("local", 30, None)]),
    "bad_archive/local_method.zip": (DEFLATED, [("local", 8, None)]),
    "bad_archive/local_size.zip": (DEFLATED, [("local", 18, None)]),
    "bad_archive/local_offset.zip": (DEFLATED, [("central", 42, None)]),
    "bad_archive/descriptor_crc.zip": (DEFLATED, [("descriptor", 4, None)]),
    "bad_archive/central_offset_past_end.zip": (DEFLATED, [("end", 18, None)]),
    "bad_archive/entry_count_high.zip": (DEFLATED, [("end", 8, 0x10001)]),
    "bad_archive/zip64_end_missing.zip": (DEFLATED, [("end", 16, b"\xff" * 4)]),
}

# Names aiming outside the destination, each after a harmless entry. The name checks are
# tested one by one in extract_test; these show a refusal before anything is written, for
# both formats, for folders, and for the names a zip entry's flag or extra field gives.
UNSAFE = {"dotdot": "../../evil/pwned", "absolute": "{evil}/pwned",
          "backslash_dotdot": "a\\..\\..\\..\\evil\\pwned"}


def write_files(root, files):
    """files: relative name to bytes, or to None for a folder."""
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(path if data is None else os.path.dirname(path), exist_ok=True)
        if data is not None:
            with open(path, "wb") as f:
                f.write(data)


def sh(command, cwd, **fields):
    fields = {key: shlex.quote(value) for key, value in fields.items()}
    subprocess.run(command.format(**fields), shell=True, check=True, cwd=cwd)


def archived(command, files, ext=".7z"):
    """The bytes a shell command (see GOOD) writes of files."""
    with tempfile.TemporaryDirectory() as work:
        write_files(os.path.join(work, "files"), files)
        sh(command, os.path.join(work, "files"), out=os.path.join(work, "out" + ext))
        with open(os.path.join(work, "out" + ext), "rb") as f:
            return bytearray(f.read())


class Unseekable:
    """Makes zipfile stream its output, which forces data descriptors."""

    def __init__(self, raw):
        self.raw = raw

    def write(self, data):
        return self.raw.write(data)

    def flush(self):
        self.raw.flush()


def build(entries, streamed=False, comment=b""):
    """entries: (name, data[, method[, extra field]]); data None makes a folder entry."""
    buf = io.BytesIO()
    with zipfile.ZipFile(Unseekable(buf) if streamed else buf, "w") as zf:
        for name, data, *options in entries:
            info = zipfile.ZipInfo(name, (2024, 6, 1, 12, 0, 0))
            info.compress_type = options[0] if options else STORED
            info.extra = options[1] if len(options) > 1 else b""
            info.external_attr = (0o40755 << 16) | 0x10 if data is None else 0o100644 << 16
            zf.writestr(info, data or b"")
        zf.comment = comment
    return bytearray(buf.getvalue())


def python_zip64(path, root, streamed):
    with open(path, "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw) if streamed else raw, "w", DEFLATED) as zf:
            for folder, folders, files in os.walk(root):
                folders.sort()
                if folder != root:
                    zf.write(folder, os.path.relpath(folder, root))
                for name in sorted(files):
                    rel = os.path.relpath(os.path.join(folder, name), root)
                    with open(os.path.join(root, rel), "rb") as src, \
                            zf.open(rel, "w", force_zip64=True) as dst:
                        shutil.copyfileobj(src, dst)


def unicode_path_extra(raw, name):
    data = b"\x01" + struct.pack("<I", zlib.crc32(raw)) + name.encode()
    return struct.pack("<HH", 0x7075, len(data)) + data


def flipped(blob, *offsets):
    for at in offsets:
        blob[at] ^= 0x5A
    return blob


def fix_7z_crcs(blob):
    """Makes the start header and header CRCs right again after a patch."""
    offset, size = struct.unpack_from("<QQ", blob, 12)
    struct.pack_into("<I", blob, 28, zlib.crc32(blob[32 + offset:32 + offset + size]))
    struct.pack_into("<I", blob, 8, zlib.crc32(blob[12:32]))
    return blob


def damaged(method, edits):
    blob = build([("first.txt", b"first"), ("payload.txt", TEXT, method), ("next.txt", b"next")],
                 streamed=any(field == "descriptor" for field, _, _ in edits))
    name = blob.find(b"payload.txt")
    at = {"local": name - 30, "data": name + 11, "central": blob.rfind(b"payload.txt") - 46,
          "end": blob.rfind(b"PK\x05\x06"), "descriptor": blob.find(b"PK\x07\x08", name)}
    for field, offset, change in edits:
        where = at[field] + offset
        if change is None:
            flipped(blob, where)
        elif isinstance(change, bytes):
            blob[where:where + len(change)] = change
        else:
            value = struct.unpack_from("<I", blob, where)[0]
            struct.pack_into("<I", blob, where, (value + change) % 2**32)
    return blob


def number(value):
    """A 7z NUMBER: leading one bits in the first byte count the bytes that follow."""
    for extra in range(8):
        if value < 1 << (8 * extra + 7 - extra):
            first = (0xFF << (8 - extra)) & 0xFF | (value >> (8 * extra))
            return bytes([first]) + (value & ((1 << (8 * extra)) - 1)).to_bytes(extra, "little")
    return b"\xff" + value.to_bytes(8, "little")


def hostile_7z():
    """7z headers, LZMA-encoded to a few bytes, whose counts would take gigabytes."""
    def encoded(packed_data, inner):
        packed = lzma.compress(inner, lzma.FORMAT_RAW, filters=[{"id": lzma.FILTER_LZMA1}])
        props = b"\x5d" + struct.pack("<I", 1 << 23)
        header = (b"\x17\x06" + number(len(packed_data)) + b"\x01\x09" + number(len(packed)) +
                  b"\x00\x07\x0b\x01\x00\x01\x23\x03\x01\x01\x05" + props + b"\x0c" +
                  number(len(inner)) + b"\x00\x00")
        tail = struct.pack("<QQI", len(packed_data + packed), len(header), zlib.crc32(header))
        return (b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail +
                packed_data + packed + header)

    n = 3_000_000
    folders = (b"\x01\x04\x06\x00" + number(n) + b"\x09" + bytes(n) + b"\x00\x07\x0b" +
               number(n) + b"\x00" + b"\x01\x00" * n)
    # 64 one-byte folders, each claiming as many streams as the header has bits left.
    streams = (b"\x01\x04\x06\x00\x40\x09" + b"\x01" * 64 + b"\x00\x07\x0b\x40\x00" +
               b"\x01\x00" * 64 + b"\x0c" + b"\x01" * 64 + b"\x00\x08\x0d" +
               number(480_000) * 64 + b"\x09" + bytes(60_000))
    return {"millions_of_folders.7z": encoded(b"", folders),
            "millions_of_streams.7z": encoded(bytes(64), streams)}


def write_tree(root):
    rng = random.Random(20240601)
    gpd = "".join(f'*Option: Resolution{i}\r\n  *Name: "{i * 150} dpi"\r\n' for i in range(3000))
    code = bytearray()
    while len(code) < 1_500_000:
        # Runs of zeros between random blocks, like sections of a compiled binary.
        code += rng.randbytes(rng.randint(64, 4096)) + bytes(rng.randint(0, 2048))
    write_files(root, {
        "readme.txt": b"Printer driver package\r\n" * 40, "empty.txt": b"",
        "name with blanks.ini": b"[Install]\r\nCopyFiles=driver.dll\r\n" * 30,
        "nested/deeper/deepest/data.bin": rng.randbytes(150_000),
        "nested/dir with blanks/file with blanks.gpd": gpd.encode(),
        "nested/dir with blanks/empty too.txt": b"", "big.dll": bytes(code),
        "empty folder": None, "nested/empty inner": None})


def write_good(out, cmake):
    good, tree = os.path.join(out, "good"), os.path.join(out, "tree")
    write_tree(tree)
    os.makedirs(good)
    for name, command in GOOD.items():
        sh(command, tree, out=os.path.join(good, name), cmake=cmake)
    for streamed in (False, True):
        python_zip64(os.path.join(good, f"python_zip64{'_streamed' * streamed}.zip"), tree, streamed)
    descriptor = build([("streamed.txt", TEXT, DEFLATED)], streamed=True)
    at = descriptor.find(b"PK\x07\x08")
    del descriptor[at:at + 4]
    plain = archived("zip -q -r {out} .", {"a.txt": TEXT, "sub/b.txt": b"b"}, ".zip")
    rng = random.Random(4)
    long_name = {"x" * 255: b"long"}
    write_files(good, {
        "implicit_folders.zip": build([("a/b/c/deep.txt", TEXT, DEFLATED), ("a/top.txt", b"top")]),
        "dot_components.zip": build([("./dot.txt", b"dot"), ("x//double.txt", b"double")]),
        "commented.zip": build([("note.txt", TEXT, DEFLATED)], comment=b"PK\x05\x06 in a comment"),
        "descriptor_nosig.zip": fix_end(descriptor),
        "no_entries.zip": build([]),
        "no_entries.7z": archived(f"{SEVENZIP} {{out}} e && 7z d {Q} {{out}} e", {"e": b""}),
        "only_empty.7z": archived(SEVENZIP + " {out} .", {"empty folder": None, "empty.txt": b""}),
        "names_utf8.zip": build([("Ticket/" + NAME, b"utf8")]),
        "names_unicode_extra.zip": build([
            ("Ticket/Unicode.txt", b"extra", STORED,
             unicode_path_extra(b"Ticket/Unicode.txt", "Ticket/" + NAME)),
            ("stale.txt", b"stale", STORED, unicode_path_extra(b"renamed.txt", "other名.txt"))]),
        "names.7z": archived(SEVENZIP + " {out} .", {"Ticket/" + NAME: b"7z"}),
        # Info-ZIP writes the name of a Unix file as it finds it: UTF-8, but not flagged.
        "utf8_unix.zip": archived("zip -q {out} *", {NAME: b"unix"}, ".zip"),
        "partial_order.zip": archived("zip -q {out} a.txt.partial~ a.txt",
                                      {"a.txt.partial~": b"user's", "a.txt": TEXT}, ".zip"),
        "long_name.zip": archived("zip -q {out} *", long_name, ".zip"),
        "long_name.7z": archived(SEVENZIP + " {out} *", long_name),
        "stub.zip": rng.randbytes(3000) + plain,
        "trailing.zip": plain + rng.randbytes(70 * 1024),
        "twice.zip": build([("a.txt", b"first"), ("a.txt", b"second")]),
        "case_twice.zip": build([("dir/readme.txt", b"1"), ("DIR/README.TXT", b"2")]),
    })
    # unzip reads these names as Unix ones; their reference is what Windows makes of them.
    write_files(good, {
        "backslashes.zip": build([("drivers\\x86\\unidrv.gpd", TEXT, DEFLATED),
                                  ("drivers\\empty\\", None), ("mixed/sep\\file.ini", b"[x]")]),
        "names_oem.zip": build([("Ticket/Unicode.txt", b"oem")]).replace(
            b"Ticket/Unicode.txt", "Ticket/Ünïcode.txt".encode("cp437"))})
    reference = os.path.join(out, "reference")
    write_files(os.path.join(reference, "backslashes.zip"), {
        "drivers/x86/unidrv.gpd": TEXT, "drivers/empty": None, "mixed/sep/file.ini": b"[x]"})
    write_files(os.path.join(reference, "names_oem.zip"), {"Ticket/Ünïcode.txt": b"oem"})
    for name in sorted(set(os.listdir(good)) - set(os.listdir(reference))):
        # Windows sees one file where names differ by case only: -LL lower-cases them all.
        # unzip warns of a stub or an empty archive (exit code 1) and extracts.
        unzip = "unzip -o -qq" + " -LL" * ("case" in name) + " {archive} -d {to} 2>/dev/null || :"
        sh(f"7z x {Q} {{archive}} -o{{to}}" if name.endswith(".7z") else unzip, out,
           archive=os.path.join(good, name), to=os.path.join(reference, name))


def fix_end(blob):
    """The central directory's offset after four bytes were taken out before it."""
    end = blob.rfind(b"PK\x05\x06")
    struct.pack_into("<I", blob, end + 16, struct.unpack_from("<I", blob, end + 16)[0] - 4)
    return blob


def write_refused(out):
    refused = os.path.join(out, "refused")
    write_files(refused, {name: damaged(*edit) for name, edit in ZIP_DAMAGE.items()})
    first = {"first.txt": b"first"}
    plain = archived(SEVENZIP + " -m0=copy -mhc=off {out} .", {**first, "payload.txt": TEXT})
    # Past the first 256 KiB of output, the block read ahead with first.txt's data.
    lzma_7z = archived(SEVENZIP + " -m0=lzma -mhc=off {out} .",
                       {**first, "payload.txt": b"".join(b"%06d\r\n" % i for i in range(50000))})
    bcj2 = archived(SEVENZIP + " -mf=BCJ2 {out} .",
                    {**first, "payload.dll": random.Random(2).randbytes(30000)})
    header, lzma_packed = 32 + 5 + len(TEXT), struct.unpack_from("<Q", lzma_7z, 12)[0]
    write_files(os.path.join(refused, "data_error"), {
        "copy_data_flipped.7z": flipped(plain[:], 32 + 5 + 100),
        "lzma_data_flipped.7z": flipped(lzma_7z[:], 32 + lzma_packed * 7 // 8),
        "bcj2_data_flipped.7z": flipped(bcj2, 32 + 20000)})
    write_files(os.path.join(refused, "bad_archive"), {
        "truncated.7z": lzma_7z[:len(lzma_7z) // 2],
        "start_header_crc.7z": flipped(plain[:], 9),
        "header_crc.7z": flipped(plain[:], len(plain) - 5),
        "header_offset_past_end.7z": fix_7z_crcs(flipped(plain[:], 15)),
        "header_garbage.7z": fix_7z_crcs(flipped(plain[:], header + 2)),
        "signature_only.7z": b"7z\xbc\xaf\x27\x1c" + bytes(26),
        "not_zip.zip": random.Random(1).randbytes(4096),
        "empty_file.zip": b"",
        **hostile_7z()})
    write_files(os.path.join(refused, "unsupported"), {
        name: archived(f"{SEVENZIP} {switches} {{out}} *", {"secret.txt": TEXT},
                       os.path.splitext(name)[1]) for name, switches in UNSUPPORTED.items()})
    evil = os.path.join(out, "evil")
    os.makedirs(evil)
    unsafe = {}
    # Tests extract to ROOT/x/dest, so "../../evil" is ROOT/evil beside it.
    for case, name in UNSAFE.items():
        name = name.format(evil=evil)
        unsafe[case + ".zip"] = build([("ok.txt", b"fine"), (name, b"pwned")])
        placeholder = "x" * len(name)
        blob = archived(SEVENZIP + " -mhc=off {out} .", {"ok.txt": b"fine", placeholder: b"pwned"})
        unsafe[case + ".7z"] = fix_7z_crcs(
            blob.replace(placeholder.encode("utf-16-le"), name.encode("utf-16-le")))
    write_files(os.path.join(refused, "unsafe_path"), {
        **unsafe, "dotdot_folder.zip": build([("ok.txt", b"fine"), ("../../evil/new/", None)]),
        "utf8_dotdot.zip": build([("ok.txt", b"fine"), ("../../evil/pwnéd", b"pwned")]),
        "unicode_extra_dotdot.zip": build([
            ("ok.txt", b"fine"),
            ("harmless.txt", b"pwned", STORED,
             unicode_path_extra(b"harmless.txt", "../../evil/pwned"))])})
    write_files(os.path.join(refused, "write_error"),
                {"file_then_folder.zip": build([("x", b"file"), ("x/y.txt", b"y")])})


def write_small(out):
    small = {"dir": None, "dir/a.txt": TEXT, "b.txt": b"short"}
    write_files(out, {
        "small.zip": build([("dir/", None), ("dir/a.txt", TEXT, DEFLATED), ("b.txt", b"short")]),
        "small.7z": archived(SEVENZIP + " {out} dir b.txt", small)})


def write_seeds(out, cmake):
    """Every good command on a small tree, and every small archive written so far."""
    seeds, seeds7z = os.path.join(out, "seeds"), os.path.join(out, "seeds7z")
    code = random.Random(3).randbytes(3000) + b"\xe8\x10\x00\x00\x00\x0f\x85\x00\x01\x00\x00" * 50
    os.makedirs(seeds)
    os.makedirs(seeds7z)
    with tempfile.TemporaryDirectory() as tree:
        write_files(tree, {"d/readme.txt": TEXT[:1500], "d/c.dll": code, "e.txt": b"",
                           "readme.txt": b"stored data", "f": None})
        for name, command in GOOD.items():
            sh(command, tree, out=os.path.join(seeds7z if name.endswith(".7z") else seeds, name),
               cmake=cmake)
    for folder, _, files in os.walk(out):
        for name in files:
            path = os.path.join(folder, name)
            if os.path.getsize(path) <= 32 * 1024 and name.endswith((".zip", ".7z")) and \
                    os.path.relpath(folder, out).split(os.sep)[0] in ("good", "refused", "."):
                target = seeds7z if name.endswith(".7z") else seeds
                shutil.copy(path, os.path.join(target, os.path.basename(folder) + "_" + name))


def main():
    warnings.simplefilter("ignore", UserWarning)
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    out, cmake = os.path.abspath(sys.argv[1]), sys.argv[2]
    shutil.rmtree(out, ignore_errors=True)
    write_good(out, cmake)
    write_refused(out)
    write_small(out)
    write_seeds(out, cmake)


if __name__ == "__main__":
    main()
