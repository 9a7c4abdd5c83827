// setup.exe's first moments, driven as a user would under Wine: where it looks
// for its package, the working folder it makes and what it decrypts there,
// the messages it gives for missing or damaged package files, and the theme
// files it moves into place on the first start.
#include <gtest/gtest.h>

#include <ctime>

#include "setup_fixture.h"

namespace kq::e2e {
namespace {

// How long a start may take to reach a point the case waits for: Wine's own
// start-up dominates, and it stretches on a busy machine. The waits end as
// soon as the point is reached.
constexpr Millis kStartLimit(30000);

constexpr char kMissingFilesMessage[] =
    "Sorry, Merrowin can't find data files.\r\nsetup.nsx and data.nsx\r\n"
    "These files must be in the same directory of setup.exe";

// What decryption writes: the plaintext and zero bytes up to a whole
// 16-byte block.
std::string Padded(std::string plain) {
    plain.append((16 - plain.size() % 16) % 16, '\0');
    return plain;
}

// A tiny 24-bit BMP, so the theme files are real pictures.
std::string Bitmap(unsigned char red, unsigned char green, unsigned char blue) {
    const int width = 4, height = 2, row = 12;
    std::string pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels += {static_cast<char>(blue), static_cast<char>(green),
                                                   static_cast<char>(red)};
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    uint32_t size = 54 + row * height;
    return "BM" + le32(size) + le32(0) + le32(54) + le32(40) + le32(width) + le32(height) + le16(1) + le16(24) +
           le32(0) + le32(row * height) + le32(2835) + le32(2835) + le32(0) + le32(0) + pixels;
}

int SecondOfDay(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

class SetupStartTest : public SetupTest {
protected:
    void SetUp() override {
        fs::path setup = HarnessPaths::SetupExe();
        if (setup.empty() || !fs::exists(setup)) GTEST_SKIP() << "setup.exe is not built: " << setup;
        WineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(fs::exists(HarnessPaths::Uidriver())) << HarnessPaths::Uidriver();
        ASSERT_TRUE(fs::exists(HarnessPaths::Kqbuild())) << "kqbuild missing: " << HarnessPaths::Kqbuild();
    }

    // Builds tests/e2e/packages/basic into C:\pkg; `scriptTail` is added
    // to its setup script.
    fs::path BasicPackage(const std::string& scriptTail = "") {
        fs::path authoring = AuthoringDir("basic");
        if (!scriptTail.empty()) {
            authoring = CopyAuthoring("basic", "basic", false);
            WriteFile(authoring / "setup.inf", ReadFile(authoring / "setup.inf") + scriptTail);
            // The page a page list names must be in the theme for the builder.
            fs::copy_file(HarnessPaths::SourceDir() / "sample" / "theme" / "welcome.lcd",
                          authoring / "theme" / "welcome.lcd");
        }
        fs::path out = BuildInto(authoring);
        EXPECT_TRUE(fs::exists(out / "setup.exe"));
        EXPECT_TRUE(fs::exists(out / "setup.nsx"));
        EXPECT_TRUE(fs::exists(out / "data.nsx"));
        return out;
    }

    // Waits for the message box that contains `text`, checks that it says
    // `message` and offers OK, presses OK, and checks that setup.exe ends
    // (with `exitCode` when one is given).
    void ExpectMessageThenEnd(int setup, const std::string& text, const std::string& message, int exitCode = -1) {
        std::optional<WindowInfo> box = Session().WaitWindow({"--contains", text}, Millis(15000));
        ASSERT_TRUE(box.has_value()) << "no message containing \"" << text << "\"";
        bool said = false;
        for (const ControlInfo& control : box->controls) said = said || control.text == message;
        EXPECT_TRUE(said) << "the message box says:\n" << box->AllText();
        EXPECT_EQ(box->className, "#32770");
        ASSERT_NE(box->FindByText("OK"), nullptr);

        // Nothing else of setup.exe is on the screen: it went no further.
        ProcessResult list = Session().Driver({"list"});
        for (const WindowInfo& window : ParseWindows(list.output)) {
            if (window.pid == box->pid) {
                EXPECT_EQ(window.hwnd, box->hwnd) << "also shown: " << window.title;
            }
        }

        ASSERT_TRUE(Session().Click({"--contains", text}, "OK"));
        ProcessResult ended = Session().Wait(Millis(10000), setup);
        EXPECT_FALSE(ended.timedOut) << "setup.exe still runs after OK";
        if (exitCode >= 0) {
            EXPECT_EQ(ended.exitCode, exitCode);
        }
    }
};

TEST_F(SetupStartTest, WorkingFolderHoldsTheDecryptedScripts) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    std::string setupInf = Padded(ReadFile(AuthoringDir("basic") / "setup.inf"));
    std::string dataInf = Padded(ReadFile(AuthoringDir("basic") / "data.inf"));

    std::time_t before = std::time(nullptr);
    StartSetup(package);
    fs::path work;
    bool decrypted = WaitUntil(kStartLimit, [&] {
        for (const fs::path& folder : WorkFolders()) {
            if (ReadFile(folder / "setup.inf") == setupInf && ReadFile(folder / "data.inf") == dataInf) {
                work = folder;
                return true;
            }
        }
        return false;
    });
    std::time_t after = std::time(nullptr);
    ASSERT_TRUE(decrypted) << "no working folder with both decrypted scripts in " << Session().TempDir();
    EXPECT_EQ(WorkFolders().size(), 1u);

    // The name is the local time of the start: kqHHMMSS.
    std::string name = work.filename().string();
    int stamp = std::stoi(name.substr(2, 2)) * 3600 + std::stoi(name.substr(4, 2)) * 60 + std::stoi(name.substr(6, 2));
    int from = SecondOfDay(before - 1);
    int span = static_cast<int>(after - before) + 2;
    EXPECT_LE((stamp - from + 86400) % 86400, span) << name << " is not a time during the start";
}

// Two runs started together (nearly always in the same second, so with the
// same time-based name) each decrypt into a folder of their own.
TEST_F(SetupStartTest, TwoRunsStartedTogetherUseTwoWorkingFolders) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    std::string setupInf = Padded(ReadFile(AuthoringDir("basic") / "setup.inf"));
    std::string dataInf = Padded(ReadFile(AuthoringDir("basic") / "data.inf"));

