// The service step's machine: the local service control manager.
#pragma once
#include "steps/services.h"

namespace kq {

class CWinServiceMachine : public ServiceMachine {
public:
    ServiceCreation Install(const ServiceSpec& spec) override;
};

}  // namespace kq
