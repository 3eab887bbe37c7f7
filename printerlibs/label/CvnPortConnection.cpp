#include "CvnPortConnection.h"

#include <condition_variable>
#include <mutex>
#include <vector>

#include "TraceLog.h"
#include "cvnport.h"

namespace {

constexpr int kDevice = 0;
// cvnport writes whole lists into buffers the caller sizes.
constexpr size_t kLookupBufferSize = 64 * 1024;

// What the open port's read thread has handed over. cvnport's data callback carries no
// context, and the library has one open printer at a time, so there is one inbox.
struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::string bytes;
};

// Never destroyed: a connection closed by the library's own static teardown still
// reaches it.
Inbox& inbox() {
    static Inbox* instance = new Inbox;
    return *instance;
}

void receiveData(const char* data, int length) {
    if (!data || length <= 0)
        return;
    Inbox& box = inbox();
    {
        std::lock_guard<std::mutex> lock(box.mutex);
        box.bytes.append(data, static_cast<size_t>(length));
    }
    box.arrived.notify_all();
}

class CCvnPortConnection final : public CLabelPort {
public:
    explicit CCvnPortConnection(int portId) : portId_(portId) {}
    ~CCvnPortConnection() override {
        // Closing stops the read thread, so no data callback runs after this.
        ClosePort(portId_, kDevice);
        RemovePort(portId_, kDevice);
        discardReceived();
    }

    bool write(std::string_view bytes) override {
        int length = static_cast<int>(bytes.size());
        return Write(bytes.data(), length, portId_) == length;
    }

    std::string receive(std::chrono::milliseconds wait) override {
        Inbox& box = inbox();
        std::unique_lock<std::mutex> lock(box.mutex);
        box.arrived.wait_for(lock, wait, [&] { return !box.bytes.empty(); });
        std::string out;
        out.swap(box.bytes);
        return out;
    }

    void discardReceived() override {
        Inbox& box = inbox();
        std::lock_guard<std::mutex> lock(box.mutex);
        box.bytes.clear();
    }

private:
    int portId_;
};

// The first path of a cvnport list ("path|path|...").
std::string firstOf(const std::vector<char>& list) {
    std::string text(list.data());
    return text.substr(0, text.find('|'));
}

}  // namespace

std::unique_ptr<CLabelPort> CCvnPortOpener::open(int portType, const std::string& portName) {
    static constexpr const char* kMethod = "CCvnPortOpener::open";
    int portId = CreatePortA(portType, portName.c_str(), 0);
    if (portId == 0) {
        TraceError(kMethod, __LINE__, "cvnport refuses the port %s", portName.c_str());
        return nullptr;
    }
    // The idle probe byte could land between two labels' bytes on the printer; the
    // label library sends only what a job asks for.
    SetUseWriteNullByte(portId, 0);
    if (OpenPort(portId, kDevice) <= 0) {
        TraceError(kMethod, __LINE__, "cannot open %s", portName.c_str());
        RemovePort(portId, kDevice);
        return nullptr;
    }
    auto connection = std::make_unique<CCvnPortConnection>(portId);
    connection->discardReceived();
    if (!SetDataReceiver(portId, kDevice, receiveData)) {
        TraceError(kMethod, __LINE__, "%s reads no answers", portName.c_str());
        return nullptr;
    }
    return connection;
}

std::string CCvnPortOpener::findUsbPrinter(const std::string& name) {
    std::vector<char> productId(kLookupBufferSize, '\0');
    std::vector<char> paths(kLookupBufferSize, '\0');
    if (GetDevicePidA(name.c_str(), productId.data()) &&
        GetUSBDevicePathA(productId.data(), paths.data()))
        return firstOf(paths);
    if (GetUSBDevicePathABySN(name.c_str(), paths.data()))
        return firstOf(paths);
    return {};
}
