// The end-to-end harness: each test case gets a Wine prefix of its own, copied
// from the template made by scripts/wine-template, and drives Windows programs
// in it as a user would, through uidriver.exe.
//
//  - E2eEnvironment (registered by the test main) makes sure the template
//    exists and starts one Xvfb for the whole test process, stopped by its
//    process id at the end.
//  - WineSession owns one prefix: it copies it at construction, sets the
//    Windows version the case wants in its user.reg before Wine starts, runs
//    programs in it with a hard time limit each, and at destruction stops
//    every program it started, its own wineserver, and deletes the prefix.
//  - WineTest is the fixture base that gives each case a WineSession, and
//    fails the case when one of the project's programs crashed in it.
//
// Every process the harness starts runs under coreutils `timeout`, so nothing
// outlives its limit even if a test forgets to wait for it.
//
// Environment: the Windows build under test, its Wine and the template come
// from scripts/wine-route (KQ_WINE_ARCH forces a route; KQ_WIN_BUILD_DIR and
// KQ_WINE_TEMPLATE replace its paths); KQ_KQBUILD replaces the builder; KQ_E2E_KEEP=1 keeps each case's
// folder (/tmp/kq-e2e.XXXXXX: prefix/, out-N.txt and err-N.txt of every
// program run) for a look after the run.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver_output.h"
#include "uidriver/driver_exit_codes.h"

namespace kq::e2e {

namespace fs = std::filesystem;
using Millis = std::chrono::milliseconds;

// Where the harness finds its programs: the Windows build and the template
// from scripts/wine-route, the rest from the build (compile definitions, which
// KQ_SOURCE_DIR and KQ_KQBUILD replace).
struct HarnessPaths {
    static fs::path SourceDir();
    static fs::path WinBuildDir();  // the route's build tree
    static fs::path Template();
    // False where Wine's 32-bit loader cannot run, whatever the route: a
    // package with the builder's default programs (i686) cannot run there.
    static bool HostRuns32Bit();
    static fs::path Kqbuild();      // empty when the builder is not part of the build
    static fs::path SetupExe();     // <win build>/setup.exe
    static fs::path Uidriver();     // <win build>/tools/uidriver/uidriver.exe
    static fs::path MsgboxProbe();  // <win build>/tools/uidriver/msgbox_probe.exe
    static fs::path CrashNote();    // <win build>/tools/uidriver/crash_note.exe
    static fs::path WineTemplateScript();
};

enum class WindowsVersion { Win98, WinMe, Nt40, Win2k, WinXp, Win2003 };

// The name Wine's "Version" registry value takes for `version`.
const char* WineVersionName(WindowsVersion version);

struct ProcessResult {
    int exitCode = -1;      // the program's exit code (0..255 under Wine)
    bool timedOut = false;  // stopped at its time limit
    std::string output;     // standard output
    std::string errors;     // standard error
};

// Runs a host program synchronously under `timeout`; environment as ours.
ProcessResult RunHost(const std::vector<std::string>& argv, const fs::path& cwd, Millis limit);

class E2eEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    // ":N" of the shared Xvfb; falls back to $DISPLAY when none was started.
    static std::string Display();
    // Empty when the template is ready; otherwise why it is not.
    static const std::string& TemplateProblem();

private:
    pid_t m_xvfb = -1;
};

class WineSession {
public:
    explicit WineSession(WindowsVersion version = WindowsVersion::WinXp);
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    // False when the prefix could not be made; Problem() says why.
    bool Ready() const { return m_ready; }
    const std::string& Problem() const { return m_problem; }
    // Seconds taken to copy the prefix and set its version.
    double PrepareSeconds() const { return m_prepareSeconds; }

    const fs::path& Prefix() const { return m_prefix; }
    fs::path DriveC() const { return m_prefix / "drive_c"; }
    // A scratch folder of the case outside the prefix.
    fs::path ScratchDir() const { return m_dir / "scratch"; }

    // For the programs started from now on: `name`=`value` in their
    // environment; for WINEDLLOVERRIDES the value is added to the harness's
    // own overrides ("riched32,comctl32=n,b" prefers planted DLLs).
    void SetEnvironment(const std::string& name, const std::string& value);

