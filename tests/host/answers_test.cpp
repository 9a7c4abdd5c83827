#include "run/answers.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ini_text.h"
#include "base/path_rules.h"
#include "run/command_line.h"
#include "run/script.h"
#include "run/setup_run.h"
#include "wizard/wizard_flow.h"

namespace kq {
namespace {

// The feature list and type a run's answer file keeps after the command
// line's choices, or why they do not fit.
std::string Chosen(const char* arguments) {
    const IniText ini(
        "[SETUPTYPE]\r\nTOTAL=3\r\nFeatureName0=Program\r\nFeatureName1=Help\r\nFeatureName2=Samples\r\n"
        "[SETUPFEATURES]\r\nTOTAL=3\r\n0=Program\r\n1=Help\r\n2=Samples\r\n");
    SetupRun run;
    const SetupCommandLine line = ParseSetupCommandLine(arguments, &AbsolutePathProblem);
    if (!line.problem.empty()) return line.problem;
    run.Requests() = line.requests;
    run.Features() = LoadFeatureTable(Script(ini));
    const std::string problem = run.TakeRequestedAnswers(LoadFeatureTexts(Script(ini)));
    if (!problem.empty()) return problem;
    const RecordedAnswers kept = run.CurrentAnswers(LoadFeatureTexts(Script(ini)), false);
    return kept.features + ":" + kept.setupType;
}

// The options that choose without the wizard, each refused when its value
// cannot serve.
TEST(Answers, TypeAndFeaturesFromTheCommandLine) {
    const char* const cases[][2] = {
        {"", "Program,Help,Samples:"},
        {"/TYPE=Minimal", "Program,Help,Samples:Minimal"},
        {"/type=custom /FEATURES=help", "Help:Custom"},
        {"\"/FEATURES=Program, Samples\"", "Program,Samples:"},
        {"/FEATURES=!Help", "Program,Samples:"},
        {"/FEATURES=Help,!Help", "!Program,!Help,!Samples:"},
        {"/FEATURES=,Help,,", "Help:"},
        {"/FEATURES=Help,Manual",
         "the package has no feature \"Manual\" (its features: \"Program\", \"Help\", "
         "\"Samples\")"},
        {"/TYPE=Full", "the setup type \"Full\" is none of Typical, Minimal, Custom"},
        {"/RESTARTEXITCODE=-1", "/RESTARTEXITCODE=-1 needs a number (0 to 999999999)"},
        {"/RESTARTEXITCODE=1234567890", "/RESTARTEXITCODE=1234567890 needs a number (0 to 999999999)"},
    };
    for (const auto& c : cases) EXPECT_EQ(Chosen(c[0]), c[1]) << c[0];

    // The answer files' paths, and the restart code, which replaces only
    // "restart needed".
    const CommandRequests r =
        ParseSetupCommandLine("/SAVEINF=a.inf /loadinf=b.inf /RESTARTEXITCODE=3010", &AbsolutePathProblem).requests;
    EXPECT_EQ(r.saveAnswers + "|" + r.loadAnswers, "a.inf|b.inf");
    EXPECT_EQ(ReportedExitCode(kExitRestartNeeded, r), 3010);
    EXPECT_EQ(ReportedExitCode(kExitInstalled, r), kExitInstalled);
}

// An answer file as a run wrote it is taken back whole; the options of the
// line win over it; a file that does not fit is refused.
TEST(Answers, AnswerFilesWrittenAndTaken) {
    RecordedAnswers written{" Ann \"A\" Smith ", "Acme\r\nLtd", 1, "D:\\Notes", "Custom", "Help", "German", true};
    RecordedAnswers read;
    ASSERT_EQ(ReadAnswers(WriteAnswers(written), &read), "");
    EXPECT_EQ(read.userName + "|" + read.companyName, " Ann \"A\" Smith |Acme  Ltd");
    EXPECT_TRUE(read.installFor == 1 && read.licenseAccepted);
    CommandRequests requests = ParseSetupCommandLine("/LANG=French", &AbsolutePathProblem).requests;
    ASSERT_EQ(TakeRecordedAnswers(read, &AbsolutePathProblem, requests), "");
    EXPECT_EQ(requests.installFolder + "|" + requests.language + "|" + requests.setupType + "|" + requests.features,
              "D:\\Notes\\|French|Custom|Help");

    const char* const refused[][2] = {
        {"[Other]\r\nUserName=Ann\r\n", "holds no answers"},
        {"[Answers]\r\nInstallFor=Everyone\r\n", "neither Anyone nor OnlyForMe"},
        {"[Answers]\r\nLicenseAccepted=Maybe\r\n", "neither Yes nor No"},
        {"[Answers]\r\nSetupType=Full\r\n", "\"Full\" is none of Typical, Minimal, Custom"},
        {"[Answers]\r\nFolder=C:\\Notes\\..\\..\\WINDOWS\r\n", "relative part"},
    };
    for (const auto& c : refused) {
        RecordedAnswers answers;
        CommandRequests none;
        std::string problem = ReadAnswers(c[0], &answers);
        if (problem.empty()) problem = TakeRecordedAnswers(answers, &AbsolutePathProblem, none);
        EXPECT_NE(problem.find(c[1]), std::string::npos) << c[0] << " gave: " << problem;
    }
}

}  // namespace
}  // namespace kq
