#!/usr/bin/env python3
"""Writes the archives the native tests and the fuzzers read.

Usage: make_archives.py OUT_DIR [CMAKE]

OUT_DIR/tree         the source tree the good archives hold
OUT_DIR/good         that tree archived by Info-ZIP zip, 7-Zip, Python and libarchive (CMAKE),
                     as ZIP (ZIP64 too) and as 7z with every method and filter we read
OUT_DIR/reference    each good archive as Info-ZIP unzip (ZIP) or 7z x (7z) extracts it
OUT_DIR/special      layouts only some writers produce (backslashes, comments, names, ...)
OUT_DIR/refused      archives to refuse, in a folder named for the error: damaged ones
                     (data_error, bad_archive), encryption, methods (unsupported),
                     entries aiming outside the destination (unsafe_path);
                     OUT_DIR/evil must stay empty
OUT_DIR/small.zip, small.7z   a few entries, for progress, truncation and byte flips
OUT_DIR/second_entry_bad_crc.zip, .7z   a good entry before a damaged one
OUT_DIR/peers        archives other extractors take where ours once failed or lost files,
                     and OUT_DIR/peers/reference/NAME, what unzip or 7z x makes of each
OUT_DIR/seeds, seeds7z   small archives to start the fuzzers from
"""
import io
import lzma
import os
import random
import shutil
import struct
import subprocess
import sys
import warnings
import zipfile
import zlib

LOCAL_SIG = b"PK\x03\x04"
END_SIG = b"PK\x05\x06"


def write_files(root, files):
    for rel, data in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
        with open(os.path.join(root, rel), "wb") as f:
            f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_tree(root):
    rng = random.Random(20240601)
    gpd = "".join(f'*Option: Resolution{i}\r\n  *Name: "{i * 150} dpi"\r\n' for i in range(3000))
    code = bytearray()
    while len(code) < 1_500_000:
        # Runs of zeros between random blocks, like sections of a compiled binary.
        code += rng.randbytes(rng.randint(64, 4096)) + bytes(rng.randint(0, 2048))
    files = {
        "readme.txt": b"Printer driver package\r\n" * 40,
        "empty.txt": b"",
        "name with blanks.ini": b"[Install]\r\nCopyFiles=driver.dll\r\n" * 30,
        "nested/deeper/deepest/data.bin": rng.randbytes(150_000),
        "nested/dir with blanks/file with blanks.gpd": gpd.encode(),
        "nested/dir with blanks/empty too.txt": b"",
        "big.dll": bytes(code),
    }
    write_files(root, files)
    for rel in ("empty folder", "nested/empty inner"):
        os.makedirs(os.path.join(root, rel), exist_ok=True)


def tree_entries(root):
    """Relative names, each folder before its contents."""
    names = []
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames.sort()
        rel = os.path.relpath(dirpath, root)
        if rel != ".":
            names.append(rel)
        names.extend(os.path.normpath(os.path.join(rel, f)) for f in sorted(filenames))
    return names


class Unseekable:
    """Makes zipfile stream its output, which forces data descriptors."""

    def __init__(self, raw):
        self.raw = raw

    def write(self, data):
        return self.raw.write(data)

    def flush(self):
        self.raw.flush()


