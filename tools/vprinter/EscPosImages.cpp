// ESC/POS pictures: raster bands (GS v 0), column image stripes (ESC *), graphics in the
// print buffer or stored under a key (GS ( L, GS 8 L), downloaded and NV bit images
// (GS * and GS /, FS q and FS p) and variable-height column images (GS Q 0). Each is
// journaled as an image element with the dots it prints; consecutive bands or stripes of
// one picture make one element.
#include <algorithm>
#include <bit>

#include "EscPosBytes.h"
#include "EscPosDecoder.h"

namespace vprinter {
namespace {

using escpos::alignName;
using escpos::byteAt;
using escpos::signedWord;
using escpos::word;

MonoImage fromRows(std::string_view data, int width, int height) {
    MonoImage image(width, 0);
    image.appendRows(data.substr(0, static_cast<size_t>(image.rowBytes()) * height),
                     image.rowBytes());
    return image;
}

// Column format: each column is `bytesPerColumn` bytes from the top, the top dot in the
// high bit; `dotRows` repeats each bit that many rows (the 8-dot densities).
MonoImage fromColumns(std::string_view data, int columns, int bytesPerColumn, int dotRows = 1) {
    MonoImage image(columns, bytesPerColumn * 8 * dotRows);
    for (int x = 0; x < columns; ++x)
        for (int b = 0; b < bytesPerColumn; ++b) {
            int value = byteAt(data, static_cast<size_t>(x) * bytesPerColumn + b);
            for (int bit = 0; bit < 8; ++bit)
                if (value & (0x80 >> bit))
                    for (int r = 0; r < dotRows; ++r)
                        image.set(x, (b * 8 + bit) * dotRows + r);
        }
    return image;
}

MonoImage scaled(const MonoImage& source, int sx, int sy) {
    if (sx == 1 && sy == 1)
        return source;
    MonoImage out(source.width() * sx, source.height() * sy);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (source.black(x / sx, y / sy))
                out.set(x, y);
    return out;
}

long long blackDots(const MonoImage& image) {
    long long count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int b = 0; b < image.rowBytes(); ++b)
            count += std::popcount(image.row(y)[b]);
    return count;
}

}  // namespace

void EscPosDecoder::addImages() {
    add("\x1dv0",
        [this](std::string_view args, DecoderContext& context) { return raster(args, context); });
    add("\x1b*", [this](std::string_view args, DecoderContext& context) {
        return columnImage(args, context);
    });
    // GS * x y d1 ... d(x*y*8): a downloaded bit image, x*8 by y*8 dots in columns.
    add("\x1d*", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.size() < 2)
            return std::nullopt;
        int x = byteAt(args, 0);
        int y = byteAt(args, 1);
        size_t length = 2 + static_cast<size_t>(x) * y * 8;
        if (args.size() < length)
            return std::nullopt;
        flushAll(context);
        downloadedImage_ = fromColumns(args.substr(2), x * 8, y);
        Json::Value e;
        e["type"] = "command";
        e["command"] = "GS *";
        e["name"] = "define downloaded bit image";
        e["bytes"] = static_cast<Json::Int64>(length - 2);
        element(context, e);
        return length;
    });
    addFixed("\x1d/", 1, [this](std::string_view args, DecoderContext& context) {
        int m = byteAt(args, 0) % 48;
        printImage("GS /", scaled(downloadedImage_, m & 1 ? 2 : 1, m & 2 ? 2 : 1), context);
    });
    // FS q n [xL xH yL yH d1 ... d(x*y*8)] n times: NV bit images 1 to n, in columns.
    add("\x1cq", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.empty())
            return std::nullopt;
        size_t at = 1;
        std::vector<std::pair<size_t, std::pair<int, int>>> images;
        for (int i = 0; i < byteAt(args, 0); ++i) {
            if (args.size() < at + 4)
                return std::nullopt;
            int x = word(args, at);
            int y = word(args, at + 2);
            images.push_back({at + 4, {x, y}});
            at += 4 + static_cast<size_t>(x) * y * 8;
            if (at > kMaxCommandBytes)
                return counted(args, 0, at, "FS q", context);
        }
        if (args.size() < at)
            return std::nullopt;
        flushAll(context);
        nvImages_.clear();
        for (size_t i = 0; i < images.size(); ++i) {
            auto [x, y] = images[i].second;
            nvImages_[static_cast<int>(i) + 1] =
                fromColumns(args.substr(images[i].first), x * 8, y);
        }
        Json::Value e;
        e["type"] = "command";
        e["command"] = "FS q";
        e["name"] = "define NV bit images";
        e["images"] = static_cast<int>(images.size());
        element(context, e);
        return at;
    });
    addFixed("\x1cp", 2, [this](std::string_view args, DecoderContext& context) {
        int m = byteAt(args, 1) % 48;
        auto found = nvImages_.find(byteAt(args, 0));
        printImage("FS p",
                   found == nvImages_.end() ? MonoImage()
                                            : scaled(found->second, m & 1 ? 2 : 1, m & 2 ? 2 : 1),
                   context);
    });
    // GS Q 0 m xL xH yL yH d1 ... dk: x columns of y bytes.
    add("\x1dQ0", [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
        if (args.size() < 5)
            return std::nullopt;
        int m = byteAt(args, 0) % 48;
        int x = word(args, 1);
        int y = word(args, 3);
        auto length = counted(args, 5, static_cast<uint64_t>(x) * y, "GS Q 0", context);
        if (!length || skip_ || *length != 5 + static_cast<size_t>(x) * y)
            return length;
        printImage("GS Q 0",
                   scaled(fromColumns(args.substr(5), x, y), m & 1 ? 2 : 1, m & 2 ? 2 : 1),
                   context);
        return length;
    });
}

