// The uninstall log: one text line per change the installation made, read
// later by the maintenance runner to undo them.
//
// Each line is KIND=value followed by CR LF, in the system code page, with
// no header. Values are written as they are, never quoted or escaped; a
// value may contain '=' (only the first one separates). Lines are only
// appended, in the order the install steps run, and the same kind repeats.
// The log is deleted at the start of every install run (an earlier
// installation's is first set aside until the run commits, see
// earlier_registration_win.h), so it describes exactly one run; when it
// cannot be deleted nothing is added to it.
//
// A line break inside a value would turn the rest of it into an entry of
// its own (a value name ending in "\r\nFILE=C:\..." would have the
// uninstaller delete that file), so such a line is refused, as is a kind
// that is empty or holds '=' or a line break.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/no_copy.h"

namespace kq {

// Entry kinds, in the order in which they first appear in a log.
namespace logkind {
constexpr char kTotalFile[] = "TOTALFILE";  // number of file records
constexpr char kDir[] = "DIR";              // a created directory
constexpr char kRun3rd[] = "RUN3RD";        // maintenance program's file name
constexpr char kRun3rdCmd[] = "RUN3RDCMD";  // its arguments
constexpr char kRemoveAll[] = "REMOVEALL";  // "Yes"
constexpr char kFile[] = "FILE";            // a file setup placed
constexpr char kShortcut[] = "SHORTCUT";    // a shortcut setup created
constexpr char kRegKey[] = "REGKEY";        // root name \ key path
constexpr char kRegVal[] = "REGVAL";        // root name \ key path \ value name
constexpr char kRemKey[] = "REMKEY";        // HKEY_CLASSES_ROOT\ class or extension
constexpr char kNtService[] = "NTSERVICE";  // an installed service
}  // namespace logkind

// The file name of the log inside the maintenance folder.
constexpr char kUninstallLogName[] = "uninstall.log";

// What the user is told when the log of an earlier run at `path` cannot be
// deleted (RemoveLeftover false).
std::string LeftoverLogMessage(const std::string& path);

// "kind=value\r\n", or "" when the pair would not make exactly one line.
std::string FormatLogLine(const char* kind, const char* value);

// Appends lines to one log file, keeping it open for the whole run and
// flushing after every line so that a crash loses nothing already appended.
// Lines that arrive before the file can be opened (its folder is created by
// a later step) are held and written first once it opens; lines still held
// when the log is closed are lost, as is any line whose write fails. Used by
// one thread (the install worker) at a time.
class UninstallLog : private NoCopy {
public:
    UninstallLog() = default;
    explicit UninstallLog(std::string path) : m_path(std::move(path)) {}
    ~UninstallLog();

    // Closes any open file and targets `path` from now on; lines still held
    // go to the new file.
    void SetPath(std::string path);
    const std::string& Path() const { return m_path; }

    // Closes the file, drops held lines and deletes the log at the path, so
    // a run starts with an empty log. True when no log is left there; when
    // one is, every Append is refused until a later RemoveLeftover succeeds
    // or SetPath names another file, so that two runs never share a log.
    bool RemoveLeftover();

    // True when the line was written or is held for writing; false when it
    // was refused (see above) or its write failed.
    bool Append(const char* kind, const char* value);
    bool Append(const char* kind, const std::string& value) { return Append(kind, value.c_str()); }

    // Told of every line the log takes (written or held).
    void SetObserver(std::function<void(const char* kind, const std::string& value)> observer) {
        m_observer = std::move(observer);
    }

    bool IsOpen() const { return m_file != nullptr; }
    size_t HeldLines() const { return m_held.size(); }

    // Tries once more to write held lines, then closes the file.
    void Close();

private:
    bool TryOpen();
    bool WriteLine(const std::string& line);

    std::string m_path;
    std::FILE* m_file = nullptr;
    std::vector<std::string> m_held;
    bool m_refused = false;  // a leftover log could not be removed
    std::function<void(const char*, const std::string&)> m_observer;
};

}  // namespace kq
