#include "ZuzServer.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <new>

#include "DevicesList.h"
#include "ServiceSettings.h"
#include "TraceLog.h"
#include "ZuzDeviceController.h"

namespace {

constexpr std::chrono::milliseconds kWaitFailurePause{100};

}  // namespace

CZuzServer::CZuzServer() : CZuzServer(Options{}) {}

CZuzServer::CZuzServer(Options options) : m_options(options) {}

CZuzServer::~CZuzServer() {
    stopZuzServer();
    while (socketCount() > 0)
        RemoveSocketInfo(socketCount() - 1);
    m_retired.clear();
}

int CZuzServer::startZuzServer() {
    if (running())
        stopZuzServer();
    if (!m_waiter.valid()) {
        TraceFatal("CZuzServer::startZuzServer", __LINE__, "fail to WSAStartup in CZuzServer");
        return 0;
    }
    m_context.controller =
        m_options.controller ? m_options.controller : CZuzDeviceController::instance();
    if (!m_context.controller) {
        TraceFatal("CZuzServer::startZuzServer", __LINE__, "no device controller in CZuzServer");
        return 0;
    }
    m_context.devices = m_options.devices ? m_options.devices : &CDevicesList::instance();
    if (!m_options.settings)
        m_options.settings = &CServiceSettings::instance();
    m_context.bodyWaits = m_options.bodyWaits;
    m_context.bodyWait = m_options.bodyWait;
    m_context.headTimeout = m_options.headTimeout;
    m_context.statusTimeout = m_options.statusTimeout;
    // A finished job wakes the thread, so the poll waiting for it is answered at once.
    m_resultListener = m_context.controller->addResultListener([this] {
        m_resultsChanged = true;
        m_waiter.wake();
    });

    GetLocalAddresses();
    m_stop = false;
    {
        std::lock_guard<std::mutex> guard(m_threadLock);
        m_threadRunning = true;
    }
    m_thread = std::thread(&CZuzServer::ServerThread, this);
    return 1;
}

int CZuzServer::addListenPort(int port) {
    std::unique_ptr<platform::ServerSocket> socket = platform::ServerSocket::create();
    if (!socket) {
        TraceError("CZuzServer::addListenPort", __LINE__, "- socket=%d",
                   platform::socketLastError());
        return 0;
    }
    // The socket joins the table only once it listens: the server thread may watch an
    // entry the moment it is there.
    if (!socket->selectEvents(platform::kSocketAccept | platform::kSocketClose)) {
        TraceError("CZuzServer::addListenPort", __LINE__, "- WSAEventSelect error");
        return 0;
    }
    if (!socket->bind(0, port)) {
        TraceError("CZuzServer::addListenPort", __LINE__, "- bind=%d", platform::socketLastError());
        return 0;
    }
    if (!socket->listen()) {
        TraceError("CZuzServer::addListenPort", __LINE__, "- listen=%d",
                   platform::socketLastError());
        return 0;
    }
    if (!socket->setNonBlocking()) {
        TraceError("CZuzServer::addListenPort", __LINE__, "- ioctlsocket=%d", -1);
        return 0;
    }
    if (!AddSocketInfo(socket, true)) {
        TraceError("CZuzServer::addListenPort", __LINE__, "- AddSocketInfo error");
        return 0;
    }
    m_waiter.wake();
    TraceWrite("CZuzServer::addListenPort", __LINE__, "- port=%d", port);
    return 0;
}

void CZuzServer::stopZuzServer() {
    m_stop = true;
    m_waiter.wake();
    if (m_thread.joinable()) {
        if (!waitForThreadEnd(kStopFirstWait + kStopLimit)) {
            // No thread is ended from outside: every wait of this one is bounded, so it
            // ends shortly.
            TraceWrite("CZuzServer::stopZuzServer", __LINE__,
                       "stopDataListener : TerminateThread Port ReadThread.");
            m_thread.join();
            TraceWrite("CZuzServer::stopZuzServer", __LINE__,
                       "stopDataListener : complete TerminateThread Port ReadThread.");
        } else {
            m_thread.join();
        }
    }
    if (m_resultListener >= 0) {
        m_context.controller->removeResultListener(m_resultListener);
        m_resultListener = -1;
    }
    // The listening socket, wherever a restart put it; clients stay.
    int listener = -1;
    {
        std::lock_guard<std::mutex> guard(m_tableLock);
        for (int i = 0; i < m_count && listener < 0; ++i) {
            if (m_sockets[i]->listener)
                listener = i;
        }
    }
    if (listener >= 0)
        RemoveSocketInfo(listener);
    m_retired.clear();
}

bool CZuzServer::waitForThreadEnd(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_threadLock);
    return m_threadEnded.wait_for(lock, limit, [this] { return !m_threadRunning; });
}