    StartSetup(package);
    StartSetup(package);
    std::vector<fs::path> done;
    bool both = WaitUntil(Millis(20000), [&] {
        done.clear();
        for (const fs::path& folder : WorkFolders())
            if (ReadFile(folder / "setup.inf") == setupInf && ReadFile(folder / "data.inf") == dataInf)
                done.push_back(folder);
        return done.size() == 2;
    });
    std::string names;
    for (const fs::path& folder : WorkFolders()) names += folder.filename().string() + " ";
    EXPECT_TRUE(both) << "working folders with both scripts: " << names;
    EXPECT_EQ(WorkFolders().size(), 2u) << names;
}

TEST_F(SetupStartTest, MissingDataFileShowsTheMessageAndEnds) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    fs::remove(package / "data.nsx");
    int setup = StartSetup(package);
    ExpectMessageThenEnd(setup, "can't find data files", kMissingFilesMessage);
    // The setup script was decrypted before the file list was missed; it
    // does not outlive the run, nor does the folder made for it.
    EXPECT_TRUE(WorkFolders().empty()) << "the decrypted setup script stays in the temporary folder";
}

TEST_F(SetupStartTest, MissingBothScriptsShowsTheSameMessage) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    fs::remove(package / "data.nsx");
    fs::remove(package / "setup.nsx");
    int setup = StartSetup(package);
    ExpectMessageThenEnd(setup, "can't find data files", kMissingFilesMessage);
}

TEST_F(SetupStartTest, StartedFromAnotherFolderItFindsNoPackage) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    fs::path elsewhere = Session().DriveC() / "elsewhere";
    fs::create_directories(elsewhere);
    int setup = StartSetup(package, {}, Millis(120000), elsewhere);
    ExpectMessageThenEnd(setup, "can't find data files", kMissingFilesMessage);
    EXPECT_TRUE(fs::exists(package / "setup.nsx"));
}

