#include "run/command_line.h"

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
    bool seenSilent = false, seenPlan = false, seenLog = false, seenLanguage = false, seenType = false,
         seenFeatures = false, seenSave = false, seenLoad = false, seenRestart = false;
    auto once = [&fault](bool& seen, const char* name) {
        if (seen) fault(std::string(name) + " is given twice");
        seen = true;
    };
    // A value option: its value, or a fault when it is empty.
    auto value = [&fault](const std::string& word, size_t nameLength, std::string& into) {
        into = word.substr(nameLength);
        if (into.empty()) fault(word + " needs a value");
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
        } else if (StartsWithIgnoreCase(word, "/LOG=")) {
            once(seenLog, "/LOG=");
            value(word, 5, requests.logPath);
        } else if (StartsWithIgnoreCase(word, "/LANG=")) {
            once(seenLanguage, "/LANG=");
            value(word, 6, requests.language);
        } else if (StartsWithIgnoreCase(word, "/TYPE=")) {
            once(seenType, "/TYPE=");
            value(word, 6, requests.setupType);
            SetupType type;
            if (!requests.setupType.empty() && !SetupTypeFromName(requests.setupType, &type))
                fault("the setup type \"" + requests.setupType + "\" is none of Typical, Minimal, Custom");
        } else if (StartsWithIgnoreCase(word, "/FEATURES=")) {
            once(seenFeatures, "/FEATURES=");
            value(word, 10, requests.features);
        } else if (StartsWithIgnoreCase(word, "/SAVEINF=")) {
            once(seenSave, "/SAVEINF=");
            value(word, 9, requests.saveAnswers);
        } else if (StartsWithIgnoreCase(word, "/LOADINF=")) {
            once(seenLoad, "/LOADINF=");
            value(word, 9, requests.loadAnswers);
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

std::string TakeRecordedAnswers(const RecordedAnswers& answers, const PathRule& folderRule,
                                CommandRequests& requests) {
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
