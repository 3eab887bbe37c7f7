#include "ConfigCommands.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <string_view>
#include <vector>

#include "DeviceTypes.h"
#include "DevicesList.h"
#include "INIFileLock.h"
#include "INIHelper.h"
#include "ServiceSettings.h"

namespace configcommands {

namespace {

constexpr const char* kSettingsKeys =
    "ListenPort, ShowWindow, CheckDupReq, DeviceLog, JobFileFolder";
constexpr std::array<int, 6> kPortTypes = {
    kPortWirelessNetwork, kPortWiredNetwork, kPortBluetooth, kPortUsb, kPortSerial, kPortParallel};
constexpr int kMaxListenPort = 65535;

// A failure: the message has already gone to the error stream.
struct Failed {
    int status;
};

class Command {
public:
    Command(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    Failed fail(int status, const std::string& message) {
        err_ << "vembrix: " << message << "\n";
        return Failed{status};
    }

    std::ostream& out() { return out_; }

private:
    std::ostream& out_;
    std::ostream& err_;
};

template <typename Keys>
std::string joined(const Keys& keys) {
    std::string text;
    for (std::string_view key : keys)
        text += (text.empty() ? "" : ", ") + std::string(key);
    return text;
}

// A load the commands depend on: a file that is there but cannot be read is a failure,
// never an empty list or the defaults.
void checkLoaded(Command& command, bool loaded) {
    if (!loaded)
        throw command.fail(kExitFailed, CINIHelper::LastError());
}

// Runs a changing command with the file locked from its load to its save, so that
// commands run at once never lose each other's changes.
template <typename Body>
int whileLocked(Command& command, Body body) {
    CINIFileLock lock(CINIHelper::DefaultFilePath());
    if (!lock.IsHeld())
        throw command.fail(kExitFailed, lock.GetError());
    return body();
}

[[noreturn]] void failWrite(Command& command) {
    throw command.fail(kExitFailed, CINIHelper::LastError());
}

struct Pair {
    std::string key;
    std::string value;
};

// The same rule the file's reader applies: plain decimal digits that fit an int.
std::optional<int> parseNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
        if (number > INT_MAX)
            return std::nullopt;
    }
    return static_cast<int>(number);
}

std::vector<Pair> parsePairs(Command& command, const std::vector<std::string>& words) {
    std::vector<Pair> pairs;
    for (const std::string& word : words) {
        size_t equals = word.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw command.fail(kExitUsage, "expected KEY=VALUE, got '" + word + "'");
        }
        pairs.push_back({word.substr(0, equals), word.substr(equals + 1)});
    }
    return pairs;
}

int numberFor(Command& command, const Pair& pair, int low, int high) {
    std::optional<int> number = parseNumber(pair.value);
    if (!number || *number < low || *number > high) {
        throw command.fail(kExitUsage, pair.key + " needs a number from " + std::to_string(low) +
                                           " to " + std::to_string(high) + ", got '" + pair.value +
                                           "'");
    }
    return *number;
}

std::string textFor(Command& command, const Pair& pair) {
    // Reading trims a value, so white space at its ends would not come back.
    const std::string& value = pair.value;
    auto white = [](char c) {
        return std::string_view(" \t\v\f").find(c) != std::string_view::npos;
    };
    bool outerWhite = !value.empty() && (white(value.front()) || white(value.back()));
    if (!CINIHelper::IsStorableValue(value) || outerWhite) {
        throw command.fail(kExitUsage, pair.key +
                                           " cannot hold a double quote, a line end or white "
                                           "space at either end");
    }
    return value;
}

int printerTypeFor(Command& command, const Pair& pair) {
    int named = devicetypes::typeNumberOfName(pair.value);
    if (named >= devicetypes::kUnknownType && named <= devicetypes::kRelvo)
        return named;
    std::optional<int> number = parseNumber(pair.value);
    if (!number || *number > devicetypes::kRelvo) {
        throw command.fail(kExitUsage,
                           "PrinterType needs 0 to 4 or one of Unknown type, "
                           "LabelPrinter, POSPrinter, MobilePrinter, Relvo; got '" +
                               pair.value + "'");
    }
    return *number;
}

int portTypeFor(Command& command, const Pair& pair) {
    std::optional<int> number = parseNumber(pair.value);
    for (int type : kPortTypes) {
        if (number && *number == type)
            return type;
    }
    throw command.fail(kExitUsage,
                       "PortType needs one of 1, 2, 4, 16, 32, 64; got '" + pair.value + "'");
}

