#include "run/product_claims_win.h"

#include "base/text.h"
#include "run/eligibility.h"

namespace kq {

std::string ProductLockName(const std::string& productCode) {
    const DWORD version = ::GetVersion();
    const bool sessions = (version & 0x80000000u) == 0 && LOBYTE(LOWORD(version)) >= 5;
    return ProductRunLockName(productCode, sessions);
}

CProductClaims::~CProductClaims() {
    for (HANDLE lock : m_locks) ::CloseHandle(lock);
}

bool CProductClaims::Claim(const std::string& productCode) {
    if (!m_own.empty() && EqualsIgnoreCase(productCode, m_own)) return true;
    const std::string name = ProductLockName(productCode);
    if (name.empty()) return false;
    HANDLE lock = ::CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD error = ::GetLastError();
    if (lock == nullptr) return false;
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(lock);
        return false;
    }
    m_locks.push_back(lock);
    return true;
}

}  // namespace kq
