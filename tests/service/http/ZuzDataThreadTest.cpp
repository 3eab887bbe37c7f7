#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ZuzData.h"

namespace {

// The worker runs each request through ready, progress and a final state while a poller
// watches it the way a status poll does, without a lock: once the poller sees a final
// state, the message it reads must already be that state's.
TEST(ZuzDataThreads, PollerThatSeesAFinalStateSeesItsMessage) {
    constexpr int kRequests = 3000;
    const int finals[] = {kStateSuccess, kStateError, kStateNotFound, kStateJsonError, 7};
    std::vector<std::unique_ptr<CZuzData>> requests;
    std::vector<std::string> expected;
    std::vector<std::string> readyMessages;
    for (int i = 0; i < kRequests; ++i) {
        auto data = std::make_unique<CZuzData>();
        data->requestId = i + 1;
        data->responseId = "ID" + std::to_string(i);
        if (i % 3 == 0)
            data->readStatus = std::to_string(i) + ", 0";
        std::string tail =
            data->readStatus.empty() ? "\"}" : "\",\"ReadStatus\":[" + data->readStatus + "]}";
        std::string head = "{\"RequestID\":" + std::to_string(i + 1) + ",\"ResponseID\":\"" +
                           data->responseId + "\",\"Result\":\"";
        expected.push_back(head + resultWord(finals[i % 5]) + tail);
        readyMessages.push_back(head + "ready" + tail);
        data->setState(-1);  // not yet accepted
        requests.push_back(std::move(data));
    }

    // A guard against a hang, not a timing assertion: neither side waits for long.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    // The worker starts a request only once the poller watches it, so the two meet.
    std::atomic<int> watching{-1};
    std::thread worker([&] {
        for (int i = 0; i < kRequests; ++i) {
            while (watching.load() < i && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::yield();
            createResult(*requests[i], kStateReady);
            requests[i]->setState(kStateProgress);  // the message still says "ready"
            createResult(*requests[i], finals[i % 5]);
        }
    });

    int mismatches = 0;
    int earlyReads = 0;
    int unfinished = 0;
    for (int i = 0; i < kRequests && mismatches == 0 && unfinished == 0; ++i) {
        const CZuzData& data = *requests[i];
        watching.store(i);
        for (;;) {
            int state = data.state();
            if (isFinalState(state)) {
                if (data.result() != expected[i])
                    ++mismatches;
                break;
            }
            if (state == kStateReady || state == kStateProgress) {
                std::string message = data.result();
                if (message != readyMessages[i] && message != expected[i])
                    ++mismatches;
                ++earlyReads;
            }
            if (std::chrono::steady_clock::now() > giveUp)
                break;
            std::this_thread::yield();
        }
        if (!isFinalState(data.state()))
            unfinished = i + 1;
    }
    watching.store(kRequests);  // releases the worker if the poller stopped early
    worker.join();
    EXPECT_EQ(0, mismatches);
    EXPECT_EQ(0, unfinished) << "the poller gave up on a request";
    std::printf("polls that caught a request before its final state: %d\n", earlyReads);
}

}  // namespace
