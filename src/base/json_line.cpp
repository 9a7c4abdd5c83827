#include "base/json_line.h"

#include <cstdio>

namespace kq {
namespace {

void AppendUnit(std::string& out, char16_t unit) {
    switch (unit) {
    case u'"': out += "\\\""; return;
    case u'\\': out += "\\\\"; return;
    case u'\b': out += "\\b"; return;
    case u'\f': out += "\\f"; return;
    case u'\n': out += "\\n"; return;
    case u'\r': out += "\\r"; return;
    case u'\t': out += "\\t"; return;
    }
    if (unit >= 0x20 && unit < 0x7F) {
        out += static_cast<char>(unit);
        return;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(unit));
    out += escaped;
}

}  // namespace

std::string JsonString(std::string_view text, const TextDecoder& decode) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    if (decode) {
        for (char16_t unit : decode(text)) AppendUnit(out, unit);
    } else {
        for (char c : text) AppendUnit(out, static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    out += '"';
    return out;
}

void JsonObject::Key(const char* key) {
    if (m_text.size() > 1) m_text += ',';
    m_text += JsonString(key);
    m_text += ':';
}

JsonObject& JsonObject::Add(const char* key, std::string_view text) {
    Key(key);
    m_text += JsonString(text, m_decode != nullptr ? *m_decode : TextDecoder());
    return *this;
}

JsonObject& JsonObject::Add(const char* key, int64_t number) {
    Key(key);
    m_text += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::Add(const char* key, uint64_t number) {
    Key(key);
    m_text += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::Add(const char* key, bool value) {
    Key(key);
    m_text += value ? "true" : "false";
    return *this;
}

}  // namespace kq
