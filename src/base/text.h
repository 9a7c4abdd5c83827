// Small text rules shared by every layer: ASCII case folding (the system's
// names of files, keys and devices compare without regard to ASCII case)
// the trailing backslash of folder paths, and the C library's decimal
// conversion that every number of the scripts goes through.
#pragma once
#include <string>
#include <string_view>

namespace kq {

char AsciiLower(char c);
std::string AsciiLower(std::string text);
// Equal without regard to ASCII case; other bytes compare exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);
bool ContainsIgnoreCase(std::string_view text, std::string_view part);

// `path` with a backslash appended unless it already ends in one; an empty
// path becomes a lone backslash, as the system folders do when a query fails.
std::string WithTrailingBackslash(std::string_view path);
// `path` without a trailing backslash, except for a drive's root ("C:\\") or
// a lone backslash, which need theirs.
std::string WithoutTrailingBackslash(const std::string& path);

// Command lines separate their words by spaces and tabs.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// `text` without the spaces and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

// The C library's decimal conversion: leading blanks, an optional sign, then
// digits up to the first non-digit; 0 when there are none. Out-of-range
// numbers give INT_MAX or INT_MIN, as the Windows C library does, instead of
// undefined behaviour.
// Reading stops at the end of `text` as at any other non-digit.
int LeadingNumber(std::string_view text);
inline int LeadingNumber(const char* text) {
    return text == nullptr ? 0 : LeadingNumber(std::string_view(text));
}

}  // namespace kq
