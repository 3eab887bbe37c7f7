// A growable byte buffer that grows to exactly the size it needs, never shrinks, and
// zero-fills every byte it releases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CCVNQueue {
public:
    explicit CCVNQueue(size_t initialCapacity);
    ~CCVNQueue();
    CCVNQueue(const CCVNQueue&) = delete;
    CCVNQueue& operator=(const CCVNQueue&) = delete;

    void append(const void* data, size_t count);
    // Copies up to `count` bytes from the front out and removes them; returns how many.
    size_t take(void* destination, size_t count);
    void clear();

    size_t size() const { return length_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return length_ == 0; }
    const uint8_t* data() const { return buffer_.get(); }

private:
    std::unique_ptr<uint8_t[]> buffer_;
    size_t length_ = 0;
    size_t capacity_ = 0;
};
