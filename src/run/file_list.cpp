#include "run/file_list.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

#include "base/file.h"
#include "base/product.h"
#include "base/safe_name.h"
#include "base/text.h"

namespace kq {
namespace {

// The one place where the 454-character limit of the record fields applies.
std::string CutField(std::string_view text) {
    return std::string(text.substr(0, kMaxFileFieldLength));
}

// The next field of a second line: text up to `separator` (or to the end),
// with `*pos` moved past the separator.
std::string_view NextField(std::string_view line, size_t* pos, char separator) {
    if (*pos >= line.size()) return {};
    size_t end = line.find(separator, *pos);
    if (end == std::string_view::npos) end = line.size();
    std::string_view field = line.substr(*pos, end - *pos);
    *pos = end + 1;
    return field;
}

FileRecord ParseRecord(std::string_view first, std::string_view second) {
    FileRecord record;
    size_t slash = first.rfind('\\');
    record.fileName = CutField(slash == std::string_view::npos ? first : first.substr(slash + 1));
    record.sourcePath = CutField(first);

    size_t pos = 0;
    record.destinationDir = CutField(NextField(second, &pos, '*'));
    record.options = LeadingNumber(NextField(second, &pos, '*'));
    record.fileMask = LeadingNumber(NextField(second, &pos, '*'));
    record.reserved = LeadingNumber(NextField(second, &pos, '|'));
    std::string feature;
    if (pos < second.size()) {
        for (char c : second.substr(pos)) {
            if (c != '|') feature.push_back(c);
        }
    }
    record.feature = CutField(feature);
    return record;
}

std::string_view WithoutTrailingBackslashes(std::string_view dir) {
    while (!dir.empty() && dir.back() == '\\') dir.remove_suffix(1);
    return dir;
}

}  // namespace

namespace {

// Keeps `text`, cut to the field limit, at the end of `into`.
template <typename Span>
Span Keep(std::string& into, std::string_view text) {
    Span span;
    span.at = uint32_t(into.size());
    span.length = uint16_t(std::min(text.size(), kMaxFileFieldLength));
    into.append(text.data(), span.length);
    return span;
}

}  // namespace

FileRecord FileRecords::operator[](size_t index) const {
    const Entry* entry = nullptr;
    const std::string* text = &m_text;
    if (index >= m_inMemoryFrom) {
        entry = &m_entries[index - m_inMemoryFrom];
    } else {
        if (!ReadBack(index / m_blockRecords)) return FileRecord();
        entry = &m_readEntries[index % m_blockRecords];
        text = &m_readText;
    }
    FileRecord record;
    const std::string_view source = std::string_view(*text).substr(entry->sourceAt, entry->sourceLength);
    if (entry->nameLength != kNameApart) {
        record.fileName = std::string(source.substr(source.size() - entry->nameLength));
    } else {
        auto apart = std::lower_bound(m_namesApart.begin(), m_namesApart.end(), index,
                                      [](const std::pair<size_t, Span>& name, size_t i) { return name.first < i; });
        record.fileName = std::string(View(*text, apart->second));
    }
    record.sourcePath = std::string(source);
    record.destinationDir = std::string(View(m_sharedText, m_texts[entry->destination]));
    record.feature = std::string(View(m_sharedText, m_texts[entry->feature]));
    const Numbers& numbers = m_numbers[entry->numbers];
    record.options = numbers.options;
    record.fileMask = numbers.fileMask;
    record.reserved = numbers.reserved;
    return record;
}

bool FileRecords::ReadBack(size_t block) const {
    if (block == m_readBlock) return true;
    m_readBlock = SIZE_MAX;
    const Spilled& spilled = m_spilled[block];
    m_readEntries.resize(m_blockRecords);
    m_readText.resize(spilled.textLength);
    if (!ReadBlock(m_spill, spilled.at, m_readEntries.data(), m_blockRecords * sizeof(Entry), &m_readText[0],
                   spilled.textLength))
        return false;
    m_readBlock = block;
    return true;
}

uint32_t FileRecords::Shared(std::string_view text, uint32_t last) {
    text = text.substr(0, kMaxFileFieldLength);
    if (!empty() && View(m_sharedText, m_texts[last]) == text) return last;
    m_texts.push_back(Keep<Span>(m_sharedText, text));
    return uint32_t(m_texts.size() - 1);
}

void FileRecords::push_back(const FileRecord& record) {
    Entry entry;
    const Span source = Keep<Span>(m_text, record.sourcePath);
    entry.sourceAt = source.at;
    entry.sourceLength = source.length;
    // The name is mostly the end of the source path, already kept.
    const std::string_view kept = View(m_text, source);
    const std::string_view name = std::string_view(record.fileName).substr(0, kMaxFileFieldLength);
    if (kept.size() >= name.size() && kept.substr(kept.size() - name.size()) == name) {
        entry.nameLength = uint16_t(name.size());
    } else {
        entry.nameLength = kNameApart;
        m_namesApart.emplace_back(size(), Keep<Span>(m_text, name));
    }
    // Files of one folder and feature follow each other in a list.
    entry.destination = Shared(record.destinationDir, m_last.destination);
    entry.feature = Shared(record.feature, m_last.feature);
    const Numbers numbers{record.options, record.fileMask, record.reserved};
    const Numbers* lastNumbers = empty() ? nullptr : &m_numbers[m_last.numbers];
    if (lastNumbers == nullptr || lastNumbers->options != numbers.options ||
        lastNumbers->fileMask != numbers.fileMask || lastNumbers->reserved != numbers.reserved)
        m_numbers.push_back(numbers);
    entry.numbers = uint32_t(m_numbers.size() - 1);
    m_entries.push_back(entry);
    m_last = entry;
    if (m_spilling && m_entries.size() == m_blockRecords) Spill();
}

void FileRecords::Spill() {
    const std::string_view entries(reinterpret_cast<const char*>(m_entries.data()), m_entries.size() * sizeof(Entry));
    long at = 0;
    if (!AppendBlock(m_spill, entries, m_text, &at)) {
        m_spilling = false;
        return;
    }
    m_spilled.push_back(Spilled{at, uint32_t(m_text.size())});
    m_inMemoryFrom += m_entries.size();
    m_entries.clear();
    m_text.clear();
}

void FileRecords::reserve(size_t count, size_t textBytes) {
    if (m_spilling) {
        // A block's share of the text.
        textBytes = count > m_blockRecords ? textBytes / count * m_blockRecords : textBytes;
        count = std::min(count, m_blockRecords);
    }
    m_entries.reserve(count);
    m_text.reserve(textBytes);
}

int32_t FileList::Total() const {
    return files.size() > size_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                       : int32_t(files.size());
}

FileListLoader::FileListLoader(std::FILE* spill) {
    m_list.files.SpillTo(spill);
}

void FileListLoader::Add(std::string_view piece) {
    std::string_view text = piece;
    size_t from = 0;
    if (!m_pending.empty()) {
        // A line break may start at the end of the pending text.
        from = m_pending.size() - 1;
        m_pending.append(piece.data(), piece.size());
        text = m_pending;
    }
    // Only text closed by CR LF is a line; whatever follows the last CR LF
    // waits for the next piece.
    size_t start = 0;
    for (size_t end = text.find("\r\n", from); end != std::string_view::npos; end = text.find("\r\n", start)) {
        Line(text.substr(start, end - start));
        start = end + 2;
    }
    if (text.data() == m_pending.data()) m_pending.erase(0, start);
    else m_pending.assign(text.substr(start));
}

void FileListLoader::Line(std::string_view line) {
    if (!m_haveFirst) {
        m_first.assign(line);
        m_haveFirst = true;
    } else {
        m_list.files.push_back(ParseRecord(m_first, line));
        m_haveFirst = false;
    }
}

// Text after the last line break is dropped, as is a first line left
// without its partner; either says the list was cut short.
FileList FileListLoader::Finish() {
    FileList list = std::move(m_list);
    list.cutShort = m_haveFirst || m_pending.find_first_not_of('\0') != std::string::npos;
    std::unordered_set<std::string> overflow;
    for (const FileRecord& record : list.files) {
        std::string dir(WithoutTrailingBackslashes(record.destinationDir));
        bool known = false;
        // The table is small and bounded, so a linear search is enough.
        for (const std::string& entry : list.directories) {
            if (entry == dir) {
                known = true;
                break;
            }
        }
        if (known) continue;
        if (list.directories.size() < kMaxDirectories) {
            list.directories.push_back(std::move(dir));
        } else if (overflow.insert(dir).second) {
            ++list.droppedDirectories;
        }
    }
    return list;
}

FileList LoadFileList(std::string_view text, std::FILE* spill) {
    FileListLoader loader(spill);
    // The records of a list of many files take megabytes: made once, in
    // place, not grown by doubling (which holds the old and the new array).
    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2)) ++lines;
    // Every text a record keeps is a piece of the list's text.
    loader.Expect(lines / 2, text.size());
    loader.Add(text);
    return loader.Finish();
}

