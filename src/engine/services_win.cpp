#include "engine/services_win.h"

#include <windows.h>

#include <vector>

#include "base/text.h"

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
    if (service.Get() != nullptr) return ServiceCreation::kCreated;
    if (::GetLastError() != ERROR_SERVICE_EXISTS) return ServiceCreation::kFailed;
    // The same service again (a package repairing itself) is in place, not
    // a failure; one of another program's under that name is.
    CServiceHandle existing(::OpenServiceA(manager.Get(), spec.name.c_str(), SERVICE_QUERY_CONFIG));
    if (existing.Get() == nullptr) return ServiceCreation::kFailed;
    DWORD needed = 0;
    ::QueryServiceConfigA(existing.Get(), nullptr, 0, &needed);
    if (needed == 0) return ServiceCreation::kFailed;
    std::vector<char> buffer(needed);
    QUERY_SERVICE_CONFIGA* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!::QueryServiceConfigA(existing.Get(), config, needed, &needed) || config->lpBinaryPathName == nullptr)
        return ServiceCreation::kFailed;
    return EqualsIgnoreCase(config->lpBinaryPathName, spec.commandLine) ? ServiceCreation::kAlreadyInPlace
                                                                          : ServiceCreation::kFailed;
}

}  // namespace kq
