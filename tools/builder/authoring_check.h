// `kqbuild check`: the mistakes in an authoring folder that the program
// would otherwise meet only on the user's machine. Each finding names the
// file and line, as compilers do, so editors can jump to it:
//
//   setup.inf:3: error: a44: unknown key; did you mean a4?
//
// Errors stop a build; warnings do not, unless the build is told to treat
// them as errors.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kq {

struct Finding {
    std::string file;
    int line = 0;  // 0: the file as a whole
    bool error = true;
    std::string text;
};

std::string FindingLine(const Finding& finding);

// What the checks look at, read from disk by CheckAuthoringFolder or given
// by the tests.
struct AuthoringFiles {
    std::string setupInf;
    std::string dataInf;
    std::set<std::string> themeFiles;  // names in theme/, lower case
    // True when the file of a data.inf source line is in the authoring folder.
    std::function<bool(const std::string& source)> payloadExists;
};

std::vector<Finding> CheckAuthoring(const AuthoringFiles& files);

// Reads AUTHORING_DIR and checks it. A folder without setup.inf or data.inf
// is one error.
std::vector<Finding> CheckAuthoringFolder(const std::string& authoringDir);

}  // namespace kq
