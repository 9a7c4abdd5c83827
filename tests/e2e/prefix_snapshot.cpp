#include "prefix_snapshot.h"

#include "pe_imports.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <sstream>

#include <sys/stat.h>

namespace kq::e2e {
namespace {

// The places left out (prefix_snapshot.h says why): registry places as
// they are written in Wine's registry files (lower case, backslashes
// doubled), files as a prefix of their path relative to drive C.
constexpr char kPendingOperations[] = "\"pendingfilerenameoperations\"";
const char* const kVolatileKeys[] = {
    "hardware\\\\devicemap",     "currentversion\\\\perflib",
    "services\\\\tcpip",         "currentversion\\\\networkcards",
    "software\\\\wine\\\\fonts", "currentcontrolset\\\\control\\\\class\\\\",
    kPendingOperations,
};
const char* const kVolatileFiles[] = {
    "users/",  // the profiles' temporary folders and Wine's caches (the desktop is a folder of its own, below)
    "windows/temp/",
    "windows/system32/wbem/",
};

bool StartsWithAny(const std::string& text, const char* const* prefixes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (text.compare(0, std::char_traits<char>::length(prefixes[i]), prefixes[i]) == 0) return true;
    }
    return false;
}

uint64_t Fnv1a(const std::string& bytes) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// "size:hash" of a file. A case takes several snapshots of a prefix of more
// than a gigabyte (the 64-bit one holds both system folders), nearly all of
// it Wine's own files that no run touches: a file whose inode, size and
// change times are those of an earlier look is not read again. Any write
// moves the modification time, and a rename or new link the change time.
std::string FileState(const fs::path& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return "unreadable";
    std::ostringstream key;
    key << st.st_dev << ':' << st.st_ino << ':' << st.st_size << ':' << st.st_mtim.tv_sec << '.'
        << st.st_mtim.tv_nsec << ':' << st.st_ctim.tv_sec << '.' << st.st_ctim.tv_nsec;
    static std::mutex mutex;
    static std::map<std::string, std::string> known;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = known.find(key.str());
        if (it != known.end()) return it->second;
    }
    const std::string content = ReadFile(path);
    const std::string state = std::to_string(content.size()) + ":" + std::to_string(Fnv1a(content));
    std::lock_guard<std::mutex> lock(mutex);
    known[key.str()] = state;
    return state;
}

// The files on drive C a value line of PendingFileRenameOperations names
// for deletion (a path followed by an empty one), as snapshot paths. Wine
// writes the strings with their backslashes doubled, each ended by "\0".
std::set<std::string> DeletedAtStart(const std::string& line) {
    const size_t open = line.find(":\"");
    const size_t close = line.rfind('"');
    if (open == std::string::npos || close <= open + 2) return {};
    std::vector<std::string> names(1);
    for (size_t at = open + 2; at < close; ++at) {
        if (line[at] != '\\' || at + 1 == close) {
            names.back() += line[at];
        } else if (line[++at] == '0') {
            names.emplace_back();
        } else {
            names.back() += line[at] == '\\' ? '/' : line[at];
        }
    }
    std::set<std::string> deleted;
    for (size_t i = 0; i + 1 < names.size(); i += 2) {
        if (names[i + 1].empty() && names[i].compare(0, 7, "/?\?/c:/") == 0) deleted.insert(names[i].substr(7));
    }
    return deleted;
}

}  // namespace

std::vector<std::string> Diff(const Snapshot& before, const Snapshot& after) {
    std::vector<std::string> lines;
    for (const auto& [path, state] : before.files) {
        auto it = after.files.find(path);
        if (it == after.files.end()) lines.push_back("- file " + path);
        else if (it->second != state) lines.push_back("~ file " + path);
    }
    for (const auto& [path, state] : after.files) {
        if (before.files.count(path) == 0) lines.push_back("+ file " + path);
    }
    for (const std::string& line : before.registry) {
        if (after.registry.count(line) == 0) lines.push_back("- reg " + line);
    }
    for (const std::string& line : after.registry) {
        if (before.registry.count(line) == 0) lines.push_back("+ reg " + line);
    }
    return lines;
}

Snapshot TakeSnapshot(WineSession& session, const std::string& folder) {
    session.StopAll();  // the registry files are written when the wineserver ends
    Snapshot snapshot;
    const fs::path drive = session.DriveC();
    std::error_code missing;
    for (auto it =
             fs::recursive_directory_iterator(drive / folder, fs::directory_options::skip_permission_denied, missing);
         it != fs::recursive_directory_iterator(); ++it) {
        std::string relative = Lower(fs::relative(it->path(), drive).generic_string());
        if (it->is_symlink()) {
            if (it->is_directory()) it.disable_recursion_pending();
            continue;
        }
        bool desktop = relative.find("/desktop") != std::string::npos;
        if (!desktop && StartsWithAny(relative, kVolatileFiles, std::size(kVolatileFiles))) continue;
        if (it->is_directory()) {
            snapshot.files[relative] = "dir";
        } else {
            snapshot.files[relative] = FileState(it->path());
        }
    }
    for (const char* file : {"system.reg", "user.reg", "userdef.reg"}) {
        std::istringstream lines(ReadFile(session.Prefix() / file));
        std::string key;
        std::string pending;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!pending.empty()) {
                pending += line;
            } else {
                pending = line;
            }
            if (!pending.empty() && pending.back() == '\\') {
                pending.pop_back();
                continue;
            }
            line = pending;
            pending.clear();
            if (line.empty() || line[0] == ';' || line[0] == '#') continue;
            if (line[0] == '[') {
                key = Lower(std::string(file) + ":" + line.substr(1, line.find(']') - 1));
                snapshot.registry.insert(key);
                continue;
            }
            snapshot.registry.insert(key + "|" + Lower(line));
        }
    }
    for (const std::string& line : snapshot.registry) {
        if (line.find(kPendingOperations) != std::string::npos) snapshot.deletedAtStart = DeletedAtStart(line);
    }
    // The volatile places, whichever file they are kept in.
    for (auto it = snapshot.registry.begin(); it != snapshot.registry.end();) {
        bool isVolatile = false;
        for (const char* place : kVolatileKeys) isVolatile = isVolatile || it->find(place) != std::string::npos;
        it = isVolatile ? snapshot.registry.erase(it) : std::next(it);
    }
    return snapshot;
}

std::vector<std::string> DropRunnerTrace(std::vector<std::string> diff, const Snapshot& after) {
    diff.erase(std::remove_if(diff.begin(), diff.end(),
                              [&after](const std::string& line) {
                                  return line.compare(0, 7, "+ file ") == 0 &&
                                         after.deletedAtStart.count(line.substr(7)) != 0;
                              }),
               diff.end());
    return diff;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace kq::e2e
