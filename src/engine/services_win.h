// The service step's machine: the local service control manager.
#pragma once
#include "engine/services.h"

namespace kq {

class CWinServiceMachine : public ServiceMachine {
public:
    ServiceCreation Install(const ServiceSpec& spec) override;
};

// Stops the named service (waiting up to 30 s) and deletes it; true also
// when it is gone already or marked for deletion.
bool StopAndDeleteService(const std::string& name);

}  // namespace kq
