// The machine's and the package's folders, found once at start-up, and the
// pure rules behind them. Discovery itself is Win32 (folders_win.h).
//
// Package folder (the "source folder"): the current directory at start-up,
// with a trailing backslash. Its "theme\" subfolder holds the page layouts;
// files named "^!..." beside setup.exe are theme files not yet moved there.
// The working folder lives in the temporary folder and is named "kq" plus
// the local time as HHMMSS and a random part: on a shared machine another
// user may write into the temporary folder, and a name known in advance
// could be prepared for the run. When the name is taken all the same a
// suffix makes a new one, because a folder this run did not create empty
// may hold files someone else put there.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/text.h"

namespace kq {

struct FolderValues {
    std::string windows;      // as the system returns it, no trailing backslash
    std::string volume;       // the first two characters of `windows` ("C:")
    std::string temp;         // trailing backslash
    std::string source;       // the package folder; trailing backslash
    std::string system;       // trailing backslash
    std::string programFiles; // as stored in the registry; empty when unreadable
    std::string commonFiles;  // as stored in the registry; empty when unreadable
    // Shell folders, without trailing backslash; empty when the system has none.
    std::string favorites;
    std::string sharedDocuments;
    std::string pictures;
    std::string programsMenu;
    std::string music;
    std::string sendTo;
    std::string fonts;
    std::string appData;
    std::string personal;
    std::string startupMenu;
    std::string startMenu;
    std::string desktop;
    std::string userName;  // the system's user name (not a folder)
};

// One shell folder: the member it fills and the shell's special-folder ids
// for the all-users profile and for the current user.
struct ShellFolderRow {
    std::string FolderValues::*member;
    int allUsersId;
    int currentUserId;
};

// The shell folders in the order they are queried.
extern const ShellFolderRow kShellFolders[12];

// The special-folder id of `row` for the chosen profile.
inline int ShellFolderId(const ShellFolderRow& row, bool allUsers) {
    return allUsers ? row.allUsersId : row.currentUserId;
}

// The first two characters of the Windows folder: its drive ("C:").
std::string VolumeOf(const std::string& windowsFolder);

// "kq" followed by the time as two-digit hours, minutes and seconds, a dash
// and `secret` as 16 lower-case hex digits (kq142305-0123456789abcdef).
// Values outside a clock's range are clamped into it.
std::string WorkFolderName(int hour, int minute, int second, uint64_t secret);

// True for a name WorkFolderName (or MakeNewFolderName after it) makes:
// "kq142305-0123456789abcdef", "kq142305-0123456789abcdef_2".
bool IsWorkFolderName(const std::string& name);

// The file beside a working folder that says its run lives: made before the
// folder, held open by the run and deleted by the system when the run ends,
// however it ends.
inline std::string WorkFolderLockName(const std::string& folderName) {
    return folderName + ".lck";
}

// The file beside a working folder a preview kept for its author to look
// into: no later run takes that folder for an abandoned one.
inline std::string KeptWorkFolderName(const std::string& folderName) {
    return folderName + ".kept";
}

// Outcome of one attempt to create a folder or file that must be new.
enum class NewFolderResult { Created, Taken, Failed };

// What the run says when its working folder holds a file under a name the
// run was about to create: someone else put it there, and it is not used.
std::string PlantedFileMessage(const std::string& path);

// The most names MakeNewFolderName tries before giving up.
constexpr int kMaxWorkFolderAttempts = 1000;

// Creates a folder that did not exist, trying `baseName`, then "<base>_1",
// "<base>_2"... with `create`, which must report Taken for any existing
// entry of that name. Returns the name actually created; empty when `create`
// fails for another reason or every name is taken.
std::string MakeNewFolderName(const std::string& baseName,
                              const std::function<NewFolderResult(const std::string&)>& create);

// Where a "^!" file of the package folder goes in the theme folder: the theme
// folder followed by the file's name, with every "^!" of that whole path
// removed (one left-to-right pass, so "^^!!" leaves "^!").
std::string ThemeTargetPath(const std::string& themeFolder, const std::string& fileName);

}  // namespace kq
