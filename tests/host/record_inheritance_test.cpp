// The record after a run over an earlier installation of the product.
#include <string>

#include <gtest/gtest.h>

#include "record/install_record.h"
#include "record/record_inheritance.h"

namespace kq {
namespace {

std::string Merge(const std::string& earlier, const std::string& current) {
    const ParsedRecord a = ParseRecord("KQR\t1\n" + earlier);
    const ParsedRecord b = ParseRecord("KQR\t1\n" + current);
    EXPECT_TRUE(a.refused.empty() && b.refused.empty());
    std::string text = FormatRecord(InheritEarlierRecord(a.entries, b.entries));
    text = text.substr(text.find('\n') + 1);
    std::string out;
    for (char c : text) if (c != '\r') out += c;
    return out;
}

TEST(RecordInheritance, TheProductKeepsWhatItMadeBefore) {
    struct Case {
        const char* what;
        const char* earlier;
        const char* current;
        const char* merged;
    };
    const std::string h1 = std::string(64, 'a'), h2 = std::string(64, 'b');
    const Case cases[] = {
        {"a file the product made and the run replaced is the product's, as the run left it",
         "FILE\tnew\tC:\\App\\a.exe\t#1\t4\n", "FILE\treplaced\tC:\\APP\\A.EXE\t#2\t5\n",
         "FILE\tnew\tC:\\APP\\A.EXE\t#2\t5\n"},
        {"a file the product made and the run kept stays as the earlier run recorded it",
         "FILE\tnew\tC:\\App\\a.exe\t#1\t4\n", "FILE\tkept\tC:\\App\\a.exe\t\t\n",
         "FILE\tnew\tC:\\App\\a.exe\t#1\t4\n"},
        {"a file the machine had stays the machine's",
         "FILE\treplaced\tC:\\App\\a.exe\t#1\t4\n", "FILE\treplaced\tC:\\App\\a.exe\t#2\t5\n",
         "FILE\treplaced\tC:\\App\\a.exe\t#2\t5\n"},
        {"folders, keys and services the earlier run created are listed once",
         "DIR\tC:\\App\nKEY\tHKEY_CURRENT_USER\\Software\\App\nSERVICE\tAppSvc\n",
         "DIR\tC:\\App\\\nSERVICE\tAppSvc\n",
         "DIR\tC:\\App\nKEY\tHKEY_CURRENT_USER\\Software\\App\nSERVICE\tAppSvc\n"},
        {"a value both runs wrote goes back to what the machine had",
         "VALUE\tHKEY_CURRENT_USER\\Software\\App\tMode\t-\t1:6100\n",
         "VALUE\tHKEY_CURRENT_USER\\Software\\App\tMode\t1:6100\t1:6200\n",
         "VALUE\tHKEY_CURRENT_USER\\Software\\App\tMode\t-\t1:6200\n"},
        {"what only one of the runs did is kept, the earlier first",
         "FILE\tnew\tC:\\App\\old.dll\t#1\t4\n", "FILE\tnew\tC:\\App\\new.dll\t#2\t5\n",
         "FILE\tnew\tC:\\App\\old.dll\t#1\t4\nFILE\tnew\tC:\\App\\new.dll\t#2\t5\n"},
        {"each run's shared count is given back",
         "SHARED\tC:\\WINDOWS\\system32\\x.dll\t0\n", "SHARED\tC:\\WINDOWS\\system32\\x.dll\t1\n",
         "SHARED\tC:\\WINDOWS\\system32\\x.dll\t0\nSHARED\tC:\\WINDOWS\\system32\\x.dll\t1\n"},
    };
    for (const Case& c : cases) {
        std::string earlier = c.earlier, current = c.current, merged = c.merged;
        for (std::string* text : {&earlier, &current, &merged}) {
            for (size_t at; (at = text->find("#1")) != std::string::npos;) text->replace(at, 2, h1);
            for (size_t at; (at = text->find("#2")) != std::string::npos;) text->replace(at, 2, h2);
        }
        EXPECT_EQ(Merge(earlier, current), merged) << c.what;
    }
}

}  // namespace
}  // namespace kq
