// The device controller between documents and recording bridges: what reaches which
// bridge, what is refused, how results are collected, and shutdown.
#include <gtest/gtest.h>

#include <thread>

#include "HttpTestSupport.h"
#include "ZuzData.h"

namespace {

class DeviceControllerTest : public ControllerFixture {
protected:
    // Queues the job and collects its final message.
    std::string run(CZuzDeviceController& controller, const std::string& printer,
                    const std::string& job) {
        std::string ready;
        EXPECT_EQ(kStateReady, controller.AddRequest(job, printer, false, ready));
        const std::string id = responseIdOf(ready);
        std::string final;
        controller.CheckZuzStatus(printer, id, final, 20s);
        return final;
    }
    static std::string responseIdOf(const std::string& message) {
        const size_t at = message.find("\"ResponseID\":\"");
        return at == std::string::npos ? "" : message.substr(at + 14, 8);
    }
    static std::string word(const std::string& message) {
        const size_t at = message.find("\"Result\":\"");
        return at == std::string::npos
                   ? ""
                   : message.substr(at + 10, message.find('"', at + 10) - at - 10);
    }
};

TEST_F(DeviceControllerTest, JobsReachTheBridgeOfTheirPrinterAsOrderedCallsOrExactBytes) {
    struct Case {
        const char* printer;
        std::string job;
        const char* word;
        std::vector<std::string> labelCalls;  // empty: nothing for the label bridge
        std::optional<std::string> posRaw;
    };
    const Case cases[] = {
        // Call numbers order the calls (func1, func2, func10); parameters become text.
        {"Labels",
         R"({"id":1,"mode":0,"functions":{"func2":{"b":[]},"func10":{"c":["x",7,true,false,0.5,null,[1],{}]},"funcX7":{"d":[3000000000]},"func1":{"z":[],"a":["t"]}}})",
         "success",
         {"1|a|t", "1|z", "2|b", "7|d|3000000000.000000", "10|c|x|7|1|0|0.500000|||"},
         std::nullopt},
        {"Till", R"({"mode":1,"functions":{"data":"AB\u00e9\n"}})", "success", {}, "AB\xC3\xA9\n"},
        // A byte that is no UTF-8 becomes the default character.
        {"Till", "{\"mode\":1,\"functions\":{\"data\":\"A\xFF\"}}", "success", {}, "A?"},
        {"Till",
         R"({"mode":2,"functions":{"data":"1B 40 0a 00 F"}})",
         "success",
         {},
         std::string("\x1B\x40\x0A\x00", 4)},
        {"Till", R"({"mode":2,"functions":{}})", "success", {}, ""},
        // Commas in strings are text, not values that count against a document's bound.
        {"Till",
         R"({"mode":1,"functions":{"data":")" + std::string(200000, ',') + "\"}}",
         "success",
         {},
         std::string(200000, ',')},
        // Refused call lists and modes never reach a bridge.
        {"Labels",
         R"({"mode":0,"functions":{"func1":{"a":[]},"data":{"b":[]}}})",
         "error json data",
         {},
         std::nullopt},
        {"Labels",
         R"({"mode":0,"functions":{"func7a":{"a":[]}}})",
         "error json data",
         {},
         std::nullopt},
        {"Labels", R"({"mode":0,"functions":null})", "error json data", {}, std::nullopt},
        {"Labels", R"({"functions":{"func1":{"a":[]}}})", "error json data", {}, std::nullopt},
        {"Labels", R"({"mode":9,"functions":{}})", "error", {}, std::nullopt},
        {"Nobody",
         R"({"mode":1,"functions":{"data":"x"}})",
         "not found match device",
         {},
         std::nullopt},
        {"Nameless", R"({"mode":1,"functions":{"data":"x"}})", "error", {}, std::nullopt},
        {"Odd",
         R"({"mode":1,"functions":{"data":"x"}})",
         "not found match device",
         {},
         std::nullopt},
    };
    CZuzDeviceController controller(bridges(), options());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job.substr(0, 80));
        const size_t labelJobs = label.jobs().size();
        const size_t posJobs = pos.jobs().size();
        EXPECT_EQ(c.word, word(run(controller, c.printer, c.job)));
        const auto labelSeen = label.jobs();
        const auto posSeen = pos.jobs();
        ASSERT_EQ(labelJobs + (c.labelCalls.empty() ? 0 : 1), labelSeen.size());
        if (!c.labelCalls.empty()) {
            EXPECT_EQ(c.labelCalls, labelSeen.back().calls);
        }
        ASSERT_EQ(posJobs + (c.posRaw ? 1 : 0), posSeen.size());
        if (c.posRaw) {
            EXPECT_EQ(*c.posRaw, posSeen.back().raw);
        }
    }
    EXPECT_TRUE(traced("Invalid Function count<func7a> in getAPIData"));
}

