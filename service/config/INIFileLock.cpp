#include "INIFileLock.h"

#include <set>

namespace {

// The paths the calling thread holds: taking one again must not wait for itself.
std::set<std::string>& heldByThisThread() {
    thread_local std::set<std::string> held;
    return held;
}

}  // namespace

CINIFileLock::CINIFileLock(const std::string& filePath, std::chrono::milliseconds wait)
    : m_filePath(filePath) {
    if (heldByThisThread().count(filePath)) {
        m_held = true;
        return;
    }
    std::string why;
    m_lock = platform::FileLock::acquire(filePath, wait, why);
    m_held = m_lock != nullptr;
    if (m_held) {
        heldByThisThread().insert(filePath);
    } else {
        m_error = "cannot lock " + filePath + ": " + why;
    }
}

CINIFileLock::~CINIFileLock() {
    if (m_lock)
        heldByThisThread().erase(m_filePath);
}
