#include "ConfigCommands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

#include "ConfigTestSupport.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// A file as a user leaves it: comments, blank lines, quoted values, trailing comments.
const char* const kUserFile =
    "; Vembrix configuration\n"
    "; edited by hand\n"
    "\n"
    "[Vembrix]\n"
    "ListenPort=8080   ; web port\n"
    "RestrictPublic=1\n"
    "\n"
    "; the till\n"
    "[Till]\n"
    "PrinterType=2 ; POS\n"
    "PortType=32\n"
    "PortName=\"/dev/ttyS0\"\n"
    "; line settings\n"
    "BaudRate=9600\n";

class ConfigCommandsTest : public ConfigTest {
protected:
    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), "vembrix");
        std::vector<const char*> argv;
        for (const std::string& arg : args)
            argv.push_back(arg.c_str());
        std::ostringstream out;
        std::ostringstream err;
        Outcome outcome;
        outcome.status = configcommands::run(static_cast<int>(argv.size()), argv.data(), out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    // The built program, with VEMBRIX_HOME inherited from the test.
    Outcome runBinary(std::vector<std::string> args, bool asNobody = false) {
        args.insert(args.begin(), VEMBRIX_BINARY);
        ChildProcess program = ChildProcess::run(args, asNobody);
        Outcome outcome;
        outcome.status = program.wait();
        outcome.out = program.out();
        outcome.err = program.err();
        return outcome;
    }

    // One line on stderr, a failure status, and the file as it was.
    void expectRefused(const Outcome& outcome, const std::string& before,
                       const std::string& message) {
        EXPECT_NE(outcome.status, 0);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_EQ(iniBytes(), before);
    }
};

