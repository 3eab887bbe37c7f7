// The virtual printer with pictures on, as a host and a person meet it: each receipt and
// label becomes a PNG file named by the journal line that ended it, the control port
// names the last one, the page lists and serves them, and hostile streams neither stop
// the printer from answering nor grow without bound.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "LoopbackSockets.h"
#include "PreviewPage.h"
#include "TempHome.h"
#include "VirtualPrinter.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

void sendAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        ASSERT_GT(sent, 0);
        done += static_cast<size_t>(sent);
    }
}

// Everything the peer sends until it closes or stays silent for 5 s.
std::string readUntilClosed(int fd) {
    std::string out;
    char buffer[65536];
    while (true) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 5000) <= 0)
            break;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        out.append(buffer, static_cast<size_t>(got));
    }
    return out;
}

std::string request(int port, const std::string& line) {
    int fd = vprinter::connectLoopback(port);
    if (fd < 0)
        return {};
    std::string head = line + "\r\nHost: 127.0.0.1\r\n\r\n";
    ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    std::string answer = readUntilClosed(fd);
    ::close(fd);
    return answer;
}

class PreviewServer : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = home_.path() + "/previews";
        std::filesystem::create_directories(folder_);
        vprinter::VirtualPrinterOptions options;
        options.listeners = {{0, "escpos", 384, 203}, {0, "zpl", 576, 300}};
        options.controlPort = true;
        options.previews = true;
        options.previewFolder = folder_;
        printer_ = std::make_unique<vprinter::VirtualPrinter>(options);
        ASSERT_TRUE(printer_->start());
    }
    // Sends the bytes on a connection of its own and closes it.
    void print(size_t listener, const std::string& bytes) {
        int fd = vprinter::connectLoopback(printer_->ports()[listener]);
        ASSERT_GE(fd, 0);
        sendAll(fd, bytes);
        ::close(fd);
    }
    bool waitForPreviews(size_t count) {
        return printer_->journal().waitForCount("preview", count, 20s);
    }

    TempHome home_;
    std::string folder_;
    std::unique_ptr<vprinter::VirtualPrinter> printer_;
};

TEST_F(PreviewServer, EachReceiptAndLabelBecomesAFileNamedByTheLineThatEndedIt) {
    print(0, "\x1b@first\n\x1dV\x01second\n\x1dV\x41\x03"s);
    print(1, "^XA^FO10,10^A0N,30^FDlabel^FS^XZ");
    print(0, "no cut at all\n");
    ASSERT_TRUE(waitForPreviews(4));
    // The lines that ended them name the files; the pictures exist and have the
    // paper's width (58 mm) or the label's (4 inches at 300 dots).
    std::vector<std::string> files;
    for (const Json::Value& e : printer_->journal().elements())
        if (e.isMember("preview"))
            files.push_back(e["preview"].asString());
    ASSERT_EQ(files.size(), 4u);
    for (const Json::Value& e : printer_->journal().elements("preview")) {
        EXPECT_TRUE(std::filesystem::exists(e["file"].asString())) << e["file"];
        EXPECT_EQ(e["width"].asInt(), e["kind"] == "label" ? 1200 : 384);
        EXPECT_NE(std::find(files.begin(), files.end(), e["file"].asString()), files.end());
    }
    EXPECT_EQ(printer_->journal().elements("receipt_end").size(), 1u);
    std::string last = printer_->control("picture");
    EXPECT_EQ(last, printer_->journal().elements("preview").back()["file"].asString());
    std::ifstream png(last, std::ios::binary);
    std::string magic(8, '\0');
    png.read(magic.data(), 8);
    EXPECT_EQ(magic, "\x89PNG\r\n\x1a\n"s);
}

TEST_F(PreviewServer, ThePageListsThePicturesNewestFirstAndServesThem) {
    vprinter::PreviewPage page(*printer_->previews());
    ASSERT_TRUE(page.start(0));
    EXPECT_EQ(request(page.port(), "GET /pictures?after=0 HTTP/1.1").substr(0, 15),
              "HTTP/1.1 200 OK");
    print(0, "one\n\x1dV\x01"s);
    ASSERT_TRUE(waitForPreviews(1));
    print(1, "^XA^FO10,10^FDtwo^FS^XZ");
    ASSERT_TRUE(waitForPreviews(2));
    std::string list = request(page.port(), "GET /pictures?after=0 HTTP/1.1");
    size_t label = list.find("-label.png"), receipt = list.find("-receipt.png");
    ASSERT_NE(label, std::string::npos);
    EXPECT_LT(label, receipt);
    std::string name = printer_->journal().elements("preview")[0]["file"].asString();
    name = name.substr(name.rfind('/') + 1);
    std::string png = request(page.port(), "GET /previews/" + name + " HTTP/1.1");
    EXPECT_NE(png.find("Content-Type: image/png"), std::string::npos);
    EXPECT_NE(png.find("\x89PNG"), std::string::npos);
    EXPECT_NE(request(page.port(), "GET / HTTP/1.1").find("<title>vprinter"), std::string::npos);
    EXPECT_EQ(request(page.port(), "GET /previews/../secret HTTP/1.1").substr(0, 12),
              "HTTP/1.1 404");
    EXPECT_EQ(request(page.port(), "POST / HTTP/1.1").substr(0, 12), "HTTP/1.1 405");
}

TEST_F(PreviewServer, AFormatThatNeverEndsIsBoundedAndThePrinterKeepsAnswering) {
    // Fails when a label without ^XZ is gathered without limit, or holds up the answers.
    int fd = vprinter::connectLoopback(printer_->ports()[1]);
    ASSERT_GE(fd, 0);
    sendAll(fd, "^XA");
    std::string field = "^FO10,10^FDendless^FS";
    std::string many;
    for (int i = 0; i < 21000; ++i)
        many += field;
    sendAll(fd, many);
    int asking = vprinter::connectLoopback(printer_->ports()[1]);
    sendAll(asking, "~HS");
    pollfd entry{asking, POLLIN, 0};
    EXPECT_EQ(::poll(&entry, 1, 10000), 1);
    ::close(asking);
    ::close(fd);
    // Waiting for the connections first: a journal waiter wakes on every element.
    ASSERT_TRUE(printer_->waitForOpenConnections(0, 30s));
    ASSERT_TRUE(waitForPreviews(1));
    Json::Value preview = printer_->journal().elements("preview")[0];
    ASSERT_TRUE(preview.isMember("notes"));
    EXPECT_NE(preview["notes"][0].asString().find("holds more than a picture may"),
              std::string::npos);
}

}  // namespace
