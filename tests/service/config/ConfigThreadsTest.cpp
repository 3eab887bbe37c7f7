// Readers on worker and bridge threads while the UI thread changes the printers and
// the settings: every record a reader sees must be one that was written whole.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ConfigTestSupport.h"
#include "DevicesList.h"
#include "ServiceSettings.h"

namespace {

constexpr int kWrites = 60;
constexpr int kReaders = 3;

// Every field of generation n holds n, so a torn record shows at once.
CDeviceInfo generation(int n) {
    CDeviceInfo device;
    device.logicalName = "Till";
    device.printerType = 2;
    device.portType = kPortSerial;
    device.portName = "port" + std::to_string(n);
    device.physicalName = "model" + std::to_string(n);
    device.baudRate = n;
    device.dataBits = n;
    device.parity = n;
    device.stopBits = n;
    device.flowControl = n;
    device.checkStatus = n;
    return device;
}

bool consistent(const CDeviceInfo& d) {
    int n = d.baudRate;
    return d.portName == "port" + std::to_string(n) &&
           d.physicalName == "model" + std::to_string(n) && d.dataBits == n && d.parity == n &&
           d.stopBits == n && d.flowControl == n && d.checkStatus == n;
}

class ConfigThreadsTest : public ConfigTest {};

TEST_F(ConfigThreadsTest, ReadersAlwaysSeeWholeRecords) {
    writeIni("[Vembrix]\nListenPort=1\n");
    CDevicesList list;
    CServiceSettings settings;
    list.loadDevices();
    ASSERT_EQ(list.addOrUpdateDevice(generation(1)), DeviceSaveResult::Saved);
    ASSERT_TRUE(settings.saveSettings(1, 1, 1, 1));

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r) {
        readers.emplace_back([&] {
            // Bounded by the writer: it sets `done` after its last write.
            while (!done.load()) {
                CDeviceInfo device;
                if (list.getDeviceInfo("Till", device) && !consistent(device))
                    ++torn;
                std::vector<CDeviceInfo> copy;
                list.copyDeviceList(copy);
                for (const CDeviceInfo& d : copy) {
                    if (d.logicalName == "Till" && !consistent(d))
                        ++torn;
                }
                list.isRegistered("Other");
                list.printerTypeOf("Till");
                ServiceSettingsValues v = settings.values();
                if (v.listenPort != v.showWindow || v.listenPort != v.checkDupReq ||
                    v.listenPort != v.deviceLog) {
                    ++torn;
                }
                ++reads;
            }
        });
    }
    for (int n = 2; n <= kWrites; ++n) {
        EXPECT_EQ(list.addOrUpdateDevice(generation(n)), DeviceSaveResult::Saved);
        EXPECT_TRUE(settings.saveSettings(n, n, n, n));
        if (n % 10 == 0) {
            CDeviceInfo other = generation(n);
            other.logicalName = "Other";
            list.addOrUpdateDevice(other);
            list.removeDevice("Other");
            list.loadDevices();
            settings.loadSettings();
        }
    }
    done = true;
    for (std::thread& reader : readers)
        reader.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    CDevicesList fresh;
    fresh.loadDevices();
    CDeviceInfo last;
    ASSERT_EQ(fresh.getDeviceInfo("Till", last), 1);
    EXPECT_EQ(last.baudRate, kWrites);
    EXPECT_EQ(fresh.isRegistered("Other"), 0);
}

// Two threads changing the file at once must not lose each other's change.
TEST_F(ConfigThreadsTest, ConcurrentWritersKeepBothChanges) {
    writeIni("[Vembrix]\nListenPort=8080\n");
    CDevicesList list;
    CServiceSettings settings;
    std::thread printers([&] {
        for (int n = 0; n < 20; ++n) {
            CDeviceInfo device = generation(n + 1);
            device.logicalName = "P" + std::to_string(n);
            list.addOrUpdateDevice(device);
        }
    });
    for (int n = 0; n < 20; ++n)
        settings.saveSettings(9000 + n, 1, 1, 0);
    printers.join();
    CDevicesList fresh;
    fresh.loadDevices();
    EXPECT_EQ(fresh.size(), 20u);
    CServiceSettings read;
    read.loadSettings();
    EXPECT_EQ(read.listenPort(), 9019);
}

}  // namespace
