#include "win/service_control_win.h"

#include <vector>

namespace kq {

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
