#!/usr/bin/env python3
"""Writes the cabinet fixtures of the Win32 cabinet tests into this folder.

basic_mszip.cab comes from gcab (MSZIP, the builder's own kind of cabinet);
the others are written byte by byte here, because they need what gcab will
not produce: chosen attributes and dates, hostile stored names, a damaged
block checksum, UTF-8 names. Run it again only when a fixture has to change;
the tests read the committed files.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

RO, HIDDEN, SYSTEM, ARCH, EXEC, UTF = 0x01, 0x02, 0x04, 0x20, 0x40, 0x80


def dos_date(y, m, d):
    return ((y - 1980) << 9) | (m << 5) | d


def dos_time(h, mi, s):
    return (h << 11) | (mi << 5) | (s // 2)


def checksum(data, seed):
    csum = seed
    n4 = len(data) // 4
    for i in range(n4):
        csum ^= struct.unpack_from('<I', data, i * 4)[0]
    rest = data[n4 * 4:]
    ul = 0
    if len(rest) == 3:
        ul = (rest[0] << 16) | (rest[1] << 8) | rest[2]
    elif len(rest) == 2:
        ul = (rest[0] << 8) | rest[1]
    elif len(rest) == 1:
        ul = rest[0]
    return csum ^ ul


def data_block(payload, uncompressed_size):
    sizes = struct.pack('<HH', len(payload), uncompressed_size)
    return struct.pack('<I', checksum(sizes, checksum(payload, 0))) + sizes + payload


def cabinet(entries, mszip=False, block_size=32768, break_block=None):
    """entries: (stored name bytes, content bytes, attributes, (y,m,d,h,mi,s))."""
    stream = b''.join(e[1] for e in entries)
    blocks = []
    for start in range(0, max(len(stream), 1), block_size):
        chunk = stream[start:start + block_size]
        if mszip:
            packer = zlib.compressobj(9, zlib.DEFLATED, -15)
            payload = b'CK' + packer.compress(chunk) + packer.flush()
        else:
            payload = chunk
        block = bytearray(data_block(payload, len(chunk)))
        if break_block == len(blocks):
            block[0] ^= 0xFF  # the stored checksum no longer matches
        blocks.append(bytes(block))

    files = b''
    offset = 0
    for name, content, attributes, (y, m, d, h, mi, s) in entries:
        files += struct.pack('<IIHHHH', len(content), offset, 0, dos_date(y, m, d), dos_time(h, mi, s),
                             attributes) + name + b'\0'
        offset += len(content)

    header_size, folder_size = 36, 8
    files_offset = header_size + folder_size
    data_offset = files_offset + len(files)
    data = b''.join(blocks)
    total = data_offset + len(data)
    header = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, total, 0, files_offset, 0, 3, 1, 1, len(entries), 0,
                         0x4B51, 0)
    folder = struct.pack('<IHH', data_offset, len(blocks), 1 if mszip else 0)
    return header + folder + files + data


def folders_cabinet(folders, broken=None, order=None):
    """folders: lists of entries as for cabinet(), each list one MSZIP folder;
    `broken`: (folder, block) whose checksum is spoiled; `order`: the
    (folder, entry) pairs in the order the file table lists them (folder by
    folder unless given)."""
    parts = []
    for number, entries in enumerate(folders):
        stream = b''.join(e[1] for e in entries)
        blocks = []
        for start in range(0, max(len(stream), 1), 32768):
            chunk = stream[start:start + 32768]
            packer = zlib.compressobj(9, zlib.DEFLATED, -15)
            block = bytearray(data_block(b'CK' + packer.compress(chunk) + packer.flush(), len(chunk)))
            if broken == (number, len(blocks)):
                block[0] ^= 0xFF
            blocks.append(bytes(block))
        parts.append((entries, blocks))
    records = {}
    for number, (entries, _) in enumerate(parts):
        offset = 0
        for index, (name, content, attributes, (y, m, d, h, mi, s)) in enumerate(entries):
            records[(number, index)] = struct.pack('<IIHHHH', len(content), offset, number, dos_date(y, m, d),
                                                   dos_time(h, mi, s), attributes) + name + b'\0'
            offset += len(content)
    if order is None:
        order = [(number, index) for number, (entries, _) in enumerate(parts) for index in range(len(entries))]
    files = b''.join(records[key] for key in order)
    header_size, folder_size = 36, 8
    files_offset = header_size + folder_size * len(parts)
    data_offset = files_offset + len(files)
    folder_table = b''
    data = b''
    for entries, blocks in parts:
        folder_table += struct.pack('<IHH', data_offset + len(data), len(blocks), 1)
        data += b''.join(blocks)
    count = sum(len(entries) for entries, _ in parts)
    header = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, data_offset + len(data), 0, files_offset, 0, 3, 1,
                         len(parts), count, 0, 0x4B51, 0)
    return header + folder_table + files + data


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as out:
        out.write(data)


def pseudo_random(n, seed=12345):
    out = bytearray()
    x = seed
    while len(out) < n:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


def basic_mszip():
    with tempfile.TemporaryDirectory() as tmp:
        os.makedirs(os.path.join(tmp, 'sub'))
        contents = {
            'hello.txt': b'Hello from the cabinet.\r\n',
            'sub/data.bin': pseudo_random(70000),
            'F4_app.exe': b'MZ' + bytes(range(256)) * 4,
        }
        for name, content in contents.items():
            with open(os.path.join(tmp, name), 'wb') as out:
                out.write(content)
        os.utime(os.path.join(tmp, 'hello.txt'), (1083827290, 1083827290))      # 2004-05-06 07:08:10 UTC
        os.utime(os.path.join(tmp, 'sub/data.bin'), (1000000000, 1000000000))   # 2001-09-09 01:46:40 UTC
        os.utime(os.path.join(tmp, 'F4_app.exe'), (1262304000, 1262304000))     # 2010-01-01 00:00:00 UTC
        target = os.path.join(HERE, 'basic_mszip.cab')
        env = dict(os.environ, TZ='UTC')
        subprocess.run(['gcab', '-c', '-z', target] + list(contents), cwd=tmp, env=env, check=True)


def main():
    basic_mszip()

    when = (2003, 2, 1, 13, 14, 16)
    write('attributes.cab', cabinet([
        (b'plain.txt', b'plain\r\n', 0, (2001, 1, 2, 3, 4, 6)),
        (b'ro.txt', b'read-only\r\n', RO, when),
        (b'hidden.txt', b'hidden\r\n', HIDDEN, when),
        (b'system.txt', b'system\r\n', SYSTEM, when),
        (b'archive.txt', b'archive\r\n', ARCH, when),
        (b'exec.txt', b'exec\r\n', EXEC | ARCH, (1999, 12, 31, 23, 59, 58)),
        (b'all.txt', b'all\r\n', RO | HIDDEN | SYSTEM | ARCH, (2030, 6, 15, 12, 0, 0)),
        (b'baddate.txt', b'bad date\r\n', 0, (1980, 0, 0, 25, 61, 62)),
    ]))

    write('hostile_paths.cab', cabinet([
        (b'..\\..\\kq_evil_1.txt', b'one\r\n', 0, when),
        (b'C:\\kq_evil_2.txt', b'two\r\n', 0, when),
        (b'/tmp/kq_evil_3.txt', b'three\r\n', 0, when),
        (b'sub/../../kq_evil_4.txt', b'four\r\n', 0, when),
        (b'\\\\server\\share\\kq_evil_5.txt', b'five\r\n', 0, when),
        (b'D:kq_evil_6.txt', b'six\r\n', 0, when),
        (b'..\\kq_evil_7.txt', b'seven\r\n', 0, when),
    ], mszip=True))

    refused = {
        'dotdot': b'..',
        'dot': b'.',
        'dots': b'...',
        'empty': b'',
        'trailing_backslash': b'sub\\',
        'con': b'CON',
        'nul_ext': b'..\\nul.txt',
        'wildcard': b'a?b.txt',
        'drive_only': b'C:',
    }
    for tag, name in refused.items():
        write('refused_%s.cab' % tag, cabinet([
            (b'ok.txt', b'fine\r\n', 0, when),
            (name, b'never written\r\n', 0, when),
            (b'after.txt', b'not reached\r\n', 0, when),
        ]))

    # Three stored blocks of 1000 bytes; the second block's checksum is
    # wrong, so first.txt (block 1) extracts and second.txt (blocks 2-3)
    # fails half-way.
    write('damaged_block.cab', cabinet([
        (b'first.txt', b'a' * 1000, 0, when),
        (b'second.txt', b'b' * 2000, 0, when),
    ], block_size=1000, break_block=1))

    # A support folder, then six product folders of two files each
    # (F<i>_part.bin, 40,000 pseudo-random bytes from seed i): the copy
    # step unpacks every other one ahead on a second thread.
    product = [[(b'F%d_part.bin' % i, pseudo_random(40000, i + 1), 0, when) for i in (2 * k, 2 * k + 1)]
               for k in range(6)]
    support = [[(b'setup.bmp', b'BM support\r\n', 0, when)]]
    write('folders.cab', folders_cabinet(support + product))
    # The same, with a spoiled block in F2_part.bin, in the first folder
    # unpacked ahead.
    write('folders_damaged.cab', folders_cabinet(support + product, broken=(2, 0)))

    # Many entries (more than a reader keeps in memory), F<i>_n.txt holding
    # "<i>\r\n", in three product folders that the file table interleaves
    # (entry i in folder i % 3), after a support folder.
    many = 5000
    product = [[(b'F%d_n.txt' % i, b'%d\r\n' % i, 0, when) for i in range(k, many, 3)] for k in range(3)]
    order = [(0, 0)] + [(1 + i % 3, i // 3) for i in range(many)]
    write('many_entries.cab', folders_cabinet(support + product, order=order))
    # One name three times, in two spellings: the last of them is the one.
    write('same_names.cab', cabinet([
        (b'same.txt', b'first\r\n', 0, when),
        (b'other.txt', b'other\r\n', 0, when),
        (b'SAME.TXT', b'second\r\n', 0, when),
        (b'dir\\same.txt', b'third\r\n', 0, when),
        (b'last.txt', b'last\r\n', 0, when),
    ]))

    write('utf8_names.cab', cabinet([
        ('caf\u00e9.txt'.encode('utf-8'), b'cafe\r\n', UTF, when),
    ]))
    write('utf8_unmappable.cab', cabinet([
        ('snow\u2603.txt'.encode('utf-8'), b'snow\r\n', UTF, when),
    ]))
    return 0


if __name__ == '__main__':
    sys.exit(main())
