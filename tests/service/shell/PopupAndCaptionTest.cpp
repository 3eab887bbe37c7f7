// What the message pop-up's caption bar and text say, and the caption bar's gradient.
#include <gtest/gtest.h>

#include "MessageDlg.h"
#include "PrefsStatic.h"

namespace {

TEST(MessageDlgTest, EachMessageShowsThePopupWithItsPrinterInTheCaptionAndOkHidesIt) {
    CMessageDlg popup("Vembrix");
    EXPECT_FALSE(popup.shown());
    popup.showMessage("Printer1", "Cannot connect to printer");
    EXPECT_TRUE(popup.shown());
    EXPECT_EQ(popup.caption(), "Vembrix - Printer1");
    EXPECT_EQ(popup.message(), "Cannot connect to printer");
    popup.ok();
    EXPECT_FALSE(popup.shown());
    // A status report does not say which printer: no dangling dash.
    popup.showMessage("", "Cover open!!");
    EXPECT_TRUE(popup.shown());
    EXPECT_EQ(popup.caption(), "Vembrix");
    EXPECT_EQ(popup.message(), "Cover open!!");
}

TEST(PrefsStaticTest, TheGradientCoversTheBarFromNearBlackToTheCaptionColour) {
    for (int width : {1, 5, 127, 128, 300, 1000}) {
        SCOPED_TRACE(width);
        const auto strips = CPrefsStatic::gradient(width);
        ASSERT_FALSE(strips.empty());
        int covered = 0;
        int previousBlue = -1;
        for (const CPrefsStatic::Strip& strip : strips) {
            EXPECT_EQ(strip.left, covered);  // no gap, no overlap
            EXPECT_EQ(strip.width, std::max(1, std::min(width / 128, width - covered)));
            covered += strip.width;
            EXPECT_GE(strip.color.blue, previousBlue);
            previousBlue = strip.color.blue;
        }
        EXPECT_EQ(covered, width);
        EXPECT_EQ(strips.back().color, CPrefsStatic::kCaptionColor);
    }
    // 300 pixels: strips of 2, the first at (1 - (298/300)^2) of the colour.
    const auto strips = CPrefsStatic::gradient(300);
    EXPECT_EQ(strips.size(), 150u);
    EXPECT_EQ(strips.front().color, (CPrefsStatic::Color{0, 1, 2}));
    EXPECT_TRUE(CPrefsStatic::gradient(0).empty());
}

}  // namespace
