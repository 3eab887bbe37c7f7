// The listener on a free loopback port, with the device controller over recording
// bridges: pages, jobs and polls, bad input, connection limits and stop.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "HttpTestSupport.h"
#include "ZuzData.h"
#include "ZuzHTTPRequest.h"
#include "ZuzServer.h"

namespace {

std::string head(const char* status) {
    return std::string("HTTP/1.1 ") + status +
           "\r\nAccess-Control-Allow-Origin: *\r\nServer: Vembrix-HttpSvr/1.0\r\nDate: *\r\n\r\n";
}

// The Date value varies; it is checked for its form and then blanked.
std::string withoutDate(const std::string& response) {
    static const std::regex date(
        "Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), [0-3][0-9] "
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] "
        "GMT\r\n");
    return std::regex_replace(response, date, "Date: *\r\n",
                              std::regex_constants::format_first_only);
}

std::string responseIdOf(const std::string& message) {
    const size_t at = message.find("\"ResponseID\":\"");
    return at == std::string::npos ? "" : message.substr(at + 14, 8);
}

class ServerTest : public ControllerFixture {
protected:
    ServerTest() { controller = std::make_unique<CZuzDeviceController>(bridges(), options()); }
    ~ServerTest() override {
        server.reset();  // stops before the controller goes
        controller.reset();
    }

    // A listener on a free port (or `port`), with `options` over the test's objects.
    int start(CZuzServer::Options serverOptions = {}, int port = 0) {
        server.reset();
        serverOptions.controller = controller.get();
        serverOptions.devices = &devices;
        serverOptions.settings = &settingsRecord;
        server = std::make_unique<CZuzServer>(serverOptions);
        EXPECT_EQ(1, server->startZuzServer());
        server->addListenPort(port);
        EXPECT_NE(0, server->listeningPort());
        return server->listeningPort();
    }
    std::string ask(const std::string& request) {
        return withoutDate(roundTrip(server->listeningPort(), request).value_or("<no answer>"));
    }
    std::string get(const std::string& path) { return ask("GET " + path + " HTTP/1.1\r\n\r\n"); }
    bool waitFor(const std::function<bool()>& condition) {
        for (int i = 0; i < 2000 && !condition(); ++i)
            std::this_thread::sleep_for(10ms);
        return condition();
    }

    std::unique_ptr<CZuzDeviceController> controller;
    std::unique_ptr<CZuzServer> server;
};

