// The file step over an in-memory file system: which files are skipped,
// moved, copied or unpacked from the cabinet, the version rule, must-install
// files, the answers to the file error question, logging and attributes.
#include "steps/file_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake_machines.h"
#include "install_step_test_util.h"
#include "steps/disk_space.h"
#include "steps/version_rule.h"

namespace kq {
namespace {

using steptest::TempLog;
using fakes::FakeFile;
using fakes::FakeFileMachine;
using fakes::kAttributeArchive;

constexpr char kPacked[] = "C:\\TEMP\\kq1\\";
constexpr char kTarget[] = "C:\\App\\";

// One file, a.txt or a.dll, packed as file 0 with "packaged" as content.
struct Scenario {
    Scenario() {
        record.fileName = "a.txt";
        record.sourcePath = "D:\\work\\a.txt";
        record.destinationDir = std::string(kDestinationComputer) + "C:\\App";
        context.packedFolder = kPacked;
        context.systemName = "XP";
        context.removeTemporaryFiles = [this] { ++removals; };
    }
    std::string Source() const { return kPacked + ("F0_" + record.fileName); }
    std::string Target() const { return kTarget + record.fileName; }
    void Packed(const std::string& content, const std::string& version = kNoFileVersion) {
        machine.files[Source()] = {content, version, kAttributeArchive};
    }
    // The file in the cabinet instead of the packed folder.
    void InCabinet(const std::string& content, const std::string& version = kNoFileVersion) {
        context.cabinetPath = "D:\\pkg\\file1.cab";
        machine.entries["F0_" + record.fileName] = {content, version, kAttributeArchive};
    }
    void Installed(const std::string& content, const std::string& version = kNoFileVersion,
                   uint32_t attributes = kAttributeArchive) {
        machine.files[Target()] = {content, version, attributes};
    }

