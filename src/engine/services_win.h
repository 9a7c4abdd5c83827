// The service step's machine: the local service control manager.
#pragma once
#include "engine/services.h"

namespace kq {

class CWinServiceMachine : public ServiceMachine {
public:
    ServiceCreation Install(const ServiceSpec& spec) override;
};

// The command line the named service runs: false when there is no such
// service, true with an empty text when its configuration cannot be read.
bool QueryServiceCommandLine(const std::string& name, std::string* commandLine);

// Stops the named service (waiting up to 30 s) and deletes it; true also
// when it is gone already or marked for deletion.
bool StopAndDeleteService(const std::string& name);

}  // namespace kq
