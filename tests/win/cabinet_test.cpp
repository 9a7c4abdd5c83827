// Extraction of the package cabinet: contents, stored times and attributes,
// the result codes, hostile stored names, damaged cabinets, and libmspack's
// own test cabinets compared with what cabextract makes of them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cabinet/cabinet_win.h"
#include "crypt/sha256.h"
#include "run/folders_win.h"
#include "test_files_win.h"

using kq::CSHA;

namespace {

using kq::CabinetProgress;
using kq::Exists;
using kq::ReadText;
using kq::RemoveTree;
using kq::WriteText;

// This file's folder as Wine sees it: the build passes absolute source paths
// and Wine maps the Unix root to drive Z:.
std::string WindowsPathOf(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return unixPath.size() > 1 && unixPath[1] == ':' ? unixPath : "Z:" + unixPath;
}

std::string ThisFolder() {
    std::string file = WindowsPathOf(__FILE__);
    return file.substr(0, file.rfind('\\') + 1);
}

std::string DataPath(const char* name) { return ThisFolder() + "data\\" + name; }

std::string RepositoryFolder() {
    std::string folder = ThisFolder();  // ...\tests\win\ .
    folder.pop_back();
    folder = folder.substr(0, folder.rfind('\\'));
    return folder.substr(0, folder.rfind('\\') + 1);
}

// Every file and folder below `folder`, as paths relative to it.
std::set<std::string> ListTree(const std::string& folder, const std::string& prefix = "") {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        names.insert(prefix + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::string& inner : ListTree(folder + "\\" + name, prefix + name + "\\")) names.insert(inner);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// A private folder holding a source folder (with file1.cab) and a working
// folder; anything a bad name wrote next to them would show up here.
class Sandbox {
public:
    Sandbox() {
        static int counter = 0;
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        root_ = std::string(temp) + "kqcab" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        RemoveTree(root_);
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(Source().c_str(), nullptr);
        CreateDirectoryA(Work().c_str(), nullptr);
    }
    ~Sandbox() { RemoveTree(root_); }

    std::string Root() const { return root_ + "\\"; }
    std::string Source() const { return root_ + "\\src\\"; }
    std::string Work() const { return root_ + "\\work\\"; }
    std::string Cabinet() const { return Source() + "file1.cab"; }

    void UseFixture(const char* name) const {
        ASSERT_TRUE(CopyFileA(DataPath(name).c_str(), Cabinet().c_str(), FALSE)) << DataPath(name);
    }
    std::set<std::string> WorkFiles() const { return ListTree(root_ + "\\work"); }
    // True when nothing but the two folders, the cabinet and the working
    // folder's files exist in the sandbox.
    bool OnlyExpectedEntries() const {
        for (const std::string& entry : ListTree(root_)) {
            if (entry == "src" || entry == "work" || entry == "src\\file1.cab") continue;
            if (entry.rfind("work\\", 0) == 0 && entry.find('\\', 5) == std::string::npos) continue;
            ADD_FAILURE() << "unexpected entry " << entry;
            return false;
        }
        return true;
    }

private:
    std::string root_;
};

std::string PseudoRandom(size_t n) {
    std::string out;
    uint32_t x = 12345;
    while (out.size() < n) {
        x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
        out.push_back(char((x >> 16) & 0xFF));
    }
    return out;
}

std::string AppExe() {
    std::string out = "MZ";
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i < 256; ++i) out.push_back(char(i));
    }
    return out;
}

struct Stamp {
    int year, month, day, hour, minute, second;
};

// The file's creation and last-write times, shown in local time as the
// cabinet stored them.
void LocalTimes(const std::string& path, SYSTEMTIME* created, SYSTEMTIME* written) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME c, w, local;
    ASSERT_TRUE(GetFileTime(file, &c, nullptr, &w));
    CloseHandle(file);
    FileTimeToLocalFileTime(&c, &local);
    FileTimeToSystemTime(&local, created);
    FileTimeToLocalFileTime(&w, &local);
    FileTimeToSystemTime(&local, written);
}

void ExpectStamp(const std::string& path, const Stamp& s) {
    SYSTEMTIME created, written;
    LocalTimes(path, &created, &written);
    for (const SYSTEMTIME& t : {created, written}) {
        EXPECT_EQ(std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond),
                  std::make_tuple(s.year, s.month, s.day, s.hour, s.minute, s.second))
            << path;
    }
}

// Differences of Wine from Windows that the tests allow for, with the reason.
bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }
// Wine reports the archive attribute on every regular file, whatever was set
// (and so never FILE_ATTRIBUTE_NORMAL); Windows reports exactly what was set.
// Under Wine only read-only, hidden and system are compared.
DWORD Comparable(DWORD attributes) {
    if (!UnderWine()) return attributes;
    return attributes & ~DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);
}

struct Notice {
    bool range;
    int value;
};

CabinetProgress Recorder(std::vector<Notice>* notices) {
    CabinetProgress progress;
    progress.setRange = [notices](int n) { notices->push_back({true, n}); };
    progress.setPosition = [notices](int n) { notices->push_back({false, n}); };
    return progress;
}

