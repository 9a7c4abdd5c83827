#include "steps/version_rule_win.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "steps/version_rule.h"
#include "win/system_library_win.h"

namespace kq {

std::string FileVersionText(const char* path) {
    // VERSION.DLL is not protected as a known DLL everywhere, so it is bound
    // at run time from the system folder instead of through the import table.
    static const auto infoSize =
        SystemProc<decltype(&::GetFileVersionInfoSizeA)>("version.dll", "GetFileVersionInfoSizeA");
    static const auto info = SystemProc<decltype(&::GetFileVersionInfoA)>("version.dll", "GetFileVersionInfoA");
    static const auto queryValue = SystemProc<decltype(&::VerQueryValueA)>("version.dll", "VerQueryValueA");
    if (infoSize == nullptr || info == nullptr || queryValue == nullptr) return kNoFileVersion;

    DWORD ignored = 0;
    DWORD size = infoSize(path, &ignored);
    if (size == 0) return kNoFileVersion;
    std::vector<char> block(size);
    if (!info(path, 0, size, block.data())) return kNoFileVersion;

    char query[64];
    void* translation = nullptr;
    UINT translationSize = 0;
    if (queryValue(block.data(), "\\VarFileInfo\\Translation", &translation, &translationSize) &&
        translationSize == 4) {
        const WORD* pair = static_cast<const WORD*>(translation);
        std::snprintf(query, sizeof(query), "\\StringFileInfo\\%02X%02X%02X%02X\\FileVersion",
                      HIBYTE(pair[0]), LOBYTE(pair[0]), HIBYTE(pair[1]), LOBYTE(pair[1]));
    } else {
        std::snprintf(query, sizeof(query), "\\StringFileInfo\\%04X04B0\\FileVersion",
                      unsigned(GetUserDefaultLangID()));
    }

    void* value = nullptr;
    UINT length = 0;
    if (!queryValue(block.data(), query, &value, &length) || value == nullptr) return kNoFileVersion;
    // The length counts characters and may or may not include the
    // terminator; never read past it or past the block.
    const char* text = static_cast<const char*>(value);
    const char* blockEnd = block.data() + block.size();
    size_t available = text >= block.data() && text < blockEnd ? size_t(blockEnd - text) : 0;
    size_t limit = length < available ? length : available;
    if (limit > kMaxFileVersionLength) limit = kMaxFileVersionLength;
    size_t n = 0;
    while (n < limit && text[n] != '\0') ++n;
    return std::string(text, n);
}

}  // namespace kq
