// Serial devices (serial ports, USB serial adapters, Bluetooth serial links,
// pseudo-terminals): line settings, modem lines and timed I/O.
//
// The ports reach serial devices through a SerialPorts object, so that tests can stand in
// modem lines a pseudo-terminal does not have.
#pragma once

#include <memory>
#include <string>

#include "platform/DeviceIo.h"

namespace platform {

// Read and write time-outs in milliseconds, as a serial or parallel driver takes them.
struct CommTimeouts {
    int readInterval = 0;
    int readMultiplier = 0;
    int readConstant = 0;
    int writeMultiplier = 0;
    int writeConstant = 0;

    // The longest a write of `length` bytes may take (0: no limit).
    int writeTimeoutMs(int length) const { return writeMultiplier * length + writeConstant; }
};

// Line settings in the codes of a port name's fields.
struct SerialLine {
    static constexpr int kParityNone = 0;
    static constexpr int kParityOdd = 1;
    static constexpr int kParityEven = 2;
    static constexpr int kParityMark = 3;
    static constexpr int kParitySpace = 4;
    static constexpr int kOneStopBit = 0;
    static constexpr int kOneAndHalfStopBits = 1;
    static constexpr int kTwoStopBits = 2;
    // Hardware handshake: output waits for CTS, DTR and RTS raised.
    static constexpr int kFlowHardware = 0;
    // The same and Xon/Xoff both ways.
    static constexpr int kFlowXonXoff = 1;
    // No handshake; DTR and RTS dropped.
    static constexpr int kFlowNone = 2;

    int baudRate = 115200;
    int dataBits = 8;
    int parity = kParityNone;
    int stopBits = kOneStopBit;
    int flowControl = kFlowHardware;
};

// The modem lines a port watches, as bits of ModemStatus::mask.
inline constexpr unsigned kModemCts = 0x10;
inline constexpr unsigned kModemDsr = 0x20;

struct ModemStatus {
    enum class Outcome {
        Lines,    // `mask` holds the lines
        NoLines,  // the device has no modem lines at all (a pseudo-terminal, some adapters)
        Failed    // the device failed or hung up; `error` holds why
    };
    Outcome outcome = Outcome::Failed;
    unsigned mask = 0;
    int error = 0;
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Reads the device's current settings, which applyLine then changes; false for a
    // node that is no serial device.
    virtual bool readState() = 0;
    // Raw binary line with these settings: nothing is translated, echoed or held back.
    virtual bool applyLine(const SerialLine& line) = 0;
    virtual bool applyTimeouts(const CommTimeouts& timeouts) = 0;
    // Throws away what waits to be sent (and ends the writes under way), what waits to
    // be read, or both: kPurgeOutput, kPurgeInput.
    static constexpr unsigned kPurgeOutput = 1;
    static constexpr unsigned kPurgeInput = 2;
    virtual bool purge(unsigned what) = 0;
    // Waits until what was written has left the device: at most `totalMs`, and no longer
    // than `stallMs` while nothing leaves. The bytes still waiting (0 when all went).
    virtual int drain(int stallMs, int totalMs) = 0;
    virtual ModemStatus modemStatus() = 0;
    // Bytes waiting to be read; -1 on failure.
    virtual int queuedInput() = 0;
    // What waits, without waiting.
    virtual DeviceIo read(void* buffer, int length) = 0;
    // Writes everything within the write time-out of the applied time-outs.
    virtual DeviceIo write(const void* data, int length) = 0;
    // Waits up to `timeoutMs` for bytes to read, ending early on cancel(); true when
    // some wait.
    virtual bool waitReadable(int timeoutMs) = 0;
    // Ends the reads and writes under way.
    virtual void cancel() = 0;
    // The system's error of the last failed call.
    virtual int lastError() const = 0;
};

class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // Opens the device for this process alone; null with the system's error.
    virtual std::unique_ptr<SerialDevice> open(const std::string& path, int& error) = 0;
};

std::shared_ptr<SerialPorts> systemSerialPorts();

// Bluetooth serial links here are terminals the system binds and connects on open; there is
// no device to switch off and on before a reopen, as there is where a Bluetooth stack
// keeps a virtual port device of its own.
enum class DeviceSwitch { NotNeeded };
DeviceSwitch switchBluetoothDevice(const std::string& deviceName, bool enable);

}  // namespace platform
