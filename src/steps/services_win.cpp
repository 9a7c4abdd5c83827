#include "steps/services_win.h"

#include <windows.h>

#include "base/text.h"
#include "win/service_control_win.h"

namespace kq {

ServiceCreation CWinServiceMachine::Install(const ServiceSpec& spec) {
    CServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.Get() == nullptr) return ServiceCreation::kNoManager;
    // No load-order group, tag or dependencies; a null account is the local
    // system account, which takes no password.
    CServiceHandle service(::CreateServiceA(manager.Get(), spec.name.c_str(), spec.displayName.c_str(),
                                            SERVICE_ALL_ACCESS, spec.type, spec.start, spec.errorControl,
                                            spec.commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (service.Get() != nullptr) return ServiceCreation::kCreated;
    if (::GetLastError() != ERROR_SERVICE_EXISTS) return ServiceCreation::kFailed;
    // The same service again (a package repairing itself) is in place, not
    // a failure; one of another program's under that name is.
    std::string existing;
    if (!QueryServiceCommandLine(spec.name, &existing) || existing.empty()) return ServiceCreation::kFailed;
    return EqualsIgnoreCase(existing, spec.commandLine) ? ServiceCreation::kAlreadyInPlace : ServiceCreation::kFailed;
}

}  // namespace kq