TEST(CabinetTest, ExtractsMszipCabinetFlatIntoTheWorkingFolder) {
    Sandbox box;
    box.UseFixture("basic_mszip.cab");
    std::vector<Notice> notices;
    ASSERT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), Recorder(&notices)), kq::kCabinetOk);

    EXPECT_EQ(box.WorkFiles(), (std::set<std::string>{"hello.txt", "data.bin", "F4_app.exe"}));
    EXPECT_EQ(ReadText(box.Work() + "hello.txt"), "Hello from the cabinet.\r\n");
    EXPECT_EQ(ReadText(box.Work() + "data.bin"), PseudoRandom(70000));
    EXPECT_EQ(ReadText(box.Work() + "F4_app.exe"), AppExe());
    EXPECT_TRUE(box.OnlyExpectedEntries());

    // The fixture's stored times are its UTC modification times, read back
    // here as local time.
    ExpectStamp(box.Work() + "hello.txt", {2004, 5, 6, 7, 8, 10});
    ExpectStamp(box.Work() + "data.bin", {2001, 9, 9, 1, 46, 40});
    ExpectStamp(box.Work() + "F4_app.exe", {2010, 1, 1, 0, 0, 0});
    EXPECT_EQ(Comparable(GetFileAttributesA((box.Work() + "hello.txt").c_str())), Comparable(FILE_ATTRIBUTE_ARCHIVE));

    ASSERT_EQ(notices.size(), 4u);
    EXPECT_TRUE(notices[0].range);
    EXPECT_EQ(notices[0].value, 3);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(notices[i].range);
        EXPECT_EQ(notices[i].value, i);
    }
}

struct AttributeCase {
    const char* name;
    DWORD attributes;
    Stamp stamp;
};

TEST(CabinetTest, RestoresStoredAttributesAndDates) {
    Sandbox box;
    box.UseFixture("attributes.cab");
    ASSERT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress()), kq::kCabinetOk);
    const Stamp when = {2003, 2, 1, 13, 14, 16};
    const AttributeCase cases[] = {
        {"plain.txt", FILE_ATTRIBUTE_NORMAL, {2001, 1, 2, 3, 4, 6}},
        {"ro.txt", FILE_ATTRIBUTE_READONLY, when},
        {"hidden.txt", FILE_ATTRIBUTE_HIDDEN, when},
        {"system.txt", FILE_ATTRIBUTE_SYSTEM, when},
        {"archive.txt", FILE_ATTRIBUTE_ARCHIVE, when},
        // The cabinet's "executable" bit is not a file attribute.
        {"exec.txt", FILE_ATTRIBUTE_ARCHIVE, {1999, 12, 31, 23, 59, 58}},
        {"all.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
         {2030, 6, 15, 12, 0, 0}},
    };
    for (const AttributeCase& c : cases) {
        std::string path = box.Work() + c.name;
        EXPECT_EQ(Comparable(GetFileAttributesA(path.c_str())), Comparable(c.attributes)) << c.name;
        ExpectStamp(path, c.stamp);
    }
    EXPECT_EQ(ReadText(box.Work() + "ro.txt"), "read-only\r\n");

    // A stored date that is no date (month 0, hour 25) leaves the time of
    // extraction on the file; the extraction itself goes on.
    SYSTEMTIME created, written, now;
    LocalTimes(box.Work() + "baddate.txt", &created, &written);
    GetLocalTime(&now);
    EXPECT_EQ(written.wYear, now.wYear);
    EXPECT_EQ(ReadText(box.Work() + "baddate.txt"), "bad date\r\n");
}

// A working folder is always new: a file found there under an entry's name
// was put there by someone else. The extraction stops at it, naming it, and
// neither writes nor removes it (read-only or not).
TEST(CabinetTest, AFileAlreadyThereUnderAnEntrysNameStopsTheExtraction) {
    for (DWORD attributes : {DWORD(FILE_ATTRIBUTE_NORMAL), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)}) {
        Sandbox box;
        box.UseFixture("attributes.cab");
        WriteText(box.Work() + "all.txt", "planted");
        ASSERT_TRUE(SetFileAttributesA((box.Work() + "all.txt").c_str(), attributes));
        kq::CabinetFailure failure;
        EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress(), &failure),
                  kq::kCabinetExtractFailed);
        EXPECT_EQ(failure.entry, "all.txt");
        SetFileAttributesA((box.Work() + "all.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadText(box.Work() + "all.txt"), "planted") << attributes;
    }
}

