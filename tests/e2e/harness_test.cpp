// The harness itself under Wine: fresh prefixes, the Windows version switch,
// process control and time limits, path mapping, the registry query, and
// uidriver reading and pressing a real message box.
#include <gtest/gtest.h>

#include <cstdlib>

#include "wine_session.h"

namespace kq::e2e {
namespace {

constexpr char kProbeText[] = "Probe first line.\r\nProbe second line & more.";

void RequireWindowsTools() {
    ASSERT_TRUE(fs::exists(HarnessPaths::Uidriver())) << "uidriver.exe missing: " << HarnessPaths::Uidriver();
    ASSERT_TRUE(fs::exists(HarnessPaths::MsgboxProbe())) << "msgbox_probe.exe missing: "
                                                         << HarnessPaths::MsgboxProbe();
}

// The probe takes CR and LF as the two-character escapes \r and \n.
std::string ProbeArgument(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

// On a fresh machine the 32-bit loader arrives with the set-up: the two
// commands choose their route only after it has run. Here a stand-in set-up
// puts a working "wine" into KQ_WINE_DIR and the build stops the run.
TEST(ScriptRouteTest, TheRouteIsChosenAfterTheSetUp) {
    char made[] = "/tmp/kq-route.XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const fs::path top = made;
    fs::create_directories(top / "scripts");
    for (const char* script : {"sample.sh", "test.sh", "wine-route"})
        fs::copy_file(HarnessPaths::SourceDir() / "scripts" / script, top / "scripts" / script);
    WriteFile(top / "scripts" / "setup.sh",
              "mkdir -p \"$KQ_WINE_DIR\"; echo '#!/bin/sh' >\"$KQ_WINE_DIR/wine\"; chmod +x \"$KQ_WINE_DIR/wine\"\n");
    WriteFile(top / "scripts" / "build.sh", "bash scripts/setup.sh; exit 1\n");
    for (const char* script : {"sample.sh", "test.sh"}) {
        fs::remove_all(top / "wine");
        ProcessResult run = RunHost({"env", "-u", "KQ_WINE_ARCH", "-u", "KQ_WINE_REASON",
                                     "KQ_WINE_DIR=" + (top / "wine").string(), "bash",
                                     (top / "scripts" / script).string()},
                                    top, Millis(30000));
        EXPECT_NE(run.output.find("i686, 32-bit Wine (this host runs 32-bit programs)"), std::string::npos)
            << script << ":\n" << run.output << run.errors;
    }
    fs::remove_all(top);
}

TEST(WineSessionTest, EachSessionStartsFromTheTemplate) {
    std::string marker = "C:\\harness-marker.txt";
    fs::path firstPrefix;
    {
        WineSession first;
        ASSERT_TRUE(first.Ready()) << first.Problem();
        RecordProperty("prepare_seconds", std::to_string(first.PrepareSeconds()));
        // Copying a prefix must stay cheap: it happens for every case.
        EXPECT_LT(first.PrepareSeconds(), 2.0);
        firstPrefix = first.Prefix();

        ProcessResult wrote = first.Run("cmd", {"/c", "echo written by the first session> " + marker});
        ASSERT_EQ(wrote.exitCode, EXIT_SUCCESS) << wrote.errors;
        EXPECT_EQ(ReadFile(first.HostPath(marker)), "written by the first session\r\n");
        ProcessResult added =
            first.Run("reg", {"add", "HKCU\\Software\\KqHarness", "/v", "Mark", "/d", "first", "/f"});
        ASSERT_EQ(added.exitCode, EXIT_SUCCESS) << added.output << added.errors;
        EXPECT_EQ(first.RegQuery("HKCU\\Software\\KqHarness", "Mark"), std::optional<std::string>("first"));
    }
    EXPECT_FALSE(fs::exists(firstPrefix)) << "the session left its prefix behind";

    WineSession second;
    ASSERT_TRUE(second.Ready()) << second.Problem();
    EXPECT_NE(second.Prefix(), firstPrefix);
    EXPECT_FALSE(fs::exists(second.HostPath(marker)));
    EXPECT_FALSE(second.RegQuery("HKCU\\Software\\KqHarness", "Mark").has_value());
    EXPECT_FALSE(fs::exists(HarnessPaths::Template() / "drive_c" / "harness-marker.txt"));
}

struct VersionCase {
    WindowsVersion version;
    int major;
    int minor;
    int platform;  // 1 = the Windows 9x family, 2 = NT
};

class WindowsVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(WindowsVersionTest, ProgramsSeeTheChosenVersion) {
    RequireWindowsTools();
    const VersionCase& c = GetParam();
    WineSession session(c.version);
    ASSERT_TRUE(session.Ready()) << session.Problem();
    ProcessResult result = session.Driver({"version"});
    ASSERT_EQ(result.exitCode, uidriver::kExitDone) << result.errors;
    std::vector<DriverLine> lines = ParseDriverLines(result.output);
    ASSERT_EQ(lines.size(), 1u) << result.output;
    EXPECT_EQ(lines[0].kind, "version");
    EXPECT_EQ(lines[0].fields["major"], std::to_string(c.major));
    EXPECT_EQ(lines[0].fields["minor"], std::to_string(c.minor));
    EXPECT_EQ(lines[0].fields["platform"], std::to_string(c.platform));
}

void PrintTo(const VersionCase& c, std::ostream* out) {
    *out << WineVersionName(c.version);
}

INSTANTIATE_TEST_SUITE_P(Versions, WindowsVersionTest,
                         ::testing::Values(VersionCase{WindowsVersion::Win98, 4, 10, 1},
                                           VersionCase{WindowsVersion::WinMe, 4, 90, 1},
                                           VersionCase{WindowsVersion::Nt40, 4, 0, 2},
                                           VersionCase{WindowsVersion::Win2k, 5, 0, 2},
                                           VersionCase{WindowsVersion::WinXp, 5, 1, 2},
                                           VersionCase{WindowsVersion::Win2003, 5, 2, 2}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             return std::string(WineVersionName(info.param.version));
                         });

class HarnessTest : public WineTest {};

TEST_F(HarnessTest, RunReturnsOutputAndExitCode) {
    const int chosen = 3;  // any code but success
    ProcessResult result = Session().Run("cmd", {"/c", "echo hello from cmd& exit " + std::to_string(chosen)});
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, chosen);
    EXPECT_EQ(result.output, "hello from cmd\r\n");
}

// A crash ends the program at once, without Wine's dialog or a console
// window; one of the project's programs fails the case (WineTest::TearDown)
// with what Wine said and the backtrace, one of Wine's own is only noted.
TEST_F(HarnessTest, ACrashEndsTheProgramAndOnlyOursIsReported) {
    RequireWindowsTools();
    const struct {
        std::string program;
        std::string argument;
        bool reported;
    } cases[] = {
        {HarnessPaths::MsgboxProbe().string(), "--crash", true},
        {"rundll32", "kernel32.dll,DebugBreak", false},
    };
    const fs::path file = Session().DriveC() / "windows" / "temp" / "kq-crashes.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        ProcessResult result = Session().Run(c.program, {c.argument});
        EXPECT_FALSE(result.timedOut);
        EXPECT_TRUE(fs::exists(file));
        const std::string crashes = Session().Crashes();
        const std::string name = c.program.substr(c.program.find_last_of('/') + 1);
        EXPECT_EQ(crashes.find(name + ": wine: Unhandled") != std::string::npos, c.reported) << crashes;
        EXPECT_EQ(crashes.find("Backtrace:") != std::string::npos, c.reported) << crashes;
        fs::remove(file);
    }
    EXPECT_EQ(Session().RegQuery("HKCU\\Console", "ColorTable00"), std::nullopt) << "a console window was opened";
}

TEST_F(HarnessTest, RunStopsAProgramAtItsTimeLimit) {
    RequireWindowsTools();
    auto start = std::chrono::steady_clock::now();
    // The probe's message box waits for a user forever.
    ProcessResult result = Session().Run(HarnessPaths::MsgboxProbe().string(), {}, {}, Millis(3000));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(result.timedOut);
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST_F(HarnessTest, WaitGivesUpAfterItsTimeoutAndStopsTheProgram) {
    RequireWindowsTools();
    int probe = Session().Start(HarnessPaths::MsgboxProbe().string(), {});
    EXPECT_TRUE(Session().IsRunning(probe));
    ProcessResult result = Session().Wait(Millis(1500), probe);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(Session().IsRunning(probe));
}

TEST_F(HarnessTest, PathsMapBetweenWindowsAndHost) {
    WineSession& s = Session();
    EXPECT_EQ(s.WinPath(s.DriveC() / "pkg" / "setup.exe"), "C:\\pkg\\setup.exe");
    EXPECT_EQ(s.WinPath(s.DriveC()), "C:\\");
    EXPECT_EQ(s.WinPath("/usr/share"), "Z:\\usr\\share");
    EXPECT_EQ(s.HostPath("C:\\pkg\\setup.exe"), s.DriveC() / "pkg" / "setup.exe");
    // Windows names ignore case; the host path keeps the name on disk.
    EXPECT_EQ(s.HostPath("c:\\WINDOWS\\SYSTEM32"), s.DriveC() / "windows" / "system32");
    EXPECT_TRUE(fs::is_directory(s.HostPath("C:\\Windows\\System32")));

    fs::path temp = s.TempDir();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(fs::is_directory(temp));
    ProcessResult echoed = s.Run("cmd", {"/c", "echo %TEMP%"});
    ASSERT_EQ(echoed.exitCode, EXIT_SUCCESS);
    std::string reported = echoed.output.substr(0, echoed.output.find_first_of("\r\n"));
    EXPECT_EQ(s.HostPath(reported), temp) << "TEMP is " << reported;
}

TEST_F(HarnessTest, RegQueryReadsValuesAndReportsMissingOnes) {
    EXPECT_EQ(Session().RegQuery("HKCU\\Software\\Wine", "Version"), std::optional<std::string>("winxp"));
    EXPECT_EQ(Session().RegQuery("HKCU\\Software\\Wine\\DllOverrides", "mscoree"), std::optional<std::string>(""));
    EXPECT_FALSE(Session().RegQuery("HKCU\\Software\\Wine", "NoSuchValue").has_value());
    EXPECT_FALSE(Session().RegQuery("HKCU\\Software\\NoSuchKey", "Version").has_value());
}

TEST_F(HarnessTest, DriverReadsAMessageBoxAndClicksOk) {
    RequireWindowsTools();
    int probe = Session().Start(HarnessPaths::MsgboxProbe().string(),
                                {"--text", ProbeArgument(kProbeText), "--caption", "Probe caption", "--type", "1"});
    std::optional<WindowInfo> box = Session().WaitWindow({"--contains", "Probe first line"});
    ASSERT_TRUE(box.has_value()) << "no message box appeared";
    EXPECT_EQ(box->title, "Probe caption");
    EXPECT_EQ(box->className, "#32770");
    bool textShown = false;
    for (const ControlInfo& control : box->controls) textShown = textShown || control.text == kProbeText;
    EXPECT_TRUE(textShown) << box->AllText();
    ASSERT_NE(box->FindByText("OK"), nullptr);
    ASSERT_NE(box->FindByText("Cancel"), nullptr);

    ProcessResult click = Session().Driver({"click", "--title", "Probe caption", "--text", "OK"});
    ASSERT_EQ(click.exitCode, uidriver::kExitDone) << click.errors;
    std::vector<DriverLine> lines = ParseDriverLines(click.output);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].kind, "clicked");
    EXPECT_EQ(lines[0].fields["text"], "OK");

