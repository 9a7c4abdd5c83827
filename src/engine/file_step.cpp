#include "engine/file_step.h"

#include "checks/system_name.h"
#include "engine/version_rule.h"

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
    bool Install(const std::string& source, const std::string& destination, bool mustInstall, bool mayMove,
                 bool versioned) {
        if (versioned && m_machine.Exists(destination) &&
            InstalledFileKept(m_machine.Exists(source), m_machine.VersionText(source).c_str(),
                              m_machine.VersionText(destination).c_str()))
            return true;

        for (;;) {
            uint32_t attributes = 0;
            if (m_machine.GetAttributes(destination, attributes) && (attributes & kAttributeReadOnly))
                m_machine.SetAttributes(destination, kAttributeNormal);

            bool done = false;
            if (!source.empty()) {
                if (mayMove) done = m_machine.Move(source, destination);
                if (!done) done = m_machine.Copy(source, destination);
            }
            if (done) return true;

            if (mustInstall) {
                m_machine.TellFatalCopyFailure(FileMessage(kFatalCopyFormat, destination));
                return Abort();
            }
            switch (m_machine.AskAfterCopyFailure(FileMessage(kCopyFailedFormat, destination))) {
            case FailureChoice::kRetry:
                continue;
            case FailureChoice::kIgnore:
                return true;
            default:
                return Abort();
            }
        }
    }

    // The packed file, expanded into its own copy when asked; that copy is
    // never moved, so the packed original stays as it came.
    bool InstallPacked(const FileRecord& record, int32_t index, const std::string& destination,
                       const FileOptions& options) {
        std::string source = PackedSourcePath(m_context.packedFolder.c_str(), index, record.fileName.c_str());
        if (options.expandContent) {
            std::string text;
            const std::string expanded = source + "2";
            if (m_machine.ReadText(source, text) && m_machine.WriteText(expanded, m_expand(text))) source = expanded;
        }
        return Install(source, destination, options.mustInstall, m_context.mayMove && !options.expandContent,
                       VersionRuleApplies(record.fileName.c_str()));
    }

    // False when the installation ends. A web file whose condition is not
    // met is passed over like a skipped one.
    bool InstallWeb(const FileRecord& record, const std::string& destination, const FileOptions& options) {
        const WebSource web = SplitWebSource(record.sourcePath);
        if (!web.condition.empty() && m_context.conditionMet && !m_context.conditionMet(web.condition)) return true;
        // No usable file name: the copy-failure question, as for a file that
        // cannot be written.
        if (destination.empty()) return Install(std::string(), destination, options.mustInstall, false, false);

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

bool CopyFiles(const FileList& files, const ExpandFn& expand, const FileStepContext& context, FileMachine& machine,
               RunSignals& signals, UninstallLog& log) {
    FileStep step(expand, context, machine, signals);
    for (size_t i = 0; i < files.files.size(); ++i) {
        const FileRecord& record = files.files[i];
        const int32_t index = static_cast<int32_t>(i);
        if (context.progress) context.progress(index);

        std::string destination = DestinationPath(record, expand);
        if (signals.CancelRequested()) return false;
        if (!FileMaskApplies(record.fileMask, context.systemName.c_str())) continue;

        const FileOptions options = DecodeFileOptions(record.options);
        if (!step.Skipped(record, options, destination)) {
            if (IsWebSource(record.sourcePath)) {
                destination = WebDestinationPath(record, expand);
                if (!step.InstallWeb(record, destination, options)) return false;
            } else if (!step.InstallPacked(record, index, destination, options)) {
                return false;
            }
        }
        step.Finish(destination, options, log);
    }
    return true;
}

}  // namespace kq