def python_zip(path, root, method, streamed=False, zip64=False):
    with open(path, "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw) if streamed else raw, "w", method) as zf:
            for rel in tree_entries(root):
                full = os.path.join(root, rel)
                if zip64 and os.path.isfile(full):
                    with open(full, "rb") as src, zf.open(rel, "w", force_zip64=True) as dst:
                        shutil.copyfileobj(src, dst)
                else:
                    zf.write(full, rel)


def run(args, cwd, stdout=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=stdout or subprocess.DEVNULL)


def sevenzip(args, cwd):
    run(["7z"] + args[:1] + ["-bd", "-bso0", "-bsp0"] + args[1:], cwd)


def zip_to_pipe(path, root, options):
    """Writing to a pipe makes zip defer sizes to data descriptors."""
    with open(path, "wb") as f:
        zip_proc = subprocess.Popen(["zip", "-q", "-r", "-X"] + options + ["-", "."], cwd=root,
                                    stdout=subprocess.PIPE)
        shutil.copyfileobj(zip_proc.stdout, f)
        if zip_proc.wait() != 0:
            raise SystemExit("zip to stdout failed")


# 7z archives of the tree: name to switches of `7z a`.
SEVENZIP_GOOD = {
    "default": [],
    "mx1": ["-mx=1"],
    "mx9": ["-mx=9"],
    "lzma2_ultra_solid": ["-m0=lzma2", "-mx=9", "-ms=on"],
    "lzma_solid": ["-m0=lzma", "-ms=on"],
    "lzma_nonsolid": ["-m0=lzma", "-ms=off"],
    "lzma2_nonsolid_plain_header": ["-m0=lzma2", "-ms=off", "-mhc=off"],
    "copy": ["-m0=copy"],
    "bcj_lzma": ["-mf=BCJ", "-m0=lzma"],
    "bcj_lzma2": ["-mf=BCJ", "-m0=lzma2", "-mx=9"],
    "bcj2": ["-mf=BCJ2"],
    "bcj2_lzma_solid_blocks": ["-mf=BCJ2", "-m0=lzma", "-ms=100k"],
}


def write_good(out, root, cmake):
    good = os.path.join(out, "good")
    os.makedirs(good)
    run(["zip", "-q", "-r", "-X", "-0", os.path.join(good, "infozip_stored.zip"), "."], root)
    run(["zip", "-q", "-r", "-X", "-9", os.path.join(good, "infozip_deflate.zip"), "."], root)
    run(["zip", "-q", "-r", "-X", "-fz", os.path.join(good, "infozip_zip64.zip"), "."], root)
    zip_to_pipe(os.path.join(good, "infozip_streamed.zip"), root, [])
    python_zip(os.path.join(good, "python_zip64.zip"), root, zipfile.ZIP_DEFLATED, zip64=True)
    python_zip(os.path.join(good, "python_zip64_streamed.zip"), root, zipfile.ZIP_DEFLATED,
               streamed=True, zip64=True)
    for name, switches in SEVENZIP_GOOD.items():
        sevenzip(["a", "-t7z"] + switches + [os.path.join(good, "sevenzip_" + name + ".7z"), "."],
                 root)
    for name, level in (("p7zip_stored.zip", "-mx=0"), ("p7zip_deflate.zip", "-mx=7")):
        run(["7z", "a", "-tzip", level, "-bd", "-bso0", "-bsp0", os.path.join(good, name), "."],
            root)
    python_zip(os.path.join(good, "python_stored.zip"), root, zipfile.ZIP_STORED)
    python_zip(os.path.join(good, "python_deflated.zip"), root, zipfile.ZIP_DEFLATED)
    python_zip(os.path.join(good, "python_streamed.zip"), root, zipfile.ZIP_DEFLATED, True)
    if cmake:
        top = sorted(os.listdir(root))
        run([cmake, "-E", "tar", "cf", os.path.join(good, "libarchive.zip"), "--format=zip"] + top,
            root)
    for name in os.listdir(good):
        stem, ext = os.path.splitext(name)
        reference = os.path.join(out, "reference", stem)
        os.makedirs(reference)
        if ext == ".7z":
            sevenzip(["x", os.path.join(good, name), "-o" + reference], out)
        else:
            run(["unzip", "-qq", os.path.join(good, name), "-d", reference], out)


def build(entries, streamed=False, comment=b""):
    """entries: (name, data, method); data None makes a folder entry."""
    buf = io.BytesIO()
    with zipfile.ZipFile(Unseekable(buf) if streamed else buf, "w") as zf:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, (2024, 6, 1, 12, 0, 0))
            info.compress_type = method
            info.external_attr = (0o40755 << 16) | 0x10 if data is None else 0o100644 << 16
            zf.writestr(info, b"" if data is None else data)
        zf.comment = comment
    return bytearray(buf.getvalue())


def layout(blob):
    """Offsets of each entry's local header, central header and data, and of the end record."""
    end = blob.rfind(END_SIG)
    count, _, cd_offset = struct.unpack_from("<HII", blob, end + 10)
    entries, pos = [], cd_offset
    for _ in range(count):
        n, m, k = struct.unpack_from("<HHH", blob, pos + 28)
        local = struct.unpack_from("<I", blob, pos + 42)[0]
        ln, le = struct.unpack_from("<HH", blob, local + 26)
        entries.append({"central": pos, "local": local, "data": local + 30 + ln + le,
                        "csize": struct.unpack_from("<I", blob, pos + 20)[0]})
        pos += 46 + n + m + k
    return entries, end


