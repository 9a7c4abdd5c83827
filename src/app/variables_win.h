// The author's variables computed on this machine (run/variables.h): the
// registry, INI files, file searches, windows and the web, with the small
// wait window while the slow ones run.
#pragma once
#include "run/setup_run.h"
#include "run/variables.h"

namespace kq {

class Script;

// Reads the "VARIABLES" section of `script`, computes every value on the
// user-interface thread and gives the table to `run`.
void LoadRunVariables(SetupRun& run, const Script& script);

}  // namespace kq
