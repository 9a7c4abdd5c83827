// A run over an earlier installation of the same product (a repair, an
// upgrade into its folder) finds the product's own files, folders and keys
// already there: its record alone would call them the machine's, and
// removal would leave them behind. Once the run has committed, its record
// takes over what the earlier record knew.
#pragma once
#include <vector>

#include "record/install_record.h"

namespace kq {

// The record of the product after a run that committed over an earlier
// installation: the earlier entries the run did not record again, then the
// run's own, where
//  - a file the run replaced or kept that the earlier run had put there is
//    the product's (new), with the run's fingerprint when it replaced it;
//  - a value or INI entry both changed keeps the state from before the
//    earlier run, so removal restores what the machine had;
//  - folders, keys, servers, services and appended parts are listed once
//    (shared-file counts are kept as they are: each run added its own).
std::vector<RecordEntry> InheritEarlierRecord(const std::vector<RecordEntry>& earlier,
                                              const std::vector<RecordEntry>& current);

}  // namespace kq