def add32(blob, offset, delta):
    struct.pack_into("<I", blob, offset, (struct.unpack_from("<I", blob, offset)[0] + delta) % 2**32)


def drop_descriptor_signature(blob):
    """Single-entry streamed archive with the optional descriptor signature removed."""
    (entry,), end = layout(blob)
    at = entry["data"] + entry["csize"]
    assert blob[at:at + 4] == b"PK\x07\x08"
    del blob[at:at + 4]
    add32(blob, end - 4 + 16, -4)
    return blob


def number(value):
    """A 7z NUMBER: leading one bits in the first byte count the bytes that follow."""
    for extra in range(8):
        if value < 1 << (8 * extra + 7 - extra):
            first = (0xFF << (8 - extra)) & 0xFF | (value >> (8 * extra))
            return bytes([first]) + (value & ((1 << (8 * extra)) - 1)).to_bytes(extra, "little")
    return b"\xff" + value.to_bytes(8, "little")


def bits(flags):
    out = bytearray((len(flags) + 7) // 8)
    for i, flag in enumerate(flags):
        if flag:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def build_7z(entries):
    """A solid 7z of stored (Copy) data with a plain header; data None makes a folder."""
    files = [(name, data) for name, data in entries if data]
    packed = b"".join(data for _, data in files)
    header = bytearray(b"\x01")
    if files:
        header += b"\x04\x06" + number(0) + number(1) + b"\x09" + number(len(packed)) + b"\x00"
        header += b"\x07\x0b" + number(1) + b"\x00" + b"\x01\x01\x00"
        header += b"\x0c" + number(len(packed)) + b"\x00"
        header += b"\x08\x0d" + number(len(files)) + b"\x09"
        header += b"".join(number(len(data)) for _, data in files[:-1])
        header += b"\x0a\x01" + b"".join(struct.pack("<I", zlib.crc32(d)) for _, d in files)
        header += b"\x00\x00"
    if entries:
        empty = [not data for _, data in entries]
        header += b"\x05" + number(len(entries))
        if any(empty):
            header += b"\x0e" + number(len(bits(empty))) + bits(empty)
            empty_files = [data is not None for _, data in entries if not data]
            header += b"\x0f" + number(len(bits(empty_files))) + bits(empty_files)
        names = b"\x00" + b"".join(n.encode("utf-16-le") + b"\x00\x00" for n, _ in entries)
        header += b"\x11" + number(len(names)) + names + b"\x00"
    header += b"\x00"
    tail = struct.pack("<QQI", len(packed), len(header), zlib.crc32(header))
    start = b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail
    return bytearray(start + packed + header)


def fix_7z_crcs(blob):
    """Makes the start header and header CRCs right again after a patch."""
    offset, size = struct.unpack_from("<QQ", blob, 12)
    header = blob[32 + offset:32 + offset + size]
    struct.pack_into("<I", blob, 28, zlib.crc32(header))
    struct.pack_into("<I", blob, 8, zlib.crc32(blob[12:32]))
    return blob


def unicode_path_extra(raw, name):
    data = b"\x01" + struct.pack("<I", zlib.crc32(raw)) + name.encode()
    return struct.pack("<HH", 0x7075, len(data)) + data


def raw_zip(entries):
    """entries: (stored name bytes, flag bits, central extra, data), stored as given."""
    out, central = bytearray(), bytearray()
    for name, flags, extra, data in entries:
        crc = zlib.crc32(data)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, 0, 0, 0, crc,
                               len(data), len(data), len(name), len(extra), 0, 0, 0, 0,
                               len(out)) + name + extra
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, 0, 0, 0, crc, len(data),
                           len(data), len(name), 0) + name + data
    count = len(entries)
    return out + central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central),
                                       len(out), 0)


NAME = "Ünïcode名.txt"


TEXT = b"".join(b"Line %05d of a driver setup file\r\n" % i for i in range(600))
STORED, DEFLATED = zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED


