// The version record and system name of the running Windows, read once per
// process.
#pragma once
#include "checks/system_name.h"

namespace kq {

const OsVersion& CurrentOsVersion();

// SystemName of CurrentOsVersion(); one of the listed names or "".
const char* SystemName();

}  // namespace kq
