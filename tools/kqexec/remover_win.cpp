#include "remover_win.h"

#include <windows.h>

#include "base/text.h"
#include "win/registry_win.h"
#include "win/service_control_win.h"

namespace kq {
namespace {

bool PathExists(const std::string& path, DWORD* attributes = nullptr) {
    DWORD found = ::GetFileAttributesA(path.c_str());
    if (attributes != nullptr) *attributes = found;
    return found != INVALID_FILE_ATTRIBUTES;
}

bool DeleteOneFile(const std::string& path, DWORD attributes) {
    // Setup may have copied a file read-only from its medium.
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileA(path.c_str()) != 0;
}

void RunAndWait(const std::string& program, const std::string& arguments, const std::string& folder) {
    if (!PathExists(program)) return;
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::string writable = commandLine;  // CreateProcessA may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(program.c_str(), &writable[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        return;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void CarryOut(const RemovalStep& step, RemovalOutcome& outcome) {
    HKEY root = RootKeyHandle(step.root);
    DWORD attributes = 0;
    switch (step.action) {
    case RemovalAction::kStopService:
        if (!StopAndDeleteService(step.target)) outcome.left.push_back("service " + step.target);
        break;
    case RemovalAction::kDeleteFile:
        if (!PathExists(step.target, &attributes)) break;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !DeleteOneFile(step.target, attributes)) {
            outcome.left.push_back(step.target);
        }
        break;
    case RemovalAction::kDeleteValue:
        if (reg::ValueExists(root, step.subKey.c_str(), step.valueName.c_str())) {
            reg::DeleteValue(root, step.subKey.c_str(), step.valueName.c_str());
        }
        break;
    case RemovalAction::kDeleteKeyIfEmpty:
        // A key that still holds something is shared with others.
        reg::DeleteKeyIfEmpty(root, step.subKey.c_str());
        break;
    case RemovalAction::kDeleteKeyTree:
        reg::DeleteKeyTree(root, step.subKey.c_str());
        break;
    case RemovalAction::kRemoveDirectory:
        if (PathExists(step.target) && !::RemoveDirectoryA(step.target.c_str())) {
            outcome.kept.push_back(step.target + ": holds files setup did not create");
        }
        break;
    case RemovalAction::kRunProgram:
        RunAndWait(step.target, step.arguments, FolderOf(step.target));
        break;
    }
}

}  // namespace

RemovalOutcome CarryOutRemoval(const RemovalSteps& removal, const RemovalItemSink& sink, bool act) {
    RemovalOutcome outcome;
    for (const RemovalStep& step : removal.steps) {
        const size_t left = outcome.left.size();
        const size_t kept = outcome.kept.size();
        if (act) CarryOut(step, outcome);
        if (!sink) continue;
        if (outcome.left.size() != left) {
            sink(RemovalItem{"left", DescribeStep(step), "in use or access denied"});
        } else if (outcome.kept.size() != kept) {
            sink(RemovalItem{"kept", DescribeStep(step), "holds files setup did not create"});
        } else {
            sink(RemovalItem{step.action == RemovalAction::kRunProgram ? "run" : "removed", DescribeStep(step), ""});
        }
    }
    return outcome;
}

bool FolderEmptyOnceGone(const std::string& folder, const std::set<std::string>& gone) {
    const std::string path = WithoutTrailingBackslash(folder);
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") empty = empty && gone.count(AsciiLower(path + "\\" + name)) != 0;
    } while (empty && ::FindNextFileA(search, &found));
    ::FindClose(search);
    return empty;
}

}  // namespace kq
