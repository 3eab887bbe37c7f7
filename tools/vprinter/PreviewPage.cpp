#include "PreviewPage.h"

#include <json/json.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "LoopbackSockets.h"

namespace vprinter {
namespace {

constexpr size_t kMaxHead = 16 * 1024;
constexpr auto kVisitorTime = std::chrono::seconds(5);
constexpr size_t kMaxVisitors = 64;

// The page: it asks for newer pictures every second and puts them on top.
constexpr const char* kPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>vprinter: what was printed</title>
<style>
body { font-family: sans-serif; margin: 1.5em; background: #eceff1; color: #263238; }
h1 { font-size: 1.3em; margin: 0 0 .2em; }
#state { color: #607d8b; margin-bottom: 1em; }
.job { display: inline-block; vertical-align: top; background: #fff; margin: 0 1em 1em 0;
       padding: .8em; border-radius: 6px; box-shadow: 0 1px 3px rgba(0,0,0,.2); max-width: 90vw; }
.job img { display: block; border: 1px solid #cfd8dc; max-width: 100%; image-rendering: pixelated; }
.job .what { font-weight: bold; margin-bottom: .4em; }
.job .when { color: #607d8b; font-size: .85em; margin-bottom: .5em; }
.job pre { font-size: .75em; max-width: 40em; overflow-x: auto; white-space: pre-wrap; }
</style>
</head>
<body>
<h1>vprinter: what was printed</h1>
<div id="state">Waiting for the first receipt or label&hellip;</div>
<div id="jobs"></div>
<script>
let newest = 0;
function card(p) {
  const job = document.createElement('div');
  job.className = 'job';
  job.dataset.seq = p.seq;
  const what = document.createElement('div');
  what.className = 'what';
  what.textContent = (p.kind === 'label' ? 'Label' : 'Receipt') + ' ' + p.name;
  const when = document.createElement('div');
  when.className = 'when';
  when.textContent = 'port ' + p.port + ', connection ' + p.connection + ', ' +
      new Date(p.time).toLocaleString() + ', ' + p.width + ' \u00d7 ' + p.height + ' dots';
  const link = document.createElement('a');
  link.href = p.url;
  const img = document.createElement('img');
  img.src = p.url;
  img.alt = p.kind + ' ' + p.seq;
  link.appendChild(img);
  const lines = document.createElement('details');
  const summary = document.createElement('summary');
  summary.textContent = 'Journal lines (' + p.journal.length + ')';
  const pre = document.createElement('pre');
  pre.textContent = p.journal.join('\n');
  lines.append(summary, pre);
  job.append(what, when, link, lines);
  return job;
}
async function refresh() {
  try {
    const answer = await fetch('/pictures?after=' + newest, {cache: 'no-store'});
    const pictures = await answer.json();
    const jobs = document.getElementById('jobs');
    for (const p of pictures.reverse()) {
      jobs.prepend(card(p));
      newest = Math.max(newest, p.seq);
    }
    const count = jobs.children.length;
    document.getElementById('state').textContent = count === 0
        ? 'Waiting for the first receipt or label\u2026'
        : count + (count === 1 ? ' picture' : ' pictures') + ', newest first. Updated ' +
          new Date().toLocaleTimeString() + '.';
  } catch (e) {
    document.getElementById('state').textContent = 'The virtual printer does not answer.';
  }
}
refresh();
setInterval(refresh, 1000);
</script>
</body>
</html>
)PAGE";

std::string response(const std::string& status, const std::string& type, const std::string& body,
                     bool withBody = true) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + (withBody ? body : "");
}

Json::Value describe(const Picture& picture) {
    Json::Value p;
    p["seq"] = static_cast<Json::Int64>(picture.seq);
    p["kind"] = picture.kind;
    p["name"] = picture.name;
    p["url"] = "/previews/" + picture.name;
    p["port"] = picture.port;
    p["connection"] = picture.connection;
    p["time"] = picture.time;
    p["width"] = picture.width;
    p["height"] = picture.height;
    p["journal"] = Json::Value(Json::arrayValue);
    for (const std::string& line : picture.journal)
        p["journal"].append(line);
    return p;
}

}  // namespace

PreviewPage::PreviewPage(Previews& previews) : previews_(previews) {}

PreviewPage::~PreviewPage() {
    stop();
}

bool PreviewPage::start(int port) {
    port_ = port;
    listenFd_ = listenLoopback(port_);
    if (listenFd_ < 0)
        return false;
    if (!loop_.start([this] { pass(); })) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    return true;
}

void PreviewPage::stop() {
    loop_.stop();
    for (Visitor& visitor : visitors_)
        ::close(visitor.fd);
    visitors_.clear();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
}

std::string PreviewPage::answer(const std::string& head) const {
    size_t end = head.find("\r\n");
    std::string line = head.substr(0, end);
    size_t space = line.find(' ');
    std::string method = line.substr(0, space);
    std::string target = space == std::string::npos ? "" : line.substr(space + 1);
    target = target.substr(0, target.find(' '));
    bool get = method == "GET";
    if (!get && method != "HEAD")
        return response("405 Method Not Allowed", "text/plain", "GET or HEAD only\n");
    std::string path = target.substr(0, target.find('?'));
    if (path == "/" || path == "/index.html")
        return response("200 OK", "text/html; charset=utf-8", kPage, get);
    if (path == "/pictures") {
        size_t after = target.find("after=");
        long long since = 0;
        if (after != std::string::npos)
            since = std::strtoll(target.c_str() + after + 6, nullptr, 10);
        Json::Value list(Json::arrayValue);
        for (const auto& picture : previews_.since(since))
            list.append(describe(*picture));
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        writer["emitUTF8"] = true;
        return response("200 OK", "application/json", Json::writeString(writer, list), get);
    }
    const std::string prefix = "/previews/";
    if (path.rfind(prefix, 0) == 0) {
        auto picture = previews_.find(path.substr(prefix.size()));
        if (picture)
            return response("200 OK", "image/png", picture->png, get);
    }
    return response("404 Not Found", "text/plain", "no such page or picture\n", get);
}

void PreviewPage::pass() {
    std::vector<pollfd> entries{{loop_.wakeFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
    for (const Visitor& visitor : visitors_)
        entries.push_back({visitor.fd, POLLIN, 0});
    if (::poll(entries.data(), entries.size(), 500) < 0)
        return;
    if (entries[0].revents & POLLIN)
        drainWake(loop_.wakeFd());
    if (entries[1].revents & POLLIN) {
        int fd = acceptConnection(listenFd_);
        if (fd >= 0 && visitors_.size() < kMaxVisitors)
            visitors_.push_back({fd, {}, std::chrono::steady_clock::now() + kVisitorTime});
        else if (fd >= 0)
            ::close(fd);
    }
    auto now = std::chrono::steady_clock::now();
    for (size_t i = visitors_.size(); i-- > 0;) {
        Visitor& visitor = visitors_[i];
        bool ready =
            i + 2 < entries.size() && (entries[i + 2].revents & (POLLIN | POLLHUP | POLLERR));
        if (ready)
            serve(visitor);
        if (visitor.fd < 0 || now > visitor.deadline) {
            if (visitor.fd >= 0)
                ::close(visitor.fd);
            visitors_.erase(visitors_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void PreviewPage::serve(Visitor& visitor) {
    char buffer[4096];
    ssize_t got = ::recv(visitor.fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        ::close(visitor.fd);
        visitor.fd = -1;
        return;
    }
    visitor.head.append(buffer, static_cast<size_t>(got));
    bool whole = visitor.head.find("\r\n\r\n") != std::string::npos;
    if (!whole && visitor.head.size() < kMaxHead)
        return;
    sendEverything(visitor.fd, whole ? answer(visitor.head)
                                     : response("431 Request Header Fields Too Large", "text/plain",
                                                "the request head is too long\n"));
    ::shutdown(visitor.fd, SHUT_WR);
    ::close(visitor.fd);
    visitor.fd = -1;
}

}  // namespace vprinter
