// The run's machine-readable log: JSON strings for any byte, the lines of
// the journal, the record's entries as lines, and the reporter that feeds it.
#include "run/run_journal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/json_line.h"
#include "install/install_journal.h"
#include "record/uninstall_log.h"
#include "run/exit_codes.h"

namespace kq {
namespace {

struct StringCase {
    const char* name;
    std::string text;
    bool decode;  // through a code-page decoder (Windows-1252's 0x80 is the euro sign)
    const char* expected;
};

std::u16string FakeCodePage(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0x80) out += u'\u20ac';
        else if (c == 0xF0) out += u"\U0001F600";  // a character beyond the basic plane
        else out += static_cast<char16_t>(c);
    }
    return out;
}

TEST(RunJournalTest, JsonStringsAreAsciiForAnyByte) {
    const StringCase cases[] = {
        {"empty", "", false, "\"\""},
        {"plain", "C:\\Program Files\\a b.txt", false, "\"C:\\\\Program Files\\\\a b.txt\""},
        {"quotes", "say \"hi\"", false, "\"say \\\"hi\\\"\""},
        {"named controls", "\b\f\n\r\t", false, "\"\\b\\f\\n\\r\\t\""},
        {"other controls and DEL", std::string("\x01\x1f\x7f", 3), false, "\"\\u0001\\u001f\\u007f\""},
        {"zero byte", std::string("a\0b", 3), false, "\"a\\u0000b\""},
        {"high bytes without a decoder", "\xe9\xff", false, "\"\\u00e9\\u00ff\""},
        {"code page character", "\x80 5", true, "\"\\u20ac 5\""},
        {"surrogate pair", "\xf0", true, "\"\\ud83d\\ude00\""},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JsonString(c.text, c.decode ? TextDecoder(&FakeCodePage) : TextDecoder()), c.expected);
    }
}

// A journal writing into a vector, with a clock that counts.
struct Captured {
    std::vector<std::string> lines;
    int ticks = 0;
    RunJournal Journal() {
        return RunJournal([this](const std::string& line) { lines.push_back(line); },
                          [this] { return "t" + std::to_string(ticks++); });
    }
};

TEST(RunJournalTest, EventsAreOneObjectPerLine) {
    Captured out;
    RunJournal journal = out.Journal();
    journal.Step("Copying");
    journal.Step("Copying");  // the same status again is the same step
    journal.Step("");
    journal.Step("Settings");
    journal.Message("Disk \"A\" full");
    journal.Question("Cancel?", "No");
    journal.Page("welcome.lcd");
    journal.End(kExitRestartNeeded, false);
    const std::vector<std::string> expected = {
        "{\"time\":\"t0\",\"type\":\"step\",\"text\":\"Copying\"}\n",
        "{\"time\":\"t1\",\"type\":\"step\",\"text\":\"Settings\"}\n",
        "{\"time\":\"t2\",\"type\":\"message\",\"text\":\"Disk \\\"A\\\" full\"}\n",
        "{\"time\":\"t3\",\"type\":\"question\",\"text\":\"Cancel?\",\"answer\":\"No\"}\n",
        "{\"time\":\"t4\",\"type\":\"page\",\"name\":\"welcome.lcd\"}\n",
        "{\"time\":\"t5\",\"type\":\"end\",\"outcome\":\"restart needed\",\"exitCode\":7}\n",
    };
    EXPECT_EQ(out.lines, expected);

    RunJournal inactive;
    EXPECT_FALSE(inactive.Active());
    inactive.Step("x");  // goes nowhere, and does not fail
    inactive.End(0, false);
}

TEST(RunJournalTest, EveryExitCodeHasAnOutcome) {
    for (const ExitCodeText& entry : kExitCodeTable) EXPECT_STRNE(OutcomeName(entry.code, false), "unknown");
    EXPECT_STREQ(OutcomeName(kExitInstalled, true), "planned");
    EXPECT_STREQ(OutcomeName(kExitInstalled, false), "installed");
    EXPECT_EQ(IsoTimeStamp(2026, 12, 8, 5, 4, 3, 21), "2026-12-08T05:04:03.021Z");
}

