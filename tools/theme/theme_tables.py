"""Fixed facts shared by the theme generator and its checker.

The translation table says, for each standard layout file, which language-pack
section holds its texts and which key of that section each identifier name
takes. Rows marked VALUE take their key from the pack's section "Value"
instead. A language pack rewrites property 1 of every control whose property 0
names a row here, so the default theme names its controls after this table.
"""
import os
import re

VALUE = "Value"

ROWS_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "wizard",
                         "translation_rows.def")


def read_translation(path=ROWS_FILE):
    """layout file -> (section, {identifier name: key, or (VALUE, key)}), from
    the rows the program itself is built from."""
    table = {}
    with open(path, encoding="ascii") as rows:
        for line in rows:
            found = re.match(r'KQ_PACK_ROW\("([^"]*)", "([^"]*)", "([^"]*)", "(\d+)"\)', line)
            if not found:
                continue
            layout_file, identifier, section, key = found.groups()
            own = table.setdefault(layout_file, [None, {}])
            if section == VALUE:
                own[1][identifier] = (VALUE, int(key))
            else:
                own[0] = own[0] or section
                own[1][identifier] = int(key)
    return {name: (section, rows) for name, (section, rows) in table.items()}


TRANSLATION = read_translation()


def pack_key(layout_file, identifier):
    """(section, key) of a control's text in a language pack, or None."""
    entry = TRANSLATION.get(layout_file)
    if entry is None:
        return None
    section, rows = entry
    row = rows.get(identifier)
    if row is None:
        return None
    if isinstance(row, tuple):
        return row
    return (section, row)


# Identifier names the page logic looks for, per page of the default theme.
# A page acts only on names its layout holds, so each of these must be there.
PAGE_LOGIC_NAMES = {
    "start.lcd": ["IDC_PROGRESS1", "IDCANCEL"],
    "askuser.lcd": ["IDC_LANGUAGE", "IDC_SETLANGUAGE"],
    "welcome.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL"],
    "license.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_LICENSE",
                    "IDC_ACCEPTLICENSE", "IDC_NOTACCEPTLICENSE"],
    "readme.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_README"],
    "customer.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_USERNAME",
                     "IDC_ORGANIZATION", "IDC_ANYONE", "IDC_ONLYFORME"],
    "destination.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_INSTALLDIR", "IDC_BROWSE"],
    "setuptype.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_TYPICAL",
                      "IDC_MINIMAL", "IDC_CUSTOM"],
    "customsetup.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_TREEVIEW",
                        "IDC_FEATUREINFO", "IDC_INSTALLDIR", "IDC_BROWSE"],
    "ready.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_SETTINGS"],
    "progress.lcd": ["IDC_NEXT", "IDC_BACK", "IDCANCEL", "IDC_INFO", "IDC_INSTALLINFO",
                     "IDC_PROGRESS1", "IDC_DOWNLOADPROGRESS"],
    "complete.lcd": ["IDC_FINISH", "IDC_BACK", "IDCANCEL", "IDC_INSTALLSTATUS",
                     "IDC_LAUNCHFILE", "IDC_LAUNCHREADME"],
    "3rdparty.lcd": [],
}

# Translation rows that the default theme leaves out on purpose, with why.
UNUSED_ROWS = {
    ("customer.lcd", "IDC_STATIC4"): "the page needs three labels only",
    ("complete.lcd", "IDC_NEXT"): "the last page's button is IDC_FINISH, which runs Finish",
}

# Control type keywords and the property positions each applies.
KEYWORDS = ["BITMAP", "HOVER", "BUTTON", "TEXT", "RECT", "TEXTBOX", "COMBOBOX", "RADIO",
            "HOTSPOT", "ANIMATION", "PROGRESS", "LISTVIEW", "GROUPBOX", "ICON", "TREEVIEW",
            "FRAME", "RICHTEXT", "CHECKBOX"]

# Types that take property 0 as their identifier name when properties are applied.
NAMED_TYPES = {"BUTTON", "TEXT", "RADIO", "CHECKBOX", "TEXTBOX", "COMBOBOX", "RICHTEXT",
               "TREEVIEW", "PROGRESS"}

# Types with a caption at position 1 that is placeholder-expanded.
EXPANDED_CAPTION_TYPES = {"BUTTON", "TEXT", "RADIO"}

# Size rule at creation: width under 30 and height under the limit gives 90 by 25.
def resized_at_creation(keyword, width, height):
    if keyword in ("BITMAP", "HOVER", "ICON"):
        return False
    limit = 8 if keyword in ("TEXT", "ANIMATION", "PROGRESS", "LISTVIEW", "TREEVIEW", "FRAME") else 10
    return width < 30 and height < limit


MAINWINDOW_KEYS = ["idcname", "caption", "bkimage", "border", "startup", "bkcolor", "width",
                   "height", "soundfile", "minwindow", "maxwindow", "closewindow", "fontname",
                   "fontsize", "fontbold", "fontitalic"]

MAX_CONTROLS = 70
MAX_PER_TYPE = 15
MAX_PROPERTIES = 20
MAX_VALUE = 254
# A pack text is written back as "Caption|<text>|0" and read again with the
# 254-character cut, so it may hold at most this many characters.
MAX_PACK_TEXT = MAX_VALUE - len("Caption||0")


if __name__ == "__main__":
    # The rows as this reader sees them, in the file's order, for the
    # program's test that both readers agree.
    for layout_file, (section, rows) in TRANSLATION.items():
        for identifier, key in rows.items():
            where, number = key if isinstance(key, tuple) else (section, key)
            print(f"{layout_file}\t{identifier}\t{where}\t{number}")
