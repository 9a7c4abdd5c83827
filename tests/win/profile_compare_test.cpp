// IniText and ProfileFile must read what GetPrivateProfileStringA reads from
// the same bytes: host tests and fuzzers stand on IniText, setup.exe on
// ProfileFile, which lists whole sections and applies the string reader's
// rules itself.
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "base/profile_file_win.h"
#include "test_files_win.h"

namespace kq {
namespace {

using namespace std::string_literals;

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// `count` entries of about twenty characters, none named like the keys read.
std::string Filler(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "filler" + std::to_string(i) + "=some value\r\n";
    return text;
}

class ProfileCompare : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(MakeFreshTempFolder("kqprofile", &m_folder)); }

    void TearDown() override {
        for (const std::string& file : m_files) ::DeleteFileA(file.c_str());
        ::RemoveDirectoryA(m_folder.c_str());
    }

    // Each text gets a file of its own name, so the system's cache of
    // recently read files never answers for an older text.
    std::string Write(const std::string& bytes) {
        std::string path = m_folder + "case" + std::to_string(m_files.size()) + ".inf";
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        if (!bytes.empty()) ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
        EXPECT_EQ(written, bytes.size());
        m_files.push_back(path);
        return path;
    }

    static std::string SystemRead(const std::string& path, const std::string& section, const std::string& key,
                                  size_t size) {
        if (size == 0) return std::string();
        std::vector<char> buffer(size, '\0');
        DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), DWORD(size),
                                                  path.c_str());
        return std::string(buffer.data(), length < size ? length : size - 1);
    }

    // Compares every section x key x size; reports the first few differences.
    void Compare(const std::string& text, const std::vector<std::string>& sections,
                 const std::vector<std::string>& keys, const std::vector<size_t>& sizes) {
        std::string path = Write(text);
        const IniText inMemory(text);
        const ProfileFile listing(path.c_str());
        const std::pair<const char*, const ProfileReader*> readers[] = {{"IniText", &inMemory},
                                                                        {"ProfileFile", &listing}};
        for (const std::string& section : sections) {
            for (const std::string& key : keys) {
                for (size_t size : sizes) {
                    const std::string expected = SystemRead(path, section, key, size);
                    for (const auto& reader : readers) {
                        ++m_compared;
                        const std::string actual = reader.second->Read(section.c_str(), key.c_str(), size);
                        if (expected == actual || ++m_mismatches > 20) continue;
                        ADD_FAILURE() << "text \"" << Escaped(text) << "\" [" << Escaped(section) << "] "
                                      << Escaped(key) << " size " << size << ": system \"" << Escaped(expected)
                                      << "\", " << reader.first << " \"" << Escaped(actual) << "\"";
                    }
                }
            }
        }
    }

    std::string m_folder;
    std::vector<std::string> m_files;
    int m_compared = 0;
    int m_mismatches = 0;
};

TEST_F(ProfileCompare, AwkwardFiles) {
    const std::string texts[] = {
        // Case, blanks around names and values, quotes, lines without '=',
        // comment-like lines, an empty name.
        "[APPINFO]\r\na1=Product\r\n  a2  =  1.0  \r\na3=\"quoted\"\r\na4='single'\r\na5=\"unbal\r\n"
        "a6=\"\r\na7=\"\"\r\na8=\"a\"b\"\r\nnoeq\r\n;c=5\r\n=empty\r\nk=a=b\r\n",
        // Duplicate keys and duplicate sections.
        "[S]\r\nk=first\r\nK=second\r\n[s]\r\nk=other\r\nj=only in the second\r\n[T]\r\nk=t\r\n[S]\r\nq=third\r\n",
        // Entries before any header, an empty header, brackets in headers.
        "k=pre\r\n[]\r\nk=empty\r\n[ S ]\r\nk=padded\r\n[A]]\r\nk=bracket\r\n[bad\r\nk=bad\r\n[T]x\r\nk=tail\r\n",
        // Line ends: LF only, CR only, mixed, none at the end.
        "[S]\nk=lf\n  [T]  \nk = t \n",
        "[S]\rk=cr\rq=2\r",
        "[S]\r\n\r\n\n\rk=mixed\n\r[T]\r\r\nk=t",
        "\xEF\xBB\xBF[S]\r\nk=bom\r\n",
        // Zero padding that decryption leaves at the end.
        "[S]\r\nk=v\r\nq=\"abc\"  \0\0\0"s,
        "[S]\nk=v  \0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"s,
        "[S]\nk=\"v\"\0\0\0\0\n"s,
        "[S]\nk=v\n\0\0[T]\nk=t\n"s,
        "[S]\r\nk=v\r\n\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"s,
        // Blanks and other control characters around values.
        "[S]\nk=\t\x0b\x0c\x1a val \x1a\x0c\x0b\t\nq=\x01val\x7f\n",
        // Letters outside ASCII in names.
        "[\xC9T\xC9]\r\nk\xE9=acc\r\n[S]\r\nk=\xE9t\xE9\r\n",
        // Long values around the two buffer sizes.
        "[S]\r\nk=" + std::string(300, 'x') + "\r\nq=\"" + std::string(253, 'y') + "\"\r\nj=" + std::string(99, 'z') + "\r\n",
        // Sections longer than a first listing, and than the longest one
        // every system gives, with the keys asked for at their ends.
        "[S]\r\n" + Filler(300) + "k=after a long section\r\n[T]\r\nk=t\r\n",
        "[S]\r\n" + Filler(2000) + "k=\"after the longest listing\"\r\nq=x\r\n",
        "",
    };
    const std::vector<std::string> sections = {"S", "s", " S ", "T", "APPINFO", "appinfo", "", "A]", "T]x",
                                               "missing", "\xC9T\xC9", "\xC9t\xC9", "\xE9t\xE9"};
    const std::vector<std::string> keys = {"k", "K", " k ", "a1", "A1", "a2", "a3", "a4", "a5", "a6", "a7", "a8",
                                           "q", "j", "", ";c", "noeq", "missing", "k\xE9", "K\xC9"};
    const std::vector<size_t> sizes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 99, 100, 254, 255, 256, 1000};
    for (const std::string& text : texts) Compare(text, sections, keys, sizes);
    EXPECT_EQ(m_mismatches, 0) << "of " << m_compared << " reads";
}

TEST_F(ProfileCompare, RandomFiles) {
    // Texts made of the characters the reader treats specially, so odd
    // combinations turn up that nobody would think to write down.
    const char alphabet[] = {'[', ']', '=', ' ', '\t', '\r', '\n', '"', '\'', 'k', 'K', 'S', 's', '\0', ';', '\x1a', '\xE9', 'x'};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<size_t> length(0, 60);
    std::uniform_int_distribution<size_t> pick(0, sizeof(alphabet) - 1);
    const std::vector<std::string> sections = {"S", "s", "", "k"};
    const std::vector<std::string> keys = {"k", "K", "", "S", "x"};
    const std::vector<size_t> sizes = {1, 2, 3, 4, 255};
    for (int i = 0; i < 150; ++i) {
        std::string text;
        for (size_t n = length(random); n > 0; --n) text += alphabet[pick(random)];
        Compare(text, sections, keys, sizes);
    }
    EXPECT_EQ(m_mismatches, 0) << "of " << m_compared << " reads";
}

}  // namespace
}  // namespace kq