    ProcessResult ended = Session().Wait(Millis(10000), probe);
    EXPECT_FALSE(ended.timedOut);
    EXPECT_EQ(ended.exitCode, uidriver::kProbeOk);
    ProcessResult gone = Session().Driver({"gone", "--title", "Probe caption", "--timeout", "2000"});
    EXPECT_EQ(gone.exitCode, uidriver::kExitDone) << gone.errors;
}

// Each way of answering the box, and the button id the program ends with.
// One prefix serves the whole table: a message box leaves nothing behind.
TEST_F(HarnessTest, ProgramEndsWithTheButtonPressed) {
    RequireWindowsTools();
    const struct {
        std::vector<std::string> command;
        int exitCode;
    } cases[] = {
        {{"click", "--title", "Probe", "--text", "&Cancel"}, uidriver::kProbeCancel},
        {{"click", "--title", "Probe", "--id", "1"}, uidriver::kProbeOk},
        {{"click", "--title", "Probe", "--id", "2", "--mode", "send"}, uidriver::kProbeCancel},
        {{"click", "--title", "Probe", "--id", "1", "--mode", "command"}, uidriver::kProbeOk},
        {{"click", "--title", "Probe", "--text", "Cancel", "--mode", "mouse"}, uidriver::kProbeCancel},
        {{"key", "--title", "Probe", "enter"}, uidriver::kProbeOk},
        {{"key", "--title", "Probe", "escape"}, uidriver::kProbeCancel},
    };
    for (const auto& c : cases) {
        std::string command;
        for (const std::string& arg : c.command) command += arg + " ";
        SCOPED_TRACE(command);
        int probe = Session().Start(HarnessPaths::MsgboxProbe().string(), {"--type", "1"});
        ASSERT_TRUE(Session().WaitWindow({"--title", "Probe"}).has_value());
        ProcessResult driven = Session().Driver(c.command);
        EXPECT_EQ(driven.exitCode, uidriver::kExitDone) << driven.errors;
        ProcessResult ended = Session().Wait(Millis(10000), probe);
        EXPECT_FALSE(ended.timedOut);
        EXPECT_EQ(ended.exitCode, c.exitCode);
    }
}

