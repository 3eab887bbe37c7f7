// Figures of the network port against a printer peer on 127.0.0.1: how fast a write
// goes out, and how long a printer's reply takes to reach the data receiver with a
// short and with the default read thread interval.
//
//   net_port_bench [megabytes] [round trips]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "PortNet.h"
#include "ScriptedPeer.h"
#include "platform/IcmpEcho.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex arrivalMutex;
std::condition_variable arrived;
int arrivals = 0;
Clock::time_point lastArrival;

void onData(const char*, int) {
    {
        std::lock_guard<std::mutex> guard(arrivalMutex);
        ++arrivals;
        lastArrival = Clock::now();
    }
    arrived.notify_all();
}

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool echoWorks() {
    return platform::systemIcmpEcho()->echo(0x7F000001, 800).outcome ==
           platform::EchoReply::Outcome::Reply;
}

bool openPort(CPortNet& port, const vprinter::ScriptedPeer& peer, int id, bool ping) {
    port.portId = id;
    port.portType = 2;
    port.SetCheckIcmpEcho(ping);
    if (!port.CreateDeviceOption(2, peer.portName()) || !port.OpenPort())
        return false;
    auto parser = port.parser();
    parser->SetUseDevice(0, true);
    parser->SetDataReceiver(0, onData);
    return true;
}

void throughput(int megabytes, int outputBufferSize, bool ping) {
    vprinter::ScriptedPeer peer;
    if (!peer.start())
        return;
    peer.setRecording(false);
    CPortNet port;
    port.outputBufferSize = outputBufferSize;
    if (!openPort(port, peer, 100, ping)) {
        std::printf("throughput: open failed\n");
        return;
    }
    std::string block(1 << 20, 'x');
    size_t total = static_cast<size_t>(megabytes) << 20;
    Clock::time_point start = Clock::now();
    size_t written = 0;
    for (int i = 0; i < megabytes; ++i)
        written += static_cast<size_t>(port.Write(block.data(), static_cast<int>(block.size()), 0));
    bool all = peer.waitForBytes(total, std::chrono::seconds(60));
    double seconds = msBetween(start, Clock::now()) / 1000.0;
    port.ClosePort();
    std::printf("write  %4d MB in pieces of %6d bytes: %8.1f MB/s%s\n", megabytes, outputBufferSize,
                static_cast<double>(written) / (1 << 20) / seconds,
                all ? "" : "  (peer did not get everything)");
}

void latency(int interval, int roundTrips, bool ping) {
    vprinter::ScriptedPeer peer;
    if (!peer.start())
        return;
    CPortNet port;
    port.readThreadInterval = interval;
    if (!openPort(port, peer, 101, ping) ||
        !peer.waitForOpenConnections(1, std::chrono::seconds(5))) {
        std::printf("latency: open failed\n");
        return;
    }
    {
        std::lock_guard<std::mutex> guard(arrivalMutex);
        arrivals = 0;
    }
    // Replies come at random moments, as a printer's do, not right after the last one.
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> gapMs(0, interval + 20);
    std::vector<double> samples;
    for (int i = 0; i < roundTrips; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
        Clock::time_point sent = Clock::now();
        peer.sendToAll("r");
        std::unique_lock<std::mutex> lock(arrivalMutex);
        if (!arrived.wait_for(lock, std::chrono::seconds(5), [&] { return arrivals > i; })) {
            std::printf("latency: reply %d lost\n", i);
            break;
        }
        samples.push_back(msBetween(sent, lastArrival));
    }
    port.ClosePort();
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1))]; };
    std::printf(
        "reply  interval %3d ms, %4zu round trips: median %7.3f ms, p99 %7.3f ms, max %7.3f ms\n",
        interval, samples.size(), at(0.5), at(0.99), samples.back());
}

}  // namespace

int main(int argc, char** argv) {
    int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 256;
    int roundTrips = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    bool ping = echoWorks();
    std::printf("network port on 127.0.0.1, echo check %s\n",
                ping ? "on (real ICMP)" : "off (no ICMP socket here)");
    throughput(megabytes, CPortInterface::kDefaultOutputBufferSize, ping);
    throughput(megabytes, 64 * 1024, ping);
    latency(1, roundTrips * 5, ping);
    latency(CPortNet::kDefaultReadThreadInterval, roundTrips, ping);
    return 0;
}
