#include "engine/services_win.h"

#include <windows.h>

namespace kq {
namespace {

// Closes a service or manager handle.
class CServiceHandle {
public:
    explicit CServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;
    ~CServiceHandle() {
        if (m_handle != nullptr) ::CloseServiceHandle(m_handle);
    }
    SC_HANDLE Get() const { return m_handle; }

private:
    SC_HANDLE m_handle;
};

}  // namespace

ServiceCreation CWinServiceMachine::Install(const ServiceSpec& spec) {
    CServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.Get() == nullptr) return ServiceCreation::kNoManager;
    // No load-order group, tag or dependencies; a null account is the local
    // system account, which takes no password.
    CServiceHandle service(::CreateServiceA(manager.Get(), spec.name.c_str(), spec.displayName.c_str(),
                                            SERVICE_ALL_ACCESS, spec.type, spec.start, spec.errorControl,
                                            spec.commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    return service.Get() != nullptr ? ServiceCreation::kCreated : ServiceCreation::kFailed;
}

}  // namespace kq
