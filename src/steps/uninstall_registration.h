// What setup leaves for the maintenance runner kqexec.exe: the maintenance
// program entries of the uninstall log, and the product's registration in
// the system's list of installed programs.
//
// The Uninstall key is "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\"
// followed by the product code, under the local-machine root. Its values, in
// the order written, and when each is written:
//
//   LVmode, LVurl, LVsilent   [LIVEUPDATE] "2", "3", "4" expanded; when
//                             [LIVEUPDATE] "1" is "Yes"
//   UninstallExecute          installed maintenance program; "a10" "Yes" and
//   UninstallCmdLine          the program found ("a12" as written)
//   UninstallRemoveAll        "a13" as written; "a10" "Yes"
//   -- nothing below when "a14" is "No": the key then exists but the product
//      does not show in the list of installed programs --
//   DisplayName, DisplayVersion            "a1", "a2"
//   Publisher, Comments, URLInfoAbout,     "a19", "a20", "a21", "a22",
//   URLUpdateInfo, HelpLink, HelpTelephone "a24", "a25"; each only when set
//   LastInstallationPath                   the install folder
//   ModifyPath, UninstallString            "kqexec.exe /M <code>", "/R <code>"
//   QuietUninstallString                   "kqexec.exe /R <code> /S"
//   InstallSource                          the current directory
//   NoModify, NoRemove, NoRepair           number 1; "a15", "a16", "a17" "Yes"
//   DisplayIcon                            installed "a18" icon, when found
//
// The steps themselves are platform-free: they reach files and the registry
// only through RegistrationMachine, so every condition above is tested on
// the host; uninstall_registration_win.h supplies the Windows machine.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/path_rules.h"
#include "base/status.h"
#include "record/uninstall_log.h"
#include "run/script.h"
#include "run/settings.h"

namespace kq {

// Names of the maintenance runner and the files it needs.
constexpr char kMaintenanceRunnerName[] = "kqexec.exe";
constexpr char kLanguageFileName[] = "language.lan";

// The values of the install worker that registration uses.
struct RegistrationPaths {
    std::string productCode;        // APPINFO "a3"
    std::string installDir;         // the chosen install folder, trailing backslash
    std::string workFolderName;     // the working folder's name ("kq142305-0123456789abcdef")
    std::string packedFileFolder;   // where the product files are read; trailing backslash
    std::string sourceFolder;       // the package folder; trailing backslash
    std::string maintenanceFolder;  // "<WindowsFolder>\Installer\<code>\" expanded
};

// IsUsableProductCode (base/path_rules.h) decides which product codes may be
// registered.

// One registry value to write under the Uninstall key.
struct UninstallValue {
    enum class Type { kString, kNumber };
    std::string name;
    Type type = Type::kString;
    std::string text;     // kString
    uint32_t number = 0;  // kNumber
};

// The machine as registration sees it.
class RegistrationMachine {
public:
    virtual ~RegistrationMachine();
    // True for an existing file (not a folder).
    virtual bool IsFile(const std::string& path) = 0;
    // Copies a file, replacing the target.
    virtual bool CopyFileTo(const std::string& from, const std::string& to) = 0;
    // The FileVersion text of a file's version resource (version_rule.h);
    // kNoFileVersion for a file without one or no file.
    virtual std::string FileVersion(const std::string& path) = 0;
    // Copies `folder` with everything in it into `destination`, creating
    // folders as needed, without asking anything.
    virtual bool CopyFolderInto(const std::string& folder, const std::string& destination) = 0;
    virtual std::string CurrentDirectory() = 0;
    // Opens or creates the key below the local-machine root.
    virtual bool CreateMachineKey(const std::string& subKey) = 0;
    virtual bool WriteMachineValue(const std::string& subKey, const UninstallValue& value) = 0;
};

// Where a file named by a script value is taken from: a value without '<'
// names the file (its part after the last backslash) in `plainFolder`, which
// ends in a backslash; a value with '<' is a path, expanded. "" when the file
// name is empty or no plain name.
std::string PackedFilePath(const std::string& value, const std::string& plainFolder, const ExpandFunction& expand);

// The same, with the working folder ("<TempFolder>\<name>\" expanded) as the
// folder of plain names.
std::string WorkingFolderFilePath(const std::string& value, const std::string& workFolderName,
                                  const ExpandFunction& expand);

// "<Install Dir>\<file name of `path`>" expanded: where registration puts the
// maintenance program and the display icon. "" for a path without a plain
// file name.
std::string InstalledCopyPath(const std::string& path, const ExpandFunction& expand);

// The live-update folder: [LIVEUPDATE] "5" expanded or, when that is empty,
// "<Install Dir>" expanded; always ending in a backslash (a folder written
// without one would otherwise glue the file name onto the folder's name).
std::string LiveUpdateFolder(const Script& script, const ExpandFunction& expand);

// Before any file is copied: when the maintenance program [APPINFO] "a11"
// is in the packed-file folder, copies it into the maintenance folder and
// logs RUN3RD (its file name) and RUN3RDCMD ("a12" expanded); logs REMOVEALL
// "Yes" when "a13" is exactly "No". True when the program was copied.
bool PrepareMaintenanceProgram(const Script& script, const ExpandFunction& expand, const RegistrationPaths& paths,
                               RegistrationMachine& machine, UninstallLog& log);

// After every other step: copies kqexec.exe to the Windows folder and the
// language file to the maintenance folder, creates the Uninstall key and
// writes its values (with the live-update files, the theme copy, the
// maintenance program and the display icon, each logged as FILE where it is
// a file setup placed). The runner, the maintenance program and the icon are
// taken from the working folder or, for a disk image, the packed files
// (PackageSupportFile in file_list.h). Fails, writing nothing to the registry, for a
// product code that IsUsableProductCode refuses (values would land in the
// list of all products, which the runner would then delete), and when the
// Uninstall key cannot be created.
Status RegisterForUninstall(const Script& script, const ExpandFunction& expand, const RegistrationPaths& paths,
                            RegistrationMachine& machine, UninstallLog& log);

}  // namespace kq
