#include "ZuzDataList.h"

#include <utility>

void CZuzDataList::push(std::unique_ptr<CZuzData> request) {
    if (request)
        requests_.push_back(std::move(request));
}

std::unique_ptr<CZuzData> CZuzDataList::takeFront() {
    if (requests_.empty())
        return nullptr;
    std::unique_ptr<CZuzData> front = std::move(requests_.front());
    requests_.pop_front();
    return front;
}

const CZuzData* CZuzDataList::find(const std::function<bool(const CZuzData&)>& match) const {
    for (const std::unique_ptr<CZuzData>& request : requests_) {
        if (match(*request))
            return request.get();
    }
    return nullptr;
}

void CZuzDataList::clear() {
    requests_.clear();
}
