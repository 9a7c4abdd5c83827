#include "run/script.h"

#include <climits>

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

int LeadingNumber(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate as a negative number so INT_MIN is reachable without
    // overflow, then stop at the bound.
    int value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        int digit = *p - '0';
        if (value < (INT_MIN + digit) / 10) return negative ? INT_MIN : INT_MAX;
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == INT_MIN ? INT_MAX : -value;
}

}  // namespace kq
