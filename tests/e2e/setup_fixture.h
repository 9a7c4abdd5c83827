// The steps every case that runs setup.exe takes: a package assembled from an
// authoring folder of tests/e2e/packages and built into drive C, setup.exe
// started from its folder as Explorer starts it, buttons pressed and pages
// waited for through uidriver.exe, and the end of the run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "package.h"
#include "run/exit_codes.h"
#include "wine_session.h"

namespace kq::e2e {

// Replaces the first `from` in `text` by `to`; a failure naming `from` when
// there is none.
bool ReplaceFirst(std::string& text, const std::string& from, const std::string& to);

// Sets KEY=VALUE in [SECTION] of an INI text whose lines end in CR LF or in
// LF alone. A missing key is added as the section's first line when
// `addMissing`; otherwise it, like a missing section, makes the call false.
bool SetIniValue(std::string& text, const std::string& section, const std::string& key, const std::string& value,
                 bool addMissing = false);

// One change to a package's setup script, made with SetIniValue.
struct ScriptChange {
    std::string section;
    std::string key;
    std::string value;
};

class SetupTest : public WineTest {
protected:
    // Skips the case when setup.exe, uidriver.exe or the builder is not built.
    void SetUp() override;

    // A fresh copy of the authoring folder `name` in the scratch folder under
    // `folder`, with the default theme of sample/theme when `withTheme`.
    fs::path CopyAuthoring(const std::string& name, const std::string& folder = "authoring", bool withTheme = true);
    // Builds `authoring` into C:\<folder>; the package folder, or an empty
    // path (with a failure) when the builder fails.
    fs::path BuildInto(const fs::path& authoring, const std::string& folder = "pkg", const std::string& layout = "cab",
                       const std::vector<std::string>& extra = {});

    // The first of `files` (paths in the Windows build tree) that is not
    // built; empty when all are.
    static std::string MissingBuildFile(const std::vector<std::string>& files);
    // kqexec.exe of the Windows build.
    static fs::path Kqexec();
    // The copy of kqexec.exe the packages carry, taken once per case so a
    // build running beside the test cannot change it half-way.
    fs::path PackedKqexec();

    // Starts the package's setup.exe with `arguments`, from `cwd` (the
    // package folder when empty) as Explorer does; `limit` is its hard time
    // limit. The handle for Wait, also kept in m_setup.
    int StartSetup(const fs::path& package, const std::vector<std::string>& arguments = {},
                   Millis limit = Millis(120000), const fs::path& cwd = {});

    // Presses the control labelled `label` of the window `match` selects;
    // false (with a failure) when uidriver cannot.
    bool Click(const std::vector<std::string>& match, const std::string& label);
    // The window `match` selects once it is on the screen; none (with a
    // failure showing the screen) when it does not come within `timeout`.
    std::optional<WindowInfo> WaitPage(const std::vector<std::string>& match, Millis timeout = Millis(30000));
    // One step through the wizard whose window `wizard` selects: waits for
    // its page showing `from`, presses `label` and waits for the page showing
    // `to`; false (with a failure) when a step fails.
    bool Step(const std::vector<std::string>& wizard, const std::string& from, const std::string& label,
              const std::string& to);
    // Waits for the last setup.exe StartSetup started to end by itself with
    // `exitCode`; on a time-out says what is still on the screen.
    void ExpectQuits(int exitCode);
    // The windows on the screen now, as uidriver lists them.
    std::string Screen();
    // The run's working folders ("kq", six digits and the random part) in
    // the user's temporary folder.
    std::vector<fs::path> WorkFolders();

    int m_setup = -1;  // the last setup.exe StartSetup started
};

}  // namespace kq::e2e
