// Carrying out the removal steps on this machine.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "record/removal_report.h"
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
// never stops the steps after it. Each step goes to `sink` as an item
// (removed, run, or left and kept with a why); without `act` nothing is
// done and each step is reported as it would be done.
RemovalOutcome CarryOutRemoval(const RemovalSteps& removal, const RemovalItemSink& sink = nullptr, bool act = true);

// True when everything in `folder` is in `gone` (lower-case paths), so a
// removal that takes those would leave it empty.
bool FolderEmptyOnceGone(const std::string& folder, const std::set<std::string>& gone);

}  // namespace kq
