// kqbuild: makes a product package folder from an authoring folder.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "authoring_check.h"
#include "authoring_new.h"
#include "package_builder.h"
#include "package_programs.h"

namespace {

const char kUsage[] =
    "usage: kqbuild [--quiet] [--werror] [--layout cab|diskimage] [--setup-exe PATH] [--support FILE]...\n"
    "               [--programs DIR | --no-programs] AUTHORING_DIR PACKAGE_DIR\n"
    "       kqbuild check [--werror] AUTHORING_DIR\n"
    "       kqbuild new FOLDER   (a new authoring folder with the default theme)\n"
    "       kqbuild reference    (the package reference for authors, in Markdown)\n";

int Usage(const char* problem) {
    if (problem != nullptr) std::fprintf(stderr, "kqbuild: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

// Prints the findings; true when they allow a build.
bool ReportFindings(const std::string& authoringDir, bool warningsAreErrors) {
    bool clean = true;
    for (const kq::Finding& finding : kq::CheckAuthoringFolder(authoringDir)) {
        std::fprintf(stderr, "%s\n", kq::FindingLine(finding).c_str());
        if (finding.error || warningsAreErrors) clean = false;
    }
    return clean;
}

// Packs the package; 0 when it was made.
int Build(kq::BuildOptions options, const std::string& programsDir, bool withoutPrograms, bool quiet) {
    // Progress only where someone watches; logs and pipes keep the quiet output.
    const bool showProgress = !quiet && isatty(STDERR_FILENO) == 1;
    const auto start = std::chrono::steady_clock::now();
    if (showProgress) {
        options.progress = [start](const kq::PackProgress& progress) {
            std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
            std::fprintf(stderr, "\r%s\033[K", kq::PackProgressLine(progress, seconds.count()).c_str());
        };
    }
    kq::Status st = kq::ChoosePrograms(programsDir, withoutPrograms, &options);
    if (st) st = kq::BuildPackage(options);
    if (showProgress) std::fputc('\n', stderr);
    if (!st) {
        std::fprintf(stderr, "kqbuild: error: %s\n", st.message().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "reference") == 0) {
        std::fputs(kq::FullReferenceText().c_str(), stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "new") == 0) {
        kq::Status made = kq::NewAuthoringFolder(argv[2], KQ_DEFAULTS_DIR);
        if (!made) std::fprintf(stderr, "kqbuild: error: %s\n", made.message().c_str());
        return made ? 0 : 1;
    }
    kq::BuildOptions options;
    bool checkOnly = false;
    bool warningsAreErrors = false;
    bool withoutPrograms = false;
    bool quiet = false;
    std::string programsDir = kq::ProgramsBesideBuilder();
    std::string positional[2];
    int positionals = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (i == 1 && std::strcmp(arg, "check") == 0) {
            checkOnly = true;
        } else if (std::strcmp(arg, "--quiet") == 0) {
            quiet = true;
        } else if (std::strcmp(arg, "--no-programs") == 0) {
            withoutPrograms = true;
        } else if (std::strcmp(arg, "--programs") == 0) {
            const char* v = value();
            if (v == nullptr || *v == '\0') return Usage("--programs needs a folder");
            programsDir = v;
        } else if (std::strcmp(arg, "--werror") == 0) {
            warningsAreErrors = true;
        } else if (std::strcmp(arg, "--layout") == 0) {
            const char* v = value();
            if (v == nullptr) return Usage("--layout needs a value");
            if (std::strcmp(v, "cab") == 0) {
                options.layout = kq::PackageLayout::kCabinet;
            } else if (std::strcmp(v, "diskimage") == 0) {
                options.layout = kq::PackageLayout::kDiskImage;
            } else {
                return Usage("--layout is cab or diskimage");
            }
        } else if (std::strcmp(arg, "--setup-exe") == 0) {
            const char* v = value();
            if (v == nullptr || *v == '\0') return Usage("--setup-exe needs a path");
            options.setupExe = v;
        } else if (std::strcmp(arg, "--support") == 0) {
            const char* v = value();
            if (v == nullptr || *v == '\0') return Usage("--support needs a file");
            options.support.push_back(v);
        } else if (std::strncmp(arg, "--", 2) == 0 && arg[2] != '\0') {
            return Usage((std::string("unknown option ") + arg).c_str());
        } else {
            if (positionals == 2) return Usage("too many arguments");
            positional[positionals++] = arg;
        }
    }
    if (checkOnly) {
        if (positionals != 1) return Usage(nullptr);
        return ReportFindings(positional[0], warningsAreErrors) ? 0 : 1;
    }
    if (positionals != 2) return Usage(nullptr);
    if (!ReportFindings(positional[0], warningsAreErrors)) {
        std::fprintf(stderr, "kqbuild: %s has mistakes; no package built\n", positional[0].c_str());
        return 1;
    }
    options.authoringDir = positional[0];
    options.packageDir = positional[1];
    return Build(options, programsDir, withoutPrograms, quiet);
}
