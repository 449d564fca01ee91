#!/usr/bin/env python3
"""Writes the archives the native tests and the fuzzer read.

Usage: make_archives.py OUT_DIR [CMAKE]

OUT_DIR/tree         the source tree the good archives hold
OUT_DIR/good         that tree archived by Info-ZIP zip, 7-Zip, Python and libarchive (CMAKE)
OUT_DIR/unzipped     each good archive as Info-ZIP unzip extracts it, the reference
OUT_DIR/special      layouts only some writers produce (backslashes, comments, ...)
OUT_DIR/refused      archives to refuse, in a folder named for the error: damaged ones
                     (data_error, bad_archive), ZIP64, encryption, methods (unsupported),
                     entries aiming outside the destination (unsafe_path);
                     OUT_DIR/evil must stay empty
OUT_DIR/small.zip    a few entries, for progress, truncation and byte flips
OUT_DIR/second_entry_bad_crc.zip   a good entry before a damaged one
OUT_DIR/seeds        small archives to start the fuzzer from
"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile

LOCAL_SIG = b"PK\x03\x04"
END_SIG = b"PK\x05\x06"


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
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
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


def python_zip(path, root, method, streamed=False):
    with open(path, "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw) if streamed else raw, "w", method) as zf:
            for rel in tree_entries(root):
                zf.write(os.path.join(root, rel), rel)


def run(args, cwd, stdout=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=stdout or subprocess.DEVNULL)


def write_good(out, root, cmake):
    good = os.path.join(out, "good")
    os.makedirs(good)
    run(["zip", "-q", "-r", "-X", "-0", os.path.join(good, "infozip_stored.zip"), "."], root)
    run(["zip", "-q", "-r", "-X", "-9", os.path.join(good, "infozip_deflate.zip"), "."], root)
    # Writing to a pipe makes zip defer sizes to data descriptors.
    with open(os.path.join(good, "infozip_streamed.zip"), "wb") as f:
        zip_proc = subprocess.Popen(["zip", "-q", "-r", "-X", "-", "."], cwd=root,
                                    stdout=subprocess.PIPE)
        shutil.copyfileobj(zip_proc.stdout, f)
        if zip_proc.wait() != 0:
            raise SystemExit("zip to stdout failed")
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
        reference = os.path.join(out, "unzipped", name[:-len(".zip")])
        os.makedirs(reference)
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
    }
    save(out, "special", cases)


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
    save(out, ".", {
        "second_entry_bad_crc.zip": patched(
            [("first.txt", b"first", STORED), ("second.txt", TEXT, STORED)],
            xor(lambda e, _: e[1]["data"] + 7)),
        "small.zip": build([("dir/", None, STORED), ("dir/a.txt", TEXT, DEFLATED),
                            ("b.txt", b"short", STORED)]),
    })


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

    cases = {
        "bzip2.zip": build([("a.txt", TEXT, zipfile.ZIP_BZIP2)]),
        "zip64_local.zip": zip64_local(),
        "zip64_end.zip": zip64_end(),
    }
    save(out, "refused/unsupported", cases)
    folder = os.path.join(out, "refused", "unsupported")
    with open(os.path.join(folder, "secret.txt"), "wb") as f:
        f.write(TEXT)
    run(["zip", "-q", "-P", "secret", "encrypted.zip", "secret.txt"], folder)
    run(["7z", "a", "-tzip", "-mm=Deflate64", "-bd", "-bso0", "-bsp0", "deflate64.zip",
         "secret.txt"], folder)
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
    save(out, "refused/unsafe_path", cases)


def write_seeds(out):
    seeds = os.path.join(out, "seeds")
    os.makedirs(seeds)
    mini = [("d/", None, STORED), ("d/s.txt", b"stored data", STORED),
            ("d/z.txt", TEXT[:2000], DEFLATED), ("e.txt", b"", DEFLATED)]
    for name, blob in (("mini.zip", build(mini)), ("mini_streamed.zip", build(mini, True))):
        with open(os.path.join(seeds, name), "wb") as f:
            f.write(blob)
    for folder in ("special", "refused/data_error", "refused/bad_archive",
                   "refused/unsupported", "refused/unsafe_path"):
        for name in sorted(os.listdir(os.path.join(out, folder))):
            path = os.path.join(out, folder, name)
            if os.path.getsize(path) <= 32 * 1024:
                shutil.copy(path, os.path.join(seeds, os.path.basename(folder) + "_" + name))


def save(out, folder, cases):
    os.makedirs(os.path.join(out, folder), exist_ok=True)
    for name, blob in cases.items():
        with open(os.path.join(out, folder, name), "wb") as f:
            f.write(blob)


def main():
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
    write_seeds(out)


if __name__ == "__main__":
    main()
