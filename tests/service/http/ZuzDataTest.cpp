#include "ZuzData.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace {

std::unique_ptr<CZuzData> request(int requestId, const std::string& responseId) {
    auto data = std::make_unique<CZuzData>();
    data->requestId = requestId;
    data->responseId = responseId;
    return data;
}

TEST(ZuzData, StartsEmpty) {
    CZuzData data;
    EXPECT_EQ("", data.logicalName);
    EXPECT_EQ(0, data.dataMode);
    EXPECT_EQ(0, data.requestId);
    EXPECT_EQ("", data.responseId);
    EXPECT_TRUE(data.functions.isNull());
    EXPECT_EQ("", data.readStatus);
    EXPECT_EQ(0u, data.startTick);
    EXPECT_EQ(0, data.state());
    EXPECT_EQ("", data.result());
}

TEST(ZuzData, StateWordsAndLogNames) {
    const char* words[] = {"ready",          "progress",   "success",
                           "error",          "duplicated", "not found match device",
                           "error json data"};
    const char* logNames[] = {"ready",     "progress",  "success",   "error",
                              "duplicate", "not exist", "error json"};
    for (int code = 0; code <= 6; ++code) {
        EXPECT_STREQ(words[code], resultWord(code));
        EXPECT_STREQ(logNames[code], stateLogName(code));
    }
    for (int code : {7, 8, -1, 100}) {
        EXPECT_STREQ("", resultWord(code));
        EXPECT_STREQ("", stateLogName(code));
    }
    const std::set<int> finals = {2, 3, 5, 6, 7};
    for (int code = -1; code <= 9; ++code)
        EXPECT_EQ(finals.count(code) == 1, isFinalState(code));
    EXPECT_STREQ("WEBDATAMODE_JSON", dataModeName(WEBDATAMODE_JSON));
    EXPECT_STREQ("WEBDATAMODE_HEXSTRING", dataModeName(2));
    EXPECT_STREQ("", dataModeName(4));
}

TEST(ZuzData, PlainResultMessage) {
    std::unique_ptr<CZuzData> dataOwner = request(12, "AbCdEfGh");
    CZuzData& data = *dataOwner;
    createResult(data, kStateSuccess);
    EXPECT_EQ(R"({"RequestID":12,"ResponseID":"AbCdEfGh","Result":"success"})", data.result());
    EXPECT_EQ(kStateSuccess, data.state());

    createResult(data, kStateNotFound);
    EXPECT_EQ(R"({"RequestID":12,"ResponseID":"AbCdEfGh","Result":"not found match device"})",
              data.result());
    EXPECT_EQ(kStateNotFound, data.state());

    std::unique_ptr<CZuzData> negativeOwner = request(-2147483647 - 1, "");
    CZuzData& negative = *negativeOwner;
    createResult(negative, kStateReady);
    EXPECT_EQ(R"({"RequestID":-2147483648,"ResponseID":"","Result":"ready"})", negative.result());
}

TEST(ZuzData, ResultMessageWithStatusReads) {
    std::unique_ptr<CZuzData> dataOwner = request(7, "QwErTyUi");
    CZuzData& data = *dataOwner;
    data.readStatus = "0, 0";
    createResult(data, kStateError);
    EXPECT_EQ(R"({"RequestID":7,"ResponseID":"QwErTyUi","Result":"error","ReadStatus":[0, 0]})",
              data.result());
    EXPECT_EQ(kStateError, data.state());
}

TEST(ZuzData, CodesWithoutWordGetTheEmptyWordAndAreStoredUnchanged) {
    std::unique_ptr<CZuzData> dataOwner = request(1, "ABCDEFGH");
    CZuzData& data = *dataOwner;
    createResult(data, 7);
    EXPECT_EQ(R"({"RequestID":1,"ResponseID":"ABCDEFGH","Result":""})", data.result());
    EXPECT_EQ(7, data.state());
    createResult(data, 42);
    EXPECT_EQ(R"({"RequestID":1,"ResponseID":"ABCDEFGH","Result":""})", data.result());
    EXPECT_EQ(42, data.state());
}

TEST(ZuzData, InsertedTextsAreNotEscaped) {
    std::unique_ptr<CZuzData> dataOwner = request(3, "a\"b\\c");
    CZuzData& data = *dataOwner;
    data.readStatus = "1, \"x\"";
    createResult(data, kStateSuccess);
    EXPECT_EQ(
        "{\"RequestID\":3,\"ResponseID\":\"a\"b\\c\",\"Result\":\"success\","
        "\"ReadStatus\":[1, \"x\"]}",
        data.result());
}

TEST(ZuzData, ErrorResult) {
    std::string out = "left over";
    makeErrorResult(kStateNotFound, out);
    EXPECT_EQ(R"({"RequestID":0,"ResponseID":"","Result":"not found match device"})", out);
    makeErrorResult(kStateBadRequest, out);
    EXPECT_EQ(R"({"RequestID":0,"ResponseID":"","Result":""})", out);
    makeErrorResult(kStateError, out);  // only code 5 has a word here
    EXPECT_EQ(R"({"RequestID":0,"ResponseID":"","Result":""})", out);
}

// Failures are error lines, the rest and every message with status reads plain lines;
// the line's text is the message itself, even when it holds a '%'.
TEST(ZuzData, ResultMessagesAreLogged) {
    TempHome home;
    TraceOpen(kTraceDefaultKey, 1, "vembrix");
    std::unique_ptr<CZuzData> dataOwner = request(5, "Percent%s");
    CZuzData& data = *dataOwner;
    for (int code : {kStateReady, kStateProgress, kStateSuccess, kStateError, kStateJsonError, 7})
        createResult(data, code);
    data.readStatus = "3";
    createResult(data, kStateError);
    TraceClose(kTraceDefaultKey);

    std::vector<std::string> lines = tracefiles::lines(home.path());
    ASSERT_EQ(7u, lines.size());
    const char* results[] = {"ready", "progress", "success", "error", "error json data", ""};
    const bool errors[] = {false, false, false, true, true, true};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(lines[i]);
        std::string message = std::string(R"({"RequestID":5,"ResponseID":"Percent%s","Result":")") +
                              results[i] + "\"}";
        std::string head = errors[i] ? ") <ERROR> " : ") ";
        EXPECT_NE(std::string::npos, lines[i].find("CZuzDeviceController::createResult("));
        EXPECT_TRUE(lines[i].ends_with(head + message));
    }
    EXPECT_TRUE(lines[6].ends_with(
        R"() {"RequestID":5,"ResponseID":"Percent%s","Result":"error","ReadStatus":[3]})"))
        << lines[6];
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

TEST(ResponseID, EightLettersDistinctAndOverBothAlphabets) {
    seedResponseIDs();
    std::set<std::string> seen;
    std::set<char> letters;
    std::string id = "previous contents";
    for (int i = 0; i < 5000; ++i) {
        makeResponseID(id);
        ASSERT_EQ(8u, id.size()) << id;
        for (char c : id) {
            ASSERT_TRUE(isLetter(c)) << id;
            letters.insert(c);
        }
        seen.insert(id);
    }
    EXPECT_EQ(5000u, seen.size());
    EXPECT_EQ(52u, letters.size());  // every letter of both cases turns up
}

TEST(ResponseID, SameSeedSameSequence) {
    auto draw = [](uint32_t seed) {
        seedResponseIDs(seed);
        std::string a, b;
        makeResponseID(a);
        makeResponseID(b);
        return a + b;
    };
    EXPECT_EQ(draw(12345), draw(12345));
    EXPECT_NE(draw(12345), draw(54321));
}

}  // namespace
