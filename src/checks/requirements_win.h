// The machine facts of the requirement check, from the running Windows.
#pragma once
#include "checks/requirements.h"

namespace kq {

class CMachineFacts : public MachineFacts {
public:
    OsVersion Version() const override;
    uint64_t TotalPhysicalMemory() const override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    int BitsPerPixel() const override;
    bool ProcessorName(std::string& name) const override;
};

}  // namespace kq
