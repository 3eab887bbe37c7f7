#include "Previews.h"

#include <ctime>

#include "Journal.h"
#include "LabelDrawer.h"
#include "PngFile.h"
#include "ReceiptDrawer.h"

namespace vprinter {
namespace {

// No sheet keeps more: a stream that never cuts or never ends its label stops adding.
constexpr size_t kMaxElements = 20000;
constexpr size_t kMaxDotBytes = 64 * 1024 * 1024;

// Elements that put something on paper; a connection that only asks for status makes
// no picture.
bool printing(const std::string& type) {
    static const char* kTypes[] = {"text",  "feed",    "image", "barcode", "2d",      "cut",
                                   "field", "graphic", "box",   "circle",  "ellipse", "diagonal"};
    for (const char* t : kTypes)
        if (type == t)
            return true;
    return false;
}

std::string utcNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace

std::unique_ptr<Sheet> Sheet::receipt(int paperDots) {
    auto sheet = std::make_unique<Sheet>();
    sheet->kind_ = "receipt";
    sheet->size_ = paperDots;
    return sheet;
}

std::unique_ptr<Sheet> Sheet::label(int dotsPerInch) {
    auto sheet = std::make_unique<Sheet>();
    sheet->kind_ = "label";
    sheet->size_ = dotsPerInch;
    return sheet;
}

bool Sheet::add(const Json::Value& element, std::shared_ptr<const MonoImage> dots) {
    size_t bytes = dots ? static_cast<size_t>(dots->rowBytes()) * dots->height() : 0;
    if (full_ || entries_.size() >= kMaxElements || dotBytes_ + bytes > kMaxDotBytes) {
        full_ = true;
        return false;
    }
    dotBytes_ += bytes;
    prints_ = prints_ || printing(element["type"].asString());
    entries_.push_back({element, std::move(dots)});
    return true;
}

MonoImage Sheet::draw(std::vector<std::string>& notes, std::vector<long long>& clipped,
                      int& dotsPerInch) const {
    if (full_)
        notes.push_back("the " + kind_ + " holds more than a picture may: drawn up to there");
    if (kind_ == "receipt") {
        ReceiptDrawer drawer(size_);
        for (const Entry& entry : entries_)
            drawer.add(entry.element, entry.dots);
        MonoImage picture = drawer.picture();
        notes.insert(notes.end(), drawer.notes().begin(), drawer.notes().end());
        dotsPerInch = 203;
        return picture;
    }
    LabelDrawer drawer(size_);
    for (const Entry& entry : entries_)
        drawer.add(entry.element, entry.dots);
    MonoImage picture = drawer.picture();
    notes.insert(notes.end(), drawer.notes().begin(), drawer.notes().end());
    clipped = drawer.clipped();
    dotsPerInch = size_;
    return picture;
}

std::vector<std::string> Sheet::lines() const {
    std::vector<std::string> out;
    for (const Entry& entry : entries_)
        out.push_back(Journal::line(entry.element));
    return out;
}

Previews::Previews(std::string folder, Journal& journal)
    : folder_(std::move(folder)), journal_(journal), thread_([this] { run(); }) {}

Previews::~Previews() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::string Previews::nameFor(long long seq, const std::string& kind) const {
    std::string name = std::to_string(seq) + "-" + kind + ".png";
    return folder_.empty() ? name : folder_ + "/" + name;
}

bool Previews::submit(std::unique_ptr<Sheet> sheet, long long seq, Json::Value origin) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (waiting_.size() >= kMaxWaiting)
            return false;
        waiting_.push_back({std::move(sheet), seq, std::move(origin)});
    }
    changed_.notify_all();
    return true;
}

void Previews::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        // Sheets already handed over are drawn before the thread ends.
        if (waiting_.empty())
            return;
        Job job = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        lock.unlock();
        draw(job);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

void Previews::draw(Job& job) {
    std::vector<std::string> notes;
    std::vector<long long> clipped;
    int dotsPerInch = 203;
    MonoImage image = job.sheet->draw(notes, clipped, dotsPerInch);
    auto picture = std::make_shared<Picture>();
    picture->seq = job.seq;
    picture->kind = job.sheet->kind();
    picture->name = std::to_string(job.seq) + "-" + picture->kind + ".png";
    picture->port = job.origin["port"].asInt();
    picture->connection = job.origin["connection"].asInt();
    picture->time = utcNow();
    picture->width = image.width();
    picture->height = image.height();
    picture->png = encodePng(image, dotsPerInch);
    picture->journal = job.sheet->lines();
    if (!folder_.empty()) {
        picture->path = nameFor(job.seq, picture->kind);
        if (!writeFileAtomically(picture->path, picture->png))
            notes.push_back("cannot write " + picture->path);
    }
    Json::Value e = job.origin;
    e["type"] = "preview";
    e["file"] = picture->path.empty() ? picture->name : picture->path;
    e["kind"] = picture->kind;
    e["of"] = static_cast<Json::Int64>(job.seq);
    e["width"] = picture->width;
    e["height"] = picture->height;
    if (!notes.empty()) {
        e["notes"] = Json::Value(Json::arrayValue);
        for (const std::string& note : notes)
            e["notes"].append(note);
    }
    if (!clipped.empty()) {
        e["clipped"] = Json::Value(Json::arrayValue);
        for (long long seq : clipped)
            e["clipped"].append(static_cast<Json::Int64>(seq));
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        pictures_.push_front(picture);
        if (pictures_.size() > kKept)
            pictures_.pop_back();
    }
    journal_.add(e);
}

std::optional<std::string> Previews::lastPath() const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (pictures_.empty())
        return std::nullopt;
    const Picture& last = *pictures_.front();
    return last.path.empty() ? last.name : last.path;
}

std::vector<std::shared_ptr<const Picture>> Previews::since(long long afterSeq) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::shared_ptr<const Picture>> out;
    for (const auto& picture : pictures_)
        if (picture->seq > afterSeq)
            out.push_back(picture);
    return out;
}

std::shared_ptr<const Picture> Previews::find(const std::string& name) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const auto& picture : pictures_)
        if (picture->name == name)
            return picture;
    return nullptr;
}

void Previews::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !busy_; });
}

}  // namespace vprinter
