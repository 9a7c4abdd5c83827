// One JSON object per line ("JSON lines"), for logs that programs read.
//
// The program's text is ANSI (the system code page). A string value is
// written as pure ASCII: the decoder turns the code-page text into UTF-16
// (on Windows MultiByteToWideChar with the ANSI code page), and every unit
// outside printable ASCII is written as \uXXXX (a character beyond the
// basic plane as its surrogate pair), so any byte sequence gives valid JSON
// whatever the reader's encoding. '"' and '\' are escaped, control
// characters as \b \f \n \r \t or \u00XX. Without a decoder each byte stands
// for the character of the same number (ISO 8859-1).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kq {

using TextDecoder = std::function<std::u16string(std::string_view)>;

// `text` as a JSON string, quotes included.
std::string JsonString(std::string_view text, const TextDecoder& decode = nullptr);

// Builds one object, members in the order they are added; Line() closes it
// and ends it with LF. Keys are the program's own ASCII names.
class JsonObject {
public:
    explicit JsonObject(const TextDecoder* decode = nullptr) : m_decode(decode) {}
    JsonObject& Add(const char* key, std::string_view text);
    JsonObject& Add(const char* key, const char* text) { return Add(key, std::string_view(text)); }
    JsonObject& Add(const char* key, const std::string& text) { return Add(key, std::string_view(text)); }
    JsonObject& Add(const char* key, int64_t number);
    JsonObject& Add(const char* key, int number) { return Add(key, static_cast<int64_t>(number)); }
    JsonObject& Add(const char* key, uint64_t number);
    JsonObject& Add(const char* key, bool value);
    std::string Line() const { return m_text + "}\n"; }

private:
    void Key(const char* key);
    const TextDecoder* m_decode;
    std::string m_text = "{";
};

}  // namespace kq
