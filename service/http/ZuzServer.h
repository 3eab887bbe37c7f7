// The TCP side of the service's HTTP server: the listening socket and every client
// connection, served by one thread that waits on all of them at once. Each connection
// carries one request and one response, then the server closes it. The thread never
// waits for one client: every connection keeps its own progress (its request, a poll
// waiting for a job's result, its response going out), and every stage has a time bound.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ZuzHTTPRequest.h"
#include "platform/ServerSocket.h"

class CServiceSettings;

class CZuzServer {
public:
    // The socket table holds the listening socket and at most 63 clients.
    static constexpr int kMaxSockets = platform::SocketWaiter::kMaxSockets;
    static constexpr size_t kMaxLocalAddresses = 10;
    // A response the client takes nothing of for this long is given up, and the
    // connection closed.
    static constexpr std::chrono::milliseconds kSendStallLimit{5000};
    // How long stop waits for the server thread: a first look, then the limit.
    static constexpr std::chrono::milliseconds kStopFirstWait{50};
    static constexpr std::chrono::milliseconds kStopLimit{1000};

    struct Options {
        // Null for the process-wide objects, looked up at start.
        CZuzDeviceController* controller = nullptr;
        const CDevicesList* devices = nullptr;
        const CServiceSettings* settings = nullptr;
        int bodyWaits = ZuzRequestContext::kBodyWaits;
        std::chrono::milliseconds bodyWait = ZuzRequestContext::kBodyWait;
        std::chrono::milliseconds headTimeout = ZuzRequestContext::kHeadTimeout;
        std::chrono::milliseconds statusTimeout = ZuzRequestContext::kStatusTimeout;
        std::chrono::milliseconds sendStallLimit = kSendStallLimit;
    };

    CZuzServer();
    explicit CZuzServer(Options options);
    // Stops the server thread and closes every socket.
    virtual ~CZuzServer();
    CZuzServer(const CZuzServer&) = delete;
    CZuzServer& operator=(const CZuzServer&) = delete;

    // 1 when the server thread runs; 0 when it cannot (no device controller, no
    // wake-up for the wait).
    int startZuzServer();
    // Listens on the port (0 for a free one) on every local IPv4 address. Always 0, as
    // callers expect; listeningPort() tells whether it worked.
    int addListenPort(int port);
    // Stops the server thread and closes the listening socket. Polls waiting for a result
    // are answered as at their time-out; client connections still open stay in the
    // table and are served again after a restart.
    void stopZuzServer();

    bool running() const { return !m_stop.load(); }
    // The port the first table entry listens on; 0 when nothing listens.
    int listeningPort() const;
    // Entries in the socket table, the listening socket included.
    int socketCount() const;

private:
    using Clock = std::chrono::steady_clock;

    struct SocketInfo {
        std::unique_ptr<platform::ServerSocket> socket;
        platform::PeerAddress peer;
        bool listener = false;
        std::unique_ptr<CZuzHTTPRequest> request;  // clients only
        // While the response goes out: when the client last took some of it.
        std::optional<Clock::time_point> lastSendProgress;
        // Closed and out of the table; freed at the end of the server thread's turn.
        bool retired = false;
    };

    // Null when refused.
    SocketInfo* AddSocketInfo(std::unique_ptr<platform::ServerSocket>& socket, bool isListener);
    void RemoveSocketInfo(int index);
    void ServerThread();
    // The entries of the table, in accept order.
    std::vector<SocketInfo*> tableEntries() const;
    // The table as it stands, with the news each socket is watched for.
    std::vector<SocketInfo*> snapshot(std::vector<platform::ServerSocket*>& watched,
                                      std::vector<SocketInfo*>& watchedEntries);
    void serveEvents(SocketInfo& entry);
    void acceptClients(SocketInfo& listener);
    void makeRoom();
    void receive(SocketInfo& entry);
    // Takes the connection as far as it can go now: its response out, or closed.
    void advance(SocketInfo& entry);
    void sendResponse(SocketInfo& entry);
    void serveTimesAndResults(const std::vector<SocketInfo*>& entries);
    std::optional<Clock::time_point> deadlineOf(const SocketInfo& entry) const;
    int msUntilNextDeadline(const std::vector<SocketInfo*>& entries) const;
    void retire(SocketInfo& entry);
    void GetLocalAddresses();
    bool IsLocalAddress(const std::string& address) const;
    bool waitForThreadEnd(std::chrono::milliseconds limit);

    Options m_options;
    std::atomic<bool> m_stop{true};
    platform::SocketWaiter m_waiter;

    mutable std::mutex m_tableLock;
    std::array<std::unique_ptr<SocketInfo>, kMaxSockets> m_sockets;
    int m_count = 0;

    std::thread m_thread;
    std::mutex m_threadLock;
    std::condition_variable m_threadEnded;
    bool m_threadRunning = false;

    // Entries taken out of the table during the server thread's turn, freed at its end.
    std::vector<std::unique_ptr<SocketInfo>> m_retired;

    std::vector<std::string> m_localAddresses;  // written at start, before the thread
    ZuzRequestContext m_context;
    int m_resultListener = -1;
    std::atomic<bool> m_resultsChanged{false};  // since the polls were last asked
};
