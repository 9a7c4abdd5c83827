#include "run/file_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace {

using kq::FileList;
using kq::FileRecord;
using kq::LoadFileList;

std::string Pair(const std::string& first, const std::string& second) { return first + "\r\n" + second + "\r\n"; }

TEST(LoadFileListTest, ReadsTheFiveFieldsOfARecord) {
    FileList list = LoadFileList(Pair("C:\\Work\\Product\\bin\\app.exe",
                                      "Destination Computer\\<InstallDir>\\bin*273*6*7|Core Files|"));
    ASSERT_EQ(list.files.size(), 1u);
    const FileRecord& r = list.files[0];
    EXPECT_EQ(r.fileName, "app.exe");
    EXPECT_EQ(r.sourcePath, "C:\\Work\\Product\\bin\\app.exe");
    EXPECT_EQ(r.destinationDir, "Destination Computer\\<InstallDir>\\bin");
    EXPECT_EQ(r.options, 273);
    EXPECT_EQ(r.fileMask, 6);
    EXPECT_EQ(r.reserved, 7);
    EXPECT_EQ(r.feature, "Core Files");
    EXPECT_EQ(list.Total(), 1);
}

struct SecondLineCase {
    const char* line;
    const char* dir;
    int32_t options;
    int32_t mask;
    int32_t reserved;
    const char* feature;
};

TEST(LoadFileListTest, SplitsSecondLines) {
    const SecondLineCase cases[] = {
        {"D*1*2*3|F", "D", 1, 2, 3, "F"},
        {"D*1*2*3|", "D", 1, 2, 3, ""},
        {"D*1*2*3", "D", 1, 2, 3, ""},
        {"D*1*2*3||Fe|at|ure||", "D", 1, 2, 3, "Feature"},
        {"D*1*2", "D", 1, 2, 0, ""},
        {"D", "D", 0, 0, 0, ""},
        {"", "", 0, 0, 0, ""},
        {"***|", "", 0, 0, 0, ""},
        {"D*abc*-5*12xyz|F", "D", 0, -5, 12, "F"},
        {"D* 64 *\t8*0|F", "D", 64, 8, 0, "F"},
        {"D*99999999999*-99999999999*0|F", "D", 2147483647, -2147483647 - 1, 0, "F"},
        {"D*1*2*3*4|F", "D", 1, 2, 3, "F"},
        {"D*1*2*3|F*x", "D", 1, 2, 3, "F*x"},
    };
    for (const SecondLineCase& c : cases) {
        FileList list = LoadFileList(Pair("a.txt", c.line));
        ASSERT_EQ(list.files.size(), 1u) << c.line;
        const FileRecord& r = list.files[0];
        EXPECT_EQ(std::tie(r.destinationDir, r.options, r.fileMask, r.reserved, r.feature),
                  std::make_tuple(std::string(c.dir), c.options, c.mask, c.reserved, std::string(c.feature)))
            << c.line;
    }
}

struct FileNameCase {
    const char* first;
    const char* name;
};

TEST(LoadFileListTest, FileNameIsThePartAfterTheLastBackslash) {
    const FileNameCase cases[] = {
        {"C:\\a\\b\\c.dll", "c.dll"},
        {"c.dll", "c.dll"},
        {"C:\\a\\", ""},
        {"", ""},
        {"C:\\a/b\\c/d.txt", "c/d.txt"},
        {"http://host/dir/file.zip", "http://host/dir/file.zip"},
    };
    for (const FileNameCase& c : cases) {
        FileList list = LoadFileList(Pair(c.first, "D*0*0*0|"));
        ASSERT_EQ(list.files.size(), 1u) << c.first;
        EXPECT_EQ(list.files[0].fileName, c.name) << c.first;
        EXPECT_EQ(list.files[0].sourcePath, c.first);
    }
}

struct LineCase {
    const char* name;
    std::string text;
    size_t files;
};

