"""Approximate text measuring for the theme checker: glyph advances read from a
TrueType font file (the Tahoma that Wine ships), and the word wrap a label does
(break at spaces and after hyphens, a word wider than the line stands
alone), so the checker can
say when a caption or a translated text would not fit its control.

Only the 'head', 'hhea', 'hmtx' and 'cmap' (format 4) tables are read. Widths
are unhinted, so a result can be off by a pixel or two per line; the checker
keeps a small margin for that.
"""

import os
import struct

WINE_FONTS = ["/usr/share/wine/fonts", "/usr/lib/wine/fonts", "/opt/wine-stable/share/wine/fonts"]


class Font:
    def __init__(self, path):
        data = open(path, "rb").read()
        num_tables = struct.unpack(">H", data[4:6])[0]
        tables = {}
        for i in range(num_tables):
            tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
            tables[tag.decode("latin-1")] = (offset, length)
        head = tables["head"][0]
        self.units_per_em = struct.unpack(">H", data[head + 18:head + 20])[0]
        hhea = tables["hhea"][0]
        self.ascender, self.descender = struct.unpack(">hh", data[hhea + 4:hhea + 8])
        n_metrics = struct.unpack(">H", data[hhea + 34:hhea + 36])[0]
        hmtx = tables["hmtx"][0]
        self.advances = [struct.unpack(">H", data[hmtx + 4 * i:hmtx + 4 * i + 2])[0]
                         for i in range(n_metrics)]
        self.cmap = self._read_cmap(data, tables["cmap"][0])

    @staticmethod
    def _read_cmap(data, base):
        count = struct.unpack(">H", data[base + 2:base + 4])[0]
        for i in range(count):
            platform, encoding, offset = struct.unpack(">HHI", data[base + 4 + 8 * i:base + 12 + 8 * i])
            sub = base + offset
            if struct.unpack(">H", data[sub:sub + 2])[0] != 4 or platform not in (0, 3):
                continue
            segs = struct.unpack(">H", data[sub + 6:sub + 8])[0] // 2
            ends = struct.unpack(">%dH" % segs, data[sub + 14:sub + 14 + 2 * segs])
            p = sub + 16 + 2 * segs
            starts = struct.unpack(">%dH" % segs, data[p:p + 2 * segs])
            deltas = struct.unpack(">%dh" % segs, data[p + 2 * segs:p + 4 * segs])
            range_at = p + 4 * segs
            offsets = struct.unpack(">%dH" % segs, data[range_at:range_at + 2 * segs])
            mapping = {}
            for s in range(segs):
                for c in range(starts[s], ends[s] + 1):
                    if c == 0xFFFF:
                        continue
                    if offsets[s] == 0:
                        glyph = (c + deltas[s]) & 0xFFFF
                    else:
                        at = range_at + 2 * s + offsets[s] + 2 * (c - starts[s])
                        glyph = struct.unpack(">H", data[at:at + 2])[0]
                        if glyph:
                            glyph = (glyph + deltas[s]) & 0xFFFF
                    mapping[c] = glyph
            return mapping
        return {}

    def width(self, text, pixels):
        units = 0
        for ch in text:
            glyph = self.cmap.get(ord(ch), 0)
            units += self.advances[min(glyph, len(self.advances) - 1)]
        return round(units * pixels / self.units_per_em)

    def line_height(self, pixels):
        return round((self.ascender - self.descender) * pixels / self.units_per_em)


def pixels_for_points(points, dpi=96):
    # The font height the engine asks for: points * dpi / 72, rounded.
    return (points * dpi + 36) // 72


def _pieces(paragraph):
    """(separator, piece) pairs: a label breaks lines at spaces and after hyphens."""
    out = []
    for n, word in enumerate(paragraph.split(" ")):
        parts = word.split("-")
        for k, part in enumerate(parts):
            piece = part + ("-" if k < len(parts) - 1 else "")
            if piece:
                out.append(("" if k > 0 else (" " if n > 0 else ""), piece))
    return out


def wrap(font, text, pixels, width):
    """Lines of a left-aligned, word-wrapped label."""
    lines = []
    for paragraph in text.replace("\r\n", "\n").split("\n"):
        line = ""
        for sep, piece in _pieces(paragraph):
            candidate = line + sep + piece if line else piece
            if font.width(candidate, pixels) <= width or not line:
                line = candidate
            else:
                lines.append(line)
                line = piece
        lines.append(line)
    return lines


_fonts = {}


def load(bold=False):
    """Wine's Tahoma (bold or regular), or None when it is not installed."""
    name = "tahomabd.ttf" if bold else "tahoma.ttf"
    if name not in _fonts:
        _fonts[name] = None
        for folder in WINE_FONTS:
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                _fonts[name] = Font(path)
                break
    return _fonts[name]
