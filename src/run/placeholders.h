// Placeholder expansion: tokens in angle brackets such as "<WindowsFolder>"
// or "<ProductName>", and the names of the author's variables, replaced by
// their values for this machine and this run.
//
// There are two routines with one core. The frame expansion serves the
// user-interface thread (start-up, pages, wizard); the worker expansion
// serves the install worker on the copy of the values it takes when the
// installation starts. Their differences are deliberate and listed at
// ExpandStepText.
#pragma once
#include <string>
#include <vector>

namespace kq {

// The author's variables are limited to this many; expansion looks at no more.
constexpr size_t kMaxUserVariables = 50;

struct UserVariable {
    std::string name;         // the exact text that is replaced
    std::string description;  // kept, never interpreted
    std::string value;
};

using UserVariableTable = std::vector<UserVariable>;

// No expansion grows a text beyond this many characters. Variables whose
// values hold the names of later variables could otherwise multiply a text's
// length with each one; real paths and captions stay far below it.
constexpr size_t kMaxExpandedLength = 1 << 20;

// Every value a placeholder can stand for.
struct PlaceholderValues {
    std::string programFilesFolder;
    std::string systemFolder;
    std::string windowsFolder;
    std::string commonFilesFolder;
    std::string windowsVolume;
    std::string favoritesFolder;
    std::string personalFolder;
    std::string picturesFolder;
    std::string tempFolder;
    std::string sendToFolder;
    std::string fontsFolder;
    std::string appDataFolder;
    std::string productName;
    std::string installDir;         // the chosen install folder
    std::string defaultInstallDir;  // the script's default; only the worker uses it
    std::string productCode;
    std::string userName;
    std::string companyName;
    std::string publisher;
    std::string productVersion;
    const UserVariableTable* variables = nullptr;  // borrowed; may be null
};

// The fixed tokens, in the order of replacement, each with what it stands
// for (the authors' reference lists them).
struct PlaceholderToken {
    const char* token;
    const char* meaning;
};
std::vector<PlaceholderToken> PlaceholderTokens();

// Frame expansion of `text`:
//  1. a text holding neither '<' nor '>' is returned as it is (square
//     brackets included);
//  2. every '[' becomes '<' and every ']' becomes '>';
//  3. the tokens are replaced in a fixed order, each occurrence found left to
//     right without overlap; a value put in is not searched again for the
//     same token, but later tokens do see it;
//  4. each variable's name is replaced by its value, in table order;
//  5. every pair of backslashes becomes one, in one pass (so three become
//     two); this joins "<SystemFolder>\name" but also shortens a network path;
//  6. a token that names nothing stays as written.
// A replacement that would take the text past kMaxExpandedLength is not made.
std::string ExpandScriptText(const std::string& text, const PlaceholderValues& values);

// Worker expansion: the same, except that
//  - square brackets are never turned into angle brackets;
//  - "<USERNAME>" is not replaced (only "<UserName>");
//  - after step 5, when the default install folder differs from the chosen
//    one and the chosen one is not a lone backslash, every occurrence of the
//    default folder without its trailing backslash is replaced by the chosen
//    folder. This moves paths the author wrote for the default location to
//    the chosen one; because it runs after step 5 it can leave a doubled
//    backslash behind.
std::string ExpandStepText(const std::string& text, const PlaceholderValues& values);

// Replaces every occurrence of `token`, left to right without overlap, never
// searching inserted text. An empty token replaces nothing. Once a
// replacement would make the text longer than `limit`, that occurrence and
// the ones after it stay as written.
void ReplaceAll(std::string& text, const std::string& token, const std::string& value,
                size_t limit = std::string::npos);

}  // namespace kq