TEST(LoadFileListTest, CountsOnlyCompletePairsOfClosedLines) {
    const LineCase cases[] = {
        {"empty", "", 0},
        {"one closed pair", "a\r\nD*0*0*0|\r\n", 1},
        {"last line without break", "a\r\nD*0*0*0|", 0},
        {"second pair's last line without break", "a\r\nD*0*0*0|\r\nb\r\nD*0*0*0|", 1},
        {"first line without its second", "a\r\nD*0*0*0|\r\nb\r\n", 1},
        {"lone first line", "a\r\n", 0},
        {"bare line feeds are no line ends", "a\nD*0*0*0|\n", 0},
        {"bare carriage returns are no line ends", "a\rD\r", 0},
        {"three pairs", "a\r\nD\r\nb\r\nD\r\nc\r\nD\r\n", 3},
        {"empty lines still pair", "\r\n\r\n", 1},
        {"CR CR LF", "a\r\r\nD\r\r\n", 1},
    };
    for (const LineCase& c : cases) {
        FileList list = LoadFileList(c.text);
        EXPECT_EQ(list.files.size(), c.files) << c.name;
        EXPECT_EQ(list.Total(), int32_t(c.files)) << c.name;
    }
}

TEST(LoadFileListTest, StrayCarriageReturnStaysInTheField) {
    FileList list = LoadFileList("a\r\r\nD\r\r\n");
    ASSERT_EQ(list.files.size(), 1u);
    EXPECT_EQ(list.files[0].fileName, "a\r");
    EXPECT_EQ(list.files[0].destinationDir, "D\r");
}

TEST(LoadFileListTest, NulBytesDoNotEndTheText) {
    std::string text = Pair(std::string("a\0b", 3), "D*0*0*0|") + Pair("c", "E*0*0*0|");
    FileList list = LoadFileList(text);
    ASSERT_EQ(list.files.size(), 2u);
    EXPECT_EQ(list.files[0].fileName, std::string("a\0b", 3));
    EXPECT_EQ(list.files[1].fileName, "c");
}

TEST(LoadFileListTest, CutsEachFieldAt454Characters) {
    const std::string longName(600, 'n');
    const std::string longDir(500, 'd');
    const std::string longFeature(460, 'f');
    FileList list = LoadFileList(Pair("C:\\src\\" + longName, longDir + "*0*0*0|" + longFeature));
    ASSERT_EQ(list.files.size(), 1u);
    const FileRecord& r = list.files[0];
    EXPECT_EQ(r.fileName, std::string(454, 'n'));
    EXPECT_EQ(r.sourcePath, ("C:\\src\\" + longName).substr(0, 454));
    EXPECT_EQ(r.destinationDir, std::string(454, 'd'));
    EXPECT_EQ(r.feature, std::string(454, 'f'));

    FileList exact = LoadFileList(Pair(std::string(454, 'x'), std::string(454, 'y')));
    EXPECT_EQ(exact.files[0].fileName.size(), 454u);
    EXPECT_EQ(exact.files[0].destinationDir.size(), 454u);
    FileList over = LoadFileList(Pair(std::string(455, 'x'), std::string(455, 'y')));
    EXPECT_EQ(over.files[0].fileName.size(), 454u);
    EXPECT_EQ(over.files[0].destinationDir.size(), 454u);
}