void EscPosDecoder::addStoredGraphics() {
    add("\x1d"
        "8L",
        [this](std::string_view args, DecoderContext& context) -> std::optional<size_t> {
            if (args.size() < 4)
                return std::nullopt;
            uint64_t count =
                static_cast<uint64_t>(word(args, 0)) | static_cast<uint64_t>(word(args, 2)) << 16;
            auto length = counted(args, 4, count, "GS 8 L", context);
            if (!length || skip_ || *length != 4 + count)
                return length;
            flushAll(context);
            if (count >= 2)
                graphics(args.substr(4, static_cast<size_t>(count)), context);
            return length;
        });
}

std::optional<size_t> EscPosDecoder::graphics(std::string_view body, DecoderContext& context) {
    // body: m fn parameters
    int fn = byteAt(body, 1);
    std::string_view params = body.substr(2);
    auto journal = [&](const char* name) {
        Json::Value e;
        e["type"] = "command";
        e["command"] = "GS ( L";
        e["fn"] = fn;
        e["name"] = name;
        element(context, e);
    };
    // a bx by c xL xH yL yH d: raster (rows) or column data into the print buffer.
    if ((fn == 112 || fn == 113) && params.size() >= 8) {
        int width = word(params, 4);
        int height = word(params, 6);
        size_t bytes = fn == 112 ? static_cast<size_t>((width + 7) / 8) * height
                                 : static_cast<size_t>(width) * ((height + 7) / 8);
        if (params.size() < 8 + bytes) {
            journal("graphics data incomplete");
            return body.size();
        }
        MonoImage dots = fn == 112 ? fromRows(params.substr(8), width, height)
                                   : fromColumns(params.substr(8), width, (height + 7) / 8);
        graphicsBuffer_ =
            scaled(dots, byteAt(params, 1) == 2 ? 2 : 1, byteAt(params, 2) == 2 ? 2 : 1);
        journal("store graphics data in the print buffer");
        return body.size();
    }
    if (fn == 50 || fn == 2) {
        printImage("GS ( L", graphicsBuffer_, context);
        return body.size();
    }
    // a kc1 kc2 b xL xH yL yH [c d1 ... dk]: define NV (67, 68) or download (83, 84)
    // graphics under a key; the first colour is what prints.
    if ((fn == 67 || fn == 68 || fn == 83 || fn == 84) && params.size() >= 9) {
        bool columns = fn == 68 || fn == 84;
        int width = word(params, 4);
        int height = word(params, 6);
        size_t bytes = columns ? static_cast<size_t>(width) * ((height + 7) / 8)
                               : static_cast<size_t>((width + 7) / 8) * height;
        if (params.size() >= 9 + bytes) {
            std::string_view data = params.substr(9);
            std::string key = (fn < 80 ? "NV:" : "DL:") + std::string(params.substr(1, 2));
            storedGraphics_[key] = columns ? fromColumns(data, width, (height + 7) / 8)
                                           : fromRows(data, width, height);
        }
        journal(fn < 80 ? "define NV graphics" : "define download graphics");
        return body.size();
    }
    // kc1 kc2 x y: print the graphics stored under the key, x and y times as large.
    if ((fn == 69 || fn == 85) && params.size() >= 4) {
        std::string key = (fn == 69 ? "NV:" : "DL:") + std::string(params.substr(0, 2));
        auto found = storedGraphics_.find(key);
        MonoImage dots = found == storedGraphics_.end() ? MonoImage() : found->second;
        printImage("GS ( L",
                   scaled(dots, byteAt(params, 2) == 2 ? 2 : 1, byteAt(params, 3) == 2 ? 2 : 1),
                   context);
        return body.size();
    }
    journal("graphics function");
    return body.size();
}