RecordEntry Entry(RecordKind kind, const std::string& path) {
    RecordEntry entry;
    entry.kind = kind;
    entry.path = path;
    return entry;
}

TEST(RunJournalTest, RecordEntriesBecomeLines) {
    RecordEntry replaced = Entry(RecordKind::kFile, "C:\\A\\a.exe");
    replaced.origin = FileOrigin::kReplaced;
    replaced.fingerprint = FingerprintOf("abc", HashKind::kSha256);
    RecordEntry kept = Entry(RecordKind::kFile, "C:\\A\\b.dll");
    kept.origin = FileOrigin::kKept;
    RecordEntry key;
    key.kind = RecordKind::kKey;
    key.root = RegistryRoot::kLocalMachine;
    key.subKey = "Software\\Acme";
    RecordEntry value = key;
    value.kind = RecordKind::kValue;
    value.name = "Build";
    value.before = StringState("old");
    value.after = NumberState(258);
    RecordEntry created = value;
    created.name = "Data";
    created.before = ValueState();
    created.after.present = true;
    created.after.type = kValueBinary;
    created.after.data = std::string("\x01\xff", 2);
    RecordEntry deleted = value;
    deleted.after = ValueState();
    RecordEntry ini = Entry(RecordKind::kIni, "C:\\WINDOWS\\win.ini");
    ini.subKey = "Fonts";
    ini.name = "Sans";
    ini.text = "a.ttf";
    RecordEntry append = key;
    append.kind = RecordKind::kAppend;
    append.root = RegistryRoot::kCurrentUser;
    append.subKey = "Environment";
    append.name = "PATH";
    append.text = "C:\\A";

    struct Case {
        RecordEntry entry;
        const char* expected;  // without the time stamp
    };
    const Case cases[] = {
        {Entry(RecordKind::kFile, "C:\\A\\new.txt"), "\"type\":\"file\",\"action\":\"new\",\"path\":\"C:\\\\A\\\\new.txt\"}"},
        {replaced, "\"type\":\"file\",\"action\":\"replaced\",\"path\":\"C:\\\\A\\\\a.exe\",\"sha256\":"
                   "\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\",\"size\":3}"},
        {kept, "\"type\":\"file\",\"action\":\"kept\",\"path\":\"C:\\\\A\\\\b.dll\"}"},
        {Entry(RecordKind::kDir, "C:\\A"), "\"type\":\"folder\",\"path\":\"C:\\\\A\"}"},
        {key, "\"type\":\"key\",\"key\":\"HKEY_LOCAL_MACHINE\\\\Software\\\\Acme\"}"},
        {value, "\"type\":\"value\",\"key\":\"HKEY_LOCAL_MACHINE\\\\Software\\\\Acme\",\"name\":\"Build\","
                "\"before\":\"old\",\"after\":\"258\"}"},
        {created, "\"type\":\"value\",\"key\":\"HKEY_LOCAL_MACHINE\\\\Software\\\\Acme\",\"name\":\"Data\","
                  "\"after\":\"01ff\"}"},
        {deleted, "\"type\":\"value\",\"key\":\"HKEY_LOCAL_MACHINE\\\\Software\\\\Acme\",\"name\":\"Build\","
                  "\"before\":\"old\"}"},
        {append, "\"type\":\"append\",\"key\":\"HKEY_CURRENT_USER\\\\Environment\",\"name\":\"PATH\",\"text\":"
                 "\"C:\\\\A\"}"},
        {ini, "\"type\":\"ini\",\"file\":\"C:\\\\WINDOWS\\\\win.ini\",\"section\":\"Fonts\",\"key\":\"Sans\","
              "\"value\":\"a.ttf\"}"},
        {Entry(RecordKind::kService, "AcmeSync"), "\"type\":\"service\",\"name\":\"AcmeSync\"}"},
        {Entry(RecordKind::kServer, "C:\\A\\a.ocx"), "\"type\":\"server\",\"path\":\"C:\\\\A\\\\a.ocx\"}"},
        {Entry(RecordKind::kShared, "C:\\S\\c.dll"), "\"type\":\"shared\",\"path\":\"C:\\\\S\\\\c.dll\"}"},
    };
    for (const Case& c : cases) {
        Captured out;
        RunJournal journal = out.Journal();
        JournalRecordEntry(journal, c.entry);
        ASSERT_EQ(out.lines.size(), 1u) << c.expected;
        EXPECT_EQ(out.lines[0], std::string("{\"time\":\"t0\",") + c.expected + "\n");
    }
}

