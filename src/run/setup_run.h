// SetupRun: every value of one run of the setup program in one place - the
// package's and the machine's folders, the product settings, the files the
// run works with, the system's name, the feature choices, the answers of the
// pages and the states the run passes through. The main frame fills it at
// start-up; the wizard, the pages and the install worker read it (the
// worker through a snapshot taken when the installation starts).
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "checks/conditions.h"
#include "run/answers.h"
#include "run/exit_codes.h"
#include "run/features.h"
#include "run/folders.h"
#include "run/placeholders.h"
#include "run/run_journal.h"
#include "run/settings.h"

namespace kq {

class Script;

// How a silent run goes on: not silent; silent and the progress page not yet
// opened; silent and past the progress page (the end is next).
enum class SilentMode { kOff, kOn, kAfterProgress };

// Why a run ended early, for its exit code. The first cause given counts:
// what follows from it (the rollback, the failure page) gives none.
enum class RunFailure : int { kNone, kCancelled, kRequirements, kDamaged, kFiles, kOther };

// What the user-interface thread and the install worker tell each other
// while the worker runs: the user's cancel request, the end of the copy step
// and the run's abort.
class RunSignals {
public:
    void SetFailure(RunFailure failure) {
        int expected = static_cast<int>(RunFailure::kNone);
        m_failure.compare_exchange_strong(expected, static_cast<int>(failure));
    }
    RunFailure Failure() const { return static_cast<RunFailure>(m_failure.load()); }
    // A cancel counts only until the copy step is over: after it the worker
    // no longer looks, and nothing would be stopped. False when it came too
    // late and was not recorded.
    bool RequestCancel() {
        int expected = kRunning;
        return m_state.compare_exchange_strong(expected, kCancelRequested) || expected == kCancelRequested;
    }
    bool CancelRequested() const { return m_state == kCancelRequested; }
    // The worker, once every file is in place: from here on the installation
    // runs to its end. False when a cancel came first (the worker stops).
    bool Commit() {
        int expected = kRunning;
        return m_state.compare_exchange_strong(expected, kCommitted) || expected == kCommitted;
    }
    bool Committed() const { return m_state == kCommitted; }
    // The run ends on the failure page (cancelled, or a file could not be
    // installed).
    void Abort() { m_aborted = true; }
    bool Aborted() const { return m_aborted; }
    // The changes of an ended run were undone: the machine is as it was.
    void MarkRolledBack() { m_rolledBack = true; }
    bool RolledBack() const { return m_rolledBack; }

private:
    enum : int { kRunning, kCancelRequested, kCommitted };
    std::atomic<int> m_state{kRunning};
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_rolledBack{false};
    std::atomic<int> m_failure{static_cast<int>(RunFailure::kNone)};
};

// How the run goes, settled at start-up from the script and the package
// (only a silent script's mode moves on as its pages pass).
struct RunModes {
    bool preview = false;              // show every step, change nothing
    SilentMode silent = SilentMode::kOff;
    bool diskImage = false;            // the package keeps its files in DiskImage1
};

// How far the run has come; the user-interface thread keeps it.
struct RunProgress {
    bool mergeModulesPending = false;  // merge modules still read the working folder
    bool installed = false;            // the installation ran to its end without an abort
    bool splashActive = false;
    bool startupWorkDone = false;
    bool splashFinished = false;
};

// The files and folders of the run.
struct RunPaths {
    std::string languageFile;     // language.lan of the package folder
    std::string languagePack;     // the language pack applied, if any
    std::string themeFolder;      // trailing backslash
    std::string workFolderName;   // "kq" + HHMMSS
    std::string workFolder;       // in the temporary folder; trailing backslash
    std::string setupScriptPath;  // the decrypted setup script
    std::string dataScriptPath;   // the decrypted file list
};

// What the setup program's command line asked for; empty or false where it
// said nothing. The start-up fills it before anything reads the package.
struct CommandRequests {
    bool silent = false;        // "/S": silent whatever the script says
    bool plan = false;          // "/PLAN": report what would change, change nothing
    std::string logPath;        // "/LOG=": the machine-readable log
    std::string language;       // "/LANG=": the language pack to apply without asking
    std::string installFolder;  // "/D=": the install folder
    std::string setupType;      // "/TYPE=": a setup type by its name
    std::string features;       // "/FEATURES=": a feature list (answers.h)
    std::string saveAnswers;    // "/SAVEINF=": where the run writes its answers
    std::string loadAnswers;    // "/LOADINF=": the answer file the run takes
    int restartExitCode = kExitRestartNeeded;  // "/RESTARTEXITCODE="
    // What the answer file of "/LOADINF=" holds, once read; the options of
    // the line itself win over it.
    RecordedAnswers answers;
};

// Who is there to see the run and answer it: the one rule every page,
// window and question of the run goes by.
//  - The wizard's user sees every page.
//  - A setup script that is silent (BUILDING "2" = "Yes") skips the wizard's
//    pages and the background behind them, but its user is there: every
//    message, question, dialog, splash, billboard and the failure page is
//    shown, and the run waits for the answers.
//  - "/S" and "/PLAN": nobody. No window at all; every question takes its
//    safe default and every failure ends the run unasked.
class Audience {
public:
    Audience(bool scriptSilent, const CommandRequests& requests)
        : m_who(requests.silent || requests.plan ? kNobody : scriptSilent ? kScriptSilent : kUser) {}
    // The wizard's pages (the start, progress and merge-module pages among
    // them) and the background.
    bool SeesPages() const { return m_who == kUser; }
    // Any other window, and someone to answer it.
    bool SeesWindows() const { return m_who != kNobody; }

private:
    enum Who { kUser, kScriptSilent, kNobody };
    Who m_who;
};

// The pages' answers that placeholders do not read (those that they read are
// kept with the folders and settings: see SetupRun's setters).
struct PageAnswers {
    SetupType setupType = SetupType::Unset;
    int installFor = 0;  // the customer page's install-for choice: 0 anyone, 1 only for me
};

// The values the install worker reads, frozen when the installation starts;
// only the signals are shared with the run.
struct InstallSnapshot {
    FolderValues folders;
    ProductSettings settings;
    UserVariableTable variables;
    std::string workFolderName;
    std::string setupScriptPath;
    std::string dataScriptPath;
    std::string systemName;  // as the start-up found it ("XP", "98", ...)
    // The worker's own copy; it evaluates with the worker's expansion and
    // runs no actions (it opens no windows).
    ConditionList conditions;
    // True when the named feature is known and not to be installed.
    std::function<bool(const std::string&)> featureDeselected;
    bool preview = false;
    // Nobody is there to answer ("/S", "/PLAN"): no dialog is shown and
    // failures take the failure path unasked.
    bool unattended = false;
    // "/PLAN": every step runs over machines that only record (plan_machines.h).
    bool plan = false;
    // The machine-readable log; inactive unless "/LOG=" or "/PLAN" asked for it.
    std::shared_ptr<RunJournal> journal = std::make_shared<RunJournal>();
    bool diskImage = false;
    bool mergeModulesPending = false;
    std::shared_ptr<RunSignals> signals = std::make_shared<RunSignals>();
};

// The completion page's launch offers with the run's values as they are when
// Finish runs (CT10, CT11, CT13 expanded).
struct LaunchTargets {
    std::string program;
    std::string arguments;
    std::string readme;
};

class SetupRun {
public:
    FolderValues& Folders() { return m_folders; }
    const FolderValues& Folders() const { return m_folders; }
    const ProductSettings& Settings() const { return m_settings; }
    RunPaths& Paths() { return m_paths; }
    const RunPaths& Paths() const { return m_paths; }
    RunModes& Modes() { return m_modes; }
    const RunModes& Modes() const { return m_modes; }
    RunProgress& Progress() { return m_progress; }
    const RunProgress& Progress() const { return m_progress; }
    CommandRequests& Requests() { return m_requests; }
    const CommandRequests& Requests() const { return m_requests; }
    RunJournal& Journal() { return *m_journal; }
    void SetJournal(std::shared_ptr<RunJournal> journal) { m_journal = std::move(journal); }
    RunSignals& Signals() { return *m_signals; }
    const RunSignals& Signals() const { return *m_signals; }
    // Who watches the run; before the settings are read only the command
    // line counts.
    Audience Watching() const { return Audience(m_settings.silent != 0, m_requests); }