// Records read back as they were pushed (each text cut at 454
// characters), whatever they share with the record before them.
TEST(FileRecordsTest, GiveBackEachRecordAsPushed) {
    auto record = [](std::string source, std::string name, std::string dir, std::string feature, int32_t options) {
        FileRecord r;
        r.sourcePath = std::move(source);
        r.fileName = std::move(name);
        r.destinationDir = std::move(dir);
        r.feature = std::move(feature);
        r.options = options;
        r.fileMask = options * 2;
        r.reserved = -options;
        return r;
    };
    const std::string cut(600, 'c');
    const std::vector<FileRecord> pushed = {
        record("src\\a.txt", "a.txt", "D\\<InstallDir>", "", 0),
        record("src\\b.txt", "b.txt", "D\\<InstallDir>", "", 0),           // the same but the name
        record("src\\c.txt", "other.txt", "D\\<InstallDir>", "Help", 16),  // a name apart
        record("src\\" + cut, cut, "D\\" + cut, cut, 16),                  // cut: a name apart too
        record("src\\d.txt", "d.txt", "D\\<InstallDir>", "Help", 16),      // back to an earlier folder
        record("", "", "", "", 0),
        record("src\\e.txt", "", "D\\<InstallDir>", "", 7),
    };
    // Several blocks and a part of one: with a spill file, full blocks go
    // there; with one that cannot be written, they stay in memory.
    constexpr size_t kBlock = 5;
    std::vector<FileRecord> many;
    for (size_t i = 0; i < 3 * kBlock + 3; ++i) {
        many.push_back(pushed[i % pushed.size()]);
        many.back().sourcePath.insert(0, std::to_string(i));
    }
    const std::string readOnlyPath = testing::TempDir() + "kq_list_spill_read_only";
    std::fclose(std::fopen(readOnlyPath.c_str(), "wb"));
    std::FILE* spills[] = {nullptr, std::tmpfile(), std::fopen(readOnlyPath.c_str(), "rb")};
    const std::vector<FileRecord>* lists[] = {&pushed, &many};
    for (std::FILE* spill : spills) {
        for (const std::vector<FileRecord>* list : lists) {
            kq::FileRecords records(kBlock);
            records.SpillTo(spill);
            for (const FileRecord& r : *list) records.push_back(r);
            ASSERT_EQ(records.size(), list->size());
            // Back to front too: each block is read back when asked for.
            for (size_t k = 0; k < 2 * list->size(); ++k) {
                const size_t i = k < list->size() ? k : 2 * list->size() - 1 - k;
                const FileRecord got = records[i];
                const FileRecord& want = (*list)[i];
                SCOPED_TRACE(i);
                EXPECT_EQ(got.sourcePath, want.sourcePath.substr(0, 454));
                EXPECT_EQ(got.fileName, want.fileName.substr(0, 454));
                EXPECT_EQ(got.destinationDir, want.destinationDir.substr(0, 454));
                EXPECT_EQ(got.feature, want.feature.substr(0, 454));
                EXPECT_EQ(std::make_tuple(got.options, got.fileMask, got.reserved),
                          std::make_tuple(want.options, want.fileMask, want.reserved));
            }
        }
        if (spill != nullptr) std::fclose(spill);
    }
    std::remove(readOnlyPath.c_str());
}

TEST(LoadFileListTest, PiecesReadAsTheWhole) {
    const std::string text = Pair("src\\a.txt", "Destination Computer\\<InstallDir>\\*0*0*0|") +
                             Pair("b\r", "D\\x\r*1*2*3|f|g") + Pair("c", "D*16") + "\r\r\n" + Pair("lone", "D*0") +
                             "unclosed\r";
    const FileList whole = LoadFileList(text);
    ASSERT_EQ(whole.files.size(), 4u);
    for (size_t size : {1, 2, 3, 7, 64}) {
        SCOPED_TRACE(size);
        kq::FileListLoader loader;
        for (size_t at = 0; at < text.size(); at += size) loader.Add(std::string_view(text).substr(at, size));
        const FileList pieces = loader.Finish();
        ASSERT_EQ(pieces.files.size(), whole.files.size());
        for (size_t i = 0; i < whole.files.size(); ++i) {
            EXPECT_EQ(pieces.files[i].sourcePath, whole.files[i].sourcePath);
            EXPECT_EQ(pieces.files[i].destinationDir, whole.files[i].destinationDir);
            EXPECT_EQ(pieces.files[i].feature, whole.files[i].feature);
            EXPECT_EQ(pieces.files[i].options, whole.files[i].options);
        }
        EXPECT_EQ(pieces.directories, whole.directories);
        EXPECT_TRUE(pieces.cutShort);
    }
}

