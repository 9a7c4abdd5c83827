#include "record/record_inheritance.h"

#include <map>
#include <set>
#include <string>

#include "base/text.h"

namespace kq {
namespace {

// What makes two entries the same target; "" for entries never merged.
std::string TargetOf(const RecordEntry& e) {
    const std::string root = std::to_string(static_cast<int>(e.root));
    switch (e.kind) {
    case RecordKind::kFile: return "F|" + AsciiLower(e.path);
    case RecordKind::kServer: return "R|" + AsciiLower(e.path);
    case RecordKind::kDir: return "D|" + AsciiLower(WithoutTrailingBackslash(e.path));
    case RecordKind::kService: return "S|" + AsciiLower(e.path);
    case RecordKind::kKey: return "K|" + root + "|" + AsciiLower(e.subKey);
    case RecordKind::kValue: return "V|" + root + "|" + AsciiLower(e.subKey) + "|" + AsciiLower(e.name);
    case RecordKind::kAppend:
        return "A|" + root + "|" + AsciiLower(e.subKey) + "|" + AsciiLower(e.name) + "|" + AsciiLower(e.text);
    case RecordKind::kIni:
        return "I|" + AsciiLower(e.path) + "|" + AsciiLower(e.subKey) + "|" + AsciiLower(e.name);
    case RecordKind::kShared: return std::string();
    }
    return std::string();
}

// The last earlier entry of each target, found by one pass: a run over
// an installation of many files looks each of its own entries up.
std::map<std::string, const RecordEntry*> EarlierByTarget(const std::vector<RecordEntry>& earlier) {
    std::map<std::string, const RecordEntry*> byTarget;
    for (const RecordEntry& e : earlier) {
        std::string target = TargetOf(e);
        if (!target.empty()) byTarget[std::move(target)] = &e;
    }
    return byTarget;
}

}  // namespace

std::vector<RecordEntry> InheritEarlierRecord(const std::vector<RecordEntry>& earlier,
                                              const std::vector<RecordEntry>& current) {
    std::vector<RecordEntry> merged;
    std::set<std::string> superseded;  // earlier targets the run's entries stand for
    std::vector<RecordEntry> own;
    const std::map<std::string, const RecordEntry*> byTarget = EarlierByTarget(earlier);
    for (RecordEntry entry : current) {
        const std::string target = TargetOf(entry);
        const auto found = target.empty() ? byTarget.end() : byTarget.find(target);
        const RecordEntry* before = found == byTarget.end() ? nullptr : found->second;
        if (before == nullptr) {
            own.push_back(std::move(entry));
            continue;
        }
        switch (entry.kind) {
        case RecordKind::kFile:
            if (before->origin == FileOrigin::kNew && entry.origin == FileOrigin::kKept) continue;  // the earlier one stands
            if (before->origin == FileOrigin::kNew) entry.origin = FileOrigin::kNew;
            superseded.insert(target);
            own.push_back(std::move(entry));
            continue;
        case RecordKind::kValue:
            entry.before = before->before;
            superseded.insert(target);
            own.push_back(std::move(entry));
            continue;
        case RecordKind::kIni:
            entry.existed = before->existed;
            entry.previous = before->previous;
            superseded.insert(target);
            own.push_back(std::move(entry));
            continue;
        default:
            continue;  // listed once, by the earlier run
        }
    }
    std::set<std::string> listed;
    for (const RecordEntry& entry : earlier) {
        const std::string target = TargetOf(entry);
        if (!target.empty() && (superseded.count(target) != 0 || !listed.insert(target).second)) continue;
        merged.push_back(entry);
    }
    for (RecordEntry& entry : own) merged.push_back(std::move(entry));
    return merged;
}

}  // namespace kq
