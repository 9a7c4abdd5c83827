#include "layout/layout_file.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "base/profile.h"
#include "base/text.h"
#include "layout/layout_values.h"

namespace kq {

namespace {

int ClampCoordinate(int v) {
    if (v > kMaxCoordinate) return kMaxCoordinate;
    if (v < -kMaxCoordinate) return -kMaxCoordinate;
    return v;
}

std::string ReadValue(const ProfileReader& reader, const char* section, const char* key) {
    return reader.Read(section, key, kProfileValueSize);
}

}  // namespace

MainWindowSettings ReadMainWindow(const ProfileReader& reader) {
    using W = MainWindowSettings;
    static const struct {
        const char* key;
        std::string W::*member;
    } kKeys[] = {
        {"idcname", &W::idcName},       {"caption", &W::caption},     {"bkimage", &W::bkImage},
        {"border", &W::border},         {"startup", &W::startup},     {"bkcolor", &W::bkColor},
        {"width", &W::width},           {"height", &W::height},       {"soundfile", &W::soundFile},
        {"minwindow", &W::minWindow},   {"maxwindow", &W::maxWindow}, {"closewindow", &W::closeWindow},
        {"fontname", &W::fontName},     {"fontsize", &W::fontSize},   {"fontbold", &W::fontBold},
        {"fontitalic", &W::fontItalic},
    };
    MainWindowSettings m;
    for (const auto& k : kKeys) m.*k.member = ReadValue(reader, "MAINWINDOW", k.key);
    m.bkImage = RemoveBraces(m.bkImage);
    m.soundFile = RemoveBraces(m.soundFile);
    return m;
}

uint32_t PageStyleAfterSettings(uint32_t style, const MainWindowSettings& m) {
    switch (ParseBorder(m.border)) {
    case BorderChange::Clear: style &= ~style_bits::kBorder; break;
    case BorderChange::Set: style |= style_bits::kBorder; break;
    case BorderChange::Keep: break;
    }
    auto apply = [&style](const std::string& value, uint32_t bit) {
        if (IsYes(value)) {
            style |= bit;
        } else {
            style &= ~bit;
        }
    };
    apply(m.minWindow, style_bits::kMinimizeBox);
    apply(m.maxWindow, style_bits::kMaximizeBox);
    apply(m.closeWindow, style_bits::kSysMenu);
    return style;
}

ControlRecord ParseControlRecord(const std::string& text, const std::string& layoutFolder) {
    ControlRecord r;
    size_t start = 0;
    while (r.fieldCount < kMaxRecordFields) {
        size_t comma = text.find(',', start);
        r.fields[r.fieldCount++] = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    int left = ClampCoordinate(LeadingNumber(r.fields[1]));
    int top = ClampCoordinate(LeadingNumber(r.fields[2]));
    int width = ClampCoordinate(LeadingNumber(r.fields[3]));
    int height = ClampCoordinate(LeadingNumber(r.fields[4]));
    r.rect = ControlRect{left, top, left + width, top + height};
    r.keyword = r.fields[5];
    std::string image = RemoveBraces(r.fields[6]);
    if (!image.empty()) r.imageFile = layoutFolder + image;
    r.recordNumber = LeadingNumber(r.fields[8]);
    return r;
}

Property ParseProperty(const std::string& text, const std::string& layoutFolder) {
    Property p;
    size_t bar = text.find('|');
    if (bar == std::string::npos) {
        p.name = text;
        return p;
    }
    p.name = text.substr(0, bar);
    std::string rest;
    size_t second = text.find('|', bar + 1);
    if (second == std::string::npos) {
        rest = text.substr(bar + 1);
    } else {
        p.value = text.substr(bar + 1, second - bar - 1);
        rest = text.substr(second + 1);
    }
    std::string number;
    for (char ch : rest) {
        if (ch != '|') number += ch;
    }
    p.number = LeadingNumber(number);
    if (p.value.find('{') != std::string::npos) p.value = layoutFolder + RemoveBraces(p.value);
    return p;
}

const std::string& ControlEntry::ValueAt(int position) const {
    static const std::string kEmpty;
    if (position < 0 || position >= propertyCount) return kEmpty;
    return properties[position].value;
}

void ControlTable::Reset() {
    for (int i = 0; i < m_count; ++i) m_entries[i] = ControlEntry();
    m_count = 0;
    for (int& n : m_perType) n = 0;
    m_nextId = kFirstWindowId;
}

ControlEntry* ControlTable::Create(ControlType type, const ControlRect& written) {
    int& ofType = m_perType[static_cast<int>(type)];
    if (m_count >= kMaxControls || ofType >= kMaxControlsPerType) return nullptr;
    for (int i = m_count; i > 0; --i) m_entries[i] = std::move(m_entries[i - 1]);
    ++m_count;
    ControlEntry& e = m_entries[0];
    e = ControlEntry();
    e.type = type;
    e.rect = SizeAtCreation(type, written);
    e.windowId = m_nextId++;
    e.typeSlot = ofType++;
    e.defaultText = DefaultTextOf(type, ofType);
    e.identifierName = GeneratedNameOf(type, ofType);
    return &e;
}

int ControlTable::IndexOfId(int windowId) const {
    for (int i = 0; i < m_count; ++i) {
        if (m_entries[i].windowId == windowId) return i;
    }
    return -1;
}

int ControlTable::IndexOfName(const std::string& name) const {
    for (int i = 0; i < m_count; ++i) {
        if (m_entries[i].identifierName == name) return i;
    }
    return -1;
}

void ReadLayout(const ProfileReader& reader, const std::string& path, PageLayout* layout) {
    layout->path = path;
    layout->folder = FolderOfPath(path);
    layout->controls.Reset();
    layout->declaredTotal = 0;
    layout->droppedRecords = 0;
    layout->main = ReadMainWindow(reader);

    int total = LeadingNumber(reader.Read("INFO", "TOTAL", kTotalBufferSize));
    layout->declaredTotal = total;
    if (total <= 0) return;
    // Records past the 70th cannot fit the page; they are not even read, so a
    // huge TOTAL costs nothing.
    int readable = total < kMaxControls ? total : kMaxControls;
    layout->droppedRecords = total - readable;

    // Decide in file order which records are kept, so that a type's limit
    // drops its last records rather than the first ones (which creation,
    // running backwards, would otherwise reach last).
    auto records = std::make_unique<ControlRecord[]>(kMaxControls);
    const ControlTypeInfo* types[kMaxControls] = {};
    int seen[kControlTypeCount] = {};
    for (int i = 0; i < readable; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", i);
        records[i] = ParseControlRecord(ReadValue(reader, "INFO", key), layout->folder);
        const ControlTypeInfo* info = FindControlType(records[i].keyword);
        if (info == nullptr || seen[static_cast<int>(info->type)] >= kMaxControlsPerType) {
            ++layout->droppedRecords;
            continue;
        }
        ++seen[static_cast<int>(info->type)];
        types[i] = info;
    }

    for (int i = readable - 1; i >= 0; --i) {
        if (types[i] == nullptr) continue;
        const ControlRecord& record = records[i];
        ControlEntry* entry = layout->controls.Create(types[i]->type, record.rect);
        if (entry == nullptr) {
            ++layout->droppedRecords;
            continue;
        }
        entry->imageFile = record.imageFile;
        entry->recordNumber = record.recordNumber;

        char key[32];
        std::snprintf(key, sizeof key, "%d,t", record.recordNumber);
        int count = LeadingNumber(ReadValue(reader, "DADOS", key));
        if (count < 0) count = 0;
        if (count > kMaxProperties) count = kMaxProperties;
        for (int j = 0; j < count; ++j) {
            std::snprintf(key, sizeof key, "%d,%d", record.recordNumber, j);
            entry->properties[j] = ParseProperty(ReadValue(reader, "DADOS", key), layout->folder);
        }
        entry->propertyCount = count;
    }
}

}  // namespace kq
