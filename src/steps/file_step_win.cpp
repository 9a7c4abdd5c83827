#include "steps/file_step_win.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/file.h"
#include "base/file_win.h"
#include "base/text.h"
#include "net/http_win.h"
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

// The files told ahead, each with what writing it gave once it is written.
struct CWinFileMachine::Ahead {
    enum class State { kWaiting, kWriting, kWritten };
    struct Job {
        ForeseenFile file;
        State state = State::kWaiting;
        EntryResult result = EntryResult::kNotFound;
        FileFingerprint written;
        uint64_t number = 0;  // in the order told
    };
    // Creating a file costs the system far more time than writing its
    // bytes, and the system creates files for two threads at once: the
    // writer and the step, which writes the next file not begun whenever
    // the one it comes to is still being written. A thread of their own
    // for each would cost another megabyte of stack for nothing faster.
    std::mutex lock;  // jobs
    std::condition_variable changed;
    // A list: a writer keeps its job while the step takes others out.
    std::list<Job> jobs;
    std::atomic<bool> ending{false};
    // Who waits on `changed`: a wake-up costs the system a call, so only a
    // waiting thread is woken.
    bool stepWaits = false;
    bool writerWaits = false;
    uint64_t told = 0;    // jobs told so far
    uint64_t wakeAt = 0;  // the job whose end wakes the waiting step
    // The writer and the step take their jobs and the cabinet's bytes for
    // them one at a time, so the bytes are asked for in the order told.
    std::mutex taking;
    std::thread writer;

    std::list<Job>::iterator FirstWaiting() {
        return std::find_if(jobs.begin(), jobs.end(), [](const Job& j) { return j.state == State::kWaiting; });
    }
    bool AnyWaiting() { return FirstWaiting() != jobs.end(); }

    // The next job told and not begun, marked as begun, with the cabinet's
    // bytes for it when they were unpacked ahead; false when the foresight
    // ends, or when there is none and `wait` is false.
    bool Take(CCabinetUnpacker& cabinet, bool wait, std::list<Job>::iterator* taken, CCabinetUnpacker::Held* held,
              bool* isHeld) {
        for (;;) {
            {
                std::lock_guard<std::mutex> turn(taking);
                std::unique_lock<std::mutex> guard(lock);
                if (ending) return false;
                const auto next = FirstWaiting();
                if (next != jobs.end()) {
                    next->state = State::kWriting;
                    *taken = next;
                    const std::string entry = next->file.entry;
                    guard.unlock();
                    const size_t found = cabinet.Find(entry);
                    *isHeld = found != cabinet.EntryCount() && cabinet.Hold(found, held);
                    return true;
                }
                if (!wait) return false;
            }
            // Waiting without the turn: the step takes jobs too.
            std::unique_lock<std::mutex> guard(lock);
            writerWaits = true;
            changed.wait(guard, [this] { return ending || AnyWaiting(); });
            writerWaits = false;
        }
    }

    // Writes a job taken, by the writer or the step. The job stays in the
    // list while it is written: only the step erases a job, and only one
    // that is written.
    void Write(CWinFileMachine& machine, std::list<Job>::iterator job, const CCabinetUnpacker::Held* held) {
        const ForeseenFile& file = job->file;
        FileFingerprint written;
        const EntryResult result = machine.UnpackNow(file.entry, file.destination, written, true, held);
        if (held != nullptr) machine.m_cabinet->Release(*held);
        std::lock_guard<std::mutex> guard(lock);
        job->result = result;
        job->written = written;
        job->state = State::kWritten;
        // The step waits for its own job, or for the last job when no job
        // is left to begin: the writer that ends it may be the last.
        if (stepWaits && (job->number >= wakeAt || !AnyWaiting())) changed.notify_all();
    }
};

CWinFileMachine::CWinFileMachine(InstallReporter* reporter, const RunSignals* signals, bool unattended)
    : m_reporter(reporter), m_signals(signals), m_unattended(unattended) {}

CWinFileMachine::~CWinFileMachine() {
    EndForesight();
}

bool CWinFileMachine::OpenCabinet() {
    if (m_cabinet != nullptr && m_cabinet->IsOpen()) return true;
    m_cabinet = std::make_unique<CCabinetUnpacker>();
    std::function<bool()> stop;
    if (m_signals != nullptr) stop = [this] { return m_signals->CancelRequested(); };
    return m_cabinet->Open(m_cabinetPath.c_str(), stop) == kCabinetOk;
}

