#include "run/script.h"

namespace kq {

std::string Script::Value(const char* section, const char* key) const {
    return m_reader->Read(section, key, kValueSize);
}

std::string Script::Short(const char* section, const char* key) const {
    return m_reader->Read(section, key, kShortSize);
}

int Script::Total(const char* section) const {
    return Total(section, "TOTAL");
}

int Script::Total(const char* section, const char* key) const {
    int total = LeadingNumber(Short(section, key));
    // A negative count would make every loop over the list misbehave, and a
    // huge one would keep the program reading empty items for hours.
    if (total < 0) return 0;
    return total > kMaxListItems ? kMaxListItems : total;
}

std::string Script::Item(const char* section, char column, int index, size_t bufferSize) const {
    return m_reader->Read(section, ItemKey(column, index).c_str(), bufferSize);
}

std::string ItemKey(char column, int index) {
    return std::string(1, column) + std::to_string(index);
}

bool Script::IsYes(const std::string& value) {
    return value == "Yes";
}

bool Script::IsNotNo(const std::string& value) {
    return value != "No";
}

}  // namespace kq
