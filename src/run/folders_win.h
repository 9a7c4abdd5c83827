// Finding the machine's and the package's folders with the system's queries.
// The rules they follow (trailing backslashes, the shell-folder table, the
// theme file names, the working folder name) live in folders.h.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/no_copy.h"
#include "run/folders.h"

namespace kq {

// The Windows folder and its volume, the temporary folder, the package folder
// (the current directory) and the system folder. Each query uses a
// 150-character buffer and asks again with the size the system names when a
// path is longer, so a long path is read whole instead of as garbage.
void DiscoverBaseFolders(FolderValues& out);

// The shell folders of the all-users profile or of the current user, the
// program-files and common-files folders from the registry (empty when the
// key cannot be opened with full access, which is also how a missing right
// to change the machine shows), and the user name. A shell folder the system
// does not provide is empty.
void DiscoverUserFolders(bool allUsers, FolderValues& out);

// When `themeFolder` does not exist yet: creates it and moves every "^!*.*"
// entry of `sourceFolder` into it under ThemeTargetPath. Nothing is moved
// when the theme folder exists; failures are ignored (read-only media).
void PrepareThemeFolder(const std::string& sourceFolder, const std::string& themeFolder);

// The security a new working folder is made with: on the NT family a DACL
// allowing full access to the user running setup, SYSTEM and the
// Administrators alone, inherited by files and folders made in it and
// protected from the temporary folder's own entries. Windows 9x keeps no
// permissions; there the folder gets the default. The functions are looked
// up at run time, as 9x lacks them and NT 4 has no protected DACLs.
class CWorkFolderSecurity : private NoCopy {
public:
    CWorkFolderSecurity();
    ~CWorkFolderSecurity();

    // False on the NT family when the DACL could not be made: a folder
    // without it would be open to the other users.
    bool Ready() const { return m_ready; }
    // What CreateDirectory is given; null on Windows 9x.
    SECURITY_ATTRIBUTES* Attributes() { return m_acl.empty() ? nullptr : &m_attributes; }

private:
    bool Build();

    bool m_ready = false;
    decltype(&::FreeSid) m_freeSid = nullptr;
    std::vector<BYTE> m_user;
    PSID m_wellKnown[2] = {nullptr, nullptr};
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_descriptor = {};
    SECURITY_ATTRIBUTES m_attributes = {};
};

// Creates a new, empty working folder in `tempFolder` (trailing backslash)
// named for the current local time and a random number, with a suffix when
// that name is taken, and returns its name ("kq142305-0123456789abcdef");
// empty when none could be created. It is made with CWorkFolderSecurity:
// other users of the machine can neither put files into it nor change those
// the run makes.
// The folder's lock (WorkFolderLockName) is made first and held until the
// process ends.
std::string CreateWorkFolderNow(const std::string& tempFolder);

// Deletes the working folders in `tempFolder` (trailing backslash) whose run
// no longer lives: no lock beside them, or one that nobody holds open.
void RemoveAbandonedWorkFolders(const std::string& tempFolder);

// Creates the empty file `path`, which must not exist yet: Taken when
// anything of that name is there already.
NewFolderResult CreateNewFile(const std::string& path);

// "RegisteredOrganization" of the local machine's Windows NT version key,
// opened with full access; empty when that fails or the value is missing.
std::string ReadCompanyName();


// True when the package keeps its files in "DiskImage1" instead of a cabinet
// (with or without the source folder's trailing backslash).
bool HasDiskImage(const std::string& sourceFolder);

}  // namespace kq
