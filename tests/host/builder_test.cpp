// The package builder: its data.inf reader, and kqbuild run on authoring
// folders, with the package read back through the installer's cipher and
// a cabinet tool.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring_check.h"
#include "crypt/file_crypt.h"
#include "crypt_test_util.h"
#include "package_builder.h"
#include "payload_list.h"
#include "wizard/languages.h"

using kq::CFileCrypt;

namespace fs = std::filesystem;

namespace {

using kqtest::ReadFile;
using kqtest::TempDir;
using kqtest::WriteFile;

TEST(PayloadListTest, AuthoringRelativePath) {
    struct Row {
        const char* source;
        const char* expected;
    };
    const Row rows[] = {
        {"files\\bin\\app.exe", "files/bin/app.exe"},
        {"C:\\files\\bin\\app.exe", "files/bin/app.exe"},
        {"c:files\\app.exe", "files/app.exe"},
        {"\\\\files\\.\\bin\\\\app.exe", "files/bin/app.exe"},
        {"app.exe", "app.exe"},
        {"", ""},
        {"C:", ""},
        {"C:\\", ""},
        {"files\\..\\..\\etc\\passwd", ""},
        {"..\\x", ""},
        {"files\\", ""},
        {"1:\\files\\a", "1:/files/a"},  // not a drive letter
    };
    for (const Row& row : rows) EXPECT_EQ(kq::AuthoringRelativePath(row.source), row.expected) << row.source;
}

TEST(PayloadListTest, StoredNamesAndWebEntries) {
    const std::string text =
        "C:\\files\\bin\\app.exe\r\nDestination Computer\\<InstallDir>\\*0*0*0|\r\n"
        "http://example.com/big.zip\r\nDestination Computer\\<InstallDir>\\*0*0*0|\r\n"
        "files\\readme.txt\r\nDestination Computer\\<InstallDir>\\doc\\*0*0*0|Docs|\r\n"
        "ftp://example.com/x.bin\r\n\r\n"
        "D:\\src\\http\\tool.dll\r\nDestination Computer\\<SystemFolder>\\*128*0*0|\r\n";
    std::vector<kq::PayloadEntry> e;
    ASSERT_TRUE(kq::ReadPayloadList(text, &e).ok());
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].storedName, "F0_app.exe");
    EXPECT_EQ(e[0].localPath, "files/bin/app.exe");
    EXPECT_EQ(e[0].line, 1);
    EXPECT_TRUE(e[1].web);
    EXPECT_EQ(e[1].storedName, "");
    EXPECT_EQ(e[2].storedName, "F2_readme.txt");
    EXPECT_EQ(e[2].line, 5);
    EXPECT_TRUE(e[3].web);
    EXPECT_FALSE(e[4].web);  // "http" without a colon is a folder name
    EXPECT_EQ(e[4].storedName, "F4_tool.dll");
    EXPECT_EQ(e[4].localPath, "src/http/tool.dll");
}

TEST(PayloadListTest, EmptyListHasNoFiles) {
    std::vector<kq::PayloadEntry> e(3);
    ASSERT_TRUE(kq::ReadPayloadList("", &e).ok());
    EXPECT_TRUE(e.empty());
}

TEST(PayloadListTest, RefusesListsTheInstallerWouldMisread) {
    struct Row {
        std::string text;
        const char* message;
    };
    const Row rows[] = {
        {"a.exe\r\nd", "data.inf line 2: the last line has no line break (the installer would ignore it)"},
        {"a.exe\nd\n", "data.inf line 1: line ends with LF only; data.inf needs CR LF line breaks"},
        {"a.exe\r\nd\r\nb.exe\r\n", "data.inf line 3: source line without its destination line"},
        {"\r\nd\r\n", "data.inf line 1: empty source path"},
        {"files\\..\\..\\secret\r\nd\r\n", "data.inf line 1: source path \"files\\..\\..\\secret\" is outside the authoring folder"},
        {"files/app.exe\r\nd\r\n", "data.inf line 1: source path \"files/app.exe\" must use backslashes"},
        {"files\\\r\nd\r\n", "data.inf line 1: source path \"files\\\" names no file"},
        {std::string(455, 'a') + "\r\nd\r\n", "data.inf line 1: source path longer than 454 characters"},
    };
    for (const Row& row : rows) {
        std::vector<kq::PayloadEntry> e;
        kq::Status st = kq::ReadPayloadList(row.text, &e);
        EXPECT_FALSE(st.ok()) << row.message;
        EXPECT_EQ(st.message(), row.message);
    }
    std::vector<kq::PayloadEntry> e;
    EXPECT_TRUE(kq::ReadPayloadList(std::string(454, 'a') + "\r\nd\r\n", &e).ok());
}

