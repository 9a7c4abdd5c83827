#include "setup_fixture.h"

#include <cstdlib>
#include <regex>
#include <system_error>

namespace kq::e2e {

bool ReplaceFirst(std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no \"" << from << "\" in the text";
        return false;
    }
    text.replace(at, from.size(), to);
    return true;
}

bool SetIniValue(std::string& text, const std::string& section, const std::string& key, const std::string& value,
                 bool addMissing) {
    const std::string eol = text.find("[" + section + "]\r\n") != std::string::npos ? "\r\n" : "\n";
    const std::string header = "[" + section + "]" + eol;
    const size_t at = text.find(header);
    if (at == std::string::npos) return false;
    const size_t end = text.find(eol + "[", at + 1);
    const std::string wanted = eol + key + "=";
    const size_t line = text.find(wanted, at);
    if (line != std::string::npos && (end == std::string::npos || line < end)) {
        const size_t start = line + wanted.size();
        text.replace(start, text.find(eol, start) - start, value);
        return true;
    }
    if (!addMissing) return false;
    text.insert(at + header.size(), key + "=" + value + eol);
    return true;
}

void SetupTest::SetUp() {
    std::string problem = SetupProblem();
    if (!problem.empty()) GTEST_SKIP() << problem;
    WineTest::SetUp();
}

fs::path SetupTest::CopyAuthoring(const std::string& name, const std::string& folder, bool withTheme) {
    fs::path authoring = Session().ScratchDir() / folder;
    fs::remove_all(authoring);
    fs::create_directories(authoring);
    fs::copy(AuthoringDir(name), authoring, fs::copy_options::recursive);
    if (withTheme)
        fs::copy(HarnessPaths::SourceDir() / "sample" / "theme", authoring / "theme", fs::copy_options::recursive);
    return authoring;
}

fs::path SetupTest::BuildInto(const fs::path& authoring, const std::string& folder, const std::string& layout,
                              const std::vector<std::string>& extra) {
    fs::path out = Session().DriveC() / folder;
    ProcessResult built = BuildPackage(authoring, out, layout, extra);
    EXPECT_EQ(built.exitCode, EXIT_SUCCESS) << built.output << built.errors;
    return built.exitCode == EXIT_SUCCESS ? out : fs::path();
}

std::string SetupTest::MissingBuildFile(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        if (!fs::exists(HarnessPaths::WinBuildDir() / file)) return file;
    }
    return "";
}

fs::path SetupTest::Kqexec() { return HarnessPaths::WinBuildDir() / "tools" / "kqexec" / "kqexec.exe"; }

fs::path SetupTest::PackedKqexec() {
    fs::path copy = Session().ScratchDir() / "kqexec.exe";
    if (!fs::exists(copy)) fs::copy_file(Kqexec(), copy);
    return copy;
}

int SetupTest::StartSetup(const fs::path& package, const std::vector<std::string>& arguments, Millis limit,
                          const fs::path& cwd) {
    m_setup = Session().Start(Session().WinPath(package / "setup.exe"), arguments, cwd.empty() ? package : cwd, limit);
    return m_setup;
}

bool SetupTest::Click(const std::vector<std::string>& match, const std::string& label) {
    std::vector<std::string> args = {"click"};
    args.insert(args.end(), match.begin(), match.end());
    args.insert(args.end(), {"--text", label});
    ProcessResult click = Session().Driver(args);
    EXPECT_EQ(click.exitCode, uidriver::kExitDone) << "cannot press \"" << label << "\": " << click.errors;
    return click.exitCode == uidriver::kExitDone;
}

std::optional<WindowInfo> SetupTest::WaitPage(const std::vector<std::string>& match, Millis timeout) {
    std::optional<WindowInfo> page = Session().WaitWindow(match, timeout);
    if (!page) {
        std::string wanted;
        for (const std::string& word : match) wanted += " " + word;
        ADD_FAILURE() << "no window" << wanted << "; on the screen:\n" << Screen();
    }
    return page;
}

bool SetupTest::Step(const std::vector<std::string>& wizard, const std::string& from, const std::string& label,
                     const std::string& to) {
    auto showing = [&wizard](const std::string& text) {
        std::vector<std::string> match = wizard;
        match.insert(match.end(), {"--contains", text});
        return match;
    };
    if (!WaitPage(showing(from), Millis(15000))) return false;
    Click(wizard, label);
    return WaitPage(showing(to)).has_value();
}

void SetupTest::ExpectQuits(int exitCode) {
    ProcessResult ended = Session().Wait(Millis(20000), m_setup);
    if (ended.timedOut) {
        ADD_FAILURE() << "setup.exe did not quit; on the screen:\n" << Screen();
        return;
    }
    EXPECT_EQ(ended.exitCode, exitCode) << ended.errors;
}

std::string SetupTest::Screen() { return Session().Driver({"list"}).output; }

std::vector<fs::path> SetupTest::WorkFolders() {
    std::vector<fs::path> found;
    static const std::regex name("kq[0-9]{6}-[0-9a-f]{16}(_[0-9]+)?");
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Session().TempDir(), error))
        if (entry.is_directory() && std::regex_match(entry.path().filename().string(), name))
            found.push_back(entry.path());
    return found;
}

}  // namespace kq::e2e
