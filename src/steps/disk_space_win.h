// The free room on a volume as the running system reports it.
#pragma once
#include <cstdint>
#include <string>

namespace kq {

// The bytes free to this user on `volume` ("C:\" or "\\server\share\"):
// GetDiskFreeSpaceExA where the system has it (looked up at run time: the
// first Windows 95 lacks it), GetDiskFreeSpaceA otherwise, whose counts
// stop near 2 GB. False when the volume cannot be asked.
bool FreeDiskBytes(const std::string& volume, uint64_t* free);

}  // namespace kq