#ifdef KQ_KQBUILD_PATH

struct RunResult {
    int exitCode;
    std::string err;
};

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

RunResult RunTool(const TempDir& dir, const std::string& command) {
    const std::string errPath = dir.Path("stderr.txt");
    const int rc = std::system((command + " >/dev/null 2>" + ShellQuote(errPath)).c_str());
    const std::vector<uint8_t> err = ReadFile(errPath);
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, std::string(err.begin(), err.end())};
}

std::string Kqbuild() { return ShellQuote(KQ_KQBUILD_PATH); }

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// One row per kind of mistake `kqbuild check` finds; the first row is a
// clean folder, which gives no finding at all.
TEST(AuthoringCheckTest, EachMistakeWithFileAndLine) {
    const std::string page = "[DIALOGLIST]\r\nTOTAL1=1\r\nW0=welcome.lcd\r\n";
    const std::string file = "files\\a.exe\r\nDestination Computer\\<InstallDir>*0*0*0|\r\n";
    struct Row {
        std::string setup;
        std::string data;
        const char* finding;   // "" for none
        bool fullPack = true;  // German.lan holds every text of welcome.lcd
    } rows[] = {
        {"[APPINFO]\r\na1=<ProductName>\r\n; a comment\r\na5=\r\n" + page, file, ""},
        {"[APPINFO]\r\na44=C:\\x\r\n" + page, file, "setup.inf:2: error: a44: unknown key; did you mean a4?"},
        {"[APPINF]\r\n" + page, file, "setup.inf:1: warning: [APPINF]: unknown section"},
        {"[DIALOGLIST]\r\nTOTAL1=2\r\nW0=welcome.lcd\r\n", file,
         "setup.inf:2: error: TOTAL1=2 but [DIALOGLIST] holds 1 items"},
        {"[DIALOGLIST]\r\nTOTAL1=1\r\nW0=cusomer.lcd\r\n", file,
         "setup.inf:3: error: W0: page cusomer.lcd is not in the theme"},
        {"[APPINFO]\r\na3={6B1C2F0E-3D4A}\r\n" + page, file,
         "setup.inf:2: warning: a3: the product code {6B1C2F0E-3D4A} is not a GUID"},
        {"[APPINFO]\r\na4=<ProgramFiles>\\N\r\n" + page, file,
         "setup.inf:2: warning: a4: <ProgramFiles> is no placeholder and no variable"},
        {page, "files\\a.exe\r\nDestination Computer\\<InstallDir>*1536*0*0|\r\n",
         "data.inf:2: warning: option bits 1536 mean nothing"},
        {page, "files\\b.exe\r\nDestination Computer\\<InstallDir>*0*0*0|\r\n",
         "data.inf:1: error: files\\b.exe: file not found"},
        {page, file + "files\\A.EXE\r\nDestination Computer\\<InstallDir>\\*0*0*0|\r\n",
         "data.inf:4: error: A.EXE goes to the same place as the file of line 1"},
        {page + "CT1=IDC_LICENS\r\n", file, "setup.inf:4: error: CT1: no layout of the theme has a control IDC_LICENS"},
        {page, file, "languages/German.lan: warning: [InstallWelcome] 0 is missing", false},
        {page + "CT1=IDC_LICENSE\r\n", file,
         "theme/license.lcd:2: error: bkcolour: unknown key; did you mean bkcolor?"},
    };
    for (const Row& row : rows) {
        kq::AuthoringFiles files;
        files.setupInf = row.setup;
        files.dataInf = row.data;
        files.themeFiles = {"welcome.lcd"};
        files.payloadExists = [](const std::string& source) {
            return source == "files\\a.exe" || source == "files\\A.EXE";
        };
        files.controls = {{"license.lcd", {"IDC_LICENSE"}}, {"welcome.lcd", {"IDCANCEL"}}};
        std::string pack = "[InstallWelcome]\r\n";
        for (const kq::PackRow& text : kq::TranslationRows()) {
            if (std::string(text.layoutFile) == "welcome.lcd" && (row.fullPack || std::string(text.key.key) != "0"))
                pack += std::string(text.key.key) + "=x\r\n";
        }
        files.languagePacks["German.lan"] = pack;
        if (row.setup.find("CT1=IDC_LICENSE") != std::string::npos)
            files.layouts["license.lcd"] = "[MAINWINDOW]\r\nbkcolour=1,2,3\r\n";
        std::string found;
        for (const kq::Finding& f : kq::CheckAuthoring(files)) found += kq::FindingLine(f) + "\n";
        if (*row.finding == '\0') {
            EXPECT_EQ(found, "") << row.setup;
        } else {
            EXPECT_EQ(found.rfind(row.finding, 0), 0u) << row.setup << row.data << "\n" << found;
            EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), 1) << found;
        }
    }
}

