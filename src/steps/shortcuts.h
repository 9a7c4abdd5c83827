// The product's shortcuts: shell links (".lnk") for files and programs and
// internet shortcuts (".url") for web addresses, in the Start menu, its
// Programs and StartUp folders, on the desktop, in Favorites or in the Quick
// Launch bar.
//
// Section FOLDERKQ of the setup script: "TOTAL" items (short value), item i
// with ten columns of ordinary values:
//   A  location: the place in the authoring tool's tree, a special-folder
//      name, optional subfolders and the shortcut's own name last
//      ("Start Menu\Programs Menu\Tools\Editor"); placeholders allowed
//   B  the shortcut's file name without extension; placeholders allowed
//   C  target: a file (placeholders allowed) or a web address
//   D  comment text; placeholders allowed
//   E  "Maximized" or "Minimized" (exactly); anything else is normal
//   F  start-in folder; placeholders allowed
//   G  arguments; placeholders allowed
//   H  icon file shipped in the package; empty means the target's icon
//   I  icon index, decimal
//   J  feature; empty means always
//
// Special-folder names begin the location, one of (longest first):
//   "Start Menu\Programs Menu"  the Programs folder of the Start menu
//   "Start Menu\StartUp"        the StartUp folder
//   "Start Menu"                the Start menu
//   "Desktop"                   the desktop
//   "Favorites"                 Favorites
//   "Active Desktop"            the Quick Launch bar, "Microsoft\Internet
//                               Explorer\Quick Launch" in the application
//                               data folder
// They are recognised only as the leading components of the location. A
// subfolder or shortcut further down whose name merely contains one of
// them ("Desktop Tools") keeps its name, instead of having a folder path
// pasted into the middle of the path.
//
// Subfolders below the Programs, StartUp, Start menu and desktop folders are
// created and logged as "DIR"; the special folders themselves never are (the
// uninstaller removes an empty "DIR", and the user's StartUp folder is not
// setup's to remove), nor anything under Favorites or Quick Launch.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "record/uninstall_log.h"
#include "run/folders.h"
#include "run/script.h"
#include "run/settings.h"

namespace kq {

constexpr char kShortcutSection[] = "FOLDERKQ";

// A path handed to the shell is at most this long; a longer one would be
// cut by the shell's fixed buffers and name another file, so such a
// shortcut is not made.
constexpr size_t kMaxShortcutPath = 259;
// Comment and arguments are cut to this many characters, which every
// version of the shell keeps whole.
constexpr size_t kMaxShortcutText = 259;

struct ShortcutItem {
    std::string location;       // A
    std::string name;           // B
    std::string target;         // C
    std::string description;    // D
    std::string window;         // E
    std::string workingFolder;  // F
    std::string arguments;      // G
    std::string iconFile;       // H
    std::string iconIndex;      // I
    std::string feature;        // J
};

// Every item of FOLDERKQ, in order; "TOTAL" of 0, missing or not a number
// gives none, and missing keys read as "".
std::vector<ShortcutItem> LoadShortcutItems(const Script& script);

enum class ShortcutPlace { kNone, kPrograms, kStartUp, kStartMenu, kDesktop, kFavorites, kQuickLaunch };

// Where a location puts its shortcut.
struct ShortcutLocation {
    ShortcutPlace place = ShortcutPlace::kNone;
    // The folder the shortcut goes into, expanded, ending with a backslash;
    // "" when the location is unusable (no special folder first, no
    // shortcut name after it, a special folder this system lacks, or a
    // result that is no absolute path).
    std::string folder;
    // True when `folder` lies below the special folder and setup creates it
    // (and logs it as "DIR").
    bool createFolder = false;
};

ShortcutLocation ResolveShortcutLocation(const std::string& location, const FolderValues& folders,
                                         const ExpandFunction& expand);

// The window state a shell link stores: the shell's show commands for a
// normal, maximized and minimized (not activated) window.
enum class ShortcutShow : int { kNormal = 1, kMaximized = 3, kMinimized = 7 };
ShortcutShow ShortcutShowFromText(const std::string& window);

// True for a target that is a web address: it begins with "http" or
// "HTTP" and a scheme separator ("http://", "HTTPS://"). Only the start
// counts: a program such as "C:\httpd\httpd.exe" is a file, not a page.
bool IsWebShortcutTarget(const std::string& target);

// Everything a shell link is made of.
struct ShellLinkSpec {
    std::string linkPath;
    std::string target;
    std::string arguments;    // "" for none
    std::string description;
    std::string workingFolder;
    std::string iconPath;     // "" for the target's own icon
    int iconIndex = 0;
    ShortcutShow show = ShortcutShow::kNormal;
};

// The machine as the shortcut step sees it.
class ShortcutMachine {
public:
    virtual ~ShortcutMachine();
    // True for an existing file (not a folder).
    virtual bool IsFile(const std::string& path) = 0;
    // Copies a file, replacing the target.
    virtual bool CopyFileTo(const std::string& from, const std::string& to) = 0;
    // Creates a folder with its missing parents; the result is not checked
    // (a folder that cannot be made shows as a failed save).
    virtual void CreateFolderPath(const std::string& path) = 0;
    // Saves an internet shortcut to `address` at `path`.
    virtual bool CreateInternetShortcut(const std::string& address, const std::string& path) = 0;
    // Makes and saves a shell link.
    virtual bool CreateShellLink(const ShellLinkSpec& link) = 0;
};

// The run values the shortcut step reads.
struct ShortcutContext {
    FolderValues folders;      // the special folders among them
    std::string installDir;    // the chosen install folder, trailing backslash
    std::string packedFolder;  // where packed files are read; trailing backslash
    // True when the named feature is known and not to be installed; may be
    // empty (every feature is installed).
    std::function<bool(const std::string&)> featureDeselected;
};

// Worker step "Creating Shortcuts": every FOLDERKQ item in order. An item of
// a deselected feature, or one whose location, name or paths are unusable,
// is skipped. For the others: the shortcut folder is created and logged
// ("DIR") when it is a subfolder of the Programs, StartUp, Start menu or
// desktop folder; a web target gets an internet shortcut
// "<folder><name>.url" ("SHORTCUT" when saved); every item gets a shell link
// "<folder><name>.lnk" ("SHORTCUT" when saved), whose icon, when the item
// names one that is in the packed-file folder, is first copied into the
// install folder ("FILE"). Nothing is reported: a shortcut that cannot be
// made is simply missing.
void CreateShortcuts(const Script& script, const ExpandFunction& expand, const ShortcutContext& context,
                     ShortcutMachine& machine, UninstallLog& log);

}  // namespace kq
