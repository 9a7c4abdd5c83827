#include "cabinet/cabinet_win.h"

#include <commctrl.h>
#include <process.h>

#include <set>
#include <string>

#include "base/text.h"

namespace kq {

int ExtractCabinetFile(const char* cabinetPath, const char* workingFolder, const CabinetProgress& progress,
                       CabinetFailure* failure, const EntryFilter& wanted, CCabinetReader* opened) {
    CabinetFailure ignored;
    if (failure == nullptr) failure = &ignored;
    CCabinetReader own;
    CCabinetReader& reader = opened != nullptr ? *opened : own;
    if (reader.Open(cabinetPath, failure) != kCabinetOk) return failure->result;

    // A refused name ends the extraction where it stands, so it counts.
    const auto chosen = [&](size_t i) { return reader.WrittenName(i).empty() || !wanted || wanted(reader.WrittenName(i)); };
    int count = 0;
    for (size_t i = 0; i < reader.EntryCount(); ++i) count += chosen(i) ? 1 : 0;
    if (progress.setRange) progress.setRange(count);

    const std::string folder = WithTrailingBackslash(workingFolder);
    std::set<std::string> ours;
    int started = 0;
    for (size_t i = 0; i < reader.EntryCount(); ++i) {
        if (!chosen(i)) continue;
        const std::string& name = reader.WrittenName(i);
        if (name.empty()) {
            failure->cause = CabinetFailure::Cause::kRefusedName;
            failure->entry = reader.StoredName(i);
            return failure->result = kCabinetExtractFailed;
        }
        ++started;
        if (progress.setPosition) progress.setPosition(started);
        // A name this extraction wrote before (two stored paths ending
        // alike) is its own file and is written again; any other must be new.
        EntryHooks newFile;
        newFile.newFileOnly = ours.insert(AsciiLower(name)).second;
        const EntryResult result = reader.Extract(i, folder + name, newFile);
        if (result != EntryResult::kDone) {
            failure->cause = result == EntryResult::kDamaged ? CabinetFailure::Cause::kDamaged
                             : result == EntryResult::kTaken ? CabinetFailure::Cause::kPlanted
                                                             : CabinetFailure::Cause::kCannotWrite;
            failure->entry = name;
            return failure->result = kCabinetExtractFailed;
        }
    }
    return failure->result = kCabinetOk;
}

int ExtractCabinet(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                   CabinetFailure* failure, const EntryFilter& wanted, CCabinetReader* reader) {
    return ExtractCabinetFile(CabinetPath(sourceFolder).c_str(), workingFolder, progress, failure, wanted, reader);
}

CCabinetExtraction::~CCabinetExtraction() {
    if (m_thread != nullptr) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
}

bool CCabinetExtraction::Start(const char* sourceFolder, const char* workingFolder, CabinetProgress progress,
                               EntryFilter wanted) {
    if (m_thread != nullptr) {
        if (WaitForSingleObject(m_thread, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    Take(sourceFolder, workingFolder, std::move(progress), std::move(wanted));
    // _beginthreadex rather than CreateThread: the thread uses the C
    // runtime (allocation inside the decoder).
    uintptr_t handle = _beginthreadex(nullptr, 0, &CCabinetExtraction::ThreadMain, this, 0, nullptr);
    if (handle == 0) return false;
    m_thread = reinterpret_cast<HANDLE>(handle);
    return true;
}

void CCabinetExtraction::RunHere(const char* sourceFolder, const char* workingFolder, CabinetProgress progress,
                                 EntryFilter wanted) {
    Take(sourceFolder, workingFolder, std::move(progress), std::move(wanted));
    Run();
}

void CCabinetExtraction::Take(const char* sourceFolder, const char* workingFolder, CabinetProgress progress,
                              EntryFilter wanted) {
    m_sourceFolder = sourceFolder;
    m_workingFolder = workingFolder;
    m_progress = std::move(progress);
    m_wanted = std::move(wanted);
    m_result = kCabinetExtractFailed;
}

void CCabinetExtraction::Run() {
    m_result =
        ExtractCabinet(m_sourceFolder.c_str(), m_workingFolder.c_str(), m_progress, &m_failure, m_wanted, &m_reader);
}

unsigned __stdcall CCabinetExtraction::ThreadMain(void* self) {
    static_cast<CCabinetExtraction*>(self)->Run();
    return 0;
}

int ExtractCabinetOnThread(const char* sourceFolder, const char* workingFolder, const CabinetProgress& progress,
                           const std::function<void(HANDLE)>& wait) {
    CCabinetExtraction extraction;
    if (!extraction.Start(sourceFolder, workingFolder, progress)) {
        return ExtractCabinet(sourceFolder, workingFolder, progress);
    }
    if (wait) wait(extraction.Thread());
    // The wait may return early (a quit message while pumping); the result
    // is only there once the thread has ended.
    WaitForSingleObject(extraction.Thread(), INFINITE);
    return extraction.Result();
}

CabinetProgress ProgressBarFeedback(HWND bar, ProgressThrottle& throttle) {
    CabinetProgress progress;
    progress.setRange = [bar, &throttle](int count) {
        if (bar == nullptr) return;
        int upper = count > 0xFFFF ? 0xFFFF : count;
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, upper));
        RECT client = {};
        GetClientRect(bar, &client);
        throttle.Reset(upper, client.right - client.left);
    };
    progress.setPosition = [bar, &throttle](int done) {
        if (bar != nullptr && throttle.ShouldSend(done)) SendMessageA(bar, PBM_SETPOS, WPARAM(done), 0);
    };
    return progress;
}

}  // namespace kq
