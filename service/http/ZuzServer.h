// The TCP side of the service's HTTP server: the listening socket and every client
// connection, served by one thread that waits on all of them at once. Each connection
// carries one request and one response, then the server closes it.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
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
    // A response the client does not take: this many waits of this length for room in
    // the send buffer, then the rest stays unsent.
    static constexpr int kSendTries = 5;
    static constexpr std::chrono::milliseconds kSendRetryWait{100};
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
        std::chrono::milliseconds statusTimeout = ZuzRequestContext::kStatusTimeout;
        std::chrono::milliseconds sendRetryWait = kSendRetryWait;
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
    // Stops the server thread and closes the listening socket. Client connections
    // still open stay in the table and are served again after a restart.
    void stopZuzServer();

    bool running() const { return !m_stop.load(); }
    // The port the first table entry listens on; 0 when nothing listens.
    int listeningPort() const;
    // Entries in the socket table, the listening socket included.
    int socketCount() const;

private:
    struct SocketInfo {
        std::unique_ptr<platform::ServerSocket> socket;
        platform::PeerAddress peer;
        bool listener = false;
        std::unique_ptr<CZuzHTTPRequest> request;  // clients only
    };
    enum class SendOutcome { Completed, Failed, GaveUp };

    int AddSocketInfo(std::unique_ptr<platform::ServerSocket>& socket, bool isListener);
    void RemoveSocketInfo(int index);
    void ServerThread();
    void serveEvents(SocketInfo& entry, size_t index);
    // False when no client was added.
    bool acceptClient(SocketInfo& listener);
    // True when the entry is gone afterwards.
    bool receiveAndAnswer(SocketInfo& entry, size_t index);
    SendOutcome sendResponse(SocketInfo& entry);
    SocketInfo* entryAt(size_t index) const;
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

    std::vector<std::string> m_localAddresses;  // written at start, before the thread
    ZuzRequestContext m_context;
    std::stop_source m_stopSource;
};
