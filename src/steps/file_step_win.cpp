#include "steps/file_step_win.h"

#include <windows.h>

#include "base/file.h"
#include "base/file_win.h"
#include "base/text.h"
#include "net/http_win.h"
#include "record/record_machine_win.h"
#include "steps/engine_resources.h"
#include "steps/version_rule_win.h"
#include "win/directories_win.h"
#include "win/system_library_win.h"

namespace kq {
namespace {

struct FileErrorArgs {
    const char* text;
    bool fatal;
};

INT_PTR CALLBACK FileErrorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        const FileErrorArgs* args = reinterpret_cast<const FileErrorArgs*>(lParam);
        ::SetDlgItemTextA(dialog, IDC_FILE_ERROR_TEXT, args->text);
        if (args->fatal) {
            ::ShowWindow(::GetDlgItem(dialog, IDC_FILE_ERROR_RETRY), SW_HIDE);
            ::ShowWindow(::GetDlgItem(dialog, IDC_FILE_ERROR_IGNORE), SW_HIDE);
        }
        ::SetForegroundWindow(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_FILE_ERROR_RETRY:
            ::EndDialog(dialog, static_cast<INT_PTR>(FailureChoice::kRetry));
            return TRUE;
        case IDC_FILE_ERROR_IGNORE:
            ::EndDialog(dialog, static_cast<INT_PTR>(FailureChoice::kIgnore));
            return TRUE;
        case IDC_FILE_ERROR_CANCEL:
        case IDCANCEL:
            ::EndDialog(dialog, static_cast<INT_PTR>(FailureChoice::kCancel));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

FailureChoice ShowFileError(const std::string& text, bool fatal) {
    FileErrorArgs args = {text.c_str(), fatal};
    INT_PTR r = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FILE_ERROR), nullptr,
                                  &FileErrorProc, reinterpret_cast<LPARAM>(&args));
    return r <= 0 ? FailureChoice::kCancel : static_cast<FailureChoice>(r);
}

CWinFileMachine::~CWinFileMachine() = default;

EntryResult CWinFileMachine::Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) {
    EntryHooks hooks;
    if (m_signals != nullptr) hooks.stop = [this] { return m_signals->CancelRequested(); };
    if (m_cabinet == nullptr || !m_cabinet->IsOpen()) {
        m_cabinet = std::make_unique<CCabinetUnpacker>();
        if (m_cabinet->Open(m_cabinetPath.c_str(), hooks.stop) != kCabinetOk) return EntryResult::kNotFound;
    }
    const size_t found = m_cabinet->Find(entry);
    if (found == m_cabinet->EntryCount()) return EntryResult::kNotFound;
    // With the builder's fingerprint only the size is counted: hashing
    // costs more than unpacking.
    FileFingerprint packed;
    const bool known = m_known.Find(entry, &packed);
    FingerprintBuilder fingerprint;
    uint64_t size = 0;
    if (known) {
        hooks.written = [&size](const void*, size_t length) { size += length; };
    } else {
        hooks.written = [&fingerprint](const void* bytes, size_t length) { fingerprint.Add(bytes, length); };
    }
    const EntryResult result = m_cabinet->Extract(found, to, hooks);
    if (result != EntryResult::kDone) return result;
    if (!known) {
        written = fingerprint.Finish();
    } else if (packed.size == size) {
        written = packed;
    } else {
        // The package's list is wrong about this entry: what is on disk counts.
        written = FileFingerprint();
        CWinRecordMachine().Fingerprint(to, &written);
    }
    return result;
}

std::string CWinFileMachine::StagingPath(const std::string& destination) {
    // In the destination's folder, so the final rename stays on one volume
    // and the file inherits that folder's permissions.
    return UniqueFileBeside(destination);
}

void CWinFileMachine::Remove(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
}

bool CWinFileMachine::Exists(const std::string& path) {
    return PathExists(path);
}

bool CWinFileMachine::ReadText(const std::string& path, std::string& text) {
    return ReadWholeFile(path, text);
}

bool CWinFileMachine::WriteText(const std::string& path, const std::string& text) {
    return WriteWholeFile(path, text);
}

std::string CWinFileMachine::VersionText(const std::string& path) {
    return FileVersionText(path.c_str());
}

bool CWinFileMachine::GetAttributes(const std::string& path, uint32_t& attributes) {
    DWORD found = ::GetFileAttributesA(path.c_str());
    if (found == INVALID_FILE_ATTRIBUTES) return false;
    attributes = found;
    return true;
}

void CWinFileMachine::SetAttributes(const std::string& path, uint32_t attributes) {
    ::SetFileAttributesA(path.c_str(), attributes);
}

bool CWinFileMachine::Move(const std::string& from, const std::string& to) {
    return MoveIntoPlace(from, to);
}

bool CWinFileMachine::Copy(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void CWinFileMachine::RegisterServer(const std::string& path) {
    const std::string program = SystemProgramPath("regsvr32.exe");
    if (program.empty()) return;
    std::string command = "\"" + program + "\" /s \"" + path + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                         &si, &pi)) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

FailureChoice CWinFileMachine::AskAfterCopyFailure(const std::string& text) {
    const FailureChoice choice = m_unattended ? FailureChoice::kCancel : ShowFileError(text, false);
    if (m_reporter != nullptr) m_reporter->Asked(text, FailureChoiceName(choice));
    return choice;
}

void CWinFileMachine::TellFatalCopyFailure(const std::string& text) {
    if (m_reporter != nullptr) m_reporter->Told(text);
    if (!m_unattended) ShowFileError(text, true);
}

DownloadResult CWinFileMachine::Download(const std::string& address, const std::string& destination) {
    DownloadHooks hooks;
    if (m_signals != nullptr) hooks.cancelRequested = [this] { return m_signals->CancelRequested(); };
    if (m_reporter != nullptr) hooks.report = [this](const std::string& report) { m_reporter->DownloadProgress(report); };
    if (m_reporter != nullptr) m_reporter->DownloadStarted();
    const TransferResult result = DownloadFile(address, destination, hooks);
    if (m_reporter != nullptr) m_reporter->DownloadFinished();
    switch (result) {
    case TransferResult::kDone:
        return DownloadResult::kDone;
    case TransferResult::kCancelled:
        return DownloadResult::kCancelled;
    default:
        return DownloadResult::kFailed;
    }
}

}  // namespace kq