TEST_F(ServerTest, PagesAndRefusalsByteForByte) {
    const std::string tableHead =
        "<table border=\"1\">\n  <thead>\n    <tr>\n      <th>LogicalName</th>\n"
        "      <th>Printer Name</th>\n      <th>Port</th>\n";
    const std::string deviceTable =
        tableHead +
        "    </tr>\n  </thead>\n\n  <tbody>\n"
        "    <tr>\n      <td>Labels</td>\n      <td>LX-400</td>\n      <td>127.0.0.1</td>\n    "
        "</tr>\n"
        "    <tr>\n      <td>Till</td>\n      <td>TR-80</td>\n      <td>COM3:9600:8:0:0:0</td>\n   "
        " </tr>\n"
        "    <tr>\n      <td>Nameless</td>\n      <td></td>\n      <td></td>\n    </tr>\n"
        "    <tr>\n      <td>Odd</td>\n      <td></td>\n      <td></td>\n    </tr>\n"
        "  </tbody>\n</table>\n";
    const std::string statusHead =
        tableHead + "      <th>Status</th>\n    </tr>\n  </thead>\n\n  <tbody>\n";
    const std::string home =
        head("200 OK") +
        "<html><h1>CORVANE Vembrix</h1>\n<p><a href=\"http://www.corvane.example/\">Visit Corvane "
        "homepage</a></html>\n";
    const std::string devicePage =
        head("200 OK") + "<html><h1>CORVANE Vembrix</h1>\n<p>\n" + deviceTable + "\n</html>\n";
    auto statusPage = [&](const std::string& rows) {
        return head("200 OK") + "<html><h1>CORVANE Vembrix</h1>\n<p>\n" + statusHead + rows +
               "  </tbody>\n</table>\n\n</html>\n";
    };
    const std::string tillRow =
        "    <tr>\n      <td>Till</td>\n      <td>TR-80</td>\n      <td>COM3:9600:8:0:0:0</td>\n"
        "      <td></td>\n    </tr>\n";
    const std::string notFound = head("404 Not Found");
    const std::string notImplemented = head("501 Not Implemented");
    const std::string badRequest = head("400 Bad Request");
    auto preflight = [](const std::string& privateNetwork) {
        std::string answer = head("204 No Content");
        answer.resize(answer.size() - 2);  // before the blank line
        return answer +
               "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
               "Access-Control-Allow-Headers: Content-Type\r\nAccess-Control-Max-Age: 86400\r\n" +
               privateNetwork + "\r\n";
    };

    const std::pair<std::string, std::string> cases[] = {
        {"GET /vembrix/ HTTP/1.1\r\nHost: x\r\n\r\n", home},
        {"get /vembrix/?page=1 HTTP/1.1\r\n\r\n", home},
        {"GET /vembrix/device HTTP/1.1\r\n\r\n", devicePage},
        {"GET /vembrix/device/anything HTTP/1.1\r\n\r\n", devicePage},
        {"GET /vembrixfoo/device HTTP/1.1\r\n\r\n", devicePage},
        {"GET /vembrix/%54ill HTTP/1.1\r\n\r\n", statusPage(tillRow)},
        {"GET /vembrix/TR-80 HTTP/1.1\r\n\r\n", statusPage(tillRow)},
        {"GET /vembrix HTTP/1.1\r\n\r\n", statusPage("")},
        {"GET /Vembrix/ HTTP/1.1\r\n\r\n", notFound},
        {"GET /vembrix/Nobody/AbCdEfGh HTTP/1.1\r\n\r\n", notFound},
        {post("/vembrix/Printer9", "{}"), notFound},
        {post("/vembrix/", "{}"), notFound},
        {post("/other/Till", "{}"), notFound},
        {"OPTIONS /vembrix/ HTTP/1.1\r\n\r\n", notImplemented},
        {"OPTIONS /vembrix/Till HTTP/1.1\r\nOrigin: http://shop.example\r\n\r\n", notImplemented},
        // A browser's preflight before a page posts JSON.
        {"OPTIONS /vembrix/Till HTTP/1.1\r\nOrigin: http://shop.example\r\n"
         "Access-Control-Request-Method: POST\r\nAccess-Control-Request-Headers: content-type\r\n"
         "\r\n",
         preflight("")},
        {"OPTIONS /vembrix/Till HTTP/1.1\r\nOrigin: https://shop.example\r\n"
         "Access-Control-Request-Method: POST\r\nAccess-Control-Request-Private-Network: true\r\n"
         "\r\n",
         preflight("Access-Control-Allow-Private-Network: true\r\n")},
        {"HEAD /vembrix/ HTTP/1.1\r\n\r\n", notImplemented},
        {"GET /vembrix/ HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}", notImplemented},
        {"POST /vembrix/Till HTTP/1.1\r\n\r\n", notImplemented},
        {"POST /vembrix/Till HTTP/1.1\r\nContent-Length: -5\r\n\r\n{}", notImplemented},
        {"\r\nGET /vembrix/ HTTP/1.1\r\n\r\n", notImplemented},
        {post("/vembrix/Till", "not json"), badRequest},
        {post("/vembrix/Till", R"({"id":1})"), badRequest},
        {"POST /vembrix/Till HTTP/1.1\r\ncontent-LENGTH:   2\r\n\r\n[]", badRequest},
        {post("/vembrix/Till/checkStatus.cvn", R"({"ResponseID":"AbCdEfGh"})"), badRequest},
        // A declared body over the limit is refused before a byte of it is kept.
        {"POST /vembrix/Till HTTP/1.1\r\nContent-Length: 16777217\r\n\r\n"
         R"({"id":7,"mode":2,"functions":{"data":"1B 40"}})",
         badRequest},
    };
    start();
    for (const auto& [request, expected] : cases) {
        SCOPED_TRACE(request);
        EXPECT_EQ(expected, ask(request));
    }
    EXPECT_TRUE(traced("not found request url:/Vembrix/"));
}

