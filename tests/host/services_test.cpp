#include "steps/services.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "fake_machines.h"
#include "install_step_test_util.h"

namespace kq {
namespace {

using steptest::SampleRunValues;
using steptest::TempLog;

TEST(ServiceKeywords, TranslateExactlyWithMildDefaults) {
    const std::pair<const char*, uint32_t> types[] = {
        {"SERVICE_WIN32_OWN_PROCESS", 0x10},
        {"SERVICE_WIN32_SHARE_PROCESS", 0x20},
        // the system accepts the interactive flag only with a process type
        {"SERVICE_INTERACTIVE_PROCESS", 0x110},
        {"service_win32_share_process", 0x10},
        {"SERVICE_WIN32_SHARE_PROCESS ", 0x10},
        {"SERVICE_KERNEL_DRIVER", 0x10},
        {"32", 0x10},
        {"", 0x10},
    };
    for (const auto& c : types) EXPECT_EQ(ServiceTypeFromKeyword(c.first), c.second) << c.first;

    const std::pair<const char*, uint32_t> starts[] = {
        {"SERVICE_BOOT_START", 0},   {"SERVICE_SYSTEM_START", 1}, {"SERVICE_AUTO_START", 2},
        {"SERVICE_DEMAND_START", 3}, {"SERVICE_DISABLED", 4},     {"SERVICE_Auto_START", 3},
        {"2", 3},                    {"", 3},
    };
    for (const auto& c : starts) EXPECT_EQ(ServiceStartFromKeyword(c.first), c.second) << c.first;

    const std::pair<const char*, uint32_t> errors[] = {
        {"SERVICE_ERROR_IGNORE", 0}, {"SERVICE_ERROR_NORMAL", 1}, {"SERVICE_ERROR_CRITICAL", 3},
        {"SERVICE_ERROR_SEVERE", 1}, {"service_error_ignore", 1}, {"", 1},
    };
    for (const auto& c : errors) EXPECT_EQ(ServiceErrorControlFromKeyword(c.first), c.second) << c.first;
}

TEST(ServiceKeywords, SystemsWithoutAServiceManager) {
    const std::pair<const char*, bool> cases[] = {
        {"95", true},   {"98", true}, {"98SE", true}, {"ME", true},   {"NT4", false},
        {"2000", false}, {"XP", false}, {"NET", false}, {"", false}, {"me", false},
    };
    for (const auto& c : cases) EXPECT_EQ(SystemLacksServices(c.first), c.second) << c.first;
}

using fakes::FakeServiceMachine;

const char kTwoServices[] =
    "[NTSERVICE]\r\nTOTAL=2\r\n"
    "A0=NotesSync\r\nB0=Northwind Notes Sync\r\nC0=SERVICE_WIN32_OWN_PROCESS\r\nD0=SERVICE_AUTO_START\r\n"
    "E0=SERVICE_ERROR_IGNORE\r\nF0=\"<InstallDir>sync.exe\" /service\r\nG0=<ProductName>\r\nH0=unused\r\n"
    "A1=NotesIndex\r\nB1=Northwind Notes Index\r\nC1=SERVICE_WIN32_SHARE_PROCESS\r\nD1=Later\r\n"
    "E1=\r\nF1=<SystemFolder>svchost.exe -k notes\r\n";

class ServiceStep : public ::testing::Test {
protected:
    void SetUp() override {
        values_ = SampleRunValues();
        hooks_.status = [this](const std::string& text) { statuses_.push_back(text); };
        hooks_.askAfterFailure = [this](const std::string& text) {
            questions_.push_back(text);
            if (answers_.empty()) return FailureChoice::kIgnore;
            FailureChoice answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        };
        hooks_.removeTemporaryFiles = [this] { ++removals_; };
        hooks_.abort = [this] { ++aborts_; };
    }

    void Run(const std::string& script, const std::string& systemName = "XP") {
        IniText ini(script);
        InstallServices(
            Script(ini), [this](const std::string& t) { return ExpandStepText(t, values_); }, systemName, machine_,
            hooks_, log_.Log());
    }