TEST_F(HarnessTest, DriverReportsWhatIsMissing) {
    RequireWindowsTools();
    ProcessResult wait = Session().Driver({"wait", "--title", "No such window", "--timeout", "300"});
    EXPECT_EQ(wait.exitCode, uidriver::kExitNotFound);
    EXPECT_NE(wait.errors.find("no window with title \"No such window\""), std::string::npos) << wait.errors;

    int probe = Session().Start(HarnessPaths::MsgboxProbe().string(), {});
    ASSERT_TRUE(Session().WaitWindow({"--title", "Probe"}).has_value());
    ProcessResult click = Session().Driver({"click", "--title", "Probe", "--text", "Retry", "--timeout", "300"});
    EXPECT_EQ(click.exitCode, uidriver::kExitNotFound);
    EXPECT_NE(click.errors.find("no visible, enabled control with text \"Retry\""), std::string::npos)
        << click.errors;
    ProcessResult stillThere = Session().Driver({"gone", "--title", "Probe", "--timeout", "300"});
    EXPECT_EQ(stillThere.exitCode, uidriver::kExitNotFound);
    ProcessResult usage = Session().Driver({"click", "--title", "Probe"});
    EXPECT_EQ(usage.exitCode, uidriver::kExitUsage);
    EXPECT_TRUE(Session().IsRunning(probe));
}