TEST_F(ServerTest, PrinterNamesOnPagesAreTextNotMarkup) {
    home.writeFile("vembrix.ini", std::string(kPrintersIni) +
                                      "[<b>Till & Co</b>]\r\nPrinterType=2\r\nPhysical=T\"R\"80\r\n"
                                      "PortType=2\r\nPortName=127.0.0.1\r\n");
    devices.loadDevices();
    start();
    const std::string page = get("/vembrix/device");
    EXPECT_NE(std::string::npos, page.find("<td>&lt;b&gt;Till &amp; Co&lt;/b&gt;</td>"));
    EXPECT_NE(std::string::npos, page.find("<td>T&quot;R&quot;80</td>"));
    EXPECT_EQ(std::string::npos, page.find("<b>"));
}

TEST(ZuzHTTPRequest, PercentEscapesDecodeAndBrokenOnesStay) {
    const std::pair<const char*, const char*> cases[] = {
        {"/%41b", "/Ab"}, {"%2f%2F", "//"}, {"%%", "%"},      {"%%41", "%41"},  {"a+b", "a+b"},
        {"%4", "%4"},     {"%", "%"},       {"%zz1", "%zz1"}, {"%4%41", "%4A"},
    };
    for (const auto& [url, decoded] : cases)
        EXPECT_EQ(decoded, CZuzHTTPRequest::DecodeURL(url)) << url;
}

// The listener may serve others while a body's bytes wait in the socket: that time is
// not the client's pause, and what waits is read before a body is cut.
TEST(ZuzHTTPRequest, ABodyIsNotCutForTimeTheListenerSpentElsewhere) {
    auto listener = platform::ServerSocket::create();
    ASSERT_TRUE(listener && listener->bind(0x7F000001, 0) && listener->listen() &&
                listener->setNonBlocking());
    HttpClient client(listener->localPort());
    std::unique_ptr<platform::ServerSocket> socket;
    for (int i = 0; i < 500 && !socket; ++i, std::this_thread::sleep_for(2ms))
        socket = listener->accept();
    ASSERT_TRUE(socket);
    const ZuzRequestContext context;  // five waits of 30 ms
    CZuzHTTPRequest request(*socket, context);
    auto piece = [&](const std::string& bytes, std::chrono::milliseconds listenerAway) {
        ASSERT_TRUE(client.send(bytes));
        std::this_thread::sleep_for(listenerAway);
        const std::optional<CZuzHTTPRequest::Clock::time_point> due = request.deadline();
        if (due && *due <= CZuzHTTPRequest::Clock::now())
            request.deadlinePassed();
        else
            request.ReceiveData();
    };
    piece("POST /other HTTP/1.1\r\nContent-Length: 30\r\n\r\n0123456789", 20ms);
    piece("0123456789", 200ms);
    piece("0123456789", 20ms);
    ASSERT_TRUE(request.isComplete());
    EXPECT_EQ(30u, request.request().body.size());
}