TEST_F(ConfigCommandsTest, BinaryWritesWhatTheStoreRulesGive) {
    writeIni(kUserFile);
    std::string expected = kUserFile;

    Outcome edit = runBinary({"printer", "add", "Till", "PortName=/dev/ttyUSB1", "BaudRate=19200"});
    ASSERT_EQ(edit.status, 0) << edit.err;
    expected =
        "; Vembrix configuration\n"
        "; edited by hand\n"
        "\n"
        "[Vembrix]\n"
        "ListenPort=8080   ; web port\n"
        "RestrictPublic=1\n"
        "\n"
        "; the till\n"
        "[Till]\n"
        "PrinterType=2 ; POS\n"
        "PortType=32\n"
        "PortName=\"/dev/ttyUSB1\"\n"
        "; line settings\n"
        "BaudRate=19200\n"
        "Physical=\n"
        "DataBits=8\n"
        "Parity=0\n"
        "StopBits=0\n"
        "FlowControl=0\n"
        "CheckStatus=0\n";
    EXPECT_EQ(iniBytes(), crlf(expected));

    Outcome add = runBinary({"printer", "add", "Back office", "PrinterType=LabelPrinter",
                             "PortType=2", "PortName=192.168.0.20", "Physical=Z 4x it's"});
    ASSERT_EQ(add.status, 0) << add.err;
    const std::string withLabel = expected +
                                  "[Back office]\n"
                                  "PrinterType=1\n"
                                  "Physical=\"Z 4x it's\"\n"
                                  "PortType=2\n"
                                  "PortName=192.168.0.20\n"
                                  "BaudRate=9100\n";
    EXPECT_EQ(iniBytes(), crlf(withLabel));

    Outcome set = runBinary({"settings", "set", "ListenPort=9000", "DeviceLog=1"});
    ASSERT_EQ(set.status, 0) << set.err;
    std::string withSettings = withLabel;
    withSettings.replace(withSettings.find("ListenPort=8080"), 15, "ListenPort=9000");
    withSettings.replace(withSettings.find("RestrictPublic=1\n"), 17,
                         "RestrictPublic=1\nShowWindow=1\nCheckDupReq=0\nDeviceLog=1\n");
    EXPECT_EQ(iniBytes(), crlf(withSettings));

    Outcome list = runBinary({"printers"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out,
              "Till\tPOSPrinter\t/dev/ttyUSB1:19200:8:0:0:0\n"
              "Back office\tLabelPrinter\t192.168.0.20\n");

    Outcome remove = runBinary({"printer", "remove", "Back office"});
    ASSERT_EQ(remove.status, 0) << remove.err;
    std::string removed = withSettings.substr(0, withSettings.find("[Back office]"));
    EXPECT_EQ(iniBytes(), crlf(removed));

    Outcome settings = runBinary({"settings"});
    EXPECT_EQ(settings.status, 0);
    EXPECT_EQ(settings.out,
              "ListenPort=9000\nResponseStatus=0\nCheckDupReq=0\nShowWindow=1\nDeviceLog=1\n"
              "ThruPassMode=0\nThruPassIP=\nThruPassPort=8080\nRestrictPublic=1\n"
              "JobFileFolder=JobFiles\n");
}

TEST_F(ConfigCommandsTest, BinaryRefusesBadInputWithOneLineAndWritesNothing) {
    writeIni(kUserFile);
    const std::string before = crlf(kUserFile);
    expectRefused(runBinary({"printer", "add", "Till", "Colour=red"}), before,
                  "unknown printer key 'Colour'");
    expectRefused(runBinary({"printer", "add", "Till", "BaudRate=fast"}), before,
                  "BaudRate needs a number");
    expectRefused(runBinary({"printer", "add", "Devices", "PrinterType=1", "PortType=16"}), before,
                  "'Devices' cannot be a logical name");
    // A name no request could carry: its limit is in the message, not all of the name.
    expectRefused(
        runBinary({"printer", "add", std::string(10000, 'x'), "PrinterType=1", "PortType=16"}),
        before,
        "'" + std::string(40, 'x') +
            "...' cannot be a logical name (it must be 1 to 256 bytes long");
    expectRefused(runBinary({"printer", "add", "Till.cvn", "PrinterType=1", "PortType=16"}), before,
                  "'Till.cvn' cannot be a logical name");
    expectRefused(runBinary({"printer", "remove", "Nobody"}), before, "unknown printer 'Nobody'");
    expectRefused(runBinary({"settings", "set", "RestrictPublic=0"}), before,
                  "unknown settings key 'RestrictPublic'");
    EXPECT_NE(runBinary({"frobnicate"}).status, 0);
    EXPECT_NE(runBinary({"printer", "add"}).status, 0);
    EXPECT_EQ(iniBytes(), before);
}

TEST_F(ConfigCommandsTest, VersionStillPrintsTheBanner) {
    Outcome version = runBinary({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("Vembrix ", 0), 0u) << version.out;
    EXPECT_NE(version.out.find("Copyright"), std::string::npos);
}

TEST_F(ConfigCommandsTest, NewPrinterNeedsItsTypesAndAcceptsTypeNames) {
    writeIni("[Vembrix]\n");
    const std::string before = crlf("[Vembrix]\n");
    expectRefused(run({"printer", "add", "P", "PortType=16"}), before,
                  "needs PrinterType and PortType");
    expectRefused(run({"printer", "add", "P", "PrinterType=Printer", "PortType=16"}), before,
                  "PrinterType needs");
    expectRefused(run({"printer", "add", "P", "PrinterType=5", "PortType=16"}), before,
                  "PrinterType needs");
    expectRefused(run({"printer", "add", "P", "PrinterType=1", "PortType=8"}), before,
                  "PortType needs");
    expectRefused(run({"printer", "add", "P", "PrinterType=1", "PortType=16", "Parity=-1"}), before,
                  "Parity needs a number");
    expectRefused(run({"printer", "add", "P", "PrinterType=1", "PortType=16", "PortName= x"}),
                  before, "PortName cannot hold");
    expectRefused(run({"printer", "add", "P", "PrinterType=1", "PortType=16", "noequals"}), before,
                  "expected KEY=VALUE");

    ASSERT_EQ(run({"printer", "add", "P", "PrinterType=MobilePrinter", "PortType=4",
                   "PortName=COM3", "CheckStatus=2"})
                  .status,
              0);
    EXPECT_EQ(run({"printers"}).out, "P\tMobilePrinter\tCOM3:9600\n");
}

TEST_F(ConfigCommandsTest, AGatewayPrinterKeepsItsDeviceIdentifierAheadOfThePortSuffix) {
    writeIni("[Vembrix]\n");
    ASSERT_EQ(run({"printer", "add", "G", "PrinterType=Relvo", "PortType=2", "PortName=12@10.0.0.5",
                   "BaudRate=6101", "CheckStatus=1"})
                  .status,
              0);
    EXPECT_NE(iniBytes().find("PortName=12@10.0.0.5\r\n"), std::string::npos);
    EXPECT_EQ(run({"printers"}).out, "G\tRelvo\t12@10.0.0.5:6101\n");
}

TEST_F(ConfigCommandsTest, ExistingPrinterStartsFromItsRecord) {
    writeIni(
        "[Vembrix]\n[P]\nPrinterType=2\nPortType=2\nPortName=10.0.0.1\nBaudRate=6101\n"
        "CheckStatus=3\n");
    ASSERT_EQ(run({"printer", "add", "P", "PortName=10.0.0.2"}).status, 0);
    EXPECT_EQ(run({"printers"}).out, "P\tPOSPrinter\t10.0.0.2:6101\n");
    // Switching to serial keeps the record's other fields; back to network offers 9100.
    ASSERT_EQ(run({"printer", "add", "P", "PortType=32", "PortName=COM1"}).status, 0);
    EXPECT_EQ(run({"printers"}).out, "P\tPOSPrinter\tCOM1:6101:8:0:0:0\n");
    ASSERT_EQ(run({"printer", "add", "P", "PortType=1", "PortName=10.0.0.3"}).status, 0);
    EXPECT_EQ(run({"printers"}).out, "P\tPOSPrinter\t10.0.0.3\n");
    EXPECT_NE(iniBytes().find("CheckStatus=3"), std::string::npos);
}

TEST_F(ConfigCommandsTest, SettingsSetChecksItsValues) {
    writeIni("[Vembrix]\nListenPort=8080\n");
    const std::string before = crlf("[Vembrix]\nListenPort=8080\n");
    expectRefused(run({"settings", "set", "ListenPort=0"}), before, "ListenPort needs");
    expectRefused(run({"settings", "set", "ListenPort=65536"}), before, "ListenPort needs");
    expectRefused(run({"settings", "set", "ShowWindow=2"}), before, "ShowWindow needs");
    expectRefused(run({"settings", "set", "listenport=80"}), before, "unknown settings key");
    expectRefused(run({"settings", "set"}), before, "needs KEY=VALUE");
    // A refused pair refuses the whole command, also when other pairs were fine.
    expectRefused(run({"settings", "set", "DeviceLog=1", "CheckDupReq=x"}), before,
                  "CheckDupReq needs");
    expectRefused(run({"settings", "set", "JobFileFolder= /srv"}), before, "JobFileFolder cannot");
    ASSERT_EQ(run({"settings", "set", "ShowWindow=0", "ShowWindow=1", "CheckDupReq=1"}).status, 0);
    EXPECT_EQ(iniBytes(),
              crlf("[Vembrix]\nListenPort=8080\nShowWindow=1\nCheckDupReq=1\nDeviceLog=0\n"));
    // The folder of job files, which the settings dialog does not show, is set by name.
    ASSERT_EQ(run({"settings", "set", "JobFileFolder=/srv/labels"}).status, 0);
    EXPECT_EQ(iniBytes(), crlf("[Vembrix]\nListenPort=8080\nShowWindow=1\nCheckDupReq=1\n"
                               "DeviceLog=0\nJobFileFolder=\"/srv/labels\"\n"));
    EXPECT_NE(run({"settings"}).out.find("JobFileFolder=/srv/labels\n"), std::string::npos);
}

TEST_F(ConfigCommandsTest, KeysThePrintersTypesDoNotKeepAreRefused) {
    writeIni("[Vembrix]\n[Till]\nPrinterType=2\nPortType=32\n");
    const std::string before = crlf("[Vembrix]\n[Till]\nPrinterType=2\nPortType=32\n");
    expectRefused(
        run({"printer", "add", "L", "PrinterType=LabelPrinter", "PortType=16", "CheckStatus=1"}),
        before,
        "CheckStatus does not apply to a LabelPrinter on port type 16 (keys that "
        "apply: PrinterType, Physical, PortType, PortName)");
    expectRefused(run({"printer", "add", "Till", "PortType=16", "BaudRate=19200"}), before,
                  "BaudRate does not apply");
    expectRefused(run({"printer", "add", "N", "PrinterType=2", "PortType=2", "DataBits=7"}), before,
                  "DataBits does not apply");
}

// The file is there but cannot be kept: no command may act as if it were empty.
TEST_F(ConfigCommandsTest, FileThatCannotBeReadOrReplacedFailsCommandsWithOneLine) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    struct Case {
        const char* name;
        std::function<void()> setUp;
        bool asNobody;
        bool readsFail;
        std::string message;
    };
    const std::string file = home.file("vembrix.ini");
    const std::vector<Case> cases = {
        {"UTF-16 file", [&] { writeIniBytes(utf16(crlf(kUserFile), false, true)); }, false, true,
         "it is UTF-16"},
        {"file only root may read",
         [&] {
             writeIni(kUserFile);
             chmod(home.path().c_str(), 0777);
             chmod(file.c_str(), 0600);
         },
         true, true, "cannot read " + file + ": Permission denied"},
        {"folder that takes no new file",
         [&] {
             writeIni(kUserFile);
             chmod(home.path().c_str(), 0755);
             chown(file.c_str(), ChildProcess::kNobody, ChildProcess::kNobody);
         },
         true, false,
         "cannot save " + file + ": no new file can be made in the folder " + home.path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        const std::string before = iniBytes();
        for (std::vector<std::string> command :
             {std::vector<std::string>{"printer", "add", "Till", "PortName=COM2"},
              {"printer", "remove", "Till"},
              {"settings", "set", "ListenPort=9000"}}) {
            expectRefused(runBinary(command, c.asNobody), before, c.message);
        }
        for (std::vector<std::string> command :
             {std::vector<std::string>{"printers"}, {"settings"}}) {
            Outcome read = runBinary(command, c.asNobody);
            if (c.readsFail) {
                expectRefused(read, before, c.message);
            } else {
                EXPECT_EQ(read.status, 0) << read.err;
            }
        }
    }
    // A missing file is no failure: no printers yet, and the settings the service
    // would run with.
    std::filesystem::remove(file);
    Outcome printers = runBinary({"printers"});
    EXPECT_EQ(printers.status, 0);
    EXPECT_EQ(printers.out, "");
    Outcome settings = runBinary({"settings"});
    EXPECT_EQ(settings.status, 0);
    EXPECT_NE(settings.out.find("ListenPort=8080\n"), std::string::npos);
}

}  // namespace
