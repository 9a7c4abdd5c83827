#include "run/run_journal_win.h"

#include <windows.h>

#include "base/no_copy.h"

namespace kq {
namespace {

// One handle written by the install worker and the user-interface thread:
// each line is written whole under the lock.
class CLogFile : private NoCopy {
public:
    explicit CLogFile(HANDLE file, bool owned) : m_file(file), m_owned(owned) { ::InitializeCriticalSection(&m_lock); }
    ~CLogFile() {
        if (m_owned) ::CloseHandle(m_file);
        ::DeleteCriticalSection(&m_lock);
    }

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

}  // namespace kq
