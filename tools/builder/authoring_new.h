// `kqbuild new FOLDER`: an authoring folder to start from. It holds the
// default theme, the run-time texts and language packs, a setup.inf whose
// comments say what each key does, a data.inf with one file, and that file;
// it builds and installs as it stands.
#pragma once
#include <string>

#include "base/status.h"

namespace kq {

// `defaultsDir` holds the default theme/, language.lan and languages/.
// Refuses a FOLDER that exists and is not empty.
Status NewAuthoringFolder(const std::string& folder, const std::string& defaultsDir);

}  // namespace kq
