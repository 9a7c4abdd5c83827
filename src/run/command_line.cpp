#include "run/command_line.h"

#include <cstring>

#include "base/text.h"
#include "run/exit_codes.h"

namespace kq {
namespace {

// The next word of `rest` without its quotes; `rest` moves past it.
std::string NextWord(std::string_view& rest) {
    std::string word;
    bool quoted = false;
    size_t i = 0;
    for (; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsBlank(c)) break;
        word += c;
    }
    rest = TrimBlanks(rest.substr(i));
    return word;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// A word that starts the install folder: "/D=", possibly inside quotes.
bool StartsFolder(std::string_view rest) {
    if (!rest.empty() && rest.front() == '"') rest.remove_prefix(1);
    return StartsWithIgnoreCase(rest, "/D=");
}

// A decimal exit code: digits only, at most nine of them.
bool ParseExitCode(const std::string& text, int* code) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *code = LeadingNumber(text);
    return true;
}

// The options that take a text value, each at most once.
struct ValueOption {
    const char* name;  // "=" included
    std::string CommandRequests::*into;
};
constexpr ValueOption kValueOptions[] = {
    {"/LOG=", &CommandRequests::logPath},         {"/LANG=", &CommandRequests::language},
    {"/TYPE=", &CommandRequests::setupType},      {"/FEATURES=", &CommandRequests::features},
    {"/SAVEINF=", &CommandRequests::saveAnswers}, {"/LOADINF=", &CommandRequests::loadAnswers},
};
constexpr size_t kValueOptionCount = sizeof kValueOptions / sizeof kValueOptions[0];

// The index in kValueOptions of the option `word` starts with, or kValueOptionCount.
size_t ValueOptionOf(const std::string& word) {
    size_t i = 0;
    while (i < kValueOptionCount && !StartsWithIgnoreCase(word, kValueOptions[i].name)) ++i;
    return i;
}

}  // namespace

std::string InstallFolderProblem(std::string_view folder, const PathRule& rule) {
    if (folder.empty()) return "/D= needs a folder";
    const std::string shown = "the install folder \"" + std::string(folder) + "\" ";
    if (WithTrailingBackslash(folder).size() > kMaxInstallFolderLength)
        return shown + "is too long (at most " + std::to_string(kMaxInstallFolderLength) + " characters)";
    const char* problem = rule ? rule(folder) : nullptr;
    if (problem != nullptr) return shown + "is refused: " + problem;
    return std::string();
}

