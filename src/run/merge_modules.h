// Merge modules and the setups of other products (setup script section
// MERGEMODULES), run after the installation while the merge-module page is
// up. Each item may run a program and, independently, the package's
// "mergemod.msi" through the system installer.
//
// Section keys of item i (Script conventions, 254 characters):
//   C<i>  program; only a value containing ".exe" runs; "<ResourceDir>"
//         stands for the package's "SupportFiles" folder
//   D<i>  its arguments
//   E<i>  program mask (decimal)     F<i>  feature name
//   G<i>  condition name
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run/script.h"

namespace kq {

constexpr int kMaxMergeModules = 100;

struct MergeModuleItem {
    std::string program;
    std::string arguments;
    int32_t programMask = 0;
    std::string feature;
    std::string condition;
};

// At most kMaxMergeModules items.
std::vector<MergeModuleItem> LoadMergeModules(const Script& script);

// One program to run, in order.
struct MergeModuleRun {
    std::string program;
    std::string arguments;  // the program's; for the system installer the whole command line
    bool systemInstaller = false;  // waited for with message pumping
};

// How the list of runs sees the run.
struct MergeModuleContext {
    std::string sourceFolder;  // trailing backslash
    std::function<bool(int32_t)> maskAdmits;
    std::function<bool(const std::string&)> featureInstalled;  // unknown features count as installed
    std::function<bool(const std::string&)> conditionMet;
    std::function<bool(const std::string&)> fileExists;
    std::function<std::string(const std::string&)> expand;
};

// The runs of every item in order: its program when mask, feature and
// condition admit it and it names an ".exe"; then, when the condition holds
// and "mergemod.msi" is in the package ("<source>mergemod.msi" preferred to
// "<source>SupportFiles\mergemod.msi") and mask and feature admit it,
// ""<SystemFolder>\msiexec.exe" /i "<path>" /q" expanded.
std::vector<MergeModuleRun> ListMergeModuleRuns(const std::vector<MergeModuleItem>& items,
                                                const MergeModuleContext& context);

}  // namespace kq
