// The dependency order of the source tree: every #include "<folder>/..." in
// src/ and tools/ must be allowed by the kq_layer and kq_tool rows of
// cmake/layers.cmake, the same table the build links the libraries by.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kq {
namespace {

namespace fs = std::filesystem;

struct Table {
    std::map<std::string, std::set<std::string>> layers;  // src folder -> may use
    std::map<std::string, std::set<std::string>> tools;   // tools folder -> may use
    std::vector<std::string> problems;                    // the table's own faults
};

// Reads the rows "kq_layer(name used...)" and "kq_tool(name used...)" at the
// start of a line. A layer may only use layers of earlier rows, so the
// table itself points one way.
Table ReadTable(const fs::path& file) {
    Table table;
    std::ifstream in(file);
    if (!in) table.problems.push_back("cannot read " + file.string());
    const std::regex row(R"(^(kq_layer|kq_tool)\(([^)]*)\)\s*$)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        std::istringstream words(m[2].str());
        std::string name;
        words >> name;
        const bool layer = m[1] == "kq_layer";
        std::set<std::string>& uses = (layer ? table.layers : table.tools)[name];
        for (std::string used; words >> used;) {
            if (!table.layers.count(used) || (layer && used == name))
                table.problems.push_back(name + " uses " + used + ", which is not a layer below it");
            uses.insert(used);
        }
    }
    return table;
}

// The folder part of each `#include "folder/..."` of a file.
std::vector<std::string> IncludedFolders(const fs::path& file) {
    std::vector<std::string> folders;
    std::ifstream in(file);
    const std::regex include(R"(^\s*#\s*include\s*"([^"/]+)/)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, include)) folders.push_back(m[1].str());
    }
    return folders;
}

// Every include of the files under root/<folder> against the rows of `rows`;
// a folder without a row is a fault too.
void Check(const fs::path& root, const std::map<std::string, std::set<std::string>>& rows,
           const Table& table, std::vector<std::string>& problems) {
    for (const fs::directory_entry& dir : fs::directory_iterator(root)) {
        if (!dir.is_directory()) continue;
        const std::string folder = dir.path().filename().string();
        auto row = rows.find(folder);
        if (row == rows.end()) {
            problems.push_back(dir.path().string() + " has no row in cmake/layers.cmake");
            continue;
        }
        for (const fs::directory_entry& file : fs::recursive_directory_iterator(dir.path())) {
            const std::string ext = file.path().extension().string();
            if (ext != ".h" && ext != ".cpp" && ext != ".c" && ext != ".rc") continue;
            for (const std::string& used : IncludedFolders(file.path())) {
                if (!table.layers.count(used)) continue;  // not a folder of src/
                if (&rows == &table.layers && used == folder) continue;
                if (!row->second.count(used))
                    problems.push_back(file.path().string() + " includes " + used + "/, which " + folder +
                                       " may not use");
            }
        }
    }
}

TEST(IncludeOrder, EveryIncludeFollowsTheLayerTable) {
    const fs::path top(KQ_SOURCE_DIR);
    const Table table = ReadTable(top / "cmake" / "layers.cmake");
    ASSERT_GE(table.layers.size(), 2u) << "no kq_layer rows read";
    std::vector<std::string> problems = table.problems;
    Check(top / "src", table.layers, table, problems);
    Check(top / "tools", table.tools, table, problems);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

}  // namespace
}  // namespace kq
