// The file list data.inf: which product files go where.
//
// The file is plain text, read whole. Lines end with CR LF and are taken in
// pairs, one pair per file:
//
//   line 1  the file's source path on the author's machine, or a web address
//           ("http:" or "ftp:" somewhere in it); the file name is the part
//           after the last backslash
//   line 2  destination*options*mask*reserved|feature
//           destination  up to the first '*'; written as the builder shows the
//                        target machine: "Destination Computer\" and then a
//                        folder, normally starting with a placeholder
//           options      decimal, up to the next '*' (bits in FileOptions)
//           mask         decimal, up to the next '*' (the file mask of the
//                        operating-system checks)
//           reserved     decimal, up to the first '|' after it; kept, unused
//           feature      the rest with every '|' removed: the name of the
//                        feature the file belongs to, or empty
//
// Numbers are read by their leading digits; text that is no number reads 0.
// Text after the last CR LF (a last line without its line break) is not a
// line, and a first line whose second line is missing adds no file. File
// name, source path, destination and feature are each kept to 454
// characters. A file's index is its position in the list, counted from 0.
//
// The directory table lists each distinct destination once, in order of
// first appearance, without trailing backslashes, compared exactly (case
// matters), at most 1600 entries. Destinations beyond that are not entered;
// the count of them is kept so the caller can tell the table is incomplete.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace kq {

constexpr size_t kMaxFileFieldLength = 454;
constexpr size_t kMaxDirectories = 1600;

// The prefix with which the builder writes every destination.
constexpr char kDestinationComputer[] = "Destination Computer\\";

struct FileRecord {
    std::string fileName;        // source path after its last backslash
    std::string sourcePath;      // first line as written
    std::string destinationDir;  // with "Destination Computer\" still on it
    std::string feature;         // bars removed; empty for no feature
    int32_t options = 0;
    int32_t fileMask = 0;
    int32_t reserved = 0;
};

// The records of a list, kept compactly: a list of many files holds one
// entry of 20 bytes per file and its source paths side by side in one
// block. The name is the end of the source; a folder, a feature or the
// numbers that repeat the record before's are kept once. Each read makes
// the record afresh, so a reference taken to one lasts as long as it.
// Records are read on one thread at a time.
class FileRecords {
public:
    class Iterator {
    public:
        Iterator(const FileRecords* records, size_t index) : m_records(records), m_index(index) {}
        FileRecord operator*() const { return (*m_records)[m_index]; }
        Iterator& operator++() {
            ++m_index;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return m_index != other.m_index; }

    private:
        const FileRecords* m_records;
        size_t m_index;
    };

    // Records go on to a spill file in blocks of this many.
    static constexpr size_t kBlockRecords = 256;

    explicit FileRecords(size_t blockRecords = kBlockRecords) : m_blockRecords(blockRecords > 0 ? blockRecords : 1) {}

    size_t size() const { return m_inMemoryFrom + m_entries.size(); }
    bool empty() const { return size() == 0; }
    // A record whose block cannot be read back from the spill file reads
    // as an empty one (no name, no source).
    FileRecord operator[](size_t index) const;
    // Each text is kept to kMaxFileFieldLength characters, as the list
    // keeps them.
    void push_back(const FileRecord& record);
    // Room for `count` records and `textBytes` of their texts, made at once
    // (for a block only, once they spill).
    void reserve(size_t count, size_t textBytes = 0);
    // Full blocks of records go on to `file` (open for reading and writing,
    // kept open by the caller for as long as the records are read), before
    // the first record is pushed: a list of many files then holds two
    // blocks in memory whatever its length. Once a block cannot be written
    // there it and every later one stay in memory.
    void SpillTo(std::FILE* file) {
        m_spill = file;
        m_spilling = file != nullptr;
    }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }

private:
    // A text's place in the text it was kept in.
    struct Span {
        uint32_t at = 0;
        uint16_t length = 0;
    };
    struct Numbers {
        int32_t options, fileMask, reserved;
    };
    static constexpr uint16_t kNameApart = 0xFFFF;
    // Written to the spill file as it is: the file is the process's own.
    struct Entry {
        uint32_t sourceAt;  // in its block's text
        uint16_t sourceLength;
        // The name is the last nameLength bytes of the source; kNameApart:
        // it is not (a source cut short), and m_namesApart has it.
        uint16_t nameLength;
        uint32_t destination;  // in m_texts
        uint32_t feature;      // in m_texts
        uint32_t numbers;      // in m_numbers
    };
    // A block on the spill file: its entries, then its text.
    struct Spilled {
        long at;
        uint32_t textLength;
    };
    static std::string_view View(const std::string& text, Span span) {
        return std::string_view(text).substr(span.at, span.length);
    }
    // The place in m_texts of `text`: `last`, when that holds the same.
    uint32_t Shared(std::string_view text, uint32_t last);
    // The records in memory, once a full block, to the spill file.
    void Spill();
    // Block `block` of the spill file into m_read; false when it cannot be read.
    bool ReadBack(size_t block) const;

    // The records from m_inMemoryFrom on, and their sources.
    std::vector<Entry> m_entries;
    std::string m_text;
    size_t m_inMemoryFrom = 0;
    // Destinations and features, of every record.
    std::string m_sharedText;
    std::vector<Span> m_texts;
    std::vector<Numbers> m_numbers;
    std::vector<std::pair<size_t, Span>> m_namesApart;  // by record, in order
    Entry m_last{};                                     // the record pushed last
    size_t m_blockRecords;
    std::FILE* m_spill = nullptr;
    bool m_spilling = false;  // until a block cannot be written
    std::vector<Spilled> m_spilled;
    // The spilled block read last.
    mutable size_t m_readBlock = SIZE_MAX;
    mutable std::vector<Entry> m_readEntries;
    mutable std::string m_readText;
};

