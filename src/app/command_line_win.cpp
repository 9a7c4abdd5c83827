#include "app/command_line_win.h"

#include <windows.h>

#include <cctype>
#include <string>

#include "base/file.h"
#include "base/path_rules.h"
#include "base/product.h"
#include "run/command_line.h"
#include "run/exit_codes.h"

namespace kq {
namespace {

// One handle written by the install worker and the user-interface thread:
// each line is written whole under the lock.
class CLogFile {
public:
    explicit CLogFile(HANDLE file, bool owned) : m_file(file), m_owned(owned) { ::InitializeCriticalSection(&m_lock); }
    ~CLogFile() {
        if (m_owned) ::CloseHandle(m_file);
        ::DeleteCriticalSection(&m_lock);
    }
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    void Write(const std::string& line) {
        ::EnterCriticalSection(&m_lock);
        DWORD written = 0;
        ::WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::LeaveCriticalSection(&m_lock);
    }

private:
    HANDLE m_file;
    bool m_owned;
    CRITICAL_SECTION m_lock;
};

std::string UtcTimeStamp() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return IsoTimeStamp(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

// The ANSI code page's text as UTF-16, for the log's \u escapes.
std::u16string AnsiToUtf16(std::string_view text) {
    if (text.empty()) return std::u16string();
    const int size = static_cast<int>(text.size());
    int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return std::u16string(text.begin(), text.end());
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], units);
    return std::u16string(wide.begin(), wide.end());
}

// True when a file can be written at `path`; one that was not there before
// is not left behind.
bool CanCreateFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    ::CloseHandle(file);
    if (!existed) ::DeleteFileA(path.c_str());
    return true;
}

// The answer files of "/SAVEINF=" and "/LOADINF=": why they cannot serve,
// or "" with the loaded answers taken into the requests.
std::string TakeAnswerFiles(CommandRequests& requests) {
    if (!requests.saveAnswers.empty() && !CanCreateFile(requests.saveAnswers))
        return "the answer file \"" + requests.saveAnswers + "\" cannot be created";
    if (requests.loadAnswers.empty()) return std::string();
    const std::string shown = "the answer file \"" + requests.loadAnswers + "\" ";
    std::string text;
    if (!ReadWholeFile(requests.loadAnswers, text)) return shown + "cannot be read";
    RecordedAnswers answers;
    std::string problem = ReadAnswers(text, &answers);
    if (problem.empty()) problem = TakeRecordedAnswers(answers, &AbsolutePathProblem, requests);
    return problem.empty() ? problem : shown + "is refused: " + problem;
}

}  // namespace

std::shared_ptr<RunJournal> OpenRunJournal(const std::string& path) {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool owned = true;
    if (path.empty()) {
        file = ::GetStdHandle(STD_OUTPUT_HANDLE);
        owned = false;
    } else {
        file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return std::make_shared<RunJournal>();
    auto log = std::make_shared<CLogFile>(file, owned);
    return std::make_shared<RunJournal>([log](const std::string& line) { log->Write(line); }, &UtcTimeStamp,
                                        &AnsiToUtf16);
}

bool CommandLineIsSilent() {
    const SetupCommandLine line = ParseSetupCommandLine(SkipProgramName(::GetCommandLineA()), &AbsolutePathProblem);
    // The script is not read yet: only the command line can say nobody is there.
    return !Audience(false, line.requests).SeesWindows();
}

void TellBadCommandLine(SetupRun& run, const std::string& problem) {
    run.Journal().Message("bad command line: " + problem);
    if (run.Requests().silent) return;
    std::string text = problem + ".\r\n\r\n" + SetupUsageText();
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    ::MessageBoxA(nullptr, text.c_str(), kProductName, MB_OK | MB_ICONSTOP);
}

bool TakeCommandLine(SetupRun& run) {
    const std::string_view arguments = SkipProgramName(::GetCommandLineA());
    SetupCommandLine line = ParseSetupCommandLine(arguments, &AbsolutePathProblem);
    run.Requests() = line.requests;
    const CommandRequests& requests = run.Requests();
    if (!requests.logPath.empty() || requests.plan) run.SetJournal(OpenRunJournal(requests.logPath));
    // A log that was asked for and cannot be written would leave whoever
    // reads it with nothing: the line is refused as a bad one.
    if (!requests.logPath.empty() && !run.Journal().Active() && line.problem.empty())
        line.problem = "the log file \"" + requests.logPath + "\" cannot be created";
    if (line.problem.empty()) line.problem = TakeAnswerFiles(run.Requests());

    RunJournal& journal = run.Journal();
    journal.Write(journal.Entry("start")
                      .Add("commandLine", std::string(arguments))
                      .Add("silent", requests.silent)
                      .Add("plan", requests.plan));
    if (!line.problem.empty()) {
        TellBadCommandLine(run, line.problem);
        journal.End(kExitBadCommandLine, requests.plan);
        ::PostQuitMessage(kExitBadCommandLine);
        return false;
    }
    if (line.help) {
        if (!requests.silent) ::MessageBoxA(nullptr, SetupUsageText().c_str(), kProductName, MB_OK | MB_ICONINFORMATION);
        journal.Write(journal.Entry("end").Add("outcome", "help").Add("exitCode", static_cast<int>(kExitInstalled)));
        ::PostQuitMessage(kExitInstalled);
        return false;
    }
    return true;
}

}  // namespace kq
