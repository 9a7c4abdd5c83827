// The import tables of the programs setup ships name only DLLs that every
// supported Windows protects as known DLLs (pe_imports.h); any other DLL
// would be looked up beside the program first, in the download folder.
// No Wine needed: the tables are read from the files.
#include <gtest/gtest.h>

#include "pe_imports.h"
#include "wine_session.h"

namespace kq::e2e {
namespace {

// The names of `imports` that are not allowed, one a line.
std::string Unprotected(const PeImports& imports) {
    std::string found;
    for (const std::string& name : imports.imported) {
        bool allowed = false;
        for (const std::string& known : AllowedImports()) allowed = allowed || Lower(name) == known;
        if (!allowed) found += name + "\n";
    }
    // The compiler's delay-load helper finds its DLLs by bare name.
    for (const std::string& name : imports.delayed) found += name + " (delay-loaded)\n";
    return found;
}

TEST(ImportTable, ShippedProgramsImportOnlyKnownDlls) {
    fs::path build = HarnessPaths::WinBuildDir();
    if (build.empty()) GTEST_SKIP() << "no Windows build configured (KQ_WIN_BUILD_DIR)";
    for (const char* program : {"setup.exe", "tools/kqexec/kqexec.exe"}) {
        fs::path path = build / program;
        ASSERT_TRUE(fs::exists(path)) << "not built: " << path;
        PeImports imports = ReadPeImports(ReadFile(path));
        ASSERT_EQ(imports.problem, "") << path;
        EXPECT_FALSE(imports.imported.empty()) << path;
        EXPECT_EQ(Unprotected(imports), "") << path;
    }
    // The check does find a DLL that is not allowed: the Win32 tests, which
    // are not shipped, import the common controls directly.
    fs::path tests = build / "tests" / "win" / "win_tests.exe";
    if (fs::exists(tests)) {
        EXPECT_NE(Lower(Unprotected(ReadPeImports(ReadFile(tests)))).find("comctl32"), std::string::npos);
    }
}

// Damaged or foreign files give a reason, never a crash or a made-up list.
TEST(ImportTable, DamagedFilesAreReported) {
    fs::path setup = HarnessPaths::SetupExe();
    std::string whole = fs::exists(setup) ? ReadFile(setup) : std::string();
    std::string badOffset = "MZ" + std::string(0x3A, '\0') + std::string("\xF0\xFF\xFF\x7F", 4);
    const struct {
        const char* label;
        std::string bytes;
        const char* problem;
    } cases[] = {
        {"empty", "", "not a program (no MZ header)"},
        {"text", std::string(100, 'x'), "not a program (no MZ header)"},
        {"PE offset past the end", badOffset, "no PE header"},
        {"headers only", whole.substr(0, 4096), "import table cut short or outside the file"},
    };
    for (const auto& c : cases) {
        if (std::string(c.label) == "headers only" && whole.empty()) continue;
        PeImports imports = ReadPeImports(c.bytes);
        EXPECT_EQ(imports.problem, c.problem) << c.label;
    }
}

// The text scan finds DLL names however they are written and only whole
// names ending in ".dll".
TEST(ImportTable, DllNamesInText) {
    std::string text;
    for (const char* piece :
         {"RICHED32.DLL", "x comctl32.dll ", "ws2_32.dll", ".dll", "notes.dllx", "libgcc_s_dw2-1.dll", "ws2_32.dll"})
        text += std::string(piece) + '\0';
    std::vector<std::string> expected = {"comctl32.dll", "libgcc_s_dw2-1.dll", "riched32.dll", "ws2_32.dll"};
    EXPECT_EQ(DllNamesIn(text), expected);
}

}  // namespace
}  // namespace kq::e2e
