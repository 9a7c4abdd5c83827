#include "base/profile_file_win.h"

#include <windows.h>

#include <vector>

namespace kq {

std::string ProfileFile::Read(const char* section, const char* key, size_t bufferSize) const {
    if (bufferSize == 0) return std::string();
    // A null name would ask the system for a list of names instead of a value.
    if (section == nullptr) section = "";
    if (key == nullptr) key = "";
    if (bufferSize > MAXDWORD) bufferSize = MAXDWORD;
    std::vector<char> buffer(bufferSize, '\0');
    DWORD length = ::GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()),
                                              m_path.c_str());
    if (length >= buffer.size()) length = static_cast<DWORD>(buffer.size() - 1);
    return std::string(buffer.data(), length);
}

}  // namespace kq