    const std::string& SystemName() const { return m_systemName; }
    // The author's conditions, read once at start-up.
    ConditionList& Conditions() { return m_conditions; }
    const ConditionList& Conditions() const { return m_conditions; }
    void SetSystemName(const std::string& name) { m_systemName = name; }

    // Reads the product settings (expanding with this run's values as they
    // fill) and takes the preview and silent switches from them; then what
    // the command line asked for: silent ("/S", "/PLAN") and the install
    // folder ("/D=").
    void LoadSettings(const Script& script, const std::string& companyName);
    // Placeholder expansion with the run's current values.
    std::string Expand(const std::string& text) const;
    // The same with `variables` in place of the run's own.
    std::string Expand(const std::string& text, const UserVariableTable& variables) const;
    // The launch offers in the folder the user chose, not the default one.
    LaunchTargets ExpandLaunchTargets() const;

    // The pages' answers. Placeholders see them from now on: the customer
    // page's name and company, the folder chosen on the destination page
    // (ending in a backslash).
    void SetUserName(const std::string& name) { m_folders.userName = name; }
    void SetCompanyName(const std::string& name) { m_settings.companyName = name; }
    void SetInstallFolder(const std::string& folder) { m_settings.installDir = folder; }
    // The feature table; the custom-setup page's tree changes it.
    FeatureTable& Features() { return m_features; }
    const FeatureTable& Features() const { return m_features; }
    PageAnswers& Answers() { return m_answers; }
    const PageAnswers& Answers() const { return m_answers; }

    // The author's variables, computed once at start-up. Both expansions see
    // them from now on (the launch offers too: they are expanded at Finish).
    void SetVariables(UserVariableTable variables);
    const UserVariableTable& Variables() const { return m_variables; }

    InstallSnapshot MakeInstallSnapshot() const;

    // The setup type, features and customer answers that the command line
    // and its answer file ask for, put on the run as if the pages had been
    // answered; `featureTexts` are the feature tree's texts. Returns why
    // they do not fit the package (nothing changed then), or "".
    std::string TakeRequestedAnswers(const std::vector<std::string>& featureTexts);
    // This run's answers as an answer file keeps them; `licensePassed` when
    // the user went past the license page.
    RecordedAnswers CurrentAnswers(const std::vector<std::string>& featureTexts, bool licensePassed) const;

private:
    FolderValues m_folders;
    ProductSettings m_settings;
    RunPaths m_paths;
    RunModes m_modes;
    RunProgress m_progress;
    CommandRequests m_requests;
    std::string m_systemName;
    ConditionList m_conditions;
    FeatureTable m_features;
    PageAnswers m_answers;
    UserVariableTable m_variables;
    std::shared_ptr<RunSignals> m_signals = std::make_shared<RunSignals>();
    std::shared_ptr<RunJournal> m_journal = std::make_shared<RunJournal>();
};

}  // namespace kq
