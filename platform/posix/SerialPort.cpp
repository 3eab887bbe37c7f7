#include "platform/SerialPort.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "DeviceFile.h"

namespace platform {
namespace {

struct Speed {
    int baudRate;
    speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool speedCode(int baudRate, speed_t& code) {
    for (const Speed& speed : kSpeeds) {
        if (speed.baudRate == baudRate) {
            code = speed.code;
            return true;
        }
    }
    return false;
}

bool dataBitsFlag(int dataBits, tcflag_t& flag) {
    switch (dataBits) {
        case 5:
            flag = CS5;
            return true;
        case 6:
            flag = CS6;
            return true;
        case 7:
            flag = CS7;
            return true;
        case 8:
            flag = CS8;
            return true;
        default:
            return false;
    }
}

bool parityFlags(int parity, tcflag_t& flags) {
    switch (parity) {
        case SerialLine::kParityNone:
            flags = 0;
            return true;
        case SerialLine::kParityOdd:
            flags = PARENB | PARODD;
            return true;
        case SerialLine::kParityEven:
            flags = PARENB;
            return true;
        case SerialLine::kParityMark:
            flags = PARENB | PARODD | CMSPAR;
            return true;
        case SerialLine::kParitySpace:
            flags = PARENB | CMSPAR;
            return true;
        default:
            return false;
    }
}

// A device without modem lines answers their requests so.
bool noModemLines(int error) {
    return error == ENOTTY || error == EINVAL;
}

class PosixSerialDevice : public SerialDevice {
public:
    explicit PosixSerialDevice(std::unique_ptr<DeviceFile> file) : file_(std::move(file)) {}
    ~PosixSerialDevice() override {
        // The exclusive mark outlives this handle on a terminal whose other end stays.
        ::ioctl(file_->fd(), TIOCNXCL);
    }

    // A node that is no terminal is left for readState to refuse.
    bool takeExclusively() {
        return ::ioctl(file_->fd(), TIOCEXCL) == 0 || errno == ENOTTY || fail();
    }

    bool readState() override { return ::tcgetattr(file_->fd(), &state_) == 0 || fail(); }

    bool applyLine(const SerialLine& line) override {
        speed_t speed = 0;
        tcflag_t size = 0;
        tcflag_t parity = 0;
        if (!speedCode(line.baudRate, speed) || !dataBitsFlag(line.dataBits, size) ||
            !parityFlags(line.parity, parity))
            return failWith(EINVAL);
        termios wanted = state_;
        ::cfmakeraw(&wanted);
        wanted.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        wanted.c_cflag |= size | parity | CLOCAL | CREAD;
        // Two stop bits with five data bits are one and a half on the line.
        if (line.stopBits != SerialLine::kOneStopBit)
            wanted.c_cflag |= CSTOPB;
        if (line.parity != SerialLine::kParityNone)
            wanted.c_iflag |= INPCK;
        if (line.flowControl != SerialLine::kFlowNone)
            wanted.c_cflag |= CRTSCTS;
        if (line.flowControl == SerialLine::kFlowXonXoff)
            wanted.c_iflag |= IXON | IXOFF;
        wanted.c_cc[VMIN] = 0;
        wanted.c_cc[VTIME] = 0;
        if (::cfsetispeed(&wanted, speed) != 0 || ::cfsetospeed(&wanted, speed) != 0 ||
            ::tcsetattr(file_->fd(), TCSANOW, &wanted) != 0)
            return fail();
        state_ = wanted;
        return setControlLines(line.flowControl != SerialLine::kFlowNone);
    }

    bool applyTimeouts(const CommTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return true;
    }

    bool purge(unsigned what) override {
        int queues = 0;
        if (what & kPurgeOutput) {
            file_->cancel();
            queues = what & kPurgeInput ? TCIOFLUSH : TCOFLUSH;
        } else if (what & kPurgeInput) {
            queues = TCIFLUSH;
        } else {
            return true;
        }
        return ::tcflush(file_->fd(), queues) == 0 || fail();
    }

    int drain(int stallMs, int totalMs) override { return file_->drainOutput(stallMs, totalMs); }

    ModemStatus modemStatus() override {
        int lines = 0;
        if (::ioctl(file_->fd(), TIOCMGET, &lines) == 0) {
            unsigned mask = 0;
            if (lines & TIOCM_CTS)
                mask |= kModemCts;
            if (lines & TIOCM_DSR)
                mask |= kModemDsr;
            return {ModemStatus::Outcome::Lines, mask, 0};
        }
        int error = errno;
        lastError_ = error;
        if (!noModemLines(error))
            return {ModemStatus::Outcome::Failed, 0, error};
        // Without lines, a far end that hung up is the only sign of a lost link.
        if (file_->hungUp())
            return {ModemStatus::Outcome::Failed, 0, lastError_ = EIO};
        return {ModemStatus::Outcome::NoLines, 0, 0};
    }

    int queuedInput() override {
        int count = 0;
        if (::ioctl(file_->fd(), FIONREAD, &count) != 0) {
            fail();
            return -1;
        }
        return count;
    }

    DeviceIo read(void* buffer, int length) override {
        return remember(file_->readNow(buffer, length));
    }

    DeviceIo write(const void* data, int length) override {
        int limit = timeouts_.writeTimeoutMs(length);
        return remember(file_->writeWithin(data, length, limit > 0 ? limit : kNoLimitMs));
    }

    bool waitReadable(int timeoutMs) override { return file_->waitReadable(timeoutMs); }
    void cancel() override { file_->cancel(); }
    int lastError() const override { return lastError_; }

private:
    static constexpr int kNoLimitMs = 24 * 60 * 60 * 1000;

    bool setControlLines(bool raised) {
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (::ioctl(file_->fd(), raised ? TIOCMBIS : TIOCMBIC, &lines) == 0)
            return true;
        return noModemLines(errno) || fail();
    }

    bool fail() { return failWith(errno); }
    bool failWith(int error) {
        lastError_ = error;
        return false;
    }
    DeviceIo remember(DeviceIo io) {
        if (io.outcome == DeviceIo::Outcome::Failed)
            lastError_ = io.error;
        return io;
    }

    std::unique_ptr<DeviceFile> file_;
    termios state_{};
    CommTimeouts timeouts_;
    int lastError_ = 0;
};

class PosixSerialPorts : public SerialPorts {
public:
    std::unique_ptr<SerialDevice> open(const std::string& path, int& error) override {
        std::unique_ptr<DeviceFile> file = DeviceFile::open(path, error);
        if (!file)
            return nullptr;
        auto device = std::make_unique<PosixSerialDevice>(std::move(file));
        if (!device->takeExclusively()) {
            error = device->lastError();
            return nullptr;
        }
        return device;
    }
};

}  // namespace

std::shared_ptr<SerialPorts> systemSerialPorts() {
    static std::shared_ptr<SerialPorts> ports = std::make_shared<PosixSerialPorts>();
    return ports;
}

DeviceSwitch switchBluetoothDevice(const std::string&, bool) {
    return DeviceSwitch::NotNeeded;
}

}  // namespace platform
