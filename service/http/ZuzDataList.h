// The queue of waiting web requests, oldest first. It owns the requests it holds.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>

#include "ZuzData.h"

class CZuzDataList {
public:
    void push(std::unique_ptr<CZuzData> request);
    // The oldest request, removed from the queue; null when the queue is empty.
    std::unique_ptr<CZuzData> takeFront();
    // The first waiting request, oldest first, for which `match` holds; null if none.
    const CZuzData* find(const std::function<bool(const CZuzData&)>& match) const;
    void clear();

    size_t size() const { return requests_.size(); }
    bool empty() const { return requests_.empty(); }

private:
    std::deque<std::unique_ptr<CZuzData>> requests_;
};
