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

// Both programs ask for administrator rights where the system has such a
// request (Vista and later; their changes are machine-wide), in the one
// form XP and 2003 also read, and name the systems they are made for; the
// runner carries the version by which setup keeps a newer one installed.
TEST(ImportTable, ShippedProgramsCarryTheirManifests) {
    fs::path build = HarnessPaths::WinBuildDir();
    if (build.empty()) GTEST_SKIP() << "no Windows build configured (KQ_WIN_BUILD_DIR)";
    const char* const wanted[] = {
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v2\">",
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
        "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
        "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",  // Vista
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
        "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
    };
    for (const char* program : {"setup.exe", "tools/kqexec/kqexec.exe"}) {
        PeImports read = ReadPeImports(ReadFile(build / program));
        ASSERT_EQ(read.problem, "") << program;
        const std::string& manifest = read.resources[kManifestResource];
        for (const char* element : wanted) EXPECT_NE(manifest.find(element), std::string::npos) << program << ": " << element;
    }
    // Setup's pages follow the system's pixels per inch (not each monitor's).
    EXPECT_NE(ReadPeImports(ReadFile(build / "setup.exe"))
                  .resources[kManifestResource]
                  .find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
              std::string::npos);
    const std::string version = ReadPeImports(ReadFile(build / "tools/kqexec/kqexec.exe")).resources[kVersionResource];
    const std::string fileVersion("F\0i\0l\0e\0V\0e\0r\0s\0i\0o\0n\0\0\0", 24);  // the key, in UTF-16
    EXPECT_NE(version.find(fileVersion), std::string::npos) << "kqexec.exe has no FileVersion";
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
