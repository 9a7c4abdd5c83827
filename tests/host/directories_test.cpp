#include "base/directories.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kq {
namespace {

// A file system of directory names only, answering like CreateDirectory.
struct FakeDirs {
    std::set<std::string> existing;
    std::set<std::string> refused;  // creation fails for another reason
    std::vector<std::string> attempts;

    CreateDirResult Create(const std::string& path) {
        attempts.push_back(path);
        if (existing.count(path)) return CreateDirResult::Exists;
        if (refused.count(path)) return CreateDirResult::Failed;
        size_t cut = path.rfind('\\');
        std::string parent = cut == std::string::npos ? "" : path.substr(0, cut);
        if (!existing.count(parent)) return CreateDirResult::ParentMissing;
        existing.insert(path);
        return CreateDirResult::Created;
    }
    bool Run(const std::string& path) {
        return CreateDirectoryPath(path, [this](const std::string& p) { return Create(p); });
    }
};

TEST(CreateDirectoryPath, CreatesMissingLevelsInOrder) {
    FakeDirs fs;
    fs.existing = {"C:"};
    ASSERT_TRUE(fs.Run("C:\\a\\b\\c"));
    EXPECT_TRUE(fs.existing.count("C:\\a\\b\\c"));
    std::vector<std::string> expected = {"C:\\a\\b\\c", "C:\\a\\b", "C:\\a", "C:\\a\\b", "C:\\a\\b\\c"};
    EXPECT_EQ(expected, fs.attempts);
}

TEST(CreateDirectoryPath, DepthLimit) {
    struct Row { const char* path; bool created; } rows[] = {
        {"C:\\1", true},
        {"C:\\1\\2\\3\\4\\5", true},         // five missing levels: the most one call makes
        {"C:\\1\\2\\3\\4\\5\\6", false},     // six are not created
        {"C:\\1\\2\\3\\4\\5\\6\\", false},
    };
    for (const Row& row : rows) {
        FakeDirs fs;
        fs.existing = {"C:"};
        EXPECT_EQ(row.created, fs.Run(row.path)) << row.path;
        EXPECT_LE(fs.attempts.size(), static_cast<size_t>(kMaxCreateAttempts)) << row.path;
        if (!row.created) {
            EXPECT_FALSE(fs.existing.count(row.path)) << row.path;
        }
    }
}

TEST(CreateDirectoryPath, ExistingAndAwkwardPaths) {
    FakeDirs fs;
    fs.existing = {"C:", "C:\\a"};
    EXPECT_TRUE(fs.Run("C:\\a\\"));  // trailing backslash, exists already
    EXPECT_EQ(1u, fs.attempts.size());
    EXPECT_FALSE(fs.Run(""));
    EXPECT_FALSE(fs.Run("\\"));
    EXPECT_FALSE(fs.Run("nowhere"));  // no ancestor exists
    EXPECT_FALSE(fs.Run("X:\\a\\b"));
}

TEST(CreateDirectoryPath, OtherErrorsGiveUp) {
    FakeDirs fs;
    fs.existing = {"C:"};
    fs.refused = {"C:\\locked"};
    EXPECT_FALSE(fs.Run("C:\\locked\\sub"));
    EXPECT_FALSE(fs.existing.count("C:\\locked\\sub"));
}

}  // namespace
}  // namespace kq
