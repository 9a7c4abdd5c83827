// Reading back text the program writes with CR LF line breaks (the uninstall
// log above all), shared by the host, Win32 and end-to-end tests.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kqtest {

// The lines of `text` without their CR LF; text after the last line break
// fails the calling test: every line the program writes is complete.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line break";
    return lines;
}

}  // namespace kqtest