int CZuzServer::listeningPort() const {
    std::lock_guard<std::mutex> guard(m_tableLock);
    for (int i = 0; i < m_count; ++i) {
        if (m_sockets[i]->listener)
            return m_sockets[i]->socket->localPort();
    }
    return 0;
}

int CZuzServer::socketCount() const {
    std::lock_guard<std::mutex> guard(m_tableLock);
    return m_count;
}

CZuzServer::SocketInfo* CZuzServer::AddSocketInfo(std::unique_ptr<platform::ServerSocket>& socket,
                                                  bool isListener) {
    if (socketCount() >= kMaxSockets) {
        TraceError("CZuzServer::AddSocketInfo", __LINE__, "Out of socket count");
        return nullptr;
    }
    auto entry = std::make_unique<SocketInfo>();
    socket->peerAddress(entry->peer);  // a listener has none
    if (!isListener && m_options.settings->restrictPublic() != 0 &&
        entry->peer.text != "127.0.0.1" && !IsLocalAddress(entry->peer.text)) {
        TraceError("CZuzServer::AddSocketInfo", __LINE__, "check address of request IP:%s",
                   entry->peer.text.c_str());
        return nullptr;
    }
    TraceWrite("CZuzServer::AddSocketInfo", __LINE__, " IP=%s, port=%d", entry->peer.text.c_str(),
               entry->peer.port);
    if (!isListener) {
        entry->request = std::make_unique<CZuzHTTPRequest>(*socket, m_context);
        entry->request->setClientAddress(entry->peer.text);
    }
    entry->listener = isListener;
    entry->socket = std::move(socket);

    std::lock_guard<std::mutex> guard(m_tableLock);
    if (m_count >= kMaxSockets) {  // filled meanwhile by the other thread
        socket = std::move(entry->socket);
        TraceError("CZuzServer::AddSocketInfo", __LINE__, "Out of socket count");
        return nullptr;
    }
    m_sockets[m_count] = std::move(entry);
    return m_sockets[m_count++].get();
}

void CZuzServer::RemoveSocketInfo(int index) {
    std::unique_ptr<SocketInfo> entry;
    {
        std::lock_guard<std::mutex> guard(m_tableLock);
        if (index < 0 || index >= m_count)
            return;
        entry = std::move(m_sockets[index]);
        std::move(m_sockets.begin() + index + 1, m_sockets.begin() + m_count,
                  m_sockets.begin() + index);
        --m_count;
    }
    TraceWrite("CZuzServer::RemoveSocketInfo", __LINE__, "close socket. IP=%s, port=%d\n",
               entry->peer.text.c_str(), entry->peer.port);
    entry->socket->shutdownBoth();
    entry->request.reset();
    entry->socket.reset();
    entry->retired = true;
    // The server thread may still hold the entry in its turn; it is freed after that.
    m_retired.push_back(std::move(entry));
}

void CZuzServer::retire(SocketInfo& entry) {
    int index = -1;
    {
        std::lock_guard<std::mutex> guard(m_tableLock);
        for (int i = 0; i < m_count && index < 0; ++i) {
            if (m_sockets[i].get() == &entry)
                index = i;
        }
    }
    RemoveSocketInfo(index);
}

void CZuzServer::ServerThread() {
    TraceWrite("CZuzServer::ServerThread", __LINE__, "+Start");
    std::vector<platform::ServerSocket*> watched;
    std::vector<SocketInfo*> watchedEntries;
    std::vector<size_t> ready;
    while (!m_stop) {
        const std::vector<SocketInfo*> entries = snapshot(watched, watchedEntries);
        const auto outcome = m_waiter.wait(watched, ready, msUntilNextDeadline(entries));
        if (outcome == platform::SocketWaiter::Outcome::Failed) {
            TraceError("CZuzServer::ServerThread", __LINE__, "WSAWaitForMultipleEvents error");
            std::this_thread::sleep_for(kWaitFailurePause);
            continue;
        }
        if (m_stop)
            break;
        // Clients in table order, which is the order of acceptance, and the listener
        // after them: requests that arrive together reach the device controller in the
        // order their clients connected.
        for (const bool listeners : {false, true}) {
            for (size_t index : ready) {
                SocketInfo& entry = *watchedEntries[index];
                if (entry.listener == listeners && !entry.retired)
                    serveEvents(entry);
            }
        }
        // The table as it is now: a poll accepted during this turn may already have had
        // its result.
        serveTimesAndResults(tableEntries());
        m_retired.clear();
    }
    // Polls still waiting get their answer now rather than after a restart.
    for (SocketInfo* entry : tableEntries()) {
        if (entry->request && entry->request->waitingForResult()) {
            entry->request->endPollNow();
            entry->request->deadlinePassed();
            advance(*entry);
        }
    }
    m_retired.clear();
    {
        std::lock_guard<std::mutex> guard(m_threadLock);
        m_threadRunning = false;
    }
    m_threadEnded.notify_all();
}

