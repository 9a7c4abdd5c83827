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
#include <map>
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
    // The controls each layout of the theme names ("IDC_LICENSE"), by lower
    // case file name; empty when the folder has no theme of its own.
    std::map<std::string, std::set<std::string>> controls;
    // theme/*.lcd by file name.
    std::map<std::string, std::string> layouts;
    // languages/*.lan by file name.
    std::map<std::string, std::string> languagePacks;
};

std::vector<Finding> CheckAuthoring(const AuthoringFiles& files);

// The names the controls of a layout text carry ("Name|IDC_NEXT|0").
void AddControlNames(const std::string& layoutText, std::set<std::string>* names);

// The authors' reference: the key tables and the language packs' keys.
std::string FullReferenceText();

// Reads AUTHORING_DIR and checks it. A folder without setup.inf or data.inf
// is one error.
std::vector<Finding> CheckAuthoringFolder(const std::string& authoringDir);

}  // namespace kq
