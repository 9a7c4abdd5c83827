// The install run's side of the machine-readable log (run/run_journal.h):
// every entry the install record takes (the real changes of an
// installation, or those a plan foresees) and every shortcut the uninstall
// log names become lines, and the worker's status, messages and questions
// reach it through the reporter.
#pragma once
#include <string>

#include "record/install_record.h"
#include "run/run_journal.h"
#include "steps/install_reporter.h"

namespace kq {

void JournalRecordEntry(RunJournal& journal, const RecordEntry& entry);
// Lines of the uninstall log that the record does not tell: shortcuts.
void JournalLogLine(RunJournal& journal, const char* kind, const std::string& value);

// A registry value's data as the log shows it: the text of a string, the
// decimal number, or the bytes in hex.
std::string ValueStateText(const ValueState& state);

// Sends the main status line (each step) and the worker's messages and
// questions to the log, and passes everything on to the page's reporter.
// Without a page (a silent run) nothing is sent to any window.
class JournalReporter : public InstallReporter {
public:
    JournalReporter(RunJournal& journal, InstallReporter* page) : m_journal(journal), m_page(page) {}

    void SetStatus(const std::string& text, int line) override;
    void SetProgressRange(int32_t total) override {
        if (m_page != nullptr) m_page->SetProgressRange(total);
    }
    void SetProgressPosition(int32_t position) override {
        if (m_page != nullptr) m_page->SetProgressPosition(position);
    }
    void DownloadStarted() override {
        if (m_page != nullptr) m_page->DownloadStarted();
    }
    void DownloadProgress(const std::string& report) override {
        if (m_page != nullptr) m_page->DownloadProgress(report);
    }
    void DownloadFinished() override {
        if (m_page != nullptr) m_page->DownloadFinished();
    }
    void CopyStepOver() override {
        if (m_page != nullptr) m_page->CopyStepOver();
    }
    void Told(const std::string& message) override { m_journal.Message(message); }
    void Asked(const std::string& question, const std::string& answer) override {
        m_journal.Question(question, answer);
    }

private:
    RunJournal& m_journal;
    InstallReporter* m_page;
};

}  // namespace kq
