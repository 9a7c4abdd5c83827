// Rules for paths and names that come from outside the program (a command
// line, an uninstall log, a product code) before anything is done with them.
#pragma once
#include <string_view>
#include <vector>

namespace kq {

// '\\' or '/'.
bool IsPathSeparator(char c);

// The parts of a path between separators, empty ones (a doubled backslash,
// which the system reads as one) left out.
std::vector<std::string_view> PathComponents(std::string_view path);

// A product code names a registry key and a folder that the runner deletes
// whole, so it must be one plain name: not empty, no path separators, no
// ".." and nothing else a file name cannot hold.
bool IsUsableProductCode(std::string_view productCode);

// Why `path` may not be acted on, or nullptr when it may: it must start at
// a drive ("C:\") or a share ("\\server\share\"), name something below
// that, and hold no part that the system would read as another folder or
// as a device.
const char* AbsolutePathProblem(std::string_view path);

// The arguments of a full Windows command line: the text after the program
// name (quoted or not) and the blanks after it.
std::string_view SkipProgramName(std::string_view commandLine);

}  // namespace kq
