// Carrying out the removal steps on this machine.
#pragma once
#include <string>
#include <vector>

#include "record/removal_steps.h"

namespace kq {

struct RemovalOutcome {
    // Files and services that could not be removed: a second attempt may.
    std::vector<std::string> left;
    // Folders that are not empty (they hold files that setup did not put
    // there), "folder: why".
    std::vector<std::string> kept;
};

// Runs every step in order. A missing target counts as removed; a failure
// never stops the steps after it.
RemovalOutcome CarryOutRemoval(const RemovalSteps& removal);

// Deletes `folder` with everything in it; a linked folder inside is
// unlinked, not followed. True when the folder is gone.
bool DeleteFolderTree(const std::string& folder);

}  // namespace kq
