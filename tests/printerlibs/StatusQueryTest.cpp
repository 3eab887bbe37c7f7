// Reading the printer's answers to the status and identity questions.
#include <gtest/gtest.h>

#include "StatusQuery.h"
#include "cvnlblapi.h"

namespace {

constexpr CStatusQuery::Timing kTiming{2000, 300};

struct HostStatus {
    bool paperOut = false;
    bool paused = false;
    bool overheated = false;
    bool headUp = false;
    bool ribbonOut = false;
};

// The three framed strings of a ~HS answer.
std::string hostStatus(const HostStatus& s) {
    auto bit = [](bool on) { return on ? "1" : "0"; };
    return std::string("\x02") + "030," + bit(s.paperOut) + ',' + bit(s.paused) +
           ",1218,000,0,0,0,000,0,0," + bit(s.overheated) + "\x03\r\n" + "\x02" + "000,0," +
           bit(s.headUp) + ',' + bit(s.ribbonOut) + ",0,2,4,0,00000000,1,000\x03\r\n" +
           "\x02"
           "1234,0\x03\r\n";
}

// The framed ~HQES block with the given error group.
std::string errorBlock(const std::string& flags) {
    bool any = flags != "00000000";
    return std::string("\x02\r\nPRINTER STATUS\r\n   ERRORS:         ") + (any ? "1" : "0") +
           " 00000000 " + flags + "\r\n   WARNINGS:       0 00000000 00000000\r\n\x03\r\n";
}

struct AnswerCase {
    const char* name;
    std::string answer;
    int code;
};

class StatusAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(StatusAnswer, MapsToItsCode) {
    CStatusQuery query(0, kTiming);
    query.feed(GetParam().answer, 10);
    EXPECT_EQ(query.result(10), std::optional<int>(GetParam().code));
}

const AnswerCase kAnswers[] = {
    {"AllWell", hostStatus({}) + errorBlock("00000000"), CVNLBL_STATUS_OK},
    {"PaperOut", hostStatus({true}) + errorBlock("00000000"), CVNLBL_STATUS_PAPER_EMPTY},
    {"HeadUpIsCoverOpen", hostStatus({false, false, false, true}) + errorBlock("00000000"),
     CVNLBL_STATUS_COVER_OPEN},
    {"RibbonOut", hostStatus({false, false, false, false, true}) + errorBlock("00000000"),
     CVNLBL_STATUS_RIBBON_END},
    {"OverTemperature", hostStatus({false, false, true}) + errorBlock("00000000"),
     CVNLBL_STATUS_HEAD_OVERHEAT},
    {"Paused", hostStatus({false, true}) + errorBlock("00000000"), CVNLBL_STATUS_PAUSED},
    {"CutterFaultFromTheErrorFlags", hostStatus({}) + errorBlock("00000008"),
     CVNLBL_STATUS_CUTTER_JAMMED},
    {"BlackMarkNotFound", hostStatus({}) + errorBlock("00080000"), CVNLBL_STATUS_MEDIA_DETECTION},
    {"OnlyErrorFlagsWhenHostStatusStaysSilent", errorBlock("00000001"), CVNLBL_STATUS_PAPER_EMPTY},
    {"HeadOpenWinsOverMediaOut", errorBlock("00000005"), CVNLBL_STATUS_COVER_OPEN},
    {"CoverWinsOverPaper", hostStatus({true, false, false, true}) + errorBlock("00000000"),
     CVNLBL_STATUS_COVER_OPEN},
    {"UnreadableFlag",
     "\x02"
     "030,x,0\x03\x02"
     "000,0,0,0\x03\x02"
     "1,0\x03" +
         errorBlock("00000000"),
     CVNLBL_STATUS_BAD_ANSWER},
    {"UnreadableErrorLine", "\x02PRINTER STATUS ERRORS: zz\x03", CVNLBL_STATUS_BAD_ANSWER},
};

INSTANTIATE_TEST_SUITE_P(Answers, StatusAnswer, ::testing::ValuesIn(kAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StatusQuery, AnswerArrivingByteByByteIsReadOnceComplete) {
    CStatusQuery query(0, kTiming);
    std::string answer = hostStatus({false, false, false, false, true}) + errorBlock("00000000");
    answer.resize(answer.size() - 2);  // up to the last ETX
    for (size_t i = 0; i + 1 < answer.size(); ++i) {
        query.feed(answer.substr(i, 1), 5);
        ASSERT_FALSE(query.result(5)) << "complete after " << i + 1 << " bytes";
    }
    query.feed(answer.substr(answer.size() - 1), 5);
    EXPECT_EQ(query.result(5), std::optional<int>(CVNLBL_STATUS_RIBBON_END));
}

TEST(StatusQuery, SilenceIsNoAnswerOnlyAtTheDeadline) {
    CStatusQuery query(1000, kTiming);
    EXPECT_FALSE(query.result(2999));
    EXPECT_EQ(query.decisionAt(), 3000);
    EXPECT_EQ(query.result(3000), std::optional<int>(CVNLBL_STATUS_NO_ANSWER));
}

TEST(StatusQuery, PrinterWithoutErrorFlagsIsJudgedByHostStatusAfterTheGrace) {
    CStatusQuery query(0, kTiming);
    query.feed(hostStatus({true}), 100);
    EXPECT_FALSE(query.result(399));
    EXPECT_EQ(query.decisionAt(), 400);
    EXPECT_EQ(query.result(400), std::optional<int>(CVNLBL_STATUS_PAPER_EMPTY));
}

TEST(PrinterReply, ModelNameIsTheFirstFieldOfTheIdentity) {
    EXPECT_EQ(printerreply::modelName("\x02XYZ-4000,V1.0,8,8192KB\x03\r\n"),
              std::optional<std::string>("XYZ-4000"));
    EXPECT_EQ(printerreply::modelName("\x02 Plain \x03"), std::optional<std::string>("Plain"));
    EXPECT_EQ(printerreply::modelName("\x02XYZ-40"), std::nullopt);
    EXPECT_EQ(printerreply::modelName(""), std::nullopt);
}

}  // namespace
