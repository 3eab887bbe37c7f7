#include "ZuzServer.h"

#include <algorithm>
#include <climits>
#include <exception>

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
    m_context.statusTimeout = m_options.statusTimeout;
    m_stopSource = std::stop_source();
    m_context.stop = m_stopSource.get_token();

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
    m_stopSource.request_stop();
    m_waiter.wake();
    if (m_thread.joinable()) {
        if (!waitForThreadEnd(kStopFirstWait + kStopLimit)) {
            // No thread is ended from outside: every wait of this one is bounded and
            // watches the stop request, so it ends shortly.
            TraceWrite("CZuzServer::stopZuzServer", __LINE__,
                       "stopDataListener : TerminateThread Port ReadThread.");
            m_thread.join();
            TraceWrite("CZuzServer::stopZuzServer", __LINE__,
                       "stopDataListener : complete TerminateThread Port ReadThread.");
        } else {
            m_thread.join();
        }
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

int CZuzServer::AddSocketInfo(std::unique_ptr<platform::ServerSocket>& socket, bool isListener) {
    if (socketCount() >= kMaxSockets) {
        TraceError("CZuzServer::AddSocketInfo", __LINE__, "Out of socket count");
        return 0;
    }
    auto entry = std::make_unique<SocketInfo>();
    socket->peerAddress(entry->peer);  // a listener has none
    if (!isListener && m_options.settings->restrictPublic() != 0 &&
        entry->peer.text != "127.0.0.1" && !IsLocalAddress(entry->peer.text)) {
        TraceError("CZuzServer::AddSocketInfo", __LINE__, "check address of request IP:%s",
                   entry->peer.text.c_str());
        return 0;
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
        return 0;
    }
    m_sockets[m_count++] = std::move(entry);
    return 1;
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
}

CZuzServer::SocketInfo* CZuzServer::entryAt(size_t index) const {
    std::lock_guard<std::mutex> guard(m_tableLock);
    return index < static_cast<size_t>(m_count) ? m_sockets[index].get() : nullptr;
}

void CZuzServer::ServerThread() {
    TraceWrite("CZuzServer::ServerThread", __LINE__, "+Start");
    std::vector<platform::ServerSocket*> watched;
    std::vector<size_t> ready;
    while (!m_stop) {
        watched.clear();
        {
            std::lock_guard<std::mutex> guard(m_tableLock);
            for (int i = 0; i < m_count; ++i)
                watched.push_back(m_sockets[i]->socket.get());
        }
        const auto outcome = m_waiter.wait(watched, ready);
        if (outcome == platform::SocketWaiter::Outcome::Failed) {
            TraceError("CZuzServer::ServerThread", __LINE__, "WSAWaitForMultipleEvents error");
            std::this_thread::sleep_for(kWaitFailurePause);
            continue;
        }
        if (m_stop)
            break;
        // Highest index first: removing an entry moves only those behind it, which
        // are done by then. The listener, entry 0, comes last and appends.
        for (auto index = ready.rbegin(); index != ready.rend(); ++index) {
            SocketInfo* entry = entryAt(*index);
            if (entry && entry->socket.get() == watched[*index])
                serveEvents(*entry, *index);
        }
    }
    {
        std::lock_guard<std::mutex> guard(m_threadLock);
        m_threadRunning = false;
    }
    m_threadEnded.notify_all();
}

void CZuzServer::serveEvents(SocketInfo& entry, size_t index) {
    platform::NetworkEvents events;
    if (!m_waiter.takeEvents(*entry.socket, events)) {
        TraceError("CZuzServer::ServerThread", __LINE__, "WSAEnumNetworkEvents error");
        return;
    }
    if (events.accept) {
        if (events.acceptError) {
            TraceError("CZuzServer::ServerThread", __LINE__, "FD_ACCEPT Event error=%d",
                       events.acceptError);
            return;
        }
        if (!acceptClient(entry))
            return;
    }
    if (events.read) {
        if (events.readError) {
            TraceError("CZuzServer::ServerThread", __LINE__, "FD_READ Event error=%d",
                       events.readError);
            return;
        }
        if (receiveAndAnswer(entry, index))
            return;
    }
    if (events.close) {
        if (events.closeError)
            TraceError("CZuzServer::ServerThread", __LINE__, "FD_CLOSE Event error=%d",
                       events.closeError);
        RemoveSocketInfo(static_cast<int>(index));
    }
}

bool CZuzServer::acceptClient(SocketInfo& listener) {
    std::unique_ptr<platform::ServerSocket> client = listener.socket->accept();
    if (!client) {
        TraceError("CZuzServer::ServerThread", __LINE__, "accept error");
        return false;
    }
    platform::ServerSocket& added = *client;
    if (!AddSocketInfo(client, false))
        return false;  // closed unanswered
    if (!added.selectEvents(platform::kSocketRead | platform::kSocketClose))
        TraceError("CZuzServer::ServerThread", __LINE__, "WSAEventSelect error");
    return true;
}

bool CZuzServer::receiveAndAnswer(SocketInfo& entry, size_t index) {
    int received = 0;
    try {
        received = entry.request->ReceiveData();
    } catch (const std::exception& error) {
        // One request that could not be handled (out of memory) costs its own connection,
        // never the server thread that serves all of them.
        TraceError("CZuzServer::ServerThread", __LINE__, "IP=%s, port=%d, request failed: %s",
                   entry.peer.text.c_str(), entry.peer.port, error.what());
        RemoveSocketInfo(static_cast<int>(index));
        return true;
    }
    if (received == -1 && platform::socketLastError() != platform::kSocketWouldBlock) {
        TraceError("CZuzServer::ServerThread", __LINE__, "recv error=%d",
                   platform::socketLastError());
        RemoveSocketInfo(static_cast<int>(index));
        return true;
    }
    switch (sendResponse(entry)) {
        case SendOutcome::Completed:
            TraceWrite("CZuzServer::ServerThread", __LINE__, "IP=%s, port=%d, send completed.",
                       entry.peer.text.c_str(), entry.peer.port);
            RemoveSocketInfo(static_cast<int>(index));
            return true;
        case SendOutcome::Failed:
            RemoveSocketInfo(static_cast<int>(index));
            return true;
        case SendOutcome::GaveUp:
            break;
    }
    return false;
}

CZuzServer::SendOutcome CZuzServer::sendResponse(SocketInfo& entry) {
    CZuzHTTPRequest& request = *entry.request;
    platform::ServerSocket& socket = *entry.socket;
    const int retryWait = static_cast<int>(m_options.sendRetryWait.count());
    int failures = 0;
    while (request.sendCount() > 0) {
        const int waiting = static_cast<int>(std::min<size_t>(request.sendCount(), INT_MAX));
        const int sent = socket.send(request.pendingData(), waiting);
        if (sent < 0) {
            const int error = platform::socketLastError();
            if (error != platform::kSocketWouldBlock) {
                TraceError("CZuzServer::ServerThread", __LINE__, "IP=%s, port=%d, send error=%d",
                           entry.peer.text.c_str(), entry.peer.port, error);
                return SendOutcome::Failed;
            }
            if (++failures >= kSendTries) {
                // The rest waits until the client closes.
                TraceError("CZuzServer::ServerThread", __LINE__,
                           "IP=%s, port=%d, send stopped after %d tries", entry.peer.text.c_str(),
                           entry.peer.port, kSendTries);
                return SendOutcome::GaveUp;
            }
            socket.waitWritable(retryWait);
            continue;
        }
        if (sent == 0 || sent == waiting)
            return SendOutcome::Completed;
        request.dropSent(static_cast<size_t>(sent));
        // The send buffer is full: wait for room rather than try again at once.
        socket.waitWritable(retryWait);
    }
    return SendOutcome::Completed;
}

void CZuzServer::GetLocalAddresses() {
    m_localAddresses = platform::localIPv4Addresses(kMaxLocalAddresses);
}

bool CZuzServer::IsLocalAddress(const std::string& address) const {
    return std::find(m_localAddresses.begin(), m_localAddresses.end(), address) !=
           m_localAddresses.end();
}
