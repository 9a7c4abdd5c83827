"""Fixed facts shared by the theme generator and its checker.

The translation table says, for each standard layout file, which language-pack
section holds its texts and which key of that section each identifier name
takes. Rows marked VALUE take their key from the pack's section "Value"
instead. A language pack rewrites property 1 of every control whose property 0
names a row here, so the default theme names its controls after this table.
"""

VALUE = "Value"

# layout file -> (section, {identifier name: (section, key)})
TRANSLATION = {
    "welcome.lcd": ("InstallWelcome", {
        "IDCANCEL": 0, "IDC_BACK": 1, "IDC_NEXT": 2,
        "IDC_STATIC1": 3, "IDC_STATIC2": 4, "IDC_STATIC3": 5,
    }),
    "license.lcd": ("LicenseAgreement", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_BACK": 5, "IDC_NEXT": 6,
        "IDC_ACCEPTLICENSE": (VALUE, 1), "IDC_NOTACCEPTLICENSE": (VALUE, 0),
    }),
    "readme.lcd": ("ReadmeInformation", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_BACK": 5, "IDC_NEXT": 6,
    }),
    "customer.lcd": ("CustomerInformation", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_BACK": 5, "IDC_NEXT": 6, "IDC_STATIC1": 7, "IDC_STATIC2": 8,
        "IDC_STATIC3": 9, "IDC_STATIC4": 10,
        "IDC_ANYONE": (VALUE, 8), "IDC_ONLYFORME": (VALUE, 9),
    }),
    "destination.lcd": ("DestinationFolder", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_BACK": 5, "IDC_NEXT": 6, "IDC_BROWSE": 7, "IDC_STATIC1": 8,
    }),
    "setuptype.lcd": ("SetupType", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_BACK": 5, "IDC_STATIC1": 6, "IDC_NEXT": 7, "IDC_STATIC2": 8,
        "IDC_STATIC4": 9, "IDC_STATIC3": 10,
        "IDC_TYPICAL": (VALUE, 2), "IDC_MINIMAL": (VALUE, 3), "IDC_CUSTOM": (VALUE, 4),
    }),
    "customsetup.lcd": ("CustomSetup", {
        "IDCANCEL": 2, "IDC_KQFRAME": 4, "IDC_SUBTITLE": 5, "IDC_TITLE": 6,
        "IDC_BACK": 7, "IDC_STATIC1": 8, "IDC_NEXT": 9, "IDC_BROWSE": 11,
        "IDC_GROUPBOX1": 13,
    }),
    "ready.lcd": ("ReadyToInstall", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_NEXT": 5, "IDC_BACK": 6, "IDC_STATIC1": 9, "IDC_STATIC2": 16,
    }),
    "progress.lcd": ("SetupProgress", {
        "IDCANCEL": 0, "IDC_KQFRAME": 2, "IDC_SUBTITLE": 3, "IDC_TITLE": 4,
        "IDC_BACK": 5, "IDC_STATIC1": 6, "IDC_NEXT": 7, "IDC_STATIC2": 11,
    }),
    "complete.lcd": ("SetupCompleteSuccess", {
        "IDCANCEL": 0, "IDC_NEXT": 1, "IDC_BACK": 2, "IDC_INSTALLSTATUS": 4,
        "IDC_LAUNCHREADME": 6, "IDC_LAUNCHFILE": 7,
    }),
    "setuperror.lcd": ("SetupError", {
        "IDYES": 0, "IDNO": 1, "IDCANCEL": 2, "IDOK": 3, "IDABORT": 4,
        "IDIGNORE": 5, "IDRETRY": 6,
    }),
    "cancelsetup.lcd": ("CancelSetup", {"IDC_STATIC1": 0, "IDNO": 1, "IDYES": 2}),
    "uninstall.lcd": ("SetupProgress", {"IDYES": 0, "IDC_STATIC1": 12}),
    "start.lcd": ("SETUP", {"IDC_STATIC1": 0, "IDCANCEL": 1}),
}


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
