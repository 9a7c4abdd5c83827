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
    std::string existing;
    if (!QueryServiceCommandLine(spec.name, &existing) || existing.empty()) return ServiceCreation::kFailed;
    return EqualsIgnoreCase(existing, spec.commandLine) ? ServiceCreation::kAlreadyInPlace : ServiceCreation::kFailed;
}

bool QueryServiceCommandLine(const std::string& name, std::string* commandLine) {
    commandLine->clear();
    CServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.Get() == nullptr) return false;
    CServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
    if (service.Get() == nullptr) return false;
    DWORD needed = 0;
    ::QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGA));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (::QueryServiceConfigA(service.Get(), config, static_cast<DWORD>(buffer.size()), &needed) &&
        config->lpBinaryPathName != nullptr)
        *commandLine = config->lpBinaryPathName;
    return true;
}

bool StopAndDeleteService(const std::string& name) {
    constexpr DWORD kStopWaitMs = 30000;
    CServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.Get() == nullptr) return false;
    CServiceHandle service(
        ::OpenServiceA(manager.Get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (service.Get() == nullptr) return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status = {};
    if (::QueryServiceStatus(service.Get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
        ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        for (DWORD waited = 0; waited < kStopWaitMs; waited += 250) {
            if (!::QueryServiceStatus(service.Get(), &status) || status.dwCurrentState == SERVICE_STOPPED) break;
            ::Sleep(250);
        }
    }
    return ::DeleteService(service.Get()) != 0 || ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

}  // namespace kq