TEST_F(ServerTest, JobIsReadyAtOnceAndItsResultIsCollectedOnce) {
    const int port = start();

    const std::string job =
        post("/vembrix/Till", R"({"id":7,"mode":2,"functions":{"data":"1B 40"}})");
    std::string answer = ask(job);
    const std::string id = responseIdOf(answer);
    EXPECT_EQ(head("200 OK") + R"({"RequestID":7,"ResponseID":")" + id + R"(","Result":"ready"})",
              answer);
    ASSERT_TRUE(std::regex_match(id, std::regex("[A-Za-z]{8}")));
    ASSERT_TRUE(waitFor([&] { return pos.jobs().size() == 1; }));
    EXPECT_EQ(std::string("\x1B\x40"), pos.jobs()[0].raw);

    const std::string done = R"({"RequestID":7,"ResponseID":")" + id + R"(","Result":"success"})";
    EXPECT_EQ(head("200 OK") + done, get("/vembrix/Till/" + id));
    // Collected: a second poll waits its time-out out (shortened here) and finds nothing.
    CZuzServer::Options quickPolls;
    quickPolls.statusTimeout = 50ms;
    start(quickPolls, port);
    EXPECT_EQ(
        head("200 OK") + R"({"RequestID":0,"ResponseID":"","Result":"not found match device"})",
        get("/vembrix/Till/" + id));

    // The same through status queries; one posted without a printer never matches.
    answer = ask(post("/vembrix/Labels", R"({"id":3,"mode":1,"functions":{"data":"x"}})"));
    const std::string query = R"({"ResponseID":")" + responseIdOf(answer) + R"(","RequestID":"3"})";
    EXPECT_EQ(
        head("200 OK") + R"({"RequestID":0,"ResponseID":"","Result":"not found match device"})",
        ask(post("/vembrix/checkStatus.cvn",
                 R"({"ResponseID":")" + responseIdOf(answer) + R"(","RequestID":3,"Timeout":0})")));
    EXPECT_EQ(head("200 OK") + R"({"RequestID":3,"ResponseID":")" + responseIdOf(answer) +
                  R"(","Result":"success"})",
              ask(post("/vembrix/Labels/checkStatus.cvn", query)));

    // A job for an unknown printer posted as a command is queued and fails later.
    answer = ask(post("/vembrix/Printer9.cvn", R"({"id":4,"mode":1,"functions":{"data":"x"}})"));
    EXPECT_NE(std::string::npos, answer.find("\"Result\":\"ready\""));
    EXPECT_EQ(head("200 OK") + R"({"RequestID":4,"ResponseID":")" + responseIdOf(answer) +
                  R"(","Result":"not found match device"})",
              ask(post("/vembrix/Printer9/checkStatus.cvn",
                       R"({"ResponseID":")" + responseIdOf(answer) + R"(","RequestID":4})")));
}

