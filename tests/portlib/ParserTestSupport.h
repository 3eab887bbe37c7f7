// Recording receivers for the parser tests. Callbacks are plain function pointers, so
// each receiver is a static function template whose argument tells the devices apart;
// everything it saw lands in one shared record that each test resets.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "TempHome.h"
#include "TraceFiles.h"
#include "TraceLog.h"

namespace parsertest {

struct Event {
    std::string kind;  // "data", "status", "power", "pnp", "alarm"
    int tag;
    std::string bytes;
    int a = 0, b = 0, c = 0;
};

struct Record {
    std::vector<Event> events;
    std::mutex* queueMutex = nullptr;
    // Every receiver tries the port's queue mutex: it must be free while receivers run.
    int lockedDuringCallback = 0;
    int callbacks = 0;
};

inline Record& record() {
    static Record instance;
    return instance;
}

inline void noteCallback() {
    Record& r = record();
    ++r.callbacks;
    if (r.queueMutex) {
        if (r.queueMutex->try_lock()) {
            r.queueMutex->unlock();
        } else {
            ++r.lockedDuringCallback;
        }
    }
}

template <int Tag>
void dataReceiver(const char* data, int length) {
    noteCallback();
    record().events.push_back({"data", Tag, std::string(data, static_cast<size_t>(length))});
}

template <int Tag>
void statusReceiver(const unsigned char* status) {
    noteCallback();
    record().events.push_back(
        {"status", Tag, std::string(reinterpret_cast<const char*>(status), 4)});
}

template <int Tag>
void powerReceiver(int onLine) {
    noteCallback();
    record().events.push_back({"power", Tag, {}, onLine});
}

template <int Tag>
void pnpReceiver(const char* data, int length) {
    noteCallback();
    record().events.push_back({"pnp", Tag, std::string(data, static_cast<size_t>(length))});
}

template <int Tag>
void alarmReceiver(int kind, int value1, int value2) {
    noteCallback();
    record().events.push_back({"alarm", Tag, {}, kind, value1, value2});
}

inline std::vector<Event> eventsOf(const std::string& kind) {
    std::vector<Event> found;
    for (const auto& e : record().events)
        if (e.kind == kind)
            found.push_back(e);
    return found;
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// A private program directory with the parser's trace channel open at detail level, and
// a fresh record whose receivers check the queue mutex.
class ParserTest : public ::testing::Test {
protected:
    static constexpr int kPortId = 4242;

    void SetUp() override {
        record() = Record{};
        record().queueMutex = &queueMutex;
        TraceOpen(kPortId, 2, "parsers");
    }
    void TearDown() override {
        EXPECT_EQ(record().lockedDuringCallback, 0) << "a receiver ran with the queue mutex held";
        record().queueMutex = nullptr;
        TraceClose(kPortId);
    }

    bool traced(const std::string& text) const { return tracefiles::contains(home.path(), text); }
    int tracedCount(const std::string& text) const { return tracefiles::count(home.path(), text); }

    TempHome home;
    std::mutex queueMutex;
};

}  // namespace parsertest
