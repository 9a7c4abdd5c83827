// Reading what uidriver prints. Each line is a record kind followed by
// key=value fields; string values are in double quotes with C escapes
// (\r \n \t \\ \" \xNN), numbers and handles are bare.
//
//   window hwnd=0x00010046 pid=32 class="#32770" title="Merrowin" visible=1 enabled=1
//   control hwnd=0x... parent=0x... id=2 class="Button" text="OK" visible=1 enabled=1 rect=8,9,83,32 checked=0
//
// A window line is followed by the control lines of that window.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kq::e2e {

struct DriverLine {
    std::string kind;                           // "window", "control", "clicked", ...
    std::map<std::string, std::string> fields;  // string values unescaped
};

struct ControlInfo {
    unsigned long hwnd = 0;
    int id = 0;
    std::string className;
    std::string text;
    bool visible = false;
    bool enabled = false;
    int checked = -1;  // -1 when the control is not a button
    // In the window's client coordinates; all 0 when the line gives none.
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct WindowInfo {
    unsigned long hwnd = 0;
    unsigned long pid = 0;
    std::string className;
    std::string title;
    bool visible = false;
    std::vector<ControlInfo> controls;

    // The first control whose text, '&' mnemonics removed, equals `label`.
    const ControlInfo* FindByText(const std::string& label) const;
    const ControlInfo* FindById(int id) const;
    // Every control text joined by "\n": what the window says, for matching.
    std::string AllText() const;
};

// Splits one line; returns false for a line that is not a record (empty, or
// an unterminated string).
bool ParseDriverLine(const std::string& line, DriverLine& out);
std::vector<DriverLine> ParseDriverLines(const std::string& output);
// The windows of a `wait` or `list` output, each with its controls.
std::vector<WindowInfo> ParseWindows(const std::string& output);
std::string StripMnemonics(const std::string& text);

}  // namespace kq::e2e
