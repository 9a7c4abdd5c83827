#!/usr/bin/env python3
"""Writes the payloads of the installation benchmark (bench/run-install-bench.sh).

    make_install_payload.py A|B|C|D OUT_DIR

A: 2,000 files in 50 folders, about 100 MB, sizes spread from 1 KB to
   about 240 KB; every other file compressible text, the others random bytes.
B: 20 files of 5 MB each, alternately compressible and random.
C: four times A: 8,000 files in 200 folders, about 400 MB, the same mix
   (the same spread of sizes, every other file compressible), so that a
   figure that should not grow with the payload can be seen not to.
D: 20,000 small text files in 100 folders, about 6 MB in all (from 16
   bytes to a few KB, most a few hundred bytes), like a runtime's scripts
   or a documentation tree: what each file costs beyond its bytes.

OUT_DIR receives files/ with the payload, and two descriptions of it:
data.inf, the installer's file list (every file to <InstallDir> plus its
folder, options 0), and payload.nsh, the NSIS "File" lines that install the
same files to the same places. The content depends only on the kind, so
every run of the benchmark measures the same bytes.
"""
import os
import random
import sys

WORDS = (b'setup install folder file cabinet archive program product version '
         b'registry value window page button progress cancel finish license readme '
         b'system drive path name size time date attribute hidden read only').split()


def compressible(rng, size):
    """Text-like bytes: words from a small vocabulary, so zlib packs them about 3:1."""
    out = bytearray()
    while len(out) < size:
        line = b' '.join(rng.choice(WORDS) for _ in range(rng.randint(6, 14)))
        out += line + b' %d\r\n' % rng.randint(0, 99999)
    return bytes(out[:size])


def incompressible(rng, size):
    return rng.randbytes(size)


def layout(kind):
    """(relative folder, file name, size, compressible) for every file."""
    rng = random.Random(1234)
    files = []
    if kind in ('A', 'C'):
        # C keeps A's 40 files a folder and its average file size.
        copies = 1 if kind == 'A' else 4
        count, folders, total = 2000 * copies, 50 * copies, 100 * 1000 * 1000 * copies
        folder_name = 'd%02d' if kind == 'A' else 'd%03d'
        weights = [rng.lognormvariate(0, 1.0) for _ in range(count)]
        scale = total / sum(weights)
        for i in range(count):
            size = max(1024, int(weights[i] * scale))
            files.append((folder_name % (i % folders), 'file%04d.%s' % (i, 'txt' if i % 2 == 0 else 'bin'), size,
                          i % 2 == 0))
    elif kind == 'B':
        for i in range(20):
            files.append(('big', 'part%02d.%s' % (i, 'txt' if i % 2 == 0 else 'bin'), 5 * 1024 * 1024, i % 2 == 0))
    elif kind == 'D':
        count, folders, total = 20000, 100, 6 * 1000 * 1000
        weights = [rng.lognormvariate(0, 0.8) for _ in range(count)]
        scale = total / sum(weights)
        for i in range(count):
            files.append(('d%03d' % (i % folders), 'file%05d.txt' % i, max(16, int(weights[i] * scale)), True))
    else:
        raise SystemExit('kind must be A, B, C or D')
    return files


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    kind, out = sys.argv[1], sys.argv[2]
    entries = layout(kind)  # (refuses an unknown kind before anything is written)
    rng = random.Random({'A': 99, 'B': 98, 'C': 97, 'D': 96}[kind])
    data_inf = []
    nsis = []
    current = None
    total = 0
    # Contents in the order of the layout (so they do not depend on the
    # sort), then files listed folder by folder as an author would.
    contents = {(f, n): (compressible(rng, s) if t else incompressible(rng, s)) for f, n, s, t in entries}
    for folder, name, size, text in sorted(entries):
        path = os.path.join(out, 'files', folder)
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, name), 'wb') as f:
            f.write(contents[(folder, name)])
        total += size
        data_inf.append('files\\%s\\%s\r\nDestination Computer\\<InstallDir>%s\\*0*0*0|\r\n' % (folder, name, folder))
        if folder != current:
            nsis.append('SetOutPath "$INSTDIR\\%s"\n' % folder)
            current = folder
        nsis.append('File "files/%s/%s"\n' % (folder, name))
    with open(os.path.join(out, 'data.inf'), 'w', newline='') as f:
        f.write(''.join(data_inf))
    with open(os.path.join(out, 'payload.nsh'), 'w', newline='') as f:
        f.write(''.join(nsis))
    print('%s: %d files, %.1f MB' % (kind, len(data_inf), total / 1e6))


if __name__ == '__main__':
    main()
