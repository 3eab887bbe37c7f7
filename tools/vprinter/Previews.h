// Receipts and labels drawn as PNG pictures while the printer goes on serving. Each
// connection's stream gathers what it printed into a sheet (a receipt up to its cut, a
// label from ^XA to ^XZ); a finished sheet goes to one drawing thread, which draws it,
// writes <seq>-receipt.png or <seq>-label.png into the previews folder (seq is the
// journal number of the line that ended it), keeps the last pictures for the page and
// journals a "preview" element with what did not fit.
#pragma once

#include <json/json.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "MonoImage.h"

namespace vprinter {

class Journal;

struct Picture {
    long long seq = 0;  // the journal line that ended it
    std::string kind;   // "receipt" or "label"
    std::string name;   // "<seq>-<kind>.png"
    std::string path;   // in the previews folder; empty without one
    int port = 0;
    int connection = 0;
    std::string time;  // ISO 8601, UTC
    int width = 0;
    int height = 0;
    std::string png;
    std::vector<std::string> journal;  // the journal lines behind it
};

// What one stream printed since its last picture.
class Sheet {
public:
    // A receipt on paper `paperDots` wide, or a label at `dotsPerInch`.
    static std::unique_ptr<Sheet> receipt(int paperDots);
    static std::unique_ptr<Sheet> label(int dotsPerInch);

    // Keeps the element (with the dots it prints); false once the sheet holds as much as
    // any picture may, and the element was left out.
    bool add(const Json::Value& element, std::shared_ptr<const MonoImage> dots);
    bool prints() const { return prints_; }
    const std::string& kind() const { return kind_; }
    // Draws the sheet: the picture and what could not be drawn.
    MonoImage draw(std::vector<std::string>& notes, std::vector<long long>& clipped,
                   int& dotsPerInch) const;
    std::vector<std::string> lines() const;

private:
    struct Entry {
        Json::Value element;
        std::shared_ptr<const MonoImage> dots;
    };
    std::string kind_;
    int size_ = 0;  // paper dots or dots an inch
    std::vector<Entry> entries_;
    size_t dotBytes_ = 0;
    bool prints_ = false;
    bool full_ = false;
};

class Previews {
public:
    // `folder` may be empty: the pictures are then only kept for the page.
    Previews(std::string folder, Journal& journal);
    ~Previews();
    Previews(const Previews&) = delete;
    Previews& operator=(const Previews&) = delete;

    const std::string& folder() const { return folder_; }
    // The file name and path a sheet ended by journal line `seq` gets.
    std::string nameFor(long long seq, const std::string& kind) const;
    // Hands a finished sheet to the drawing thread; false when too many wait already
    // (the sheet is then dropped, and the caller says so).
    bool submit(std::unique_ptr<Sheet> sheet, long long seq, Json::Value origin);
    // The last picture's path (its name without a folder); nothing before the first.
    std::optional<std::string> lastPath() const;
    // Pictures newer than `afterSeq`, newest first.
    std::vector<std::shared_ptr<const Picture>> since(long long afterSeq) const;
    std::shared_ptr<const Picture> find(const std::string& name) const;
    // Waits until every submitted sheet is drawn (tests, the end of the program).
    void drain();

private:
    struct Job {
        std::unique_ptr<Sheet> sheet;
        long long seq;
        Json::Value origin;  // connection, port, language, channel
    };
    void run();
    void draw(Job& job);

    static constexpr size_t kMaxWaiting = 32;
    static constexpr size_t kKept = 100;

    std::string folder_;
    Journal& journal_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> waiting_;
    bool busy_ = false;
    bool stopping_ = false;
    std::deque<std::shared_ptr<const Picture>> pictures_;
    std::thread thread_;
};

}  // namespace vprinter
