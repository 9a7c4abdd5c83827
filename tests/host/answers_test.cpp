#include "run/answers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ini_text.h"
#include "base/path_rules.h"
#include "run/command_line.h"
#include "run/script.h"
#include "run/setup_run.h"

namespace kq {
namespace {

const char kFeatures[] =
    "[SETUPTYPE]\r\nTOTAL=3\r\nFeatureName0=Program\r\nFeatureName1=Help\r\nFeatureName2=Samples\r\n"
    "[SETUPFEATURES]\r\nTOTAL=3\r\n0=Program\r\n1=Help\r\n2=Samples\r\n";

// The features a run installs after the command line's choices, as "P,H,S"
// initials, or the problem; the type's name after a colon.
std::string Chosen(const char* arguments) {
    const IniText ini(kFeatures);
    SetupRun run;
    run.Requests() = ParseSetupCommandLine(arguments, &AbsolutePathProblem).requests;
    run.Features() = LoadFeatureTable(Script(ini));
    const std::string problem = run.TakeRequestedAnswers(LoadFeatureTexts(Script(ini)));
    if (!problem.empty()) return problem;
    std::string installed;
    for (int i = 0; i < run.Features().Count(); ++i) {
        if (!run.Features().IsDeselected(run.Features().At(i).name)) installed += run.Features().At(i).name[0];
    }
    return installed + ":" + SetupTypeName(run.Answers().setupType);
}

TEST(Answers, TypeAndFeaturesFromTheCommandLine) {
    const char* const cases[][2] = {
        {"", "PHS:"},
        {"/TYPE=Minimal", "PHS:Minimal"},
        {"/type=custom /FEATURES=help", "H:Custom"},
        {"\"/FEATURES=Program, Samples\"", "PS:"},
        {"/FEATURES=!Help", "PS:"},
        {"/FEATURES=!Help,!Samples,!Program", ":"},
        {"/FEATURES=Help,!Help", ":"},
        {"/FEATURES=,Help,,", "H:"},
        {"/FEATURES=Help,Manual", "the package has no feature \"Manual\" (its features: \"Program\", \"Help\", "
                                  "\"Samples\")"},
    };
    for (const auto& c : cases) EXPECT_EQ(Chosen(c[0]), c[1]) << c[0];
}

// An answer file as another run wrote it is taken back whole; the options
// of the line win over it; a file that does not fit is refused.
TEST(Answers, AnswerFilesWrittenAndTaken) {
    RecordedAnswers written;
    written.userName = " Ann \"A\" Smith ";
    written.companyName = "Acme\r\nLtd";
    written.installFor = 1;
    written.folder = "D:\\Apps\\Notes\\";
    written.setupType = "Custom";
    written.features = "Help,Samples";
    written.language = "German";
    written.licenseAccepted = true;
    RecordedAnswers read;
    ASSERT_EQ(ReadAnswers(WriteAnswers(written), &read), "");
    EXPECT_EQ(read.userName, written.userName);
    EXPECT_EQ(read.companyName, "Acme  Ltd");
    EXPECT_EQ(read.installFor, 1);
    EXPECT_TRUE(read.licenseAccepted);
    CommandRequests requests = ParseSetupCommandLine("/LANG=French /D=E:\\Notes", &AbsolutePathProblem).requests;
    ASSERT_EQ(TakeRecordedAnswers(read, &AbsolutePathProblem, requests), "");
    EXPECT_EQ(requests.installFolder, "E:\\Notes\\");
    EXPECT_EQ(requests.language, "French");
    EXPECT_EQ(requests.setupType + "|" + requests.features, "Custom|Help,Samples");

    const char* const refused[][2] = {
        {"[Other]\r\nUserName=Ann\r\n", "holds no answers"},
        {"[Answers]\r\nInstallFor=Everyone\r\n", "neither Anyone nor OnlyForMe"},
        {"[Answers]\r\nLicenseAccepted=Maybe\r\n", "neither Yes nor No"},
        {"[Answers]\r\nSetupType=Full\r\n", "\"Full\" is none of Typical, Minimal, Custom"},
        {"[Answers]\r\nFolder=Notes\r\n", "not an absolute path"},
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

// What a run writes names the features it installs and takes back the same.
TEST(Answers, FeatureListOfATable) {
    const IniText ini(kFeatures);
    const std::vector<std::string> texts = LoadFeatureTexts(Script(ini));
    FeatureTable table = LoadFeatureTable(Script(ini));
    EXPECT_EQ(FeatureListOf(texts, table), "Program,Help,Samples");
    table.SetState("Help", kFeatureNotInstalled);
    EXPECT_EQ(FeatureListOf(texts, table), "Program,Samples");
    for (const std::string& text : texts) table.SetState(text, kFeatureNotInstalled);
    EXPECT_EQ(FeatureListOf(texts, table), "!Program,!Help,!Samples");
}

}  // namespace
}  // namespace kq
