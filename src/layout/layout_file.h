// Reading a page layout file (.lcd).
//
// A layout file is an INI document, read only through ProfileReader so that
// the same rules hold for a file on disk and for text in memory: names are
// case-insensitive, a missing key reads "", every value is cut to 254
// characters (INFO/TOTAL to 99). It has three sections:
//
//   [MAINWINDOW]  the page window: idcname, caption, bkimage, border, startup,
//                 bkcolor, width, height, soundfile, minwindow, maxwindow,
//                 closewindow, fontname, fontsize, fontbold, fontitalic.
//   [INFO]        TOTAL = number of controls; "0", "1", ... one control record
//                 each: comma-separated fields (at most 20 are kept; a field
//                 cannot hold a comma):
//                   0 -, 1 left, 2 top, 3 width, 4 height, 5 type keyword,
//                   6 image file (braces removed, layout folder prefixed),
//                   7 -, 8 record number N (3000 + index by convention), 9.. -
//   [DADOS]       "N,t" = number of properties of record N (at most 20);
//                 "N,j" = property j as Name|Value|Number. Value is the text
//                 between the first and the second bar; Number is the rest with
//                 every bar removed. A Value holding "{" names a file beside the
//                 layout file: braces removed, layout folder prefixed.
//
// The file is untrusted. Everything past the format's limits is dropped
// without being written anywhere: 70 controls a page (records past index 69
// are not read), 15 of one type (the first 15 in file order are kept), 20
// properties a control, 20 fields a record. Coordinates are clamped to the
// 16-bit range windows use, so no rectangle arithmetic can overflow.
#pragma once
#include <string>

#include "layout/control_catalogue.h"

namespace kq {

class ProfileReader;

constexpr int kMaxControls = 70;
constexpr int kMaxControlsPerType = 15;
constexpr int kMaxProperties = 20;
constexpr int kMaxRecordFields = 20;
constexpr int kFirstWindowId = 3000;
constexpr size_t kTotalBufferSize = 100;
constexpr int kMaxCoordinate = 32767;

struct MainWindowSettings {
    std::string idcName;
    std::string caption;
    std::string bkImage;    // braces removed, used as written (not beside the layout)
    std::string border;
    std::string startup;
    std::string bkColor;
    std::string width;
    std::string height;
    std::string soundFile;  // braces removed; kept only
    std::string minWindow;
    std::string maxWindow;
    std::string closeWindow;
    std::string fontName;
    std::string fontSize;
    std::string fontBold;
    std::string fontItalic;
};

MainWindowSettings ReadMainWindow(const ProfileReader& reader);

// Window style after the border, minwindow, maxwindow and closewindow settings.
uint32_t PageStyleAfterSettings(uint32_t style, const MainWindowSettings& settings);

// One INFO record split into its fields.
struct ControlRecord {
    int fieldCount = 0;
    std::string fields[kMaxRecordFields];
    ControlRect rect;        // left, top, left + width, top + height
    std::string keyword;
    std::string imageFile;   // "" when field 6 is empty
    int recordNumber = 0;
};
ControlRecord ParseControlRecord(const std::string& text, const std::string& layoutFolder);

Property ParseProperty(const std::string& text, const std::string& layoutFolder);

struct ControlEntry {
    ControlType type = ControlType::Text;
    ControlRect rect;          // after the size rule
    int windowId = 0;
    int typeSlot = 0;          // index in the page's array of this type
    std::string identifierName;
    std::string defaultText;
    std::string imageFile;     // BITMAP, HOVER: field 6
    int recordNumber = 0;
    int propertyCount = 0;
    Property properties[kMaxProperties];

    // The value at a property position, "" past the count.
    const std::string& ValueAt(int position) const;
    int ClickAction() const { return kq::ClickAction(properties, propertyCount); }
};

// A page's controls in file order (record 0 first) with the per-type and
// window-id counters. Controls are created last record first and each is
// entered at the front, so the table ends in file order while window ids run
// in creation order: the last record gets 3000.
class ControlTable {
public:
    void Reset();

    // Applies the size rule, takes the next window id and the type's next
    // slot, gives the default text and generated identifier name, and enters
    // the control at the front. nullptr (and nothing changed) when the page
    // already holds 70 controls or 15 of this type.
    ControlEntry* Create(ControlType type, const ControlRect& written);

    int Count() const { return m_count; }
    ControlEntry& At(int index) { return m_entries[index]; }
    const ControlEntry& At(int index) const { return m_entries[index]; }
    int CountOfType(ControlType type) const { return m_perType[static_cast<int>(type)]; }
    int NextWindowId() const { return m_nextId; }

    // Table index of the first control with that window id or name; -1.
    int IndexOfId(int windowId) const;
    int IndexOfName(const std::string& identifierName) const;

private:
    ControlEntry m_entries[kMaxControls];
    int m_count = 0;
    int m_perType[kControlTypeCount] = {};
    int m_nextId = kFirstWindowId;
};

struct PageLayout {
    std::string path;
    std::string folder;   // layout folder, ending in a backslash
    MainWindowSettings main;
    ControlTable controls;
    int declaredTotal = 0;   // INFO/TOTAL as written
    int droppedRecords = 0;  // records skipped: unknown type, or past a limit
};

// Reads the whole layout; `layout` is reset first. The reader must present
// the file at `path` (the path only gives the layout folder).
void ReadLayout(const ProfileReader& reader, const std::string& path, PageLayout* layout);

}  // namespace kq
