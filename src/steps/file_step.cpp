#include "steps/file_step.h"

#include <set>

#include "base/text.h"
#include "checks/system_name.h"
#include "steps/version_rule.h"

namespace kq {
namespace {

std::string FileMessage(const char* format, const std::string& path) {
    std::string message = format;
    message.replace(message.find("%s"), 2, path);
    return message;
}

class FileStep {
public:
    FileStep(const ExpandFn& expand, const FileStepContext& context, FileMachine& machine, RunSignals& signals)
        : m_expand(expand), m_context(context), m_machine(machine), m_signals(signals) {}

    // False when the installation ends.
    bool Install(const std::string& source, const std::string& destination, bool mustInstall, bool versioned) {
        if (versioned && m_machine.Exists(destination) &&
            InstalledFileKept(m_machine.Exists(source), m_machine.VersionText(source).c_str(),
                              m_machine.VersionText(destination).c_str()))
            return true;

        for (;;) {
            MakeWritable(destination);
            if (!source.empty() && m_machine.Copy(source, destination)) return true;
            const AfterFailure next = AskAfterFailure(destination, mustInstall);
            if (next != AfterFailure::kRetry) return next == AfterFailure::kGoOn;
        }
    }

    // File `index` extracted from the cabinet into its destination; false
    // when the installation ends.
    bool InstallUnpacked(const FileRecord& record, int32_t index, const std::string& destination,
                         const FileOptions& options) {
        const std::string entry = PackedEntryName(index, record.fileName.c_str());
        const bool versioned = VersionRuleApplies(record.fileName.c_str());
        for (;;) {
            switch (PlaceUnpacked(entry, destination, versioned, options)) {
            case EntryResult::kDone:
                return true;
            case EntryResult::kStopped:
                return false;  // the user's cancel, which the wizard has handled
            case EntryResult::kDamaged: {
                m_signals.SetFailure(RunFailure::kDamaged);
                CabinetFailure failure;
                failure.result = kCabinetExtractFailed;
                failure.cause = CabinetFailure::Cause::kDamaged;
                failure.entry = entry;
                m_machine.TellFatalCopyFailure(CabinetFailureMessage(failure, m_context.cabinetPath));
                return Abort();
            }
            default:
                break;
            }
            const AfterFailure next = AskAfterFailure(destination, options.mustInstall);
            if (next != AfterFailure::kRetry) return next == AfterFailure::kGoOn;
        }
    }

    // The packed file, expanded into its own copy when asked, so the packed
    // original stays as it came.
    bool InstallPacked(const FileRecord& record, int32_t index, const std::string& destination,
                       const FileOptions& options) {
        std::string source = PackedSourcePath(m_context.packedFolder.c_str(), index, record.fileName.c_str());
        if (options.expandContent) {
            std::string text;
            const std::string expanded = source + "2";
            if (m_machine.ReadText(source, text) && m_machine.WriteText(expanded, m_expand(text))) source = expanded;
        }
        return Install(source, destination, options.mustInstall, VersionRuleApplies(record.fileName.c_str()));
    }

    // False when the installation ends. A web file whose condition is not
    // met is passed over like a skipped one.
    bool InstallWeb(const FileRecord& record, const std::string& destination, const FileOptions& options) {
        const WebSource web = SplitWebSource(record.sourcePath);
        if (!web.condition.empty() && m_context.conditionMet && !m_context.conditionMet(web.condition)) return true;
        // No usable file name: the copy-failure question, as for a file that
        // cannot be written.
        if (destination.empty()) return Install(std::string(), destination, options.mustInstall, false);

        const DownloadResult result = m_machine.Download(web.address, destination);
        if (result == DownloadResult::kCancelled || m_signals.CancelRequested()) return false;
        if (result == DownloadResult::kFailed && options.mustInstall) {
            m_machine.TellFatalCopyFailure(FileMessage(kFatalCopyFormat, destination));
            return Abort();
        }
        return true;
    }

    void Finish(const std::string& destination, const FileOptions& options, UninstallLog& log) {
        if (!options.notLogged && !destination.empty()) log.Append(logkind::kFile, destination);
        if (options.registerServer) m_machine.RegisterServer(destination);
        uint32_t attributes = 0;
        if (!m_machine.GetAttributes(destination, attributes)) return;
        const uint32_t wanted = InstalledAttributes(attributes, options);
        if (wanted != attributes) m_machine.SetAttributes(destination, wanted);
    }

    bool Skipped(const FileRecord& record, const FileOptions& options, const std::string& destination) {
        if (options.keepExisting && m_machine.Exists(destination)) return true;
        return !record.feature.empty() && m_context.featureDeselected && m_context.featureDeselected(record.feature);
    }

private:
    enum class AfterFailure { kRetry, kGoOn, kEnd };

    // The question after a failed file, or the end for a must-install one.
    AfterFailure AskAfterFailure(const std::string& destination, bool mustInstall) {
        if (mustInstall) {
            m_machine.TellFatalCopyFailure(FileMessage(kFatalCopyFormat, destination));
            Abort();
            return AfterFailure::kEnd;
        }
        switch (m_machine.AskAfterCopyFailure(FileMessage(kCopyFailedFormat, destination))) {
        case FailureChoice::kRetry:
            return AfterFailure::kRetry;
        case FailureChoice::kIgnore:
            return AfterFailure::kGoOn;
        default:
            Abort();
            return AfterFailure::kEnd;
        }
    }

    void MakeWritable(const std::string& destination) {
        uint32_t attributes = 0;
        if (m_machine.GetAttributes(destination, attributes) && (attributes & kAttributeReadOnly))
            m_machine.SetAttributes(destination, kAttributeNormal);
    }

