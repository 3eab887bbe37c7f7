#include "DevManHelper.h"

#include <vector>

#include "TraceLog.h"
#include "platform/DosDevices.h"
#include "platform/Files.h"
#include "platform/PrintQueues.h"
#include "platform/Text.h"
#include "platform/UsbPrinters.h"

namespace {

struct DeviceIdentity {
    std::string node;       // with links resolved
    std::string usbSerial;  // when the node is a USB printer's
};

DeviceIdentity identify(const std::string& deviceName) {
    std::string path = platform::DosDeviceMap::standard().target(deviceName);
    if (path.empty() && !deviceName.empty() && deviceName[0] == platform::kPathSeparator)
        path = deviceName;
    DeviceIdentity identity{path.empty() ? path : platform::resolvedLinkPath(path), {}};
    if (identity.node.empty())
        return identity;
    for (const platform::UsbPrinter& printer : platform::listUsbPrinters())
        if (platform::resolvedLinkPath(printer.devicePath) == identity.node)
            identity.usbSerial = printer.serialNumber;
    return identity;
}

// The value of a query parameter of a URI ("serial" of usb://maker/model?serial=X&...).
std::string queryValue(const std::string& uri, const std::string& key) {
    size_t query = uri.find('?');
    if (query == std::string::npos)
        return {};
    for (const std::string& pair : platform::splitFields(uri.substr(query + 1), '&')) {
        size_t equals = pair.find('=');
        if (equals != std::string::npos && pair.compare(0, equals, key) == 0)
            return pair.substr(equals + 1);
    }
    return {};
}

bool uriNamesDevice(const std::string& uri, const DeviceIdentity& device) {
    size_t colon = uri.find(':');
    if (colon == std::string::npos)
        return false;
    std::string scheme = platform::asciiLower(uri.substr(0, colon));
    if (scheme == "usb") {
        std::string serial = queryValue(uri, "serial");
        return !device.usbSerial.empty() &&
               platform::equalsIgnoringAsciiCase(serial, device.usbSerial);
    }
    if (scheme != "serial" && scheme != "parallel" && scheme != "file")
        return false;
    std::string path = uri.substr(colon + 1);
    path = path.substr(0, path.find('?'));
    // file:///dev/usb/lp0 as well as file:/dev/usb/lp0
    while (path.size() > 1 && path[0] == '/' && path[1] == '/')
        path.erase(0, 1);
    return !device.node.empty() && platform::resolvedLinkPath(path) == device.node;
}

}  // namespace

bool CDevManHelper::QueueUsesDevice(const std::string& deviceUri, const std::string& deviceName) {
    return uriNamesDevice(deviceUri, identify(deviceName));
}

bool CDevManHelper::moveDriverPort(int portId, const std::string& deviceName) {
    const char* kMethod = "CDevManHelper::moveDriverPort";
    std::vector<platform::PrintQueue> queues;
    std::string why;
    if (!platform::listPrintQueues(queues, why)) {
        TraceWrite(portId, 1, kMethod, __LINE__, "print queues not asked: %s", why.c_str());
        return false;
    }
    DeviceIdentity device = identify(deviceName);
    bool allPaused = true;
    for (const platform::PrintQueue& queue : queues) {
        if (queue.stopped || !uriNamesDevice(queue.deviceUri, device))
            continue;
        if (!platform::pausePrintQueue(queue.name, why)) {
            TraceError(portId, kMethod, __LINE__, "moveDriverPort : failed to pause %s (%s): %s",
                       queue.name.c_str(), queue.deviceUri.c_str(), why.c_str());
            allPaused = false;
            continue;
        }
        TraceWrite(portId, 1, kMethod, __LINE__, "print queue %s paused while %s is in use",
                   queue.name.c_str(), deviceName.c_str());
        std::lock_guard<std::mutex> guard(mutex_);
        pausedQueues_[queue.name] = deviceName;
    }
    return allPaused;
}

bool CDevManHelper::restoreDriverPort(int portId, const std::string& deviceName) {
    const char* kMethod = "CDevManHelper::restoreDriverPort";
    std::vector<std::string> ours;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (auto entry = pausedQueues_.begin(); entry != pausedQueues_.end();) {
            if (entry->second != deviceName) {
                ++entry;
                continue;
            }
            ours.push_back(entry->first);
            entry = pausedQueues_.erase(entry);
        }
    }
    bool allResumed = true;
    for (const std::string& queue : ours) {
        std::string why;
        if (platform::resumePrintQueue(queue, why)) {
            TraceWrite(portId, 1, kMethod, __LINE__, "print queue %s resumed", queue.c_str());
        } else {
            TraceError(portId, kMethod, __LINE__, "restoreDriverPort : failed to resume %s: %s",
                       queue.c_str(), why.c_str());
            allResumed = false;
        }
    }
    return allResumed;
}
