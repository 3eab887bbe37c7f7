#include "platform/ParallelPort.h"

#include <linux/lp.h>
#include <sys/ioctl.h>

#include "DeviceFile.h"

namespace platform {
namespace {

// The lp driver hands over the port's status register; the status byte is told in the
// port's own terms. The register has no line for a printer's power: one switched off
// drops SELECT and reads as off-line.
unsigned statusByte(int lines) {
    unsigned status = 0;
    if (lines & LP_PSELECD)
        status |= kParallelSelected;
    else
        status |= kParallelOffLine;
    if (lines & LP_POUTPA)
        status |= kParallelPaperEmpty;
    // BUSY is wired inverted: the bit is set while the printer is ready.
    if (!(lines & LP_PBUSY))
        status |= kParallelBusy;
    return status;
}

class PosixParallelDevice : public ParallelDevice {
public:
    explicit PosixParallelDevice(std::unique_ptr<DeviceFile> file) : file_(std::move(file)) {}

    bool status(unsigned& out) override {
        int lines = 0;
        if (::ioctl(file_->fd(), LPGETSTATUS, &lines) != 0)
            return false;
        out = statusByte(lines);
        return true;
    }

    bool applyTimeouts(const CommTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return true;
    }

    // The driver holds no queue of its own to throw away; the waits under way end.
    bool purge() override {
        file_->cancel();
        return true;
    }

    DeviceIo read(void* buffer, int length) override { return file_->readNow(buffer, length); }

    DeviceIo write(const void* data, int length) override {
        return file_->writeWithin(data, length, timeouts_.writeTimeoutMs(length));
    }

    void cancel() override { file_->cancel(); }

private:
    std::unique_ptr<DeviceFile> file_;
    CommTimeouts timeouts_;
};

class PosixParallelPorts : public ParallelPorts {
public:
    std::unique_ptr<ParallelDevice> open(const std::string& path, int& error) override {
        // The lp driver lets one opener at a time have the port.
        std::unique_ptr<DeviceFile> file = DeviceFile::open(path, error);
        if (!file)
            return nullptr;
        return std::make_unique<PosixParallelDevice>(std::move(file));
    }
};

}  // namespace

std::shared_ptr<ParallelPorts> systemParallelPorts() {
    static std::shared_ptr<ParallelPorts> ports = std::make_shared<PosixParallelPorts>();
    return ports;
}

}  // namespace platform
