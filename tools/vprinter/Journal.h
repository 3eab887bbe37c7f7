// What the virtual printer made of the bytes it received: one JSON object per element
// (a line of text, a cut, a bar code, a status query, an unknown sequence, ...), in
// arrival order, kept in memory and optionally appended to a JSON Lines file.
#pragma once

#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vprinter {

class Journal {
public:
    using Elements = std::vector<Json::Value>;

    // Appends every later element to the file as one line.
    bool writeTo(const std::string& path);
    // Numbers the element ("seq", from 1) and keeps it; `stamp` may add members that
    // depend on its number before anyone sees it. The number.
    long long add(Json::Value element, const std::function<void(Json::Value&)>& stamp = {});
    Elements elements() const;
    // Elements whose "type" is `type`.
    Elements elements(const std::string& type) const;
    void clear();
    // Waits until `ready` holds for the elements, at most `timeout`.
    bool waitFor(const std::function<bool(const Elements&)>& ready,
                 std::chrono::milliseconds timeout) const;
    // Waits until at least `count` elements of `type` are there, at most `timeout`.
    bool waitForCount(const std::string& type, size_t count,
                      std::chrono::milliseconds timeout) const;

    // One element as its journal line, without the line end.
    static std::string line(const Json::Value& element);

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Elements elements_;
    long long nextSeq_ = 1;
    std::ofstream file_;
};

}  // namespace vprinter
