// The install worker's file step: every file of the file list put in its
// destination, in list order: extracted from the package's cabinet as the
// step goes, or copied (or moved) from a folder of packed files.
//
// For file i: the progress bar moves to i; a cancel request ends the step;
// a file whose mask does not fit this system is passed over entirely.
// Otherwise the file is skipped (not copied, but logged and given its
// attributes like any other) when it keeps an existing destination that is
// there, or when its feature is deselected. A web source is downloaded
// into its destination instead, unless the condition named after its
// address ("{name}") is not met; a cancel during the transfer ends the step
// with nothing logged for that file, a failed must-install download ends
// the installation, any other failed download goes on. A .dll or .ocx
// already at its destination is replaced only by a higher version
// (version_rule.h).
//
// From the cabinet: a file whose destination is free is extracted straight
// into it; the machine is told such files a window ahead (Foresee), so it
// may write them while the step records those before them. Otherwise, and for every file the version rule or content
// expansion has to look at first, it is extracted into a staging file
// beside its destination, looked at (and expanded) there and renamed over
// the destination, so a file that is refused, fails or is cancelled leaves
// the installed one as it was. A cancel stops the extraction of a large
// file within one block. Damaged data ends the installation as a damaged
// package.
//
// From a folder (a disk image, which stays as it is): a file with content
// expansion is expanded into "<packed name>2" first and that copy is
// installed. A read-only destination is made writable and the file copied.
//
// Either way a failure of a must-install file tells the user, removes the
// temporary files, aborts the run and ends the step. Any other failure
// asks: Retry tries again, Ignore goes on as if installed, Cancel removes
// the temporary files, aborts and ends the step.
//
// Afterwards, unless the file is not to be logged, "FILE=<destination>"; a
// server is registered when asked; the attributes are set: read-only,
// hidden and system as the options say, the read-only flag of a file that
// asks for none cleared, and "normal" when nothing is left.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet/cabinet.h"
#include "record/install_record.h"
#include "record/uninstall_log.h"
#include "run/file_list.h"
#include "run/setup_run.h"
#include "steps/install_reporter.h"

namespace kq {

constexpr char kFatalCopyFormat[] = "Merrowin will abort installation, the file:\r\n%s\r\nCan't be installed.";
constexpr char kCopyFailedFormat[] = "Merrowin can't copy the file:\r\n%s\r\nWhat you would like to do ?";

// How a download ended. A cancelled one has left no file behind.
enum class DownloadResult { kDone, kFailed, kCancelled };

// The system's file attribute bits the step reads and sets.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeSystem = 0x04;
constexpr uint32_t kAttributeNormal = 0x80;

// The attributes an installed file ends with, from those it has.
uint32_t InstalledAttributes(uint32_t current, const FileOptions& options);

// A packed entry the step will unpack straight into its destination.
struct ForeseenFile {
    std::string entry;
    std::string destination;
};

// The machine as the file step sees it: the file system and the user.
class FileMachine {
public:
    virtual ~FileMachine();
    // Something (file or folder) is at `path`.
    virtual bool Exists(const std::string& path) = 0;
    virtual bool ReadText(const std::string& path, std::string& text) = 0;
    virtual bool WriteText(const std::string& path, const std::string& text) = 0;
    // The FileVersion string (kNoFileVersion for none).
    virtual std::string VersionText(const std::string& path) = 0;
    // False when the path has no attributes (nothing there).
    virtual bool GetAttributes(const std::string& path, uint32_t& attributes) = 0;
    virtual void SetAttributes(const std::string& path, uint32_t attributes) = 0;
    // Move or copy over an existing file.
    virtual bool Move(const std::string& from, const std::string& to) = 0;
    virtual bool Copy(const std::string& from, const std::string& to) = 0;
    // Extracts the package's packed entry `entry` (PackedEntryName) into
    // `to`, replacing a file there; `written` gets the fingerprint of what
    // was written. A failed or stopped extraction leaves nothing at `to`.
    virtual EntryResult Unpack(const std::string& entry, const std::string& to, FileFingerprint& written) = 0;
    // The files the step unpacks next, in its order, each straight into its
    // destination (no version rule, no expansion, no existing file kept, no
    // destination twice): a machine may write them ahead of the step, whose
    // Unpack of one then takes what was written. Those written ahead and
    // not asked for by EndForesight are deleted there.
    virtual void Foresee(const std::vector<ForeseenFile>& files) { (void)files; }
    virtual void EndForesight() {}
    // A new, empty file in the folder of `destination` for a packed copy to
    // wait in before it replaces the destination; "" when none can be made.
    virtual std::string StagingPath(const std::string& destination) = 0;
    // Deletes the file (a staging file that is not needed).
    virtual void Remove(const std::string& path) = 0;
    // Starts the server's self-registration; the result is not awaited.
    virtual void RegisterServer(const std::string& path) = 0;
    // Fetches `address` into `destination` with the download panel shown.
    virtual DownloadResult Download(const std::string& address, const std::string& destination) = 0;
    // The file error dialog: with Retry, Ignore and Cancel, or (fatal) with
    // Cancel only, whose answer does not matter.
    virtual FailureChoice AskAfterCopyFailure(const std::string& text) = 0;
    virtual void TellFatalCopyFailure(const std::string& text) = 0;
};

struct FileStepContext {
    // The packed files are the entries of this cabinet, extracted as the
    // step goes; when empty they are read from `packedFolder`.
    std::string cabinetPath;
    std::string packedFolder;  // trailing backslash
    std::string systemName;
    // True when the named feature is known and not to be installed.
    std::function<bool(const std::string&)> featureDeselected;
    // Whether the named condition holds; none means every condition does.
    std::function<bool(const std::string&)> conditionMet;
    std::function<void(int32_t)> progress;
    // Removes the working folder (the worker's temporary files).
    std::function<void()> removeTemporaryFiles;
};

// False when the step ended the installation (cancel request, a failed
// must-install file or Cancel); the run's abort flag is then set except
// for the cancel request, which the wizard has already handled.
bool CopyFiles(const FileList& files, const ExpandFn& expand, const FileStepContext& context, FileMachine& machine,
               RunSignals& signals, UninstallLog& log);

}  // namespace kq
