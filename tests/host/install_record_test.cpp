#include "record/install_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "fake_machines.h"
#include "record/record_removal.h"
#include "record/removal_report.h"
#include "steps/install_recorders.h"
#include "steps/plan_machines.h"

namespace kq {
namespace {

constexpr char kInstallDir[] = "C:\\Program Files\\Acme\\Notes\\";
constexpr char kMaintenance[] = "C:\\WINDOWS\\Installer\\{P}\\";
constexpr char kSystemDll[] = "C:\\WINDOWS\\system32\\common.dll";

using FakeMachine = fakes::FakeRecordedMachine;
using fakes::MachineState;
using fakes::Parent;
using fakes::ValueName;

RemovalScope Scope() {
    RemovalScope scope;
    scope.productCode = "{P}";
    scope.installDir = kInstallDir;
    scope.maintenanceFolder = kMaintenance;
    scope.folders = {kInstallDir, "C:\\WINDOWS\\", "C:\\Program Files\\", "C:\\Documents and Settings\\"};
    scope.foreignFolders = {"C:\\Program Files\\Other\\", "C:\\WINDOWS\\Installer\\{OTHER}\\"};
    return scope;
}

// A machine as it was before the install: Windows, a system DLL, a win.ini
// with an entry, a user PATH, the .txt association, a value of another
// product.
void SeedSystem(FakeMachine& m) {
    for (const char* folder : {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\Program Files", "C:\\WINDOWS\\Installer"})
        m.s.folders.insert(folder);
    m.s.files["C:\\WINDOWS\\win.ini"] = "[old]";
    m.s.files["C:\\pkg\\notes.exe"] = "program";
    m.s.files["C:\\pkg\\common.dll"] = "new dll";
    m.s.files["C:\\pkg\\notes.ini"] = "x";
    m.s.ini["C:\\WINDOWS\\win.ini|Fonts|Sans"] = "sans.ttf";
    m.CreateKey(RegistryRoot::kClassesRoot, ".txt\\ShellNew");
    m.WriteString(RegistryRoot::kClassesRoot, ".txt", "", "txtfile", false);
    m.CreateKey(RegistryRoot::kCurrentUser, "Environment");
    m.WriteString(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools", true);
    m.CreateKey(RegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    m.CreateKey(RegistryRoot::kLocalMachine, kSharedDllsKey);
}

// Nothing is in a folder the run made but what the run wrote there, so the
// system is not asked (here it would say every path is taken).
TEST(InstallRecordTest, FileRecorderAsksTheSystemOutsideFoldersTheRunMade) {
    struct Row {
        const char* path;
        bool written;
        bool taken;
    } const rows[] = {
        {"C:\\new\\a.txt", false, false},
        {"C:\\New\\a.txt", true, true},
        {"C:\\Old\\a.txt", false, true},
        {"C:\\New\\Sub\\a.txt", false, true},
    };
    for (const Row& row : rows) {
        fakes::FakeFileMachine files;
        files.files[row.path] = fakes::FakeFile();
        files.entries["e"] = fakes::FakeFile();
        FakeMachine state;
        InstallRecord record;
        record.Folder("C:\\NEW\\");
        RecordingFileMachine recording(files, state, record);
        FileFingerprint written;
        if (row.written) recording.Unpack("e", row.path, written);
        EXPECT_EQ(recording.Exists(row.path), row.taken) << row.path;
    }
}

// Files told ahead go on to be written ahead only in folders the run made,
// after one write has named them all in the record in progress (a kill
// while they are written deletes them); they stay free for the step until
// it unpacks them, which adds only their FILE lines.
TEST(InstallRecordTest, FileRecorderTellsAheadOnlyFilesKnownNew) {
    fakes::FakeFileMachine files;
    files.entries["e1"] = fakes::FakeFile();
    FakeMachine state;
    InstallRecord record;
    record.Folder("C:\\NEW\\");
    std::vector<std::string> writes;
    std::vector<size_t> toldBefore;
    record.SetLineSink([&](const std::string& line) {
        writes.push_back(line);
        toldBefore.push_back(files.foreseen.size());
    });
    RecordingFileMachine recording(files, state, record);
    recording.Foresee({{"e1", "C:\\New\\a.txt"}, {"e2", "C:\\Old\\b.txt"}, {"e3", "C:\\New\\c.txt"}});
    ASSERT_EQ(writes,
              std::vector<std::string>{FormatTemporaryLine("C:\\New\\a.txt") + FormatTemporaryLine("C:\\New\\c.txt")});
    EXPECT_EQ(toldBefore[0], 0u);
    EXPECT_EQ(files.foreseen, (std::vector<std::string>{"e1>C:\\New\\a.txt", "e3>C:\\New\\c.txt"}));
    files.files["C:\\New\\a.txt"] = fakes::FakeFile();  // written ahead
    EXPECT_FALSE(recording.Exists("C:\\New\\a.txt"));
    FileFingerprint written;
    ASSERT_EQ(recording.Unpack("e1", "C:\\New\\a.txt", written), EntryResult::kDone);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].rfind("FILE\tnew\tC:\\New\\a.txt\t", 0), 0u) << writes[1];
    // Written again, it is still the run's own: new, never set aside.
    ASSERT_EQ(recording.Unpack("e1", "C:\\New\\a.txt", written), EntryResult::kDone);
    EXPECT_EQ(writes.back().rfind("FILE\tnew\tC:\\New\\a.txt\t", 0), 0u) << writes.back();
    for (const std::string& line : writes) EXPECT_NE(line.rfind("ASIDE", 0), 0u) << line;
}

// Every kind of change through the recorders, then removal: the machine is
// as it was, and only what the user made after the install stays.
TEST(InstallRecordTest, RemovalUndoesARecordedInstall) {
    FakeMachine m;
    SeedSystem(m);
    const MachineState before = m.s;

    InstallRecord record;
    auto create = [&m](const std::string& level) {
        if (m.s.folders.count(level) != 0) return CreateDirResult::Exists;
        if (m.s.folders.count(Parent(level)) == 0) return CreateDirResult::ParentMissing;
        m.s.folders.insert(level);
        return CreateDirResult::Created;
    };
    ASSERT_TRUE(CreateRecordedDirectoryPath("C:\\Program Files\\Acme\\Notes\\data\\a", create, record));
    ASSERT_TRUE(CreateRecordedDirectoryPath("C:\\WINDOWS\\Installer\\{P}", create, record));
    RecordingSettingsMachine settings(m, m, record);
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.exe", std::string(kInstallDir) + "notes.exe"));
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.exe", std::string(kInstallDir) + "data\\a\\user.txt"));
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\common.dll", kSystemDll));
    ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.ini", std::string(kMaintenance) + "uninstall.log"));
    settings.WriteIniValue("C:\\WINDOWS\\win.ini", "Fonts", "Sans", "notes.ttf");
    settings.WriteIniValue("C:\\WINDOWS\\win.ini", "Notes", "Home", "C:\\Notes");
    settings.WriteIniValue("C:\\WINDOWS\\notes.ini", "Main", "Run", "1");
    settings.CreateKey(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes");
    settings.WriteNumber(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes", "Build", 12);
    settings.CreateKey(RegistryRoot::kClassesRoot, "Acme.Note\\shell\\Open\\Command");
    settings.CreateKey(RegistryRoot::kClassesRoot, ".txt");
    settings.WriteString(RegistryRoot::kClassesRoot, ".txt", "", "Acme.Note", false);
    settings.WriteString(RegistryRoot::kClassesRoot, "Acme.Note\\shell\\Open\\Command", "", "notes %1", false);
    settings.WriteString(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools;C:\\Notes", true);
    settings.WriteString(RegistryRoot::kCurrentUser, "Environment", "NOTES", ";C:\\Notes", false);
    settings.Finish();
    CountSharedFiles(record, {kInstallDir, kMaintenance}, m);
    RecordingServiceMachine services(m, record);
    ServiceSpec spec;
    spec.name = "NotesSync";
    spec.commandLine = "\"C:\\Program Files\\Acme\\Notes\\notes.exe\" /service";
    ASSERT_EQ(services.Install(spec), ServiceCreation::kCreated);
    {
        RecordEntry server;
        server.kind = RecordKind::kServer;
        server.path = std::string(kInstallDir) + "notes.exe";
        record.Add(server);
    }
    m.CreateKey(RegistryRoot::kLocalMachine, UninstallKeyPath("{P}"));

    // The record survives its own text.
    ParsedRecord parsed = ParseRecord(record.Text());
    ASSERT_TRUE(parsed.valid);
    ASSERT_TRUE(parsed.refused.empty()) << parsed.refused[0];
    ASSERT_EQ(parsed.entries.size(), record.Entries().size());

    // The user changes a file, and adds to PATH after the install.
    m.s.files[std::string(kInstallDir) + "data\\a\\user.txt"] = "my notes";
    m.WriteString(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools;C:\\Notes;C:\\Mine", true);

    // A plan of the removal changes nothing and lists what the removal then does.
    auto collect = [](std::vector<std::string>& to) {
        return [&to](const RemovalItem& item) { to.push_back(item.action + " " + item.what); };
    };
    auto emptyOnceGone = [&m](const std::string& folder, const std::set<std::string>& gone) {
        std::vector<std::string> inside;
        for (const auto& f : m.s.files) inside.push_back(f.first);
        inside.insert(inside.end(), m.s.folders.begin(), m.s.folders.end());
        for (const std::string& path : inside) {
            if (Parent(path) == folder && gone.count(AsciiLower(path)) == 0) return false;
        }
        return true;
    };
    const MachineState installed = m.s;
    std::vector<std::string> planned, done;
    m.foreseen.clear();
    m.read.clear();
    ReportingRecordMachine plan(m, collect(planned), false, emptyOnceGone);
    RemoveRecorded(parsed.entries, Scope(), plan);
    EXPECT_TRUE(m.s == installed);
    ReportingRecordMachine acting(m, collect(done), true);
    RecordRemovalReport report = RemoveRecorded(parsed.entries, Scope(), acting);
    EXPECT_EQ(planned, done);
    EXPECT_GT(done.size(), 10u);
    // Files are read in the order they were foreseen in: a machine reads
    // ahead on that word.
    EXPECT_EQ(m.read, m.foreseen);
    EXPECT_GE(m.read.size(), 4u);
    EXPECT_TRUE(report.left.empty()) << report.left[0];
    EXPECT_TRUE(report.refused.empty()) << report.refused[0];
    EXPECT_TRUE(report.registrationRemoved);

    MachineState expected = before;
    expected.files[std::string(kInstallDir) + "data\\a\\user.txt"] = "my notes";
    for (const char* folder : {"C:\\Program Files\\Acme", "C:\\Program Files\\Acme\\Notes",
                               "C:\\Program Files\\Acme\\Notes\\data", "C:\\Program Files\\Acme\\Notes\\data\\a"})
        expected.folders.insert(folder);
    expected.values[ValueName(RegistryRoot::kCurrentUser, "Environment", "PATH")] =
        StringState("C:\\Tools;C:\\Mine", true);
    EXPECT_EQ(m.s.files, expected.files);
    EXPECT_EQ(m.s.folders, expected.folders);
    EXPECT_EQ(m.s.keys, expected.keys);
    EXPECT_EQ(m.s.ini, expected.ini);
    EXPECT_EQ(m.s.services, expected.services);
    EXPECT_TRUE(m.s.values == expected.values);
    ASSERT_EQ(report.kept.size(), 5u);
    EXPECT_EQ(report.kept[0], "file C:\\Program Files\\Acme\\Notes\\data\\a\\user.txt: changed since installation");
    // The server is unregistered before its file goes.
    std::vector<std::string> order;
    for (const std::string& e : m.events) {
        if (e.find("notes.exe") != std::string::npos) order.push_back(e);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"unregister C:\\Program Files\\Acme\\Notes\\notes.exe",
                                               "delete C:\\Program Files\\Acme\\Notes\\notes.exe"}));
}

RecordEntry Entry(RecordKind kind, const std::string& path) {
    RecordEntry entry;
    entry.kind = kind;
    entry.path = path;
    return entry;
}

RecordEntry NewFile(const std::string& path, const std::string& content) {
    RecordEntry entry = Entry(RecordKind::kFile, path);
    entry.fingerprint = FingerprintOf(content);
    return entry;
}

RecordEntry Key(RegistryRoot root, const std::string& subKey) {
    RecordEntry entry = Entry(RecordKind::kKey, "");
    entry.root = root;
    entry.subKey = subKey;
    return entry;
}

RecordEntry Value(RegistryRoot root, const std::string& subKey, const std::string& name, ValueState before,
                  ValueState after) {
    RecordEntry entry = Key(root, subKey);
    entry.kind = RecordKind::kValue;
    entry.name = name;
    entry.before = before;
    entry.after = after;
    return entry;
}

TEST(InstallRecordFormat, EveryKindSurvivesItsText) {
    RecordEntry replaced = NewFile("C:\\W\\a%b\tc.dll", "x");
    replaced.origin = FileOrigin::kReplaced;
    RecordEntry kept = Entry(RecordKind::kFile, "C:\\W\\k.dll");
    kept.origin = FileOrigin::kKept;
    RecordEntry append = Key(RegistryRoot::kCurrentUser, "Environment");
    append.kind = RecordKind::kAppend;
    append.name = "PATH";
    append.text = "C:\\Notes";
    append.existed = true;
    RecordEntry ini = Entry(RecordKind::kIni, "C:\\W\\win.ini");
    ini.subKey = "Sec\r\ntion";
    ini.name = "Key";
    ini.existed = true;
    ini.previous = "";
    ini.text = "=v=";
    RecordEntry iniNew = ini;
    iniNew.existed = false;
    ValueState binary;
    binary.present = true;
    binary.type = kValueBinary;
    binary.data = std::string("\0\xff\x01", 3);
    const std::vector<RecordEntry> entries = {
        NewFile("C:\\P\\a.exe", ""), replaced, kept, [] { RecordEntry e = Entry(RecordKind::kShared, "C:\\W\\c.dll"); e.existed = true; return e; }(),
        Entry(RecordKind::kServer, "C:\\P\\s.ocx"), Entry(RecordKind::kDir, "C:\\P\\d"),
        Key(RegistryRoot::kClassesRoot, ".nwn\\ShellNew"),
        Value(RegistryRoot::kLocalMachine, "Software\\A", "", ValueState(), StringState("x", true)),
        Value(RegistryRoot::kUsers, ".DEFAULT\\A", "n\\m", NumberState(7), binary), append, ini, iniNew,
        Entry(RecordKind::kService, "Notes Sync"),
    };
    const std::string text = FormatRecord(entries);
    ParsedRecord parsed = ParseRecord(text);
    ASSERT_TRUE(parsed.valid);
    ASSERT_TRUE(parsed.refused.empty()) << parsed.refused[0];
    EXPECT_EQ(FormatRecord(parsed.entries), text);
    ASSERT_EQ(parsed.entries.size(), entries.size());
    EXPECT_EQ(parsed.entries[1].path, "C:\\W\\a%b\tc.dll");
    EXPECT_EQ(parsed.entries[10].subKey, "Sec\r\ntion");
    EXPECT_TRUE(parsed.entries[8].after == binary);
    EXPECT_EQ(parsed.entries[0].fingerprint.hash, "xxh3:2d06800538d394c2");
    EXPECT_EQ(FingerprintOf("abc").hash, "xxh3:78af5f94892f3950");
    EXPECT_EQ(FingerprintOf("abc", HashKind::kSha256).hash,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(InstallRecordTest, WroteNamesTheFilesCreatedOrReplaced) {
    InstallRecord record;
    record.File(FileOrigin::kNew, "C:\\P\\New.exe");
    record.File(FileOrigin::kReplaced, "C:\\W\\old.dll");
    record.File(FileOrigin::kKept, "C:\\W\\kept.dll");
    record.Folder("C:\\P\\dir");
    const struct { const char* path; bool wrote; } cases[] = {
        {"C:\\P\\New.exe", true},  {"c:\\p\\NEW.EXE", true}, {"C:\\W\\old.dll", true},
        {"C:\\W\\kept.dll", false}, {"C:\\P\\dir", false},   {"C:\\P\\New.ex", false},
    };
    for (const auto& c : cases) EXPECT_EQ(record.Wrote(c.path), c.wrote) << c.path;
    // Lines of files without a fingerprint do not read back: those entries come back whole, in their places.
    const std::vector<RecordEntry> entries = record.Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].path, "C:\\W\\old.dll");
    EXPECT_EQ(entries[3].kind, RecordKind::kDir);
    // A file recorded after the first question is known too.
    record.File(FileOrigin::kNew, "C:\\P\\later.txt", FingerprintOf("x"));
    EXPECT_TRUE(record.Wrote("C:\\P\\later.txt"));
    record.Clear();
    EXPECT_FALSE(record.Wrote("C:\\P\\New.exe"));
}

// Each run after a Clear: its text and entries come back as they were
// added, whatever a line shares with the one before, and whether its blocks
// of lines stay in memory, go to a spill file, or fail to go there.
TEST(InstallRecordTest, TheTextIsTheLinesAsAdded) {
    const std::string dir = kInstallDir;
    const std::string deep = dir + std::string(300, 'f') + "\\";             // shares more than 255 bytes
    const RecordEntry whole = Entry(RecordKind::kFile, deep + "whole.txt");  // no fingerprint: kept whole
    std::vector<std::vector<RecordEntry>> runs = {
        {NewFile(dir + "a.txt", "a"), NewFile(dir + "b.txt", "b"), NewFile(dir + "b.txt", "b"),
         NewFile(dir + "b.txt2", "b"), NewFile(dir + "b", "b"), Entry(RecordKind::kDir, dir + "sub"),
         NewFile(deep + "1.txt", "1"), NewFile(deep + "2.txt", "2"),
         Value(RegistryRoot::kCurrentUser, "Software\\Acme", "n", ValueState(), StringState("v"))},
        {NewFile(deep + "2.txt", "3"), NewFile(deep + "3.txt", "3")},
        {whole, NewFile(deep + "4.txt", "4"), whole, whole, NewFile(deep + "5.txt", "5"), whole},
    };
    // Blocks of many files, twice: the second run's blocks follow the
    // first's in the spill file.
    for (const char* folder : {"many\\", "more\\"}) {
        std::vector<RecordEntry> many;
        for (int i = 0; i < 4000; ++i) many.push_back(NewFile(dir + folder + std::to_string(i) + ".txt", "m"));
        many.insert(many.begin() + 2500, whole);
        runs.push_back(many);
    }
    const std::string readOnlyPath = testing::TempDir() + "kq_spill_read_only";
    std::fclose(std::fopen(readOnlyPath.c_str(), "wb"));
    std::FILE* spills[] = {nullptr, std::tmpfile(), std::fopen(readOnlyPath.c_str(), "rb")};
    for (std::FILE* spill : spills) {
        InstallRecord record;
        record.SpillTo(spill);
        for (const std::vector<RecordEntry>& run : runs) {
            record.Clear();
            std::string text = "KQR\t1\r\n";
            record.SetLineSink([&text](const std::string& line) { text += line; });
            for (const RecordEntry& entry : run) record.Add(entry);
            EXPECT_EQ(record.Text(), text);
            EXPECT_EQ(FormatRecord(record.Entries()), text);
        }
        if (spill != nullptr) std::fclose(spill);
    }
    std::remove(readOnlyPath.c_str());
}

TEST(InstallRecordFormat, BadLinesAreRefusedAndTheRestRead) {
    const std::string sha(64, 'a');
    struct Case {
        std::string line;
        const char* reason;
    };
    const Case cases[] = {
        {"FILE\tnew\tC:\\a\t" + sha, "FILE needs 4 fields"},
        {"FILE\told\tC:\\a\t" + sha + "\t1", "unknown file origin"},
        {"FILE\tnew\tC:\\a\t" + std::string(64, 'A') + "\t1", "no hash"},
        {"FILE\tnew\tC:\\a\tabc\t1", "no hash"},
        {"FILE\tnew\tC:\\a\txxh3:" + std::string(15, 'a') + "\t1", "no hash"},
        {"FILE\tnew\tC:\\a\txxh3:" + std::string(16, 'A') + "\t1", "no hash"},
        {"FILE\tnew\tC:\\a\t" + sha + "\t-1", "no size"},
        {"FILE\tnew\tC:\\a\t" + sha + "\t99999999999999999999", "no size"},
        {"FILE\tnew\tC:\\a%2\t" + sha + "\t1", "bad % escape"},
        {"FILE\tnew\tC:\\a%zz\t" + sha + "\t1", "bad % escape"},
        {"DIR", "needs 1 field"},
        {"SHARED\tC:\\a.dll", "SHARED needs 2 fields"},
        {"SHARED\tC:\\a.dll\tyes", "counted before must be 0 or 1"},
        {"DIR\ta\tb", "needs 1 field"},
        {"KEY\tHKLM\\Software", "no registry key below a root"},
        {"KEY\tHKEY_LOCAL_MACHINE", "no registry key below a root"},
        {"KEY\tHKEY_CLASSES_ROOT\\a\\\\uninstall\\x", "not a registry key path"},
        {"KEY\tHKEY_CURRENT_USER\\A\\", "not a registry key path"},
        {"VALUE\tHKEY_CURRENT_USER\\A%01\tn\t-\t-", "not a registry key path"},
        {"APPEND\tHKEY_CURRENT_USER\\" + std::string(256, 'e') + "\tPATH\tx\t1", "not a registry key path"},
        {"VALUE\tHKEY_CURRENT_USER\\A\tn\t-\t9:00", "bad value state"},
        {"VALUE\tHKEY_CURRENT_USER\\A\tn\t-\t4:0102", "bad value state"},
        {"VALUE\tHKEY_CURRENT_USER\\A\tn\t1:0\t-", "bad value state"},
        {"VALUE\tHKEY_CURRENT_USER\\A\tn\tx\t-", "bad value state"},
        {"APPEND\tHKEY_CURRENT_USER\\Environment\tPATH\tx\t2", "existed must be 0 or 1"},
        {"APPEND\tHKEY_CURRENT_USER\\Environment\tPATH\t\t1", "empty appended part"},
        {"INI\tC:\\a.ini\ts\tk\tv\tw", "bad previous INI value"},
        {"INI\tC:\\a.ini\t\tk\t-\tw", "empty INI section or key"},
        {"RAN\tC:\\x.exe", "unknown kind"},
        {"RUN", "RUN needs 1 field"},
        {"ASIDE\tC:\\a", "ASIDE needs 2 fields"},
        {"", ""},
    };
    for (const Case& c : cases) {
        ParsedRecord parsed = ParseRecord("KQR\t1\r\n" + c.line + "\r\nDIR\tC:\\P\r\n");
        EXPECT_TRUE(parsed.valid);
        ASSERT_EQ(parsed.entries.size(), 1u) << c.line;
        EXPECT_EQ(parsed.entries[0].path, "C:\\P");
        if (c.reason[0] == '\0') {
            EXPECT_TRUE(parsed.refused.empty()) << c.line;
        } else {
            ASSERT_EQ(parsed.refused.size(), 1u) << c.line;
            EXPECT_EQ(parsed.refused[0], std::string("line 2: ") + c.reason);
        }
    }
    // Not a record at all, or one cut short.
    EXPECT_FALSE(ParseRecord("KQR\t2\r\nDIR\tC:\\P\r\n").valid);
    EXPECT_TRUE(ParseRecord("DIR\tC:\\P\r\n").entries.empty());
    ParsedRecord cut = ParseRecord("KQR\t1\nDIR\tC:\\P\nDIR\tC:\\Q");
    EXPECT_EQ(cut.entries.size(), 1u);
    EXPECT_EQ(cut.refused, std::vector<std::string>{"line 3: cut short"});
}

// The record of a run killed while writing a line, cut at every byte: what
// is read is exactly its whole lines.
TEST(InstallRecordFormat, ARecordCutAnywhereIsReadAsFarAsItsWholeLines) {
    InstallRecord record;
    std::string text = FormatRecordInProgress(kInstallDir);
    record.SetLineSink([&text](const std::string& line) { text += line; });
    record.Folder("C:\\P");
    record.File(FileOrigin::kNew, "C:\\P\\a%.exe", FingerprintOf("a"));
    record.SetAside("C:\\W\\b.dll", "C:\\W\\kq1.tmp");
    record.File(FileOrigin::kReplaced, "C:\\W\\b.dll", FingerprintOf("b"));
    record.Value(RegistryRoot::kCurrentUser, "Software\\Acme", "n", ValueState(), StringState("v"));
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string_view kept = std::string_view(text).substr(0, cut);
        const size_t wholeLines = std::count(kept.begin(), kept.end(), '\n');
        const size_t runAndAside = (wholeLines >= 2) + (wholeLines >= 5);
        const ParsedRecord parsed = ParseRecord(kept);
        SCOPED_TRACE(cut);
        EXPECT_EQ(parsed.valid, wholeLines >= 1);
        EXPECT_EQ(parsed.inProgress, wholeLines >= 2);
        EXPECT_EQ(parsed.installDir, wholeLines >= 2 ? kInstallDir : "");
        EXPECT_EQ(parsed.setAside.size(), wholeLines >= 5 ? 1u : 0u);
        ASSERT_EQ(parsed.entries.size(), wholeLines - std::min<size_t>(wholeLines, 1 + runAndAside));
        for (size_t i = 0; i < parsed.entries.size(); ++i)
            EXPECT_EQ(FormatRecordLine(parsed.entries[i]), FormatRecordLine(record.Entries()[i]));
        EXPECT_EQ(parsed.refused.size(), kept.empty() || kept.back() == '\n' ? 0u : 1u);
    }
}

// One rule of removal per row: the machine before, one or two entries, the
// machine after and what the user is told.
TEST(RecordRemovalTest, Rules) {
    const std::string exe = std::string(kInstallDir) + "a.exe";
    const std::string sharedValue = AsciiLower(FormatRegistryKeyPath(RegistryRoot::kLocalMachine, kSharedDllsKey)) + "|" + kSystemDll;
    struct Case {
        const char* name;
        std::function<void(FakeMachine&)> seed;
        std::vector<RecordEntry> entries;
        std::function<void(FakeMachine&)> check;
        size_t left, kept;
        bool registrationRemoved;
        bool rollback = false;
    };
    RecordEntry replaced = NewFile(exe, "old");
    replaced.origin = FileOrigin::kReplaced;
    RecordEntry keptDll = Entry(RecordKind::kFile, kSystemDll);
    keptDll.origin = FileOrigin::kKept;
    auto count = [](uint32_t n) { return NumberState(n); };
    const Case cases[] = {
        {"unchanged file goes", [&](FakeMachine& m) { m.s.files[exe] = "x"; }, {NewFile(exe, "x")},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(exe), 0u); }, 0, 0, true},
        {"changed file stays", [&](FakeMachine& m) { m.s.files[exe] = "mine"; }, {NewFile(exe, "x")},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files[exe], "mine"); }, 0, 1, true},
        {"replaced file stays", [&](FakeMachine& m) { m.s.files[exe] = "old"; }, {replaced},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(exe), 1u); }, 0, 0, true},
        {"locked file keeps the registration", [&](FakeMachine& m) { m.s.files[exe] = "x"; m.locked.insert(exe); },
         {NewFile(exe, "x")}, [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(exe), 1u); }, 1, 0, false},
        {"last count of a shared file: it goes",
         [&](FakeMachine& m) { m.s.files[kSystemDll] = "x"; m.s.values[sharedValue] = count(1); },
         {NewFile(kSystemDll, "x"), Entry(RecordKind::kShared, kSystemDll)},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(kSystemDll), 0u); EXPECT_EQ(m.s.values.count(sharedValue), 0u); },
         0, 0, true},
        {"shared file still counted by others stays",
         [&](FakeMachine& m) { m.s.files[kSystemDll] = "x"; m.s.values[sharedValue] = count(3); },
         {NewFile(kSystemDll, "x"), Entry(RecordKind::kShared, kSystemDll)},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(kSystemDll), 1u); EXPECT_TRUE(m.s.values[sharedValue] == count(2)); },
         0, 1, true},
        {"a system file without a count is never deleted", [&](FakeMachine& m) { m.s.files[kSystemDll] = "x"; },
         {NewFile(kSystemDll, "x")}, [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(kSystemDll), 1u); }, 0, 1, true},
        {"a rollback takes back its own new system file, counted or not", [&](FakeMachine& m) { m.s.files[kSystemDll] = "x"; },
         {NewFile(kSystemDll, "x")}, [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(kSystemDll), 0u); }, 0, 0, true, true},
        {"a kept system DLL that had a count only gives its count back",
         [&](FakeMachine& m) { m.s.files[kSystemDll] = "newer"; m.s.values[sharedValue] = count(2); },
         {keptDll, [&] { RecordEntry e = Entry(RecordKind::kShared, kSystemDll); e.existed = true; return e; }()},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files[kSystemDll], "newer"); EXPECT_TRUE(m.s.values[sharedValue] == count(1)); },
         0, 0, true},
        {"a kept system DLL that had none leaves none",
         [&](FakeMachine& m) { m.s.files[kSystemDll] = "newer"; m.s.values[sharedValue] = count(2); },
         {keptDll, Entry(RecordKind::kShared, kSystemDll)},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files[kSystemDll], "newer"); EXPECT_EQ(m.s.values.count(sharedValue), 0u); },
         0, 0, true},
        {"a new shared file another product counts on stays",
         [&](FakeMachine& m) { m.s.files[kSystemDll] = "x"; m.s.values[sharedValue] = count(2); },
         {NewFile(kSystemDll, "x"), Entry(RecordKind::kShared, kSystemDll)},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.files.count(kSystemDll), 1u); EXPECT_TRUE(m.s.values[sharedValue] == count(1)); },
         0, 1, true},
        {"value changed since stays",
         [&](FakeMachine& m) { m.WriteValue(RegistryRoot::kCurrentUser, "Software\\A", "v", StringState("user")); },
         {Value(RegistryRoot::kCurrentUser, "Software\\A", "v", StringState("old"), StringState("ours"))},
         [&](FakeMachine& m) { EXPECT_TRUE(m.ReadValue(RegistryRoot::kCurrentUser, "Software\\A", "v") == StringState("user")); },
         0, 1, true},
        {"folder with a foreign file stays", [&](FakeMachine& m) { m.s.folders.insert("C:\\Program Files\\Acme"); m.s.files["C:\\Program Files\\Acme\\u.txt"] = ""; },
         {Entry(RecordKind::kDir, "C:\\Program Files\\Acme")},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.folders.count("C:\\Program Files\\Acme"), 1u); }, 0, 1, true},
        {"key with a foreign value stays",
         [&](FakeMachine& m) { m.WriteValue(RegistryRoot::kCurrentUser, "Software\\A", "v", NumberState(1)); },
         {Key(RegistryRoot::kCurrentUser, "Software\\A")},
         [&](FakeMachine& m) { EXPECT_TRUE(m.KeyExists(RegistryRoot::kCurrentUser, "Software\\A")); }, 0, 1, true},
        {"a service running a program elsewhere is not ours",
         [&](FakeMachine& m) { m.s.services["EventLog"] = "C:\\WINDOWS\\system32\\services.exe"; },
         {Entry(RecordKind::kService, "EventLog")},
         [&](FakeMachine& m) { EXPECT_EQ(m.s.services.count("EventLog"), 1u); }, 0, 0, true},
    };
    for (const Case& c : cases) {
        FakeMachine m;
        c.seed(m);
        m.CreateKey(RegistryRoot::kLocalMachine, UninstallKeyPath("{P}"));
        RemovalScope scope = Scope();
        scope.rollback = c.rollback;
        RecordRemovalReport report = RemoveRecorded(c.entries, scope, m);
        SCOPED_TRACE(c.name);
        c.check(m);
        EXPECT_EQ(report.left.size(), c.left);
        EXPECT_EQ(report.kept.size(), c.kept);
        EXPECT_EQ(report.registrationRemoved, c.registrationRemoved);
        EXPECT_EQ(m.KeyExists(RegistryRoot::kLocalMachine, UninstallKeyPath("{P}")), !c.registrationRemoved);
        // A second attempt works from what is left, which includes the
        // file still in use.
        EXPECT_EQ(report.remaining.size() >= c.left, true);
    }
}

