// LoadSystemLibrary loads by full path only: from the system folder, or from
// the system's side-by-side store when a manifest binds the name there; names
// with a path in them are refused.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "win/system_library_win.h"

namespace kq {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(module, path, sizeof(path));
    return Lower(path);
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = "";
    ::GetWindowsDirectoryA(folder, sizeof(folder));
    return folder;
}

std::string SystemFolder() {
    char folder[MAX_PATH] = "";
    ::GetSystemDirectoryA(folder, sizeof(folder));
    return Lower(folder) + "\\";
}

TEST(SystemLibrary, LoadsFromTheSystemFolderOnly) {
    const struct {
        const char* name;
        bool loads;
    } cases[] = {
        {"riched32.dll", true},
        {"ws2_32.dll", true},
        {"version.dll", true},
        {"no_such_library.dll", false},
        {"", false},
        {nullptr, false},
        {"..\\riched32.dll", false},                  // a relative path
        {"C:\\windows\\system32\\riched32.dll", false},  // even the right full path: names only
        {"system32/riched32.dll", false},
    };
    for (const auto& c : cases) {
        HMODULE module = LoadSystemLibrary(c.name);
        EXPECT_EQ(module != nullptr, c.loads) << (c.name ? c.name : "(null)");
        if (module != nullptr) {
            EXPECT_EQ(ModulePath(module), SystemFolder() + Lower(c.name));
        }
    }
    EXPECT_NE(SystemProc<decltype(&::GetFileVersionInfoSizeA)>("version.dll", "GetFileVersionInfoSizeA"), nullptr);
    EXPECT_EQ(SystemProcAddress("version.dll", "NoSuchProcedure"), nullptr);
    EXPECT_EQ(SystemProcAddress("no_such_library.dll", "GetFileVersionInfoSizeA"), nullptr);
}

// With setup.exe's manifest active, the common controls come from their
// assembly's folder in the side-by-side store, not from the system folder.
TEST(SystemLibrary, ManifestBoundNameComesFromTheAssembly) {
    char temp[MAX_PATH] = "";
    ASSERT_NE(::GetTempPathA(sizeof(temp), temp), 0u);
    std::string manifest = std::string(temp) + "kq_system_library_test.manifest";
    FILE* file = std::fopen(manifest.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
               "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
               "<assemblyIdentity type=\"win32\" name=\"Merrowin.Test\" version=\"1.0.0.0\" processorArchitecture=\"*\"/>\r\n"
               "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
               "version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>"
               "</dependentAssembly></dependency></assembly>\r\n",
               file);
    std::fclose(file);

    ACTCTXA request = {};
    request.cbSize = sizeof(request);
    request.lpSource = manifest.c_str();
    HANDLE context = ::CreateActCtxA(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << ::GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(context, &cookie));
    std::string bound = Lower(SystemLibraryPath("comctl32.dll"));
    std::string unbound = Lower(SystemLibraryPath("riched32.dll"));
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(context);
    ::DeleteFileA(manifest.c_str());

    // The path, not the module: a process that has the system folder's copy
    // loaded already may be handed that one again.
    EXPECT_EQ(bound.find(Lower(WindowsFolder()) + "\\winsxs\\"), 0u) << bound;
    EXPECT_EQ(bound.substr(bound.size() - 13), "\\comctl32.dll") << bound;
    EXPECT_NE(::GetFileAttributesA(bound.c_str()), INVALID_FILE_ATTRIBUTES) << bound;
    EXPECT_EQ(unbound, SystemFolder() + "riched32.dll") << "a name the manifest does not bind";
    EXPECT_EQ(Lower(SystemLibraryPath("comctl32.dll")), SystemFolder() + "comctl32.dll") << "no manifest active";
}

}  // namespace
}  // namespace kq
