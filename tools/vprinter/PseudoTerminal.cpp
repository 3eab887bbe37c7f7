#include "PseudoTerminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace vprinter {
namespace {

struct Speed {
    speed_t code;
    int rate;
};

constexpr Speed kSpeeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},
                             {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                             {B57600, 57600},   {B115200, 115200}, {B230400, 230400},
                             {B460800, 460800}, {B921600, 921600}};

std::string rateText(speed_t code) {
    for (const Speed& speed : kSpeeds)
        if (speed.code == code)
            return std::to_string(speed.rate);
    return "other";
}

char parityLetter(tcflag_t flags) {
    if (!(flags & PARENB))
        return 'N';
    if (flags & CMSPAR)
        return flags & PARODD ? 'M' : 'S';
    return flags & PARODD ? 'O' : 'E';
}

char dataBitsDigit(tcflag_t flags) {
    switch (flags & CSIZE) {
        case CS5:
            return '5';
        case CS6:
            return '6';
        case CS7:
            return '7';
        default:
            return '8';
    }
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool PseudoTerminal::open() {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return false;
    const char* name = nullptr;
    termios line{};
    if (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0 || !(name = ::ptsname(fd_)) ||
        ::tcgetattr(fd_, &line) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    devicePath_ = name;
    // Nothing echoed back nor translated before a host sets its own line.
    ::cfmakeraw(&line);
    ::tcsetattr(fd_, TCSANOW, &line);
    return true;
}

std::string PseudoTerminal::lineSettings() const {
    termios line{};
    if (fd_ < 0 || ::tcgetattr(fd_, &line) != 0)
        return "unknown";
    std::string text = rateText(::cfgetospeed(&line)) + ' ' + dataBitsDigit(line.c_cflag) +
                       parityLetter(line.c_cflag) + (line.c_cflag & CSTOPB ? '2' : '1');
    bool xonXoff = line.c_iflag & IXON;
    bool rtsCts = line.c_cflag & CRTSCTS;
    if (xonXoff)
        text += " xonxoff";
    if (rtsCts)
        text += " rtscts";
    if (!xonXoff && !rtsCts)
        text += " none";
    return text;
}

}  // namespace vprinter