SetupCommandLine ParseSetupCommandLine(std::string_view arguments, const PathRule& folderRule) {
    SetupCommandLine line;
    CommandRequests& requests = line.requests;
    auto fault = [&line](std::string problem) {
        if (line.problem.empty()) line.problem = std::move(problem);
    };
    bool seenSilent = false, seenPlan = false, seenRestart = false;
    bool seenValue[kValueOptionCount] = {};
    auto once = [&fault](bool& seen, const char* name) {
        if (seen) fault(std::string(name) + " is given twice");
        seen = true;
    };

    std::string_view rest = TrimBlanks(arguments);
    while (!rest.empty()) {
        if (StartsFolder(rest)) {
            // The last option: everything after "/D=" is the folder.
            std::string_view folder = rest;
            bool quotedWord = folder.front() == '"';
            folder = TrimBlanks(folder.substr(quotedWord ? 4 : 3));
            if (quotedWord && !folder.empty() && folder.back() == '"') folder.remove_suffix(1);
            if (!quotedWord && folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
                folder = folder.substr(1, folder.size() - 2);
            folder = TrimBlanks(folder);
            std::string problem = InstallFolderProblem(folder, folderRule);
            if (problem.empty()) requests.installFolder = WithTrailingBackslash(folder);
            else fault(problem);
            break;
        }
        const std::string word = NextWord(rest);
        if (EqualsIgnoreCase(word, "/S")) {
            once(seenSilent, "/S");
            requests.silent = true;
        } else if (EqualsIgnoreCase(word, "/PLAN")) {
            once(seenPlan, "/PLAN");
            requests.plan = true;
        } else if (EqualsIgnoreCase(word, "/?")) {
            line.help = true;
        } else if (const size_t v = ValueOptionOf(word); v < kValueOptionCount) {
            const ValueOption& option = kValueOptions[v];
            once(seenValue[v], option.name);
            std::string& into = requests.*option.into;
            into = word.substr(std::strlen(option.name));
            if (into.empty()) fault(word + " needs a value");
            SetupType type;
            if (option.into == &CommandRequests::setupType && !into.empty() && !SetupTypeFromName(into, &type))
                fault("the setup type \"" + into + "\" is none of Typical, Minimal, Custom");
        } else if (StartsWithIgnoreCase(word, "/RESTARTEXITCODE=")) {
            once(seenRestart, "/RESTARTEXITCODE=");
            if (!ParseExitCode(word.substr(17), &requests.restartExitCode))
                fault(word + " needs a number (0 to 999999999)");
        } else if (!word.empty() && word.front() == '/') {
            fault("unknown option \"" + word + "\"");
        } else {
            fault("\"" + word + "\" is not an option (options start with /)");
        }
    }
    return line;
}

std::string TakeRecordedAnswers(const RecordedAnswers& answers, const PathRule& folderRule, CommandRequests& requests) {
    if (requests.installFolder.empty() && !answers.folder.empty()) {
        const std::string problem = InstallFolderProblem(TrimBlanks(answers.folder), folderRule);
        if (!problem.empty()) return problem;
        requests.installFolder = WithTrailingBackslash(TrimBlanks(answers.folder));
    }
    if (requests.language.empty()) requests.language = answers.language;
    if (requests.setupType.empty()) requests.setupType = answers.setupType;
    if (requests.features.empty()) requests.features = answers.features;
    requests.answers = answers;
    return std::string();
}

std::string SetupUsageText() {
    std::string text =
        "setup.exe [/S] [/PLAN] [/LOG=file] [/LANG=name] [/?]\r\n"
        "          [/TYPE=name] [/FEATURES=a,!b] [/SAVEINF=file]\r\n"
        "          [/LOADINF=file] [/RESTARTEXITCODE=n] [/D=folder]\r\n"
        "\r\n"
        // A message box wraps long lines and ignores tab stops: each option
        // stands on its own line, its description short beneath it.
        "/S\r\n"
        "      silent: no window and no question; every\r\n"
        "      failure ends the run and undoes it\r\n"
        "/PLAN\r\n"
        "      write what the installation would create,\r\n"
        "      replace, keep or change; change nothing\r\n"
        "/LOG=file\r\n"
        "      write a log of the run, one JSON object per line\r\n"
        "      (a plan without /LOG= goes to standard output)\r\n"
        "/LANG=name\r\n"
        "      apply the language pack <name>.lan unasked\r\n"
        "/TYPE=name\r\n"
        "      the setup type: Typical, Minimal or Custom\r\n"
        "/FEATURES=a,b,!c\r\n"
        "      install exactly a and b; !c: all but c\r\n"
        "/SAVEINF=file\r\n"
        "      write the run's answers to an answer file\r\n"
        "/LOADINF=file\r\n"
        "      take the answers of an answer file\r\n"
        "/RESTARTEXITCODE=n\r\n"
        "      end with n instead of 7 when a restart is due\r\n"
        "/?\r\n"
        "      this list\r\n"
        "/D=folder\r\n"
        "      install into folder; always last, it takes the\r\n"
        "      rest of the line\r\n"
        "\r\n"
        "Exit codes:\r\n";
    for (const ExitCodeText& entry : kExitCodeTable)
        text += std::to_string(entry.code) + "\t" + entry.meaning + "\r\n";
    return text;
}

}  // namespace kq