TEST_F(HarnessTest, ListShowsTheVisibleWindows) {
    RequireWindowsTools();
    Session().Start(HarnessPaths::MsgboxProbe().string(), {"--caption", "Listed probe"});
    ASSERT_TRUE(Session().WaitWindow({"--title", "Listed probe"}).has_value());
    ProcessResult list = Session().Driver({"list"});
    ASSERT_EQ(list.exitCode, uidriver::kExitDone);
    std::vector<WindowInfo> windows = ParseWindows(list.output);
    bool listed = false;
    for (const WindowInfo& w : windows) {
        EXPECT_TRUE(w.visible) << w.title;
        listed = listed || (w.title == "Listed probe" && w.className == "#32770");
    }
    EXPECT_TRUE(listed) << list.output;
}

TEST_F(HarnessTest, TypeSetsTheTextOfAControl) {
    RequireWindowsTools();
    Session().Start(HarnessPaths::MsgboxProbe().string(), {"--caption", "Typed probe"});
    std::optional<WindowInfo> box = Session().WaitWindow({"--title", "Typed probe"});
    ASSERT_TRUE(box.has_value());
    // A message box has no edit box; its text control takes WM_SETTEXT the
    // same way and shows the effect.
    const ControlInfo* text = nullptr;
    for (const ControlInfo& control : box->controls)
        if (control.className == "Static" && !control.text.empty()) text = &control;
    ASSERT_NE(text, nullptr);
    ProcessResult typed =
        Session().Driver({"type", "--title", "Typed probe", "--id", std::to_string(text->id), "--text", "new words"});
    ASSERT_EQ(typed.exitCode, uidriver::kExitDone) << typed.errors;
    std::optional<WindowInfo> after = Session().WaitWindow({"--title", "Typed probe"});
    ASSERT_TRUE(after.has_value());
    ASSERT_NE(after->FindById(text->id), nullptr);
    EXPECT_EQ(after->FindById(text->id)->text, "new words");
}

TEST_F(HarnessTest, ScreenshotSavesAPng) {
    RequireWindowsTools();
    Session().Start(HarnessPaths::MsgboxProbe().string(), {});
    ASSERT_TRUE(Session().WaitWindow({"--title", "Probe"}).has_value());
    fs::path png = Session().ScratchDir() / "screen.png";
    ASSERT_TRUE(Session().Screenshot(png));
    EXPECT_EQ(ReadFile(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
}  // namespace kq::e2e
