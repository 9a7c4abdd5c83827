#!/usr/bin/python3
"""Generates the default theme: the page layouts (.lcd), their artwork, and the
language files that go with them.

    /usr/bin/python3 tools/theme/make_theme.py [--out sample/theme] [--no-art]
        [--lang-out sample] [--accent 15,59,122 --accent2 31,143,176]

Each page is described below as a list of controls in the order a user meets
them (top to bottom, then the button row). The layout writer turns that list
into the INI text that the page engine reads:

    [MAINWINDOW]  the window settings (width and height are outer sizes; the
                  height counts a 25-pixel title bar)
    [INFO]        TOTAL, then "i" = "0,left,top,width,height,TYPE,image,0,3000+i"
    [DADOS]       "3000+i,t" = property count, "3000+i,j" = "Name|Value|0"

The engine creates controls from the last INFO record to the first and each
new child window goes below its older siblings, so the last record ends up on
top of the z-order and first in the tab order. The writer therefore stores a
page's list reversed (its first control is the first Tab stop), except for
backdrops (the white banner and panel RECTs), which it stores first so they
lie under everything drawn on them.

Only the standard library is used; the artwork needs ImageMagick's `convert`.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import theme_tables as tables  # noqa: E402

# ---------------------------------------------------------------------------
# Look

FACE = "Tahoma"
BODY_SIZE = 8
TITLE_SIZE = 9          # bold banner title of the inner pages
BIG_TITLE_SIZE = 12     # bold title beside the side panel

WHITE = "255,255,255"
BLACK = "0,0,0"
BUTTON_FACE = "COLOR_BTNFACE"
BRAND_GREY = "109,109,109"
BOX_BORDER = "127,157,185"  # flat outline of the edit and rich-text boxes

# Two colours of the artwork, dark first; --accent/--accent2 change them.
ACCENT = (15, 59, 122)
ACCENT2 = (31, 143, 176)

# Client area of the wizard pages and the outer window size it needs: a
# dialog frame of 3 pixels each side, and the 25-pixel title bar the height
# value is measured with (the engine takes off what a smaller bar saves).
CLIENT_W, CLIENT_H = 497, 360
FRAME_X, FRAME_Y = 6, 6 + 26


def window_size(client_w, client_h):
    return client_w + FRAME_X, client_h + FRAME_Y


BANNER_H = 58
SEPARATOR_Y = 314
BUTTON_Y = 325
BUTTON_W, BUTTON_H = 75, 23
CANCEL_X = CLIENT_W - 11 - BUTTON_W
NEXT_X = CANCEL_X - 11 - BUTTON_W
BACK_X = NEXT_X - BUTTON_W
LEFT = 22
BODY_W = CLIENT_W - 2 * LEFT

SIDE_W, SIDE_H = 164, 314
LOGO = 48

SIDE_PANEL = "sidepanel.bmp"
BANNER_LOGO = "banner.bmp"

# ---------------------------------------------------------------------------
# Controls


class Control:
    def __init__(self, keyword, x, y, w, h, props, image="", backdrop=False):
        self.keyword = keyword
        self.rect = (x, y, w, h)
        self.props = props          # [(Name, Value)], position = index
        self.image = image
        # A panel or picture that other controls sit on: it goes to the
        # bottom of the z-order, where its clipping keeps it from painting
        # over them.
        self.backdrop = backdrop

    @property
    def name(self):
        return self.props[0][1] if self.props else ""


def yes_no(flag):
    return "Yes" if flag else "No"


def font_props(size=BODY_SIZE, bold=False, face=FACE):
    return [("Font Name", face), ("Font Size", str(size)), ("Bold", yes_no(bold)),
            ("Italic", "No")]


def text(name, x, y, w, h, caption, color=BLACK, back=BUTTON_FACE, size=BODY_SIZE,
         bold=False, align="1-Left"):
    return Control("TEXT", x, y, w, h,
                   [("Name", name), ("Caption", caption), ("Text Align", align),
                    ("Text Color", color), ("BackColor", back)]
                   + font_props(size, bold) + [("URL Link", "No")])


def button(name, x, y, caption, w=BUTTON_W, h=BUTTON_H):
    return Control("BUTTON", x, y, w, h,
                   [("Name", name), ("Caption", caption), ("Text Align", "0-Center")]
                   + font_props())


def radio(name, x, y, w, caption, back=BUTTON_FACE, color=BLACK, h=17):
    return Control("RADIO", x, y, w, h,
                   [("Name", name), ("Caption", caption), ("BackColor", back), ("Text Color", color)])


def checkbox(name, x, y, w, caption, back=BUTTON_FACE, color=BLACK, h=17):
    return Control("CHECKBOX", x, y, w, h,
                   [("Name", name), ("Caption", caption), ("BackColor", back), ("Text Color", color)])


def textbox(name, x, y, w, h, initial=""):
    return Control("TEXTBOX", x, y, w, h, [("Name", name), ("Text", initial)])


def rect(name, x, y, w, h, color, backdrop=False):
    return Control("RECT", x, y, w, h, [("Name", name), ("BackColor", color)], backdrop=backdrop)


def frame(name, x, y, w, h):
    return Control("FRAME", x, y, w, h, [("Name", name)])


def bitmap(name, x, y, w, h, image, back=WHITE, backdrop=False):
    return Control("BITMAP", x, y, w, h,
                   [("Name", name), ("Picture", image), ("BackColor", back)], image=image,
                   backdrop=backdrop)


def icon(name, x, y, which, back=BUTTON_FACE):
    return Control("ICON", x, y, 32, 32,
                   [("Name", name), ("Icon File:", which), ("BackColor:", back)])


def named(keyword, name, x, y, w, h):
    return Control(keyword, x, y, w, h, [("Name", name)])


def groupbox(name, x, y, w, h, caption, back=BUTTON_FACE):
    return Control("GROUPBOX", x, y, w, h,
                   [("Name", name), ("Caption", caption), ("BackColor", back)])


def outline(prefix, x, y, w, h, color=BOX_BORDER):
    """Four one-pixel RECTs just outside a box (edit and rich-text boxes have
    no border of their own), laid side by side rather than behind the box."""
    return [rect(prefix + "TOP", x - 1, y - 1, w + 2, 1, color),
            rect(prefix + "LEFT", x - 1, y, 1, h, color),
            rect(prefix + "RIGHT", x + w, y, 1, h, color),
            rect(prefix + "BOTTOM", x - 1, y + h, w + 2, 1, color)]


# ---------------------------------------------------------------------------
# Page parts


class Page:
    def __init__(self, file_name, controls, client=(CLIENT_W, CLIENT_H),
                 caption="<ProductName> Setup", close_box=True, description=""):
        self.file_name = file_name
        self.controls = controls
        self.client = client
        self.caption = caption
        self.close_box = close_box
        self.description = description


def banner(title, subtitle):
    return [
        rect("IDC_BANNER", 0, 0, CLIENT_W, BANNER_H, WHITE, backdrop=True),
        text("IDC_TITLE", 16, 10, 410, 17, title, back=WHITE, size=TITLE_SIZE, bold=True),
        text("IDC_SUBTITLE", 28, 28, 400, 27, subtitle, back=WHITE),
        bitmap("IDB_LOGO", CLIENT_W - 8 - LOGO, (BANNER_H - LOGO) // 2, LOGO, LOGO, BANNER_LOGO),
        frame("IDC_LINE1", 0, BANNER_H, CLIENT_W, 2),
    ]


def buttons(back="< Back", next_="Next >", cancel="Cancel", next_name="IDC_NEXT"):
    return [
        button("IDC_BACK", BACK_X, BUTTON_Y, back),
        button(next_name, NEXT_X, BUTTON_Y, next_),
        button("IDCANCEL", CANCEL_X, BUTTON_Y, cancel),
    ]


def footer(brand=True):
    parts = [frame("IDC_LINE2", 0, SEPARATOR_Y, CLIENT_W, 2)]
    if brand:
        # Product name at the bottom left; the language packs carry it as
        # IDC_KQFRAME of each inner page.
        parts.append(text("IDC_KQFRAME", 12, BUTTON_Y + 5, 220, 14, "<ProductName>",
                          color=BRAND_GREY))
    return parts


def side_panel():
    return [
        bitmap("IDB_SIDEPANEL", 0, 0, SIDE_W, SIDE_H, SIDE_PANEL, back=BUTTON_FACE),
        rect("IDC_WHITE", SIDE_W, 0, CLIENT_W - SIDE_W, SEPARATOR_Y, WHITE, backdrop=True),
    ]


SIDE_TEXT_X = SIDE_W + 17
SIDE_TEXT_W = CLIENT_W - SIDE_TEXT_X - 17

# ---------------------------------------------------------------------------
# The pages


def start_page():
    w, h = 400, 166
    return Page("start.lcd", [
        rect("IDC_BANNER", 0, 0, w, 92, WHITE, backdrop=True),
        bitmap("IDB_LOGO", 16, 20, LOGO, LOGO, BANNER_LOGO),
        text("IDC_STATIC1", 80, 22, w - 80 - 16, 56,
             "<ProductName> Setup is preparing the Setup Wizard, which will guide you "
             "through the installation. Please wait.", back=WHITE),
        frame("IDC_LINE1", 0, 92, w, 2),
        named("PROGRESS", "IDC_PROGRESS1", 16, 106, w - 32, 16),
        button("IDCANCEL", w - 16 - BUTTON_W, 132, "Cancel"),
    ], client=(w, h), description="shown while the package's files are unpacked")


def askuser_page():
    w, h = 400, 147
    return Page("askuser.lcd", [
        rect("IDC_BANNER", 0, 0, w, 100, WHITE, backdrop=True),
        bitmap("IDB_LOGO", 16, 16, LOGO, LOGO, BANNER_LOGO),
        text("IDC_TITLE", 80, 16, w - 96, 15, "Setup Language", back=WHITE,
             size=TITLE_SIZE, bold=True),
        text("IDC_SUBTITLE", 80, 34, w - 96, 28,
             "Select the language to use during the installation.", back=WHITE),
        named("COMBOBOX", "IDC_LANGUAGE", 80, 64, 220, 160),
        frame("IDC_LINE1", 0, 100, w, 2),
        button("IDC_SETLANGUAGE", w - 16 - 2 * BUTTON_W - 11, 113, "OK"),
        button("IDCANCEL", w - 16 - BUTTON_W, 113, "Cancel"),
    ], client=(w, h), description="language choice, when the script lets the user pick")


def welcome_page():
    return Page("welcome.lcd", side_panel() + [
        text("IDC_STATIC1", SIDE_TEXT_X, 20, SIDE_TEXT_W, 60,
             "Welcome to the <ProductName> Setup Wizard", back=WHITE,
             size=BIG_TITLE_SIZE, bold=True),
        text("IDC_STATIC2", SIDE_TEXT_X, 88, SIDE_TEXT_W, 52,
             "The Setup Wizard will install <ProductName> on your computer. "
             "To continue, click Next.", back=WHITE),
        text("IDC_STATIC3", SIDE_TEXT_X, 148, SIDE_TEXT_W, 56,
             "It is recommended that you close all other programs before you continue.",
             back=WHITE),
    ] + footer(brand=False) + buttons(), description="first page, with the side panel")


def license_page():
    box = (LEFT, BANNER_H + 12, BODY_W, 172)
    x, y, w, h = box
    return Page("license.lcd", banner(
        "License Agreement",
        "Please read the following license agreement carefully.") + [
        named("RICHTEXT", "IDC_LICENSE", x, y, w, h),
    ] + outline("IDC_BOX", x, y, w, h) + [
        radio("IDC_ACCEPTLICENSE", LEFT, y + h + 10, BODY_W,
              "I accept the terms in the license agreement"),
        radio("IDC_NOTACCEPTLICENSE", LEFT, y + h + 30, BODY_W,
              "I do not accept the terms in the license agreement"),
    ] + footer() + buttons(), description="license text (DIALOGLIST CT1=IDC_LICENSE)")


def readme_page():
    x, y, w, h = LEFT, BANNER_H + 12, BODY_W, SEPARATOR_Y - BANNER_H - 12 - 14
    return Page("readme.lcd", banner(
        "Readme Information",
        "Please read the following information about <ProductName>.") + [
        named("RICHTEXT", "IDC_README", x, y, w, h),
    ] + outline("IDC_BOX", x, y, w, h) + footer() + buttons(),
        description="readme text (DIALOGLIST CT3=IDC_README)")


def customer_page():
    box_w = 300
    return Page("customer.lcd", banner(
        "Customer Information", "Please enter your information.") + [
        text("IDC_STATIC1", LEFT, 76, box_w, 14, "User Name:"),
        textbox("IDC_USERNAME", LEFT, 92, box_w, 20),
    ] + outline("IDC_BOXA", LEFT, 92, box_w, 20) + [
        text("IDC_STATIC2", LEFT, 124, box_w, 14, "Organization:"),
        textbox("IDC_ORGANIZATION", LEFT, 140, box_w, 20),
    ] + outline("IDC_BOXB", LEFT, 140, box_w, 20) + [
        text("IDC_STATIC3", LEFT, 182, BODY_W, 14, "Install this application for:"),
        radio("IDC_ANYONE", LEFT + 16, 200, BODY_W - 16,
              "Anyone who uses this computer (all users)"),
        radio("IDC_ONLYFORME", LEFT + 16, 220, BODY_W - 16, "Only for me (<UserName>)"),
    ] + footer() + buttons(), description="user name, organization and install-for choice")


def folder_row(y, label=None):
    """Folder icon, the chosen install folder and the Change button."""
    parts = [icon("IDC_FOLDERICON", LEFT, y, "IDI_FOLDER")]
    text_x = LEFT + 44
    if label:
        parts.append(text("IDC_STATIC1", text_x, y, 300, 14, label))
        dir_y = y + 18
    else:
        dir_y = y + 2
    browse_x = CLIENT_W - LEFT - BUTTON_W
    parts.append(text("IDC_INSTALLDIR", text_x, dir_y, browse_x - 12 - text_x, 28, ""))
    parts.append(button("IDC_BROWSE", browse_x, y, "Change..."))
    return parts


def destination_page():
    return Page("destination.lcd", banner(
        "Destination Folder",
        "Click Next to install to this folder, or click Change to install to a "
        "different folder.") + folder_row(80, "Install <ProductName> to:")
        + footer() + buttons(), description="install folder and the folder browser")


def setuptype_page():
    parts = banner("Setup Type", "Choose the setup type that best suits your needs.") + [
        text("IDC_STATIC1", LEFT, 72, BODY_W, 14, "Please select a setup type."),
    ]
    choices = [
        ("IDI_TYPICAL", "IDC_TYPICAL", "Typical", "IDC_STATIC2",
         "The most common program features will be installed. Recommended for most users."),
        ("IDI_MINIMAL", "IDC_MINIMAL", "Minimal", "IDC_STATIC4",
         "Only the features required to run the program will be installed."),
        ("IDI_CUSTOM", "IDC_CUSTOM", "Custom", "IDC_STATIC3",
         "Choose which program features will be installed. Recommended for advanced users."),
    ]
    y = 98
    for icon_name, radio_name, label, desc_name, desc in choices:
        parts += [
            icon("IDC_ICON" + label.upper(), LEFT + 8, y, icon_name),
            radio(radio_name, LEFT + 52, y, 200, label),
            text(desc_name, LEFT + 70, y + 19, BODY_W - 70, 28, desc),
        ]
        y += 62
    return Page("setuptype.lcd", parts + footer() + buttons(),
                description="Typical, Minimal or Custom")


def customsetup_page():
    tree = (LEFT, 102, 272, 148)
    gx = LEFT + tree[2] + 12
    gw = CLIENT_W - LEFT - gx
    return Page("customsetup.lcd", banner(
        "Custom Setup", "Select the program features you want installed.") + [
        text("IDC_STATIC1", LEFT, 70, BODY_W, 24,
             "Click on a feature in the list below to change whether it will be installed."),
        named("TREEVIEW", "IDC_TREEVIEW", *tree),
        groupbox("IDC_GROUPBOX1", gx, 96, gw, 154, "Feature Description"),
        text("IDC_FEATUREINFO", gx + 10, 114, gw - 20, 128, ""),
    ] + folder_row(262) + footer() + buttons(),
        description="feature tree with descriptions, and the install folder")


def ready_page():
    x, y, w = LEFT, 120, BODY_W
    h = SEPARATOR_Y - 10 - y
    return Page("ready.lcd", banner(
        "Ready to Install the Program", "The wizard is ready to begin installation.") + [
        text("IDC_STATIC1", LEFT, 68, BODY_W, 28,
             "Click Install to begin the installation. To review or change any of your "
             "settings, click Back. Click Cancel to exit the wizard."),
        text("IDC_STATIC2", LEFT, 102, BODY_W, 14, "Current settings:"),
        textbox("IDC_SETTINGS", x, y, w, h),
    ] + outline("IDC_BOX", x, y, w, h) + footer() + buttons(next_="Install"),
        description="summary of the choices (IDC_SETTINGS)")


def progress_page():
    return Page("progress.lcd", banner(
        "Installing <ProductName>", "The program features you selected are being installed.") + [
        text("IDC_STATIC1", LEFT, 72, BODY_W, 28,
             "Please wait while the Setup Wizard installs <ProductName>. "
             "This may take several minutes."),
        text("IDC_STATIC2", LEFT, 112, BODY_W, 14, "Status:"),
        text("IDC_INFO", LEFT, 130, BODY_W, 14, ""),
        named("PROGRESS", "IDC_PROGRESS1", LEFT, 150, BODY_W, 18),
        text("IDC_INSTALLINFO", LEFT, 176, BODY_W, 28, ""),
        named("PROGRESS", "IDC_DOWNLOADPROGRESS", LEFT, 212, BODY_W, 18),
    ] + footer() + buttons(), description="status texts and progress bars of the installation")


def complete_page():
    return Page("complete.lcd", side_panel() + [
        text("IDC_STATIC1", SIDE_TEXT_X, 20, SIDE_TEXT_W, 48,
             "<ProductName> <ProductVersion>", back=WHITE, size=BIG_TITLE_SIZE, bold=True),
        text("IDC_INSTALLSTATUS", SIDE_TEXT_X, 84, SIDE_TEXT_W, 70,
             "Setup has installed <ProductName> successfully. Click Finish to exit the wizard.",
             back=WHITE),
        # Check box texts are shown as written: no placeholders here.
        checkbox("IDC_LAUNCHFILE", SIDE_TEXT_X, 160, SIDE_TEXT_W, "Launch the program now",
                 back=WHITE),
        checkbox("IDC_LAUNCHREADME", SIDE_TEXT_X, 182, SIDE_TEXT_W, "Show the readme file",
                 back=WHITE),
    ] + footer(brand=False) + buttons(next_="Finish", next_name="IDC_FINISH"),
        close_box=False, description="last page: success, or the error text after a cancel")


def thirdparty_page():
    return Page("3rdparty.lcd", banner(
        "Installing Additional Components",
        "Setup is installing components that <ProductName> needs.") + [
        icon("IDC_SETUPICON", LEFT, 80, "IDI_SETUP"),
        text("IDC_STATIC1", LEFT + 44, 82, BODY_W - 44, 42,
             "Please wait while Setup installs the additional components. "
             "This may take several minutes. Other setup programs may open windows "
             "of their own."),
    ] + footer(), close_box=False,
        description="shown while merge modules and other setup programs run")


PAGES = [start_page, askuser_page, welcome_page, license_page, readme_page, customer_page,
         destination_page, setuptype_page, customsetup_page, ready_page, progress_page,
         complete_page, thirdparty_page]

# ---------------------------------------------------------------------------
# Writing layout files


class LayoutError(Exception):
    pass


def check_value(page, what, value):
    if len(value) > tables.MAX_VALUE:
        raise LayoutError("%s: %s is %d characters (at most %d)"
                          % (page, what, len(value), tables.MAX_VALUE))
    if "\r" in value or "\n" in value:
        raise LayoutError("%s: %s holds a line break" % (page, what))


def layout_text(page):
    """The .lcd text of a page, lines joined with CRLF."""
    client_w, client_h = page.client
    width, height = window_size(client_w, client_h)
    main = [
        ("idcname", "IDD_" + page.file_name.split(".")[0].upper()),
        ("caption", page.caption),
        ("bkimage", ""),
        ("border", "1"),
        ("startup", "0"),
        ("bkcolor", BUTTON_FACE),
        ("width", str(width)),
        ("height", str(height)),
        ("soundfile", ""),
        ("minwindow", "No"),
        ("maxwindow", "No"),
        ("closewindow", yes_no(page.close_box)),
        ("fontname", FACE),
        ("fontsize", str(BODY_SIZE)),
        ("fontbold", "No"),
        ("fontitalic", "No"),
    ]
    # Backdrops first: created last, they end up at the bottom of the z-order.
    # The rest reversed: created first, they keep the order of the description.
    controls = ([c for c in page.controls if c.backdrop]
                + list(reversed([c for c in page.controls if not c.backdrop])))
    if len(controls) > tables.MAX_CONTROLS:
        raise LayoutError("%s: %d controls" % (page.file_name, len(controls)))

    lines = ["; %s - generated by tools/theme/make_theme.py; edit the generator, not this file."
             % page.file_name, "[MAINWINDOW]"]
    lines += ["%s=%s" % kv for kv in main]
    lines += ["", "[INFO]", "TOTAL=%d" % len(controls)]
    for i, c in enumerate(controls):
        x, y, w, h = c.rect
        fields = ["0", str(x), str(y), str(w), str(h), c.keyword, c.image, "0", str(3000 + i)]
        for f in fields:
            if "," in f:
                raise LayoutError("%s: a record field holds a comma: %r" % (page.file_name, f))
        record = ",".join(fields)
        check_value(page.file_name, "record %d" % i, record)
        lines.append("%d=%s" % (i, record))
    lines += ["", "[DADOS]"]
    for i, c in enumerate(controls):
        n = 3000 + i
        if len(c.props) > tables.MAX_PROPERTIES:
            raise LayoutError("%s: %s has %d properties" % (page.file_name, c.name, len(c.props)))
        lines.append("%d,t=%d" % (n, len(c.props)))
        for j, (name, value) in enumerate(c.props):
            if "|" in name or "|" in value:
                raise LayoutError("%s: a bar in property %s of %s" % (page.file_name, name, c.name))
            if "{" in value or "}" in value:
                raise LayoutError("%s: a brace in property %s of %s" % (page.file_name, name, c.name))
            record = "%s|%s|0" % (name, value)
            check_value(page.file_name, "%s property %d" % (c.name, j), record)
            lines.append("%d,%d=%s" % (n, j, record))
    lines.append("")
    return "\r\n".join(lines)


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------
# Language files


def to_pack(text_value):
    # Packs write "<" and ">" as "[" and "]".
    return text_value.replace("<", "[").replace(">", "]")


# Where the translated texts live (see the file's head for its form).
TRANSLATIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "translations.txt")


def read_translations(path=TRANSLATIONS):
    """{group: {(section, key): text}}, a group being "German" or "German runtime"."""
    groups = {}
    texts = None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                texts = groups.setdefault(line[1:-1], {})
                continue
            head, sep, value = line.partition(" = ")
            section, _, key = head.partition(" ")
            if texts is None or not sep or not key.isdigit():
                raise LayoutError("%s:%d: not SECTION KEY = TEXT under a [group]" % (path, number))
            texts[(section, int(key))] = value
    return groups
RUNTIME_SECTIONS = ["CancelSetup", "SetupError", "SetupCompleteError"]


def english_pack_texts(pages):
    """(section, key) -> text for every translated control of the theme."""
    texts = {}
    for page in pages:
        for c in page.controls:
            where = tables.pack_key(page.file_name, c.name)
            if where is None or len(c.props) < 2:
                continue
            value = to_pack(c.props[1][1])
            if where in texts and texts[where] != value:
                raise LayoutError("pack key %s has two texts: %r and %r"
                                  % (where, texts[where], value))
            texts[where] = value
    return texts


def ini_text(sections, header):
    """sections: [(name, [(key, value)])] -> CRLF text."""
    lines = ["; " + h for h in header]
    for name, rows in sections:
        lines.append("[%s]" % name)
        lines += ["%s=%s" % (k, v) for k, v in rows]
        lines.append("")
    return "\r\n".join(lines)


def pack_sections(texts):
    order = []
    for section, _ in tables.TRANSLATION.values():
        if section not in order:
            order.append(section)
    order.append(tables.VALUE)
    for s in RUNTIME_SECTIONS:
        if s not in order:
            order.append(s)
    sections = []
    for section in order:
        keys = sorted(k for (s, k) in texts if s == section)
        if keys:
            sections.append((section, [(str(k), texts[(section, k)]) for k in keys]))
    return sections


def check_pack(name, texts, needed):
    missing = sorted(set(needed) - set(texts))
    if missing:
        raise LayoutError("%s pack lacks %s" % (name, missing))
    for where, value in texts.items():
        if "|" in value or "\r" in value or "\n" in value:
            raise LayoutError("%s pack %s: bar or line break" % (name, where))
        if len(value) > tables.MAX_PACK_TEXT:
            raise LayoutError("%s pack %s: %d characters (at most %d)"
                              % (name, where, len(value), tables.MAX_PACK_TEXT))


def write_languages(pages, lang_out):
    english = english_pack_texts(pages)
    needed = set(english)
    translations = read_translations()
    german = translations["German"]
    check_pack("German", german, needed)
    portuguese = translations["Portuguese"]
    check_pack("Portuguese", portuguese, needed)
    check_pack("English", english, needed)
    packs_dir = os.path.join(lang_out, "languages")
    os.makedirs(packs_dir, exist_ok=True)
    for name, texts in (("English", english), ("German", german), ("Portuguese", portuguese)):
        full = dict(texts)
        full.update(translations[name + " runtime"])
        body = ini_text(pack_sections(full), [
            "%s language pack for the default theme (generated by tools/theme/make_theme.py)." % name,
            "Each section holds the texts of one layout file, by the keys of the translation",
            "table; [ProductName] stands for <ProductName>."])
        write_bytes(os.path.join(packs_dir, name + ".lan"), body.encode("cp1252"))
    runtime = translations["English runtime"]
    body = ini_text(
        [(s, [(str(k), runtime[(s, k)]) for (sec, k) in sorted(runtime) if sec == s])
         for s in RUNTIME_SECTIONS],
        ["Texts setup.exe reads while it runs: the cancel question and its buttons, the",
         "button of the error dialog, and the completion page's status after a cancel or",
         "a failure. [ProductName] stands for <ProductName>."])
    write_bytes(os.path.join(lang_out, "language.lan"), body.encode("cp1252"))


# ---------------------------------------------------------------------------
# Artwork


def hexrgb(rgb):
    return "#%02x%02x%02x" % rgb


def cube(cx, cy, s, alpha=(0.95, 0.70, 0.45), colour="255,255,255"):
    """ImageMagick draw arguments for an isometric box centred on (cx, cy)."""
    k = 0.866 * s
    top = [(cx, cy - s), (cx + k, cy - s / 2), (cx, cy), (cx - k, cy - s / 2)]
    left = [(cx - k, cy - s / 2), (cx, cy), (cx, cy + s), (cx - k, cy + s / 2)]
    right = [(cx, cy), (cx + k, cy - s / 2), (cx + k, cy + s / 2), (cx, cy + s)]
    args = []
    for face, a in zip((top, left, right), alpha):
        pts = " ".join("%.1f,%.1f" % p for p in face)
        args += ["-fill", "rgba(%s,%.2f)" % (colour, a), "-draw", "polygon " + pts]
    return args


def arrow(cx, top, length, width, colour="rgba(255,255,255,0.95)"):
    """A downward arrow whose tip is at top + length."""
    shaft = width * 0.38
    head = width * 0.55
    pts = [(cx - shaft / 2, top), (cx + shaft / 2, top), (cx + shaft / 2, top + length - head),
           (cx + width / 2, top + length - head), (cx, top + length),
           (cx - width / 2, top + length - head), (cx - shaft / 2, top + length - head)]
    return ["-fill", colour, "-draw", "polygon " + " ".join("%.1f,%.1f" % p for p in pts)]


BMP_OUT = ["-alpha", "off", "-type", "TrueColor", "-units", "PixelsPerInch", "-density", "96"]


def convert(args, out_path):
    cmd = ["convert"] + args + BMP_OUT + ["BMP3:" + out_path]
    subprocess.run(cmd, check=True)


def make_side_panel(path):
    w, h = SIDE_W, SIDE_H
    args = ["-size", "%dx%d" % (w, h),
            "-define", "gradient:angle=160",
            "gradient:%s-%s" % (hexrgb(ACCENT2), hexrgb(ACCENT))]
    # Soft rings behind the emblem.
    cx, cy = w // 2, 112
    for r, a in ((118, 0.05), (92, 0.06), (66, 0.08)):
        args += ["-fill", "rgba(255,255,255,%.2f)" % a, "-stroke", "none",
                 "-draw", "circle %d,%d %d,%d" % (cx, cy, cx + r, cy)]
    args += cube(cx, cy + 12, 34)
    args += arrow(cx, cy - 70, 40, 26)
    # A darker edge on the right, where the panel meets the white page.
    args += ["-fill", "rgba(0,0,0,0.18)", "-draw", "rectangle %d,0 %d,%d" % (w - 1, w - 1, h)]
    convert(args, path)


def make_logo(path, size=LOGO):
    s = size
    r = s // 6
    args = ["-size", "%dx%d" % (s, s), "xc:white",
            "(", "-size", "%dx%d" % (s, s), "-define", "gradient:angle=160",
            "gradient:%s-%s" % (hexrgb(ACCENT2), hexrgb(ACCENT)),
            "(", "-size", "%dx%d" % (s, s), "xc:black", "-fill", "white",
            "-draw", "roundrectangle 2,2 %d,%d %d,%d" % (s - 3, s - 3, r, r), ")",
            "-alpha", "off", "-compose", "CopyOpacity", "-composite", ")",
            "-compose", "Over", "-composite"]
    args += cube(s / 2, s / 2 + 6, s * 0.26)
    args += arrow(s / 2, s * 0.06, s * 0.25, s * 0.22)
    convert(args, path)


def write_art(out_dir):
    make_side_panel(os.path.join(out_dir, SIDE_PANEL))
    make_logo(os.path.join(out_dir, BANNER_LOGO))


# ---------------------------------------------------------------------------


def parse_rgb(text_value):
    parts = [int(p) for p in text_value.split(",")]
    if len(parts) != 3 or any(p < 0 or p > 255 for p in parts):
        raise argparse.ArgumentTypeError("expected R,G,B")
    return tuple(parts)


def main(argv=None):
    top = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    ap = argparse.ArgumentParser(description="Generate the default theme.")
    ap.add_argument("--out", default=os.path.join(top, "sample", "theme"),
                    help="theme folder to write (default: sample/theme)")
    ap.add_argument("--lang-out", default=os.path.join(top, "sample"),
                    help="folder for language.lan and languages/ (default: sample)")
    ap.add_argument("--no-art", action="store_true", help="write the layouts only")
    ap.add_argument("--no-lang", action="store_true", help="write no language files")
    ap.add_argument("--accent", type=parse_rgb, help="dark artwork colour, R,G,B")
    ap.add_argument("--accent2", type=parse_rgb, help="light artwork colour, R,G,B")
    args = ap.parse_args(argv)

    global ACCENT, ACCENT2
    if args.accent:
        ACCENT = args.accent
    if args.accent2:
        ACCENT2 = args.accent2

    os.makedirs(args.out, exist_ok=True)
    pages = [make() for make in PAGES]
    try:
        for page in pages:
            write_bytes(os.path.join(args.out, page.file_name), layout_text(page).encode("cp1252"))
        if not args.no_lang:
            write_languages(pages, args.lang_out)
    except LayoutError as e:
        print("make_theme: " + str(e), file=sys.stderr)
        return 1
    if not args.no_art:
        write_art(args.out)
    print("theme written to %s (%d pages)" % (args.out, len(pages)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
