// Saves killed at any moment and commands run at once: what people and scripts do to
// "vembrix.ini" from several processes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "ConfigTestSupport.h"
#include "DevicesList.h"
#include "INIHelper.h"
#include "ServiceSettings.h"

namespace {

constexpr int kKillsPerCase = 100;
constexpr std::chrono::microseconds kLongestLifeBeforeKill{20000};
constexpr std::chrono::microseconds kLongestLifeOnASlowMachine{1000000};

// Generation n says n in its first and in its last key; the comment lines in between
// make a save long enough to be killed in the middle.
std::string generation(int n) {
    std::string file = "[A]\nfirst=" + std::to_string(n) + "\n";
    for (int line = 0; line < 2000; ++line)
        file += "; padding line " + std::string(80, 'p') + "\n";
    return file + "[B]\nlast=" + std::to_string(n) + "\n";
}

// Saves one generation after the other until killed.
int saveForever() {
    for (int n = 1;; ++n) {
        CINIHelper ini;
        ini.SetInt("A", "first", n);
        ini.SetInt("B", "last", n);
        ini.Save();
    }
}

class ConfigProcessTest : public ConfigTest {
protected:
    // The generation the file holds whole; -1 when it holds none whole.
    int wholeGeneration() const {
        const std::string bytes = iniBytes();
        const std::string key = "first=";
        size_t at = bytes.find(key);
        if (at == std::string::npos)
            return -1;
        int n = std::atoi(bytes.c_str() + at + key.size());
        return bytes == crlf(generation(n)) ? n : -1;
    }

    int temporaryFiles() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(home.path()))
            count += entry.path().filename().string().rfind("vembrix.ini.", 0) == 0;
        return count;
    }

    ChildProcess runBinary(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {VEMBRIX_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        return ChildProcess::run(argv);
    }
};

TEST_F(ConfigProcessTest, SaveKilledAtAnyMomentLeavesOneWholeFileAndAtMostOneTemporary) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    std::mt19937 random(7);
    // A writable folder, and a folder that takes no new file with a file that is the
    // service user's to write.
    for (bool readOnlyFolder : {false, true}) {
        SCOPED_TRACE(readOnlyFolder ? "read-only folder" : "writable folder");
        writeIni(generation(0));
        if (readOnlyFolder) {
            ASSERT_EQ(chmod(home.path().c_str(), 0755), 0);
            ASSERT_EQ(chown(home.file("vembrix.ini").c_str(), ChildProcess::kNobody,
                            ChildProcess::kNobody),
                      0);
        }
        int newest = 0;
        long longestLife = kLongestLifeBeforeKill.count();
        for (int kill = 0; kill < kKillsPerCase; ++kill) {
            // On a slow machine (a sanitizer build under load) no save may end within the
            // usual lives: they grow until saves land, so that kills also hit later saves.
            if (!readOnlyFolder && newest == 0 && kill % 10 == 9)
                longestLife = std::min(2 * longestLife, kLongestLifeOnASlowMachine.count());
            ChildProcess saver = ChildProcess::start(saveForever, readOnlyFolder);
            std::uniform_int_distribution<long> life(0, longestLife);
            std::this_thread::sleep_for(std::chrono::microseconds(life(random)));
            saver.kill();
            int n = wholeGeneration();
            ASSERT_GE(n, 0) << "after kill " << kill;
            ASSERT_LE(temporaryFiles(), 1) << "after kill " << kill;
            newest = std::max(newest, n);
        }
        if (readOnlyFolder) {
            EXPECT_EQ(newest, 0);  // every save refused
        } else {
            EXPECT_GT(newest, 0);  // some saves landed
            { CINIHelper().SetInt("A", "first", 0); }
            EXPECT_EQ(temporaryFiles(), 0);  // the next save clears what a kill left
        }
    }
}

TEST_F(ConfigProcessTest, CommandsRunAtOnceAllLand) {
    writeIni("[Vembrix]\n[Till]\nPrinterType=2\nPortType=32\n");
    std::vector<ChildProcess> commands;
    for (int n = 0; n < 12; ++n) {
        commands.push_back(
            runBinary({"printer", "add", "P" + std::to_string(n), "PrinterType=1", "PortType=16"}));
    }
    // Each of these loads the printer, changes one key and writes the whole record: a
    // load that does not see the others' saves would undo them.
    for (const char* pair : {"BaudRate=19200", "DataBits=7", "Parity=1", "StopBits=1",
                             "FlowControl=1", "CheckStatus=1"}) {
        commands.push_back(runBinary({"printer", "add", "Till", pair}));
    }
    commands.push_back(runBinary({"settings", "set", "ListenPort=9000"}));
    for (ChildProcess& command : commands)
        EXPECT_EQ(command.wait(), 0) << command.err();

    CDevicesList list;
    ASSERT_TRUE(list.loadDevices());
    EXPECT_EQ(list.size(), 13u);
    CDeviceInfo till;
    ASSERT_EQ(list.getDeviceInfo("Till", till), 1);
    EXPECT_EQ(till.portText(), ":19200:7:1:1:1");
    EXPECT_EQ(till.checkStatus, 1);
    CServiceSettings settings;
    ASSERT_TRUE(settings.loadSettings());
    EXPECT_EQ(settings.listenPort(), 9000);
}

TEST_F(ConfigProcessTest, CommandFacingAStuckLockFailsWithOneLineAndWritesNothing) {
    writeIni("[Vembrix]\nListenPort=8080\n");
    const std::string path = home.file("vembrix.ini");
    ChildProcess holder = holdLock(path);
    ChildProcess command = runBinary({"settings", "set", "ListenPort=9000"});
    EXPECT_EQ(command.wait(), 1);
    EXPECT_EQ(command.err(), "vembrix: cannot lock " + path + ": another program has held it for " +
                                 std::to_string(CINIFileLock::kWait.count()) + " ms\n");
    EXPECT_EQ(iniBytes(), crlf("[Vembrix]\nListenPort=8080\n"));
}

}  // namespace
