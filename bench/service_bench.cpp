// Figures of the running service (the vembrix program, headless, with a watched POS
// printer on the virtual printer: its connection stays open between jobs), each beside a
// bare loopback server measured in the same run:
//   - job submissions per second, one connection per request, one client; and again
//     while 10 polls for results that never come wait on their own connections;
//   - round trip of a job: POST, then the GET that waits for its final result, through
//     the POS library and cvnport to the virtual printer;
//   - CPU time of the idle service over 10 s;
//   - resident memory while jobs nobody polls go through.
//
//   service_bench [jobs for the memory figure, default 100000]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Figures.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Every job has its own id: the service refuses a job whose id waits in the queue already.
std::string receiptJob() {
    static int id = 0;
    return R"({"id":)" + std::to_string(++id) +
           R"(,"mode":0,"functions":{"func1":{"printText":["bench line\n",0,0,0,0,0,0,0]}}})";
}
std::string rawJob() {
    static int id = 1000000000;
    return R"({"id":)" + std::to_string(--id) + R"(,"mode":2,"functions":{"data":"1B 40"}})";
}

// A connection to the port with the request sent; -1 when either failed.
int openWithRequest(int port, const std::string& request) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size()))
        return fd;
    close(fd);
    return -1;
}

// One request on its own connection; the whole answer up to the server's close.
std::string exchange(int port, const std::string& request) {
    const int fd = openWithRequest(port, request);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    if (fd >= 0)
        close(fd);
    return answer;
}

