// One cabinet of several folders from cabinets of one folder each. The
// cabinet writer the builder uses writes a single folder per cabinet, while
// the installer decodes separate folders at the same time; the folders'
// data blocks (each with its own checksum) are taken over byte for byte,
// only the header, the folder table and the file table are written anew.
#pragma once
#include <string>
#include <vector>

#include "base/status.h"

namespace kq {

// `parts`: whole cabinets as the writer made them (no reserved areas, no
// previous or next cabinet, one folder). `joined` receives one cabinet
// holding their folders in order, and their files folder by folder.
Status JoinCabinets(const std::vector<std::string>& parts, std::string* joined);

}  // namespace kq
