// The shortcut step's machine: files through the system's copy functions,
// shell links and internet shortcuts through the shell's own objects, saved
// with their persist-file interface. Needs the component library initialised
// on the calling thread (the install worker does that first).
#pragma once
#include <string>

#include "steps/shortcuts.h"

namespace kq {

class CWinShortcutMachine : public ShortcutMachine {
public:
    bool IsFile(const std::string& path) override;
    bool CopyFileTo(const std::string& from, const std::string& to) override;
    void CreateFolderPath(const std::string& path) override;
    bool CreateInternetShortcut(const std::string& address, const std::string& path) override;
    bool CreateShellLink(const ShellLinkSpec& link) override;
};

}  // namespace kq
