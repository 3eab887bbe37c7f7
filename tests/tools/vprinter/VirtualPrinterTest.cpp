// The virtual printer as a host meets it: its ESC/POS decoder fed in pieces, its answers,
// a gateway's packets over a real loopback socket, its control port, and the language
// an auto port picks.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "DecoderRecorder.h"
#include "EscPosDecoder.h"
#include "LoopbackSockets.h"
#include "VirtualPrinter.h"

namespace {

using namespace std::chrono_literals;
using vprinter::PrinterCondition;
using vprinter::test::Recorder;

// A receipt's worth of commands, with a gap the decoder must report.
using namespace std::string_literals;
const std::string kStream =
    "\x1b@\x1bt\x11\x1b"
    "a\x01\x8f\xe0\xa8\xa2\xa5\xe2\n"s +
    "\0"s + "\x1b\x99"s + "\x1dk\x49\x04{C\x0c\x22"s + "\x1dv0\x00\x01\x00\x02\x00\x80\x01"s +
    "\x1d(k\x04\x00\x31\x41\x32\x00\x1d(k\x05\x00\x31\x50\x30QR"s + "\x1d(k\x03\x00\x31\x51\x30"s +
    "\x1dV\x42\x03"s + "\x1bp\x01\x19\xfa"s;

TEST(VirtualPrinterDecoder, CommandsSplitAcrossReadsDecodeAsIfWholeAndGapsAreReported) {
    Recorder whole;
    vprinter::EscPosDecoder one;
    one.feed(kStream, whole);
    one.finish(whole);
    Recorder pieces;
    vprinter::EscPosDecoder two;
    for (char c : kStream)
        two.feed(std::string_view(&c, 1), pieces);
    two.finish(pieces);
    EXPECT_EQ(pieces.lines(), whole.lines());

    std::vector<std::string> types;
    for (const auto& e : whole.elements)
        types.push_back(e["type"].asString());
    EXPECT_EQ(types, (std::vector<std::string>{"init", "codepage", "text", "idle_probe", "unknown",
                                               "barcode", "image", "2d", "cut", "drawer"}));
    EXPECT_EQ(whole.elements[2]["text"].asString(), "Привет");
    EXPECT_EQ(whole.elements[2]["align"].asString(), "center");
    EXPECT_EQ(whole.elements[4]["hex"].asString(), "1b 99");
    EXPECT_EQ(whole.elements[5]["data"].asString(), "1234");
    EXPECT_EQ(whole.elements[6]["height"].asInt(), 2);
    EXPECT_EQ(whole.elements[6]["black"].asInt(), 2);
    EXPECT_EQ(whole.elements[7]["data"].asString(), "QR");
    EXPECT_EQ(whole.elements[8]["mode"].asString(), "partial");
    EXPECT_EQ(whole.elements[9]["pin"].asInt(), 5);

    // A command cut off by the end of the connection is kept, as unknown.
    Recorder cut;
    vprinter::EscPosDecoder three;
    three.feed("\x1dv0\x00\x10"s, cut);
    three.finish(cut);
    ASSERT_EQ(cut.elements.size(), 1u);
    EXPECT_EQ(cut.elements[0]["hex"].asString(), "1d 76 30 00 10");
}

TEST(VirtualPrinterDecoder, AnswersFollowTheConditionAndOnlyAGatewayClaimsToBeOne) {
    struct Answer {
        PrinterCondition condition;
        std::string query;
        std::string reply;
    };
    PrinterCondition cover;
    cover.coverOpen = true;
    PrinterCondition paper;
    paper.paperOut = true;
    const Answer answers[] = {
        {{}, "\x10\x04\x01", "\x12"},    {cover, "\x10\x04\x01", "\x1a"},
        {cover, "\x10\x04\x02", "\x16"}, {paper, "\x10\x04\x04", "\x72"},
        {paper, "\x1dr\x01", "\x0c"},    {{}, "\x1dI\x04", ""},
    };
    for (const Answer& a : answers) {
        Recorder context;
        context.state = a.condition;
        vprinter::EscPosDecoder decoder;
        decoder.feed(a.query, context);
        EXPECT_EQ(context.replies, a.reply) << vprinter::hexBytes(a.query);
    }
    Recorder gateway;
    gateway.who.gateway = true;
    vprinter::EscPosDecoder decoder;
    decoder.feed("\x1dI\x04", gateway);
    ASSERT_EQ(gateway.replies.size(), 6u);
    EXPECT_EQ(gateway.replies[0], '_');
    EXPECT_TRUE(gateway.replies[4] & 0x10);
    // Automatic status: cover open shows in byte 1, with off-line.
    EXPECT_EQ(vprinter::EscPosDecoder::automaticStatusBlock(cover), std::string("\x38\0\0\0", 4));
}

// Reads until `count` bytes came or the wait ran out.
std::string readSome(int fd, size_t count) {
    std::string out;
    char buffer[4096];
    while (out.size() < count) {
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

TEST(VirtualPrinterServer, AGatewayPacketSplitOverReadsReachesItsChannelAndIsAnsweredOnIt) {
    vprinter::VirtualPrinterOptions options;
    options.gateway = true;
    vprinter::VirtualPrinter printer(options);
    ASSERT_TRUE(printer.start());
    int fd = vprinter::connectLoopback(printer.ports()[0]);
    ASSERT_GE(fd, 0);
    std::string packet = std::string("CVN\x0c\x00\x06", 6) + "hi\n\x1dI\x43";
    ASSERT_EQ(::send(fd, packet.data(), 4, 0), 4);
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(::send(fd, packet.data() + 4, packet.size() - 4, 0),
              static_cast<ssize_t>(packet.size() - 4));
    std::string expected = std::string("CVN\x0c\x00\x0d", 6) + "_VPRINTER-M1" + '\0';
    EXPECT_EQ(readSome(fd, expected.size()), expected);
    auto texts = printer.journal().elements("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]["channel"].asInt(), 12);
    EXPECT_EQ(texts[0]["text"].asString(), "hi");
    ::close(fd);
}

TEST(VirtualPrinterServer, TheControlPortTakesFaultsAndShowsTheJournal) {
    vprinter::VirtualPrinterOptions options;
    options.controlPort = true;
    vprinter::VirtualPrinter printer(options);
    ASSERT_TRUE(printer.start());
    int printerFd = vprinter::connectLoopback(printer.ports()[0]);
    ASSERT_GE(printerFd, 0);
    // Automatic status asked for: the first block comes at once, the next on a change.
    ASSERT_EQ(::send(printerFd,
                     "\x1d"
                     "a\x0e",
                     3, 0),
              3);
    EXPECT_EQ(readSome(printerFd, 4), std::string("\x10\0\0\0", 4));
    int control = vprinter::connectLoopback(printer.controlPort());
    ASSERT_GE(control, 0);
    std::string lines = "cover open\nbogus\njournal\n";
    ASSERT_EQ(::send(control, lines.data(), lines.size(), 0), static_cast<ssize_t>(lines.size()));
    std::string answer = readSome(control, 1);
    while (answer.find("end\n") == std::string::npos) {
        std::string more = readSome(control, 1);
        if (more.empty())
            break;
        answer += more;
    }
    EXPECT_EQ(answer.substr(0, 3), "ok\n");
    EXPECT_NE(answer.find("error: unknown command 'bogus'"), std::string::npos);
    EXPECT_NE(answer.find("\"automatic_status\""), std::string::npos);
    EXPECT_TRUE(printer.condition().coverOpen);
    EXPECT_EQ(readSome(printerFd, 4), std::string("\x38\0\0\0", 4));
    ::close(control);
    ::close(printerFd);
}

TEST(VirtualPrinterServer, AnAutoPortJudgesTheLanguageByTheFirstBytesThatAreNotLineEnds) {
    // Fails when a connection that opens with a line end is taken for ESC/POS.
    vprinter::VirtualPrinterOptions options;
    options.listeners = {{0, "auto"}};
    vprinter::VirtualPrinter printer(options);
    ASSERT_TRUE(printer.start());
    int fd = vprinter::connectLoopback(printer.ports()[0]);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, "\r\n", 2, 0), 2);
    for (int i = 0; i < 500 && printer.rawBytes() != std::vector<std::string>{"\r\n"}; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(printer.rawBytes(), std::vector<std::string>{"\r\n"});
    ASSERT_EQ(::send(fd, "^XA^XZ", 6, 0), 6);
    EXPECT_TRUE(
        printer.journal().waitFor([](const auto& elements) { return elements.size() == 2; }, 10s));
    auto ends = printer.journal().elements("label_end");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0]["language"].asString(), "zpl");
    ::close(fd);
}

}  // namespace
