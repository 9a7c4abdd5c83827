#include "record/install_record.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "base/file.h"
#include "base/text.h"
#include "crypt/sha256.h"
#include "record/xxh3_sum.h"

namespace kq {
namespace {

constexpr char kHeader[] = "KQR\t1";
constexpr char kRunKind[] = "RUN";
constexpr char kAsideKind[] = "ASIDE";
constexpr char kTemporaryKind[] = "TEMP";
constexpr char kReleasedKind[] = "RELEASED";
constexpr char kCountingKind[] = "COUNTING";
constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kEmptySha256[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kXxh3Prefix[] = "xxh3:";
// What a kept line may share with the one before (its count takes a byte),
// and the size of the blocks the kept lines lie in.
constexpr size_t kMostShared = 255;
constexpr size_t kLineBlockBytes = size_t(1) << 15;

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '%') {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unescape(std::string_view text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        int high = HexDigit(text[i + 1]);
        int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        *out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string Hex(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        out += kHex[u >> 4];
        out += kHex[u & 15];
    }
    return out;
}

bool FromHex(std::string_view hex, std::string* bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        *bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

std::string FormatState(const ValueState& state) {
    if (!state.present) return "-";
    return std::to_string(state.type) + ":" + Hex(state.data);
}

bool ParseState(std::string_view text, ValueState* state) {
    *state = ValueState();
    if (text == "-") return true;
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2) return false;
    uint32_t type = 0;
    for (char c : text.substr(0, colon)) {
        if (c < '0' || c > '9') return false;
        type = type * 10 + uint32_t(c - '0');
    }
    if (type < kValueString || type > kValueNumber) return false;
    if (!FromHex(text.substr(colon + 1), &state->data)) return false;
    if (type == kValueNumber && state->data.size() != 4) return false;
    state->present = true;
    state->type = type;
    return true;
}

bool IsLowerHexOfSize(std::string_view text, size_t size) {
    if (text.size() != size) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool ParseSize(std::string_view text, uint64_t* size) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    *size = value;
    return true;
}

// A key path the registry could hold: names of 1 to 255 characters, none
// below 0x20, one backslash between them. A record that setup wrote never
// holds another shape; an edited one could smuggle one past the checks that
// compare key paths part by part.
bool IsKeyPathShape(std::string_view subKey) {
    size_t length = 0;
    for (char c : subKey) {
        if (c == '\\') {
            if (length == 0) return false;
            length = 0;
        } else if (static_cast<unsigned char>(c) < 0x20 || ++length > kMaxRegistryText) {
            return false;
        }
    }
    return length != 0;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t') {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

using Fields = std::vector<std::string>;

// A registry key path as the record writes it, into `entry`.
const char* ReadKeyPath(const std::string& text, RecordEntry* entry) {
    RegistryKeyPath path;
    if (!ParseRegistryKeyPath(text, &path) || path.subKey.empty()) return "no registry key below a root";
    if (FormatRegistryKeyPath(path.root, path.subKey) != text || !IsKeyPathShape(path.subKey))
        return "not a registry key path";
    entry->root = path.root;
    entry->subKey = path.subKey;
    return nullptr;
}

const char* ReadFileEntry(const Fields& f, RecordEntry* entry) {
    if (f.size() != 5) return "FILE needs 4 fields";
    entry->kind = RecordKind::kFile;
    if (!ParseFileOrigin(f[1], &entry->origin)) return "unknown file origin";
    entry->path = f[2];
    if (entry->origin != FileOrigin::kKept) {
        if (!IsRecordHash(f[3])) return "no hash";
        if (!ParseSize(f[4], &entry->fingerprint.size)) return "no size";
        entry->fingerprint.hash = f[3];
    }
    return nullptr;
}

const char* ReadValueEntry(const Fields& f, RecordEntry* entry) {
    if (f.size() != 5) return "VALUE needs 4 fields";
    entry->kind = RecordKind::kValue;
    if (const char* problem = ReadKeyPath(f[1], entry)) return problem;
    entry->name = f[2];
    if (!ParseState(f[3], &entry->before) || !ParseState(f[4], &entry->after)) return "bad value state";
    return nullptr;
}

const char* ReadAppendEntry(const Fields& f, RecordEntry* entry) {
    if (f.size() != 5) return "APPEND needs 4 fields";
    entry->kind = RecordKind::kAppend;
    if (const char* problem = ReadKeyPath(f[1], entry)) return problem;
    entry->name = f[2];
    entry->text = f[3];
    if (f[4] != "0" && f[4] != "1") return "existed must be 0 or 1";
    entry->existed = f[4] == "1";
    if (entry->text.empty()) return "empty appended part";
    return nullptr;
}

const char* ReadIniEntry(const Fields& f, RecordEntry* entry) {
    if (f.size() != 6) return "INI needs 5 fields";
    entry->kind = RecordKind::kIni;
    entry->path = f[1];
    entry->subKey = f[2];
    entry->name = f[3];
    if (f[4] == "-") {
        entry->existed = false;
    } else if (!f[4].empty() && f[4][0] == '=') {
        entry->existed = true;
        entry->previous = f[4].substr(1);
    } else {
        return "bad previous INI value";
    }
    entry->text = f[5];
    if (entry->subKey.empty() || entry->name.empty()) return "empty INI section or key";
    return nullptr;
}

// Reads one line's fields (already unescaped) into `entry`; the reason when
// it cannot.
const char* ReadEntry(const Fields& f, RecordEntry* entry) {
    const std::string& kind = f[0];
    if (kind == "FILE") return ReadFileEntry(f, entry);
    if (kind == "SHARED") {
        if (f.size() != 3) return "SHARED needs 2 fields";
        if (f[2] != "0" && f[2] != "1") return "counted before must be 0 or 1";
        entry->kind = RecordKind::kShared;
        entry->path = f[1];
        entry->existed = f[2] == "1";
        return nullptr;
    }
    if (kind == "SERVER" || kind == "DIR" || kind == "SERVICE") {
        if (f.size() != 2) return "needs 1 field";
        entry->kind = kind == "SERVER" ? RecordKind::kServer : kind == "DIR" ? RecordKind::kDir : RecordKind::kService;
        entry->path = f[1];
        return nullptr;
    }
    if (kind == "KEY") {
        if (f.size() != 2) return "KEY needs 1 field";
        entry->kind = RecordKind::kKey;
        return ReadKeyPath(f[1], entry);
    }
    if (kind == "VALUE") return ReadValueEntry(f, entry);
    if (kind == "APPEND") return ReadAppendEntry(f, entry);
    if (kind == "INI") return ReadIniEntry(f, entry);
    return "unknown kind";
}

}  // namespace

ValueState StringState(const std::string& text, bool expandable) {
    ValueState state;
    state.present = true;
    state.type = expandable ? kValueExpandString : kValueString;
    state.data = text;
    state.data += '\0';
    return state;
}

ValueState NumberState(uint32_t number) {
    ValueState state;
    state.present = true;
    state.type = kValueNumber;
    for (int i = 0; i < 4; ++i) state.data += static_cast<char>((number >> (8 * i)) & 0xFF);
    return state;
}

std::string TextOfState(const ValueState& state) {
    std::string text = state.data;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

HashKind KindOfHash(std::string_view hash) {
    return hash.size() == 64 ? HashKind::kSha256 : HashKind::kXxh3;
}

bool IsRecordHash(std::string_view text) {
    const size_t prefix = sizeof(kXxh3Prefix) - 1;
    if (text.substr(0, prefix) == kXxh3Prefix) return IsLowerHexOfSize(text.substr(prefix), 16);
    return IsLowerHexOfSize(text, 64);
}

struct FingerprintBuilder::Digest {
    CSHA sha;
    Xxh3Sum xxh3;
};

FingerprintBuilder::FingerprintBuilder(HashKind kind) : m_kind(kind), m_digest(std::make_unique<Digest>()) {}
FingerprintBuilder::~FingerprintBuilder() = default;

void FingerprintBuilder::Add(const void* bytes, size_t length) {
    m_size += length;
    if (m_kind == HashKind::kXxh3) {
        m_digest->xxh3.Add(bytes, length);
        return;
    }
    const char* at = static_cast<const char*>(bytes);
    // AddData takes an int: large contents go in pieces.
    constexpr size_t kPiece = 1u << 30;
    while (length > 0) {
        const size_t piece = length < kPiece ? length : kPiece;
        m_digest->sha.AddData(at, static_cast<int>(piece));
        at += piece;
        length -= piece;
    }
}

FileFingerprint FingerprintBuilder::Finish() {
    FileFingerprint fingerprint;
    fingerprint.size = m_size;
    m_size = 0;
    if (m_kind == HashKind::kXxh3) {
        char digits[17];
        std::snprintf(digits, sizeof(digits), "%016llx", static_cast<unsigned long long>(m_digest->xxh3.Finish()));
        fingerprint.hash = std::string(kXxh3Prefix) + digits;
        return fingerprint;
    }
    if (fingerprint.size == 0) {
        fingerprint.hash = kEmptySha256;
        return fingerprint;
    }
    uint8_t digest[CSHA::kDigestSize];
    m_digest->sha.FinalDigest(digest);
    fingerprint.hash = AsciiLower(Hex(std::string_view(reinterpret_cast<const char*>(digest), sizeof(digest))));
    return fingerprint;
}

FileFingerprint FingerprintOf(std::string_view bytes, HashKind kind) {
    FingerprintBuilder builder(kind);
    builder.Add(bytes.data(), bytes.size());
    return builder.Finish();
}

namespace {

std::string JoinFields(const std::vector<std::string>& f) {
    std::string line;
    for (size_t i = 0; i < f.size(); ++i) {
        if (i > 0) line += '\t';
        line += Escape(f[i]);
    }
    return line + "\r\n";
}

// RUN, ASIDE, TEMP, RELEASED and COUNTING, the lines of a run in progress;
// false for other kinds.
bool ReadRunLine(const std::vector<std::string>& f, ParsedRecord* record, const char** problem) {
    *problem = nullptr;
    if (f[0] == kRunKind) {
        if (f.size() != 2) {
            *problem = "RUN needs 1 field";
            return true;
        }
        record->inProgress = true;
        record->installDir = f[1];
        return true;
    }
    if (f[0] == kTemporaryKind || f[0] == kReleasedKind) {
        if (f.size() != 2 || f[1].empty()) *problem = "needs 1 field";
        else (f[0] == kTemporaryKind ? record->temporary : record->released).push_back(f[1]);
        return true;
    }
    if (f[0] == kCountingKind) {
        CountTaken count;
        if (f.size() != 4 || f[1].empty()) *problem = "COUNTING needs 3 fields";
        else if (!ParseState(f[2], &count.before) || !ParseState(f[3], &count.after)) *problem = "bad value state";
        else {
            count.path = f[1];
            record->counting.push_back(std::move(count));
        }
        return true;
    }
    if (f[0] != kAsideKind) return false;
    if (f.size() != 3 || f[1].empty() || f[2].empty()) *problem = "ASIDE needs 2 fields";
    else record->setAside.push_back({f[1], f[2]});
    return true;
}

}  // namespace

std::string FormatRecordInProgress(const std::string& installDir) {
    return std::string(kHeader) + "\r\n" + JoinFields({kRunKind, installDir});
}

std::string FormatSetAsideLine(const SetAsideCopy& aside) {
    return JoinFields({kAsideKind, aside.path, aside.copy});
}

std::string FormatTemporaryLine(const std::string& path) {
    return JoinFields({kTemporaryKind, path});
}

std::string FormatReleasedLine(const std::string& path) {
    return JoinFields({kReleasedKind, path});
}

std::string FormatCountingLine(const CountTaken& count) {
    return JoinFields({kCountingKind, count.path, FormatState(count.before), FormatState(count.after)});
}

const char* FileOriginName(FileOrigin origin) {
    return kFileOriginNames[static_cast<size_t>(origin)];
}

bool ParseFileOrigin(std::string_view name, FileOrigin* origin) {
    for (size_t i = 0; i < std::size(kFileOriginNames); ++i) {
        if (name == kFileOriginNames[i]) {
            *origin = static_cast<FileOrigin>(i);
            return true;
        }
    }
    return false;
}

std::string FormatRecordLine(const RecordEntry& e) {
    std::vector<std::string> f;
    switch (e.kind) {
        case RecordKind::kFile:
            f = {"FILE", FileOriginName(e.origin), e.path, e.origin == FileOrigin::kKept ? "" : e.fingerprint.hash,
                 e.origin == FileOrigin::kKept ? "" : std::to_string(e.fingerprint.size)};
            break;
        case RecordKind::kShared: f = {"SHARED", e.path, e.existed ? "1" : "0"}; break;
        case RecordKind::kServer: f = {"SERVER", e.path}; break;
        case RecordKind::kDir: f = {"DIR", e.path}; break;
        case RecordKind::kService: f = {"SERVICE", e.path}; break;
        case RecordKind::kKey: f = {"KEY", FormatRegistryKeyPath(e.root, e.subKey)}; break;
        case RecordKind::kValue:
            f = {"VALUE", FormatRegistryKeyPath(e.root, e.subKey), e.name, FormatState(e.before),
                 FormatState(e.after)};
            break;
        case RecordKind::kAppend:
            f = {"APPEND", FormatRegistryKeyPath(e.root, e.subKey), e.name, e.text, e.existed ? "1" : "0"};
            break;
        case RecordKind::kIni:
            f = {"INI", e.path, e.subKey, e.name, e.existed ? "=" + e.previous : "-", e.text};
            break;
    }
    return JoinFields(f);
}

std::string FormatRecord(const std::vector<RecordEntry>& entries) {
    std::string text = std::string(kHeader) + "\r\n";
    for (const RecordEntry& entry : entries) text += FormatRecordLine(entry);
    return text;
}

ParsedRecord ParseRecord(std::string_view text) {
    ParsedRecord record;
    size_t start = 0;
    size_t number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        // A last line without its break may be cut short: not taken.
        if (end == std::string_view::npos) {
            record.refused.push_back("line " + std::to_string(number + 1) + ": cut short");
            break;
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (number == 1) {
            record.valid = line == kHeader;
            if (!record.valid) {
                record.refused.push_back("line 1: not an install record");
                return record;
            }
            continue;
        }
        if (line.empty()) continue;
        std::vector<std::string> fields;
        bool escapesOk = true;
        for (std::string_view raw : SplitTabs(line)) {
            std::string field;
            if (!Unescape(raw, &field)) escapesOk = false;
            fields.push_back(std::move(field));
        }
        RecordEntry entry;
        const char* problem = "bad % escape";
        if (escapesOk && ReadRunLine(fields, &record, &problem)) {
            if (problem != nullptr) record.refused.push_back("line " + std::to_string(number) + ": " + problem);
            continue;
        }
        if (escapesOk) problem = ReadEntry(fields, &entry);
        if (problem != nullptr) {
            record.refused.push_back("line " + std::to_string(number) + ": " + problem);
        } else {
            record.entries.push_back(std::move(entry));
        }
    }
    return record;
}

void InstallRecord::File(FileOrigin origin, const std::string& path, const FileFingerprint& fingerprint) {
    RecordEntry entry;
    entry.kind = RecordKind::kFile;
    entry.origin = origin;
    entry.path = path;
    entry.fingerprint = fingerprint;
    Add(std::move(entry));
}

void InstallRecord::Folder(const std::string& path) {
    RecordEntry entry;
    entry.kind = RecordKind::kDir;
    entry.path = WithoutTrailingBackslash(path);
    Add(std::move(entry));
}

RecordEntry RegistryEntry(RecordKind kind, RegistryRoot root, const std::string& subKey, const std::string& name) {
    RecordEntry entry;
    entry.kind = kind;
    entry.root = root;
    entry.subKey = subKey;
    entry.name = name;
    return entry;
}

RecordEntry KeyEntry(RegistryRoot root, const std::string& subKey) {
    return RegistryEntry(RecordKind::kKey, root, subKey, std::string());
}

void InstallRecord::Key(RegistryRoot root, const std::string& subKey) {
    Add(KeyEntry(root, subKey));
}

void InstallRecord::Value(RegistryRoot root, const std::string& subKey, const std::string& name,
                          const ValueState& before, const ValueState& after) {
    RecordEntry entry = RegistryEntry(RecordKind::kValue, root, subKey, name);
    entry.before = before;
    entry.after = after;
    Add(std::move(entry));
}

namespace {

// True when `line` reads back as one entry that is written as `line` again.
bool ReadsBack(const std::string& line) {
    const ParsedRecord parsed = ParseRecord(std::string(kHeader) + "\r\n" + line);
    return parsed.refused.empty() && parsed.entries.size() == 1 && FormatRecordLine(parsed.entries[0]) == line;
}

}  // namespace

void InstallRecord::Add(RecordEntry entry) {
    if (m_observer) m_observer(entry);
    std::string line = FormatRecordLine(entry);
    if (m_sink) m_sink(line);
    if (m_writtenMade) NoteWritten(entry);
    if (ReadsBack(line)) KeepLine(line);
    else m_whole.emplace_back(m_count, std::move(entry));
    ++m_count;
}

void InstallRecord::KeepLine(const std::string& line) {
    // A line that reads back ends in its LF, which the next one shares
    // only if it is the same line: at least the LF is always kept.
    const size_t most = std::min({m_last.size(), line.size() - 1, kMostShared});
    size_t shared = 0;
    while (shared < most && m_last[shared] == line[shared]) ++shared;
    if (m_blocks.empty() || m_blocks.back().size() + 1 + line.size() - shared > m_blocks.back().capacity()) {
        // Each block reads on its own: its first line shares nothing.
        shared = 0;
        // The full block goes to the spill file, when there is one, and its
        // memory takes the next block.
        long end = -1;
        if (m_blocks.size() == 1 && m_spill != nullptr && AppendBlock(m_spill, m_blocks[0], {}, &end)) {
            if (m_spilled.empty()) m_spillFrom = end;
            m_spilled.push_back(m_blocks[0].size());
            m_blocks[0].clear();
        } else {
            m_blocks.emplace_back();
        }
        m_blocks.back().reserve(std::max(1 + line.size(), kLineBlockBytes));
    }
    m_blocks.back() += static_cast<char>(shared);
    m_blocks.back().append(line, shared, std::string::npos);
    m_last = line;
    m_lineBytes += line.size();
}

void InstallRecord::ForEachLine(const std::function<void(const std::string&)>& visit) const {
    std::string line;
    auto lines = [&](const std::string& block) {
        for (size_t at = 0; at < block.size();) {
            const size_t shared = static_cast<unsigned char>(block[at]);
            const size_t end = block.find('\n', at + 1) + 1;
            line.resize(shared);
            line.append(block, at + 1, end - at - 1);
            at = end;
            visit(line);
        }
    };
    if (!m_spilled.empty()) {
        std::string block;
        std::fseek(m_spill, m_spillFrom, SEEK_SET);
        for (size_t length : m_spilled) {
            block.resize(length);
            // A block that does not read back whole is not taken in part;
            // the next one reads on its own.
            if (std::fread(&block[0], 1, length, m_spill) != length) block.clear();
            lines(block);
        }
    }
    for (const std::string& block : m_blocks) lines(block);
}

void InstallRecord::Clear() {
    m_blocks = std::vector<std::string>();
    m_spilled.clear();
    m_last = std::string();
    m_lineBytes = 0;
    m_count = 0;
    m_whole.clear();
    m_written.Clear();
    m_writtenMade = false;
}

void InstallRecord::SpillTo(std::FILE* file) {
    m_spill = file;
}

void InstallRecord::ForEachEntry(const std::function<void(const RecordEntry&)>& visit) const {
    // One line at a time: the entries of a run's many files at once would
    // take several times the memory of their lines.
    auto whole = m_whole.begin();
    size_t place = 0;
    ForEachLine([&](const std::string& line) {
        for (; whole != m_whole.end() && whole->first == place; ++place) visit((whole++)->second);
        const ParsedRecord parsed = ParseRecord(std::string(kHeader) + "\r\n" + line);
        for (const RecordEntry& entry : parsed.entries) visit(entry);
        ++place;
    });
    for (; whole != m_whole.end(); ++whole) visit(whole->second);
}

std::vector<RecordEntry> InstallRecord::Entries() const {
    std::vector<RecordEntry> entries;
    entries.reserve(m_count);
    ForEachEntry([&entries](const RecordEntry& entry) { entries.push_back(entry); });
    return entries;
}

std::string InstallRecord::Text() const {
    std::string text;
    text.reserve(sizeof(kHeader) + 1 + m_lineBytes);
    WriteText([&text](std::string_view piece) { text += piece; });
    return text;
}

void InstallRecord::WriteText(const TextPieces& write) const {
    write(std::string(kHeader) + "\r\n");
    if (m_whole.empty()) ForEachLine(write);
    else ForEachEntry([&write](const RecordEntry& entry) { write(FormatRecordLine(entry)); });
}

void InstallRecord::NoteWritten(const RecordEntry& entry) const {
    if (entry.kind == RecordKind::kFile && entry.origin != FileOrigin::kKept) m_written.Insert(AsciiLower(entry.path));
}

bool InstallRecord::Wrote(const std::string& path) const {
    if (!m_writtenMade) {
        ForEachEntry([this](const RecordEntry& entry) { NoteWritten(entry); });
        m_writtenMade = true;
    }
    return m_written.Contains(AsciiLower(path));
}

void InstallRecord::SetAside(const std::string& path, const std::string& copy) {
    if (!m_asidePaths.insert(AsciiLower(path)).second) return;
    m_asideCopies.push_back({path, copy});
    if (m_sink) m_sink(FormatSetAsideLine(m_asideCopies.back()));
}

void InstallRecord::Ahead(const RecordEntry& entry) {
    if (m_sink) m_sink(FormatRecordLine(entry));
}

void InstallRecord::Counting(const CountTaken& count) {
    if (m_sink) m_sink(FormatCountingLine(count));
}

void InstallRecord::Temporary(const std::string& path) {
    if (m_sink) m_sink(FormatTemporaryLine(path));
}

void InstallRecord::Temporary(const std::vector<std::string>& paths) {
    std::string lines;
    for (const std::string& path : paths) lines += FormatTemporaryLine(path);
    if (m_sink && !lines.empty()) m_sink(lines);
}

bool InstallRecord::IsSetAside(const std::string& path) const {
    return m_asidePaths.count(AsciiLower(path)) != 0;
}

}  // namespace kq