FileOptions DecodeFileOptions(int32_t options) {
    uint32_t bits = static_cast<uint32_t>(options);
    FileOptions decoded;
    decoded.readOnly = (bits & 3) != 0;
    decoded.hidden = (bits & 4) != 0;
    decoded.system = (bits & 8) != 0;
    decoded.mustInstall = (bits & 16) != 0;
    decoded.keepExisting = (bits & 32) != 0;
    decoded.notLogged = (bits & 64) != 0;
    decoded.registerServer = (bits & 128) != 0;
    decoded.expandContent = (bits & 256) != 0;
    return decoded;
}

std::string StripDestinationComputer(std::string_view dir) {
    std::string_view prefix(kDestinationComputer);
    if (dir.substr(0, prefix.size()) == prefix) return std::string(dir.substr(prefix.size()));
    if (dir == prefix.substr(0, prefix.size() - 1)) return std::string();
    return std::string(dir);
}

std::string DirectoryPath(std::string_view tableEntry, const ExpandFn& expand) {
    std::string dir = StripDestinationComputer(tableEntry);
    if (dir.empty()) return dir;
    return expand ? expand(dir) : dir;
}

std::string DestinationPath(const FileRecord& record, const ExpandFn& expand) {
    std::string dir = StripDestinationComputer(record.destinationDir);
    // Without a folder the name alone would land in whatever the current
    // folder happens to be; there is no sensible destination.
    if (dir.empty()) return dir;
    std::string path = WithTrailingBackslash(dir) + record.fileName;
    return expand ? expand(path) : path;
}