// A list that ends within a pair of lines lost its end (a package cut at a
// block of the cipher): refused as damaged, where its last files would
// have been left out of an installation called complete. The cipher's zero
// padding after the last line break is no text.
TEST(LoadFileListTest, AListCutShortIsRefused) {
    const std::string pair = Pair("files\\a.txt", "Destination Computer\\<InstallDir>*0*0*0|");
    const struct {
        std::string text;
        bool cutShort;
    } cases[] = {
        {"", false},
        {pair, false},
        {pair + std::string(15, '\0'), false},
        {pair + "files\\b.txt\r\n", true},
        {pair + "files\\b.txt\r\nDestination Comp", true},
        {pair.substr(0, pair.size() - 2), true},
        {pair + "x" + std::string(3, '\0'), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        const FileList list = LoadFileList(c.text);
        EXPECT_EQ(list.cutShort, c.cutShort);
        const kq::Status checked = kq::CheckFileListWhole(list);
        EXPECT_EQ(checked.ok(), !c.cutShort);
        if (c.cutShort) EXPECT_NE(checked.message().find("ends in the middle"), std::string::npos);
    }
}

TEST(LoadFileListTest, FeatureIsCutAfterTheBarsAreRemoved) {
    // 454 letters with bars between them: the bars do not count.
    std::string feature;
    for (int i = 0; i < 454; ++i) feature += "f|";
    FileList list = LoadFileList(Pair("a", "D*0*0*0|" + feature));
    EXPECT_EQ(list.files[0].feature, std::string(454, 'f'));
}

TEST(DirectoryTableTest, DistinctDestinationsInOrderOfFirstAppearance) {
    std::string text = Pair("a", "Destination Computer\\<InstallDir>\\bin*0*0*0|") +
                       Pair("b", "Destination Computer\\<InstallDir>*0*0*0|") +
                       Pair("c", "Destination Computer\\<InstallDir>\\bin\\*0*0*0|") +
                       Pair("d", "Destination Computer\\<InstallDir>\\BIN*0*0*0|") +
                       Pair("e", "Destination Computer\\<InstallDir>\\bin\\\\*0*0*0|") +
                       Pair("f", "Destination Computer\\<InstallDir>\\*0*0*0|");
    FileList list = LoadFileList(text);
    ASSERT_EQ(list.files.size(), 6u);
    const std::vector<std::string> expected = {
        "Destination Computer\\<InstallDir>\\bin",
        "Destination Computer\\<InstallDir>",
        "Destination Computer\\<InstallDir>\\BIN",
    };
    EXPECT_EQ(list.directories, expected);
    EXPECT_EQ(list.droppedDirectories, 0u);
    // The records keep their destinations as written.
    EXPECT_EQ(list.files[2].destinationDir, "Destination Computer\\<InstallDir>\\bin\\");
}

TEST(DirectoryTableTest, StopsAt1600EntriesAndCountsTheRest) {
    std::string text;
    for (int i = 0; i < 1700; ++i) text += Pair("f" + std::to_string(i), "D\\" + std::to_string(i) + "*0*0*0|");
    // Repeats of entries inside and outside the table.
    text += Pair("again", "D\\5\\*0*0*0|");
    text += Pair("again", "D\\1650*0*0*0|");
    FileList list = LoadFileList(text);
    EXPECT_EQ(list.files.size(), 1702u);
    ASSERT_EQ(list.directories.size(), kq::kMaxDirectories);
    EXPECT_EQ(list.directories.front(), "D\\0");
    EXPECT_EQ(list.directories.back(), "D\\1599");
    EXPECT_EQ(list.droppedDirectories, 100u);
}

TEST(DirectoryTableTest, ExactlyFullTableDropsNothing) {
    std::string text;
    for (int i = 0; i < 1600; ++i) text += Pair("f", "D\\" + std::to_string(i) + "*0*0*0|");
    text += Pair("f", "D\\0*0*0*0|");
    FileList list = LoadFileList(text);
    EXPECT_EQ(list.directories.size(), 1600u);
    EXPECT_EQ(list.droppedDirectories, 0u);
}

struct OptionsCase {
    int32_t options;
    bool readOnly, hidden, system, mustInstall, keepExisting, notLogged, registerServer, expandContent;
};

TEST(DecodeFileOptionsTest, Bits) {
    const OptionsCase cases[] = {
        {0, false, false, false, false, false, false, false, false},
        {1, true, false, false, false, false, false, false, false},
        {2, true, false, false, false, false, false, false, false},
        {3, true, false, false, false, false, false, false, false},
        {4, false, true, false, false, false, false, false, false},
        {8, false, false, true, false, false, false, false, false},
        {16, false, false, false, true, false, false, false, false},
        {32, false, false, false, false, true, false, false, false},
        {64, false, false, false, false, false, true, false, false},
        {128, false, false, false, false, false, false, true, false},
        {256, false, false, false, false, false, false, false, true},
        {511, true, true, true, true, true, true, true, true},
        {512, false, false, false, false, false, false, false, false},
        {-1, true, true, true, true, true, true, true, true},
        {144, false, false, false, true, false, false, true, false},
    };
    for (const OptionsCase& c : cases) {
        kq::FileOptions o = kq::DecodeFileOptions(c.options);
        EXPECT_EQ(std::tie(o.readOnly, o.hidden, o.system, o.mustInstall, o.keepExisting, o.notLogged, o.registerServer,
                           o.expandContent),
                  std::tie(c.readOnly, c.hidden, c.system, c.mustInstall, c.keepExisting, c.notLogged, c.registerServer,
                           c.expandContent))
            << c.options;
    }
}

std::string Expand(const std::string& text) {
    std::string out = text;
    const std::string key = "<InstallDir>";
    for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at)) {
        out.replace(at, key.size(), "C:\\Program Files\\Product");
    }
    return out;
}

