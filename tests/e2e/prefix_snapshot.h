// Snapshots of a test prefix, to show that a run left the machine as it
// was: every file of drive C with its size and a hash of its content, and
// the registry as Wine keeps it in system.reg, user.reg and userdef.reg (one
// entry per key and per value line). Taking one stops the prefix's programs
// first, since Wine writes its registry files when its wineserver ends.
//
// Left out, because Wine itself changes them whenever a program runs: the
// registry files' time stamps, Wine's own keys of the running session (the
// device map, the performance counters, the fonts cache, its network stack
// and the device classes its display driver registers at each start with a
// new driver date), and the users' profile folders but their desktops
// (setup's working folder lives in the temporary folder and goes by
// itself). One trace is left on purpose and allowed for: when the last
// product that counts on kqexec.exe goes, the running kqexec.exe cannot
// delete itself; it moves aside and is deleted at the next start of the
// system (its PendingFileRenameOperations entry, and the file until then,
// which Diff callers drop with DropRunnerTrace).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "wine_session.h"

namespace kq::e2e {

// "path" -> "size:hash" for files, "dir" for folders (lower case, relative
// to drive C); "file:key" and "file:key|value line" for the registry.
struct Snapshot {
    std::map<std::string, std::string> files;
    std::set<std::string> registry;
    // Files PendingFileRenameOperations deletes at the next start of the
    // system, as paths of `files`.
    std::set<std::string> deletedAtStart;
};

// With `folder` (relative to drive C, "program files/acme"), only the
// files in that folder are taken, which spares hashing the whole prefix.
Snapshot TakeSnapshot(WineSession& session, const std::string& folder = std::string());

// Differences as readable lines: "- " only before, "+ " only after, "~ "
// changed.
std::vector<std::string> Diff(const Snapshot& before, const Snapshot& after);

// Without the files that `after` deletes at the next start of the system
// (the runner's own, see above).
std::vector<std::string> DropRunnerTrace(std::vector<std::string> diff, const Snapshot& after);

// One line each, for a failure message.
std::string Lines(const std::vector<std::string>& lines);

}  // namespace kq::e2e
