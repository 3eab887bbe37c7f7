#include "MessagePopup.h"

#include <gtest/gtest.h>

#include "RecordingViews.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace {

using Lines = std::vector<std::string>;

TEST(MessagePopupTest, OneThreadShowsEveryMessageInOrderWithItsPrinter) {
    RecordingViews views;
    CMessagePopup popup(views.factory());
    popup.showMessage("Printer1", "Cannot connect to printer");
    views.waitFor(1);  // the pop-up is ready: from now on every message is shown
    popup.showMessage("", "Cover open!!");
    popup.showMessage("Printer2", "Paper Empty");
    EXPECT_EQ(views.waitFor(3), (Lines{"Printer1: Cannot connect to printer", "Cover open!!",
                                       "Printer2: Paper Empty"}));
    EXPECT_EQ(views.viewsMade(), 1);
}

TEST(MessagePopupTest, WhileThePopupStartsALaterMessageReplacesTheWaitingOne) {
    RecordingViews views;
    views.holdStart(true);
    CMessagePopup popup(views.factory());
    popup.showMessage("P", "first");
    popup.showMessage("P", "second");
    popup.showMessage("P", "third");
    views.holdStart(false);
    EXPECT_EQ(views.waitFor(1), Lines{"P: third"});
    popup.showMessage("P", "fourth");
    EXPECT_EQ(views.waitFor(2), (Lines{"P: third", "P: fourth"}));
}

TEST(MessagePopupTest, ClosingEndsTheViewAndIgnoresLaterMessages) {
    RecordingViews views;
    CMessagePopup popup(views.factory(), RecordingViews::kWaitLimit);
    popup.showMessage("P", "before");
    ASSERT_EQ(views.waitFor(1).size(), 1u);
    popup.close();
    EXPECT_EQ(views.viewsAlive(), 0);  // closed within the wait: the thread ended
    popup.showMessage("P", "after");
    popup.close();
    EXPECT_EQ(views.shown(), Lines{"P: before"});
    EXPECT_EQ(views.viewsMade(), 1);

    CMessagePopup silent(views.factory());
    silent.close();
    silent.showMessage("P", "never");
    EXPECT_EQ(views.viewsMade(), 1);  // no thread for a pop-up that never had a message
}

// A window that hangs must not hang shutdown, and its thread must not lose what it uses
// (the sanitizer build would see a use after free).
TEST(MessagePopupTest, CloseGivesUpOnAStalledThreadWithoutFreeingItsData) {
    RecordingViews views;
    views.holdShowing(true);
    auto popup = std::make_unique<CMessagePopup>(views.factory(), std::chrono::milliseconds(20));
    popup->showMessage("P", "stalls");
    ASSERT_TRUE(views.waitUntilShowingIsHeld());
    popup->close();
    popup.reset();
    EXPECT_EQ(views.viewsAlive(), 1);
    views.holdShowing(false);
    EXPECT_TRUE(views.waitUntilNoViewIsAlive());
    EXPECT_EQ(views.shown(), Lines{"P: stalls"});
}

TEST(MessagePopupTest, WithoutAFactoryThePopupTakesTheProcesssViews) {
    RecordingViews views;
    setMessageViewFactory(views.factory());
    CMessagePopup popup;
    popup.showMessage("P", "installed");
    EXPECT_EQ(views.waitFor(1), Lines{"P: installed"});
    popup.close();
    setMessageViewFactory({});
}

TEST(MessagePopupTest, HeadlessViewWritesEachMessageAsOneLineToStderrAndTheTrace) {
    TempHome home;
    TraceOpen(kTraceDefaultKey, 1, "vembrix");
    testing::internal::CaptureStderr();
    std::unique_ptr<CMessageView> view = messageViewFactory()();
    view->showMessage("Printer1", "Cannot connect to printer");
    view->showMessage("", "Cover open!!");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Printer1: Cannot connect to printer\nCover open!!\n");
    TraceClose(kTraceDefaultKey);
    EXPECT_TRUE(tracefiles::contains(home.path(), "Printer1: Cannot connect to printer"));
    EXPECT_TRUE(tracefiles::contains(home.path(), "Cover open!!"));
}

}  // namespace