// An authoring folder exercising every kind of input the builder takes.
class BuilderRunTest : public ::testing::Test {
protected:
    void SetUp() override { MakeAuthoring(); }

    void MakeAuthoring() {
        auth_ = dir_.Root() / "authoring";
        pkg_ = dir_.Root() / "package";
        fs::create_directories(auth_ / "files" / "bin");
        fs::create_directories(auth_ / "theme" / "pictures");
        fs::create_directories(auth_ / "support");
        setupText_ = "[APPINFO]\r\na1=Demo\r\n";
        dataText_ =
            "C:\\files\\bin\\app.exe\r\nDestination Computer\\<InstallDir>\\*0*0*0|\r\n"
            "http://example.com/extra.zip\r\nDestination Computer\\<InstallDir>\\*0*0*0|\r\n"
            "files\\readme.txt\r\nDestination Computer\\<InstallDir>\\*0*0*0|\r\n";
        WriteFile((auth_ / "setup.inf").string(), setupText_);
        WriteFile((auth_ / "data.inf").string(), dataText_);
        appBytes_ = kqtest::Pattern(70000, 5);  // several MSZIP blocks
        WriteFile((auth_ / "files" / "bin" / "app.exe").string(), appBytes_);
        WriteFile((auth_ / "files" / "readme.txt").string(), std::string("Read me.\r\n"));
        WriteFile((auth_ / "theme" / "welcome.lcd").string(), std::string("[Page]\r\n"));
        WriteFile((auth_ / "theme" / "pictures" / "top.bmp").string(), std::string("BMxx"));
        WriteFile((auth_ / "language.lan").string(), std::string("[LANG]\r\n"));
        fs::create_directories(auth_ / "languages");
        WriteFile((auth_ / "languages" / "German.lan").string(), std::string("[InstallWelcome]\r\n"));
        WriteFile((auth_ / "^!logo.bmp").string(), std::string("BMlogo"));
        WriteFile((auth_ / "setup.bmp").string(), std::string("BMsplash"));
        WriteFile((auth_ / "support" / "kqexec.exe").string(), std::string("MZrunner"));
        WriteFile(dir_.Path("app.ico"), std::string("icon"));
        WriteFile(dir_.Path("fake-setup.exe"), std::string("MZsetup"));
        // An even second: cabinet times have a two-second resolution.
        SetTime(auth_ / "files" / "bin" / "app.exe", 1262347200);  // 2010-01-01 12:00:00 UTC
    }