// A record of an earlier version holds SHA-256 hashes: its unchanged files
// are still told from changed ones.
TEST(RecordRemovalTest, ASha256RecordIsComparedBySha256) {
    const std::string exe = std::string(kInstallDir) + "a.exe";
    RecordEntry earlier = NewFile(exe, "x");
    earlier.fingerprint = FingerprintOf("x", HashKind::kSha256);
    FakeMachine m;
    m.s.files[exe] = "x";
    const RecordRemovalReport report = RemoveRecorded({earlier}, Scope(), m);
    EXPECT_TRUE(report.kept.empty());
    EXPECT_EQ(m.s.files.count(exe), 0u);
}

// Entries a hostile record might hold: each is refused, and removal leaves
// the machine as it was.
TEST(RecordRemovalTest, HostileEntriesChangeNothing) {
    struct Case {
        RecordEntry entry;
        const char* reason;
    };
    auto file = [](const std::string& path) { return NewFile(path, "x"); };
    const Case cases[] = {
        {file("C:\\Program Files\\Acme\\Notes\\..\\..\\Other\\a.exe"), "relative part in path"},
        {file("Notes\\a.exe"), "not an absolute path"},
        {file("\\\\?\\C:\\Program Files\\Acme\\Notes\\a.exe"), "device path"},
        {file("C:\\Program Files\\Acme\\Notes\\CON"), "device name"},
        {file("\\\\server\\share\\a.exe"), "a network path"},
        {file("D:\\data\\a.exe"), "outside every folder the install could reach"},
        {file("C:\\boot.ini"), "outside every folder the install could reach"},
        {file("C:\\Program Files\\Other\\o.exe"), "inside another product's folder"},
        {file("C:\\WINDOWS\\Installer\\{OTHER}\\uninstall.log"), "inside another product's folder"},
        {Entry(RecordKind::kDir, "C:\\WINDOWS"), "a folder of the system"},
        {Entry(RecordKind::kDir, "C:\\Program Files"), "a folder of the system"},
        {Key(RegistryRoot::kLocalMachine, "Software"), "a key of the system"},
        {Key(RegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"), "a key of the system"},
        {Key(RegistryRoot::kClassesRoot, "CLSID"), "a key of the system"},
        {Key(RegistryRoot::kCurrentConfig, "Software\\A"), "a registry root setup does not write"},
        {Key(RegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{OTHER}"),
         "another product's registration"},
        {Key(RegistryRoot::kClassesRoot, "a\\Uninstall\\x"), "another product's registration"},
        {Key(RegistryRoot::kClassesRoot, "a\\Uninstall\\/"), "another product's registration"},
        {Value(RegistryRoot::kLocalMachine, std::string(kSharedDllsKey), "C:\\WINDOWS\\system32\\x.dll", ValueState(),
               NumberState(1)),
         "the shared-file counts"},
        {Value(RegistryRoot::kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\EventLog", "Start", NumberState(2),
               NumberState(4)),
         "the service database"},
        {Key(RegistryRoot::kClassesRoot, "System\\CurrentControlSet\\Services\\x"), "the service database"},
        {Value(RegistryRoot::kLocalMachine, "Software\\..\\x", "v", ValueState(), NumberState(1)),
         "relative part in key"},
        {[] {
             RecordEntry e = Key(RegistryRoot::kCurrentUser, "Software\\A");
             e.kind = RecordKind::kAppend;
             e.name = "v";
             e.text = "x";
             return e;
         }(),
         "not an environment key"},
        {Entry(RecordKind::kService, "..\\x"), "not a service name"},
        {Entry(RecordKind::kService, ""), "not a service name"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(RecordEntryProblem(c.entry, Scope()), c.reason) << FormatRecordLine(c.entry);
        FakeMachine m;
        SeedSystem(m);
        for (const char* path : {"C:\\Program Files\\Other\\o.exe", "C:\\WINDOWS\\Installer\\{OTHER}\\uninstall.log",
                                 "C:\\boot.ini", "D:\\data\\a.exe", "C:\\Program Files\\Other\\a.exe"})
            m.s.files[path] = "x";
        m.WriteValue(RegistryRoot::kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\EventLog", "Start", NumberState(4));
        m.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, "C:\\WINDOWS\\system32\\x.dll", NumberState(1));
        const MachineState before = m.s;
        RecordRemovalReport report = RemoveRecorded({c.entry}, Scope(), m);
        EXPECT_TRUE(m.s == before) << FormatRecordLine(c.entry);
        EXPECT_EQ(report.refused.size(), 1u);
    }
}

TEST(RecordRemovalTest, SharedFilesAreCountedOutsideTheProductsFolders) {
    struct Case {
        const char* path;
        FileOrigin origin;
        int countBefore;  // -1: none
        int countAfter;   // -1: none
        bool keyBefore;   // SharedDLLs is there: else setup makes it, and records it
    };
    const Case cases[] = {
        {"C:\\WINDOWS\\system32\\new.dll", FileOrigin::kNew, -1, 1, true},
        {"C:\\WINDOWS\\system32\\old.dll", FileOrigin::kReplaced, -1, 2, true},
        {"C:\\WINDOWS\\system32\\kept.dll", FileOrigin::kKept, 2, 3, true},
        {"C:\\Program Files\\Acme\\Notes\\own.dll", FileOrigin::kNew, -1, -1, true},
        {"C:\\WINDOWS\\Installer\\{P}\\language.lan", FileOrigin::kNew, -1, -1, true},
        {"C:\\WINDOWS\\first.dll", FileOrigin::kNew, -1, 1, false},
    };
    for (const Case& c : cases) {
        FakeMachine m;
        if (c.keyBefore) m.CreateKey(RegistryRoot::kLocalMachine, kSharedDllsKey);
        if (c.countBefore >= 0) m.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, c.path, NumberState(c.countBefore));
        InstallRecord record;
        record.File(c.origin, c.path, FingerprintOf("x"));
        CountSharedFiles(record, {kInstallDir, kMaintenance}, m);
        ValueState after = m.ReadValue(RegistryRoot::kLocalMachine, kSharedDllsKey, c.path);
        EXPECT_TRUE(after == (c.countAfter < 0 ? ValueState() : NumberState(c.countAfter))) << c.path;
        EXPECT_EQ(record.Entries().size(), (c.countAfter < 0 ? 1u : 2u) + (c.keyBefore ? 0u : 1u)) << c.path;
        if (!c.keyBefore) {
            EXPECT_EQ(record.Entries()[1].kind, RecordKind::kKey);
        }
    }
}

// A copy named in a record is put back by a rollback, or deleted after a
// commit, only when it is one a run makes: beside its file, "kq", one to
// four hex digits, ".tmp".
TEST(RecordRemovalTest, OnlyTheRunsOwnCopiesArePutBackOrDeleted) {
    const struct {
        const char* path;
        const char* copy;
        bool own;
    } cases[] = {
        {"C:\\W\\b.dll", "C:\\W\\kq1.tmp", true},          {"C:\\W\\b.dll", "c:\\w\\KQ86B5.TMP", true},
        {"C:\\W\\b.dll", "C:\\W\\kqffff.tmp", true},       {"C:\\W\\b.dll", "C:\\W\\kq12345.tmp", false},
        {"C:\\W\\b.dll", "C:\\W\\kq.tmp", false},          {"C:\\W\\b.dll", "C:\\W\\kqxy.tmp", false},
        {"C:\\W\\b.dll", "C:\\W\\kq1.tmpx", false},        {"C:\\W\\b.dll", "C:\\W\\notes.txt", false},
        {"C:\\W\\b.dll", "C:\\Other\\kq1.tmp", false},     {"C:\\W\\sub\\b.dll", "C:\\W\\kq1.tmp", false},
        {"C:\\W\\..\\b.dll", "C:\\W\\..\\kq1.tmp", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copy);
        const SetAsideCopy aside{c.path, c.copy};
        EXPECT_EQ(IsRunsOwnCopy(aside), c.own);
        FakeMachine rolledBack, committed;
        for (FakeMachine* m : {&rolledBack, &committed}) m->s.files = {{c.path, "new"}, {c.copy, "old"}};
        RollBackRecorded({}, {aside}, RollbackScope("{P}", kInstallDir, kMaintenance, false), rolledBack);
        DiscardSetAsideCopies({aside}, committed);
        using Files = std::map<std::string, std::string>;
        const Files untouched{{c.path, "new"}, {c.copy, "old"}};
        const Files putBack{{c.path, "old"}};
        const Files discarded{{c.path, "new"}};
        EXPECT_EQ(rolledBack.s.files, c.own ? putBack : untouched);
        EXPECT_EQ(committed.s.files, c.own ? discarded : untouched);
    }
}

// A copy that cannot go back over its file (the file is in use) is not
// lost: the rollback names the file as left, so the run stays listed, and
// the next rollback puts the copy back.
TEST(RecordRemovalTest, ACopyThatCannotGoBackIsLeftForTheNextRollback) {
    const SetAsideCopy aside{"C:\\W\\b.dll", "C:\\W\\kq1.tmp"};
    const RemovalScope scope = RollbackScope("{P}", kInstallDir, kMaintenance, false);
    FakeMachine m;
    m.s.files = {{aside.path, "new"}, {aside.copy, "old"}};
    m.locked.insert(aside.path);
    EXPECT_EQ(RollBackRecorded({}, {aside}, scope, m).left,
              std::vector<std::string>{"file " + aside.path + ": in use"});
    EXPECT_EQ(m.s.files.at(aside.copy), "old");
    m.locked.clear();
    EXPECT_TRUE(RollBackRecorded({}, {aside}, scope, m).left.empty());
    EXPECT_EQ(m.s.files, (std::map<std::string, std::string>{{aside.path, "old"}}));
}

// The runner's own file (shared by every product it removes) goes after
// everything else, and only when nothing is left: a file in use keeps it
// with its count for the second attempt, which starts from it.
TEST(RecordRemovalTest, TheRunnerGoesLastAndOnlyWhenNothingIsLeft) {
    const std::string runner = "C:\\WINDOWS\\kqexec.exe";
    const std::string program = std::string(kInstallDir) + "notes.exe";
    for (const bool inUse : {false, true}) {
        SCOPED_TRACE(inUse ? "a file in use" : "nothing in use");
        FakeMachine m;
        m.running = runner;
        m.CreateKey(RegistryRoot::kLocalMachine, kSharedDllsKey);
        m.s.files = {{program, "p"}, {runner, "r"}};
        InstallRecord record;
        record.File(FileOrigin::kNew, program, FingerprintOf("p"));
        record.File(FileOrigin::kNew, runner, FingerprintOf("r"));
        CountSharedFiles(record, {kInstallDir, kMaintenance}, m);
        if (inUse) m.locked.insert(program);

        const RecordRemovalReport first = RemoveRecorded(record.Entries(), Scope(), m);
        const ValueState count = m.ReadValue(RegistryRoot::kLocalMachine, kSharedDllsKey, runner);
        if (!inUse) {
            EXPECT_EQ(m.events, (std::vector<std::string>{"delete " + program, "delete " + runner}));
            EXPECT_FALSE(count.present);
            continue;
        }
        EXPECT_EQ(m.s.files.count(runner), 1u);
        EXPECT_TRUE(count == NumberState(1));
        m.locked.clear();
        RemoveRecorded(first.remaining, Scope(), m);
        EXPECT_TRUE(m.s.files.empty());
        EXPECT_FALSE(m.ReadValue(RegistryRoot::kLocalMachine, kSharedDllsKey, runner).present);
    }
}

// A rollback killed after it took a shared count and run again from the
// record takes none twice: each file ends with the count it had before.
TEST(RecordRemovalTest, ARollbackRunTwiceTakesEachSharedCountOnce) {
    const struct {
        FileOrigin origin;
        int countBefore;
    } cases[] = {{FileOrigin::kReplaced, 1}, {FileOrigin::kReplaced, -1}, {FileOrigin::kKept, 2}};
    for (const auto& c : cases) {
        FakeMachine m;
        m.CreateKey(RegistryRoot::kLocalMachine, kSharedDllsKey);
        if (c.countBefore >= 0)
            m.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, kSystemDll, NumberState(c.countBefore));
        m.s.files[kSystemDll] = "x";
        const MachineState before = m.s;
        InstallRecord record;
        std::string text = FormatRecordInProgress(kInstallDir);
        record.SetLineSink([&text](const std::string& line) { text += line; });
        record.File(c.origin, kSystemDll, FingerprintOf("x"));
        CountSharedFiles(record, {kInstallDir, kMaintenance}, m);
        for (int run = 0; run < 2; ++run) {
            RemovalScope scope = RollbackScope("{P}", kInstallDir, kMaintenance, false);
            scope.releasing = [&text](const std::string& path) { text += FormatReleasedLine(path); };
            RollBackRecorded(WithoutReleasedCounts(ParseRecord(text)), {}, scope, m);
        }
        EXPECT_TRUE(m.s == before) << FormatRecordLine(record.Entries()[0]);
    }
}

// A machine that notes, after each registry or INI change, what the record
// in progress holds and what the machine is: where a kill could land.
class KillableMachine : public FakeMachine {
public:
    struct Moment {
        std::string record;
        MachineState state;
    };
    const std::string* record = nullptr;
    std::vector<Moment> moments;

    bool WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                    const ValueState& state) override {
        FakeMachine::WriteValue(root, subKey, name, state);
        if (record != nullptr) moments.push_back({*record, s});
        return true;
    }
    bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
                  const std::string* value) override {
        FakeMachine::WriteIni(file, section, key, value);
        if (record != nullptr) moments.push_back({*record, s});
        return true;
    }
};

