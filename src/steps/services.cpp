#include "steps/services.h"

namespace kq {
namespace {

struct Keyword {
    const char* text;
    uint32_t value;
};

const Keyword kTypes[] = {
    {"SERVICE_WIN32_OWN_PROCESS", kServiceOwnProcess},
    {"SERVICE_WIN32_SHARE_PROCESS", kServiceShareProcess},
    {"SERVICE_INTERACTIVE_PROCESS", kServiceOwnProcess | kServiceInteractiveProcess},
};

const Keyword kStarts[] = {
    {"SERVICE_BOOT_START", kServiceBootStart},     {"SERVICE_SYSTEM_START", kServiceSystemStart},
    {"SERVICE_AUTO_START", kServiceAutoStart},     {"SERVICE_DEMAND_START", kServiceDemandStart},
    {"SERVICE_DISABLED", kServiceDisabled},
};

const Keyword kErrorControls[] = {
    {"SERVICE_ERROR_IGNORE", kServiceErrorIgnore},
    {"SERVICE_ERROR_NORMAL", kServiceErrorNormal},
    {"SERVICE_ERROR_CRITICAL", kServiceErrorCritical},
};

template <size_t N>
uint32_t Translate(const Keyword (&table)[N], const std::string& keyword, uint32_t fallback) {
    for (const Keyword& entry : table) {
        if (keyword == entry.text) return entry.value;
    }
    return fallback;
}

std::string FailureMessage(const std::string& displayName) {
    std::string message = kServiceFailedFormat;
    size_t at = message.find("%s");
    message.replace(at, 2, displayName);
    return message;
}

}  // namespace

ServiceMachine::~ServiceMachine() = default;

std::vector<ServiceItem> LoadServiceItems(const Script& script) {
    using S = ServiceItem;
    static const ItemColumn<S> kColumns[] = {{'A', &S::name},  {'B', &S::displayName},  {'C', &S::type},
                                             {'D', &S::start}, {'E', &S::errorControl}, {'F', &S::commandLine}};
    return ReadItems(script, kServiceSection, kColumns);
}

uint32_t ServiceTypeFromKeyword(const std::string& keyword) {
    return Translate(kTypes, keyword, kServiceOwnProcess);
}

uint32_t ServiceStartFromKeyword(const std::string& keyword) {
    return Translate(kStarts, keyword, kServiceDemandStart);
}

uint32_t ServiceErrorControlFromKeyword(const std::string& keyword) {
    return Translate(kErrorControls, keyword, kServiceErrorNormal);
}

bool SystemLacksServices(const std::string& systemName) {
    return systemName == "95" || systemName == "98" || systemName == "98SE" || systemName == "ME";
}

void InstallServices(const Script& script, const ExpandFunction& expand, const std::string& systemName,
                     ServiceMachine& machine, const ServiceStepHooks& hooks, UninstallLog& log) {
    const std::vector<ServiceItem> items = LoadServiceItems(script);
    if (items.empty()) return;
    if (hooks.status) hooks.status(kInstallingServiceStatus);
    // A preview changes nothing on the machine; it only shows the steps.
    if (hooks.preview || SystemLacksServices(systemName)) return;

    for (const ServiceItem& item : items) {
        for (;;) {
            ServiceSpec spec;
            spec.name = item.name;
            spec.displayName = item.displayName;
            spec.commandLine = expand(item.commandLine);
            spec.type = ServiceTypeFromKeyword(item.type);
            spec.start = ServiceStartFromKeyword(item.start);
            spec.errorControl = ServiceErrorControlFromKeyword(item.errorControl);

            ServiceCreation created = machine.Install(spec);
            if (created == ServiceCreation::kNoManager) break;
            if (created == ServiceCreation::kCreated || created == ServiceCreation::kAlreadyInPlace) {
                log.Append(logkind::kNtService, item.name);
                break;
            }
            const std::string question = FailureMessage(item.displayName);
            FailureChoice choice = hooks.askAfterFailure ? hooks.askAfterFailure(question) : FailureChoice::kIgnore;
            if (choice == FailureChoice::kRetry) continue;
            if (choice == FailureChoice::kCancel) {
                if (hooks.removeTemporaryFiles) hooks.removeTemporaryFiles();
                if (hooks.abort) hooks.abort();
            }
            break;
        }
    }
}

}  // namespace kq
