#!/usr/bin/python3
"""Applies a language pack to a copy of a theme the way setup.exe does before
its first page, so an author can look at (and check) the translated pages
without running a setup.

    /usr/bin/python3 tools/theme/apply_pack.py PACK.lan THEME_DIR OUT_DIR

For each standard layout file, each control i of INFO: property 0 of record
3000+i names the control; when the translation table has a row for that name
on that page, property 1 becomes "Caption|<text>|0", where the text is the
pack's value with "[" and "]" turned into "<" and ">" and everything up to a
first "}" dropped. A row whose key the pack lacks gives an empty caption, as it
does in setup.exe. Other files are copied unchanged.
"""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import theme_tables as tables  # noqa: E402
from check_theme import read_ini, split_property  # noqa: E402

# The files setup.exe rewrites, in its order.
STANDARD_FILES = ["welcome.lcd", "license.lcd", "readme.lcd", "customer.lcd", "destination.lcd",
                  "setuptype.lcd", "customsetup.lcd", "ready.lcd", "progress.lcd",
                  "complete.lcd", "setuperror.lcd", "cancelsetup.lcd", "uninstall.lcd",
                  "start.lcd"]


def pack_text(pack, section, key):
    value = pack.get(section.lower(), {}).get(str(key), "")
    value = value.replace("[", "<").replace("]", ">")
    if "}" in value:
        value = value.split("}", 1)[1]
    return value


def rewrite(path, layout_file, pack, problems):
    ini = read_ini(path, problems)
    total_text = ini.get("info", {}).get("total", "")
    total = int(total_text) if total_text.isdigit() else 0
    dados = ini.get("dados", {})
    new_values = {}
    for i in range(total):
        name, ident, _ = split_property(dados.get("%d,0" % (3000 + i), ""))
        where = tables.pack_key(layout_file, ident)
        if where is None:
            continue
        new_values["%d,1" % (3000 + i)] = "Caption|%s|0" % pack_text(pack, *where)
    if not new_values:
        return 0
    # Replace the keys in place, keeping the rest of the file as it is.
    raw = open(path, "rb").read().decode("cp1252")
    lines = raw.split("\r\n")
    section = ""
    seen = set()
    for n, line in enumerate(lines):
        stripped = line.strip()
        if stripped.startswith("["):
            section = stripped[1:stripped.find("]")].strip().lower()
            continue
        if section != "dados" or "=" not in stripped:
            continue
        key = stripped.split("=", 1)[0].strip().lower()
        if key in new_values and key not in seen:
            lines[n] = "%s=%s" % (key, new_values[key])
            seen.add(key)
    missing = [k for k in new_values if k not in seen]
    if missing:
        # A control without property 1: add it at the end of DADOS.
        at = max(n for n, l in enumerate(lines) if l.strip()) + 1
        lines[at:at] = ["%s=%s" % (k, new_values[k]) for k in missing]
    with open(path, "wb") as f:
        f.write("\r\n".join(lines).encode("cp1252"))
    return len(new_values)


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[4], file=sys.stderr)
        return 2
    pack_path, theme, out = argv[1:]
    problems = []
    pack = read_ini(pack_path, problems)
    if os.path.abspath(theme) != os.path.abspath(out):
        shutil.copytree(theme, out, dirs_exist_ok=True)
    for layout_file in STANDARD_FILES:
        path = os.path.join(out, layout_file)
        if os.path.isfile(path):
            count = rewrite(path, layout_file, pack, problems)
            print("%s: %d captions" % (layout_file, count))
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
