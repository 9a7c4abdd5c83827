// Reading one value of an INI document the way the system's private-profile
// reader does: the setup script, layout files and language packs are all read
// through this interface, so the core can be tested on text held in memory.
#pragma once
#include <cstddef>
#include <string>

namespace kq {

// The buffer the program reads an ordinary value into, terminating NUL
// included: a value is cut to kProfileValueSize - 1 (254) characters.
constexpr size_t kProfileValueSize = 255;

class ProfileReader {
public:
    virtual ~ProfileReader();

    // The value of `key` in `section`, as GetPrivateProfileStringA returns it
    // with an empty default into a buffer of `bufferSize` characters: at most
    // bufferSize - 1 characters, "" when the section or key is missing, when
    // the key has no '=' or when bufferSize is 0. Section and key names are
    // matched without regard to ASCII case and to surrounding blanks.
    // A null section or key reads as "" (the enumerations the system offers
    // for null names are not part of this interface).
    virtual std::string Read(const char* section, const char* key, size_t bufferSize) const = 0;
};

// Each value from `first` and, where it is empty or there is no `first`, from
// `second`: an applied language pack's run-time texts over the package's own
// language file, so texts only the author's file holds (the requirement
// messages, say) stay as the author wrote them.
class FallbackProfileReader : public ProfileReader {
public:
    FallbackProfileReader(const ProfileReader* first, const ProfileReader& second) : m_first(first), m_second(second) {}

    std::string Read(const char* section, const char* key, size_t bufferSize) const override {
        if (m_first != nullptr) {
            std::string value = m_first->Read(section, key, bufferSize);
            if (!value.empty()) return value;
        }
        return m_second.Read(section, key, bufferSize);
    }

private:
    const ProfileReader* m_first;
    const ProfileReader& m_second;
};

}  // namespace kq