TEST_F(DeviceControllerTest, BridgeResultAndReadStatusMakeTheFinalMessage) {
    CZuzDeviceController controller(bridges(), options());
    label.statusToRead = "0, 0";
    label.result = kStateError;
    const std::string final =
        run(controller, "Labels", R"({"id":"7","mode":0,"functions":{"func1":{"a":[]}}})");
    EXPECT_EQ("{\"RequestID\":0,\"ResponseID\":\"" + responseIdOf(final) +
                  "\",\"Result\":\"error\",\"ReadStatus\":[0, 0]}",
              final);
}

TEST_F(DeviceControllerTest, AJobThatThrowsEndsInErrorAndTheWorkerGoesOn) {
    CZuzDeviceController controller(bridges(), options());
    const std::string job = R"({"id":"7","mode":0,"functions":{"func1":{"a":[]}}})";
    label.throwOnce = true;
    EXPECT_EQ(word(run(controller, "Labels", job)), "error");
    EXPECT_EQ(word(run(controller, "Labels", job)), "success");
    EXPECT_TRUE(traced("job failed: std::bad_alloc"));
}

TEST_F(DeviceControllerTest, UnusableDocumentsAreRefusedWithoutQueueing) {
    const std::string nested(100000, '[');
    std::string manyValues = R"({"mode":1,"functions":{"data":"x","n":[)";
    for (int i = 0; i < 100000; ++i)
        manyValues += "1,";
    manyValues += "1]}}";
    struct Case {
        std::string text;
        bool query;
        const char* result;
    };
    const Case cases[] = {
        {"", false, ""},
        {std::string("\0{}", 3), false, ""},
        {"not json", false, R"({"RequestID":0,"ResponseID":"","Result":""})"},
        {"[1,2]", false, R"({"RequestID":0,"ResponseID":"","Result":""})"},
        {"\"text\"", true, R"({"RequestID":0,"ResponseID":"","Result":""})"},
        {nested, false, R"({"RequestID":0,"ResponseID":"","Result":""})"},
        // More values than any job holds: refused before it is parsed.
        {manyValues, false, R"({"RequestID":0,"ResponseID":"","Result":""})"},
        {R"({"id":1,"mode":0})", false, R"({"RequestID":0,"ResponseID":"","Result":""})"},
        {R"({"ResponseID":12345678,"RequestID":1})", true,
         R"({"RequestID":0,"ResponseID":"","Result":""})"},
        {R"({"ResponseID":"AbCdEfGh","RequestID":"0"})", true,
         R"({"RequestID":0,"ResponseID":"","Result":""})"},
    };
    CZuzDeviceController controller(bridges(), options());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        std::string result;
        EXPECT_EQ(kStateBadRequest, controller.AddRequest(c.text, "Till", c.query, result));
        EXPECT_EQ(c.result, result);
    }
    EXPECT_TRUE(controller.shutdown());
    EXPECT_TRUE(label.jobs().empty());
    EXPECT_TRUE(pos.jobs().empty());
}

TEST_F(DeviceControllerTest, ResultIsCollectedOnceAndOnlyByItsPrinter) {
    CZuzDeviceController controller(bridges(), options());
    pos.hold();
    std::string ready;
    controller.AddRequest(R"({"id":5,"mode":1,"functions":{"data":"x"}})", "Till", false, ready);
    const std::string id = responseIdOf(ready);
    ASSERT_TRUE(pos.waitForJobs(1));

    std::string message;
    // Still printing: a poll that runs out answers with the "ready" message.
    EXPECT_EQ(kStateProgress,
              controller.AddRequest(R"({"ResponseID":")" + id + R"(","RequestID":"5","Timeout":0})",
                                    "Till", true, message));
    EXPECT_EQ(ready, message);
    EXPECT_EQ(kStateNotFound, controller.CheckZuzStatus("Labels", id, message, 20s));
    EXPECT_EQ(R"({"RequestID":0,"ResponseID":"","Result":"not found match device"})", message);

    // A poll waiting for the job is answered once the bridge returns.
    std::thread finisher([&] { pos.release(); });
    EXPECT_EQ(kStateSuccess, controller.CheckZuzStatus("Till", id, message, 20s));
    finisher.join();
    EXPECT_EQ("success", word(message));
    EXPECT_EQ(kStateNotFound, controller.CheckZuzStatus("Till", id, message, 0s));
}

