#include <windows.h>
#include <aclapi.h>

#include <string>

#include <gtest/gtest.h>

#include "base/file.h"
#include "base/file_win.h"
#include "record/earlier_registration_win.h"
#include "record/record_machine_win.h"
#include "test_files_win.h"
#include "win/directories_win.h"
#include "win/family_calls_win.h"

namespace kq {
namespace {

// A DACL of one entry for Everyone with `mask` and `inheritance`, protected
// from what the folder above passes down.
bool SetOnlyEveryone(const std::string& path, DWORD mask, DWORD inheritance) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;
    EXPLICIT_ACCESSA access = {};
    access.grfAccessPermissions = mask;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = inheritance;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPSTR>(everyone);
    PACL acl = nullptr;
    bool ok = ::SetEntriesInAclA(1, &access, nullptr, &acl) == ERROR_SUCCESS;
    std::string name = path;
    ok = ok && ::SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT,
                                       DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, acl, nullptr) == ERROR_SUCCESS;
    if (acl != nullptr) ::LocalFree(acl);
    ::FreeSid(everyone);
    return ok;
}

// The rights the file's DACL allows Everyone, from its allow entries.
DWORD EveryoneRights(const std::string& path) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return 0;
    DWORD rights = 0;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::string name = path;
    if (::GetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) == ERROR_SUCCESS) {
        for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
            void* ace = nullptr;
            if (!::GetAce(dacl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
            ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            if (::EqualSid(&allowed->SidStart, everyone)) rights |= allowed->Mask;
        }
        ::LocalFree(descriptor);
    }
    ::FreeSid(everyone);
    return rights;
}

