// The service control manager's calls that both setup and the maintenance
// runner need: looking up a service's program and taking a service away.
#pragma once
#include <windows.h>

#include <string>

#include "base/no_copy.h"

namespace kq {

// Closes a service or manager handle.
class CServiceHandle : private NoCopy {
public:
    explicit CServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
    ~CServiceHandle() {
        if (m_handle != nullptr) ::CloseServiceHandle(m_handle);
    }
    SC_HANDLE Get() const { return m_handle; }

private:
    SC_HANDLE m_handle;
};

// The command line the named service runs: false when there is no such
// service, true with an empty text when its configuration cannot be read.
bool QueryServiceCommandLine(const std::string& name, std::string* commandLine);

// Stops the named service (waiting up to 30 s) and deletes it; true also
// when it is gone already or marked for deletion.
bool StopAndDeleteService(const std::string& name);

}  // namespace kq
