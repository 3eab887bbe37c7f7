#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "FakeClock.h"
#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace {

constexpr int kKey = 1000;

class TraceLogTest : public ::testing::Test {
protected:
    TraceLogTest() : scopedClock_(clock_) {}
    ~TraceLogTest() override {
        TraceClose(kKey);
        TraceSetEncoding(TraceEncoding::Ansi);
        TraceSetLimits(TraceLimits{});
    }

    // The name the sink's file gets when it is formed at the fake clock's time.
    std::string fileNameNow(const std::string& name, const char* ending = ".log") const {
        platform::LocalTime t = clock_.localNow();
        char text[128];
        std::snprintf(text, sizeof text, "%s_%02d%02d_%02d%02d%s", name.c_str(), t.month, t.day,
                      t.hour, t.minute, ending);
        return text;
    }

    void makeFileOfSize(const std::string& name, off_t size) const {
        std::filesystem::create_directories(home_.file("Log"));
        home_.writeFile("Log/" + name, "");
        ASSERT_EQ(0, truncate(home_.file("Log/" + name).c_str(), size));
    }

    TempHome home_;
    FakeClock clock_;
    platform::ScopedClock scopedClock_;
};

TEST_F(TraceLogTest, WithoutSinkNothingIsCreated) {
    TraceWrite("Test::Run", 1, "hello");
    TraceError(kKey, "Test::Run", 2, "failure %d", 3);
    TraceDump(100, "abc", 3);
    EXPECT_FALSE(std::filesystem::exists(home_.file("Log")));
}

TEST_F(TraceLogTest, LineFormatAndFileName) {
    clock_.set(clock_.epochMillis() / 60000 * 60000 + 7);  // a whole minute plus 7 ms
    TraceOpen(kKey, 1, "Vembrix");
    TraceWrite("CZuzServer::ServerThread", 155, "port %d", 8080);
    TraceError("CZuzServer::ServerThread", 156, "bind failed");

    platform::LocalTime t = clock_.localNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "(%02d:%02d:%02d.%03d)", t.hour, t.minute, t.second, 7);
    EXPECT_EQ(std::vector<std::string>{fileNameNow("Vembrix")}, tracefiles::list(home_.path()));
    EXPECT_EQ(std::string(stamp) + " CZuzServer::ServerThread(155) port 8080\r\n" + stamp +
                  " CZuzServer::ServerThread(156) <ERROR> bind failed\r\n",
              tracefiles::read(home_.path(), fileNameNow("Vembrix")));
}

TEST_F(TraceLogTest, LevelsFilterMessages) {
    TraceOpen(kKey, 1, "one");
    TraceOpen(7, 2, "two");
    TraceOpen(8, 0, "off");
    for (int key : {kKey, 7, 8}) {
        TraceWrite(key, 1, "M", 1, "normal");
        TraceWrite(key, 2, "M", 2, "detail");
    }
    std::string one = tracefiles::read(home_.path(), fileNameNow("one"));
    EXPECT_NE(std::string::npos, one.find("normal"));
    EXPECT_EQ(std::string::npos, one.find("detail"));
    std::string two = tracefiles::read(home_.path(), fileNameNow("two"));
    EXPECT_NE(std::string::npos, two.find("normal"));
    EXPECT_NE(std::string::npos, two.find("detail"));
    EXPECT_EQ(2u, tracefiles::list(home_.path()).size());  // the level-0 sink wrote nothing
    TraceClose(7);
    TraceClose(8);
}

TEST_F(TraceLogTest, OpenOfRegisteredKeyKeepsFirstLevelAndName) {
    TraceOpen(kKey, 1, "first");
    TraceOpen(kKey, 2, "second");
    TraceWrite(kKey, 2, "M", 1, "detail");
    TraceWrite(kKey, 1, "M", 2, "normal");
    EXPECT_EQ(std::vector<std::string>{fileNameNow("first")}, tracefiles::list(home_.path()));
    EXPECT_FALSE(tracefiles::contains(home_.path(), "detail"));
}

TEST_F(TraceLogTest, ExeEndingIsDroppedOtherDotsStay) {
    TraceOpen(kKey, 1, "port.exe");
    TraceOpen(5, 1, "my.port.v2");
    TraceWrite(kKey, 1, "M", 1, "a");
    TraceWrite(5, 1, "M", 1, "b");
    EXPECT_EQ((std::vector<std::string>{fileNameNow("my.port.v2"), fileNameNow("port")}),
              tracefiles::list(home_.path()));
    TraceClose(5);
}