void applyPrinterKey(Command& command, CDeviceInfo& device, const Pair& pair) {
    if (pair.key == "PrinterType") {
        device.printerType = printerTypeFor(command, pair);
    } else if (pair.key == "PortType") {
        device.portType = portTypeFor(command, pair);
    } else if (int* number = device.numberField(pair.key)) {
        *number = numberFor(command, pair, 0, INT_MAX);
    } else if (std::string* text = device.textField(pair.key)) {
        *text = textFor(command, pair);
    } else {
        throw command.fail(kExitUsage, "unknown printer key '" + pair.key +
                                           "' (keys: " + joined(kPrinterKeys) + ")");
    }
}

// A key the printer's types do not keep would be taken and then never written.
void checkKeysApply(Command& command, const CDeviceInfo& device, const std::vector<Pair>& pairs) {
    for (const Pair& pair : pairs) {
        if (!device.storesKey(pair.key)) {
            throw command.fail(kExitUsage, pair.key + " does not apply to a " +
                                               devicetypes::typeName(device.printerType) +
                                               " on port type " + std::to_string(device.portType) +
                                               " (keys that apply: " + joined(device.storedKeys()) +
                                               ")");
        }
    }
}

int listPrinters(Command& command) {
    CDevicesList list;
    checkLoaded(command, list.loadDevices());
    std::vector<CDeviceInfo> devices;
    list.copyDeviceList(devices);
    for (const CDeviceInfo& device : devices) {
        command.out() << device.logicalName << '\t' << devicetypes::typeName(device.printerType)
                      << '\t' << device.portText() << '\n';
    }
    return kExitOk;
}

int addPrinter(Command& command, const std::string& name, const std::vector<std::string>& words) {
    if (!CDevicesList::isUsableLogicalName(name)) {
        constexpr size_t kShown = 40;
        size_t cut = std::min(name.size(), kShown);
        while (cut < name.size() && cut > 0 && (name[cut] & 0xC0) == 0x80)
            --cut;  // not inside a UTF-8 character
        const std::string shown = cut < name.size() ? name.substr(0, cut) + "..." : name;
        throw command.fail(kExitUsage,
                           "'" + shown + "' cannot be a logical name (it must be 1 to " +
                               std::to_string(CDevicesList::kMaxLogicalNameBytes) +
                               " bytes long, hold no | ] / ? # or control character, not begin or "
                               "end with white space or end in .cvn, and not be Vembrix, Devices "
                               "or list)");
    }
    std::vector<Pair> pairs = parsePairs(command, words);
    CDevicesList list;
    checkLoaded(command, list.loadDevices());
    CDeviceInfo device;
    bool listed = list.isRegistered(name) != 0;
    if (listed) {
        list.getDeviceInfo(name, device);
    } else {
        device.logicalName = name;
    }
    const bool wasNetwork = listed && device.isNetworkPort();
    bool hasPrinterType = false;
    bool hasPortType = false;
    bool hasBaudRate = false;
    for (const Pair& pair : pairs) {
        applyPrinterKey(command, device, pair);
        hasPrinterType = hasPrinterType || pair.key == "PrinterType";
        hasPortType = hasPortType || pair.key == "PortType";
        hasBaudRate = hasBaudRate || pair.key == "BaudRate";
    }
    if (!listed && (!hasPrinterType || !hasPortType)) {
        throw command.fail(kExitUsage, "a new printer needs PrinterType and PortType");
    }
    checkKeysApply(command, device, pairs);
    // Like the printer dialog, which offers TCP port 9100 when Network is chosen.
    bool becameNetwork = device.isNetworkPort() && !wasNetwork;
    if (becameNetwork && !hasBaudRate)
        device.baudRate = kDefaultTcpPort;
    switch (list.addOrUpdateDevice(device)) {
        case DeviceSaveResult::Saved:
            return kExitOk;
        case DeviceSaveResult::UnusableName:
            throw command.fail(kExitUsage, "'" + name + "' cannot be a logical name");
        case DeviceSaveResult::UnstorableValue:
            throw command.fail(kExitUsage, "a value of '" + name + "' cannot be stored");
        case DeviceSaveResult::WriteFailed:
            break;
    }
    failWrite(command);
}

int removePrinter(Command& command, const std::string& name) {
    CDevicesList list;
    checkLoaded(command, list.loadDevices());
    if (!list.isRegistered(name))
        throw command.fail(kExitFailed, "unknown printer '" + name + "'");
    if (list.removeDevice(name) != 1)
        failWrite(command);
    return kExitOk;
}