def write_special(out):
    cases = {
        "backslashes.zip": build([("drivers\\x86\\unidrv.gpd", TEXT, DEFLATED),
                                  ("drivers\\empty\\", None, STORED),
                                  ("mixed/sep\\file.ini", b"[x]\r\n", STORED)]),
        "implicit_folders.zip": build([("a/b/c/deep.txt", TEXT, DEFLATED),
                                       ("a/top.txt", b"top", STORED)]),
        "dot_components.zip": build([("./dot.txt", b"dot", STORED),
                                     ("x//double.txt", b"double", STORED)]),
        "commented.zip": build([("note.txt", TEXT, DEFLATED)], comment=b"PK\x05\x06 in a comment"),
        "descriptor_nosig.zip": drop_descriptor_signature(
            build([("streamed.txt", TEXT, DEFLATED)], streamed=True)),
        "no_entries.zip": build([]),
        "names_utf8.zip": raw_zip([(("Ticket/" + NAME).encode(), 0x800, b"", b"utf8")]),
        "names_oem.zip": raw_zip([("Ticket/Ünïcode.txt".encode("cp437"), 0, b"", b"oem")]),
        "names_unicode_extra.zip": raw_zip([
            (b"Ticket/Unicode.txt", 0, unicode_path_extra(b"Ticket/Unicode.txt", "Ticket/" + NAME),
             b"extra"),
            (b"stale.txt", 0, unicode_path_extra(b"renamed.txt", "other名.txt"), b"stale")]),
        "no_entries.7z": build_7z([]),
        "only_empty.7z": build_7z([("empty folder", None), ("empty.txt", b"")]),
    }
    save(out, "special", cases)
    special = os.path.join(out, "special")
    source = os.path.join(special, "names")
    write_files(source, {"Ticket/" + NAME: b"7z"})
    sevenzip(["a", "-t7z", os.path.join(special, "names.7z"), "Ticket"], source)
    shutil.rmtree(source)
    # Info-ZIP reading a pipe writes ZIP64 local sizes for the entry it calls "-".
    with open(os.path.join(special, "infozip_pipe.zip"), "wb") as f:
        subprocess.run(["zip", "-q", "-", "-"], input=TEXT, stdout=f, check=True)


