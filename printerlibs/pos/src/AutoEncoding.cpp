#include "AutoEncoding.h"

#include <unordered_map>
#include <vector>

#include "EscPos.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

namespace textcoding {
namespace {

constexpr int kTableCount = 256;
constexpr int kFirstPrintable = 0x20;
constexpr char16_t kFirstNonAscii = 0x80;
constexpr int kNoByte = -1;

// The single-byte tables the library offers, in its order, and for every character
// beyond ASCII its byte in each of them (ASCII is the same in all). Made once: the
// tables are read through the system's converters.
class TableSet {
public:
    static const TableSet& instance() {
        static const TableSet set;
        return set;
    }

    size_t size() const { return pages_.size(); }
    const CodePage& page(size_t index) const { return pages_[index]; }

    std::optional<size_t> indexOf(const CodePage& page) const {
        for (size_t i = 0; i < pages_.size(); ++i)
            if (pages_[i].number == page.number)
                return i;
        return std::nullopt;
    }

    // The character's byte in table `index`; nullopt when the table lacks it.
    std::optional<char> byteOf(char16_t c, size_t index) const {
        if (c < kFirstNonAscii)
            return static_cast<char>(c);
        auto found = bytes_.find(c);
        if (found == bytes_.end() || found->second[index] == kNoByte)
            return std::nullopt;
        return static_cast<char>(found->second[index]);
    }

    // Where the run from `from` that table `index` holds ends.
    size_t reach(std::u16string_view text, size_t from, size_t index) const {
        while (from < text.size() && byteOf(text[from], index))
            ++from;
        return from;
    }

private:
    TableSet() {
        std::string all;
        for (int b = kFirstPrintable; b <= 0xFF; ++b)
            all += static_cast<char>(b);
        std::vector<std::u16string> decoded;
        for (int table = 0; table < kTableCount; ++table) {
            std::optional<CodePage> page = findByTable(table);
            if (!page)
                continue;
            std::u16string characters =
                platform::utf8ToUtf16(platform::codePageToUtf8(all, page->number));
            if (characters.size() != all.size())  // not one character a byte: not usable here
                continue;
            pages_.push_back(*page);
            decoded.push_back(std::move(characters));
        }
        for (size_t index = 0; index < decoded.size(); ++index) {
            for (size_t k = 0; k < all.size(); ++k) {
                const char16_t c = decoded[index][k];
                // A byte the table leaves undefined comes back as '?'.
                if (c < kFirstNonAscii)
                    continue;
                std::vector<int>& row = bytes_[c];
                row.resize(pages_.size(), kNoByte);
                if (row[index] == kNoByte)
                    row[index] = static_cast<unsigned char>(all[k]);
            }
        }
    }

    std::vector<CodePage> pages_;
    std::unordered_map<char16_t, std::vector<int>> bytes_;
};

}  // namespace

std::optional<EncodedText> encodeAutomatic(std::u16string_view text,
                                           std::optional<CodePage> printerPage, bool fromUtf8) {
    const TableSet& tables = TableSet::instance();
    if (tables.size() == 0)
        return std::nullopt;
    std::optional<size_t> current;
    if (printerPage && !fromUtf8)
        current = tables.indexOf(*printerPage);

    EncodedText out;
    // Within the single-byte tables ESC t alone switches; from an unknown state the whole
    // selection is sent.
    auto switchTo = [&](size_t index) {
        std::string bytes = current ? escpos::command(escpos::kCodeTable, tables.page(index).table)
                                    : selectBytes(tables.page(index), fromUtf8);
        (out.text.empty() ? out.select : out.text) += bytes;
        current = index;
    };
    size_t position = 0;
    while (position < text.size()) {
        if (current) {
            if (std::optional<char> byte = tables.byteOf(text[position], *current)) {
                out.text += *byte;
                ++position;
                continue;
            }
        }
        // The table that holds the longest run from here: staying in each table as long
        // as it serves and then taking the one that reaches farthest needs the fewest
        // switches.
        size_t best = 0;
        size_t bestReach = position;
        for (size_t index = 0; index < tables.size(); ++index) {
            const size_t reach = tables.reach(text, position, index);
            if (reach > bestReach) {
                best = index;
                bestReach = reach;
            }
        }
        if (bestReach == position)
            return std::nullopt;
        switchTo(best);
    }
    if (!current)
        switchTo(0);
    out.last = tables.page(*current);
    return out;
}

}  // namespace textcoding
