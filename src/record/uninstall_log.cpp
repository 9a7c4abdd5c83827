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
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    path_ = std::move(path);
    refused_ = false;
}

std::string LeftoverLogMessage(const std::string& path) {
    return "The uninstall log of an earlier installation, " + path +
           ", cannot be deleted. Close the program that uses it (or delete it yourself) and run setup again.";
}

bool UninstallLog::RemoveLeftover() {
    Close();
    held_.clear();
    refused_ = false;
    if (path_.empty()) return true;
    if (std::remove(path_.c_str()) == 0) return true;
    std::FILE* probe = std::fopen(path_.c_str(), "rb");
    if (probe == nullptr) return true;
    std::fclose(probe);
    // Lines of this run added to it would mix two runs in one log.
    refused_ = true;
    return false;
}

bool UninstallLog::TryOpen() {
    if (file_ != nullptr) return true;
    if (path_.empty()) return false;
    // Binary, so the CR LF written is the CR LF stored.
    file_ = std::fopen(path_.c_str(), "ab");
    if (file_ == nullptr) return false;
    std::vector<std::string> held;
    held.swap(held_);
    for (const std::string& line : held) WriteLine(line);
    return true;
}

bool UninstallLog::WriteLine(const std::string& line) {
    bool ok = std::fwrite(line.data(), 1, line.size(), file_) == line.size();
    return std::fflush(file_) == 0 && ok;
}

bool UninstallLog::Append(const char* kind, const char* value) {
    std::string line = FormatLogLine(kind, value);
    if (line.empty() || refused_) return false;
    if (observer_) observer_(kind, value);
    if (!TryOpen()) {
        held_.push_back(std::move(line));
        return true;
    }
    return WriteLine(line);
}

void UninstallLog::Close() {
    if (file_ == nullptr && !held_.empty()) TryOpen();
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    held_.clear();
}

}  // namespace kq
