// One printer opened through the POS printer library: the library reference it loaded,
// the service handle and the result of opening the service. An operation on a watched
// printer borrows the watched connection's service instead of opening its own.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "DravixLibrary.h"

class CPrinterConnection {
public:
    // library: null when it could not be loaded; such a connection never opens.
    CPrinterConnection(std::string logicalName, std::unique_ptr<CDravixLibrary> library)
        : m_logicalName(std::move(logicalName)), m_library(std::move(library)) {}
    CPrinterConnection(const CPrinterConnection&) = delete;
    CPrinterConnection& operator=(const CPrinterConnection&) = delete;

    const std::string& logicalName() const { return m_logicalName; }
    bool isLoaded() const { return m_library != nullptr; }
    // Only of a loaded connection.
    const DravixFunctions& dravix() const { return m_library->functions(); }

    // Takes the watched connection's service handle for the life of this record, and
    // its use: operations on one watched printer run one after the other, and its
    // shutdown waits for the operation that has it.
    void borrow(const std::shared_ptr<CPrinterConnection>& watched) {
        m_watchedUse = std::unique_lock(watched->m_use);
        m_watched = watched;
        handle = watched->handle;
    }
    bool isBorrowed() const { return m_watched != nullptr; }
    std::unique_lock<std::mutex> lockUse() { return std::unique_lock(m_use); }

    int handle = 0;      // from selectInterface
    int openResult = 0;  // from openService; getResult judges the open

private:
    const std::string m_logicalName;
    const std::unique_ptr<CDravixLibrary> m_library;
    std::mutex m_use;  // of a watched connection: held by the operation that borrows it
    std::shared_ptr<CPrinterConnection> m_watched;
    std::unique_lock<std::mutex> m_watchedUse;  // released before m_watched
};