TEST_F(TraceLogTest, RollsOverAtThreeMebibytes) {
    TraceOpen(kKey, 1, "Vembrix");
    const std::string first = fileNameNow("Vembrix");
    makeFileOfSize(first, 3000000);
    TraceWrite(kKey, 1, "M", 1, "below the limit");
    EXPECT_EQ(std::vector<std::string>{first}, tracefiles::list(home_.path()));

    ASSERT_EQ(0, truncate(home_.file("Log/" + first).c_str(), 3 * 1024 * 1024));
    clock_.advanceMinutes(1);
    TraceWrite(kKey, 1, "M", 2, "at the limit");
    const std::string second = fileNameNow("Vembrix");
    EXPECT_EQ((std::vector<std::string>{first, second}), tracefiles::list(home_.path()));
    EXPECT_NE(std::string::npos, tracefiles::read(home_.path(), second).find("at the limit"));
}

TEST_F(TraceLogTest, NegativeSizeLimitNeverRollsOnSize) {
    TraceSetLimits(TraceLimits{-1, 1});
    TraceOpen(kKey, 1, "Vembrix");
    TraceWrite(kKey, 1, "M", 1, "names the file");
    const std::string first = fileNameNow("Vembrix");
    makeFileOfSize(first, 5 * 1024 * 1024);
    clock_.advanceMinutes(1);
    TraceWrite(kKey, 1, "M", 1, "still here");
    EXPECT_EQ(std::vector<std::string>{first}, tracefiles::list(home_.path()));
}

TEST_F(TraceLogTest, RollsOverWhenOlderThanAnHour) {
    TraceOpen(kKey, 1, "Vembrix");
    TraceWrite(kKey, 1, "M", 1, "first");
    const std::string first = fileNameNow("Vembrix");
    clock_.advanceMinutes(59);
    TraceWrite(kKey, 1, "M", 2, "59 minutes on");
    EXPECT_EQ(std::vector<std::string>{first}, tracefiles::list(home_.path()));

    clock_.advanceMinutes(2);
    TraceWrite(kKey, 1, "M", 3, "61 minutes on");
    const std::string second = fileNameNow("Vembrix");
    EXPECT_EQ((std::vector<std::string>{first, second}), tracefiles::list(home_.path()));
    EXPECT_NE(std::string::npos, tracefiles::read(home_.path(), second).find("61 minutes on"));
}

TEST_F(TraceLogTest, LongMessagesAreCutTo2047Characters) {
    TraceOpen(kKey, 1, "Vembrix");
    TraceWrite(kKey, 1, "M", 1, "%s", std::string(3000, 'x').c_str());
    auto lines = tracefiles::lines(home_.path());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(" M(1) " + std::string(2047, 'x'), lines[0].substr(lines[0].find(' ')));
    std::string bytes = tracefiles::read(home_.path(), fileNameNow("Vembrix"));
    EXPECT_EQ("x\r\n", bytes.substr(bytes.size() - 3));
}

TEST_F(TraceLogTest, CutNeverSplitsACharacter) {
    TraceOpen(kKey, 1, "Vembrix");
    // 2046 single-byte characters and then two-byte ones: the cut falls inside one.
    TraceWrite(kKey, 1, "M", 1, "%s%s", std::string(2046, 'a').c_str(), "\xC3\xA9\xC3\xA9");
    auto lines = tracefiles::lines(home_.path());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(std::string(2046, 'a'), lines[0].substr(lines[0].size() - 2046));
}

TEST_F(TraceLogTest, Utf16LinesHaveNoByteOrderMark) {
    TraceSetEncoding(TraceEncoding::Utf16LE);
    TraceOpen(kKey, 1, "cvnport");
    TraceWrite(kKey, 1, "CPortListMng::Create", 155, "name %s", "caf\xC3\xA9");
    std::string bytes = tracefiles::read(home_.path(), fileNameNow("cvnport"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ('(', bytes[0]);
    EXPECT_EQ('\0', bytes[1]);
    EXPECT_EQ(std::string("\r\0\n\0", 4), bytes.substr(bytes.size() - 4));
    auto lines = tracefiles::lines(home_.path(), true);
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" CPortListMng::Create(155) name caf\xC3\xA9"));
    // é is one UTF-16 unit: two bytes, not the three of its UTF-8 form plus padding.
    EXPECT_EQ(0u, bytes.size() % 2);
}