struct DestinationCase {
    const char* dir;
    const char* name;
    const char* path;
};

TEST(DestinationPathTest, RemovesPrefixAddsBackslashAndExpandsLast) {
    const DestinationCase cases[] = {
        {"Destination Computer\\<InstallDir>\\bin", "app.exe", "C:\\Program Files\\Product\\bin\\app.exe"},
        {"Destination Computer\\<InstallDir>\\bin\\", "app.exe", "C:\\Program Files\\Product\\bin\\app.exe"},
        {"Destination Computer\\<InstallDir>", "a.txt", "C:\\Program Files\\Product\\a.txt"},
        {"<InstallDir>\\x", "a.txt", "C:\\Program Files\\Product\\x\\a.txt"},
        {"C:\\Fixed", "a.txt", "C:\\Fixed\\a.txt"},
        // Only a leading prefix is the builder's; a folder of that name further in stays.
        {"Destination Computer\\<InstallDir>\\Destination Computer\\", "a", "C:\\Program Files\\Product\\Destination Computer\\a"},
        {"destination computer\\<InstallDir>", "a", "destination computer\\C:\\Program Files\\Product\\a"},
        {"Destination Computer\\", "a", ""},
        {"Destination Computer", "a", ""},
        {"", "a", ""},
    };
    for (const DestinationCase& c : cases) {
        FileRecord r;
        r.destinationDir = c.dir;
        r.fileName = c.name;
        EXPECT_EQ(kq::DestinationPath(r, Expand), c.path) << c.dir;
    }
}

TEST(DestinationPathTest, PlaceholderSpellingAcrossTheJoinIsExpanded) {
    // Expansion runs on the whole path, after the join.
    FileRecord r;
    r.destinationDir = "Destination Computer\\<Install";
    r.fileName = "Dir>";
    std::string seen;
    kq::DestinationPath(r, [&](const std::string& s) {
        seen = s;
        return s;
    });
    EXPECT_EQ(seen, "<Install\\Dir>");
}

