// Feeds arbitrary bytes to the file-list reader and checks the guarantees the
// install worker relies on: bounded fields and table, distinct table entries,
// and path helpers that never fail on what the reader produced.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/safe_name.h"
#include "run/file_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kq::FileList list = kq::LoadFileList(text);

    if (list.directories.size() > kq::kMaxDirectories) std::abort();
    for (size_t i = 0; i < list.directories.size(); ++i) {
        const std::string& dir = list.directories[i];
        if (!dir.empty() && dir.back() == '\\') std::abort();
        for (size_t j = 0; j < i; ++j) {
            if (list.directories[j] == dir) std::abort();
        }
    }
    if (list.droppedDirectories > 0 && list.directories.size() != kq::kMaxDirectories) std::abort();

    const kq::ExpandFn identity = [](const std::string& s) { return s; };
    for (size_t i = 0; i < list.files.size(); ++i) {
        const kq::FileRecord& r = list.files[i];
        if (r.fileName.size() > kq::kMaxFileFieldLength || r.sourcePath.size() > kq::kMaxFileFieldLength ||
            r.destinationDir.size() > kq::kMaxFileFieldLength || r.feature.size() > kq::kMaxFileFieldLength) {
            std::abort();
        }
        if (r.feature.find('|') != std::string::npos) std::abort();
        kq::DecodeFileOptions(r.options);
        kq::DestinationPath(r, identity);
        std::string web = kq::WebDestinationPath(r, identity);
        if (!web.empty() && !kq::IsSafeLeafName(kq::LastPathComponent(web))) std::abort();
        kq::PackedSourcePath("W\\", int32_t(i), r.fileName.c_str());
        // The name is the source's last part, unless the source was cut.
        if (r.sourcePath.size() < kq::kMaxFileFieldLength &&
            r.fileName != r.sourcePath.substr(r.sourcePath.rfind('\\') + 1))
            std::abort();
    }
    // The records, kept again in the reverse order (so each shares with
    // other neighbours) and in blocks of three on a spill file, read back
    // the same.
    std::FILE* spill = std::tmpfile();
    kq::FileRecords reversed(3);
    reversed.SpillTo(spill);
    for (size_t i = list.files.size(); i-- > 0;) reversed.push_back(list.files[i]);
    for (size_t i = 0; i < list.files.size(); ++i) {
        const kq::FileRecord a = list.files[i], b = reversed[list.files.size() - 1 - i];
        if (a.fileName != b.fileName || a.sourcePath != b.sourcePath || a.destinationDir != b.destinationDir ||
            a.feature != b.feature || a.options != b.options || a.fileMask != b.fileMask || a.reserved != b.reserved)
            std::abort();
    }
    if (spill != nullptr) std::fclose(spill);
    // Read in pieces of a size the input chooses, the list is the same.
    kq::FileListLoader loader;
    const size_t piece = size > 0 ? 1 + data[0] % 16 : 1;
    for (size_t at = 0; at < size; at += piece) loader.Add(text.substr(at, piece));
    const kq::FileList pieces = loader.Finish();
    if (pieces.files.size() != list.files.size() || pieces.directories != list.directories ||
        pieces.droppedDirectories != list.droppedDirectories || pieces.cutShort != list.cutShort)
        std::abort();
    // Text after the end of a whole list cuts it short.
    if (!list.cutShort && !kq::LoadFileList(std::string(text) + "x").cutShort) std::abort();
    for (size_t i = 0; i < list.files.size(); ++i) {
        if (pieces.files[i].sourcePath != list.files[i].sourcePath ||
            pieces.files[i].destinationDir != list.files[i].destinationDir)
            std::abort();
    }

    std::string name;
    if (kq::SafeLeafName(text, &name)) {
        if (name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..") std::abort();
    }
    return 0;
}