def write_corrupt(out):
    def patched(entries, patch, streamed=False):
        blob = build(entries, streamed)
        patch(blob, *layout(blob))
        return blob

    one_stored = [("payload.txt", TEXT, STORED)]
    one_deflated = [("payload.txt", TEXT, DEFLATED)]

    def both(field_local, field_central, delta):
        def patch(blob, entries, _):
            add32(blob, entries[0]["local"] + field_local, delta)
            add32(blob, entries[0]["central"] + field_central, delta)
        return patch

    def xor(offset_of):
        def patch(blob, entries, end):
            blob[offset_of(entries, end)] ^= 0x5A
        return patch

    def fill_ff(blob, entries, _):
        start = entries[0]["data"]
        blob[start:start + 16] = b"\xff" * 16

    save(out, "refused/data_error", {
        "data_flipped.zip": patched(one_stored, xor(lambda e, _: e[0]["data"] + 100)),
        "crc_flipped.zip": patched(one_deflated, both(14, 16, 1)),
        "size_larger.zip": patched(one_deflated, both(22, 24, 1)),
        "size_smaller.zip": patched(one_deflated, both(22, 24, -1)),
        "compressed_smaller.zip": patched(one_deflated, both(18, 20, -1)),
        "compressed_larger.zip": patched(one_deflated + [("next.txt", b"next", STORED)],
                                         both(18, 20, 1)),
        "deflate_garbage.zip": patched(one_deflated, fill_ff),
    })
    save(out, "refused/bad_archive", {
        "crc_central_only.zip": patched(one_deflated, xor(lambda e, _: e[0]["central"] + 16)),
        "compressed_overlaps_central.zip": patched(one_deflated, both(18, 20, 1)),
        "compressed_huge.zip": patched(one_deflated, both(18, 20, 0x70000000)),
        "stored_sizes_disagree.zip": patched(one_stored, both(18, 20, -1)),
        "local_name.zip": patched(one_deflated, xor(lambda e, _: e[0]["local"] + 30)),
        "local_method.zip": patched(one_deflated, xor(lambda e, _: e[0]["local"] + 8)),
        "local_size.zip": patched(one_deflated, xor(lambda e, _: e[0]["local"] + 18)),
        "local_offset.zip": patched(one_deflated, xor(lambda e, _: e[0]["central"] + 42)),
        "descriptor_crc.zip": patched(
            one_deflated, xor(lambda e, _: e[0]["data"] + e[0]["csize"] + 4), streamed=True),
        "central_offset_past_end.zip": patched(one_deflated, xor(lambda _, end: end + 18)),
        "entry_count_high.zip": patched(one_deflated, lambda b, _, end: add32(b, end + 8, 0x10001)),
        "not_zip.zip": bytearray(random.Random(1).randbytes(4096)),
        "empty_file.zip": bytearray(),
    })
    def flipped(blob, at):
        blob[at] ^= 0x5A
        return blob

    def written_7z(name, switches, data):
        folder = os.path.join(out, "work")
        write_files(folder, {name: data})
        sevenzip(["a", "-t7z"] + switches + ["out.7z", name], folder)
        blob = bytearray(read(os.path.join(folder, "out.7z")))
        shutil.rmtree(folder)
        return blob

    lzma_7z = written_7z("payload.txt", ["-m0=lzma"], TEXT * 4)
    bcj2_7z = written_7z("payload.dll", ["-mf=BCJ2"], random.Random(2).randbytes(30000))
    save(out, "refused/data_error", {
        "copy_data_flipped.7z": flipped(build_7z([("payload.txt", TEXT)]), 32 + 100),
        "lzma_data_flipped.7z": flipped(lzma_7z[:], 32 + 40),
        "bcj2_data_flipped.7z": flipped(bcj2_7z[:], 32 + 20000),
    })
    plain = build_7z([("payload.txt", TEXT)])
    save(out, "refused/bad_archive", {
        "truncated.7z": lzma_7z[:len(lzma_7z) // 2],
        "start_header_crc.7z": flipped(build_7z([("payload.txt", TEXT)]), 9),
        "header_crc.7z": flipped(plain[:], len(plain) - 5),
        "header_offset_past_end.7z": fix_7z_crcs(flipped(plain[:], 12 + 3)),
        "header_garbage.7z": fix_7z_crcs(flipped(plain[:], 32 + len(TEXT) + 2)),
        "signature_only.7z": bytearray(b"7z\xbc\xaf\x27\x1c" + bytes(26)),
    })
    # One folder a file, the damaged one between two good ones.
    folder = os.path.join(out, "work")
    write_files(folder, {"first.txt": b"first", "second.txt": TEXT, "z/third.txt": TEXT})
    sevenzip(["a", "-t7z", "-ms=off", "-m0=copy", "out.7z", "first.txt", "second.txt",
              "z/third.txt"], folder)
    nonsolid = bytearray(read(os.path.join(folder, "out.7z")))
    shutil.rmtree(folder)
    save(out, ".", {
        "second_entry_bad_crc.7z": flipped(build_7z([("first.txt", b"first"),
                                                     ("second.txt", TEXT)]), 32 + 5 + 7),
        "second_folder_bad_crc.7z": flipped(nonsolid, 32 + 5 + 7),
        "second_entry_bad_crc.zip": patched(
            [("first.txt", b"first", STORED), ("second.txt", TEXT, STORED)],
            xor(lambda e, _: e[1]["data"] + 7)),
        "small.zip": build([("dir/", None, STORED), ("dir/a.txt", TEXT, DEFLATED),
                            ("b.txt", b"short", STORED)]),
    })
    small = os.path.join(out, "work")
    write_files(small, {"dir/a.txt": TEXT, "b.txt": b"short"})
    sevenzip(["a", "-t7z", os.path.join(out, "small.7z"), "dir", "b.txt"], small)
    shutil.rmtree(small)


# 7z archives we refuse: name to switches of `7z a`; the name is that of the method.
UNSUPPORTED_7Z = {
    "PPMd": ["-m0=PPMd"],
    "ARM64": ["-mf=ARM64"],
    "Delta": ["-mf=Delta:4"],
    "BZip2": ["-m0=BZip2"],
    "Deflate": ["-m0=Deflate"],
    "7zAES": ["-psecret"],
    "7zAES_header": ["-psecret", "-mhe=on"],
}


def write_unsupported(out):
    def zip64_local():
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w") as zf:
            with zf.open("big.txt", "w", force_zip64=True) as f:
                f.write(TEXT)
        return bytearray(buf.getvalue())

    def zip64_end():
        blob = build([("a.txt", TEXT, DEFLATED)])
        _, end = layout(blob)
        struct.pack_into("<I", blob, end + 16, 0xFFFFFFFF)
        return blob

    save(out, "refused/unsupported", {"bzip2.zip": build([("a.txt", TEXT, zipfile.ZIP_BZIP2)])})
    save(out, "refused/bad_archive", {"zip64_end_missing.zip": zip64_end()})
    save(out, "special", {"zip64_local.zip": zip64_local()})
    folder = os.path.join(out, "refused", "unsupported")
    write_files(folder, {"secret.txt": TEXT})
    run(["zip", "-q", "-P", "secret", "encrypted.zip", "secret.txt"], folder)
    sevenzip(["a", "-tzip", "-mm=Deflate64", "deflate64.zip", "secret.txt"], folder)
    sevenzip(["a", "-tzip", "-mm=LZMA", "lzma.zip", "secret.txt"], folder)
    for name, switches in UNSUPPORTED_7Z.items():
        sevenzip(["a", "-t7z"] + switches + [name + ".7z", "secret.txt"], folder)
    os.remove(os.path.join(folder, "secret.txt"))


def write_malicious(out):
    evil = os.path.join(out, "evil")
    os.makedirs(evil)
    # Tests extract to ROOT/x/dest, so "../../evil" is ROOT/evil beside it.
    names = {
        "dotdot": "../../evil/pwned",
        "nested_dotdot": "a/../../../evil/pwned",
        "backslash_dotdot": "a\\..\\..\\..\\evil\\pwned",
        "inner_dotdot": "a/../b.txt",
        "dotdot_folder": "../../evil/newdir/",
        "absolute": evil + "/pwned",
        "backslash_root": "\\evil\\pwned",
        "drive_relative": "C:pwned",
        "drive_absolute": "C:\\pwned",
        "stream": "file.txt:hidden",
        "device_con": "CON",
        "device_nul_extension": "nul.txt",
        "device_in_folder": "sub/COM1.log",
        "device_lpt": "lpt9",
        "device_folder": "AUX/x.txt",
        "device_blank": "prn .txt",
        "trailing_dot": "sub./x.txt",
        "control_character": "bad\x01name.txt",
    }
    cases = {
        case + ".zip": build([("ok.txt", b"fine", STORED),
                              (name, None if name.endswith("/") else b"pwned", STORED)])
        for case, name in names.items()
    }
    for case, name in names.items():
        cases[case + ".7z"] = build_7z([("ok.txt", b"fine"),
                                        (name.rstrip("/"), None if name.endswith("/") else b"pwned")])
    cases["utf8_dotdot.zip"] = raw_zip([(b"ok.txt", 0x800, b"", b"fine"),
                                        (b"../../evil/pwned", 0x800, b"", b"pwned")])
    cases["unicode_extra_dotdot.zip"] = raw_zip([
        (b"ok.txt", 0, b"", b"fine"),
        (b"harmless.txt", 0, unicode_path_extra(b"harmless.txt", "../../evil/pwned"), b"pwned")])
    save(out, "refused/unsafe_path", cases)


def write_peers(out):
    peers, work = os.path.join(out, "peers"), os.path.join(out, "work")
    write_files(work, {"a.txt.partial~": b"user's", "a.txt": TEXT, "x" * 255: b"long",
                       NAME: b"unix", "sub/b.txt": b"b"})
    os.makedirs(peers)
    # Info-ZIP writes the name of a Unix file as it finds it: UTF-8, but not flagged.
    for name, rels in (("partial_order.zip", ["a.txt.partial~", "a.txt"]),
                       ("long_name.zip", ["x" * 255]), ("utf8_unix.zip", [NAME]),
                       ("plain.zip", ["a.txt", "sub/b.txt"])):
        run(["zip", "-q", os.path.join(peers, name)] + rels, work)
    sevenzip(["a", "-t7z", os.path.join(peers, "long_name.7z"), "x" * 255], work)
    plain = read(os.path.join(peers, "plain.zip"))
    os.remove(os.path.join(peers, "plain.zip"))
    rng = random.Random(4)
    save(out, "peers", {
        "stub.zip": rng.randbytes(3000) + plain,
        "trailing.zip": plain + rng.randbytes(70 * 1024),
        "twice.zip": build([("a.txt", b"first", STORED), ("a.txt", b"second", STORED)]),
        "case_twice.zip": build([("dir/readme.txt", b"1", STORED), ("DIR/README.TXT", b"2", STORED)]),
    })
    save(out, "refused/write_error", {
        "file_then_folder.zip": build([("x", b"file", STORED), ("x/y.txt", b"y", STORED)])})
    shutil.rmtree(work)
    for name in os.listdir(peers):
        reference = os.path.join(out, "peers_reference", name)
        os.makedirs(reference)
        if name.endswith(".7z"):
            sevenzip(["x", os.path.join(peers, name), "-o" + reference], out)
        else:
            # Windows sees one file where names differ by case only: -LL lower-cases them
            # all. unzip warns of a stub (exit code 1) and extracts.
            subprocess.run(["unzip", "-o", "-qq"] + (["-LL"] if "case" in name else []) +
                           [os.path.join(peers, name), "-d", reference], stderr=subprocess.DEVNULL)


# 7z headers, LZMA-encoded to a few bytes, whose counts would take gigabytes.
def write_hostile(out):
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
    save(out, "refused/bad_archive", {"millions_of_folders.7z": encoded(b"", folders),
                                      "millions_of_streams.7z": encoded(bytes(64), streams)})


def write_seeds(out):
    seeds7z = os.path.join(out, "seeds7z")
    os.makedirs(seeds7z)
    code = random.Random(3).randbytes(3000) + b"\xe8\x10\x00\x00\x00\x0f\x85\x00\x01\x00\x00" * 50
    for name, switches in (("lzma", ["-m0=lzma"]), ("lzma2", ["-m0=lzma2"]), ("copy", ["-m0=copy"]),
                           ("bcj", ["-mf=BCJ"]), ("bcj2", ["-mf=BCJ2"]),
                           ("plain_header", ["-mhc=off"])):
        folder = os.path.join(out, "work")
        write_files(folder, {"d/t.txt": TEXT[:1500], "d/c.dll": code, "e.txt": b""})
        sevenzip(["a", "-t7z"] + switches + [os.path.join(seeds7z, name + ".7z"), "d", "e.txt"],
                 folder)
        shutil.rmtree(folder)
    save(out, "seeds7z", {"mini.7z": build_7z([("d", None), ("d/s.txt", b"stored data"),
                                                ("e.txt", b"")])})
    seeds = os.path.join(out, "seeds")
    mini = [("d/", None, STORED), ("d/s.txt", b"stored data", STORED),
            ("d/z.txt", TEXT[:2000], DEFLATED), ("e.txt", b"", DEFLATED)]
    save(out, "seeds", {"mini.zip": build(mini), "mini_streamed.zip": build(mini, True)})
    for folder in ("special", "refused/data_error", "refused/bad_archive",
                   "refused/unsupported", "refused/unsafe_path"):
        for name in sorted(os.listdir(os.path.join(out, folder))):
            path = os.path.join(out, folder, name)
            if os.path.getsize(path) <= 32 * 1024:
                target = seeds7z if name.endswith(".7z") else seeds
                shutil.copy(path, os.path.join(target, os.path.basename(folder) + "_" + name))


def save(out, folder, cases):
    os.makedirs(os.path.join(out, folder), exist_ok=True)
    for name, blob in cases.items():
        with open(os.path.join(out, folder, name), "wb") as f:
            f.write(blob)


def main():
    warnings.simplefilter("ignore", UserWarning)
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    out = os.path.abspath(sys.argv[1])
    cmake = sys.argv[2] if len(sys.argv) == 3 else None
    shutil.rmtree(out, ignore_errors=True)
    root = os.path.join(out, "tree")
    os.makedirs(root)
    make_tree(root)
    write_good(out, root, cmake)
    write_special(out)
    write_corrupt(out)
    write_unsupported(out)
    write_malicious(out)
    write_peers(out)
    write_hostile(out)
    write_seeds(out)


if __name__ == "__main__":
    main()