TEST(DirectoryPathTest, TableEntries) {
    const DestinationCase cases[] = {
        {"Destination Computer\\<InstallDir>\\bin", "", "C:\\Program Files\\Product\\bin"},
        {"Destination Computer\\<InstallDir>", "", "C:\\Program Files\\Product"},
        {"Destination Computer", "", ""},
        {"", "", ""},
        {"<InstallDir>", "", "C:\\Program Files\\Product"},
    };
    for (const DestinationCase& c : cases) EXPECT_EQ(kq::DirectoryPath(c.dir, Expand), c.path) << c.dir;
}

TEST(WebSourceTest, RecognisesAddresses) {
    EXPECT_TRUE(kq::IsWebSource("http://host/a.zip"));
    EXPECT_TRUE(kq::IsWebSource("ftp://host/a.zip"));
    EXPECT_TRUE(kq::IsWebSource("  http:x"));
    EXPECT_FALSE(kq::IsWebSource("C:\\src\\a.zip"));
    EXPECT_FALSE(kq::IsWebSource("https://host/a.zip"));  // no "http:" in it
    EXPECT_FALSE(kq::IsWebSource("HTTP://host/a.zip"));
    EXPECT_FALSE(kq::IsWebSource(""));
}

struct SplitCase {
    const char* source;
    const char* address;
    const char* condition;
};

TEST(WebSourceTest, SplitsTheConditionOff) {
    const SplitCase cases[] = {
        {"http://h/a.zip", "http://h/a.zip", ""},
        {"http://h/a.zip{Cond}", "http://h/a.zip", "Cond"},
        {"http://h/a.zip{Cond", "http://h/a.zip", "Cond"},
        {"http://h/a.zip{}", "http://h/a.zip", ""},
        {"http://h/a.zip{A}{B}", "http://h/a.zip", "A"},
        {"{X}", "", "X"},
    };
    for (const SplitCase& c : cases) {
        kq::WebSource s = kq::SplitWebSource(c.source);
        EXPECT_EQ(s.address, c.address) << c.source;
        EXPECT_EQ(s.condition, c.condition) << c.source;
    }
}

struct WebDestinationCase {
    const char* source;
    const char* dir;
    const char* path;
};

TEST(WebSourceTest, DestinationIsTheFolderAndTheLastAddressPart) {
    const WebDestinationCase cases[] = {
        {"http://h/d/a.zip", "Destination Computer\\<InstallDir>", "C:\\Program Files\\Product\\a.zip"},
        {"http://h/d/a.zip", "Destination Computer\\<InstallDir>\\", "C:\\Program Files\\Product\\a.zip"},
        {"http://h/d/a.zip{Cond}", "Destination Computer\\<InstallDir>", "C:\\Program Files\\Product\\a.zip"},
        {"http://h/d/a.zip?x=1#top", "Destination Computer\\<InstallDir>", "C:\\Program Files\\Product\\a.zip"},
        {"http://h/d/", "Destination Computer\\<InstallDir>", ""},
        {"http://h/..", "Destination Computer\\<InstallDir>", ""},
        {"http://h/d/nul", "Destination Computer\\<InstallDir>", ""},
        {"http:a.zip", "Destination Computer\\<InstallDir>", ""},
        {"http://h/d/a.zip", "Destination Computer\\", ""},
    };
    for (const WebDestinationCase& c : cases) {
        FileRecord r;
        r.sourcePath = c.source;
        r.destinationDir = c.dir;
        EXPECT_EQ(kq::WebDestinationPath(r, Expand), c.path) << c.source << " " << c.dir;
    }
}