EntryResult CWinFileMachine::UnpackNow(const std::string& entry, const std::string& to, FileFingerprint& written,
                                       bool ahead, const CCabinetUnpacker::Held* held) {
    EntryHooks hooks;
    hooks.stop = [this, ahead] {
        return (m_signals != nullptr && m_signals->CancelRequested()) || (ahead && m_ahead->ending);
    };
    // Ahead of the step nothing is replaced: a file that is there after all
    // is left to the step.
    hooks.newFileOnly = ahead;
    if (held == nullptr && !OpenCabinet()) return EntryResult::kNotFound;
    const size_t found = held != nullptr ? held->entry : m_cabinet->Find(entry);
    if (found == m_cabinet->EntryCount()) return EntryResult::kNotFound;
    // The bytes are fingerprinted as they are written: the hash costs a
    // fraction of the decoding, and nothing is read back.
    FingerprintBuilder fingerprint;
    hooks.written = [&fingerprint](const void* bytes, size_t length) { fingerprint.Add(bytes, length); };
    const EntryResult result =
        held != nullptr ? m_cabinet->WriteHeld(*held, to, hooks) : m_cabinet->Extract(found, to, hooks);
    if (result == EntryResult::kDone) written = fingerprint.Finish();
    return result;
}

EntryResult CWinFileMachine::Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) {
    if (m_ahead == nullptr) return UnpackNow(entry, to, written, false, nullptr);
    Ahead& ahead = *m_ahead;
    std::unique_lock<std::mutex> lock(ahead.lock);
    auto job = std::find_if(ahead.jobs.begin(), ahead.jobs.end(),
                            [&](const Ahead::Job& j) { return j.file.destination == to && j.file.entry == entry; });
    if (job == ahead.jobs.end()) {
        lock.unlock();
        return UnpackNow(entry, to, written, false, nullptr);
    }
    while (job->state != Ahead::State::kWritten) {
        // The step writes the next file not begun (its own, unless the
        // writer has begun it) rather than wait.
        lock.unlock();
        std::list<Ahead::Job>::iterator taken;
        CCabinetUnpacker::Held held;
        bool isHeld = false;
        const bool took = ahead.Take(*m_cabinet, false, &taken, &held, &isHeld);
        if (took) ahead.Write(*this, taken, isHeld ? &held : nullptr);
        lock.lock();
        if (took || job->state == Ahead::State::kWritten) continue;
        ahead.stepWaits = true;
        ahead.wakeAt = job->number;
        ahead.changed.wait(lock, [&] { return job->state == Ahead::State::kWritten; });
        ahead.stepWaits = false;
    }
    const EntryResult result = job->result;
    written = job->written;
    ahead.jobs.erase(job);
    if (result == EntryResult::kDone) return result;
    // What failed ahead is tried again as the step asks it.
    lock.unlock();
    return UnpackNow(entry, to, written, false, nullptr);
}

void CWinFileMachine::Foresee(const std::vector<ForeseenFile>& files) {
    if (m_cabinetPath.empty()) return;
    if (m_ahead == nullptr) {
        // The writer shares the step's cabinet: it is open before it begins.
        if (!OpenCabinet()) return;
        m_ahead = std::make_unique<Ahead>();
        try {
            m_ahead->writer = std::thread(&CWinFileMachine::WriteAhead, this);
        } catch (const std::system_error&) {
            m_ahead.reset();  // no thread to be had: each file is written as the step asks for it
            return;
        }
    }
    std::lock_guard<std::mutex> lock(m_ahead->lock);
    for (const ForeseenFile& file : files)
        m_ahead->jobs.push_back({file, Ahead::State::kWaiting, EntryResult::kNotFound, {}, m_ahead->told++});
    if (m_ahead->writerWaits) m_ahead->changed.notify_all();
}

void CWinFileMachine::WriteAhead() {
    for (;;) {
        std::list<Ahead::Job>::iterator job;
        CCabinetUnpacker::Held held;
        bool isHeld = false;
        if (!m_ahead->Take(*m_cabinet, true, &job, &held, &isHeld)) return;
        m_ahead->Write(*this, job, isHeld ? &held : nullptr);
    }
}

void CWinFileMachine::EndForesight() {
    if (m_ahead == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(m_ahead->lock);
        m_ahead->ending = true;
    }
    m_ahead->changed.notify_all();
    m_ahead->writer.join();
    // Written for a step that ended before it asked for them.
    for (const Ahead::Job& job : m_ahead->jobs) {
        if (job.state == Ahead::State::kWritten && job.result == EntryResult::kDone) Remove(job.file.destination);
    }
    m_ahead.reset();
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
