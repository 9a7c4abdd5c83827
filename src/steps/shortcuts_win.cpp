#include "steps/shortcuts_win.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
// After the shell's headers, whose interface macros it uses.
#include <intshcut.h>
#include <isguids.h>

#include <cstdio>

#include "base/file_win.h"
#include "base/no_copy.h"
#include "win/directories_win.h"

namespace kq {
namespace {

// Holds one interface pointer and releases it.
template <typename T>
class CComRef : private NoCopy {
public:
    CComRef() = default;
    ~CComRef() {
        if (m_p != nullptr) m_p->Release();
    }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    void** Out() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

// The path as the persist-file interface takes it: wide, from the system
// code page, at most MAX_PATH characters with its terminator. False when it
// does not fit; a cut path would name another file.
bool ToWidePath(const std::string& path, WCHAR (&wide)[MAX_PATH]) {
    if (path.empty() || path.size() >= MAX_PATH) return false;
    return ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) > 0;
}

bool SaveAs(IUnknown* object, const std::string& path) {
    WCHAR wide[MAX_PATH];
    if (!ToWidePath(path, wide)) return false;
    CComRef<IPersistFile> file;
    if (FAILED(object->QueryInterface(IID_IPersistFile, file.Out()))) return false;
    // Remembered as the object's current file, as the shell does when it
    // saves a shortcut it made.
    return SUCCEEDED(file->Save(wide, TRUE));
}

// The internet-shortcut file as the shell writes it; used where the
// shell's object is missing (an old shell without the browser installed).
bool WriteUrlFile(const std::string& address, const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    bool written = std::fprintf(out, "[InternetShortcut]\r\nURL=%s\r\n", address.c_str()) > 0;
    return std::fclose(out) == 0 && written;
}


}  // namespace

bool CWinShortcutMachine::IsFile(const std::string& path) {
    return FileExists(path);
}

bool CWinShortcutMachine::CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileOver(from, to);
}

void CWinShortcutMachine::CreateFolderPath(const std::string& path) {
    CreateDirectoryPath(path);
}

bool CWinShortcutMachine::CreateInternetShortcut(const std::string& address, const std::string& path) {
    CComRef<IUniformResourceLocatorA> url;
    if (FAILED(::CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER, IID_IUniformResourceLocatorA,
                                  url.Out())))
        return WriteUrlFile(address, path);
    if (FAILED(url->SetURL(address.c_str(), 0))) return false;
    return SaveAs(url.Get(), path);
}

bool CWinShortcutMachine::CreateShellLink(const ShellLinkSpec& link) {
    CComRef<IShellLinkA> shell;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, shell.Out())))
        return false;
    // The target need not exist yet (a web address, a file of a later
    // step), so the result of setting it is not a reason to stop.
    shell->SetPath(link.target.c_str());
    if (!link.iconPath.empty()) shell->SetIconLocation(link.iconPath.c_str(), link.iconIndex);
    if (!link.arguments.empty()) shell->SetArguments(link.arguments.c_str());
    shell->SetDescription(link.description.c_str());
    shell->SetShowCmd(static_cast<int>(link.show));
    shell->SetWorkingDirectory(link.workingFolder.c_str());
    return SaveAs(shell.Get(), link.linkPath);
}

}  // namespace kq