TEST(PackedNamesTest, FifthFileAppExeIsF4) {
    FileList list;
    std::string text;
    const char* names[] = {"a.txt", "b.txt", "c.txt", "d.txt", "app.exe"};
    for (const char* n : names) text += Pair(std::string("C:\\src\\") + n, "Destination Computer\\<InstallDir>*0*0*0|");
    list = LoadFileList(text);
    ASSERT_EQ(list.files.size(), 5u);
    std::string folder = kq::PackedFileFolder("C:\\TEMP\\", "kq142305", "D:\\pkg\\", false);
    EXPECT_EQ(folder, "C:\\TEMP\\kq142305\\");
    EXPECT_EQ(kq::PackedSourcePath(folder.c_str(), 4, list.files[4].fileName.c_str()),
              "C:\\TEMP\\kq142305\\F4_app.exe");
}

struct FolderCase {
    const char* temp;
    const char* work;
    const char* source;
    bool diskImage;
    const char* folder;
};

TEST(PackedNamesTest, FolderFollowsTheDiskImageFlag) {
    const FolderCase cases[] = {
        {"C:\\TEMP\\", "kq000000", "D:\\pkg\\", false, "C:\\TEMP\\kq000000\\"},
        {"C:\\TEMP", "kq000000", "D:\\pkg\\", false, "C:\\TEMP\\kq000000\\"},
        {"C:\\TEMP\\", "kq000000", "D:\\pkg\\", true, "D:\\pkg\\DiskImage1\\"},
        {"C:\\TEMP\\", "kq000000", "D:\\pkg", true, "D:\\pkg\\DiskImage1\\"},
        {"", "kq000000", "", true, "\\DiskImage1\\"},
    };
    for (const FolderCase& c : cases) {
        EXPECT_EQ(kq::PackedFileFolder(c.temp, c.work, c.source, c.diskImage), c.folder) << c.temp << c.source;
    }
    EXPECT_EQ(kq::PackedSourcePath("D:\\pkg\\DiskImage1\\", 0, "x"), "D:\\pkg\\DiskImage1\\F0_x");
    EXPECT_EQ(kq::PackedSourcePath("W\\", 12345, ""), "W\\F12345_");
}

// Which cabinet entries are product files, left in the cabinet at start-up.
TEST(PackedNamesTest, PackedEntryNamesAreTheProductFiles) {
    const struct { const char* name; bool packed; } cases[] = {
        {"F0_app.exe", true}, {"f12_readme.txt", true}, {"F4_a", true},
        {"F_app.exe", false}, {"F0_", false}, {"F0app.exe", false}, {"G0_app.exe", false},
        {"setup.bmp", false}, {"kqexec.exe", false}, {"Fonts.txt", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(kq::IsPackedEntryName(c.name), c.packed) << c.name;
}

TEST(PackedNamesTest, NamesThatAreNoPlainFileNameAreRefused) {
    const struct { const char* firstLine; bool accepted; } cases[] = {
        {"files\\bin\\app.exe", true},
        {"C:\\files\\read me.txt", true},
        {"files\\a/../../acme_outside.txt", false},
        {"files\\sub/app.exe", false},
        {"files\\..", false},
        {"files\\", false},
        {"files\\c:app.exe", false},
        {"files\\nul.txt", false},
        {"http://example.com/a/../b.zip", true},  // web files take their name from the address
    };
    for (const auto& c : cases) {
        FileList list = LoadFileList(Pair("files\\ok.txt", "Destination Computer\\<InstallDir>*0*0*0|") +
                                     Pair(c.firstLine, "Destination Computer\\<InstallDir>*0*0*0|"));
        ASSERT_EQ(list.files.size(), 2u) << c.firstLine;
        kq::Status checked = kq::CheckFileListWhole(list);
        EXPECT_EQ(checked.ok(), c.accepted) << c.firstLine;
        if (!c.accepted) {
            EXPECT_NE(checked.message().find(c.firstLine), std::string::npos) << checked.message();
        }
    }
}

}  // namespace
