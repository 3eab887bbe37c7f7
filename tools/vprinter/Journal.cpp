#include "Journal.h"

#include <algorithm>

namespace vprinter {

bool Journal::writeTo(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    file_.open(path, std::ios::app);
    return file_.is_open();
}

std::string Journal::line(const Json::Value& element) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, element);
}

long long Journal::add(Json::Value element, const std::function<void(Json::Value&)>& stamp) {
    long long seq;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        seq = nextSeq_++;
        element["seq"] = static_cast<Json::Int64>(seq);
        if (stamp)
            stamp(element);
        if (file_.is_open())
            file_ << line(element) << '\n' << std::flush;
        elements_.push_back(std::move(element));
    }
    changed_.notify_all();
    return seq;
}

Journal::Elements Journal::elements() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return elements_;
}

Journal::Elements Journal::elements(const std::string& type) const {
    Elements out;
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Json::Value& element : elements_)
        if (element["type"].asString() == type)
            out.push_back(element);
    return out;
}

void Journal::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    elements_.clear();
}

bool Journal::waitFor(const std::function<bool(const Elements&)>& ready,
                      std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ready(elements_); });
}

bool Journal::waitForCount(const std::string& type, size_t count,
                           std::chrono::milliseconds timeout) const {
    return waitFor(
        [&](const Elements& elements) {
            return static_cast<size_t>(
                       std::count_if(elements.begin(), elements.end(), [&](const Json::Value& e) {
                           return e["type"].asString() == type;
                       })) >= count;
        },
        timeout);
}

}  // namespace vprinter