std::string post(const std::string& path, const std::string& body) {
    return "POST " + path +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string responseIdOf(const std::string& answer) {
    const size_t at = answer.find("\"ResponseID\":\"");
    return at == std::string::npos ? "" : answer.substr(at + 14, 8);
}

int listenOnLoopback(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 128) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A free loopback port for the service: taken from the system and given back at once.
int freePort() {
    int port = 0;
    int fd = listenOnLoopback(port);
    close(fd);
    return port;
}

// The physical limit: accept, read the request to its blank line and body, answer
// with a short response, close. Nothing else.
class BareServer {
public:
    BareServer() {
        fd_ = listenOnLoopback(port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~BareServer() {
        stop_ = true;
        exchange(port_, "");
        thread_.join();
        close(fd_);
    }
    int port() const { return port_; }

private:
    void serve() {
        static const std::string kAnswer =
            "HTTP/1.1 200 OK\r\n\r\n{\"RequestID\":1,\"ResponseID\":\"AbCdEfGh\","
            "\"Result\":\"ready\"}";
        while (!stop_) {
            int client = accept(fd_, nullptr, nullptr);
            if (client < 0)
                continue;
            if (stop_) {  // the connection that wakes the loop to end
                close(client);
                break;
            }
            std::string request;
            char buffer[1024];
            for (ssize_t n; !complete(request) && (n = recv(client, buffer, sizeof buffer, 0)) > 0;)
                request.append(buffer, static_cast<size_t>(n));
            send(client, kAnswer.data(), kAnswer.size(), MSG_NOSIGNAL);
            close(client);
        }
    }
    static bool complete(const std::string& request) {
        const size_t end = request.find("\r\n\r\n");
        if (end == std::string::npos)
            return false;
        const size_t length = request.find("Content-Length: ");
        size_t body = length == std::string::npos ? 0 : std::stoul(request.substr(length + 16));
        return request.size() >= end + 4 + body;
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A program run with VEMBRIX_HOME set; its first output line when `firstLine` is given.
pid_t spawn(const std::vector<std::string>& argv, const std::string& home,
            std::string* firstLine = nullptr) {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        setenv("VEMBRIX_HOME", home.c_str(), 1);
        if (!firstLine) {
            close(out[1]);
            out[1] = open("/dev/null", O_WRONLY);
        }
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    if (firstLine) {
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            *firstLine += c;
    }
    close(out[0]);
    return pid;
}

bool runToEnd(const std::vector<std::string>& argv, const std::string& home) {
    int status = 0;
    pid_t pid = spawn(argv, home);
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void stopChild(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

bool waitUntilListening(int port) {
    for (auto end = Clock::now() + 20s; Clock::now() < end; std::this_thread::sleep_for(20ms))
        if (!exchange(port, get("/vembrix/")).empty())
            return true;
    return false;
}

// Submissions per second of `clients` clients at once, each request on its own
// connection.
double submissionsPerSecond(int port, const std::string& path, int count, int clients) {
    std::vector<std::vector<std::string>> requests(static_cast<size_t>(clients));
    for (int i = 0; i < count; ++i)
        requests[static_cast<size_t>(i % clients)].push_back(post(path, rawJob()));
    std::atomic<int> failed{0};
    auto start = Clock::now();
    std::vector<std::thread> threads;
    for (const auto& own : requests)
        threads.emplace_back([&, &own = own] {
            for (const std::string& request : own)
                if (exchange(port, request).empty())
                    ++failed;
        });
    for (auto& thread : threads)
        thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return failed ? 0 : count / seconds;
}

// Jobs run in arrival order: once a job posted now is final, all before it are too.
bool drain(int port) {
    const std::string id = responseIdOf(exchange(port, post("/vembrix/Till", rawJob())));
    return !id.empty() &&
           exchange(port, get("/vembrix/Till/" + id)).find("\"success\"") != std::string::npos;
}

std::vector<double> roundTrips(int port, const std::string& printerPath, int count) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        auto start = Clock::now();
        const std::string id = responseIdOf(exchange(port, post(printerPath, receiptJob())));
        const std::string result = exchange(port, get(printerPath + "/" + id));
        if (id.empty() || result.find("\"Result\":\"success\"") == std::string::npos) {
            std::printf("round trip %d failed: %s\n", i, result.c_str());
            break;
        }
        samples.push_back(figures::ms(Clock::now() - start));
    }
    return samples;
}

long procField(pid_t pid, const char* file, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i == 14 || i == 15)  // utime, stime
            ticks += std::stol(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    const int memoryJobs = argc > 1 ? std::atoi(argv[1]) : 100000;
    setvbuf(stdout, nullptr, _IOLBF, 0);
    signal(SIGPIPE, SIG_IGN);
    char homeTemplate[] = "/tmp/vembrix-bench-XXXXXX";
    const std::string home = mkdtemp(homeTemplate);

    {
        BareServer bare;
        for (int clients : {1, 2})
            std::printf("bare loopback server, requests, %d client(s)     %.0f /s\n", clients,
                        submissionsPerSecond(bare.port(), "/vembrix/Till", 20000, clients));
        std::vector<double> samples;
        for (int i = 0; i < 1000; ++i) {
            auto start = Clock::now();
            exchange(bare.port(), post("/vembrix/Till", receiptJob()));
            exchange(bare.port(), get("/vembrix/Till/AbCdEfGh"));
            samples.push_back(figures::ms(Clock::now() - start));
        }
        figures::printLatency("bare loopback server, POST + GET", samples);
    }

    std::string printerLine;
    pid_t printer = spawn({VPRINTER_PROGRAM, "--port", "0:escpos"}, home, &printerLine);
    const std::string printerPort = printerLine.substr(printerLine.rfind(':') + 1);
    const int port = freePort();
    const std::string vembrix = VEMBRIX_PROGRAM;
    if (printer <= 0 || printerPort.empty() ||
        !runToEnd({vembrix, "settings", "set", "ListenPort=" + std::to_string(port)}, home) ||
        !runToEnd({vembrix, "printer", "add", "Till", "PrinterType=POSPrinter", "PortType=2",
                   "PortName=127.0.0.1", "BaudRate=" + printerPort, "CheckStatus=1"},
                  home)) {
        std::printf("cannot set up the virtual printer and the service's home in %s\n",
                    home.c_str());
        return 1;
    }
    pid_t service = spawn({vembrix, "--headless"}, home);
    if (service <= 0 || !waitUntilListening(port)) {
        std::printf("the service did not start listening on %d\n", port);
        stopChild(printer);
        return 1;
    }

    for (int clients : {1, 2})
        std::printf("service, job submissions, %d client(s)          %.0f /s\n", clients,
                    submissionsPerSecond(port, "/vembrix/Till", 20000, clients));
    {
        std::vector<int> parked;
        for (int i = 0; i < 10; ++i)
            parked.push_back(openWithRequest(port, get("/vembrix/Till/NOSUCHID")));
        std::printf("service, job submissions, 10 polls waiting      %.0f /s\n",
                    submissionsPerSecond(port, "/vembrix/Till", 20000, 1));
        for (int fd : parked)
            close(fd);
    }
    if (!drain(port))
        std::printf("the submitted jobs did not all finish\n");
    figures::printLatency("service, POST job + GET final result",
                          roundTrips(port, "/vembrix/Till", 1000));

    std::this_thread::sleep_for(1s);
    const double cpuBefore = cpuSeconds(service);
    std::this_thread::sleep_for(10s);
    std::printf("%-46s %.3f s\n", "service, CPU time over 10 s idle",
                cpuSeconds(service) - cpuBefore);

    std::printf("%-46s %ld kB\n", "service, resident memory before",
                procField(service, "status", "VmRSS:"));
    for (int quarter = 1; quarter <= 4; ++quarter) {
        for (int i = 0; i < memoryJobs / 4; ++i)
            exchange(port, post("/vembrix/Till", rawJob()));
        drain(port);
        std::printf("service, resident memory after %7d jobs       %ld kB\n",
                    quarter * memoryJobs / 4, procField(service, "status", "VmRSS:"));
    }

    stopChild(service);
    stopChild(printer);
    std::system(("rm -rf " + home).c_str());
    return 0;
}