TEST_F(TraceLogTest, Utf16CutCountsUnits) {
    TraceSetEncoding(TraceEncoding::Utf16LE);
    TraceOpen(kKey, 1, "cvnport");
    TraceWrite(kKey, 1, "M", 1, "%s", std::string(3000, 'y').c_str());
    auto lines = tracefiles::lines(home_.path(), true);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(std::string(2047, 'y'), lines[0].substr(lines[0].size() - 2047));
    EXPECT_EQ(' ', lines[0][lines[0].size() - 2048]);
}

TEST_F(TraceLogTest, FatalWritesWithoutAnySink) {
    TraceFatal("CZuzServer::Start", 9, "cannot listen on %d", 8080);
    auto lines = tracefiles::lines(home_.path());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(std::vector<std::string>{fileNameNow("fatal")}, tracefiles::list(home_.path()));
    EXPECT_NE(std::string::npos,
              lines[0].find(" CZuzServer::Start(9) <ERROR> cannot listen on 8080"));
    clock_.advanceMinutes(1);
    TraceFatal("CZuzServer::Start", 10, "again");
    EXPECT_EQ(2u, tracefiles::list(home_.path()).size());  // each minute its own fatal file
}

TEST_F(TraceLogTest, DumpWritesRawBytesToItsOwnFile) {
    TraceOpen(100 + kTraceDumpKeyOffset, 1, "NetPRN");
    TraceDump(100, "\x1b@\0ab", 5);
    TraceDump(100, "cd", 2);
    TraceDump(101, "lost", 4);  // no dump sink for port 101
    EXPECT_EQ(std::vector<std::string>{fileNameNow("NetPRN", ".bin")},
              tracefiles::list(home_.path()));
    EXPECT_EQ(std::string("\x1b@\0abcd", 7),
              tracefiles::read(home_.path(), fileNameNow("NetPRN", ".bin")));
    TraceDumpClose(100);
    TraceDump(100, "gone", 4);
    EXPECT_EQ(7u, tracefiles::read(home_.path(), fileNameNow("NetPRN", ".bin")).size());
}

TEST_F(TraceLogTest, ClosingTheLastSinkForgetsTheLogFolder) {
    TraceOpen(kKey, 1, "Vembrix");
    TraceWrite(kKey, 1, "M", 1, "in the first home");
    TraceClose(kKey);
    {
        TempHome second;
        TraceOpen(kKey, 1, "Vembrix");
        TraceWrite(kKey, 1, "M", 2, "in the second home");
        TraceClose(kKey);
        EXPECT_TRUE(tracefiles::contains(second.path(), "in the second home"));
    }
    EXPECT_FALSE(tracefiles::contains(home_.path(), "in the second home"));
}

TEST_F(TraceLogTest, ConcurrentWritersNeverTearLines) {
    TraceOpen(kKey, 1, "Vembrix");
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    const std::string payload(200, 'p');
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                TraceWrite(kKey, 1, "Writer::Run", t, "%d:%d:%s", t, i, payload.c_str());
        });
    // Sinks come and go on another thread while the writers run.
    std::thread opener([] {
        for (int i = 0; i < 200; ++i) {
            TraceOpen(5000 + i % 7, 1, "churn");
            TraceClose(5000 + i % 7);
        }
    });
    for (auto& writer : writers)
        writer.join();
    opener.join();

    auto lines = tracefiles::lines(home_.path());
    ASSERT_EQ(static_cast<size_t>(kThreads * kLines), lines.size());
    std::vector<int> perThread(kThreads, 0);
    for (const auto& line : lines) {
        int thread = -1, index = -1;
        size_t at = line.find(") ", line.find("Writer::Run("));
        ASSERT_NE(std::string::npos, at) << line;
        ASSERT_EQ(2, std::sscanf(line.c_str() + at + 2, "%d:%d:", &thread, &index)) << line;
        ASSERT_TRUE(line.size() > payload.size() &&
                    line.compare(line.size() - payload.size(), payload.size(), payload) == 0)
            << line;
        ASSERT_EQ(perThread[thread], index) << "lines of one thread out of order";
        ++perThread[thread];
    }
}

}  // namespace