TEST_F(DeviceControllerTest, DuplicateOnlyWhileTheSameIdsWaitInTheQueue) {
    auto opts = options();
    opts.checkDupReq = 1;
    CZuzDeviceController controller(bridges(), opts);
    pos.hold();  // the first job keeps the worker, so later ones wait in the queue
    std::string message;
    controller.AddRequest(R"({"id":1,"mode":1,"functions":{"data":"a"}})", "Till", false, message);
    ASSERT_TRUE(pos.waitForJobs(1));
    const std::string job = R"({"id":9,"mode":1,"functions":{"data":"b"}})";
    seedResponseIDs(77);
    EXPECT_EQ(kStateReady, controller.AddRequest(job, "Till", false, message));
    seedResponseIDs(77);  // the same ResponseID again
    EXPECT_EQ(kStateDuplicated, controller.AddRequest(job, "Till", false, message));
    EXPECT_EQ("duplicated", word(message));
    EXPECT_EQ(kStateReady, controller.AddRequest(R"({"id":9,"mode":1,"functions":{"data":"c"}})",
                                                 "Till", false, message));
    pos.release();
    ASSERT_TRUE(pos.waitForJobs(3));
    controller.shutdown();
    std::vector<std::string> printed;
    for (const BridgeJob& job : pos.jobs())
        printed.push_back(*job.raw);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), printed);
}

TEST_F(DeviceControllerTest, WorkerRunsJobsInArrivalOrderForAllPrinters) {
    CZuzDeviceController controller(bridges(), options());
    label.hold();
    std::string message;
    const char* order[] = {"Labels", "Till", "Labels", "Till", "Till"};
    for (int i = 0; i < 5; ++i)
        controller.AddRequest(R"({"mode":1,"functions":{"data":")" + std::to_string(i) + "\"}}",
                              order[i], false, message);
    ASSERT_TRUE(label.waitForJobs(1));
    EXPECT_TRUE(pos.jobs().empty()) << "a later job for another printer overtook";
    label.release();
    ASSERT_TRUE(pos.waitForJobs(3));
    std::string seen;
    for (const BridgeJob& job : label.jobs())
        seen += *job.raw;
    for (const BridgeJob& job : pos.jobs())
        seen += *job.raw;
    EXPECT_EQ("02134", seen);
}

TEST_F(DeviceControllerTest, UncollectedResultsAreBoundedPerPrinterSoNoPageEvictsAnother) {
    auto opts = options();
    opts.maxUncollectedPerPrinter = 2;
    CZuzDeviceController controller(bridges(), opts);
    auto queue = [&](const std::string& printer) {
        std::string message;
        controller.AddRequest(R"({"id":4,"mode":1,"functions":{"data":"x"}})", printer, false,
                              message);
        return responseIdOf(message);
    };
    const std::string label = queue("Labels");
    const std::string nowhere = queue("Nowhere");
    std::vector<std::string> till;
    for (int i = 0; i < 3; ++i)
        till.push_back(queue("Till"));
    const std::string elsewhere[] = {queue("Elsewhere"), queue("Elsewhere")};
    // The third Till result pushes the first out; two more for printers that are not
    // configured push out the first of theirs, never another printer's.
    const std::string dropped = "ResponseID:" + till[0] + ", state=success dropped";
    const std::string droppedUnknown = "ResponseID:" + nowhere + ", state=not exist dropped";
    for (int i = 0; i < 2000 && !(traced(dropped) && traced(droppedUnknown)); ++i)
        std::this_thread::sleep_for(10ms);
    std::string message;
    EXPECT_EQ(kStateSuccess, controller.CheckZuzStatus("Labels", label, message, 20s));
    EXPECT_EQ(kStateSuccess, controller.CheckZuzStatus("Till", till[2], message, 20s));
    EXPECT_EQ(kStateSuccess, controller.CheckZuzStatus("Till", till[1], message, 20s));
    EXPECT_EQ(kStateNotFound, controller.CheckZuzStatus("Till", till[0], message, 0s));
    EXPECT_EQ(kStateNotFound, controller.CheckZuzStatus("Nowhere", nowhere, message, 0s));
    EXPECT_EQ(kStateNotFound, controller.CheckZuzStatus("Elsewhere", elsewhere[1], message, 20s));
    EXPECT_TRUE(traced(dropped));
}

