// append_line.exe FILE TEXT: appends TEXT and a line break to FILE. Setup
// starts the author's programs with their arguments as the whole command
// line (no program name first), so the first word is the file; started the
// usual way the program name comes first and is skipped. The end-to-end
// tests count and order the lines to see which programs setup ran.
#include <windows.h>

#include <string>

namespace {

std::string NextWord(const char*& text) {
    while (*text == ' ' || *text == '\t') ++text;
    std::string word;
    const bool quoted = *text == '"';
    if (quoted) ++text;
    while (*text != '\0' && (quoted ? *text != '"' : (*text != ' ' && *text != '\t'))) word += *text++;
    if (quoted && *text == '"') ++text;
    while (*text == ' ' || *text == '\t') ++text;
    return word;
}

bool IsThisProgram(const std::string& word) {
    const size_t length = word.size();
    return length >= 4 && lstrcmpiA(word.c_str() + length - 4, ".exe") == 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* rest = ::GetCommandLineA();
    std::string file = NextWord(rest);
    if (IsThisProgram(file)) file = NextWord(rest);
    if (file.empty()) return 2;
    const std::string line = std::string(rest) + "\r\n";
    HANDLE out = ::CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::SetFilePointer(out, 0, nullptr, FILE_END);
    const bool ok = ::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                    written == line.size();
    ::CloseHandle(out);
    return ok ? 0 : 1;
}
