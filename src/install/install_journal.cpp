#include "install/install_journal.h"

#include <cstdio>

#include "record/uninstall_log.h"

namespace kq {

std::string ValueStateText(const ValueState& state) {
    if (state.type == kValueString || state.type == kValueExpandString) return TextOfState(state);
    if (state.type == kValueNumber && state.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(state.data[i]);
        return std::to_string(number);
    }
    std::string hex;
    char pair[3];
    for (char c : state.data) {
        std::snprintf(pair, sizeof(pair), "%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        hex += pair;
    }
    return hex;
}

void JournalRecordEntry(RunJournal& journal, const RecordEntry& entry) {
    if (!journal.Active()) return;
    const std::string key = FormatRegistryKeyPath(entry.root, entry.subKey);
    switch (entry.kind) {
    case RecordKind::kFile: {
        JsonObject line = journal.Entry("file");
        line.Add("action", FileOriginName(entry.origin)).Add("path", entry.path);
        const std::string& hash = entry.fingerprint.hash;
        // The key names the hash's kind; the value is its digits.
        if (KindOfHash(hash) == HashKind::kSha256) {
            line.Add("sha256", hash).Add("size", entry.fingerprint.size);
        } else if (!hash.empty()) {
            line.Add("xxh3", hash.substr(hash.find(':') + 1)).Add("size", entry.fingerprint.size);
        }
        journal.Write(line);
        return;
    }
    case RecordKind::kShared:
        journal.Write(journal.Entry("shared").Add("path", entry.path));
        return;
    case RecordKind::kServer:
        journal.Write(journal.Entry("server").Add("path", entry.path));
        return;
    case RecordKind::kDir:
        journal.Write(journal.Entry("folder").Add("path", entry.path));
        return;
    case RecordKind::kKey:
        journal.Write(journal.Entry("key").Add("key", key));
        return;
    case RecordKind::kValue: {
        JsonObject line = journal.Entry("value");
        line.Add("key", key).Add("name", entry.name);
        if (entry.before.present) line.Add("before", ValueStateText(entry.before));
        if (entry.after.present) line.Add("after", ValueStateText(entry.after));
        journal.Write(line);
        return;
    }
    case RecordKind::kAppend:
        journal.Write(journal.Entry("append").Add("key", key).Add("name", entry.name).Add("text", entry.text));
        return;
    case RecordKind::kIni:
        journal.Write(journal.Entry("ini")
                          .Add("file", entry.path)
                          .Add("section", entry.subKey)
                          .Add("key", entry.name)
                          .Add("value", entry.text));
        return;
    case RecordKind::kService:
        journal.Write(journal.Entry("service").Add("name", entry.path));
        return;
    }
}

void JournalLogLine(RunJournal& journal, const char* kind, const std::string& value) {
    if (journal.Active() && std::string(kind) == logkind::kShortcut)
        journal.Write(journal.Entry("shortcut").Add("path", value));
}

void JournalReporter::SetStatus(const std::string& text, int line) {
    if (line == 0) m_journal.Step(text);
    if (m_page != nullptr) m_page->SetStatus(text, line);
}

}  // namespace kq
