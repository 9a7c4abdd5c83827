#include "package_programs.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/ini_text.h"
#include "base/text.h"

namespace fs = std::filesystem;

namespace kq {
namespace {

constexpr char kRunner[] = "kqexec.exe";

bool RunnerPacked(const BuildOptions& options) {
    for (const std::string& s : options.support) {
        if (EqualsIgnoreCase(fs::path(s).filename().string(), kRunner)) return true;
    }
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(fs::path(options.authoringDir) / "support", ec)) {
        if (EqualsIgnoreCase(item.path().filename().string(), kRunner)) return true;
    }
    return false;
}

bool RegistersForRemoval(const std::string& authoringDir) {
    std::ifstream in(fs::path(authoringDir) / "setup.inf", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return IniText(text.str()).Read("APPINFO", "a14", kProfileValueSize) != "No";
}

}  // namespace

std::string ProgramsBesideBuilder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    // <build>/host/tools/builder/kqbuild -> <build>/win
    return (self.parent_path().parent_path().parent_path().parent_path() / "win").string();
}

Status ChoosePrograms(const std::string& programsDir, bool withoutPrograms, BuildOptions* options) {
    std::error_code ec;
    const fs::path dir(programsDir);
    if (!withoutPrograms && options->setupExe.empty() &&
        !fs::exists(fs::path(options->authoringDir) / "setup.exe", ec)) {
        const fs::path setup = dir / "setup.exe";
        if (!fs::is_regular_file(setup, ec))
            return Status::Error("no setup.exe in \"" + setup.parent_path().string() +
                                 "\": build the product (build/win) or name one with --setup-exe");
        options->setupExe = setup.string();
    }
    if (!withoutPrograms && !RunnerPacked(*options)) {
        const fs::path runner = dir / "tools" / "kqexec" / kRunner;
        if (!fs::is_regular_file(runner, ec))
            return Status::Error("no kqexec.exe at \"" + runner.string() +
                                 "\": build the product or give one with --support");
        options->support.push_back(runner.string());
    }
    if (!RunnerPacked(*options) && RegistersForRemoval(options->authoringDir))
        return Status::Error(
            "setup.inf registers the product for removal (APPINFO a14 is not No) but the package "
            "carries no kqexec.exe to remove it");
    return Status::Ok();
}

}  // namespace kq