    FileRecord record;
    FileStepContext context;
    FakeFileMachine machine;
    RunSignals signals;
    int removals = 0;
};

struct Expected {
    bool result = true;
    std::string content;              // at the destination; "" for nothing there
    std::vector<std::string> operations;
    size_t questions = 0;
    bool fatal = false;
    bool aborted = false;
    bool logged = true;
    uint32_t attributes = kAttributeArchive;
};

struct Case {
    const char* name;
    std::function<void(Scenario&)> arrange;
    Expected expected;
};

const std::string kCopy = std::string("copy ") + kPacked + "F0_a.txt";
const std::string kDownload = "download http://example.com/a.txt";
const std::string kCopyDll = std::string("copy ") + kPacked + "F0_a.dll";

void Dll(Scenario& s, const char* packaged, const char* installed) {
    s.record.fileName = "a.dll";
    s.Packed("packaged", packaged);
    if (installed != nullptr) s.Installed("installed", installed);
}

void RunCase(const Case& c) {
    Scenario s;
    c.arrange(s);
    TempLog log;
    FileList files;
    files.files.push_back(s.record);
    const ExpandFn expand = [](const std::string& text) {
        std::string out = text;
        size_t at = out.find("<Name>");
        if (at != std::string::npos) out.replace(at, 6, "Notes");
        return out;
    };
    const bool result = CopyFiles(files, expand, s.context, s.machine, s.signals, log.Log());

    const Expected& e = c.expected;
    EXPECT_EQ(result, e.result) << c.name;
    auto target = s.machine.files.find(s.Target());
    EXPECT_EQ(target == s.machine.files.end() ? "" : target->second.content, e.content) << c.name;
    EXPECT_EQ(s.machine.operations, e.operations) << c.name;
    EXPECT_EQ(s.machine.questions.size(), e.questions) << c.name;
    EXPECT_EQ(s.machine.fatal.size(), e.fatal ? 1u : 0u) << c.name;
    EXPECT_EQ(s.signals.Aborted(), e.aborted) << c.name;
    EXPECT_EQ(s.removals, e.aborted ? 1 : 0) << c.name;
    const std::vector<std::string> logged = {"FILE=" + s.Target()};
    EXPECT_EQ(log.Lines(), e.logged ? logged : std::vector<std::string>{}) << c.name;
    if (target != s.machine.files.end()) {
        EXPECT_EQ(target->second.attributes, e.attributes) << c.name;
    }
    // A staging file never outlives its file.
    EXPECT_EQ(s.machine.files.count(std::string(kTarget) + "kq1.tmp"), 0u) << c.name;
}

TEST(FileStep, DecisionsForOneFile) {
    const Case cases[] = {
        {"copied", [](Scenario& s) { s.Packed("packaged"); }, {true, "packaged", {kCopy}}},
        {"keep-existing skips a file that is there",
         [](Scenario& s) { s.Packed("packaged"); s.Installed("installed"); s.record.options = 32; },
         {true, "installed", {}}},
        {"a kept file asking for no attributes ends normal",
         [](Scenario& s) { s.Installed("installed", kNoFileVersion, kAttributeReadOnly); s.record.options = 32; },
         {true, "installed", {}, 0, false, false, true, kAttributeNormal}},
        {"keep-existing copies a file that is not there",
         [](Scenario& s) { s.Packed("packaged"); s.record.options = 32; }, {true, "packaged", {kCopy}}},
        {"deselected feature skipped but logged",
         [](Scenario& s) {
             s.Packed("packaged");
             s.record.feature = "Help";
             s.context.featureDeselected = [](const std::string& f) { return f == "Help"; };
         },
         {true, "", {}}},
        {"other system's file passed over entirely",
         [](Scenario& s) { s.Packed("packaged"); s.record.fileMask = 2; }, {true, "", {}, 0, false, false, false}},
        {"lower packaged version keeps the installed one", [](Scenario& s) { Dll(s, "2.0", "3.0"); },
         {true, "installed", {}}},
        {"equal version is not copied again", [](Scenario& s) { Dll(s, "5, 1, 2600, 0", "5.1.2600"); },
         {true, "installed", {}}},
        {"a later build replaces", [](Scenario& s) { Dll(s, "1.2.4", "1.2.3"); }, {true, "packaged", {kCopyDll}}},
        {"a missing packed library fails even beside an installed one",
         [](Scenario& s) {
             s.record.fileName = "a.dll";
             s.Installed("installed", "9.0");
             s.record.options = 16;
         },
         {false, "installed", {}, 0, true, true, false}},
        {"higher packaged version replaces", [](Scenario& s) { Dll(s, "5.10", "5.9"); },
         {true, "packaged", {kCopyDll}}},
        {"version rule needs an installed file", [](Scenario& s) { Dll(s, "1.0", nullptr); },
         {true, "packaged", {kCopyDll}}},
        {"a library without a version goes where nothing is yet", [](Scenario& s) { Dll(s, kNoFileVersion, nullptr); },
         {true, "packaged", {kCopyDll}}},
        {"must-install failure tells, aborts and ends",
         [](Scenario& s) { s.record.options = 16; }, {false, "", {}, 0, true, true, false}},
        {"retry after a failure",
         [](Scenario& s) {
             s.Packed("packaged");
             s.machine.failures = 1;
             s.machine.answers = {FailureChoice::kRetry};
         },
         {true, "packaged", {kCopy}, 1}},
        {"ignore goes on as if installed",
         [](Scenario& s) { s.machine.answers = {FailureChoice::kIgnore}; }, {true, "", {}, 1}},
        {"cancel aborts and ends",
         [](Scenario& s) { s.machine.answers = {FailureChoice::kCancel}; }, {false, "", {}, 1, false, true, false}},
        {"read-only destination is replaced and left writable",
         [](Scenario& s) { s.Packed("packaged"); s.Installed("installed", kNoFileVersion, kAttributeReadOnly); },
         {true, "packaged", {kCopy}}},
        {"read-only, hidden and system set as asked",
         [](Scenario& s) { s.Packed("packaged"); s.record.options = 1 | 4 | 8; },
         {true, "packaged", {kCopy}, 0, false, false, true,
          kAttributeArchive | kAttributeReadOnly | kAttributeHidden | kAttributeSystem}},
        {"not logged, server registered",
         [](Scenario& s) { s.Packed("packaged"); s.record.options = 64 | 128; },
         {true, "packaged", {kCopy, "register C:\\App\\a.txt"}, 0, false, false, false}},
        {"content expanded into its own copy",
         [](Scenario& s) {
             s.Packed("<Name> here");
             s.record.options = 256;
         },
         {true, "Notes here", {kCopy + "2"}}},
        {"web source downloaded into its destination",
         [](Scenario& s) { s.record.sourcePath = "http://example.com/a.txt"; },
         {true, "fetched", {kDownload}}},
        {"web source whose condition holds is downloaded without the condition's name",
         [](Scenario& s) {
             s.record.sourcePath = "http://example.com/a.txt{Online}";
             s.context.conditionMet = [](const std::string& name) { return name == "Online"; };
         },
         {true, "fetched", {kDownload}}},
        {"web source whose condition fails is not fetched but logged",
         [](Scenario& s) {
             s.record.sourcePath = "http://example.com/a.txt{Offline}";
             s.context.conditionMet = [](const std::string& name) { return name == "Online"; };
         },
         {true, "", {}}},
        {"failed download goes on with the file the transfer left",
         [](Scenario& s) {
             s.record.sourcePath = "http://example.com/a.txt";
             s.machine.downloadResult = DownloadResult::kFailed;
         },
         {true, "", {kDownload}}},
        {"failed must-install download tells, aborts and ends",
         [](Scenario& s) {
             s.record.sourcePath = "http://example.com/a.txt";
             s.record.options = 16;
             s.machine.downloadResult = DownloadResult::kFailed;
         },
         {false, "", {kDownload}, 0, true, true, false}},
        {"cancelled download ends with nothing logged",
         [](Scenario& s) {
             s.record.sourcePath = "http://example.com/a.txt";
             s.machine.downloadResult = DownloadResult::kCancelled;
         },
         {false, "", {kDownload}, 0, false, false, false}},
        {"web source without a file name asks like a failed copy",
         [](Scenario& s) {
             s.record.sourcePath = "http://example.com/";
             s.machine.answers = {FailureChoice::kIgnore};
         },
         {true, "", {}, 1, false, false, false}},
        {"cancel request ends before the file", [](Scenario& s) { s.Packed("packaged"); s.signals.RequestCancel(); },
         {false, "", {}, 0, false, false, false}},
    };
    for (const Case& c : cases) RunCase(c);
}

// From the cabinet: a free destination is written straight, anything else
// through a staging file beside it that goes again unless it becomes the
// destination.
const std::string kUnpackStraight = "unpack F0_a.txt to C:\\App\\a.txt";
const std::string kUnpackStaged = "unpack F0_a.txt to C:\\App\\kq1.tmp";
const std::string kPlaceStaged = "move C:\\App\\kq1.tmp";

void CabinetDll(Scenario& s, const char* packaged, const char* installed) {
    s.record.fileName = "a.dll";
    s.InCabinet("packaged", packaged);
    if (installed != nullptr) s.Installed("installed", installed);
}

TEST(FileStep, FilesFromTheCabinet) {
    const std::string dllStaged = "unpack F0_a.dll to C:\\App\\kq1.tmp";
    const Case cases[] = {
        {"free destination written straight", [](Scenario& s) { s.InCabinet("packaged"); },
         {true, "packaged", {kUnpackStraight}}},
        {"an earlier file replaced only once the new one is whole",
         [](Scenario& s) { s.InCabinet("packaged"); s.Installed("installed"); },
         {true, "packaged", {kUnpackStaged, kPlaceStaged}}},
        {"read-only earlier file replaced and left writable",
         [](Scenario& s) { s.InCabinet("packaged"); s.Installed("installed", kNoFileVersion, kAttributeReadOnly); },
         {true, "packaged", {kUnpackStaged, kPlaceStaged}}},
        {"version rule keeps a higher installed library", [](Scenario& s) { CabinetDll(s, "2.0", "3.0"); },
         {true, "installed", {dllStaged}}},
        {"a higher packed library replaces", [](Scenario& s) { CabinetDll(s, "5.10", "5.9"); },
         {true, "packaged", {dllStaged, "move C:\\App\\kq1.tmp"}}},
        {"content expanded before it is placed",
         [](Scenario& s) { s.InCabinet("<Name> here"); s.record.options = 256; },
         {true, "Notes here", {kUnpackStaged, kPlaceStaged}}},
        {"a cancel while writing ends without a question and keeps the earlier file",
         [](Scenario& s) {
             s.InCabinet("packaged");
             s.Installed("installed");
             s.machine.unpackEnd = EntryResult::kStopped;
         },
         {false, "installed", {kUnpackStaged}, 0, false, false, false}},
        {"damaged data tells, aborts and ends",
         [](Scenario& s) { s.InCabinet("packaged"); s.machine.unpackEnd = EntryResult::kDamaged; },
         {false, "", {kUnpackStraight}, 0, true, true, false}},
        {"an entry missing from the cabinet fails like a missing file",
         [](Scenario& s) { s.InCabinet("packaged"); s.record.fileName = "b.txt"; s.record.options = 16; },
         {false, "", {"unpack F0_b.txt to C:\\App\\b.txt"}, 0, true, true, false}},
        {"retry unpacks again",
         [](Scenario& s) {
             s.InCabinet("packaged");
             s.machine.failures = 1;
             s.machine.answers = {FailureChoice::kRetry};
         },
         {true, "packaged", {kUnpackStraight, kUnpackStraight}, 1}},
        {"an earlier file that cannot be replaced stays whole on Ignore",
         [](Scenario& s) {
             s.InCabinet("packaged");
             s.Installed("installed");
             s.machine.movesFail = true;
             s.machine.answers = {FailureChoice::kIgnore};
         },
         {true, "installed", {kUnpackStaged}, 1}},
    };
    for (const Case& c : cases) RunCase(c);
}

// Before unpacking, the step tells the machine which files go straight into
// their destinations: none that the version rule, expansion or "keep
// existing" looks at first, none of another system or a deselected
// feature, none whose destination another file of the list also has.
TEST(FileStep, FilesUnpackedStraightAreToldAhead) {
    Scenario s;
    s.context.cabinetPath = "D:\\pkg\\file1.cab";
    s.context.featureDeselected = [](const std::string& f) { return f == "Help"; };
    FileList files;
    // name, options, mask, feature
    auto add = [&](const char* name, int32_t options, int32_t mask, const char* feature) {
        FileRecord record = s.record;
        record.fileName = name;
        record.options = options;
        record.fileMask = mask;
        record.feature = feature;
        s.machine.entries["F" + std::to_string(files.files.size()) + "_" + name] = {"x", kNoFileVersion, 0};
        files.files.push_back(record);
    };
    add("a.txt", 0, 0, "");
    add("b.dll", 0, 0, "");
    add("c.txt", 256, 0, "");
    add("d.txt", 32, 0, "");
    add("e.txt", 0, 0, "");
    add("e.txt", 0, 0, "");
    add("g.txt", 0, 2, "");
    add("h.txt", 0, 0, "Help");
    add("i.txt", 0, 0, "Core");
    TempLog log;
    CopyFiles(
        files, [](const std::string& t) { return t; }, s.context, s.machine, s.signals, log.Log());
    const std::vector<std::string> foreseen = {"F0_a.txt>C:\\App\\a.txt", "F8_i.txt>C:\\App\\i.txt"};
    EXPECT_EQ(s.machine.foreseen, foreseen);
    EXPECT_EQ(s.machine.foreseenAfter, 0u);
}

// The next window is told while the step is still in the last one: a file
// of it whose destination a file not yet finished has is left to the step.
TEST(FileStep, AWindowToldEarlyLeavesOutDestinationsStillInFlight) {
    Scenario s;
    s.context.cabinetPath = "D:\\pkg\\file1.cab";
    FileList files;
    for (int i = 0; i < 100; ++i) {
        FileRecord record = s.record;
        record.fileName = i == 40 || i == 70 ? "dup.txt" : "f" + std::to_string(i) + ".txt";
        s.machine.entries["F" + std::to_string(i) + "_" + record.fileName] = {"x", kNoFileVersion, 0};
        files.files.push_back(record);
    }
    TempLog log;
    CopyFiles(
        files, [](const std::string& t) { return t; }, s.context, s.machine, s.signals, log.Log());
    const auto told = [&](const std::string& entry) {
        return std::count_if(s.machine.foreseen.begin(), s.machine.foreseen.end(),
                             [&](const std::string& f) { return f.rfind(entry + ">", 0) == 0; });
    };
    EXPECT_EQ(s.machine.foreseen.size(), 99u);
    EXPECT_EQ(told("F40_dup.txt"), 1);
    EXPECT_EQ(told("F70_dup.txt"), 0);
}

TEST(FileStep, DamagedDataNamesTheEntryAndTheCabinet) {
    Scenario s;
    s.InCabinet("packaged");
    s.machine.unpackEnd = EntryResult::kDamaged;
    TempLog log;
    FileList files;
    files.files.push_back(s.record);
    CopyFiles(files, [](const std::string& t) { return t; }, s.context, s.machine, s.signals, log.Log());
    const std::vector<std::string> fatal = {
        "Merrowin can't unpack the product's files.\r\nFile: F0_a.txt in D:\\pkg\\file1.cab\r\n"
        "Reason: the cabinet is damaged."};
    EXPECT_EQ(s.machine.fatal, fatal);
    EXPECT_EQ(s.signals.Failure(), RunFailure::kDamaged);
}

TEST(FileStep, QuestionsNameTheDestination) {
    Scenario s;
    s.record.options = 16;
    TempLog log;
    FileList files;
    files.files.push_back(s.record);
    CopyFiles(files, [](const std::string& t) { return t; }, s.context, s.machine, s.signals, log.Log());
    const std::vector<std::string> fatal = {
        "Merrowin will abort installation, the file:\r\nC:\\App\\a.txt\r\nCan't be installed."};
    EXPECT_EQ(s.machine.fatal, fatal);
}

// What each volume needs before the copy step: "volume=bytes;" per volume.
TEST(FileStep, SpaceNeededPerVolume) {
    struct File {
        const char* destination;
        int32_t options;
        int32_t mask;
        const char* feature;
        uint64_t size;
        int64_t there;  // -1: no file there
    };
    struct Case {
        const char* name;
        std::vector<File> files;
        const char* needed;
    };
    const Case cases[] = {
        {"sizes add up per volume, volumes by drive letter whatever the case",
         {{"C:\\App", 0, 0, "", 100, -1}, {"d:\\Data", 0, 0, "", 7, -1}, {"c:\\Other", 0, 0, "", 20, -1}},
         "C:\\=120;D:\\=7;"},
        {"a replaced file counts the difference, a smaller one gives room back",
         {{"C:\\App", 0, 0, "", 100, 30}, {"C:\\Lib", 0, 0, "", 10, 50}},
         "C:\\=30;"},
        {"a volume that gains room needs nothing", {{"C:\\App", 0, 0, "", 10, 50}}, ""},
        {"keep-existing, a deselected feature and another system's file count nothing",
         {{"C:\\App", 32, 0, "", 100, 5},
          {"C:\\App", 32, 0, "", 9, -1},
          {"C:\\App", 0, 0, "Help", 100, -1},
          {"C:\\App", 0, 2, "", 100, -1}},
         "C:\\=9;"},
        {"a share is its own volume; a path of no volume is not counted",
         {{"\\\\srv\\Apps\\Tool", 0, 0, "", 4, -1}, {"\\\\SRV\\apps", 0, 0, "", 1, -1}, {"App", 0, 0, "", 8, -1}},
         "\\\\SRV\\APPS\\=5;"},
        {"a file in a folder that is not there yet is new, whatever a look at it would say",
         {{"E:\\New", 0, 0, "", 6, 40}},
         "E:\\=6;"},
    };
    for (const Case& c : cases) {
        FileList list;
        std::map<std::string, uint64_t> there;
        for (const File& f : c.files) {
            FileRecord record;
            record.fileName = "f" + std::to_string(list.files.size());
            record.destinationDir = std::string(kDestinationComputer) + f.destination;
            record.options = f.options;
            record.fileMask = f.mask;
            record.feature = f.feature;
            list.files.push_back(record);
            const std::string path = std::string(f.destination) + "\\" + record.fileName;
            if (f.there >= 0) there[path] = static_cast<uint64_t>(f.there);
        }
        SpaceQuestions questions;
        questions.systemName = "XP";
        questions.featureDeselected = [](const std::string& f) { return f == "Help"; };
        questions.packedSize = [&c](int32_t index, uint64_t* size) {
            *size = c.files[static_cast<size_t>(index)].size;
            return true;
        };
        questions.existingSize = [&there](const std::string& path, uint64_t* size) {
            auto found = there.find(path);
            if (found == there.end()) return false;
            *size = found->second;
            return true;
        };
        questions.folderExists = [](const std::string& folder) { return folder != "E:\\New"; };
        std::string needed;
        for (const VolumeSpace& v : SpaceNeeded(
                 list, [](const std::string& t) { return t; }, questions))
            needed += v.volume + "=" + std::to_string(v.needed) + ";";
        EXPECT_EQ(needed, c.needed) << c.name;
    }
}

}  // namespace
}  // namespace kq
