#include "CVNQueue.h"

#include <algorithm>
#include <cstring>

#include "SecureZero.h"

CCVNQueue::CCVNQueue(size_t initialCapacity)
    : buffer_(new uint8_t[initialCapacity]()), capacity_(initialCapacity) {}

CCVNQueue::~CCVNQueue() {
    secureZero(buffer_.get(), length_);
}

void CCVNQueue::append(const void* data, size_t count) {
    if (count == 0)
        return;
    if (capacity_ < length_ + count) {
        std::unique_ptr<uint8_t[]> grown(new uint8_t[length_ + count]());
        std::memcpy(grown.get(), buffer_.get(), length_);
        secureZero(buffer_.get(), capacity_);
        buffer_ = std::move(grown);
        capacity_ = length_ + count;
    }
    std::memcpy(buffer_.get() + length_, data, count);
    length_ += count;
}

size_t CCVNQueue::take(void* destination, size_t count) {
    // A take of nothing may come without a destination.
    if (length_ == 0 || count == 0)
        return 0;
    if (count > length_) {
        size_t taken = length_;
        std::memcpy(destination, buffer_.get(), taken);
        secureZero(buffer_.get(), capacity_);
        length_ = 0;
        return taken;
    }
    std::memcpy(destination, buffer_.get(), count);
    std::memmove(buffer_.get(), buffer_.get() + count, length_ - count);
    secureZero(buffer_.get() + length_ - count, count);
    length_ -= count;
    return count;
}

void CCVNQueue::clear() {
    secureZero(buffer_.get(), length_);
    length_ = 0;
}
