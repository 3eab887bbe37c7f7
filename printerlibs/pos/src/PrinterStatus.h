// What the printer's status bytes say, as DRAVIX_STATUS_* bits, and the changes a
// status callback hears of: one code per condition that came or went.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace printerstatus {

// The four bytes of an automatic status block.
int fromAutomaticStatus(const unsigned char* block);
// The answers to DLE EOT 1, 2, 3 and 4, in that order.
int fromRealTimeStatus(const unsigned char* answers);

// The conditions a handle last told its host of.
class Tracker {
public:
    // The codes for the change from the last known conditions to `conditions`, among the
    // bits of `scope` (others keep their last state).
    std::vector<int> update(int conditions, int scope);

private:
    std::mutex mutex_;
    int known_ = 0;
};

inline constexpr int kAllConditions = 0x7F;

}  // namespace printerstatus
