#include "cabinet_join.h"

#include <cstdint>

namespace kq {
namespace {

// Offsets in the cabinet header.
constexpr size_t kHeaderSize = 36;
constexpr size_t kCabinetSize = 8;
constexpr size_t kFirstFile = 16;
constexpr size_t kFolderCount = 26;
constexpr size_t kFileCount = 28;
constexpr size_t kFlags = 30;
constexpr size_t kFolderEntrySize = 8;
constexpr size_t kFileEntryFixed = 16;
constexpr uint32_t kLargestCabinet = 0x7FFFFFFF;

uint16_t Get16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
uint32_t Get32(const std::string& b, size_t at) { return uint32_t(Get16(b, at)) | uint32_t(Get16(b, at + 2)) << 16; }
void Put16(std::string& b, size_t at, uint16_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v & 0xFFFF));
    Put16(b, at + 2, uint16_t(v >> 16));
}

struct Part {
    std::string files;   // the file table, folder index still 0
    uint16_t fileCount = 0;
    uint16_t blockCount = 0;
    uint16_t compression = 0;
    std::string data;    // the data blocks
};

Status ReadPart(const std::string& cab, size_t number, Part* part) {
    const std::string which = "cabinet part " + std::to_string(number);
    if (cab.size() < kHeaderSize + kFolderEntrySize || cab.compare(0, 4, "MSCF") != 0)
        return Status::Error(which + " is no cabinet");
    if (Get32(cab, kCabinetSize) != cab.size() || Get16(cab, kFolderCount) != 1 || Get16(cab, kFlags) != 0)
        return Status::Error(which + " is not a whole cabinet of one folder");
    part->fileCount = Get16(cab, kFileCount);
    const uint32_t dataStart = Get32(cab, kHeaderSize);
    part->blockCount = Get16(cab, kHeaderSize + 4);
    part->compression = Get16(cab, kHeaderSize + 6);
    const size_t table = Get32(cab, kFirstFile);
    if (table != kHeaderSize + kFolderEntrySize) return Status::Error(which + " has an unexpected layout");
    size_t at = table;
    for (uint16_t i = 0; i < part->fileCount; ++i) {
        if (at + kFileEntryFixed >= cab.size()) return Status::Error(which + " has a cut file table");
        const size_t end = cab.find('\0', at + kFileEntryFixed);
        if (end == std::string::npos || Get16(cab, at + 8) != 0) return Status::Error(which + " has a bad file entry");
        at = end + 1;
    }
    if (at != dataStart || dataStart > cab.size()) return Status::Error(which + " has an unexpected layout");
    part->files = cab.substr(table, at - table);
    part->data = cab.substr(dataStart);
    return Status::Ok();
}

}  // namespace

Status JoinCabinets(const std::vector<std::string>& parts, std::string* joined) {
    if (parts.empty() || parts.size() > 0xFFFF) return Status::Error("a cabinet needs 1 to 65535 folders");
    std::vector<Part> read(parts.size());
    size_t fileCount = 0;
    size_t tables = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        Status st = ReadPart(parts[i], i + 1, &read[i]);
        if (!st) return st;
        fileCount += read[i].fileCount;
        tables += read[i].files.size();
    }
    if (fileCount > 0xFFFF) return Status::Error("a cabinet holds at most 65535 files");

    std::string out(kHeaderSize + kFolderEntrySize * parts.size(), '\0');
    // The header as the first part has it (signature, version, set id),
    // with the counts of the whole.
    out.replace(0, kHeaderSize, parts[0], 0, kHeaderSize);
    Put32(out, kFirstFile, uint32_t(out.size()));
    Put16(out, kFolderCount, uint16_t(parts.size()));
    Put16(out, kFileCount, uint16_t(fileCount));
    for (size_t i = 0; i < read.size(); ++i) {
        std::string files = read[i].files;
        for (size_t at = 0; at < files.size(); at = files.find('\0', at + kFileEntryFixed) + 1)
            Put16(files, at + 8, uint16_t(i));
        out += files;
    }
    size_t data = out.size();
    for (size_t i = 0; i < read.size(); ++i) {
        const size_t entry = kHeaderSize + kFolderEntrySize * i;
        if (data > kLargestCabinet) return Status::Error("the cabinet would be larger than 2 GB");
        Put32(out, entry, uint32_t(data));
        Put16(out, entry + 4, read[i].blockCount);
        Put16(out, entry + 6, read[i].compression);
        data += read[i].data.size();
    }
    if (data > kLargestCabinet) return Status::Error("the cabinet would be larger than 2 GB");
    out.reserve(data);
    for (const Part& part : read) out += part.data;
    Put32(out, kCabinetSize, uint32_t(out.size()));
    *joined = std::move(out);
    return Status::Ok();
}

}  // namespace kq
