#include "record/uninstall_log.h"

#include <cstring>

namespace kq {

std::string FormatLogLine(const char* kind, const char* value) {
    if (kind == nullptr || *kind == '\0' || std::strpbrk(kind, "=\r\n") != nullptr) return std::string();
    if (value == nullptr) value = "";
    if (std::strpbrk(value, "\r\n") != nullptr) return std::string();
    std::string line(kind);
    line += '=';
    line += value;
    line += "\r\n";
    return line;
}

UninstallLog::~UninstallLog() { Close(); }

void UninstallLog::SetPath(std::string path) {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_path = std::move(path);
    m_refused = false;
}

std::string LeftoverLogMessage(const std::string& path) {
    return "The uninstall log of an earlier installation, " + path +
           ", cannot be deleted. Close the program that uses it (or delete it yourself) and run setup again.";
}

bool UninstallLog::RemoveLeftover() {
    Close();
    m_held.clear();
    m_refused = false;
    if (m_path.empty()) return true;
    if (std::remove(m_path.c_str()) == 0) return true;
    std::FILE* probe = std::fopen(m_path.c_str(), "rb");
    if (probe == nullptr) return true;
    std::fclose(probe);
    // Lines of this run added to it would mix two runs in one log.
    m_refused = true;
    return false;
}

bool UninstallLog::TryOpen() {
    if (m_file != nullptr) return true;
    if (m_path.empty()) return false;
    // Binary, so the CR LF written is the CR LF stored. Not in append mode,
    // which asks the system for the end before every line: this writer is
    // the log's only one, so the end is found once.
    m_file = std::fopen(m_path.c_str(), "r+b");
    if (m_file == nullptr) m_file = std::fopen(m_path.c_str(), "wb");
    if (m_file == nullptr) return false;
    if (std::fseek(m_file, 0, SEEK_END) != 0) {
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    std::vector<std::string> held;
    held.swap(m_held);
    for (const std::string& line : held) WriteLine(line);
    return true;
}

bool UninstallLog::WriteLine(const std::string& line) {
    bool ok = std::fwrite(line.data(), 1, line.size(), m_file) == line.size();
    return std::fflush(m_file) == 0 && ok;
}

bool UninstallLog::Append(const char* kind, const char* value) {
    std::string line = FormatLogLine(kind, value);
    if (line.empty() || m_refused) return false;
    if (m_observer) m_observer(kind, value);
    if (!TryOpen()) {
        m_held.push_back(std::move(line));
        return true;
    }
    return WriteLine(line);
}

void UninstallLog::Close() {
    if (m_file == nullptr && !m_held.empty()) TryOpen();
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_held.clear();
}

}  // namespace kq
