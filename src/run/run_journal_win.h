// The run's log (run_journal.h) on a file or on standard output, written
// whole line by line from any thread.
#pragma once
#include <memory>
#include <string>

#include "run/run_journal.h"

namespace kq {

// The log on `path` ("" for standard output, where a plan goes without
// "/LOG="); an inactive journal when the file cannot be created.
std::shared_ptr<RunJournal> OpenRunJournal(const std::string& path);

}  // namespace kq