    static void SetTime(const fs::path& p, time_t t) {
        struct timeval tv[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(utimes(p.c_str(), tv), 0);
    }

    std::string Args(const std::string& extra = std::string()) const {
        return Kqbuild() + " " + extra + " --setup-exe " + ShellQuote(dir_.Path("fake-setup.exe")) + " --support " +
               ShellQuote(dir_.Path("app.ico")) + " " + ShellQuote(auth_.string()) + " " + ShellQuote(pkg_.string());
    }

    std::string Decrypt(const char* name) {
        CFileCrypt crypt;
        EXPECT_TRUE(kq::KeyForPackage(crypt).ok());
        const std::string out = dir_.Path(std::string(name) + ".plain");
        kq::Status st = crypt.DecryptFile((pkg_ / name).string().c_str(), out.c_str());
        EXPECT_TRUE(st.ok()) << st.message();
        const std::vector<uint8_t> bytes = ReadFile(out);
        std::string text(bytes.begin(), bytes.end());
        while (!text.empty() && text.back() == '\0') text.pop_back();  // block padding
        return text;
    }

    void ExpectCommonPackage() {
        EXPECT_EQ(Decrypt("setup.nsx"), setupText_);
        EXPECT_EQ(Decrypt("data.nsx"), dataText_);
        EXPECT_EQ(ReadFile((pkg_ / "theme" / "welcome.lcd").string()).size(), 8u);
        EXPECT_TRUE(fs::exists(pkg_ / "theme" / "pictures" / "top.bmp"));
        EXPECT_TRUE(fs::exists(pkg_ / "language.lan"));
        EXPECT_TRUE(fs::exists(pkg_ / "languages" / "German.lan"));
        EXPECT_TRUE(fs::exists(pkg_ / "^!logo.bmp"));
        EXPECT_TRUE(fs::exists(pkg_ / "setup.bmp"));
        EXPECT_FALSE(fs::exists(pkg_ / "setup.inf"));
        EXPECT_FALSE(fs::exists(pkg_ / "data.inf"));
        EXPECT_FALSE(fs::exists(pkg_ / "files"));
        const std::vector<uint8_t> exe = ReadFile((pkg_ / "setup.exe").string());
        EXPECT_EQ(std::string(exe.begin(), exe.end()), "MZsetup");
        // No temporary sibling left behind.
        for (const auto& entry : fs::directory_iterator(dir_.Root())) {
            EXPECT_EQ(entry.path().filename().string().find(".kqbuild-"), std::string::npos) << entry.path();
        }
    }

    TempDir dir_;
    fs::path auth_, pkg_;
    std::string setupText_, dataText_;
    std::vector<uint8_t> appBytes_;
};

TEST_F(BuilderRunTest, CabinetLayout) {
    RunResult r = RunTool(dir_, Args());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ExpectCommonPackage();
    EXPECT_FALSE(fs::exists(pkg_ / "DiskImage1"));
    ASSERT_TRUE(fs::exists(pkg_ / "file1.cab"));
    if (!HaveTool("cabextract")) GTEST_SKIP() << "cabextract not installed";

    const std::string cab = ShellQuote((pkg_ / "file1.cab").string());
    const std::string list = dir_.Path("list.txt");
    ASSERT_EQ(std::system(("cabextract -l " + cab + " >" + ShellQuote(list)).c_str()), 0);
    const std::vector<uint8_t> listBytes = ReadFile(list);
    const std::string listing(listBytes.begin(), listBytes.end());
    // Support files first (support/ sorted, then --support), product files
    // after them in data.inf's order: the listing is in cabinet order.
    size_t previous = 0;
    for (const char* name : {"kqexec.exe", "app.ico", "F0_app.exe", "F2_readme.txt"}) {
        const size_t at = listing.find(name);
        ASSERT_NE(at, std::string::npos) << name << " in\n" << listing;
        EXPECT_GE(at, previous) << name << " out of order in\n" << listing;
        previous = at;
    }
    EXPECT_EQ(listing.find("F1_"), std::string::npos) << "web sources are not packed";
    if (HaveTool("gcab")) {
        EXPECT_EQ(std::system(("gcab -t " + cab + " >/dev/null 2>&1").c_str()), 0);
    }

    const fs::path out = dir_.Root() / "extracted";
    fs::create_directories(out);
    ASSERT_EQ(std::system(("cabextract -q -d " + ShellQuote(out.string()) + " " + cab).c_str()), 0);
    EXPECT_EQ(ReadFile((out / "F0_app.exe").string()), appBytes_);
    const std::vector<uint8_t> runner = ReadFile((out / "kqexec.exe").string());
    EXPECT_EQ(std::string(runner.begin(), runner.end()), "MZrunner");
    struct stat st;
    ASSERT_EQ(stat((out / "F0_app.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1262347200);
}

TEST_F(BuilderRunTest, DiskImageLayout) {
    RunResult r = RunTool(dir_, Args("--layout diskimage"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ExpectCommonPackage();
    EXPECT_FALSE(fs::exists(pkg_ / "file1.cab"));
    EXPECT_EQ(ReadFile((pkg_ / "DiskImage1" / "F0_app.exe").string()), appBytes_);
    EXPECT_TRUE(fs::exists(pkg_ / "DiskImage1" / "F2_readme.txt"));
    EXPECT_TRUE(fs::exists(pkg_ / "DiskImage1" / "kqexec.exe"));
    EXPECT_TRUE(fs::exists(pkg_ / "DiskImage1" / "app.ico"));
    EXPECT_FALSE(fs::exists(pkg_ / "DiskImage1" / "F1_extra.zip"));
    struct stat st;
    ASSERT_EQ(stat((pkg_ / "DiskImage1" / "F0_app.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1262347200);
}

TEST_F(BuilderRunTest, MissingPayloadFileLeavesNoPackage) {
    fs::remove(auth_ / "files" / "readme.txt");
    RunResult r = RunTool(dir_, Args());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("data.inf:5: error: files\\readme.txt"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(pkg_));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Root()), fs::directory_iterator()), 4)
        << "only authoring, app.ico, fake-setup.exe and stderr.txt";
}

TEST_F(BuilderRunTest, FailedRebuildKeepsTheEarlierPackage) {
    ASSERT_EQ(RunTool(dir_, Args()).exitCode, 0);
    const std::vector<uint8_t> before = ReadFile((pkg_ / "file1.cab").string());
    fs::remove(auth_ / "files" / "bin" / "app.exe");
    RunResult r = RunTool(dir_, Args());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("app.exe"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile((pkg_ / "file1.cab").string()), before);
    EXPECT_EQ(Decrypt("setup.nsx"), setupText_);
}

TEST_F(BuilderRunTest, RebuildReplacesTheWholePackage) {
    ASSERT_EQ(RunTool(dir_, Args()).exitCode, 0);
    WriteFile((pkg_ / "stale.txt").string(), std::string("old"));
    ASSERT_EQ(RunTool(dir_, Args("--layout diskimage")).exitCode, 0);
    EXPECT_FALSE(fs::exists(pkg_ / "stale.txt"));
    EXPECT_FALSE(fs::exists(pkg_ / "file1.cab"));
    EXPECT_TRUE(fs::exists(pkg_ / "DiskImage1" / "F0_app.exe"));
}

TEST_F(BuilderRunTest, ErrorsNameTheirCause) {
    enum Case { kNoSetupInf, kNoDataInf, kLfDataInf, kDuplicateSupport, kForeignFolder };
    struct Row {
        Case what;
        const char* expect;  // in stderr
    };
    const Row rows[] = {
        {kNoSetupInf, "setup.inf"},
        {kNoDataInf, "data.inf"},
        {kLfDataInf, "CR LF"},
        {kDuplicateSupport, "\"app.ico\""},
        {kForeignFolder, "not a package"},
    };
    for (const Row& row : rows) {
        fs::remove_all(auth_);
        fs::remove_all(pkg_);
        MakeAuthoring();
        switch (row.what) {
        case kNoSetupInf:
            fs::remove(auth_ / "setup.inf");
            break;
        case kNoDataInf:
            fs::remove(auth_ / "data.inf");
            break;
        case kLfDataInf:
            WriteFile((auth_ / "data.inf").string(), std::string("files\\readme.txt\nx\n"));
            break;
        case kDuplicateSupport:
            WriteFile((auth_ / "support" / "APP.ICO").string(), std::string("x"));
            break;
        case kForeignFolder:
            fs::create_directories(pkg_);
            WriteFile((pkg_ / "notes.txt").string(), std::string("mine"));
            break;
        }
        RunResult r = RunTool(dir_, Args());
        EXPECT_EQ(r.exitCode, 1) << row.what;
        EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.what << ": " << r.err;
        EXPECT_FALSE(fs::exists(pkg_ / "setup.nsx")) << row.what;
    }
    // The foreign folder survived.
    EXPECT_TRUE(fs::exists(pkg_ / "notes.txt"));
}

TEST_F(BuilderRunTest, PackageInsideTheAuthoringFolderIsRefused) {
    const std::string setup = " --setup-exe " + ShellQuote(dir_.Path("fake-setup.exe")) + " ";
    RunResult r =
        RunTool(dir_, Kqbuild() + setup + ShellQuote(auth_.string()) + " " + ShellQuote((auth_ / "out").string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("outside the authoring folder"), std::string::npos) << r.err;
    r = RunTool(dir_, Kqbuild() + setup + ShellQuote(auth_.string()) + " " + ShellQuote(auth_.string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(fs::exists(auth_ / "setup.inf"));
}

// Without a runner of its own the package takes the product's setup.exe and
// kqexec.exe; a package that registers the product but cannot remove it is
// refused.
TEST_F(BuilderRunTest, ProgramsByDefault) {
    fs::remove(auth_ / "support" / "kqexec.exe");
    const fs::path programs = dir_.Root() / "win";
    fs::create_directories(programs / "tools" / "kqexec");
    WriteFile((programs / "setup.exe").string(), std::string("MZproduct"));
    WriteFile((programs / "tools" / "kqexec" / "kqexec.exe").string(), std::string("MZkqexec"));
    const std::string tail = " --layout diskimage " + ShellQuote(auth_.string()) + " " + ShellQuote(pkg_.string());
    struct Row {
        std::string args;
        const char* a14;
        bool built;
        bool programs;
    } rows[] = {
        {"--programs " + ShellQuote(programs.string()), "", true, true},
        {"--no-programs", "", false, false},
        {"--no-programs", "No", true, false},
    };
    for (const Row& row : rows) {
        fs::remove_all(pkg_);
        WriteFile((auth_ / "setup.inf").string(), "[APPINFO]\r\na1=Demo\r\na14=" + std::string(row.a14) + "\r\n");
        RunResult r = RunTool(dir_, Kqbuild() + " " + row.args + tail);
        EXPECT_EQ(r.exitCode, row.built ? 0 : 1) << row.args << r.err;
        if (!row.built) {
            EXPECT_NE(r.err.find("carries no kqexec.exe"), std::string::npos) << r.err;
        }
        EXPECT_EQ(fs::exists(pkg_ / "setup.exe"), row.programs) << row.args;
        EXPECT_EQ(fs::exists(pkg_ / "DiskImage1" / "kqexec.exe"), row.programs) << row.args;
    }
}

// A new folder passes the check without a finding; an existing folder with
// something in it is left alone.
TEST_F(BuilderRunTest, NewFolderPassesTheCheck) {
    const std::string fresh = ShellQuote(dir_.Path("fresh"));
    ASSERT_EQ(RunTool(dir_, Kqbuild() + " new " + fresh).exitCode, 0);
    RunResult r = RunTool(dir_, Kqbuild() + " check --werror " + fresh);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(RunTool(dir_, Kqbuild() + " new " + ShellQuote(auth_.string())).exitCode, 1);
    const std::vector<uint8_t> kept = ReadFile((auth_ / "setup.inf").string());
    EXPECT_EQ(std::string(kept.begin(), kept.end()), setupText_);
}

// Two builds of the sample give the same package byte for byte, the files
// the builder makes dated SOURCE_DATE_EPOCH.
TEST_F(BuilderRunTest, SameInputsSamePackage) {
    const std::string sample = ShellQuote(std::string(KQ_SOURCE_DIR) + "/sample");
    const std::string programs = " --setup-exe " + ShellQuote(dir_.Path("fake-setup.exe")) + " --support " +
                                 ShellQuote((auth_ / "support" / "kqexec.exe").string()) + " ";
    const fs::path one = dir_.Root() / "one";
    const fs::path two = dir_.Root() / "two";
    for (const fs::path& out : {one, two}) {
        RunResult r = RunTool(
            dir_, "SOURCE_DATE_EPOCH=1700000000 " + Kqbuild() + programs + sample + " " + ShellQuote(out.string()));
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(one)) {
        if (!item.is_regular_file()) continue;
        const fs::path other = two / fs::relative(item.path(), one);
        EXPECT_EQ(ReadFile(item.path().string()), ReadFile(other.string())) << other;
        ++files;
    }
    EXPECT_GT(files, 10u);
    EXPECT_EQ(fs::last_write_time(two / "setup.nsx"), fs::last_write_time(one / "setup.nsx"));
    struct stat made;
    ASSERT_EQ(stat((two / "data.nsx").c_str(), &made), 0);
    EXPECT_EQ(made.st_mtime, 1700000000);
}

TEST(PackProgressTest, Lines) {
    const struct {
        kq::PackProgress progress;
        double seconds;
        const char* line;
    } rows[] = {
        {{0, 40, 0, 80u << 20}, 0.0, "packing 0/40 files, 0.0 of 80.0 MB"},
        {{3, 40, 12u << 20, 80u << 20}, 4.0, "packing 3/40 files, 12.0 of 80.0 MB, 3.0 MB/s"},
    };
    for (const auto& row : rows) EXPECT_EQ(kq::PackProgressLine(row.progress, row.seconds), row.line);
}

TEST_F(BuilderRunTest, UsageErrors) {
    for (const char* args : {"", "only-one", "--layout zip a b", "--bogus a b", "a b c", "--setup-exe"}) {
        RunResult r = RunTool(dir_, Kqbuild() + " " + args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: kqbuild"), std::string::npos) << args;
    }
}

#endif  // KQ_KQBUILD_PATH

}  // namespace