bool IsWebSource(std::string_view sourcePath) {
    return sourcePath.find("http:") != std::string_view::npos || sourcePath.find("ftp:") != std::string_view::npos;
}

WebSource SplitWebSource(std::string_view sourcePath) {
    WebSource source;
    size_t brace = sourcePath.find('{');
    source.address = std::string(sourcePath.substr(0, brace));
    if (brace != std::string_view::npos) {
        std::string_view rest = sourcePath.substr(brace + 1);
        source.condition = std::string(rest.substr(0, rest.find('}')));
    }
    return source;
}

std::string WebDestinationPath(const FileRecord& record, const ExpandFn& expand) {
    std::string address = SplitWebSource(record.sourcePath).address;
    std::string_view name(address);
    size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) name = name.substr(slash + 1);
    name = name.substr(0, name.find_first_of("?#"));
    std::string dir = StripDestinationComputer(record.destinationDir);
    if (dir.empty() || !IsSafeLeafName(name)) return std::string();
    std::string path = WithTrailingBackslash(dir) + std::string(name);
    return expand ? expand(path) : path;
}

std::string PackedFileFolder(const char* tempFolder, const char* workingFolderName, const char* sourceFolder,
                             bool diskImage) {
    if (diskImage) return WithTrailingBackslash(sourceFolder) + kDiskImageFolder + "\\";
    return WithTrailingBackslash(tempFolder) + workingFolderName + "\\";
}

std::string PackedEntryName(int32_t index, const char* fileName) {
    return "F" + std::to_string(index) + "_" + fileName;
}

std::string PackedSourcePath(const char* packedFolder, int32_t index, const char* fileName) {
    return std::string(packedFolder) + PackedEntryName(index, fileName);
}

bool IsPackedEntryName(const std::string& name) {
    if (name.size() < 4 || (name[0] != 'F' && name[0] != 'f')) return false;
    size_t at = 1;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9') ++at;
    return at > 1 && at + 1 < name.size() && name[at] == '_';
}

Status CheckFileListWhole(const FileList& list) {
    if (list.cutShort)
        return Status::Error(
            "The file list of this package is damaged: it ends in the middle of a file's lines. "
            "Nothing was installed.");
    for (const FileRecord& record : list.files) {
        if (IsWebSource(record.sourcePath) || IsSafeLeafName(record.fileName)) continue;
        return Status::Error("The file list of this package is damaged: \"" + record.sourcePath +
                             "\" does not end in a plain file name. Nothing was installed.");
    }
    return Status::Ok();
}

std::string PackageSupportFile(const std::string& inWorkingFolder, const std::string& packedFileFolder,
                               const std::function<bool(const std::string&)>& isFile) {
    if (inWorkingFolder.empty() || isFile(inWorkingFolder)) return inWorkingFolder;
    std::string packed = packedFileFolder + std::string(LastPathComponent(inWorkingFolder));
    return isFile(packed) ? packed : inWorkingFolder;
}

}  // namespace kq
