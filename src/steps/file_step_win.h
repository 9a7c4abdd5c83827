// The file step's machine: the Win32 file system and the file error dialog.
#pragma once
#include <memory>

#include "cabinet/cabinet_win.h"
#include "steps/file_step.h"

namespace kq {

// The file error dialog, shown from the worker thread; it has no owner and
// stays on top so the user sees it above the progress page. `fatal` shows
// Cancel only.
FailureChoice ShowFileError(const std::string& text, bool fatal);

class CWinFileMachine : public FileMachine {
public:
    // Downloads report to `reporter`'s download panel and stop on a cancel
    // request of `signals`; either may be null. `unattended`: "/S" or "/PLAN",
    // where nobody answers the file error dialog; every failure is answered
    // with Cancel without showing it.
    explicit CWinFileMachine(InstallReporter* reporter = nullptr, const RunSignals* signals = nullptr,
                             bool unattended = false);
    ~CWinFileMachine() override;

    // The cabinet Unpack reads, opened at the first entry asked for (on the
    // thread that asks) and again after it could not be opened: a package
    // on a medium that was taken out can be retried. `opened`: the cabinet's
    // unpacker, already open, if there is one.
    void UnpackFrom(const std::string& cabinetPath, std::unique_ptr<CCabinetUnpacker> opened = nullptr) {
        m_cabinetPath = cabinetPath;
        m_cabinet = std::move(opened);
    }

    bool Exists(const std::string& path) override;
    bool ReadText(const std::string& path, std::string& text) override;
    bool WriteText(const std::string& path, const std::string& text) override;
    std::string VersionText(const std::string& path) override;
    bool GetAttributes(const std::string& path, uint32_t& attributes) override;
    void SetAttributes(const std::string& path, uint32_t attributes) override;
    bool Move(const std::string& from, const std::string& to) override;
    bool Copy(const std::string& from, const std::string& to) override;
    EntryResult Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) override;
    // Foreseen files are written, in order, by a thread of their own and by
    // the step while it records those before them, each only where nothing
    // is (else the step's own Unpack writes it).
    void Foresee(const std::vector<ForeseenFile>& files) override;
    void EndForesight() override;
    std::string StagingPath(const std::string& destination) override;
    void Remove(const std::string& path) override;
    void RegisterServer(const std::string& path) override;
    FailureChoice AskAfterCopyFailure(const std::string& text) override;
    void TellFatalCopyFailure(const std::string& text) override;
    DownloadResult Download(const std::string& address, const std::string& destination) override;

private:
    struct Ahead;
    // Opens the cabinet when it is not open (again); false when it cannot be.
    bool OpenCabinet();
    // One extraction as Unpack makes it; `ahead`: for a writer, which stops
    // too when the step ends; `held`: the bytes the cabinet unpacked ahead
    // for it, or null.
    EntryResult UnpackNow(const std::string& entry, const std::string& to, FileFingerprint& written, bool ahead,
                          const CCabinetUnpacker::Held* held);
    void WriteAhead();

    InstallReporter* m_reporter;
    const RunSignals* m_signals;
    bool m_unattended;
    std::string m_cabinetPath;
    std::unique_ptr<CCabinetUnpacker> m_cabinet;
    std::unique_ptr<Ahead> m_ahead;
};

}  // namespace kq