TEST(CabinetTest, HostileStoredNamesLandInsideTheWorkingFolder) {
    Sandbox box;
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    // Where each name would land if it were taken as a path.
    const std::vector<std::string> outside = {
        std::string(temp) + "kq_evil_1.txt", "C:\\kq_evil_2.txt", "C:\\tmp\\kq_evil_3.txt", "Z:\\tmp\\kq_evil_3.txt",
        std::string(temp) + "kq_evil_4.txt", box.Root() + "kq_evil_4.txt", "D:\\kq_evil_6.txt",
        box.Root() + "kq_evil_7.txt",
    };
    for (const std::string& path : outside) DeleteFileA(path.c_str());

    box.UseFixture("hostile_paths.cab");
    ASSERT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress()), kq::kCabinetOk);

    const char* contents[] = {"one", "two", "three", "four", "five", "six", "seven"};
    std::set<std::string> expected;
    for (int i = 0; i < 7; ++i) {
        std::string name = "kq_evil_" + std::to_string(i + 1) + ".txt";
        expected.insert(name);
        EXPECT_EQ(ReadText(box.Work() + name), std::string(contents[i]) + "\r\n") << name;
    }
    EXPECT_EQ(box.WorkFiles(), expected);
    EXPECT_TRUE(box.OnlyExpectedEntries());
    for (const std::string& path : outside) EXPECT_FALSE(Exists(path)) << path;
}

TEST(CabinetTest, NamesWithoutAUsableLastComponentEndTheExtraction) {
    const char* fixtures[] = {
        "refused_dotdot.cab", "refused_dot.cab",      "refused_dots.cab",    "refused_empty.cab",
        "refused_con.cab",    "refused_nul_ext.cab", "refused_wildcard.cab", "refused_drive_only.cab",
        "refused_trailing_backslash.cab",
    };
    for (const char* fixture : fixtures) {
        Sandbox box;
        box.UseFixture(fixture);
        kq::CabinetFailure failure;
        EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress(), &failure),
                  kq::kCabinetExtractFailed)
            << fixture;
        // What the user is told: the name was refused (an empty stored name
        // is already refused by the decoder as it reads the file table, so
        // the cabinet is reported as damaged).
        EXPECT_EQ(failure.result, kq::kCabinetExtractFailed) << fixture;
        const bool emptyName = std::string(fixture) == "refused_empty.cab";
        EXPECT_EQ(failure.cause,
                  emptyName ? kq::CabinetFailure::Cause::kNone : kq::CabinetFailure::Cause::kRefusedName)
            << fixture;
        // Only the entry before the refused one may have been written.
        for (const std::string& name : box.WorkFiles()) {
            EXPECT_EQ(name, "ok.txt") << fixture;
            EXPECT_EQ(ReadText(box.Work() + name), "fine\r\n") << fixture;
        }
        EXPECT_TRUE(box.OnlyExpectedEntries()) << fixture;
        EXPECT_TRUE(Exists(box.Work())) << fixture;
    }
}

TEST(CabinetTest, DamagedBlockFailsAndDeletesThePartlyWrittenFile) {
    Sandbox box;
    box.UseFixture("damaged_block.cab");
    kq::CabinetFailure failure;
    EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress(), &failure),
              kq::kCabinetExtractFailed);
    // The user is told which file and why.
    EXPECT_EQ(failure.entry, "second.txt");
    EXPECT_EQ(failure.cause, kq::CabinetFailure::Cause::kDamaged);
    EXPECT_EQ(box.WorkFiles(), std::set<std::string>{"first.txt"});
    EXPECT_EQ(ReadText(box.Work() + "first.txt"), std::string(1000, 'a'));
}

TEST(CabinetTest, TruncatedCabinetsFailWithoutLeavingWrongFiles) {
    const std::string whole = ReadText(DataPath("basic_mszip.cab"));
    ASSERT_GT(whole.size(), 60000u);
    const std::map<std::string, std::string> good = {
        {"hello.txt", "Hello from the cabinet.\r\n"}, {"data.bin", PseudoRandom(70000)}, {"F4_app.exe", AppExe()}};
    // Inside the header, inside the file table, inside the second data
    // block, and one byte short of the end.
    const size_t cuts[] = {20, 60, 40000, whole.size() - 1};
    for (size_t cut : cuts) {
        Sandbox box;
        WriteText(box.Cabinet(), whole.substr(0, cut));
        EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress()),
                  kq::kCabinetExtractFailed)
            << cut;
        for (const std::string& name : box.WorkFiles()) {
            auto it = good.find(name);
            ASSERT_NE(it, good.end()) << name << " at cut " << cut;
            EXPECT_EQ(ReadText(box.Work() + name), it->second) << name << " at cut " << cut;
        }
        EXPECT_EQ(box.WorkFiles().count("data.bin"), 0u) << cut;
    }
}

struct ResultCase {
    const char* name;
    const char* bytes;  // nullptr: no file1.cab at all
    size_t size;
    int result;
};

TEST(CabinetTest, ResultCodesForFilesThatAreNoCabinet) {
    const ResultCase cases[] = {
        {"missing", nullptr, 0, kq::kCabinetCannotOpen},
        {"text", "This is no cabinet.\r\n", 21, kq::kCabinetNotCabinet},
        {"empty", "", 0, kq::kCabinetNotCabinet},
        {"three bytes of the signature", "MSC", 3, kq::kCabinetNotCabinet},
        {"lower-case signature", "mscf\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 36,
         kq::kCabinetNotCabinet},
        {"signature only", "MSCF", 4, kq::kCabinetExtractFailed},
        {"header of zeros", "MSCF\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 36,
         kq::kCabinetExtractFailed},
    };
    for (const ResultCase& c : cases) {
        Sandbox box;
        if (c.bytes != nullptr) WriteText(box.Cabinet(), std::string(c.bytes, c.size));
        std::vector<Notice> notices;
        EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), Recorder(&notices)), c.result)
            << c.name;
        EXPECT_TRUE(notices.empty()) << c.name;
        EXPECT_TRUE(box.WorkFiles().empty()) << c.name;
    }
}

