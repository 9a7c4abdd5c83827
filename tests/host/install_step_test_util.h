// Shared pieces of the install-step tests: a real uninstall log in a
// temporary folder, read back line by line, and the placeholder values of a
// sample run.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "record/uninstall_log.h"
#include "run/placeholders.h"
#include "run/settings.h"
#include "shared/crlf_lines.h"

namespace kq::steptest {

// An uninstall log in its own temporary folder, removed afterwards.
class TempLog {
public:
    TempLog() {
        char pattern[] = "/tmp/kq_step_log_XXXXXX";
        if (::mkdtemp(pattern) != nullptr) dir_ = pattern;
        log_.SetPath(dir_ + "/uninstall.log");
    }
    ~TempLog() {
        log_.Close();
        std::remove((dir_ + "/uninstall.log").c_str());
        ::rmdir(dir_.c_str());
    }
    TempLog(const TempLog&) = delete;
    TempLog& operator=(const TempLog&) = delete;

    UninstallLog& Log() { return log_; }

    // The lines written so far, without their CR LF; a test failure when
    // the file does not end with a complete line.
    std::vector<std::string> Lines() {
        log_.Close();
        std::ifstream in(dir_ + "/uninstall.log", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return kqtest::CrLfLines(text.str());
    }

private:
    std::string dir_;
    UninstallLog log_;
};

inline PlaceholderValues SampleRunValues() {
    PlaceholderValues values;
    values.windowsFolder = "C:\\WINDOWS";
    values.systemFolder = "C:\\WINDOWS\\system32\\";
    values.tempFolder = "C:\\TEMP\\";
    values.appDataFolder = "C:\\Documents and Settings\\Ann\\Application Data";
    values.productName = "Notes";
    values.productCode = "{6B1C-77}";
    values.productVersion = "1.2";
    values.publisher = "Northwind";
    values.installDir = "C:\\Program Files\\Northwind\\Notes\\";
    values.defaultInstallDir = values.installDir;
    return values;
}

}  // namespace kq::steptest
