// The author's variables: facts about the machine read once at start-up
// from the "VARIABLES" section of the setup script, then put in place of
// their names by both placeholder expansions.
//
// The section: "TOTAL" (a count) and per variable i, each value read into a
// 100-character buffer (99 characters at most):
//   A<i> name, the exact text replaced   B<i> default value
//   C<i> description, kept               D<i> source kind, spelled exactly:
//     "Nowhere"           the default
//     "Registry"          E<i> root ("HKEY_LOCAL_MACHINE", ...), F<i> key,
//                         G<i> value name; the default when empty
//     "INI Files"         H<i> file (expanded), I<i> section, J<i> key; the
//                         default when the file is missing or the value empty
//     "Find File/Folder"  L<i> path (expanded): "TRUE" when something is
//                         there, else "FALSE"
//     "Retrive from Web"  O<i> address (expanded): the text fetched, or the
//                         default when nothing came
//     "Find Window"       P<i> class, Q<i> title (each expanded unless
//                         empty): "TRUE" when such a window exists
//   any other kind gives an empty value. M<i> and N<i> are not used.
// The table holds at most kMaxUserVariables entries; a larger TOTAL reads
// the first ones only. Equal names all stay: the first one's value wins in
// expansion because it comes first.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/registry_path.h"
#include "run/placeholders.h"

namespace kq {

class Script;

enum class VariableSource { kNowhere, kRegistry, kIniFile, kFindPath, kWeb, kFindWindow, kUnknown };

// One variable as the script describes it, before anything is computed.
struct VariableSpec {
    std::string name;
    std::string defaultValue;
    std::string description;
    VariableSource source = VariableSource::kUnknown;
    RegistryRoot root = RegistryRoot::kNone;
    std::string registryKey, registryValue;
    std::string iniFile, iniSection, iniKey;
    std::string path;
    std::string address;
    std::string windowClass, windowTitle;
};

// "Registry" -> kRegistry; any other spelling, letter case included, is kUnknown.
VariableSource VariableSourceFromName(const std::string& kind);

std::vector<VariableSpec> ReadVariableSpecs(const Script& script);

// The machine as the variables see it.
class VariableMachine {
public:
    virtual ~VariableMachine();
    // The string value, or empty.
    virtual std::string ReadRegistry(RegistryRoot root, const std::string& key, const std::string& value) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // The profile value of an existing file, or empty.
    virtual std::string ReadIni(const std::string& file, const std::string& section, const std::string& key) = 0;
    virtual std::string FetchText(const std::string& address) = 0;
    virtual bool WindowExists(const std::string& windowClass, const std::string& title) = 0;
    // The small "please wait" window for the slow sources: shown before
    // the first file search or web fetch, closed after the last variable.
    virtual void ShowWaitWindow() = 0;
    virtual void CloseWaitWindow() = 0;
};

// Placeholder expansion of a variable's text with `earlier`, the variables
// computed before it, in place of the run's table.
using VariableExpand = std::function<std::string(const std::string& text, const UserVariableTable& earlier)>;

// Every variable's value, in script order. Each one's texts are expanded
// with the variables before it, so a path or address may use them.
UserVariableTable ComputeVariables(const std::vector<VariableSpec>& specs, const VariableExpand& expand,
                                   VariableMachine& machine);

}  // namespace kq
