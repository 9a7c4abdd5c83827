#!/usr/bin/python3
"""Reads a theme folder back the way setup.exe does and reports what would go
wrong: unparsable records, record numbers off the 3000+i convention, property
counts that do not match, values past 254 characters, names the page logic or
the language packs need, controls outside the page or on top of each other,
missing or unsuitable pictures, and language files that lack a text.

    /usr/bin/python3 tools/theme/check_theme.py [THEME_DIR] [--lang-dir DIR]

Exit status 0 when nothing is wrong; each problem is printed on one line.
"""

import argparse
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import textfit  # noqa: E402
import theme_tables as tables  # noqa: E402

# Placeholder values of the sample product, for measuring captions.
SAMPLE_VALUES = {"<ProductName>": "Northwind Notes", "<ProductVersion>": "1.2.0",
                 "<UserName>": "Alex Morgan", "<USERNAME>": "Alex Morgan",
                 "<CompanyName>": "Northwind Software", "<Publisher>": "Northwind Software"}

BLANKS = " \t\x0b\x0c"


def read_ini(path, problems):
    """A dictionary {section: {key: value}} with lower-case names, read like the
    profile functions read it: trimmed names and values, the first of two equal
    keys wins, values cut to 254 characters."""
    data = open(path, "rb").read()
    name = os.path.basename(path)
    if b"\n" in data.replace(b"\r\n", b""):
        problems.append("%s: a line ends without CR LF" % name)
    text = data.decode("cp1252", errors="replace")
    sections = {}
    current = None
    current_name = ""
    for line in text.split("\r\n"):
        stripped = line.strip(BLANKS)
        if not stripped or stripped.startswith(";"):
            continue
        if stripped.startswith("["):
            end = stripped.find("]")
            current_name = stripped[1:end].strip(BLANKS)
            current = sections.setdefault(current_name.lower(), {})
            continue
        if current is None:
            continue
        if "=" not in stripped:
            problems.append("%s: line without '=': %r" % (name, stripped))
            continue
        key, value = stripped.split("=", 1)
        key = key.strip(BLANKS).lower()
        value = value.strip(BLANKS)
        if len(value) > tables.MAX_VALUE:
            problems.append("%s: [%s] %s is %d characters; only %d are read"
                            % (name, current_name, key, len(value), tables.MAX_VALUE))
            value = value[:tables.MAX_VALUE]
        current.setdefault(key, value)
    return sections


def split_property(record):
    """Name, Value, Number text of a "Name|Value|Number" record."""
    first = record.find("|")
    if first < 0:
        return record, "", ""
    second = record.find("|", first + 1)
    if second < 0:
        return record[:first], "", record[first + 1:].replace("|", "")
    return record[:first], record[first + 1:second], record[second + 1:].replace("|", "")


def bmp_info(path):
    """(width, height, bits per pixel) of a BMP file, or None."""
    with open(path, "rb") as f:
        head = f.read(30)
    if len(head) < 30 or head[:2] != b"BM":
        return None
    width, height = struct.unpack("<ii", head[18:26])
    bits = struct.unpack("<H", head[28:30])[0]
    return width, abs(height), bits