int showSettings(Command& command) {
    CServiceSettings settings;
    checkLoaded(command, settings.loadSettings());
    ServiceSettingsValues v = settings.values();
    command.out() << "ListenPort=" << v.listenPort << "\n"
                  << "ResponseStatus=" << v.responseStatus << "\n"
                  << "CheckDupReq=" << v.checkDupReq << "\n"
                  << "ShowWindow=" << v.showWindow << "\n"
                  << "DeviceLog=" << v.deviceLog << "\n"
                  << "ThruPassMode=" << v.thruPassMode << "\n"
                  << "ThruPassIP=" << v.thruPassIP << "\n"
                  << "ThruPassPort=" << v.thruPassPort << "\n"
                  << "RestrictPublic=" << v.restrictPublic << "\n"
                  << "JobFileFolder=" << v.jobFileFolder << "\n";
    return kExitOk;
}

int setSettings(Command& command, const std::vector<std::string>& words) {
    if (words.empty())
        throw command.fail(kExitUsage, "settings set needs KEY=VALUE");
    std::vector<Pair> pairs = parsePairs(command, words);
    CServiceSettings settings;
    checkLoaded(command, settings.loadSettings());
    ServiceSettingsValues v = settings.values();
    bool jobFileFolderGiven = false;
    for (const Pair& pair : pairs) {
        if (pair.key == "JobFileFolder") {
            v.jobFileFolder = textFor(command, pair);
            jobFileFolderGiven = true;
        } else if (pair.key == "ListenPort") {
            v.listenPort = numberFor(command, pair, 1, kMaxListenPort);
        } else if (pair.key == "ShowWindow") {
            v.showWindow = numberFor(command, pair, 0, 1);
        } else if (pair.key == "CheckDupReq") {
            v.checkDupReq = numberFor(command, pair, 0, 1);
        } else if (pair.key == "DeviceLog") {
            v.deviceLog = numberFor(command, pair, 0, 1);
        } else {
            throw command.fail(kExitUsage, "unknown settings key '" + pair.key +
                                               "' (keys: " + kSettingsKeys + ")");
        }
    }
    const bool saved =
        jobFileFolderGiven
            ? settings.saveSettings(v.listenPort, v.showWindow, v.checkDupReq, v.deviceLog,
                                    v.jobFileFolder)
            : settings.saveSettings(v.listenPort, v.showWindow, v.checkDupReq, v.deviceLog);
    if (!saved)
        failWrite(command);
    return kExitOk;
}

int dispatch(Command& command, const std::vector<std::string>& args) {
    auto tail = [&](size_t from) {
        return std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(from),
                                        args.end());
    };
    if (args.empty())
        throw command.fail(kExitUsage, "no command given");
    const std::string& verb = args[0];
    if (verb == "printers" && args.size() == 1)
        return listPrinters(command);
    if (verb == "printer" && args.size() >= 3 && args[1] == "add") {
        return whileLocked(command, [&] { return addPrinter(command, args[2], tail(3)); });
    }
    if (verb == "printer" && args.size() == 3 && args[1] == "remove") {
        return whileLocked(command, [&] { return removePrinter(command, args[2]); });
    }
    if (verb == "settings" && args.size() == 1)
        return showSettings(command);
    if (verb == "settings" && args.size() >= 2 && args[1] == "set") {
        return whileLocked(command, [&] { return setSettings(command, tail(2)); });
    }
    std::string given;
    for (const std::string& arg : args)
        given += (given.empty() ? "" : " ") + arg;
    throw command.fail(kExitUsage, "unknown or incomplete command '" + given +
                                       "' (commands: printers | printer add NAME KEY=VALUE... | "
                                       "printer remove NAME | settings | settings set "
                                       "KEY=VALUE...)");
}

}  // namespace

bool isConfigCommand(int argc, const char* const* argv) {
    if (argc < 2)
        return false;
    std::string_view verb = argv[1];
    return verb == "printers" || verb == "printer" || verb == "settings";
}

std::string usage() {
    return "  vembrix printers\n"
           "  vembrix printer add NAME KEY=VALUE...\n"
           "  vembrix printer remove NAME\n"
           "  vembrix settings\n"
           "  vembrix settings set KEY=VALUE...";
}

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    Command command(out, err);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    try {
        return dispatch(command, args);
    } catch (const Failed& failed) {
        return failed.status;
    }
}

}  // namespace configcommands
