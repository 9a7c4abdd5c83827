#include "run/setup_run.h"

#include "base/text.h"
#include "run/script.h"

namespace kq {

void SetupRun::LoadSettings(const Script& script, const std::string& companyName) {
    LoadProductSettings(script, companyName, [this](const std::string& text) { return Expand(text); }, m_settings);
    if (m_settings.preview) m_modes.preview = true;
    if (m_settings.silent) m_modes.silent = SilentMode::kOn;
    // The command line overrides the script: a plan asks nobody either, and
    // "/D=" chooses the folder as the destination page would.
    if (m_requests.silent || m_requests.plan) m_modes.silent = SilentMode::kOn;
    if (!m_requests.installFolder.empty()) SetInstallFolder(m_requests.installFolder);
}

std::string SetupRun::Expand(const std::string& text) const {
    return Expand(text, m_variables);
}

std::string SetupRun::Expand(const std::string& text, const UserVariableTable& variables) const {
    return ExpandScriptText(text, MakePlaceholderValues(m_folders, m_settings, &variables));
}

void SetupRun::SetVariables(UserVariableTable variables) {
    m_variables = std::move(variables);
}

LaunchTargets SetupRun::ExpandLaunchTargets() const {
    return {Expand(m_settings.launchProgram), Expand(m_settings.launchArguments), Expand(m_settings.readmeFile)};
}

InstallSnapshot SetupRun::MakeInstallSnapshot() const {
    InstallSnapshot snapshot;
    snapshot.folders = m_folders;
    snapshot.settings = m_settings;
    snapshot.variables = m_variables;
    snapshot.workFolderName = m_paths.workFolderName;
    snapshot.setupScriptPath = m_paths.setupScriptPath;
    snapshot.dataScriptPath = m_paths.dataScriptPath;
    snapshot.systemName = m_systemName;
    snapshot.conditions = m_conditions;
    // A copy: the choices are frozen when the installation starts.
    snapshot.featureDeselected = [features = m_features](const std::string& name) {
        return features.IsDeselected(name);
    };
    snapshot.preview = m_modes.preview;
    snapshot.unattended = !Watching().SeesWindows();
    snapshot.plan = m_requests.plan;
    snapshot.journal = m_journal;
    snapshot.diskImage = m_modes.diskImage;
    snapshot.mergeModulesPending = m_progress.mergeModulesPending;
    snapshot.signals = m_signals;
    return snapshot;
}

std::string SetupRun::TakeRequestedAnswers(const std::vector<std::string>& featureTexts) {
    // The line's parser and the answer file's reader refused any other name.
    SetupType type = m_answers.setupType;
    SetupTypeFromName(m_requests.setupType, &type);
    FeatureTable features = m_features;
    const std::string problem = ApplyFeaturePicks(ParseFeatureList(m_requests.features), featureTexts, features);
    if (!problem.empty()) return problem;
    m_answers.setupType = type;
    m_features = features;
    const RecordedAnswers& recorded = m_requests.answers;
    if (!recorded.userName.empty()) SetUserName(recorded.userName);
    if (!recorded.companyName.empty()) SetCompanyName(recorded.companyName);
    if (recorded.installFor >= 0) m_answers.installFor = recorded.installFor;
    return std::string();
}

RecordedAnswers SetupRun::CurrentAnswers(const std::vector<std::string>& featureTexts, bool licensePassed) const {
    RecordedAnswers answers;
    answers.userName = m_folders.userName;
    answers.companyName = m_settings.companyName;
    answers.installFor = m_answers.installFor;
    answers.folder = m_settings.installDir;
    answers.setupType = SetupTypeName(m_answers.setupType);
    answers.features = FeatureListOf(featureTexts, m_features);
    // The pack's file name without ".lan" is the name "/LANG=" takes.
    const std::string& pack = m_paths.languagePack;
    answers.language = pack.substr(pack.find_last_of('\\') + 1);
    if (EndsWithIgnoreCase(answers.language, ".lan")) answers.language.resize(answers.language.size() - 4);
    answers.licenseAccepted = licensePassed || m_requests.answers.licenseAccepted;
    return answers;
}

}  // namespace kq