// Of the uninstall log's lines only the shortcuts are news to the journal
// (the record tells the rest, with more).
TEST(RunJournalTest, UninstallLogGivesShortcuts) {
    Captured out;
    RunJournal journal = out.Journal();
    UninstallLog log;  // no file: lines are held, the observer sees them anyway
    log.SetObserver([&journal](const char* kind, const std::string& value) { JournalLogLine(journal, kind, value); });
    log.Append(logkind::kFile, "C:\\A\\a.exe");
    log.Append(logkind::kShortcut, "C:\\Menu\\A.lnk");
    log.Append(logkind::kShortcut, "bad\r\nFILE=C:\\x");  // refused by the log: no line either
    const std::vector<std::string> expected = {
        "{\"time\":\"t0\",\"type\":\"shortcut\",\"path\":\"C:\\\\Menu\\\\A.lnk\"}\n"};
    EXPECT_EQ(out.lines, expected);
}

// The page's reporter, when there is one, gets everything; the journal gets
// the main status line as steps, and the messages and questions.
struct PageCalls : InstallReporter {
    std::vector<std::string> calls;
    void SetStatus(const std::string& text, int line) override { calls.push_back(std::to_string(line) + text); }
    void SetProgressRange(int32_t total) override { calls.push_back("range" + std::to_string(total)); }
    void SetProgressPosition(int32_t position) override { calls.push_back("pos" + std::to_string(position)); }
    void DownloadStarted() override { calls.push_back("dl"); }
    void DownloadProgress(const std::string& report) override { calls.push_back("dl " + report); }
    void DownloadFinished() override { calls.push_back("dl end"); }
    void CopyStepOver() override { calls.push_back("over"); }
};

TEST(RunJournalTest, ReporterFeedsTheJournalAndThePage) {
    struct Case {
        const char* name;
        bool withPage;
        std::vector<std::string> pageCalls;
    };
    const Case cases[] = {
        {"visible", true, {"0Copying", "1a.txt", "range3", "pos1", "dl", "dl 5,1s,x", "dl end", "over"}},
        {"silent: no page", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Captured out;
        RunJournal journal = out.Journal();
        PageCalls page;
        JournalReporter reporter(journal, c.withPage ? &page : nullptr);
        reporter.SetStatus("Copying", 0);
        reporter.SetStatus("a.txt", 1);
        reporter.SetProgressRange(3);
        reporter.SetProgressPosition(1);
        reporter.DownloadStarted();
        reporter.DownloadProgress("5,1s,x");
        reporter.DownloadFinished();
        reporter.CopyStepOver();
        reporter.Told("Disk full");
        reporter.Asked("Can't copy", FailureChoiceName(FailureChoice::kRetry));
        EXPECT_EQ(page.calls, c.pageCalls);
        const std::vector<std::string> expected = {
            "{\"time\":\"t0\",\"type\":\"step\",\"text\":\"Copying\"}\n",
            "{\"time\":\"t1\",\"type\":\"message\",\"text\":\"Disk full\"}\n",
            "{\"time\":\"t2\",\"type\":\"question\",\"text\":\"Can't copy\",\"answer\":\"Retry\"}\n",
        };
        EXPECT_EQ(out.lines, expected);
    }
}

}  // namespace
}  // namespace kq
