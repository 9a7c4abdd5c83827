// The setup script and the other INI files of the package as setup.exe reads
// them: every value through GetPrivateProfileStringA on the file itself.
#pragma once
#include <string>

#include "base/profile.h"

namespace kq {

class ProfileFile : public IProfileReader {
public:
    explicit ProfileFile(const char* path) : m_path(path != nullptr ? path : "") {}

    std::string Read(const char* section, const char* key, size_t bufferSize) const override;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace kq
