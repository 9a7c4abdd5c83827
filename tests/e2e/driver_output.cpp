#include "driver_output.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kq::e2e {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted value starting just after the opening quote; `pos` ends
// after the closing quote. False when the string never closes.
bool ReadQuoted(const std::string& line, size_t& pos, std::string& value) {
    value.clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') return true;
        if (c != '\\' || pos >= line.size()) {
            value += c;
            continue;
        }
        char e = line[pos++];
        switch (e) {
        case 'r': value += '\r'; break;
        case 'n': value += '\n'; break;
        case 't': value += '\t'; break;
        case 'x':
            if (pos + 1 < line.size() && HexDigit(line[pos]) >= 0 && HexDigit(line[pos + 1]) >= 0) {
                value += static_cast<char>(HexDigit(line[pos]) * 16 + HexDigit(line[pos + 1]));
                pos += 2;
            } else {
                value += 'x';
            }
            break;
        default: value += e; break;
        }
    }
    return false;
}

unsigned long Number(const std::map<std::string, std::string>& fields, const char* key) {
    auto it = fields.find(key);
    return it == fields.end() ? 0 : std::strtoul(it->second.c_str(), nullptr, 0);
}

std::string Text(const std::map<std::string, std::string>& fields, const char* key) {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

}  // namespace

bool ParseDriverLine(const std::string& line, DriverLine& out) {
    out = DriverLine();
    size_t pos = 0;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\r') out.kind += line[pos++];
    if (out.kind.empty()) return false;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\r')) ++pos;
        if (pos >= line.size()) break;
        size_t eq = line.find('=', pos);
        if (eq == std::string::npos) return false;
        std::string key = line.substr(pos, eq - pos);
        pos = eq + 1;
        std::string value;
        if (pos < line.size() && line[pos] == '"') {
            ++pos;
            if (!ReadQuoted(line, pos, value)) return false;
        } else {
            while (pos < line.size() && line[pos] != ' ' && line[pos] != '\r') value += line[pos++];
        }
        out.fields[key] = value;
    }
    return true;
}

std::vector<DriverLine> ParseDriverLines(const std::string& output) {
    std::vector<DriverLine> lines;
    std::istringstream in(output);
    std::string line;
    DriverLine parsed;
    while (std::getline(in, line))
        if (ParseDriverLine(line, parsed)) lines.push_back(parsed);
    return lines;
}

std::vector<WindowInfo> ParseWindows(const std::string& output) {
    std::vector<WindowInfo> windows;
    for (const DriverLine& line : ParseDriverLines(output)) {
        if (line.kind == "window") {
            WindowInfo window;
            window.hwnd = Number(line.fields, "hwnd");
            window.pid = Number(line.fields, "pid");
            window.className = Text(line.fields, "class");
            window.title = Text(line.fields, "title");
            window.visible = Number(line.fields, "visible") != 0;
            windows.push_back(window);
        } else if (line.kind == "control" && !windows.empty()) {
            ControlInfo control;
            control.hwnd = Number(line.fields, "hwnd");
            control.id = static_cast<int>(Number(line.fields, "id"));
            control.className = Text(line.fields, "class");
            control.text = Text(line.fields, "text");
            control.visible = Number(line.fields, "visible") != 0;
            control.enabled = Number(line.fields, "enabled") != 0;
            std::sscanf(Text(line.fields, "rect").c_str(), "%d,%d,%d,%d", &control.left, &control.top, &control.right,
                        &control.bottom);
            if (line.fields.count("checked")) control.checked = static_cast<int>(Number(line.fields, "checked"));
            windows.back().controls.push_back(control);
        }
    }
    return windows;
}

std::string StripMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

const ControlInfo* WindowInfo::FindByText(const std::string& label) const {
    std::string wanted = StripMnemonics(label);
    for (const ControlInfo& control : controls)
        if (StripMnemonics(control.text) == wanted) return &control;
    return nullptr;
}

const ControlInfo* WindowInfo::FindById(int id) const {
    for (const ControlInfo& control : controls)
        if (control.id == id) return &control;
    return nullptr;
}

std::string WindowInfo::AllText() const {
    std::string all;
    for (const ControlInfo& control : controls) {
        if (control.text.empty()) continue;
        if (!all.empty()) all += '\n';
        all += control.text;
    }
    return all;
}

}  // namespace kq::e2e
