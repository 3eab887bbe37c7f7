#include "PrinterStatus.h"

#include "dravix.h"

namespace printerstatus {
namespace {

bool any(unsigned char byte, unsigned char bits) {
    return (byte & bits) != 0;
}

int bit(bool set, int status) {
    return set ? status : 0;
}

}  // namespace

int fromAutomaticStatus(const unsigned char* block) {
    // Byte 1: drawer pin 3, off-line, cover. Byte 2: mechanical, cutter, unrecoverable and
    // recoverable errors. Byte 3: paper near end, paper end.
    return bit(any(block[0], 0x04), DRAVIX_STATUS_DRAWER_HIGH) |
           bit(any(block[0], 0x08), DRAVIX_STATUS_OFFLINE) |
           bit(any(block[0], 0x20), DRAVIX_STATUS_COVER_OPEN) |
           bit(any(block[1], 0x6C), DRAVIX_STATUS_PRINTER_ERROR) |
           bit(any(block[2], 0x03), DRAVIX_STATUS_PAPER_NEAR_END) |
           bit(any(block[2], 0x0C), DRAVIX_STATUS_PAPER_EMPTY);
}

int fromRealTimeStatus(const unsigned char* answers) {
    // 1: drawer pin 3, off-line. 2: cover, paper end stop, error. 3: the error causes.
    // 4: paper near end, paper end.
    return bit(any(answers[0], 0x04), DRAVIX_STATUS_DRAWER_HIGH) |
           bit(any(answers[0], 0x08), DRAVIX_STATUS_OFFLINE) |
           bit(any(answers[1], 0x04), DRAVIX_STATUS_COVER_OPEN) |
           bit(any(answers[1], 0x40) || any(answers[2], 0x6C), DRAVIX_STATUS_PRINTER_ERROR) |
           bit(any(answers[3], 0x0C), DRAVIX_STATUS_PAPER_NEAR_END) |
           bit(any(answers[1], 0x20) || any(answers[3], 0x60), DRAVIX_STATUS_PAPER_EMPTY);
}

std::vector<int> Tracker::update(int conditions, int scope) {
    int changed;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        int next = (known_ & ~scope) | (conditions & scope);
        changed = known_ ^ next;
        known_ = next;
    }
    std::vector<int> codes;
    for (int status = 1; status <= DRAVIX_STATUS_DISCONNECTED; status <<= 1) {
        if ((changed & status) == 0)
            continue;
        codes.push_back((conditions & status) ? status : status | DRAVIX_STATUS_CLEARED);
    }
    return codes;
}

}  // namespace printerstatus