TEST_F(SetupStartTest, DamagedSignatureStopsWithTheDecryptionError) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    fs::path script = package / "setup.nsx";
    std::string bytes = ReadFile(script);
    ASSERT_GE(bytes.size(), 32u);
    bytes[7] = static_cast<char>(bytes[7] ^ 0x01);  // inside the 32-byte signature
    WriteFile(script, bytes);

    int setup = StartSetup(package);
    std::string message = "FileCrypt ERROR: File " + Session().WinPath(script) + " cannot be Correctly Decrypted!";
    ExpectMessageThenEnd(setup, "cannot be Correctly Decrypted", message);
    // The file list was never reached.
    for (const fs::path& folder : WorkFolders()) EXPECT_FALSE(fs::exists(folder / "data.inf")) << folder;
}

// Packages that cannot lead an installation end the start-up with a message
// that says what is wrong, before any page opens, as a damaged package
// (exit code 5): a setup script without a page list (the basic package has none), and
// a cabinet that cannot be unpacked, named with the reason.
TEST_F(SetupStartTest, DamagedPackagesSayWhatIsWrongAndOpenNoPage) {
    const std::string pageList = "\r\n[DIALOGLIST]\r\nTOTAL1=1\r\nW0=welcome.lcd\r\n";
    struct Case {
        const char* name;
        std::string scriptTail;
        bool damageCabinet;
        const char* message;
    };
    const Case cases[] = {
        {"no page list", "", false,
         "This package is damaged: its setup script lists no wizard pages (section DIALOGLIST, key TOTAL1), so the "
         "installation cannot be led. Please get a new copy of the package."},
        {"truncated cabinet", pageList, true,
         "Merrowin can't unpack the product's files.\r\nFile: C:\\pkg\\file1.cab\r\nReason: the cabinet is damaged."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session().StopAll();
        fs::remove_all(Session().DriveC() / "pkg");
        fs::remove_all(Session().ScratchDir());
        fs::path package = BasicPackage(c.scriptTail);
        ASSERT_FALSE(HasFailure());
        if (c.damageCabinet) {
            // The headers stay, the data is cut: the first file cannot be read.
            std::string cabinet = ReadFile(package / "file1.cab");
            ASSERT_GT(cabinet.size(), 200u);
            WriteFile(package / "file1.cab", cabinet.substr(0, 100));
        }
        int setup = StartSetup(package);
        std::string text = c.message;
        ExpectMessageThenEnd(setup, text.substr(0, 30), c.message, kExitDamaged);
    }
}

TEST_F(SetupStartTest, ThemeFilesMoveOnTheFirstStartOnly) {
    fs::path package = BasicPackage();
    ASSERT_FALSE(HasFailure());
    fs::remove_all(package / "theme");
    std::string logo = Bitmap(255, 0, 0);
    WriteFile(package / "^!logo.bmp", logo);

    StartSetup(package);
    bool moved = WaitUntil(kStartLimit, [&] {
        return fs::exists(package / "theme" / "logo.bmp") && !fs::exists(package / "^!logo.bmp");
    });
    ASSERT_TRUE(moved) << "^!logo.bmp was not moved to theme\\logo.bmp";
    EXPECT_EQ(ReadFile(package / "theme" / "logo.bmp"), logo);
    // The first run has passed the theme step once its scripts are out.
    ASSERT_TRUE(WaitUntil(kStartLimit, [&] { return !WorkFolders().empty(); }));
    Session().StopAll();

    std::string other = Bitmap(0, 0, 255);
    WriteFile(package / "^!other.bmp", other);
    auto secondStart = fs::file_time_type::clock::now();
    StartSetup(package);
    // The second run has passed the theme step once it has written its
    // setup script again.
    bool rewritten = WaitUntil(kStartLimit, [&] {
        for (const fs::path& folder : WorkFolders()) {
            std::error_code error;
            auto written = fs::last_write_time(folder / "setup.inf", error);
            if (!error && written >= secondStart && fs::file_size(folder / "setup.inf", error) > 0) return true;
        }
        return false;
    });
    ASSERT_TRUE(rewritten) << "the second start did not get to its working folder";
    EXPECT_EQ(ReadFile(package / "^!other.bmp"), other);
    EXPECT_FALSE(fs::exists(package / "theme" / "other.bmp"));
    EXPECT_EQ(ReadFile(package / "theme" / "logo.bmp"), logo);
}

}  // namespace
}  // namespace kq::e2e