TEST_F(DeviceControllerTest, UncollectedResultsAreDroppedOnceTheyOutliveTheirLifetime) {
    auto opts = options();
    opts.uncollectedLifetime = 50ms;
    opts.idlePeriod = 10ms;
    CZuzDeviceController controller(bridges(), opts);
    std::string message;
    controller.AddRequest(R"({"id":4,"mode":1,"functions":{"data":"x"}})", "Till", false, message);
    const std::string id = responseIdOf(message);
    const std::string dropped = "ResponseID:" + id + ", state=success dropped: uncollected for 50";
    for (int i = 0; i < 2000 && !traced(dropped); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(traced(dropped));
    EXPECT_EQ(kStateNotFound, controller.CheckZuzStatus("Till", id, message, 0s));
}

TEST_F(DeviceControllerTest, AStatusQueryWaitsNoLongerThanTheCapWhateverItAsks) {
    CZuzDeviceController controller(bridges(), options());
    CZuzDeviceController::StatusPoll poll;
    std::string message;
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(kStateReady, controller.startStatusQuery(
                               R"({"ResponseID":"NOSUCHID","RequestID":1,"Timeout":2147483647})",
                               "Till", message, poll));
    EXPECT_LE(poll.deadline - before,
              std::chrono::seconds(CZuzDeviceController::kMaxQueryTimeoutSeconds) + 1s);
    EXPECT_FALSE(controller.continuePoll(poll, message)) << "answered before its time";
}

TEST_F(DeviceControllerTest, ShutdownCountsTheQueuedJobsItDeletesUnrun) {
    auto opts = options();
    opts.stopLimit = 20ms;
    CZuzDeviceController controller(bridges(), opts);
    pos.hold();  // the first job keeps the worker until shutdown has given up on it
    std::string message;
    for (int i = 0; i < 4; ++i)
        controller.AddRequest(R"({"mode":1,"functions":{"data":"x"}})", "Till", false, message);
    ASSERT_TRUE(pos.waitForJobs(1));
    size_t notRun = 0;
    EXPECT_FALSE(controller.shutdown(&notRun));
    EXPECT_EQ(3u, notRun);
    EXPECT_TRUE(traced("3 queued jobs were not run"));
    pos.release();
    for (int i = 0; i < 2000 && !traced("ReadThread End"); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(1u, pos.jobs().size());
}

TEST_F(DeviceControllerTest, ShutdownLeavesAStuckWorkerNothingFreedToTouch) {
    auto opts = options();
    opts.stopLimit = 20ms;
    bool released = false;
    auto controller = std::make_unique<CZuzDeviceController>(
        CZuzDeviceController::Bridges{&label, &pos, [&] { released = true; }}, opts);
    label.hold();
    std::string message;
    controller->AddRequest(R"({"mode":1,"functions":{"data":"x"}})", "Labels", false, message);
    controller->AddRequest(R"({"mode":1,"functions":{"data":"y"}})", "Labels", false, message);
    ASSERT_TRUE(label.waitForJobs(1));
    EXPECT_FALSE(controller->shutdown());
    EXPECT_FALSE(released) << "bridges released while the worker is inside one";
    EXPECT_TRUE(traced("ReadThread did not end within 20ms"));
    controller.reset();
    label.release();  // the worker finishes its job on state that outlived the controller
    for (int i = 0; i < 2000 && !traced("ReadThread End"); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(traced("ReadThread End"));
    EXPECT_EQ(1u, label.jobs().size()) << "the queued job ran after shutdown";
}

TEST_F(DeviceControllerTest, ShutdownReleasesTheBridgesOnceTheWorkerHasEnded) {
    bool released = false;
    CZuzDeviceController controller(
        CZuzDeviceController::Bridges{&label, &pos, [&] { released = true; }}, options());
    EXPECT_TRUE(controller.shutdown());
    EXPECT_TRUE(released);
    EXPECT_TRUE(traced("ReadThread End"));
}

}  // namespace
