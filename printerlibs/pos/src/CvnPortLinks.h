// The library's links to printers over cvnport's exports.
//
// A printer is a port and a device identifier on it (a gateway's channel, 0 on a port
// of its own); every handle open on the same printer shares one endpoint. cvnport's
// receivers carry no identifier, so each endpoint owns one slot of small receiver
// functions that lead back to it: the printer's replies, status and data never reach
// another printer's handles. cvnport needs its create, open, close and remove calls
// made one at a time; all of them go through here.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "PrinterLink.h"

class CvnPortLinks {
public:
    static constexpr int kSlots = 64;

    CvnPortLinks();
    ~CvnPortLinks();
    CvnPortLinks(const CvnPortLinks&) = delete;
    CvnPortLinks& operator=(const CvnPortLinks&) = delete;

    // A LinkOpener.
    int open(const PortTarget& target, std::weak_ptr<LinkListener> listener,
             std::unique_ptr<PrinterLink>& link);

    struct Endpoint;
    struct Port;
    // The endpoint whose receivers a slot holds, for the receivers themselves.
    std::shared_ptr<Endpoint> endpointInSlot(int slot);

private:
    friend class CvnPortLink;
    void release(const std::shared_ptr<Endpoint>& endpoint, const LinkListener* listener);
    std::shared_ptr<Endpoint> attach(int portId, int deviceId, bool gateway,
                                     const std::weak_ptr<LinkListener>& listener);

    std::mutex portCallsMutex_;  // held across cvnport's create, open, close and remove
    std::mutex mutex_;           // the tables below
    std::map<std::pair<int, int>, std::shared_ptr<Endpoint>> endpoints_;
    std::map<int, std::weak_ptr<Port>> ports_;
    int nextSlot_ = 0;
    std::mutex slotsMutex_;
    std::array<std::shared_ptr<Endpoint>, kSlots> slots_;
};
