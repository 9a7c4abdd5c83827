// The builder's reading of data.inf: which files of the authoring folder go
// into the package, and under which stored names.
//
// data.inf is a list of CR LF terminated lines taken in pairs, one pair per
// file. The first line is the file's source path as it was on the author's
// machine (e.g. "C:\files\bin\app.exe") or a web address (any line containing
// "http:" or "ftp:"); the second line holds the destination and options,
// which the builder does not interpret. Pairs are indexed from 0 in file
// order, web ones included, and a local file i travels as "F<i>_<name>",
// <name> being the text after the last backslash of its source path: that
// is the name the installer looks for.
//
// The installer silently ignores an unterminated last line and an unpaired
// first line, and cuts every field at 454 characters; the builder refuses
// such lists instead, so that no file of the author's list goes missing.
#pragma once
#include <string>
#include <vector>

#include "base/status.h"

namespace kq {

struct PayloadEntry {
    int index = 0;           // position of the pair in data.inf, from 0
    int line = 0;            // 1-based line number of the source line
    std::string source;      // the source line as written
    bool web = false;        // downloaded at install time, not packed
    std::string storedName;  // "F<index>_<name>" (local files only)
    std::string localPath;   // source made relative to the authoring folder, '/' separated
};

// Longest text the installer keeps of a file name or source path.
constexpr size_t kMaxFileListField = 454;

Status ReadPayloadList(const std::string& text, std::vector<PayloadEntry>* entries);

// "C:\files\bin\app.exe", "\files\bin\app.exe" and "files\bin\app.exe" all
// name "files/bin/app.exe" below the authoring folder. Empty when the path
// climbs out of the authoring folder ("..") or names no file.
std::string AuthoringRelativePath(const std::string& source);

}  // namespace kq
