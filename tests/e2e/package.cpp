#include "package.h"

namespace kq::e2e {

fs::path AuthoringDir(const std::string& name) {
    return HarnessPaths::SourceDir() / "tests" / "e2e" / "packages" / name;
}

ProcessResult BuildPackage(const fs::path& authoring, const fs::path& out, const std::string& layout,
                           const std::vector<std::string>& extra) {
    fs::path kqbuild = HarnessPaths::Kqbuild();
    if (kqbuild.empty() || !fs::exists(kqbuild)) {
        ProcessResult missing;
        missing.errors = "the package builder is not built (" + kqbuild.string() + ")";
        return missing;
    }
    std::vector<std::string> argv = {kqbuild.string(), "--layout", layout};
    fs::path setup = HarnessPaths::SetupExe();
    if (!setup.empty() && fs::exists(setup)) {
        argv.push_back("--setup-exe");
        argv.push_back(setup.string());
        // The runner a package carries by default comes from the build under test too.
        argv.push_back("--programs");
        argv.push_back(HarnessPaths::WinBuildDir().string());
    }
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(authoring.string());
    argv.push_back(out.string());
    return RunHost(argv, {}, Millis(60000));
}

std::string SetupProblem() {
    fs::path setup = HarnessPaths::SetupExe();
    if (setup.empty()) return "KQ_WIN_BUILD_DIR is not set: no Windows build to test";
    if (!fs::exists(setup)) return "setup.exe is not built yet (" + setup.string() + ")";
    if (!fs::exists(HarnessPaths::Uidriver())) return "uidriver.exe is not built (" + HarnessPaths::Uidriver().string() + ")";
    fs::path kqbuild = HarnessPaths::Kqbuild();
    if (kqbuild.empty() || !fs::exists(kqbuild)) return "kqbuild is not built (" + kqbuild.string() + ")";
    return std::string();
}

}  // namespace kq::e2e
