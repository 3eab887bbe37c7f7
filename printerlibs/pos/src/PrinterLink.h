// The road from a service handle to its printer. The library's own link runs over
// cvnport's exports; tests use one in memory. Each open handle has its own link; links
// to the same printer share what the printer reports.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "PortTarget.h"

class LinkListener {
public:
    virtual ~LinkListener() = default;
    // DRAVIX_STATUS_* bits of an automatic status block.
    virtual void onAutomaticStatus(int conditions) = 0;
    // The port lost its printer (false) or found it again (true).
    virtual void onConnection(bool online) = 0;
    // Bytes that are neither status nor the reply to a query.
    virtual void onData(std::string_view bytes) = 0;
};

class PrinterLink {
public:
    // Length of the complete reply at the start of the bytes received so far; 0 while
    // it is incomplete.
    using ReplyCheck = std::function<size_t(std::string_view received)>;

    // Closes the handle's use of the port.
    virtual ~PrinterLink() = default;

    // All bytes in one port write; false when the port took fewer.
    virtual bool send(std::string_view bytes) = 0;
    // Sends a query and waits up to `timeoutMs` for its reply; one query at a time per
    // printer. Nothing when it did not come.
    virtual std::optional<std::string> exchange(std::string_view query, const ReplyCheck& check,
                                                int timeoutMs) = 0;
    // Automatic status for this handle: the printer is asked to report while any handle
    // on it wants the reports. A DRAVIX_E_* result when it cannot be given.
    virtual int watchStatus(bool on) = 0;
};

// Opens a handle's link to its printer; the listener hears of status and data for as
// long as it lives. DRAVIX_SUCCESS or a DRAVIX_E_* result.
using LinkOpener = std::function<int(const PortTarget& target, std::weak_ptr<LinkListener> listener,
                                     std::unique_ptr<PrinterLink>& link)>;
