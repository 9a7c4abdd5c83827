// The program's own name, and the fixed names of a package that the builder
// writes and setup.exe reads.
#pragma once

namespace kq {

// The caption of the program's windows and message boxes.
constexpr char kProductName[] = "Merrowin";

// The folder beside setup.exe that holds a package's files unpacked instead
// of in a cabinet.
constexpr char kDiskImageFolder[] = "DiskImage1";

}  // namespace kq
