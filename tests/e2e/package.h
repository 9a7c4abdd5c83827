// Making packages for the cases with the package builder `kqbuild`.
#pragma once

#include <string>
#include <vector>

#include "wine_session.h"

namespace kq::e2e {

// Where the authoring folders of the cases live (tests/e2e/packages/NAME).
fs::path AuthoringDir(const std::string& name);

// Runs kqbuild [--layout LAYOUT] [--setup-exe <win build>/setup.exe
// --programs <win build>] [extra...] AUTHORING OUT. `layout` is "cab" or
// "diskimage". setup.exe and the build for the default runner are passed only
// when the Windows build has made setup.exe.
ProcessResult BuildPackage(const fs::path& authoring, const fs::path& out, const std::string& layout = "cab",
                           const std::vector<std::string>& extra = {});

// Why the cases that run setup.exe cannot run here, or empty when they can.
std::string SetupProblem();

}  // namespace kq::e2e
