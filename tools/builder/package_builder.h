// Builds a product package folder from an authoring folder:
//
//   AUTHORING/setup.inf, data.inf  -> PACKAGE/setup.nsx, data.nsx (encrypted)
//   AUTHORING/theme/...            -> PACKAGE/theme/... (recursive copy)
//   other plain files at the root  -> PACKAGE/ (language packs, "^!" files,
//                                     splash pictures and sounds, ...)
//   data.inf's local files         -> "F<i>_<name>" in PACKAGE/file1.cab
//   AUTHORING/support/*, --support    (MSZIP) or in PACKAGE/DiskImage1/;
//                                     support files under their plain names
//   --setup-exe                    -> PACKAGE/setup.exe
//
// In the cabinet the support files come first and the product files after
// them, in data.inf's order, so the start-up reads the support files from
// the front of the cabinet.
//
// The package is built in a temporary sibling folder and moved into place
// only when everything succeeded, so a failed build leaves no half-built
// package and an earlier package untouched.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"

namespace kq {

enum class PackageLayout { kCabinet, kDiskImage };

// How far the packing of the product's and support files has come.
struct PackProgress {
    size_t filesDone = 0;
    size_t files = 0;
    uint64_t bytesDone = 0;
    uint64_t bytes = 0;
};

// "packing 3/40 files, 12.5 of 80.0 MB, 4.2 MB/s" after `seconds`; no rate
// before the first tenth of a second.
std::string PackProgressLine(const PackProgress& progress, double seconds);

struct BuildOptions {
    std::string authoringDir;
    std::string packageDir;
    PackageLayout layout = PackageLayout::kCabinet;
    std::string setupExe;              // empty: no setup.exe copied
    std::vector<std::string> support;  // extra support files, packed under their own names
    std::function<void(const PackProgress&)> progress;  // empty: no progress reports
};

Status BuildPackage(const BuildOptions& options);

}  // namespace kq