// A file that everyone may only read where it lies gets, once moved into
// place, what its new folder passes down (everyone may write there), as a
// copy would.
TEST(MoveIntoPlace, MovedFileInheritsFromItsNewFolder) {
    char temp[MAX_PATH];
    ASSERT_GT(::GetTempPathA(sizeof(temp), temp), 0u);
    const std::string base = std::string(temp) + "kq_move_" + std::to_string(::GetCurrentProcessId()) + "\\";
    const std::string work = base + "work\\";
    const std::string dest = base + "dest\\";
    ASSERT_TRUE(::CreateDirectoryA(base.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(work.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(dest.c_str(), nullptr));
    const std::string from = work + "F0_app.exe";
    const std::string to = dest + "app.exe";
    HANDLE file = ::CreateFileA(from.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);

    ASSERT_TRUE(SetOnlyEveryone(dest, GENERIC_ALL, SUB_CONTAINERS_AND_OBJECTS_INHERIT));
    ASSERT_TRUE(SetOnlyEveryone(from, FILE_GENERIC_READ, NO_INHERITANCE));
    // Read-only for everyone where it lies; the new folder lets everyone write.
    ASSERT_EQ(EveryoneRights(from) & FILE_WRITE_DATA, 0u);

    EXPECT_TRUE(MoveIntoPlace(from, to));
    EXPECT_EQ(::GetFileAttributesA(from.c_str()), INVALID_FILE_ATTRIBUTES) << "the file was copied, not moved";
    EXPECT_EQ(EveryoneRights(to) & FILE_WRITE_DATA, DWORD(FILE_WRITE_DATA))
        << "the moved file kept the permissions of the folder it came from";

    ::DeleteFileA(to.c_str());
    ::RemoveDirectoryA(dest.c_str());
    ::RemoveDirectoryA(work.c_str());
    ::RemoveDirectoryA(base.c_str());
}

// The older families as the file calls meet them: the 9x family has no
// MoveFileExA and no permissions; NT 4 has both, but nothing that makes a
// file inherit from its folder.
class OlderFamily : public FamilyFileCalls {
public:
    explicit OlderFamily(bool nt) : m_nt(nt) {}
    BOOL MoveFileEx(const char* from, const char* to, DWORD flags) override {
        if (m_nt) return FamilyFileCalls::MoveFileEx(from, to, flags);
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    SetNamedSecurityInfoFn InheritingSecuritySetter() override { return nullptr; }
    bool HasPermissions() override { return m_nt; }

private:
    bool m_nt;
};

std::string Content(const std::string& path) {
    std::string text;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    ::CloseHandle(file);
    return text;
}

bool Write(const std::string& path, const std::string& text) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
    ::CloseHandle(file);
    return ok && written == text.size();
}

// On each older family, every move that replaces a file ends with the file
// in place: a staged file renamed over its destination, an earlier log set
// aside and restored, a replaced file's copy put back.
TEST(FamilyFileCalls, OlderFamiliesEndWithTheFileInPlace) {
    char temp[MAX_PATH];
    ASSERT_GT(::GetTempPathA(sizeof(temp), temp), 0u);
    const std::string folder = std::string(temp) + "kq_family_" + std::to_string(::GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string file = folder + "shared.dat";
    const std::string staged = folder + "kq1.tmp";

    for (bool nt : {false, true}) {
        SCOPED_TRACE(nt ? "NT 4" : "9x");
        OlderFamily family(nt);
        struct InUse {
            explicit InUse(FamilyFileCalls* calls) { ReplaceFileCalls(calls); }
            ~InUse() { ReplaceFileCalls(nullptr); }
        } inUse(&family);

        ASSERT_TRUE(Write(file, "installed"));
        ASSERT_TRUE(Write(staged, "packed"));
        EXPECT_TRUE(MoveIntoPlace(staged, file));
        EXPECT_EQ(Content(file), "packed");
        EXPECT_EQ(::GetFileAttributesA(staged.c_str()), INVALID_FILE_ATTRIBUTES);

        CEarlierRegistration earlier;
        EXPECT_TRUE(earlier.SetAside({file}));
        EXPECT_EQ(Content(CEarlierRegistration::AsideName(file)), "packed");
        ASSERT_TRUE(Write(file, "this run's"));
        earlier.Restore();
        EXPECT_EQ(Content(file), "packed");

        CWinRecordMachine machine;
        // The copy is named while it is still empty: a kill while it is
        // written leaves nothing the record does not name.
        std::string named = "not told", whenNamed;
        const std::string copy = machine.SetAside(file, [&](const std::string& name) {
            named = name;
            whenNamed = Content(name);
        });
        ASSERT_FALSE(copy.empty());
        EXPECT_EQ(named, copy);
        EXPECT_EQ(whenNamed, "");
        EXPECT_EQ(Content(copy), "packed");
        ASSERT_TRUE(Write(file, "replaced"));
        EXPECT_TRUE(machine.PutBack(copy, file));
        EXPECT_EQ(Content(file), "packed");
        EXPECT_EQ(::GetFileAttributesA(copy.c_str()), INVALID_FILE_ATTRIBUTES);

        ::DeleteFileA(file.c_str());
    }
    ::RemoveDirectoryA(folder.c_str());
}

// One file is recognised under any spelling of its path; another file, or
// a name with no file, is not it.
TEST(SameExistingFile, ByVolumeAndFileIndex) {
    std::string folder;
    MakeFreshTempFolder("kq_same_", &folder);
    WriteText(folder + "a.dat", "a");
    WriteText(folder + "b.dat", "a");
    std::string upper = folder;
    for (char& c : upper) c = char(::toupper(static_cast<unsigned char>(c)));
    struct Row {
        std::string other;
        bool same;
    };
    const Row rows[] = {
        {folder + "a.dat", true},  {upper + "A.DAT", true},         {folder + ".\\a.dat", true},
        {folder + "b.dat", false}, {folder + "missing.dat", false},
    };
    for (const Row& row : rows) EXPECT_EQ(SameExistingFile(folder + "a.dat", row.other), row.same) << row.other;
    RemoveTree(folder);
}

// A scratch file reads back what was written to it and is gone once
// closed; a folder that is not there gives none.
TEST(ScratchFile, ReadsBackAndGoesWhenClosed) {
    std::string folder;
    MakeFreshTempFolder("kqscratch", &folder);
    ScratchFile file = OpenScratchFile(folder);
    ASSERT_NE(file, nullptr);
    ASSERT_GE(std::fputs("the lines", file.get()), 0);
    ASSERT_EQ(std::fseek(file.get(), 4, SEEK_SET), 0);
    char read[16] = "";
    EXPECT_EQ(std::fread(read, 1, sizeof(read), file.get()), 5u);
    EXPECT_EQ(std::string(read, 5), "lines");
    file.reset();
    EXPECT_TRUE(::RemoveDirectoryA(folder.c_str())) << "left in " << folder;
    EXPECT_EQ(OpenScratchFile(folder + "missing\\"), nullptr);
}

}  // namespace
}  // namespace kq