TEST_F(ServerTest, BodiesAreTakenAsTheyArriveWithinTheWaits) {
    const int port = start();
    const std::string json = R"({"mode":1,"functions":{"data":"ab"}})";
    auto withLength = [&](size_t length, const std::string& body) {
        return "POST /vembrix/Till HTTP/1.1\r\nContent-Length: " + std::to_string(length) +
               "\r\n\r\n" + body;
    };
    // Bytes beyond Content-Length are cut off: here the document's last brace.
    EXPECT_EQ(head("400 Bad Request"), ask(withLength(json.size() - 1, json)));
    // A body that never completes is taken as it is once the waits are used up.
    EXPECT_EQ(head("400 Bad Request"), ask(withLength(200, json.substr(0, 10))));

    // With waits far longer than any test, a body in pieces is gathered, and a client
    // that stops sending is answered without the waits running out.
    CZuzServer::Options longWaits;
    longWaits.bodyWait = 60s;
    start(longWaits, port);
    HttpClient pieces(port);
    ASSERT_TRUE(pieces.send(withLength(json.size(), json.substr(0, 7))));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(pieces.send(json.substr(7)));
    EXPECT_NE(std::string::npos, pieces.readAll().value_or("").find("\"Result\":\"ready\""));
    // Every wait that new bytes end counts only for its own time: twenty pieces with
    // gaps are one body, not the first five of it.
    const std::string big = R"({"mode":1,"functions":{"data":")" + std::string(20000, 'd') + "\"}}";
    HttpClient trickle(port);
    ASSERT_TRUE(trickle.send(withLength(big.size(), "")));
    for (size_t at = 0; at < big.size(); at += big.size() / 20) {
        std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(trickle.send(big.substr(at, big.size() / 20)));
    }
    EXPECT_NE(std::string::npos, trickle.readAll().value_or("").find("\"Result\":\"ready\""));
    // A client that waits to be told before it sends its body is told at once; one that
    // sent its body with the head is not.
    const std::string asking = "Expect: 100-continue\r\n";
    HttpClient waiting(port);
    ASSERT_TRUE(waiting.send(withLength(json.size(), "").insert(29, asking)));
    EXPECT_EQ("HTTP/1.1 100 Continue\r\n\r\n", waiting.readSome().value_or("<nothing>"));
    ASSERT_TRUE(waiting.send(json));
    EXPECT_NE(std::string::npos, waiting.readAll().value_or("").find("\"Result\":\"ready\""));
    HttpClient eager(port);
    ASSERT_TRUE(eager.send(withLength(json.size(), json).insert(29, asking)));
    EXPECT_EQ(0u, eager.readAll().value_or("").find("HTTP/1.1 200 OK"));
    // A body larger than one turn's reads, with the close right behind it, is read to
    // its end before the close counts.
    HttpClient wholeThenClosed(port);
    ASSERT_TRUE(wholeThenClosed.send(withLength(8 << 20, std::string(8 << 20, 'x'))));
    wholeThenClosed.closeSending();
    EXPECT_EQ(0u, wholeThenClosed.readAll().value_or("").find("HTTP/1.1 400 Bad Request"));
    HttpClient early(port);
    ASSERT_TRUE(early.send(withLength(json.size() + 50, json)));
    early.closeSending();
    EXPECT_NE(std::string::npos, early.readAll().value_or("").find("\"Result\":\"ready\""));
    // The same when the close comes on its own, after the bytes were read.
    HttpClient late(port);
    ASSERT_TRUE(late.send(withLength(json.size() + 50, json)));
    std::this_thread::sleep_for(50ms);
    late.closeSending();
    EXPECT_NE(std::string::npos, late.readAll().value_or("").find("\"Result\":\"ready\""));
}

TEST_F(ServerTest, AnotherMachineIsRefusedUnansweredWhileRestrictPublicIsOn) {
    const int port = start();
    const std::string request = "GET /vembrix/ HTTP/1.1\r\n\r\n";
    HttpClient local(port);
    ASSERT_TRUE(local.send(request));
    EXPECT_NE("", local.readAll().value_or(""));
    HttpClient remote(port, 0x7F000002);  // stands for another machine
    ASSERT_TRUE(remote.connected());
    remote.send(request);
    EXPECT_EQ("", remote.readAll().value_or("<no close>"));
    EXPECT_TRUE(traced("check address of request IP:127.0.0.2"));

    std::string ini = kPrintersIni;
    ini.insert(ini.find("ListenPort"), "RestrictPublic=0\r\n");
    home.writeFile("vembrix.ini", ini);
    settingsRecord.loadSettings();
    HttpClient allowed(port, 0x7F000002);
    ASSERT_TRUE(allowed.send(request));
    EXPECT_NE(std::string::npos, allowed.readAll().value_or("").find("Visit Corvane homepage"));
}

