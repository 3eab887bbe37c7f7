// The print queues of the computer's spooler that print into a device a port holds:
// paused while the port holds it, resumed when it lets go.
//
// Only queues this helper paused are resumed, each when the port of its device closes;
// a queue paused by someone else stays as it was.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "DriverPortHelper.h"

class CDevManHelper : public IDriverPortHelper {
public:
    bool moveDriverPort(int portId, const std::string& deviceName) override;
    bool restoreDriverPort(int portId, const std::string& deviceName) override;

    // True when a queue's device URI names the device (a serial, parallel or file URI with
    // its node, or a USB URI with its serial number).
    static bool QueueUsesDevice(const std::string& deviceUri, const std::string& deviceName);

private:
    std::mutex mutex_;
    std::map<std::string, std::string> pausedQueues_;  // queue name -> device name
};