def overlaps(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    return ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah


def contains(outer, inner):
    ox, oy, ow, oh = outer
    ix, iy, iw, ih = inner
    return ox <= ix and oy <= iy and ix + iw <= ox + ow and iy + ih <= oy + oh


# The screens a shipped text must fit, in pixels per inch: 100%, 125%, 150%
# and 200%. The program grows every layout rectangle with the screen while
# fonts follow its pixels per inch, each rounding its own way.
SCREEN_DPIS = (96, 120, 144, 192)


def scale_to_dpi(pixels, dpi):
    """A layout length at `dpi`, rounded as the program rounds (half away from zero)."""
    product = pixels * dpi
    return (product + 48) // 96 if product >= 0 else -((-product + 48) // 96)


def fit_problem(control, caption, page_font):
    """Why a caption would not fit its control at one of SCREEN_DPIS
    (measured with Wine's Tahoma), or None. Placeholders take the sample
    product's values."""
    for token, value in SAMPLE_VALUES.items():
        caption = caption.replace(token, value)
    keyword = control["keyword"]
    props = [v for _, v in control["props"]]

    def font_at(first):
        face = props[first] if len(props) > first else ""
        size = props[first + 1] if len(props) > first + 1 else ""
        bold = props[first + 2] if len(props) > first + 2 else ""
        return face, int(size) if size.isdigit() else 0, bold != "No"

    if keyword == "TEXT":
        face, size, bold = font_at(5)
    elif keyword == "BUTTON":
        face, size, bold = font_at(3)
    elif keyword in ("RADIO", "CHECKBOX", "GROUPBOX"):
        face, size, bold = page_font
    else:
        return None
    if face.lower() != "tahoma" or size <= 0 or not caption:
        return None
    font = textfit.load(bold)
    if font is None:
        return None
    x, y, w, h = control["rect"]
    for dpi in SCREEN_DPIS:
        scaled = (scale_to_dpi(x + w, dpi) - scale_to_dpi(x, dpi), scale_to_dpi(y + h, dpi) - scale_to_dpi(y, dpi))
        why = fit_at(font, keyword, caption, textfit.pixels_for_points(size, dpi), scaled, dpi)
        if why:
            return "at %d%%: %s" % (dpi * 100 // 96, why)
    return None


def fit_at(font, keyword, caption, pixels, size, dpi):
    w, h = size
    slack = 2
    if keyword == "TEXT":
        lines = textfit.wrap(font, caption, pixels, w)
        widest = max(font.width(line, pixels) for line in lines)
        room = max(1, (h + slack) // font.line_height(pixels))
        if len(lines) > room or widest > w + slack:
            return "%d lines of %d px in %dx%d" % (len(lines), widest, w, h)
        return None
    # The button's edges and the box of a check or an option grow too.
    margin = {"BUTTON": 8, "RADIO": 18, "CHECKBOX": 18, "GROUPBOX": 16}[keyword]
    room = w - scale_to_dpi(margin, dpi)
    width = font.width(caption, pixels)
    if width > room + slack:
        return "%d px wide, room for %d" % (width, room)
    return None


def check_layout(path, problems, notes):
    name = os.path.basename(path)
    ini = read_ini(path, problems)
    main = ini.get("mainwindow")
    if main is None:
        problems.append("%s: no [MAINWINDOW]" % name)
        return None
    for key in tables.MAINWINDOW_KEYS:
        if key not in main:
            problems.append("%s: MAINWINDOW lacks %s" % (name, key))
    try:
        width, height = int(main.get("width", "")), int(main.get("height", ""))
    except ValueError:
        problems.append("%s: MAINWINDOW width/height are not numbers" % name)
        return None
    client = (width - 6, height - 32)

    info = ini.get("info", {})
    dados = ini.get("dados", {})
    total_text = info.get("total", "")
    if not total_text.isdigit():
        problems.append("%s: INFO TOTAL is %r" % (name, total_text))
        return None
    total = int(total_text)
    if total > tables.MAX_CONTROLS:
        problems.append("%s: %d controls (at most %d)" % (name, total, tables.MAX_CONTROLS))

    controls = []
    per_type = {}
    used_dados = set()
    for i in range(total):
        record = info.get(str(i))
        if record is None:
            problems.append("%s: INFO record %d missing" % (name, i))
            continue
        fields = record.split(",")
        if len(fields) < 9 or len(fields) > 20:
            problems.append("%s: record %d has %d fields" % (name, i, len(fields)))
            continue
        if not all(f.isdigit() for f in fields[1:5]):
            problems.append("%s: record %d rectangle is not four numbers: %r" % (name, i, record))
            continue
        x, y, w, h = (int(f) for f in fields[1:5])
        keyword = fields[5]
        if keyword not in tables.KEYWORDS:
            problems.append("%s: record %d has unknown type %r" % (name, i, keyword))
            continue
        per_type[keyword] = per_type.get(keyword, 0) + 1
        if fields[8] != str(3000 + i):
            problems.append("%s: record %d has record number %s, not %d"
                            % (name, i, fields[8], 3000 + i))
        n = fields[8]
        count_text = dados.get("%s,t" % n)
        used_dados.add("%s,t" % n)
        if count_text is None or not count_text.isdigit():
            problems.append("%s: DADOS %s,t missing or not a number" % (name, n))
            continue
        count = int(count_text)
        if count > tables.MAX_PROPERTIES:
            problems.append("%s: record %s has %d properties" % (name, n, count))
        props = []
        for j in range(count):
            key = "%s,%d" % (n, j)
            used_dados.add(key)
            value = dados.get(key)
            if value is None:
                problems.append("%s: DADOS %s missing" % (name, key))
                props.append(("", ""))
                continue
            if value.count("|") != 2:
                problems.append("%s: DADOS %s is not Name|Value|Number: %r" % (name, key, value))
            pname, pvalue, number = split_property(value)
            if not number.strip().lstrip("-").isdigit():
                problems.append("%s: DADOS %s number %r" % (name, key, number))
            if "{" in pvalue and keyword not in ("ICON",):
                problems.append("%s: DADOS %s value holds a brace: %r" % (name, key, pvalue))
            props.append((pname, pvalue))
        image = fields[6].replace("{", "").replace("}", "")
        if keyword in ("BITMAP", "HOVER"):
            picture = os.path.join(os.path.dirname(path), image)
            if not image or not os.path.isfile(picture):
                problems.append("%s: record %d picture %r not in the theme folder" % (name, i, image))
            elif image.lower().endswith(".bmp"):
                bmp = bmp_info(picture)
                if bmp is None:
                    problems.append("%s: %s is not a bitmap" % (name, image))
                else:
                    if bmp[2] != 24:
                        problems.append("%s: %s has %d bits per pixel; 24 is safest"
                                        % (name, image, bmp[2]))
                    if (bmp[0], bmp[1]) != (w, h):
                        problems.append("%s: %s is %dx%d but its control is %dx%d (never stretched)"
                                        % (name, image, bmp[0], bmp[1], w, h))
        if tables.resized_at_creation(keyword, w, h):
            problems.append("%s: record %d (%s %dx%d) would be made 90x25" % (name, i, keyword, w, h))
        if keyword == "ICON":
            w, h = 32, 32
        if keyword == "COMBOBOX":
            h = 21  # the rest of the rectangle is the drop-down list
        if x + w > client[0] or y + h > client[1]:
            problems.append("%s: record %d (%s) reaches past the %dx%d client area"
                            % (name, i, props[0][1] if props else keyword, client[0], client[1]))
        controls.append({"index": i, "keyword": keyword, "rect": (x, y, w, h), "props": props,
                         "name": props[0][1] if props else ""})

    for key in dados:
        if key not in used_dados:
            problems.append("%s: DADOS key %s belongs to no control" % (name, key))
    for keyword, n in per_type.items():
        if n > tables.MAX_PER_TYPE:
            problems.append("%s: %d controls of type %s (at most %d)"
                            % (name, n, keyword, tables.MAX_PER_TYPE))

    # Every control carries a name at position 0 (the language step reads it).
    names = {}
    for c in controls:
        if not c["name"]:
            problems.append("%s: record %d has no identifier name" % (name, c["index"]))
        elif c["name"] in names:
            problems.append("%s: identifier name %s used twice" % (name, c["name"]))
        names[c["name"]] = c

    for needed in tables.PAGE_LOGIC_NAMES.get(name, []):
        if needed not in names:
            problems.append("%s: page logic needs %s" % (name, needed))
        elif names[needed]["keyword"] not in tables.NAMED_TYPES:
            problems.append("%s: %s is a %s, which does not take its name"
                            % (name, needed, names[needed]["keyword"]))
    if name in tables.TRANSLATION:
        _, rows = tables.TRANSLATION[name]
        for ident in rows:
            if ident not in names and (name, ident) not in tables.UNUSED_ROWS:
                if ident.startswith("IDC_") or ident == "IDCANCEL":
                    problems.append("%s: translation row %s has no control" % (name, ident))

    # Controls must not cover each other, except what a group box holds and
    # what lies on a backdrop: a RECT or picture below it in the z-order (an
    # earlier INFO record is created later, so it lies lower).
    for a_i, a in enumerate(controls):
        for b in controls[a_i + 1:]:
            if not overlaps(a["rect"], b["rect"]):
                continue
            if a["keyword"] == "GROUPBOX" and contains(a["rect"], b["rect"]):
                continue
            if b["keyword"] == "GROUPBOX" and contains(b["rect"], a["rect"]):
                continue
            if a["keyword"] in ("RECT", "BITMAP") and contains(a["rect"], b["rect"]):
                continue  # a is the earlier record: below b
            problems.append("%s: %s and %s overlap" % (name, a["name"], b["name"]))

    page_font = (main.get("fontname", ""),
                 int(main["fontsize"]) if main.get("fontsize", "").isdigit() else 0,
                 main.get("fontbold", "") != "No")
    for c in controls:
        c["page_font"] = page_font
        if len(c["props"]) > 1:
            why = fit_problem(c, c["props"][1][1], page_font)
            if why:
                problems.append("%s: %s caption does not fit: %s" % (name, c["name"], why))

    notes.append("%s: %d controls, window %dx%d" % (name, len(controls), width, height))
    return {c["name"]: c for c in controls}


def check_languages(lang_dir, layouts, problems):
    runtime = os.path.join(lang_dir, "language.lan")
    if not os.path.isfile(runtime):
        problems.append("language.lan missing in %s" % lang_dir)
    else:
        ini = read_ini(runtime, problems)
        for section, key in (("cancelsetup", "0"), ("cancelsetup", "1"), ("cancelsetup", "2"),
                             ("setuperror", "3"), ("setupcompleteerror", "3")):
            if not ini.get(section, {}).get(key):
                problems.append("language.lan: [%s] %s missing" % (section, key))

    packs_dir = os.path.join(lang_dir, "languages")
    if not os.path.isdir(packs_dir):
        return
    for pack in sorted(os.listdir(packs_dir)):
        if not pack.lower().endswith(".lan"):
            continue
        ini = read_ini(os.path.join(packs_dir, pack), problems)
        for layout, controls in layouts.items():
            for ident in controls:
                where = tables.pack_key(layout, ident)
                if where is None:
                    continue
                section, key = where
                value = ini.get(section.lower(), {}).get(str(key))
                if value is None:
                    problems.append("%s: [%s] %s missing (%s of %s would become empty)"
                                    % (pack, section, key, ident, layout))
                    continue
                if "}" in value:
                    value = value.split("}", 1)[1]
                if len(value) > tables.MAX_PACK_TEXT:
                    problems.append("%s: [%s] %s is %d characters (at most %d)"
                                    % (pack, section, key, len(value), tables.MAX_PACK_TEXT))
                if "|" in value:
                    problems.append("%s: [%s] %s holds a bar" % (pack, section, key))
                shown = value.replace("[", "<").replace("]", ">")
                why = fit_problem(controls[ident], shown, controls[ident]["page_font"])
                if why:
                    problems.append("%s: [%s] %s does not fit %s of %s: %s"
                                    % (pack, section, key, ident, layout, why))
                current = controls[ident]["props"][1][1] if len(controls[ident]["props"]) > 1 else ""
                if pack.lower() == "english.lan" and shown != current:
                    problems.append("%s: [%s] %s differs from the theme's %s of %s"
                                    % (pack, section, key, ident, layout))


def main(argv=None):
    top = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    ap = argparse.ArgumentParser(description="Check a theme folder.")
    ap.add_argument("theme", nargs="?", default=os.path.join(top, "sample", "theme"))
    ap.add_argument("--lang-dir", default=None,
                    help="folder with language.lan and languages/ (default: the theme's parent)")
    ap.add_argument("-v", "--verbose", action="store_true")
    args = ap.parse_args(argv)

    problems, notes = [], []
    layouts = {}
    files = sorted(f for f in os.listdir(args.theme) if f.lower().endswith(".lcd"))
    for f in files:
        result = check_layout(os.path.join(args.theme, f), problems, notes)
        if result is not None:
            layouts[f] = result
    for page in tables.PAGE_LOGIC_NAMES:
        if page not in layouts:
            problems.append("%s missing from the theme" % page)
    lang_dir = args.lang_dir or os.path.dirname(os.path.abspath(args.theme.rstrip("/")))
    check_languages(lang_dir, layouts, problems)

    if args.verbose:
        for n in notes:
            print(n)
    for p in problems:
        print(p)
    print("%d layout files checked, %d problems" % (len(files), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