TEST_F(ServerTest, HeadsUpToTheLimitAreReadAcrossReadsAndLongerOnesRefused) {
    CZuzServer::Options patient;
    patient.headTimeout = 60s;
    start(patient);
    auto withCookie = [](size_t size) {
        return "GET /vembrix/ HTTP/1.1\r\nCookie: " + std::string(size, 'c') + "\r\n\r\n";
    };
    const std::string homeLine = "Visit Corvane homepage";
    EXPECT_NE(std::string::npos, ask(withCookie(1024)).find(homeLine));
    EXPECT_NE(std::string::npos, ask(withCookie(8 * 1024)).find(homeLine));
    EXPECT_EQ(head("431 Request Header Fields Too Large"), ask(withCookie(17 * 1024)));

    // A head in pieces, each its own read, the blank line split as well.
    const std::string pieces[] = {"GET /vembrix/ HT", "TP/1.1\r\nHost: 127.0.0.1\r", "\n\r", "\n"};
    HttpClient client(server->listeningPort());
    for (const std::string& piece : pieces) {
        ASSERT_TRUE(client.send(piece));
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_NE(std::string::npos, client.readAll().value_or("").find(homeLine));
}

// Clients that hold connections open in every way a page or a program can: none of them
// keeps another client's job waiting. Their own limits are set far beyond the test's
// length, so an answer that comes at all came while they were all still pending.
TEST_F(ServerTest, IdleTricklingAndPollingClientsKeepNoOneElseWaiting) {
    CZuzServer::Options patient;
    patient.headTimeout = 600s;
    patient.bodyWait = 600s;
    patient.statusTimeout = 600s;
    const int port = start(patient);
    const std::string job = post("/vembrix/Till", R"({"id":5,"mode":1,"functions":{"data":"j"}})");

    std::vector<std::unique_ptr<HttpClient>> holders;
    auto hold = [&](const std::string& bytes) {
        holders.push_back(std::make_unique<HttpClient>(port));
        ASSERT_TRUE(holders.back()->send(bytes));
    };
    hold("GET /vembrix/Till/NOSUCHID HTTP/1.1\r\n\r\n");
    hold(post("/vembrix/Till/checkStatus.cvn",
              R"({"ResponseID":"NOSUCHID","RequestID":1,"Timeout":2147483647})"));
    for (int i = 0; i < 20; ++i)
        hold(job.substr(0, job.size() - 5));  // a body that stops short
    ASSERT_TRUE(waitFor([&] { return server->socketCount() == 1 + 22; }));
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(std::string::npos,
                  ask(i % 2 ? job : "GET /vembrix/ HTTP/1.1\r\n\r\n").find("200 OK"));
    }

    // A table full of idle connections: each new client takes the place of the oldest.
    std::vector<std::unique_ptr<HttpClient>> idle;
    while (static_cast<int>(idle.size() + holders.size()) < CZuzServer::kMaxSockets - 1)
        idle.push_back(std::make_unique<HttpClient>(port));
    ASSERT_TRUE(waitFor([&] { return server->socketCount() == CZuzServer::kMaxSockets; }));
    EXPECT_NE(std::string::npos, ask(job).find("\"Result\":\"ready\""));
    EXPECT_TRUE(traced("Out of socket count: IP=127.0.0.1"));
    EXPECT_EQ("", idle.front()->readAll().value_or("<still open>")) << "the oldest idle one";
}

TEST_F(ServerTest, RequestsThatArriveTogetherReachTheControllerInConnectionOrder) {
    const int port = start();
    pos.hold();  // every job waits in the queue in the order it came
    std::vector<std::unique_ptr<HttpClient>> clients;
    for (int i = 0; i < 6; ++i)
        clients.push_back(std::make_unique<HttpClient>(port));
    ASSERT_TRUE(waitFor([&] { return server->socketCount() == 7; }));
    // With the thread stopped the connections stay; their requests then all wait at once.
    server->stopZuzServer();
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(clients[i]->send(post(
            "/vembrix/Till", R"({"mode":1,"functions":{"data":")" + std::to_string(i) + "\"}}")));
    }
    ASSERT_EQ(1, server->startZuzServer());
    for (auto& client : clients)
        EXPECT_NE(std::string::npos, client->readAll().value_or("").find("ready"));
    pos.release();
    ASSERT_TRUE(pos.waitForJobs(6));
    controller->shutdown();
    std::string printed;
    for (const BridgeJob& job : pos.jobs())
        printed += *job.raw;
    EXPECT_EQ("012345", printed);
}