TEST(CabinetTest, MissingFoldersAndAFolderNamedLikeTheCabinet) {
    Sandbox box;
    EXPECT_EQ(kq::ExtractCabinet((box.Root() + "nowhere\\").c_str(), box.Work().c_str(), CabinetProgress()),
              kq::kCabinetCannotOpen);
    ASSERT_TRUE(CreateDirectoryA(box.Cabinet().c_str(), nullptr));
    EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress()),
              kq::kCabinetCannotOpen);
    RemoveDirectoryA(box.Cabinet().c_str());

    // A working folder that does not exist: the cabinet is fine, the first
    // file cannot be created.
    box.UseFixture("basic_mszip.cab");
    EXPECT_EQ(kq::ExtractCabinet(box.Source().c_str(), (box.Root() + "absent\\").c_str(), CabinetProgress()),
              kq::kCabinetExtractFailed);
    EXPECT_FALSE(Exists(box.Root() + "absent"));
}

TEST(CabinetTest, FoldersWithAndWithoutTrailingBackslash) {
    Sandbox box;
    box.UseFixture("basic_mszip.cab");
    std::string source = box.Source();
    source.pop_back();
    std::string work = box.Work();
    work.pop_back();
    EXPECT_EQ(kq::ExtractCabinet(source.c_str(), work.c_str(), CabinetProgress()), kq::kCabinetOk);
    EXPECT_EQ(ReadText(box.Work() + "hello.txt"), "Hello from the cabinet.\r\n");
    EXPECT_EQ(kq::CabinetPath(source.c_str()), box.Cabinet());
    EXPECT_EQ(kq::CabinetPath(box.Source().c_str()), box.Cabinet());
}

TEST(CabinetTest, Utf8NamesAreWrittenInTheAnsiCodePage) {
    Sandbox box;
    box.UseFixture("utf8_names.cab");
    const wchar_t cafe[] = L"caf\u00e9.txt";
    char ansi[32] = {};
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, cafe, -1, ansi, sizeof(ansi), nullptr, GetACP() == CP_UTF8 ? nullptr : &lossy);
    int result = kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress());
    if (lossy) {
        EXPECT_EQ(result, kq::kCabinetExtractFailed);
        EXPECT_TRUE(box.WorkFiles().empty());
    } else {
        EXPECT_EQ(result, kq::kCabinetOk);
        EXPECT_EQ(box.WorkFiles(), std::set<std::string>{ansi});
    }

    Sandbox snow;
    snow.UseFixture("utf8_unmappable.cab");
    if (GetACP() != CP_UTF8) {
        EXPECT_EQ(kq::ExtractCabinet(snow.Source().c_str(), snow.Work().c_str(), CabinetProgress()),
                  kq::kCabinetExtractFailed);
        EXPECT_TRUE(snow.WorkFiles().empty());
    }
}

TEST(CabinetTest, RunsOnAThreadOfItsOwn) {
    Sandbox box;
    box.UseFixture("basic_mszip.cab");
    const DWORD caller = GetCurrentThreadId();
    std::vector<DWORD> progressThreads;
    CabinetProgress progress;
    progress.setRange = [&](int) { progressThreads.push_back(GetCurrentThreadId()); };
    progress.setPosition = [&](int) { progressThreads.push_back(GetCurrentThreadId()); };
    int waits = 0;
    int result = kq::ExtractCabinetOnThread(box.Source().c_str(), box.Work().c_str(), progress, [&](HANDLE thread) {
        ++waits;
        EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    });
    EXPECT_EQ(result, kq::kCabinetOk);
    EXPECT_EQ(waits, 1);
    ASSERT_EQ(progressThreads.size(), 4u);
    for (DWORD id : progressThreads) EXPECT_NE(id, caller);
    EXPECT_EQ(box.WorkFiles().size(), 3u);

    // A wait that returns at once still yields the finished result.
    Sandbox second;
    second.UseFixture("basic_mszip.cab");
    EXPECT_EQ(kq::ExtractCabinetOnThread(second.Source().c_str(), second.Work().c_str(), CabinetProgress(),
                                         [](HANDLE) {}),
              kq::kCabinetOk);
    EXPECT_EQ(second.WorkFiles().size(), 3u);
}