    // Runs `exe` (a host path or a Windows path) with `args` in the prefix
    // and waits for it; cwd empty means drive C's root.
    ProcessResult Run(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd = {},
                      Millis timeout = Millis(30000));
    // Starts `exe` without waiting; `limit` is its hard time limit. Returns
    // a handle for Wait and IsRunning.
    int Start(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd = {},
              Millis limit = Millis(120000));
    // Waits for a started program (the last one by default). When it is still
    // running after `timeout` it is stopped and the result says timedOut.
    ProcessResult Wait(Millis timeout, int handle = -1);
    bool IsRunning(int handle = -1);
    // Kills a started program's own process (not its group) at once, as a
    // power loss would end it, and waits until it is gone.
    void KillProcess(int handle);
    // Waits until every program of the prefix has ended by itself.
    void WaitIdle() { RunWineserver({"-w"}, Millis(60000)); }
    // Stops every program of the prefix (its wineserver included) and waits
    // until they are gone; the prefix stays.
    void StopAll();

    // Runs uidriver.exe in this prefix with `args` (for example
    // {"wait", "--title", "Merrowin"}).
    ProcessResult Driver(const std::vector<std::string>& args);
    // `wait` with the given match options; the window it printed, if any.
    std::optional<WindowInfo> WaitWindow(const std::vector<std::string>& match, Millis timeout = Millis(10000));
    // `click` on the control labelled `label` ('&' ignored) of the matching
    // window; true when uidriver found and pressed it.
    bool Click(const std::vector<std::string>& match, const std::string& label);

    // "C:\pkg\setup.exe" <-> <prefix>/drive_c/pkg/setup.exe. Host paths
    // outside the drives map to Z:. Windows path components are matched
    // without regard to case when the exact name does not exist.
    fs::path HostPath(const std::string& winPath) const;
    std::string WinPath(const fs::path& hostPath) const;
    // The user's temporary folder (C:\users\<user>\Temp under Wine 8).
    fs::path TempDir() const;

    // `wine reg query KEY /v VALUE`: the value's data, or nothing.
    std::optional<std::string> RegQuery(const std::string& key, const std::string& value);
    // Saves the whole screen of the session's display as a PNG.
    bool Screenshot(const fs::path& png);
    // Empty unless a program of the prefix crashed (one of the project's:
    // Wine's own are only noted): then, once the debugger is done and every
    // program stopped, what Wine said and the backtrace.
    std::string Crashes();

private:
    struct Child {
        pid_t pid = -1;
        bool finished = false;
        int status = 0;
        fs::path out;
        fs::path err;
        std::string program;  // the file name started, for reports
        std::chrono::steady_clock::time_point startedAt;
    };

    std::vector<std::string> Environment() const;
    int Spawn(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd, Millis limit);
    bool Reap(Child& child, bool block);
    ProcessResult Collect(const Child& child) const;
    void Kill(Child& child);
    ProcessResult RunWineserver(const std::vector<std::string>& args, Millis limit);
    bool SetVersion(WindowsVersion version);
    bool SetDebugger();

    fs::path m_dir;     // the case's folder under the system temp folder
    fs::path m_prefix;  // m_dir/prefix
    std::vector<Child> m_children;
    bool m_ready = false;
    std::string m_problem;
    double m_prepareSeconds = 0;
    std::vector<std::pair<std::string, std::string>> m_environment;  // SetEnvironment's
};

// Fixture base: each case gets a fresh session; override Version() for
// another Windows version. A case whose session cannot be made fails.
class WineTest : public ::testing::Test {
protected:
    virtual WindowsVersion Version() const { return WindowsVersion::WinXp; }
    void SetUp() override;
    void TearDown() override;
    WineSession& Session() { return *m_session; }

    std::unique_ptr<WineSession> m_session;
};

// Small file helpers for the cases.
std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& data);
// Polls `condition` every 50 ms until it holds or `timeout` passes.
template <typename Condition>
bool WaitUntil(Millis timeout, Condition condition) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(Millis(50));
    }
}

}  // namespace kq::e2e
