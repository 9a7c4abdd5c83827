#include "record/uninstall_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using kq::UninstallLog;
namespace logkind = kq::logkind;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

class UninstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kq_uninstall_log_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/uninstall.log";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        std::remove((dir_ + "/later/uninstall.log").c_str());
        ::rmdir((dir_ + "/later").c_str());
        ::rmdir(dir_.c_str());
    }
    std::string dir_;
    std::string path_;
};

struct LineCase {
    const char* kind;
    const char* value;
    const char* line;
};

TEST(FormatLogLineTest, KindEqualsValueCrLf) {
    const LineCase cases[] = {
        {"FILE", "C:\\Program Files\\Product\\app.exe", "FILE=C:\\Program Files\\Product\\app.exe\r\n"},
        {"TOTALFILE", "12", "TOTALFILE=12\r\n"},
        {"REGVAL", "HKEY_CURRENT_USER\\Software\\P\\a=b", "REGVAL=HKEY_CURRENT_USER\\Software\\P\\a=b\r\n"},
        {"DIR", "", "DIR=\r\n"},
        {"DIR", nullptr, "DIR=\r\n"},
        {"REMOVEALL", "Yes", "REMOVEALL=Yes\r\n"},
        {"FILE", "  spaced  ", "FILE=  spaced  \r\n"},
        {"FILE", "\"quoted\"", "FILE=\"quoted\"\r\n"},
        // Refused: would not be one line, or the kind would not read back.
        {"REGVAL", "HKEY_LOCAL_MACHINE\\S\\x\r\nFILE=C:\\boot.ini", ""},
        {"FILE", "a\nb", ""},
        {"FILE", "a\rb", ""},
        {"", "x", ""},
        {nullptr, "x", ""},
        {"A=B", "x", ""},
        {"A\r\n", "x", ""},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(kq::FormatLogLine(c.kind, c.value), c.line) << (c.kind ? c.kind : "(null)");
    }
}

TEST(FormatLogLineTest, KindsAreTheLogsNames) {
    EXPECT_STREQ(logkind::kTotalFile, "TOTALFILE");
    EXPECT_STREQ(logkind::kDir, "DIR");
    EXPECT_STREQ(logkind::kRun3rd, "RUN3RD");
    EXPECT_STREQ(logkind::kRun3rdCmd, "RUN3RDCMD");
    EXPECT_STREQ(logkind::kRemoveAll, "REMOVEALL");
    EXPECT_STREQ(logkind::kFile, "FILE");
    EXPECT_STREQ(logkind::kShortcut, "SHORTCUT");
    EXPECT_STREQ(logkind::kRegKey, "REGKEY");
    EXPECT_STREQ(logkind::kRegVal, "REGVAL");
    EXPECT_STREQ(logkind::kRemKey, "REMKEY");
    EXPECT_STREQ(logkind::kNtService, "NTSERVICE");
}

TEST_F(UninstallLogTest, AppendsLinesInOrderAndEachIsOnDiskAtOnce) {
    UninstallLog log(path_);
    EXPECT_TRUE(log.Append(logkind::kTotalFile, "2"));
    EXPECT_TRUE(log.IsOpen());
    // Flushed per line: another reader sees it while the log is still open.
    EXPECT_EQ(ReadAll(path_), "TOTALFILE=2\r\n");
    EXPECT_TRUE(log.Append(logkind::kDir, std::string("C:\\P")));
    EXPECT_TRUE(log.Append(logkind::kFile, "C:\\P\\a=b.txt"));
    EXPECT_FALSE(log.Append(logkind::kFile, "C:\\P\\x\r\nDIR=C:\\"));
    EXPECT_EQ(ReadAll(path_), "TOTALFILE=2\r\nDIR=C:\\P\r\nFILE=C:\\P\\a=b.txt\r\n");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(ReadAll(path_), "TOTALFILE=2\r\nDIR=C:\\P\r\nFILE=C:\\P\\a=b.txt\r\n");
}

TEST_F(UninstallLogTest, RemoveLeftoverStartsAFreshLog) {
    {
        UninstallLog first(path_);
        first.Append(logkind::kFile, "old");
    }
    EXPECT_EQ(ReadAll(path_), "FILE=old\r\n");
    UninstallLog second(path_);
    EXPECT_TRUE(second.RemoveLeftover());
    EXPECT_FALSE(Exists(path_));
    second.Append(logkind::kFile, "new");
    EXPECT_EQ(ReadAll(path_), "FILE=new\r\n");
    // Removing while open closes the file first.
    EXPECT_TRUE(second.RemoveLeftover());
    EXPECT_FALSE(Exists(path_));
    EXPECT_TRUE(second.RemoveLeftover());  // nothing there is fine
}