// A run killed right after any change of the settings step, before the
// change has its line, is rolled back to the machine it found.
TEST(RecordRemovalTest, ARunKilledRightAfterAnySettingIsRolledBack) {
    const RegistryRoot hklm = RegistryRoot::kLocalMachine;
    const struct {
        const char* name;
        std::function<void(SettingsMachine&)> change;
    } cases[] = {
        {"new string", [&](SettingsMachine& m) { m.WriteString(hklm, "Software\\Acme", "Dir", "C:\\Acme", false); }},
        {"string replaced",
         [&](SettingsMachine& m) { m.WriteString(RegistryRoot::kClassesRoot, ".txt", "", "Acme.Note", false); }},
        {"number", [&](SettingsMachine& m) { m.WriteNumber(hklm, "Software\\Acme", "Build", 12); }},
        {"binary", [&](SettingsMachine& m) { m.WriteBinaryText(hklm, "Software\\Acme", "Data", "AB"); }},
        {"appended path",
         [&](SettingsMachine& m) {
             m.WriteEnvironmentValue(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools;C:\\Notes", true);
         }},
        {"value deleted", [&](SettingsMachine& m) { m.DeleteValue(RegistryRoot::kClassesRoot, ".txt", ""); }},
        {"INI entry replaced",
         [&](SettingsMachine& m) { m.WriteIniValue("C:\\WINDOWS\\win.ini", "Fonts", "Sans", "notes.ttf"); }},
        {"INI entry added", [&](SettingsMachine& m) { m.WriteIniValue("C:\\WINDOWS\\win.ini", "Notes", "Run", "1"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KillableMachine m;
        SeedSystem(m);
        const MachineState before = m.s;
        InstallRecord record;
        std::string text = FormatRecordInProgress(kInstallDir);
        record.SetLineSink([&text](const std::string& line) { text += line; });
        RecordingSettingsMachine recording(m, m, record);
        recording.CreateKey(hklm, "Software\\Acme");
        m.record = &text;
        c.change(recording);
        m.record = nullptr;
        ASSERT_FALSE(m.moments.empty());
        for (const KillableMachine::Moment& moment : m.moments) {
            FakeMachine killed;
            killed.s = moment.state;
            const RecordRemovalReport report =
                RollBackRecorded(WithoutReleasedCounts(ParseRecord(moment.record)), {},
                                 RollbackScope("{P}", kInstallDir, kMaintenance, false), killed);
            EXPECT_TRUE(killed.s == before) << moment.record;
            EXPECT_TRUE(report.kept.empty() && report.left.empty()) << moment.record;
        }
    }
}

// A run killed right after it took a shared count (and made the key for
// it), before the count had its line, is rolled back to the machine it
// found.
TEST(RecordRemovalTest, ARunKilledRightAfterASharedCountIsRolledBack) {
    const struct {
        FileOrigin origin;
        int countBefore;  // -1: none
        bool keyBefore;
    } cases[] = {{FileOrigin::kNew, -1, false}, {FileOrigin::kReplaced, -1, true}, {FileOrigin::kKept, 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(FileOriginName(c.origin));
        KillableMachine m;
        if (c.keyBefore) m.CreateKey(RegistryRoot::kLocalMachine, kSharedDllsKey);
        if (c.countBefore >= 0)
            m.WriteValue(RegistryRoot::kLocalMachine, kSharedDllsKey, kSystemDll, NumberState(c.countBefore));
        if (c.origin != FileOrigin::kNew) m.s.files[kSystemDll] = "x";
        const MachineState before = m.s;
        m.s.files[kSystemDll] = "x";
        InstallRecord record;
        std::string text = FormatRecordInProgress(kInstallDir);
        record.SetLineSink([&text](const std::string& line) { text += line; });
        record.File(c.origin, kSystemDll, FingerprintOf("x"));
        m.record = &text;
        CountSharedFiles(record, {kInstallDir, kMaintenance}, m);
        m.record = nullptr;
        ASSERT_EQ(m.moments.size(), 1u);
        FakeMachine killed;
        killed.s = m.moments[0].state;
        const ParsedRecord parsed = ParseRecord(m.moments[0].record);
        UndoUnrecordedCounts(parsed, killed);
        RollBackRecorded(WithoutReleasedCounts(parsed), {}, RollbackScope("{P}", kInstallDir, kMaintenance, false),
                         killed);
        EXPECT_TRUE(killed.s == before) << m.moments[0].record;
    }
}

// A plan runs the same changes over plan machines: the machine stays as it
// was, and the plan names what the recorders record when the changes are
// made (the same kinds, targets, origins and data; a file's fingerprint is
// that of its source, which the copy has too).
TEST(InstallRecordTest, PlanForeseesWhatTheRecordersRecord) {
    auto summary = [](const std::vector<RecordEntry>& entries) {
        std::multiset<std::string> lines;
        for (RecordEntry entry : entries) {
            // A new INI file is fingerprinted once written; the plan cannot.
            if (entry.kind == RecordKind::kFile && EndsWithIgnoreCase(entry.path, ".ini")) entry.fingerprint = {};
            lines.insert(FormatRecordLine(entry));
        }
        return lines;
    };
    auto apply = [](FakeMachine& m, InstallRecord& record, SettingsMachine& settings, ServiceMachine& services,
                    const std::function<CreateDirResult(const std::string&)>& create) {
        ASSERT_TRUE(CreateDirectoryPath("C:\\Program Files\\Acme\\Notes\\data\\a", create));
        ASSERT_TRUE(CreateDirectoryPath("C:\\WINDOWS\\Installer\\{P}", create));
        ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.exe", std::string(kInstallDir) + "notes.exe"));
        ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\common.dll", kSystemDll));
        ASSERT_TRUE(settings.CopyFileTo("C:\\pkg\\notes.ini", "C:\\WINDOWS\\win.ini"));
        settings.WriteIniValue("C:\\WINDOWS\\win.ini", "Fonts", "Sans", "notes.ttf");
        settings.WriteIniValue("C:\\WINDOWS\\notes.ini", "Main", "Run", "1");
        settings.CreateKey(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes");
        settings.WriteNumber(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes", "Build", 12);
        settings.WriteBinaryText(RegistryRoot::kLocalMachine, "Software\\Acme\\Notes", "Data", "AB");
        settings.CreateKey(RegistryRoot::kClassesRoot, ".txt");
        settings.WriteString(RegistryRoot::kClassesRoot, ".txt", "", "Acme.Note", false);
        settings.WriteEnvironmentValue(RegistryRoot::kCurrentUser, "Environment", "PATH", "C:\\Tools;C:\\Notes", true);
        settings.WriteString(RegistryRoot::kCurrentUser, "Environment", "NOTES", ";C:\\Notes", false);
        settings.DeleteValue(RegistryRoot::kLocalMachine, "Software\\Old", "Gone");
        settings.DeleteValue(RegistryRoot::kClassesRoot, ".txt\\ShellNew", "NONE");
        ServiceSpec spec;
        spec.name = "NotesSync";
        spec.commandLine = "notes.exe /service";
        ASSERT_EQ(services.Install(spec), ServiceCreation::kCreated);
        (void)m;
        (void)record;
    };

    auto seed = [](FakeMachine& m) {
        SeedSystem(m);
        m.CreateKey(RegistryRoot::kLocalMachine, "Software\\Old");
        m.WriteString(RegistryRoot::kLocalMachine, "Software\\Old", "Gone", "x", false);
    };
    FakeMachine real;
    seed(real);
    InstallRecord record;
    auto create = [&real](const std::string& level) {
        if (real.s.folders.count(level) != 0) return CreateDirResult::Exists;
        if (real.s.folders.count(Parent(level)) == 0) return CreateDirResult::ParentMissing;
        real.s.folders.insert(level);
        return CreateDirResult::Created;
    };
    RecordingSettingsMachine recording(real, real, record);
    RecordingServiceMachine recordingServices(real, record);
    apply(real, record, recording, recordingServices, [&](const std::string& level) {
        CreateDirResult result = create(level);
        if (result == CreateDirResult::Created) record.Folder(level);
        return result;
    });
    recording.Finish();

    FakeMachine planned;
    seed(planned);
    const MachineState before = planned.s;
    InstallRecord plan;
    PlanSettingsMachine settings(planned, planned, plan);
    PlanServiceMachine services(planned, plan);
    apply(planned, plan, settings, services, [&settings](const std::string& level) { return settings.PlanFolder(level); });

    EXPECT_TRUE(planned.s == before);
    EXPECT_EQ(summary(plan.Entries()), summary(record.Entries()));

    // A service of that name already there: in place with the same program,
    // failed with another, as the service manager would answer.
    ServiceSpec same;
    same.name = "NotesSync";
    same.commandLine = "notes.exe /service";
    ServiceSpec other = same;
    other.commandLine = "other.exe";
    EXPECT_EQ(PlanServiceMachine(real, plan).Install(same), ServiceCreation::kAlreadyInPlace);
    EXPECT_EQ(PlanServiceMachine(real, plan).Install(other), ServiceCreation::kFailed);
}

}  // namespace
}  // namespace kq