    // One attempt; kDone also when the version rule keeps the installed
    // file. A free destination is written straight; any other goes through
    // a staging file that is gone again unless it became the destination.
    EntryResult PlaceUnpacked(const std::string& entry, const std::string& destination, bool versioned,
                              const FileOptions& options) {
        FileFingerprint written;
        if (!versioned && !options.expandContent && !m_machine.Exists(destination))
            return m_machine.Unpack(entry, destination, written);

        const std::string staging = m_machine.StagingPath(destination);
        if (staging.empty()) return EntryResult::kCannotWrite;
        const EntryResult result = m_machine.Unpack(entry, staging, written);
        bool placed = false;
        if (result == EntryResult::kDone) {
            if (versioned && m_machine.Exists(destination) &&
                InstalledFileKept(true, m_machine.VersionText(staging).c_str(),
                                  m_machine.VersionText(destination).c_str())) {
                m_machine.Remove(staging);
                return EntryResult::kDone;
            }
            std::string text;
            const bool expanded = !options.expandContent || !m_machine.ReadText(staging, text) ||
                                  m_machine.WriteText(staging, m_expand(text));
            if (expanded) {
                MakeWritable(destination);
                placed = m_machine.Move(staging, destination);
            }
        }
        if (placed) return EntryResult::kDone;
        m_machine.Remove(staging);
        return result == EntryResult::kDone ? EntryResult::kCannotWrite : result;
    }

    bool Abort() {
        if (m_context.removeTemporaryFiles) m_context.removeTemporaryFiles();
        m_signals.Abort();
        return false;
    }

    const ExpandFn& m_expand;
    const FileStepContext& m_context;
    FileMachine& m_machine;
    RunSignals& m_signals;
};

}  // namespace

FileMachine::~FileMachine() = default;

uint32_t InstalledAttributes(uint32_t current, const FileOptions& options) {
    uint32_t wanted = current & ~kAttributeReadOnly;
    if (options.readOnly) wanted |= kAttributeReadOnly;
    if (options.hidden) wanted |= kAttributeHidden;
    if (options.system) wanted |= kAttributeSystem;
    return wanted == 0 ? kAttributeNormal : wanted;
}

namespace {

// The files of [from, to) that the step will unpack straight into their
// destinations, in order. A destination that another file the step has not
// finished (from `step` on) also has is left out: which of them is there
// when depends on the step.
std::vector<ForeseenFile> StraightUnpacks(const FileList& files, size_t step, size_t from, size_t to,
                                          const ExpandFn& expand, const FileStepContext& context) {
    std::vector<ForeseenFile> straight;
    std::multiset<std::string> destinations;
    for (size_t i = step; i < to && i < files.files.size(); ++i) {
        const FileRecord& record = files.files[i];
        const bool web = IsWebSource(record.sourcePath);
        std::string destination = web ? WebDestinationPath(record, expand) : DestinationPath(record, expand);
        destinations.insert(AsciiLower(destination));
        const FileOptions options = DecodeFileOptions(record.options);
        if (i < from || web || options.keepExisting || options.expandContent || destination.empty() ||
            VersionRuleApplies(record.fileName.c_str()) ||
            !FileMaskApplies(record.fileMask, context.systemName.c_str()))
            continue;
        if (!record.feature.empty() && context.featureDeselected && context.featureDeselected(record.feature)) continue;
        straight.push_back({PackedEntryName(static_cast<int32_t>(i), record.fileName.c_str()), std::move(destination)});
    }
    std::vector<ForeseenFile> foreseen;
    for (ForeseenFile& file : straight) {
        if (destinations.count(AsciiLower(file.destination)) == 1) foreseen.push_back(std::move(file));
    }
    return foreseen;
}

// Told a window at a time, the next one when the step is half-way through
// the last, so the writers never run out: what a cancel leaves to delete
// stays small.
constexpr size_t kForesight = 64;

}  // namespace

bool CopyFiles(const FileList& files, const ExpandFn& expand, const FileStepContext& context, FileMachine& machine,
               RunSignals& signals, UninstallLog& log) {
    FileStep step(expand, context, machine, signals);
    struct Foresight {
        FileMachine& machine;
        ~Foresight() { machine.EndForesight(); }
    } foresight{machine};
    size_t foreseenTo = 0;
    for (size_t i = 0; i < files.files.size(); ++i) {
        const FileRecord& record = files.files[i];
        const int32_t index = static_cast<int32_t>(i);
        if (context.progress) context.progress(index);

        std::string destination = DestinationPath(record, expand);
        if (signals.CancelRequested()) return false;
        if (!context.cabinetPath.empty() && i + kForesight / 2 >= foreseenTo) {
            const std::vector<ForeseenFile> next =
                StraightUnpacks(files, i, foreseenTo, foreseenTo + kForesight, expand, context);
            if (!next.empty()) machine.Foresee(next);
            foreseenTo += kForesight;
        }
        if (!FileMaskApplies(record.fileMask, context.systemName.c_str())) continue;

        const FileOptions options = DecodeFileOptions(record.options);
        if (!step.Skipped(record, options, destination)) {
            if (IsWebSource(record.sourcePath)) {
                destination = WebDestinationPath(record, expand);
                if (!step.InstallWeb(record, destination, options)) return false;
            } else if (!context.cabinetPath.empty()) {
                if (!step.InstallUnpacked(record, index, destination, options)) return false;
            } else if (!step.InstallPacked(record, index, destination, options)) {
                return false;
            }
        }
        step.Finish(destination, options, log);
    }
    return true;
}

}  // namespace kq