TEST_F(ServerTest, AWaitingPollIsAnsweredTheMomentItsJobFinishes) {
    CZuzServer::Options patient;
    patient.statusTimeout = 600s;
    const int port = start(patient);
    pos.hold();
    const std::string id =
        responseIdOf(ask(post("/vembrix/Till", R"({"id":8,"mode":1,"functions":{"data":"p"}})")));
    ASSERT_TRUE(pos.waitForJobs(1));
    HttpClient poll(port);
    ASSERT_TRUE(poll.send("GET /vembrix/Till/" + id + " HTTP/1.1\r\n\r\n"));
    poll.closeSending();  // half-closed after its request, as some clients do
    EXPECT_NE(std::string::npos, get("/vembrix/").find("200 OK"));
    pos.release();
    EXPECT_EQ(head("200 OK") + R"({"RequestID":8,"ResponseID":")" + id + R"(","Result":"success"})",
              withoutDate(poll.readAll().value_or("")));
}

class LargeResponseTest : public ServerTest {
protected:
    // A job whose result message is far larger than any socket buffer.
    std::string queueLargeResult() {
        label.statusToRead = std::string(16 << 20, '7');
        const std::string answer =
            ask(post("/vembrix/Labels", R"({"id":2,"mode":0,"functions":{"func1":{"a":[]}}})"));
        return "GET /vembrix/Labels/" + responseIdOf(answer) + " HTTP/1.1\r\n\r\n";
    }
};

TEST_F(LargeResponseTest, ResponseLargerThanTheSendBufferArrivesWhole) {
    CZuzServer::Options patient;
    patient.sendStallLimit = 60s;
    const int port = start(patient);
    const std::string poll = queueLargeResult();
    const std::string id = poll.substr(poll.find("Labels/") + 7, 8);
    const std::string expected = R"({"RequestID":2,"ResponseID":")" + id +
                                 R"(","Result":"success","ReadStatus":[)" + label.statusToRead +
                                 "]}";
    const std::string answer = roundTrip(port, poll).value_or("");
    const size_t bodyAt = answer.find("\r\n\r\n") + 4;
    ASSERT_EQ(expected.size(), answer.size() - bodyAt);
    EXPECT_TRUE(answer.compare(bodyAt, std::string::npos, expected) == 0);
}

TEST_F(LargeResponseTest, ClientThatTakesNothingIsClosedAndOthersAreServedMeanwhile) {
    CZuzServer::Options quick;
    quick.sendStallLimit = 300ms;
    const int port = start(quick);
    const std::string poll = queueLargeResult();
    HttpClient stalled(port, 0x7F000001, 4096);
    ASSERT_TRUE(stalled.send(poll));
    EXPECT_NE(std::string::npos, get("/vembrix/").find("200 OK"));
    ASSERT_TRUE(waitFor([&] { return traced("send stopped: nothing taken for 300 ms"); }));
    EXPECT_EQ(1, server->socketCount()) << "the stalled connection should be closed";
}

TEST_F(ServerTest, StopEndsAPollInProgressAndARestartListensOnThePortAgain) {
    CZuzServer::Options longPolls;
    longPolls.statusTimeout = 600s;
    const int port = start(longPolls);
    EXPECT_NE(std::string::npos, get("/vembrix/").find("200 OK"));
    HttpClient waiting(port);
    ASSERT_TRUE(waiting.send("GET /vembrix/Till/AbCdEfGh HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(waitFor([&] { return traced("/vembrix/Till/AbCdEfGh"); }));
    server->stopZuzServer();
    EXPECT_NE(std::string::npos, waiting.readAll().value_or("").find("not found match device"));
    EXPECT_EQ(0, server->listeningPort());

    EXPECT_EQ(1, server->startZuzServer());
    server->addListenPort(port);
    EXPECT_EQ(port, server->listeningPort());
    EXPECT_NE(std::string::npos, get("/vembrix/").find("200 OK"));
}

}  // namespace
