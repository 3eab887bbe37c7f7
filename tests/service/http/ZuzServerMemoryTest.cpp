// The listener when memory runs out for a new connection: that client is refused, the
// service goes on. Memory fails on cue through this program's own operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "HttpTestSupport.h"
#include "ZuzHTTPRequest.h"
#include "ZuzServer.h"

namespace {

// When set, the next allocation of exactly this many bytes fails.
std::atomic<size_t> g_failSize{0};

}  // namespace

// The replacements pair malloc with free, which the compiler cannot see across them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    size_t armed = size;
    if (size != 0 && g_failSize.compare_exchange_strong(armed, 0))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}

namespace {

TEST_F(ControllerFixture, AClientTheServiceHasNoMemoryForIsRefusedAndTheNextIsServed) {
    CZuzDeviceController controller(bridges(), options());
    CZuzServer::Options serverOptions;
    serverOptions.controller = &controller;
    serverOptions.devices = &devices;
    serverOptions.settings = &settingsRecord;
    CZuzServer server(serverOptions);
    ASSERT_EQ(1, server.startZuzServer());
    server.addListenPort(0);
    const int port = server.listeningPort();

    // The request object of the next connection cannot be made.
    g_failSize = sizeof(CZuzHTTPRequest);
    HttpClient refused(port);
    ASSERT_TRUE(refused.connected());
    EXPECT_EQ("", refused.readAll().value_or("<no close>"));
    EXPECT_EQ(0u, g_failSize.load()) << "the allocation never came";
    EXPECT_TRUE(traced("Out of memory"));

    const auto answer = roundTrip(port, "GET /vembrix/ HTTP/1.1\r\n\r\n");
    EXPECT_NE(std::string::npos, answer.value_or("").find("Visit Corvane homepage"));
}

}  // namespace