    PlaceholderValues values_;
    FakeServiceMachine machine_;
    ServiceStepHooks hooks_;
    TempLog log_;
    std::vector<std::string> statuses_;
    std::vector<std::string> questions_;
    std::vector<FailureChoice> answers_;
    int removals_ = 0;
    int aborts_ = 0;
};

TEST_F(ServiceStep, InstallsEachServiceAndLogsIt) {
    Run(kTwoServices);
    const std::vector<std::string> statuses = {"Installing Service..."};
    EXPECT_EQ(statuses_, statuses);
    ASSERT_EQ(machine_.attempts.size(), 2u);
    const ServiceSpec& sync = machine_.attempts[0];
    EXPECT_EQ(sync.name, "NotesSync");
    EXPECT_EQ(sync.displayName, "Northwind Notes Sync");
    EXPECT_EQ(sync.type, 0x10u);
    EXPECT_EQ(sync.start, 2u);
    EXPECT_EQ(sync.errorControl, 0u);
    EXPECT_EQ(sync.commandLine, "\"C:\\Program Files\\Northwind\\Notes\\sync.exe\" /service");
    const ServiceSpec& index = machine_.attempts[1];
    EXPECT_EQ(index.type, 0x20u);
    EXPECT_EQ(index.start, 3u);         // unknown start keyword: on demand
    EXPECT_EQ(index.errorControl, 1u);  // missing error keyword: normal
    EXPECT_EQ(index.commandLine, "C:\\WINDOWS\\system32\\svchost.exe -k notes");
    const std::vector<std::string> lines = {"NTSERVICE=NotesSync", "NTSERVICE=NotesIndex"};
    EXPECT_EQ(log_.Lines(), lines);
    EXPECT_TRUE(questions_.empty());
    EXPECT_EQ(aborts_, 0);
}

TEST_F(ServiceStep, FailureRetriedTwiceThenIgnored) {
    machine_.installed.insert("NotesSync");  // already there: creation fails every time
    answers_ = {FailureChoice::kRetry, FailureChoice::kRetry, FailureChoice::kIgnore};
    Run(kTwoServices);
    const std::string question = "Merrowin can't install Northwind Notes Sync service. What do you want to do ?";
    const std::vector<std::string> questions = {question, question, question};
    EXPECT_EQ(questions_, questions);
    EXPECT_EQ(machine_.attempts.size(), 4u);  // three for the first service, one for the second
    const std::vector<std::string> lines = {"NTSERVICE=NotesIndex"};
    EXPECT_EQ(log_.Lines(), lines);
    EXPECT_EQ(removals_, 0);
    EXPECT_EQ(aborts_, 0);
}

TEST_F(ServiceStep, RetrySucceedsAfterATransientFailure) {
    machine_.failures["NotesSync"] = 1;
    answers_ = {FailureChoice::kRetry};
    Run(kTwoServices);
    EXPECT_EQ(questions_.size(), 1u);
    const std::vector<std::string> lines = {"NTSERVICE=NotesSync", "NTSERVICE=NotesIndex"};
    EXPECT_EQ(log_.Lines(), lines);
}

// A package installed again finds its own service there: nothing to ask,
// and the log names it as the product's.
TEST_F(ServiceStep, OwnServiceAlreadyThereIsNoFailure) {
    machine_.inPlace["NotesSync"] = "\"C:\\Program Files\\Northwind\\Notes\\sync.exe\" /service";
    Run(kTwoServices);
    EXPECT_TRUE(questions_.empty());
    EXPECT_EQ(aborts_, 0);
    const std::vector<std::string> lines = {"NTSERVICE=NotesSync", "NTSERVICE=NotesIndex"};
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(ServiceStep, CancelRemovesTemporaryFilesSetsAbortAndGoesOn) {
    machine_.installed.insert("NotesSync");
    answers_ = {FailureChoice::kCancel};
    Run(kTwoServices);
    EXPECT_EQ(questions_.size(), 1u);
    EXPECT_EQ(removals_, 1);
    EXPECT_EQ(aborts_, 1);
    ASSERT_EQ(machine_.attempts.size(), 2u);
    EXPECT_EQ(machine_.attempts[1].name, "NotesIndex");
    const std::vector<std::string> lines = {"NTSERVICE=NotesIndex"};
    EXPECT_EQ(log_.Lines(), lines);
}

TEST_F(ServiceStep, NineteenNinetyEightFamilyShowsTheStatusOnly) {
    for (const char* system : {"98", "98SE", "ME"}) {
        statuses_.clear();
        Run(kTwoServices, system);
        const std::vector<std::string> statuses = {"Installing Service..."};
        EXPECT_EQ(statuses_, statuses) << system;
    }
    EXPECT_TRUE(machine_.attempts.empty());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(ServiceStep, PreviewShowsTheStatusAndChangesNothing) {
    hooks_.preview = true;
    Run(kTwoServices);
    const std::vector<std::string> statuses = {"Installing Service..."};
    EXPECT_EQ(statuses_, statuses);
    EXPECT_TRUE(machine_.attempts.empty());
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_EQ(aborts_, 0);
}

TEST_F(ServiceStep, UnreachableManagerIsSilent) {
    machine_.managerOpens = false;
    Run(kTwoServices);
    EXPECT_EQ(machine_.attempts.size(), 2u);
    EXPECT_TRUE(questions_.empty());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(ServiceStep, NoItemsNoStatus) {
    Run("[NTSERVICE]\r\nTOTAL=0\r\nA0=NotesSync\r\n");
    Run("[NTSERVICE]\r\nTOTAL=none\r\nA0=NotesSync\r\n");
    Run("[OTHER]\r\nTOTAL=2\r\n");
    EXPECT_TRUE(statuses_.empty());
    EXPECT_TRUE(machine_.attempts.empty());
}

}  // namespace
}  // namespace kq
