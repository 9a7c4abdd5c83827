// The product's Windows services, installed through the service control
// manager after the system settings.
//
// Section NTSERVICE of the setup script: "TOTAL" (short value); item i has
//   A  service name (the key the service control manager knows it by)
//   B  display name, also named in the error message
//   C  service type keyword     D  start type keyword
//   E  error control keyword    F  full command line; placeholders allowed
//   G, H  not used
// Keywords are the system's constant names, compared exactly:
//   type   SERVICE_WIN32_OWN_PROCESS 16, SERVICE_WIN32_SHARE_PROCESS 32,
//          SERVICE_INTERACTIVE_PROCESS: an own-process service allowed to
//          interact with the desktop (16 + 256; the system refuses the
//          interactive flag on its own)
//   start  SERVICE_BOOT_START 0, SERVICE_SYSTEM_START 1,
//          SERVICE_AUTO_START 2, SERVICE_DEMAND_START 3, SERVICE_DISABLED 4
//   error  SERVICE_ERROR_IGNORE 0, SERVICE_ERROR_NORMAL 1,
//          SERVICE_ERROR_CRITICAL 3
// A missing or unknown keyword stands for the mildest choice: an own
// process, started on demand, with normal error control.
//
// The 95/98/ME family has no service control manager: there the step shows
// its status and installs nothing. A preview run does the same: it shows
// every status but changes nothing on the machine.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "record/uninstall_log.h"
#include "run/script.h"
#include "run/settings.h"
#include "steps/install_reporter.h"

namespace kq {

constexpr char kServiceSection[] = "NTSERVICE";
constexpr char kInstallingServiceStatus[] = "Installing Service...";
constexpr char kServiceFailedFormat[] = "Merrowin can't install %s service. What do you want to do ?";

// The system's values of the keywords.
constexpr uint32_t kServiceOwnProcess = 0x10;
constexpr uint32_t kServiceShareProcess = 0x20;
constexpr uint32_t kServiceInteractiveProcess = 0x100;
constexpr uint32_t kServiceBootStart = 0;
constexpr uint32_t kServiceSystemStart = 1;
constexpr uint32_t kServiceAutoStart = 2;
constexpr uint32_t kServiceDemandStart = 3;
constexpr uint32_t kServiceDisabled = 4;
constexpr uint32_t kServiceErrorIgnore = 0;
constexpr uint32_t kServiceErrorNormal = 1;
constexpr uint32_t kServiceErrorCritical = 3;

struct ServiceItem {
    std::string name;          // A
    std::string displayName;   // B
    std::string type;          // C
    std::string start;         // D
    std::string errorControl;  // E
    std::string commandLine;   // F
};

std::vector<ServiceItem> LoadServiceItems(const Script& script);

uint32_t ServiceTypeFromKeyword(const std::string& keyword);
uint32_t ServiceStartFromKeyword(const std::string& keyword);
uint32_t ServiceErrorControlFromKeyword(const std::string& keyword);

// True for the systems without a service control manager.
bool SystemLacksServices(const std::string& systemName);

// One service to create, keywords translated and placeholders expanded.
struct ServiceSpec {
    std::string name;
    std::string displayName;
    uint32_t type = kServiceOwnProcess;
    uint32_t start = kServiceDemandStart;
    uint32_t errorControl = kServiceErrorNormal;
    std::string commandLine;
};

// kAlreadyInPlace: a service of that name runs the same command line
// already (the product's own, when a package repairs itself).
enum class ServiceCreation { kNoManager, kCreated, kAlreadyInPlace, kFailed };

// The machine as the service step sees it.
class ServiceMachine {
public:
    virtual ~ServiceMachine();
    // Opens the local service control manager, creates the service (full
    // access, local system account, no group, tag, dependencies or
    // password) and closes both handles. kNoManager when the manager could
    // not be opened.
    virtual ServiceCreation Install(const ServiceSpec& spec) = 0;
};

// What the step needs from the worker.
struct ServiceStepHooks {
    std::function<void(const std::string&)> status;
    // Shows the three-button file error dialog with the text.
    std::function<FailureChoice(const std::string&)> askAfterFailure;
    // Removes the working folder (the worker's temporary files).
    std::function<void()> removeTemporaryFiles;
    // Ends the run on the failure page.
    std::function<void()> abort;
    // A preview run: show the status, change nothing.
    bool preview = false;
};

// Worker step "Services". With items to install it shows the status
// "Installing Service...", then, unless this is a preview run or a system
// without services, creates each service in order and logs "NTSERVICE" with
// its name. A manager that cannot be opened skips the item silently. A
// failed creation asks: Retry tries the item again, Ignore goes on with the
// next one, Cancel removes the temporary files, sets the abort flag and goes
// on with the next one (the wizard shows the failure ending afterwards).
void InstallServices(const Script& script, const ExpandFunction& expand, const std::string& systemName,
                     ServiceMachine& machine, const ServiceStepHooks& hooks, UninstallLog& log);

}  // namespace kq