std::vector<CZuzServer::SocketInfo*> CZuzServer::tableEntries() const {
    std::vector<SocketInfo*> entries;
    std::lock_guard<std::mutex> guard(m_tableLock);
    for (int i = 0; i < m_count; ++i)
        entries.push_back(m_sockets[i].get());
    return entries;
}

std::vector<CZuzServer::SocketInfo*> CZuzServer::snapshot(
    std::vector<platform::ServerSocket*>& watched, std::vector<SocketInfo*>& watchedEntries) {
    std::vector<SocketInfo*> entries = tableEntries();
    watched.clear();
    watchedEntries.clear();
    for (SocketInfo* entry : entries) {
        unsigned events = 0;
        if (entry->listener)
            events = platform::kSocketAccept | platform::kSocketClose;
        else if (entry->lastSendProgress)
            events = platform::kSocketWrite;
        else if (!entry->request->waitingForResult())
            events = platform::kSocketRead | platform::kSocketClose;
        // A poll waits for its result, not for its socket: a client that half-closes its
        // side after the request still gets its answer.
        if (events == 0)
            continue;
        entry->socket->selectEvents(events);
        watched.push_back(entry->socket.get());
        watchedEntries.push_back(entry);
    }
    return entries;
}

void CZuzServer::serveEvents(SocketInfo& entry) {
    platform::NetworkEvents events;
    if (!m_waiter.takeEvents(*entry.socket, events)) {
        TraceError("CZuzServer::ServerThread", __LINE__, "WSAEnumNetworkEvents error");
        return;
    }
    if (entry.listener) {
        if (events.acceptError)
            TraceError("CZuzServer::ServerThread", __LINE__, "FD_ACCEPT Event error=%d",
                       events.acceptError);
        else if (events.accept)
            acceptClients(entry);
        return;
    }
    if (events.write) {
        sendResponse(entry);
        return;
    }
    if (events.readError) {
        TraceError("CZuzServer::ServerThread", __LINE__, "FD_READ Event error=%d",
                   events.readError);
        return;
    }
    if (events.closeError)
        TraceError("CZuzServer::ServerThread", __LINE__, "FD_CLOSE Event error=%d",
                   events.closeError);
    if (!events.read && !events.close)
        return;
    // A client that closes its side may have ended a body with it: reading tells. A
    // request is answered whatever else its client did; one that stays unfinished is
    // given up once all its client sent before the close has been read, which may take
    // more than one turn.
    receive(entry);
    if (!entry.retired && !entry.request->isComplete() && entry.request->clientClosed())
        retire(entry);
}

void CZuzServer::acceptClients(SocketInfo& listener) {
    // Every connection that waits, oldest first, but no more than a table's worth.
    for (int accepted = 0; accepted < kMaxSockets; ++accepted) {
        std::unique_ptr<platform::ServerSocket> client = listener.socket->accept();
        if (!client) {
            if (platform::socketLastError() != platform::kSocketWouldBlock)
                TraceError("CZuzServer::ServerThread", __LINE__, "accept error");
            return;
        }
        try {
            if (socketCount() >= kMaxSockets)
                makeRoom();
            SocketInfo* added = AddSocketInfo(client, false);
            if (!added)
                continue;  // closed unanswered
            // Its request has mostly arrived with the connection: read it now.
            receive(*added);
        } catch (const std::bad_alloc&) {
            // One client the service has no memory for is refused; the others go on.
            TraceError("CZuzServer::AddSocketInfo", __LINE__, "Out of memory");
        }
    }
}

void CZuzServer::makeRoom() {
    // The oldest client that has sent nothing yet, else the oldest still sending its
    // request, else the oldest poll: closing a poll loses nothing, its result waits for
    // the next one. A response on its way is never cut off.
    auto rank = [](const SocketInfo& entry) -> std::optional<int> {
        if (entry.listener || entry.lastSendProgress)
            return std::nullopt;
        const CZuzHTTPRequest& request = *entry.request;
        return request.idle() ? 0 : !request.isComplete() ? 1 : 2;
    };
    SocketInfo* victim = nullptr;
    std::optional<int> victimRank;
    {
        std::lock_guard<std::mutex> guard(m_tableLock);
        for (int i = 0; i < m_count; ++i) {
            const std::optional<int> r = rank(*m_sockets[i]);
            if (r && (!victimRank || *r < *victimRank)) {
                victim = m_sockets[i].get();
                victimRank = r;
            }
        }
    }
    if (!victim)
        return;  // the new client is refused
    TraceError("CZuzServer::AddSocketInfo", __LINE__,
               "Out of socket count: IP=%s, port=%d closed for a new client",
               victim->peer.text.c_str(), victim->peer.port);
    retire(*victim);
}

