#include "record/earlier_registration_win.h"

#include <windows.h>

#include "win/family_calls_win.h"

namespace kq {
namespace {

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CEarlierRegistration::SetAside(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (!Exists(path)) continue;
        if (!MoveReplacing(path, CEarlierRegistration::AsideName(path))) return false;
        m_paths.push_back(path);
    }
    return true;
}

void CEarlierRegistration::FindSetAside(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (Exists(AsideName(path))) m_paths.push_back(path);
    }
}

void CEarlierRegistration::Restore() {
    for (const std::string& path : m_paths) {
        ::DeleteFileA(path.c_str());
        MoveReplacing(CEarlierRegistration::AsideName(path), path);
    }
    m_paths.clear();
}

void CEarlierRegistration::Discard() {
    for (const std::string& path : m_paths) ::DeleteFileA(CEarlierRegistration::AsideName(path).c_str());
    m_paths.clear();
}

void CEarlierRegistration::Settle() {
    for (const std::string& path : m_paths) {
        if (Exists(path)) ::DeleteFileA(AsideName(path).c_str());
        else MoveReplacing(AsideName(path), path);
    }
    m_paths.clear();
}

}  // namespace kq
