// lnkprobe: prints what the shell reads from a shell link (.lnk), one
// "name=value" line each, for the end-to-end tests:
//
//   lnkprobe PATH.lnk
//   target=...  arguments=...  description=...  workdir=...
//   icon=PATH,INDEX  show=N
//
// The window state comes from the file's header (the 32-bit number at
// offset 60 of the 76-byte header): Wine's shell writes it but does not
// load it back. Exit codes: 0 read, 1 not loadable, 2 bad usage.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

namespace {

int ShowCommandFromHeader(const char* path) {
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) return -1;
    unsigned char header[76];
    size_t got = std::fread(header, 1, sizeof(header), in);
    std::fclose(in);
    if (got != sizeof(header)) return -1;
    return header[60] | header[61] << 8 | header[62] << 16 | header[63] << 24;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: lnkprobe PATH.lnk\n", stderr);
        return 2;
    }
    if (FAILED(::CoInitialize(nullptr))) return 1;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    int result = 1;
    if (::MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH) > 0 &&
        SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[1024];
        text[0] = '\0';
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        std::printf("target=%s\n", text);
        text[0] = '\0';
        link->GetArguments(text, sizeof(text));
        std::printf("arguments=%s\n", text);
        text[0] = '\0';
        link->GetDescription(text, sizeof(text));
        std::printf("description=%s\n", text);
        text[0] = '\0';
        link->GetWorkingDirectory(text, MAX_PATH);
        std::printf("workdir=%s\n", text);
        text[0] = '\0';
        int index = 0;
        link->GetIconLocation(text, MAX_PATH, &index);
        std::printf("icon=%s,%d\n", text, index);
        std::printf("show=%d\n", ShowCommandFromHeader(argv[1]));
        result = 0;
    }
    if (file != nullptr) file->Release();
    if (link != nullptr) link->Release();
    ::CoUninitialize();
    return result;
}
