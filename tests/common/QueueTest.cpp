#include "CVNQueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string bytesOf(const CCVNQueue& queue) {
    return std::string(reinterpret_cast<const char*>(queue.data()), queue.size());
}

bool zerosBetween(const CCVNQueue& queue, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (queue.data()[i] != 0)
            return false;
    }
    return true;
}

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i + 1);
    return bytes;
}

TEST(Queue, StartsEmptyAndZeroed) {
    CCVNQueue queue(64);
    EXPECT_EQ(0u, queue.size());
    EXPECT_EQ(64u, queue.capacity());
    EXPECT_TRUE(queue.empty());
    EXPECT_TRUE(zerosBetween(queue, 0, 64));
}

TEST(Queue, GrowsToExactlyWhatItNeedsAndKeepsItsBytes) {
    CCVNQueue queue(64);
    queue.append("head", 4);
    EXPECT_EQ(64u, queue.capacity());  // fits: no growth
    std::vector<uint8_t> bytes = pattern(100);
    queue.append(bytes.data(), bytes.size());
    EXPECT_EQ(104u, queue.capacity());
    ASSERT_EQ(104u, queue.size());
    EXPECT_EQ(0, std::memcmp(queue.data(), "head", 4));
    EXPECT_EQ(0, std::memcmp(queue.data() + 4, bytes.data(), bytes.size()));
}

TEST(Queue, TakingMoreThanHeldReturnsAllAndEmpties) {
    CCVNQueue queue(64);
    std::vector<uint8_t> bytes = pattern(100);
    queue.append(bytes.data(), bytes.size());
    ASSERT_EQ(100u, queue.capacity());

    std::vector<uint8_t> out(150, 0xEE);
    EXPECT_EQ(100u, queue.take(out.data(), out.size()));
    EXPECT_EQ(0, std::memcmp(out.data(), bytes.data(), 100));
    EXPECT_EQ(0xEE, out[100]);  // nothing written past what was held
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(100u, queue.capacity());  // never shrinks
    EXPECT_TRUE(zerosBetween(queue, 0, 100));

    EXPECT_EQ(0u, queue.take(out.data(), out.size()));
}

TEST(Queue, PartialTakeKeepsTheRestInOrder) {
    CCVNQueue queue(8);
    queue.append("abcdef", 6);
    char out[4] = {};
    EXPECT_EQ(2u, queue.take(out, 2));
    EXPECT_EQ("ab", std::string(out, 2));
    EXPECT_EQ("cdef", bytesOf(queue));
    EXPECT_TRUE(zerosBetween(queue, 4, 8));  // the vacated tail is cleared

    queue.append("gh", 2);
    EXPECT_EQ("cdefgh", bytesOf(queue));
    EXPECT_EQ(0u, queue.take(out, 0));  // a take of 0 takes nothing
    EXPECT_EQ(0u, queue.take(nullptr, 0));
    EXPECT_EQ(6u, queue.size());
    EXPECT_EQ(4u, queue.take(out, 4));
    EXPECT_EQ("cdef", std::string(out, 4));
    EXPECT_EQ(2u, queue.take(out, 2));  // exactly what is held
    EXPECT_EQ("gh", std::string(out, 2));
    EXPECT_TRUE(queue.empty());
}

TEST(Queue, AppendOfNothingChangesNothing) {
    CCVNQueue queue(4);
    queue.append("abcd", 4);
    queue.append(nullptr, 0);
    queue.append("x", 0);
    EXPECT_EQ(4u, queue.capacity());
    EXPECT_EQ("abcd", bytesOf(queue));
}

TEST(Queue, ClearEmptiesWithoutShrinking) {
    CCVNQueue queue(2);
    queue.append("abcdef", 6);
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(6u, queue.capacity());
    queue.append("xy", 2);
    EXPECT_EQ("xy", bytesOf(queue));
    EXPECT_EQ(6u, queue.capacity());
}

TEST(Queue, StartingWithoutCapacity) {
    CCVNQueue queue(0);
    char out[1] = {};
    EXPECT_EQ(0u, queue.take(out, 1));
    queue.append("z", 1);
    EXPECT_EQ(1u, queue.capacity());
    EXPECT_EQ("z", bytesOf(queue));
}

}  // namespace
