#include <gtest/gtest.h>

#include "platform/Text.h"

namespace {

TEST(TextTest, RoundTripsEveryPlane) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x96\xA8";  // a é € 🖨
    std::u16string units = platform::utf8ToUtf16(text);
    EXPECT_EQ((std::u16string{u'a', u'\u00E9', u'\u20AC', 0xD83D, 0xDDA8}), units);
    EXPECT_EQ(text, platform::utf16ToUtf8(units));
}

TEST(TextTest, InvalidBytesBecomeTheDefaultCharacter) {
    EXPECT_EQ(u"a?b", platform::utf8ToUtf16("a\xFF"
                                            "b"));
    EXPECT_EQ(u"?", platform::utf8ToUtf16("\xC3"));            // cut sequence at the end
    EXPECT_EQ(u"??", platform::utf8ToUtf16("\xC0\xAF"));       // overlong '/'
    EXPECT_EQ(u"???", platform::utf8ToUtf16("\xED\xA0\x80"));  // encoded surrogate
    EXPECT_EQ(u"??x", platform::utf8ToUtf16("\xE2\x82x"));     // each bad byte on its own
}

TEST(TextTest, UnpairedSurrogatesBecomeTheDefaultCharacter) {
    EXPECT_EQ("?a", platform::utf16ToUtf8(std::u16string{0xD83D, u'a'}));
    EXPECT_EQ("a?", platform::utf16ToUtf8(std::u16string{u'a', 0xDDA8}));
}

TEST(TextTest, AnsiIsUtf8WithInvalidBytesReplaced) {
    EXPECT_EQ(u"COM3", platform::ansiToWide("COM3"));
    EXPECT_EQ("caf\xC3\xA9", platform::wideToAnsi(u"caf\u00E9"));
    EXPECT_EQ("a?", platform::utf8ToAnsi("a\x80"));
    // The same as the way through UTF-16, good sequences and bad.
    for (const char* text : {"a\xFF"
                             "b",
                             "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82x", "caf\xC3\xA9",
                             "\xF0\x9F\x98\x80", "\xF4\x90\x80\x80"})
        EXPECT_EQ(platform::utf16ToUtf8(platform::utf8ToUtf16(text)), platform::utf8ToAnsi(text))
            << text;
}

TEST(TextTest, AsciiCaseLeavesOtherBytesAlone) {
    EXPECT_EQ("COM3:9600", platform::asciiUpper("com3:9600"));
    EXPECT_EQ("vid_3f1c&pid_0109", platform::asciiLower("VID_3F1C&PID_0109"));
    EXPECT_EQ("\xC3\xA9", platform::asciiUpper("\xC3\xA9"));  // é is not an ASCII letter
    EXPECT_TRUE(platform::equalsIgnoringAsciiCase("Varo-L43", "VARO-l43"));
    EXPECT_FALSE(platform::equalsIgnoringAsciiCase("0109", "010"));
    EXPECT_FALSE(platform::equalsIgnoringAsciiCase("@", "`"));  // neighbours of the letters
}

}  // namespace

// A printer's status fields sit at fixed places: an empty one must keep its place.
TEST(TextTest, SplitFieldsKeepsEmptyFieldsInTheirPlaces) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ(platform::splitFields("030,0,,1", ','), (Fields{"030", "0", "", "1"}));
    EXPECT_EQ(platform::splitFields(",", ','), (Fields{"", ""}));
    EXPECT_EQ(platform::splitFields("", ','), Fields{""});
}