void CZuzServer::receive(SocketInfo& entry) {
    int received = 0;
    try {
        received = entry.request->ReceiveData();
    } catch (const std::exception& error) {
        // One request that could not be handled (out of memory) costs its own connection,
        // never the server thread that serves all of them.
        TraceError("CZuzServer::ServerThread", __LINE__, "IP=%s, port=%d, request failed: %s",
                   entry.peer.text.c_str(), entry.peer.port, error.what());
        retire(entry);
        return;
    }
    if (received == -1 && platform::socketLastError() != platform::kSocketWouldBlock) {
        TraceError("CZuzServer::ServerThread", __LINE__, "recv error=%d",
                   platform::socketLastError());
        retire(entry);
        return;
    }
    advance(entry);
}

void CZuzServer::advance(SocketInfo& entry) {
    CZuzHTTPRequest& request = *entry.request;
    if (request.abandoned()) {
        TraceError("CZuzServer::ServerThread", __LINE__,
                   "IP=%s, port=%d, no complete request within %lld ms", entry.peer.text.c_str(),
                   entry.peer.port, static_cast<long long>(m_context.headTimeout.count()));
        retire(entry);
        return;
    }
    if (request.isComplete() && !request.waitingForResult())
        sendResponse(entry);
}

void CZuzServer::sendResponse(SocketInfo& entry) {
    CZuzHTTPRequest& request = *entry.request;
    platform::ServerSocket& socket = *entry.socket;
    if (!entry.lastSendProgress)
        entry.lastSendProgress = Clock::now();
    while (request.sendCount() > 0) {
        const int waiting = static_cast<int>(std::min<size_t>(request.sendCount(), INT_MAX));
        const int sent = socket.send(request.pendingData(), waiting);
        if (sent < 0) {
            const int error = platform::socketLastError();
            if (error == platform::kSocketWouldBlock)
                return;  // the rest goes when the client has taken some
            TraceError("CZuzServer::ServerThread", __LINE__, "IP=%s, port=%d, send error=%d",
                       entry.peer.text.c_str(), entry.peer.port, error);
            retire(entry);
            return;
        }
        if (sent == 0)
            break;
        request.dropSent(static_cast<size_t>(sent));
        entry.lastSendProgress = Clock::now();
    }
    TraceWrite("CZuzServer::ServerThread", __LINE__, "IP=%s, port=%d, send completed.",
               entry.peer.text.c_str(), entry.peer.port);
    retire(entry);
}

void CZuzServer::serveTimesAndResults(const std::vector<SocketInfo*>& entries) {
    const bool resultsChanged = m_resultsChanged.exchange(false);
    const Clock::time_point now = Clock::now();
    for (SocketInfo* entry : entries) {
        if (entry->retired || entry->listener)
            continue;
        const std::optional<Clock::time_point> due = deadlineOf(*entry);
        const bool overdue = due && *due <= now;
        if (entry->lastSendProgress) {
            if (overdue) {
                TraceError("CZuzServer::ServerThread", __LINE__,
                           "IP=%s, port=%d, send stopped: nothing taken for %lld ms",
                           entry->peer.text.c_str(), entry->peer.port,
                           static_cast<long long>(m_options.sendStallLimit.count()));
                retire(*entry);
            }
            continue;
        }
        CZuzHTTPRequest& request = *entry->request;
        if (overdue)
            request.deadlinePassed();
        else if (resultsChanged && request.waitingForResult())
            request.resumePoll();
        advance(*entry);
    }
}

std::optional<CZuzServer::Clock::time_point> CZuzServer::deadlineOf(const SocketInfo& entry) const {
    if (entry.lastSendProgress)
        return *entry.lastSendProgress + m_options.sendStallLimit;
    return entry.request->deadline();
}

int CZuzServer::msUntilNextDeadline(const std::vector<SocketInfo*>& entries) const {
    std::optional<Clock::time_point> next;
    for (const SocketInfo* entry : entries) {
        if (entry->listener)
            continue;
        const std::optional<Clock::time_point> due = deadlineOf(*entry);
        if (due && (!next || *due < *next))
            next = due;
    }
    if (!next)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

void CZuzServer::GetLocalAddresses() {
    m_localAddresses = platform::localIPv4Addresses(kMaxLocalAddresses);
}

bool CZuzServer::IsLocalAddress(const std::string& address) const {
    return std::find(m_localAddresses.begin(), m_localAddresses.end(), address) !=
           m_localAddresses.end();
}