std::optional<size_t> EscPosDecoder::raster(std::string_view args, DecoderContext& context) {
    if (args.size() < 5)
        return std::nullopt;
    int mode = byteAt(args, 0) % 48;
    int rowBytes = word(args, 1);
    int rows = word(args, 3);
    auto length = counted(args, 5, static_cast<uint64_t>(rowBytes) * rows, "GS v 0", context);
    if (!length || skip_ || *length != 5 + static_cast<size_t>(rowBytes) * rows)
        return length;
    flushText(context, false);
    MonoImage band = fromRows(args.substr(5), rowBytes * 8, rows);
    gatherImage("GS v 0", scaled(band, mode & 1 ? 2 : 1, mode & 2 ? 2 : 1), mode, context);
    return length;
}

std::optional<size_t> EscPosDecoder::columnImage(std::string_view args, DecoderContext& context) {
    // ESC * m nL nH d1 ... dk: m 0 and 1 are 8-dot stripes (single and double density),
    // 32 and 33 24-dot stripes.
    if (args.size() < 3)
        return std::nullopt;
    int m = byteAt(args, 0);
    int columns = word(args, 1);
    int bytesPerColumn = m >= 32 ? 3 : 1;
    size_t length = 3 + static_cast<size_t>(columns) * bytesPerColumn;
    if (args.size() < length)
        return std::nullopt;
    flushText(context, false);
    bool single = m == 0 || m == 32;
    MonoImage stripe =
        scaled(fromColumns(args.substr(3), columns, bytesPerColumn, bytesPerColumn == 1 ? 3 : 1),
               single ? 2 : 1, 1);
    gatherImage("ESC *", std::move(stripe), m, context);
    return length;
}

void EscPosDecoder::gatherImage(const char* command, MonoImage dots, int mode,
                                DecoderContext& context) {
    bool column = std::string_view(command) == "ESC *";
    bool continues = !image_.isNull() && image_["command"] == command &&
                     image_["mode"].asInt() == mode && imageDots_.width() == dots.width() &&
                     (!column || stripeGap_);
    if (!continues)
        flushImage(context);
    if (image_.isNull()) {
        image_["type"] = "image";
        image_["command"] = command;
        image_["mode"] = mode;
        image_["align"] = alignName(style_.align);
        image_["bands"] = 0;
        imageDots_ = MonoImage(dots.width(), 0);
    } else if (column) {
        imageDots_.appendBlankRows(*stripeGap_);
    }
    stripeGap_.reset();
    std::string_view rows(reinterpret_cast<const char*>(dots.row(0)),
                          static_cast<size_t>(dots.rowBytes()) * dots.height());
    imageDots_.appendRows(dots.height() > 0 ? rows : std::string_view(), dots.rowBytes());
    image_["bands"] = image_["bands"].asInt() + 1;
}

void EscPosDecoder::printImage(const char* command, const MonoImage& dots,
                               DecoderContext& context) {
    flushAll(context);
    image_["type"] = "image";
    image_["command"] = command;
    image_["align"] = alignName(style_.align);
    image_["bands"] = 1;
    imageDots_ = dots;
    flushImage(context);
}

void EscPosDecoder::flushImage(DecoderContext& context) {
    stripeGap_.reset();
    if (image_.isNull())
        return;
    Json::Value done = image_;
    image_ = Json::Value();
    done["width"] = imageDots_.width();
    done["height"] = imageDots_.height();
    done["black"] = static_cast<Json::Int64>(blackDots(imageDots_));
    if (imageDots_.empty())
        done["missing"] = true;  // printed graphics that were never stored
    auto dots = std::make_shared<const MonoImage>(std::move(imageDots_));
    imageDots_ = MonoImage();
    context.journalPicture(done, std::move(dots));
    for (Json::Value& later : afterImage_)
        element(context, later);
    afterImage_.clear();
}

}  // namespace vprinter