TEST(CabinetTest, ExtractionObjectReportsItsResultAndCanRunAgain) {
    Sandbox box;
    kq::CCabinetExtraction extraction;
    ASSERT_TRUE(extraction.Start(box.Source().c_str(), box.Work().c_str(), CabinetProgress()));
    ASSERT_EQ(WaitForSingleObject(extraction.Thread(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(extraction.Result(), kq::kCabinetCannotOpen);

    box.UseFixture("basic_mszip.cab");
    ASSERT_TRUE(extraction.Start(box.Source().c_str(), box.Work().c_str(), CabinetProgress()));
    ASSERT_EQ(WaitForSingleObject(extraction.Thread(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(extraction.Result(), kq::kCabinetOk);
    // The unpacking of the product's files goes on from the directory the
    // extraction read.
    kq::CCabinetUnpacker unpacker;
    ASSERT_EQ(unpacker.Open(extraction.Reader(), nullptr), kq::kCabinetOk);
    const std::string target = box.Root() + "app.exe";
    EXPECT_EQ(unpacker.Extract(unpacker.Find("F4_app.exe"), target, {}), kq::EntryResult::kDone);
    EXPECT_EQ(ReadText(target), AppExe());

    // The same on the caller's thread, for a run with no window to keep answering.
    Sandbox here;
    here.UseFixture("basic_mszip.cab");
    kq::CCabinetExtraction onCaller;
    onCaller.RunHere(here.Source().c_str(), here.Work().c_str(), CabinetProgress());
    EXPECT_EQ(onCaller.Thread(), nullptr);
    EXPECT_EQ(onCaller.Result(), kq::kCabinetOk);
    EXPECT_EQ(here.WorkFiles().size(), 3u);
    kq::CCabinetUnpacker fromCaller;
    EXPECT_EQ(fromCaller.Open(onCaller.Reader(), nullptr), kq::kCabinetOk);
}

// Start-up leaves the product's files in the cabinet; the copy step takes
// them one at a time, straight to where they go.
TEST(CabinetTest, StartUpLeavesTheProductEntriesInTheCabinet) {
    Sandbox box;
    box.UseFixture("basic_mszip.cab");
    std::vector<Notice> notices;
    const kq::EntryFilter supportOnly = [](const std::string& name) { return name.rfind("F4_", 0) != 0; };
    ASSERT_EQ(kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), Recorder(&notices), nullptr, supportOnly),
              kq::kCabinetOk);
    EXPECT_EQ(box.WorkFiles(), (std::set<std::string>{"hello.txt", "data.bin"}));
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices[0].value, 2);
}

TEST(CabinetReaderTest, EntriesOneAtATimeInAnyOrder) {
    Sandbox box;
    box.UseFixture("basic_mszip.cab");
    kq::CCabinetReader reader;
    ASSERT_EQ(reader.Open(box.Cabinet().c_str()), kq::kCabinetOk);
    EXPECT_EQ(reader.Find("missing.txt"), reader.EntryCount());
    // The last entry first, then back to the first one.
    const struct { const char* asked; std::string content; } cases[] = {
        {"f4_APP.exe", AppExe()}, {"hello.txt", "Hello from the cabinet.\r\n"}, {"data.bin", PseudoRandom(70000)}};
    for (const auto& c : cases) {
        const size_t entry = reader.Find(c.asked);
        ASSERT_LT(entry, reader.EntryCount()) << c.asked;
        std::string seen;
        kq::EntryHooks hooks;
        hooks.written = [&seen](const void* bytes, size_t length) { seen.append(static_cast<const char*>(bytes), length); };
        const std::string target = box.Root() + "placed-" + reader.WrittenName(entry);
        EXPECT_EQ(reader.Extract(entry, target, hooks), kq::EntryResult::kDone) << c.asked;
        EXPECT_EQ(ReadText(target), c.content) << c.asked;
        EXPECT_EQ(seen, c.content) << "what the hook saw of " << c.asked;
    }
    // A reader sharing the directory reads on after the one that read it has
    // opened another cabinet.
    kq::CCabinetReader shared;
    ASSERT_EQ(shared.Share(reader), kq::kCabinetOk);
    ASSERT_EQ(reader.Open(DataPath("damaged_block.cab").c_str()), kq::kCabinetOk);
    const std::string again = box.Root() + "shared-data.bin";
    EXPECT_EQ(shared.Extract(shared.Find("data.bin"), again), kq::EntryResult::kDone);
    EXPECT_EQ(ReadText(again), PseudoRandom(70000));
    ExpectStamp(box.Root() + "placed-F4_app.exe", {2010, 1, 1, 0, 0, 0});
}

// More entries than a reader keeps in memory, the file table interleaving
// three folders: each entry is found under its name and reads back whole,
// through the reader in any order and through the unpacker, asked for
// folder by folder (each unpacked ahead) or in the table's order.
TEST(CabinetReaderTest, ManyEntriesInterleavedAcrossFolders) {
    constexpr int kMany = 5000;
    Sandbox box;
    box.UseFixture("many_entries.cab");
    kq::CCabinetReader reader;
    ASSERT_EQ(reader.Open(box.Cabinet().c_str()), kq::kCabinetOk);
    ASSERT_EQ(reader.EntryCount(), size_t(kMany + 1));
    auto name = [](int i) { return "F" + std::to_string(i) + "_n.txt"; };
    auto content = [](int i) { return std::to_string(i) + "\r\n"; };
    for (const bool backwards : {true, false}) {
        for (int k = 0; k < kMany; ++k) {
            const int i = backwards ? kMany - 1 - k : k;
            const size_t entry = reader.Find(name(i));
            ASSERT_EQ(entry, size_t(i + 1)) << name(i);
            ASSERT_EQ(reader.StoredName(entry), name(i));
            ASSERT_EQ(reader.EntryBytes(entry), content(i).size()) << name(i);
            ASSERT_EQ(reader.FolderOf(entry), 1 + i % 3) << name(i);
        }
    }
    for (int i : {4999, 0, 2500}) {
        std::string bytes;
        EXPECT_EQ(reader.ExtractToMemory(reader.Find(name(i)), bytes, {}), kq::EntryResult::kDone) << name(i);
        EXPECT_EQ(bytes, content(i));
    }
    std::vector<int> byFolder, byTable;
    for (int folder = 0; folder < 3; ++folder) {
        for (int i = folder; i < kMany; i += 3) byFolder.push_back(i);
    }
    for (int i = 0; i < kMany; ++i) byTable.push_back(i);
    for (const std::vector<int>* order : {&byFolder, &byTable}) {
        kq::CCabinetUnpacker unpacker;
        ASSERT_EQ(unpacker.Open(reader, nullptr), kq::kCabinetOk);
        for (int i : *order) {
            std::string seen;
            kq::EntryHooks hooks;
            hooks.written = [&seen](const void* b, size_t n) { seen.append(static_cast<const char*>(b), n); };
            ASSERT_EQ(unpacker.Extract(unpacker.Find(name(i)), box.Work() + "out.txt", hooks), kq::EntryResult::kDone)
                << (order == &byFolder) << name(i);
            ASSERT_EQ(seen, content(i)) << (order == &byFolder) << name(i);
        }
    }
}

// Of entries written under one name (compared without case), the last is
// the one found, whatever was found before.
TEST(CabinetReaderTest, TheLastOfEqualNamesIsFound) {
    Sandbox box;
    box.UseFixture("same_names.cab");
    kq::CCabinetReader reader;
    ASSERT_EQ(reader.Open(box.Cabinet().c_str()), kq::kCabinetOk);
    const struct {
        const char* asked;
        const char* content;
    } rows[] = {
        {"other.txt", "other\r\n"}, {"same.txt", "third\r\n"}, {"SAME.txt", "third\r\n"}, {"last.txt", "last\r\n"}};
    for (const auto& row : rows) {
        std::string bytes;
        EXPECT_EQ(reader.ExtractToMemory(reader.Find(row.asked), bytes, {}), kq::EntryResult::kDone) << row.asked;
        EXPECT_EQ(bytes, row.content) << row.asked;
    }
}

TEST(CabinetReaderTest, StopsWithinAFileAndDeletesWhatItBegan) {
    Sandbox box;
    box.UseFixture("basic_mszip.cab");
    kq::CCabinetReader reader;
    ASSERT_EQ(reader.Open(box.Cabinet().c_str()), kq::kCabinetOk);
    const size_t entry = reader.Find("data.bin");
    const std::string target = box.Root() + "data.bin";
    int pieces = 0;
    kq::EntryHooks hooks;
    hooks.stop = [&pieces] { return ++pieces > 1; };
    EXPECT_EQ(reader.Extract(entry, target, hooks), kq::EntryResult::kStopped);
    EXPECT_EQ(pieces, 2) << "the stop is seen before the second piece of 70,000 bytes";
    EXPECT_EQ(GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES);
    // The reader goes on: the same entry again, whole.
    EXPECT_EQ(reader.Extract(entry, target), kq::EntryResult::kDone);
    EXPECT_EQ(ReadText(target), PseudoRandom(70000));
}

TEST(CabinetReaderTest, DamagedDataAndShortCabinets) {
    Sandbox box;
    box.UseFixture("damaged_block.cab");
    kq::CCabinetReader reader;
    ASSERT_EQ(reader.Open(box.Cabinet().c_str()), kq::kCabinetOk);
    const std::string target = box.Root() + "second.txt";
    EXPECT_EQ(reader.Extract(reader.Find("second.txt"), target), kq::EntryResult::kDamaged);
    EXPECT_EQ(GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES);

    // A cabinet cut after its directory opens no more: a cut download is
    // found before anything is written.
    const std::string whole = ReadText(DataPath("basic_mszip.cab"));
    const std::string cut = box.Root() + "cut.cab";
    WriteText(cut, whole.substr(0, whole.size() - 1));
    kq::CabinetFailure failure;
    EXPECT_EQ(reader.Open(cut.c_str(), &failure), kq::kCabinetExtractFailed);
    EXPECT_EQ(failure.cause, kq::CabinetFailure::Cause::kDamaged);
    EXPECT_EQ(reader.Extract(0, target), kq::EntryResult::kNotFound);
}

// The copy step's unpacker: every other product folder comes from a second
// thread; whatever the order and whatever fails there, each entry ends as a
// direct extraction would.
std::string PartBytes(int i) {
    // The fixture's F<i>_part.bin: pseudo-random bytes from seed i + 1.
    std::string out;
    uint32_t x = uint32_t(i + 1);
    while (out.size() < 40000) {
        x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
        out.push_back(char((x >> 16) & 0xFF));
    }
    return out;
}

TEST(CabinetUnpackerTest, EveryOrderGivesTheSameFiles) {
    const struct { const char* name; std::vector<int> order; } cases[] = {
        {"cabinet order", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {"backwards", {11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
        {"every other folder skipped", {0, 1, 4, 5, 8, 9, 2, 3}},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.UseFixture("folders.cab");
        kq::CCabinetUnpacker unpacker;
        ASSERT_EQ(unpacker.Open(box.Cabinet().c_str(), nullptr), kq::kCabinetOk) << c.name;
        for (int i : c.order) {
            const std::string name = "F" + std::to_string(i) + "_part.bin";
            const std::string target = box.Work() + name;
            std::string seen;
            kq::EntryHooks hooks;
            hooks.written = [&seen](const void* b, size_t n) { seen.append(static_cast<const char*>(b), n); };
            EXPECT_EQ(unpacker.Extract(unpacker.Find(name), target, hooks), kq::EntryResult::kDone) << c.name << name;
            EXPECT_TRUE(ReadText(target) == PartBytes(i)) << c.name << " " << name;
            EXPECT_TRUE(seen == PartBytes(i)) << c.name << " " << name;
            ExpectStamp(target, {2003, 2, 1, 13, 14, 16});
        }
    }
}

// The copy step's writers share one unpacker: entries asked for from two
// threads at once all come out whole, those unpacked ahead and, asked for
// backwards, those each thread unpacks itself.
TEST(CabinetUnpackerTest, TwoThreadsAtOnceGetEveryEntryWhole) {
    for (const bool backwards : {false, true}) {
        Sandbox box;
        box.UseFixture("folders.cab");
        kq::CCabinetUnpacker unpacker;
        ASSERT_EQ(unpacker.Open(box.Cabinet().c_str(), nullptr), kq::kCabinetOk);
        std::mutex turn;
        int next = 0;
        std::vector<kq::EntryResult> results(12, kq::EntryResult::kNotFound);
        auto writer = [&] {
            for (;;) {
                int i;
                {
                    std::lock_guard<std::mutex> lock(turn);
                    if (next == 12) return;
                    i = backwards ? 11 - next++ : next++;
                }
                const std::string name = "F" + std::to_string(i) + "_part.bin";
                results[size_t(i)] = unpacker.Extract(unpacker.Find(name), box.Work() + name, {});
            }
        };
        std::thread other(writer);
        writer();
        other.join();
        for (int i = 0; i < 12; ++i) {
            const std::string name = "F" + std::to_string(i) + "_part.bin";
            EXPECT_EQ(results[size_t(i)], kq::EntryResult::kDone) << backwards << name;
            EXPECT_TRUE(ReadText(box.Work() + name) == PartBytes(i)) << backwards << name;
        }
    }
}

TEST(CabinetUnpackerTest, FailuresAndStopsAheadEndAsTheyWouldDirectly) {
    Sandbox box;
    box.UseFixture("folders_damaged.cab");
    {
        kq::CCabinetUnpacker unpacker;
        ASSERT_EQ(unpacker.Open(box.Cabinet().c_str(), nullptr), kq::kCabinetOk);
        for (int i : {0, 1}) {
            const std::string name = "F" + std::to_string(i) + "_part.bin";
            EXPECT_EQ(unpacker.Extract(unpacker.Find(name), box.Work() + name, {}), kq::EntryResult::kDone);
        }
        // The spoiled block lies in the folder unpacked ahead.
        EXPECT_EQ(unpacker.Extract(unpacker.Find("F2_part.bin"), box.Work() + "F2_part.bin", {}),
                  kq::EntryResult::kDamaged);
        EXPECT_FALSE(Exists(box.Work() + "F2_part.bin"));
        // Its folder-mate decodes through the same block; the next folder
        // is whole.
        EXPECT_EQ(unpacker.Extract(unpacker.Find("F3_part.bin"), box.Work() + "F3_part.bin", {}),
                  kq::EntryResult::kDamaged);
        EXPECT_EQ(unpacker.Extract(unpacker.Find("F4_part.bin"), box.Work() + "F4_part.bin", {}),
                  kq::EntryResult::kDone);
        EXPECT_TRUE(ReadText(box.Work() + "F4_part.bin") == PartBytes(4));
    }
    // A stop reaches the thread too: nothing more is written, and the
    // unpacker ends without waiting for the rest of the cabinet.
    std::atomic<bool> stop{false};
    kq::CCabinetUnpacker unpacker;
    ASSERT_EQ(unpacker.Open(box.Cabinet().c_str(), [&stop] { return stop.load(); }), kq::kCabinetOk);
    stop = true;
    kq::EntryHooks hooks;
    hooks.stop = [&stop] { return stop.load(); };
    for (const char* name : {"F0_part.bin", "F6_part.bin"}) {
        EXPECT_EQ(unpacker.Extract(unpacker.Find(name), box.Work() + "stopped.bin", hooks), kq::EntryResult::kStopped)
            << name;
        EXPECT_FALSE(Exists(box.Work() + "stopped.bin")) << name;
    }
}

TEST(CabinetTest, DiskImageFolderIsRecognised) {
    Sandbox box;
    EXPECT_FALSE(kq::HasDiskImage(box.Source().c_str()));
    WriteText(box.Source() + "DiskImage1", "a file, not the folder");
    EXPECT_FALSE(kq::HasDiskImage(box.Source().c_str()));
    DeleteFileA((box.Source() + "DiskImage1").c_str());
    ASSERT_TRUE(CreateDirectoryA((box.Source() + "DiskImage1").c_str(), nullptr));
    EXPECT_TRUE(kq::HasDiskImage(box.Source().c_str()));
    std::string noSlash = box.Source();
    noSlash.pop_back();
    EXPECT_TRUE(kq::HasDiskImage(noSlash.c_str()));
    RemoveDirectoryA((box.Source() + "DiskImage1").c_str());
}

// libmspack's own test cabinets against the reference written by
// tests/win/mspack_cabs.sh from cabextract.

std::string Sha256Hex(const std::string& bytes) {
    static const char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    if (bytes.empty()) return kEmpty;
    CSHA sha;
    EXPECT_TRUE(sha.AddData(bytes.data(), int(bytes.size())).ok());
    uint8_t digest[CSHA::kDigestSize];
    EXPECT_TRUE(sha.FinalDigest(digest).ok());
    std::string hex;
    char two[3];
    for (uint8_t b : digest) {
        std::snprintf(two, sizeof(two), "%02x", b);
        hex += two;
    }
    return hex;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

struct ReferenceCabinet {
    int status = -1;
    bool whole = false;
    std::map<std::string, std::pair<size_t, std::string>> files;  // name -> size, sha256
};

// Cabinets whose reference cannot be matched on Windows, with the reason.
const std::map<std::string, std::string> kCorpusExceptions = {
    {"normal_255c_filename.cab",
     "its one name is 255 characters long; below any working folder that exceeds MAX_PATH, so Windows "
     "refuses to create the file and the extraction fails cleanly"},
};

TEST(MspackCorpusTest, ExtractsLikeCabextract) {
    std::ifstream in(DataPath("mspack_reference.txt"));
    ASSERT_TRUE(in.good());
    std::string corpus;
    std::map<std::string, ReferenceCabinet> reference;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f = SplitTabs(line);
        if (f[0] == "corpus" && f.size() == 2) {
            corpus = f[1];
        } else if (f[0] == "cab" && f.size() == 4) {
            reference[f[1]].status = std::stoi(f[2]);
            reference[f[1]].whole = f[3] == "1";
        } else if (f[0] == "file" && f.size() == 5) {
            reference[f[1]].files[f[2]] = {size_t(std::stoul(f[3])), f[4]};
        } else {
            ADD_FAILURE() << "bad reference line: " << line;
        }
    }
    std::replace(corpus.begin(), corpus.end(), '/', '\\');
    const std::string folder = RepositoryFolder() + corpus + "\\";
    if (!Exists(folder)) GTEST_SKIP() << "libmspack's test cabinets are not unpacked at " << folder;
    ASSERT_GT(reference.size(), 40u);

    int matched = 0;
    for (const auto& [name, ref] : reference) {
        Sandbox box;
        ASSERT_TRUE(CopyFileA((folder + name).c_str(), box.Cabinet().c_str(), FALSE)) << name;
        int result = kq::ExtractCabinet(box.Source().c_str(), box.Work().c_str(), CabinetProgress());
        EXPECT_GE(result, kq::kCabinetOk) << name;
        EXPECT_LE(result, kq::kCabinetExtractFailed) << name;
        EXPECT_TRUE(box.OnlyExpectedEntries()) << name;
        if (ref.status != 0 || !ref.whole) continue;
        auto exception = kCorpusExceptions.find(name);
        if (exception != kCorpusExceptions.end()) {
            EXPECT_EQ(result, kq::kCabinetExtractFailed) << name << ": " << exception->second;
            EXPECT_TRUE(box.WorkFiles().empty()) << name;
            continue;
        }
        EXPECT_EQ(result, kq::kCabinetOk) << name;
        std::set<std::string> names;
        for (const auto& [file, sizeAndHash] : ref.files) {
            names.insert(file);
            std::string bytes = ReadText(box.Work() + file);
            EXPECT_EQ(bytes.size(), sizeAndHash.first) << name << " " << file;
            EXPECT_EQ(Sha256Hex(bytes), sizeAndHash.second) << name << " " << file;
        }
        EXPECT_EQ(box.WorkFiles(), names) << name;
        ++matched;
    }
    // mszip_lzx_qtm, the two normal_2files and the eight reserve_ cabinets.
    EXPECT_EQ(matched, 11);
}

}  // namespace
