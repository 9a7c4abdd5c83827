#include "payload_list.h"

namespace kq {

namespace {

bool IsWebSource(const std::string& s) {
    return s.find("http:") != std::string::npos || s.find("ftp:") != std::string::npos;
}

std::string LineError(int line, const std::string& what) {
    return "data.inf line " + std::to_string(line) + ": " + what;
}

}  // namespace

std::string AuthoringRelativePath(const std::string& source) {
    std::string p = source;
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    if (p.size() >= 2 && p[1] == ':' &&
        ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
        p.erase(0, 2);
    }
    size_t start = p.find_first_not_of('/');
    if (start == std::string::npos) return std::string();
    p.erase(0, start);
    // Rebuild component by component: empty and "." parts dropped, ".."
    // refused, so the result always stays inside the authoring folder.
    std::string out;
    size_t pos = 0;
    while (pos <= p.size()) {
        size_t end = p.find('/', pos);
        if (end == std::string::npos) end = p.size();
        const std::string part = p.substr(pos, end - pos);
        if (part == "..") return std::string();
        if (!part.empty() && part != ".") {
            if (!out.empty()) out += '/';
            out += part;
        }
        pos = end + 1;
    }
    if (!p.empty() && p.back() == '/') return std::string();  // a folder, not a file
    return out;
}

Status ReadPayloadList(const std::string& text, std::vector<PayloadEntry>* entries) {
    entries->clear();
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t lf = text.find('\n', pos);
        const int lineNo = int(lines.size()) + 1;
        if (lf == std::string::npos) {
            return Status::Error(LineError(lineNo, "the last line has no line break (the installer would ignore it)"));
        }
        if (lf == pos || text[lf - 1] != '\r') {
            return Status::Error(LineError(lineNo, "line ends with LF only; data.inf needs CR LF line breaks"));
        }
        lines.push_back(text.substr(pos, lf - 1 - pos));
        pos = lf + 1;
    }
    if (lines.size() % 2 != 0) {
        return Status::Error(LineError(int(lines.size()), "source line without its destination line"));
    }
    for (size_t i = 0; i < lines.size(); i += 2) {
        PayloadEntry e;
        e.index = int(i / 2);
        e.line = int(i) + 1;
        e.source = lines[i];
        e.web = IsWebSource(e.source);
        if (e.source.empty()) return Status::Error(LineError(e.line, "empty source path"));
        if (e.source.size() > kMaxFileListField) {
            return Status::Error(LineError(e.line, "source path longer than 454 characters"));
        }
        if (lines[i + 1].size() > 3 * kMaxFileListField + 64) {
            return Status::Error(LineError(e.line + 1, "destination line too long"));
        }
        if (!e.web) {
            if (e.source.find('/') != std::string::npos) {
                // The installer splits on backslashes only; "a/b.exe" would be
                // looked for under a name with a slash in it.
                return Status::Error(LineError(e.line, "source path \"" + e.source + "\" must use backslashes"));
            }
            const size_t slash = e.source.rfind('\\');
            const std::string name = slash == std::string::npos ? e.source : e.source.substr(slash + 1);
            if (name.empty()) return Status::Error(LineError(e.line, "source path \"" + e.source + "\" names no file"));
            e.localPath = AuthoringRelativePath(e.source);
            if (e.localPath.empty()) {
                return Status::Error(LineError(e.line, "source path \"" + e.source + "\" is outside the authoring folder"));
            }
            e.storedName = "F" + std::to_string(e.index) + "_" + name;
        }
        entries->push_back(e);
    }
    return Status::Ok();
}

}  // namespace kq