TEST_F(UninstallLogTest, LeftoverThatCannotBeRemovedIsNeverAddedTo) {
    // A folder in the log's place cannot be removed as a file.
    ASSERT_EQ(::mkdir(path_.c_str(), 0755), 0);
    { std::ofstream(path_ + "/earlier", std::ios::binary) << "FILE=old\r\n"; }
    UninstallLog log(path_);
    EXPECT_FALSE(log.RemoveLeftover());
    EXPECT_FALSE(log.Append(logkind::kFile, "new"));
    EXPECT_EQ(log.HeldLines(), 0u);
    log.Close();
    EXPECT_EQ(ReadAll(path_ + "/earlier"), "FILE=old\r\n");
    const std::string message = kq::LeftoverLogMessage(path_);
    EXPECT_NE(message.find(path_), std::string::npos) << message;
    std::remove((path_ + "/earlier").c_str());
    ::rmdir(path_.c_str());
    // Once the leftover is gone the next run logs as usual.
    EXPECT_TRUE(log.RemoveLeftover());
    EXPECT_TRUE(log.Append(logkind::kFile, "new"));
    log.Close();
    EXPECT_EQ(ReadAll(path_), "FILE=new\r\n");
}

TEST_F(UninstallLogTest, WithoutRemoveLeftoverAnExistingLogIsAppendedTo) {
    { std::ofstream(path_, std::ios::binary) << "FILE=kept\r\n"; }
    UninstallLog log(path_);
    log.Append(logkind::kFile, "added");
    log.Close();
    EXPECT_EQ(ReadAll(path_), "FILE=kept\r\nFILE=added\r\n");
}

TEST_F(UninstallLogTest, LinesBeforeTheFolderExistsAreHeldAndWrittenFirst) {
    const std::string later = dir_ + "/later/uninstall.log";
    UninstallLog log(later);
    EXPECT_TRUE(log.Append(logkind::kTotalFile, "3"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.HeldLines(), 1u);
    ASSERT_EQ(::mkdir((dir_ + "/later").c_str(), 0755), 0);
    EXPECT_TRUE(log.Append(logkind::kDir, "C:\\P"));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(log.HeldLines(), 0u);
    EXPECT_EQ(ReadAll(later), "TOTALFILE=3\r\nDIR=C:\\P\r\n");
}

TEST_F(UninstallLogTest, CloseWritesHeldLinesWhenItCanAndDropsThemOtherwise) {
    const std::string later = dir_ + "/later/uninstall.log";
    UninstallLog log(later);
    log.Append(logkind::kTotalFile, "1");
    ASSERT_EQ(::mkdir((dir_ + "/later").c_str(), 0755), 0);
    log.Close();
    EXPECT_EQ(ReadAll(later), "TOTALFILE=1\r\n");

    UninstallLog nowhere(dir_ + "/missing/uninstall.log");
    nowhere.Append(logkind::kFile, "x");
    EXPECT_EQ(nowhere.HeldLines(), 1u);
    nowhere.Close();
    EXPECT_EQ(nowhere.HeldLines(), 0u);
    EXPECT_FALSE(Exists(dir_ + "/missing"));
}

TEST_F(UninstallLogTest, SetPathMovesToAnotherFile) {
    UninstallLog log;
    EXPECT_TRUE(log.Append(logkind::kFile, "held"));  // no path yet: held
    EXPECT_EQ(log.HeldLines(), 1u);
    log.SetPath(path_);
    log.Append(logkind::kFile, "a");
    EXPECT_EQ(log.Path(), path_);
    EXPECT_EQ(ReadAll(path_), "FILE=held\r\nFILE=a\r\n");
    const std::string other = dir_ + "/later/uninstall.log";
    ASSERT_EQ(::mkdir((dir_ + "/later").c_str(), 0755), 0);
    log.SetPath(other);
    log.Append(logkind::kDir, "b");
    EXPECT_EQ(ReadAll(path_), "FILE=held\r\nFILE=a\r\n");
    EXPECT_EQ(ReadAll(other), "DIR=b\r\n");
}

}  // namespace
