// The two programs every package carries: setup.exe, and the maintenance
// runner kqexec.exe that the product's removal starts. Unless told
// otherwise the builder takes both from the i686 product build beside it
// (build/win next to build/host).
#pragma once
#include <string>

#include "base/status.h"
#include "package_builder.h"

namespace kq {

// build/win beside the build tree kqbuild runs from.
std::string ProgramsBesideBuilder();

// Names setup.exe (unless --setup-exe or the authoring folder gives one) and
// adds kqexec.exe to the support files (unless the authoring folder's
// support/ or a --support already packs one), both from `programsDir`;
// with `withoutPrograms` nothing is added. Fails when a program to add is
// missing, and when setup.inf registers the product for removal (APPINFO
// a14 is not "No") while no runner travels with the package.
Status ChoosePrograms(const std::string& programsDir, bool withoutPrograms, BuildOptions* options);

}  // namespace kq
