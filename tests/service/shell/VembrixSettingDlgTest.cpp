// The settings dialog's Save on real settings in a private home, against real ports of
// this computer: a port another program listens on is refused, the service's own is not.
#include "VembrixSettingDlg.h"

#include <gtest/gtest.h>

#include "PortHolder.h"
#include "PresenterFakes.h"
#include "ServiceSettings.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace {

using Lines = std::vector<std::string>;

class VembrixSettingDlgTest : public ::testing::Test {
protected:
    // The service listens on `port` (the holder stands for it).
    void configure(int port) {
        home.writeFile("vembrix.ini", "[Vembrix]\r\nListenPort=" + std::to_string(port) +
                                          "\r\nRestrictPublic=0\r\nShowWindow=1\r\n");
        ASSERT_TRUE(settings.loadSettings());
    }
    bool save(const std::string& port) {
        CVembrixSettingDlg dialog(settings);
        dialog.attach(messages);
        dialog.setListenPort(port);
        dialog.setShowWindow(false);
        dialog.setDeviceLog(true);
        const bool ended = dialog.OnBnClickedOk();
        shownPort = dialog.state().listenPort;
        return ended;
    }

    TempHome home;
    CServiceSettings settings;
    RecordingMessages messages;
    std::string shownPort;
};

TEST_F(VembrixSettingDlgTest, TheServicesOwnPortSavesWithoutTheConflictCheck) {
    PortHolder own;
    configure(own.port());
    EXPECT_TRUE(save(std::to_string(own.port())));
    EXPECT_EQ(messages.messages, Lines{});
    EXPECT_EQ(settings.showWindow(), 0);
    EXPECT_EQ(settings.deviceLog(), 1);
    // What the dialog does not show stays in the file as it was.
    EXPECT_NE(home.readFile("vembrix.ini").find("RestrictPublic=0"), std::string::npos);
}

TEST_F(VembrixSettingDlgTest, APortAnotherProgramListensOnIsRefusedAndTheFieldReset) {
    TraceOpen(kTraceDefaultKey, 1, "vembrix");
    PortHolder own;
    PortHolder other;
    configure(own.port());
    EXPECT_FALSE(save(std::to_string(other.port())));
    EXPECT_EQ(messages.messages, Lines{"Change the listening port number with another one."});
    EXPECT_EQ(shownPort, std::to_string(own.port()));
    EXPECT_EQ(settings.listenPort(), own.port());
    EXPECT_EQ(settings.showWindow(), 1);  // nothing saved
    TraceClose(kTraceDefaultKey);
    EXPECT_TRUE(tracefiles::contains(home.path(), "CVembrixSettingDlg::OnBnClickedOk"));

    // Free again: now it is taken.
    const int freed = PortHolder::freePort();
    EXPECT_TRUE(save(" " + std::to_string(freed) + " "));
    EXPECT_EQ(settings.listenPort(), freed);
}

TEST_F(VembrixSettingDlgTest, ANumberThatIsNoPortStaysInTheDialog) {
    configure(8080);
    for (const char* text : {"0", "65536", "-1", "80a", "", "99999999999"}) {
        SCOPED_TRACE(text);
        messages.messages.clear();
        EXPECT_FALSE(save(text));
        EXPECT_EQ(messages.messages, Lines{"Please enter an integer between 1 and 65535."});
        EXPECT_EQ(settings.listenPort(), 8080);
    }
}

}  // namespace