struct FileList {
    FileRecords files;
    // Distinct destinations without trailing backslashes, at most
    // kMaxDirectories; still carrying "Destination Computer\".
    std::vector<std::string> directories;
    // Distinct destinations that did not fit into the directory table.
    size_t droppedDirectories = 0;
    // The text ends within a pair of lines, past the cipher's zero padding:
    // a list cut short, whose last files would be missing unannounced.
    bool cutShort = false;

    // The total number of files, as the uninstall log and the progress bar
    // count them.
    int32_t Total() const;
};

// `spill`, when given, as for FileRecords::SpillTo.
FileList LoadFileList(std::string_view text, std::FILE* spill = nullptr);

// The same list read a piece at a time, for a list that need not be held
// whole: Add each piece in order, then Finish.
class FileListLoader {
public:
    explicit FileListLoader(std::FILE* spill = nullptr);
    // Room for `records` records and `textBytes` of their texts, made at once.
    void Expect(size_t records, size_t textBytes) { m_list.files.reserve(records, textBytes); }
    void Add(std::string_view piece);
    // The list of every pair of lines closed so far; once.
    FileList Finish();

private:
    void Line(std::string_view line);

    FileList m_list;
    std::string m_pending;  // what follows the last line break added
    std::string m_first;    // a record's first line, until its second comes
    bool m_haveFirst = false;
};

// The options number decoded.
struct FileOptions {
    bool readOnly = false;       // 1 or 2: set read-only; neither: clear it
    bool hidden = false;         // 4
    bool system = false;         // 8
    bool mustInstall = false;    // 16: a failed copy ends the installation
    bool keepExisting = false;   // 32: an existing destination is kept
    bool notLogged = false;      // 64: no FILE entry in the uninstall log
    bool registerServer = false; // 128: run regsvr32 on it after installing
    bool expandContent = false;  // 256: expand placeholders in its text first
};

FileOptions DecodeFileOptions(int32_t options);

// Placeholder expansion, supplied by the caller (folders, product values and
// user variables).
using ExpandFn = std::function<std::string(const std::string&)>;

// `dir` without a leading "Destination Computer\" (or without the bare
// "Destination Computer" that a root destination becomes once its trailing
// backslash is gone).
std::string StripDestinationComputer(std::string_view dir);

// The folder to create for a directory-table entry: the prefix removed, then
// placeholders expanded. Empty when nothing is left.
std::string DirectoryPath(std::string_view tableEntry, const ExpandFn& expand);

// Where a local file goes: the destination without its prefix, a backslash
// unless it ends with one, the file name; placeholders expanded last.
std::string DestinationPath(const FileRecord& record, const ExpandFn& expand);

// True when the source is a web address rather than a packed file.
bool IsWebSource(std::string_view sourcePath);

// A web source split at its first '{': the address, and the condition name
// written in braces after it (empty when there is none).
struct WebSource {
    std::string address;
    std::string condition;
};
WebSource SplitWebSource(std::string_view sourcePath);

// Where a downloaded file goes: the destination folder (prefix removed, a
// backslash added when missing) and the name after the address's last '/',
// without any query or fragment; placeholders expanded. Empty when the
// address does not end in a usable file name (such as "http://host/" or
// "http://host/.."), so nothing is written over the folder itself.
std::string WebDestinationPath(const FileRecord& record, const ExpandFn& expand);

// The folder packed files are read from: the working folder in the
// temporary folder, or the source folder's "DiskImage1\" when the package is
// laid out as disk images. Ends with a backslash.
std::string PackedFileFolder(const char* tempFolder, const char* workingFolderName, const char* sourceFolder,
                             bool diskImage);

// The packed name of file `index`: "F", the index, "_", the name (F4_app.exe
// for the fifth file app.exe); its entry name in the cabinet.
std::string PackedEntryName(int32_t index, const char* fileName);
// The packed file in `packedFolder`: the folder and the packed name.
std::string PackedSourcePath(const char* packedFolder, int32_t index, const char* fileName);
// A packed name of that form: "F" (either case), digits, "_" and a name.
bool IsPackedEntryName(const std::string& name);

// A packed file is read from the packed-file folder and placed in its
// destination folder under the record's file name, so that name must be one
// plain file name (safe_name.h): a '/', a ':' or a ".." would reach outside
// both folders. An error naming the first record whose name is not; web
// files are not checked here (their name comes from the address). A list
// cut short is an error too.
Status CheckFileListWhole(const FileList& list);

// A file the package carries for setup itself (an icon, the maintenance
// program), given its path in the working folder: that path when the file is
// there, otherwise the same name in the packed-file folder, where a
// disk-image package keeps everything (it extracts nothing into the working
// folder). "" stays "".
std::string PackageSupportFile(const std::string& inWorkingFolder, const std::string& packedFileFolder,
                               const std::function<bool(const std::string&)>& isFile);

}  // namespace kq
