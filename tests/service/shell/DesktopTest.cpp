// The vembrix program on a desktop of its own: an X server (Xvfb) with a window manager
// that hosts tray icons (icewm), driven the way a user would through xdotool. A window
// kept hidden at start never shows until its tray icon is double-clicked, a printer
// fault pops up on top of everything, and "Exit" in the tray menu ends the service.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "ChildProcess.h"
#include "PortHolder.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "VirtualPrinter.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kMainWindow = "^Vembrix \\(Version";
constexpr const char* kPopup = "^Vembrix$";
constexpr auto kLimit = 20s;

// A program's output once it has ended.
std::string output(const std::vector<std::string>& argv) {
    ChildProcess child = ChildProcess::run(argv);
    child.wait(kLimit);
    return child.out();
}

// The visible windows whose name matches, one a line.
std::string visibleWindows(const char* what, const char* pattern) {
    return output({"/usr/bin/xdotool", "search", "--onlyvisible", what, pattern});
}

// The first visible window of that name; "" when there is none.
std::string visibleWindow(const char* name) {
    const std::string ids = visibleWindows("--name", name);
    return ids.substr(0, ids.find('\n'));
}

// A line of `after` that is not in `before`; "" when there is none.
std::string newWindow(const std::string& before, const std::string& after) {
    std::istringstream lines(after);
    for (std::string id; std::getline(lines, id);)
        if (!id.empty() && before.find(id + "\n") == std::string::npos)
            return id;
    return "";
}

// The program's visible windows: its tray icon, its windows and menus.
size_t programWindowCount() {
    const std::string ids = visibleWindows("--classname", "^vembrix$");
    return static_cast<size_t>(std::count(ids.begin(), ids.end(), '\n'));
}

bool waitFor(const std::function<bool()>& ready) {
    for (auto end = std::chrono::steady_clock::now() + kLimit;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(50ms)) {
        if (ready())
            return true;
    }
    return false;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The server picks a free display and tells its number.
        xserver.emplace(ChildProcess::run({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0",
                                           "1024x768x24", "-nolisten", "tcp"}));
        ASSERT_TRUE(xserver->waitForOutput("\n", kLimit)) << xserver->err();
        setenv("DISPLAY", (":" + xserver->out().substr(0, xserver->out().find('\n'))).c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        windowManager.emplace(ChildProcess::run({"/usr/bin/icewm"}));
        // The service looks for a tray when it starts.
        ASSERT_TRUE(waitFor([] {
            return output({"/usr/bin/xwininfo", "-root", "-tree"}).find("\"SystemTray\"") !=
                   std::string::npos;
        }));
        ASSERT_TRUE(printer.start());
        home.writeFile("vembrix.ini",
                       "[Vembrix]\r\nListenPort=" + std::to_string(PortHolder::freePort()) +
                           "\r\nShowWindow=0\r\n[Watched]\r\nPrinterType=2\r\nPortType=2\r\n"
                           "PortName=127.0.0.1\r\nBaudRate=" +
                           std::to_string(printer.ports()[0]) + "\r\nCheckStatus=1\r\n");
        home.writeFile("trace.txt", "");
    }

    TempHome home;
    vprinter::VirtualPrinter printer;
    std::optional<ChildProcess> xserver;
    std::optional<ChildProcess> windowManager;
};

TEST_F(DesktopTest, AHiddenWindowWaitsForTheTrayAndAFaultPopsUpOnTop) {
    ChildProcess vembrix = ChildProcess::run({VEMBRIX_BINARY});
    ASSERT_TRUE(vembrix.waitForOutput("vembrix serving on port", kLimit)) << vembrix.err();
    // ShowWindow=0: the tray icon is all there is to see, not even for a moment more.
    ASSERT_TRUE(waitFor([] { return programWindowCount() == 1; }));
    for (int look = 0; look < 10; ++look) {
        EXPECT_EQ(programWindowCount(), 1u);
        EXPECT_EQ(visibleWindow(kMainWindow), "");
        std::this_thread::sleep_for(50ms);
    }

    std::string tray = visibleWindows("--classname", "^vembrix$");
    tray.resize(tray.find('\n'));
    output({"/usr/bin/xdotool", "mousemove", "--window", tray, "8", "8", "click", "--repeat", "2",
            "--delay", "80", "1"});
    EXPECT_TRUE(waitFor([] { return !visibleWindow(kMainWindow).empty(); }));

    ASSERT_TRUE(printer.journal().waitForCount("automatic_status", 1, kLimit));
    printer.changeCondition([](vprinter::PrinterCondition& c) { c.coverOpen = true; });
    ASSERT_TRUE(waitFor([] { return !visibleWindow(kPopup).empty(); }));
    const std::string state =
        output({"/usr/bin/xprop", "-id", visibleWindow(kPopup), "_NET_WM_STATE"});
    EXPECT_NE(state.find("_NET_WM_STATE_ABOVE"), std::string::npos) << state;
    EXPECT_TRUE(tracefiles::contains(home.path(), "CPopupWindows::View::showMessage"));
    EXPECT_TRUE(tracefiles::contains(home.path(), "Cover open!!"));

    // "Exit", the tray menu's second item, ends the service the orderly way, though the
    // window that is shown refuses to close.
    const std::string shown = visibleWindows("--classname", "^vembrix$");
    output({"/usr/bin/xdotool", "mousemove", "--window", tray, "8", "8", "click", "3"});
    std::string menu;
    ASSERT_TRUE(waitFor([&] {
        menu = newWindow(shown, visibleWindows("--classname", "^vembrix$"));
        return !menu.empty();
    }));
    // A menu near the screen's edge moves after it shows: click once it stays put.
    std::string geometry;
    ASSERT_TRUE(waitFor([&] {
        const std::string now = output({"/usr/bin/xdotool", "getwindowgeometry", menu});
        return std::exchange(geometry, now) == now;
    }));
    int width = 0;
    int height = 0;
    ASSERT_EQ(std::sscanf(geometry.c_str() + geometry.find("Geometry: "), "Geometry: %dx%d", &width,
                          &height),
              2)
        << geometry;
    output({"/usr/bin/xdotool", "mousemove", "--window", menu, std::to_string(width / 2),
            std::to_string(height * 3 / 4), "click", "1"});
    EXPECT_EQ(vembrix.wait(kLimit), 0) << vembrix.err();
    EXPECT_TRUE(tracefiles::contains(home.path(), "-stop"));
}

}  // namespace
