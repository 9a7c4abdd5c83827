// The product locks of other runs, taken while this one rolls back what an
// interrupted run of that product left (record/interrupted_runs_win.h).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/no_copy.h"

namespace kq {

// The name of `productCode`'s lock on this system (ProductRunLockName,
// across sessions where the system has them).
std::string ProductLockName(const std::string& productCode);

class CProductClaims : private NoCopy {
public:
    // `own` is the product this run holds already.
    explicit CProductClaims(std::string own = std::string()) : m_own(std::move(own)) {}
    ~CProductClaims();
    // Takes the product's lock, held until this object goes; false while a
    // live run (of this user or another) holds it.
    bool Claim(const std::string& productCode);

private:
    std::string m_own;
    std::vector<HANDLE> m_locks;
};

}  // namespace kq
