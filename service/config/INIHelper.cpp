#include "INIHelper.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <set>
#include <vector>

#include "CVNTokenizer.h"
#include "TraceLog.h"
#include "platform/Files.h"

namespace {

constexpr size_t kNone = std::string::npos;

bool isCommentChar(char c) {
    return c == ';' || c == '/' || c == '\'';
}

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string trimEnd(std::string text) {
    while (!text.empty() && isWhite(text.back()))
        text.pop_back();
    return text;
}

std::string trim(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && isWhite(text[start]))
        ++start;
    return trimEnd(text.substr(start));
}

bool hasOuterWhite(const std::string& text) {
    return !text.empty() && (isWhite(text.front()) || isWhite(text.back()));
}

bool containsAny(const std::string& text, const char* characters) {
    return text.find_first_of(characters) != kNone;
}

// Start of the trailing comment searched from `from`, blanks before the comment
// character included; 0 when there is none.
size_t findTrailingComment(const std::string& line, size_t from) {
    size_t blankRun = kNone;
    for (size_t i = from; i < line.size(); ++i) {
        char c = line[i];
        if (c == ' ') {
            if (blankRun == kNone)
                blankRun = i;
        } else if (isCommentChar(c)) {
            return blankRun != kNone ? blankRun : i;
        } else {
            blankRun = kNone;
        }
    }
    return 0;
}

// A value holding a blank or a comment character is quoted, so that reading finds
// the whole value and no comment inside it.
bool needsQuotes(const std::string& value) {
    return containsAny(value, " ;/'");
}

std::string keyLineText(const std::string& key, const std::string& value,
                        const std::string& comment) {
    if (needsQuotes(value))
        return key + "=\"" + value + "\"" + comment + "\n";
    return key + "=" + value + comment + "\n";
}

bool isStorableKey(const std::string& key) {
    return !key.empty() && !hasOuterWhite(key) && !containsAny(key, "=;/'[\"\r\n");
}

// UTF-16 (and anything else holding NUL bytes) is not text this store can keep: its
// NULs would be read into names and its line ends rewritten half.
bool isSingleByteText(std::string_view bytes) {
    return !bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF") &&
           bytes.find('\0') == std::string_view::npos;
}

std::string& lastError() {
    thread_local std::string error;
    return error;
}

}  // namespace

std::string CINIHelper::DefaultFilePath() {
    return platform::joinPath(platform::programDirectory(), kFileName);
}

const std::string& CINIHelper::LastError() {
    return lastError();
}

CINIHelper::CINIHelper(std::chrono::milliseconds lockWait)
    : m_filePath(DefaultFilePath()), m_lock(m_filePath, lockWait) {
    if (!m_lock.IsHeld())
        TraceError("CINIHelper::CINIHelper", __LINE__, "%s", m_lock.GetError().c_str());
    Load();
}

CINIHelper::~CINIHelper() {
    Save();
}

bool CINIHelper::IsStorableValue(const std::string& value) {
    return !containsAny(value, "\"\r\n");
}

bool CINIHelper::IsStorableSectionName(const std::string& section) {
    return !hasOuterWhite(section) && !containsAny(section, "|]\r\n");
}

void CINIHelper::Clear() {
    m_sectionList.clear();
    m_sectionCount = 0;
    m_dirty = false;
    m_loadedLineCount = 0;
    m_unreadable = false;
    m_readError.clear();
    m_utf8ByteOrderMark = false;
    m_lines.clear();
    m_lookup.clear();
}

bool CINIHelper::Load() {
    Clear();
    // Read-only files are read as well: reading them as empty would let the next save
    // replace a user's file with only the lines that were set.
    std::string why;
    std::optional<std::string> bytes = platform::readWholeFile(m_filePath, &why);
    if (!bytes) {
        if (platform::pathExists(m_filePath))
            return RefuseToRead("cannot read " + m_filePath + ": " + why);
        TraceError("CINIHelper::Load", __LINE__, "CINIHelper::load> no exist file : %s",
                   m_filePath.c_str());
        return false;
    }
    if (!isSingleByteText(*bytes)) {
        return RefuseToRead("cannot read " + m_filePath +
                            ": it is UTF-16 or binary, not single-byte text (save it as UTF-8)");
    }
    std::string_view text = *bytes;
    m_utf8ByteOrderMark = text.starts_with(kUtf8ByteOrderMark);
    if (m_utf8ByteOrderMark)
        text.remove_prefix(kUtf8ByteOrderMark.size());
    SplitLines(text);
    m_loadedLineCount = LineCount();
    ParseAll();
    return true;
}

bool CINIHelper::RefuseToRead(const std::string& reason) {
    m_unreadable = true;
    m_readError = reason;
    lastError() = reason;
    TraceError("CINIHelper::Load", __LINE__, "%s", reason.c_str());
    return false;
}

void CINIHelper::SplitLines(std::string_view text) {
    // Each line by its own end, CR LF, LF or CR alone: files edited with different
    // tools mix them, and a line end not taken for one joins two lines into one.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == kNone) {
            AddReadLine(std::string(text.substr(start)));
            return;
        }
        AddReadLine(std::string(text.substr(start, end - start)) + "\n");
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
}

void CINIHelper::AddReadLine(std::string line) {
    _CVN_INI_INFO record;
    record.text = std::move(line);
    m_lines.emplace(LineCount(), std::move(record));
}

_CVN_INI_INFO CINIHelper::ParseLine(const std::string& text) {
    _CVN_INI_INFO record;
    record.text = text;
    size_t at = text.find_first_of(";/'[=");
    if (at == kNone)
        return record;
    char first = text[at];
    if (isCommentChar(first)) {
        record.type = _CVN_INI_INFO::kComment;
        record.comment = text;
        return record;
    }
    if (first == '[') {
        record.type = _CVN_INI_INFO::kSection;
        size_t close = text.find(']', at + 1);
        if (close == kNone || close == at + 1)
            return record;
        record.section = trim(text.substr(at + 1, close - at - 1));
        if (size_t c = findTrailingComment(text, close); c != 0) {
            record.comment = trimEnd(text.substr(c));
        }
        return record;
    }
    record.type = _CVN_INI_INFO::kKey;
    record.key = trim(text.substr(0, at));
    std::string rest = text.substr(at + 1);
    // A quote opens a quoted value only where the value begins; elsewhere, in the
    // value or in its comment, it is text like any other.
    size_t open = rest.find_first_not_of(" \t");
    if (open == kNone || rest[open] != '"') {
        size_t c = findTrailingComment(text, at + 1);
        if (c != 0) {
            record.comment = trimEnd(text.substr(c));
            record.value = rest.substr(0, c - at - 1);
        } else {
            record.value = rest;
        }
    } else {
        size_t close = rest.find('"', open + 1);
        // The comment is looked for only after the closing quote: the value's own
        // characters are never taken for one.
        size_t searchFrom = at + 1;
        if (close != kNone) {
            record.value = rest.substr(open + 1, close - open - 1);
            searchFrom = at + 1 + close + 1;
        }
        if (size_t c = findTrailingComment(text, searchFrom); c != 0) {
            record.comment = trimEnd(text.substr(c));
        }
    }
    record.value = trim(record.value);
    return record;
}

std::string CINIHelper::LookupKey(const std::string& section, const std::string& key) {
    return section + "|" + key;
}

void CINIHelper::Store(const _CVN_INI_INFO& record) {
    m_lookup[LookupKey(record.section, record.key)] = record;
    m_lines[record.lineIndex] = record;
}

void CINIHelper::AddToSectionList(const std::string& section) {
    CCVNTokenizer pieces(m_sectionList, "|");
    while (pieces.next()) {
        if (pieces.token() == section)
            return;
    }
    m_sectionList += section + "|";
    ++m_sectionCount;
}

void CINIHelper::ParseAll() {
    std::string current;
    std::set<std::string> seen;
    for (auto& [index, line] : m_lines) {
        _CVN_INI_INFO record = ParseLine(line.text);
        record.lineIndex = index;
        if (record.type == _CVN_INI_INFO::kKey)
            record.section = current;
        if (record.type == _CVN_INI_INFO::kSection) {
            current = record.section;
            // A header without a usable name is kept as it stands; its keys belong to
            // the unnamed section like the keys before the first header.
            if (!record.section.empty()) {
                if (!seen.insert(record.section).second) {
                    record.deleted = true;  // repeated header: its keys move to the first
                }
                AddToSectionList(record.section);
            }
        }
        m_lookup[LookupKey(record.section, record.key)] = record;
        line = record;
    }
}

bool CINIHelper::GetString(const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::string& value) const {
    value = defaultValue;
    auto found = m_lookup.find(LookupKey(section, key));
    if (found == m_lookup.end() || found->second.type != _CVN_INI_INFO::kKey ||
        found->second.deleted) {
        return false;
    }
    value = found->second.value;
    return true;
}

bool CINIHelper::GetInt(const std::string& section, const std::string& key, int defaultValue,
                        int& value) const {
    value = defaultValue;
    std::string text;
    if (!GetString(section, key, "", text))
        return false;
    long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
        if (number > INT_MAX)
            return false;  // too large for an int: not a number here
    }
    value = static_cast<int>(number);
    return true;
}

bool CINIHelper::HasSection(const std::string& section) const {
    // The lines, not the lookup: the lookup may hold a repeated header (deleted) in
    // place of the first one.
    return std::any_of(m_lines.begin(), m_lines.end(), [&](const auto& entry) {
        return !entry.second.deleted && entry.second.section == section &&
               (entry.second.type == _CVN_INI_INFO::kSection ||
                entry.second.type == _CVN_INI_INFO::kKey);
    });
}

bool CINIHelper::SetString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (!IsStorableSectionName(section) || !isStorableKey(key) || !IsStorableValue(value)) {
        TraceError("CINIHelper::SetString", __LINE__, "cannot store [%s] %s=%s", section.c_str(),
                   key.c_str(), value.c_str());
        return false;
    }
    auto found = m_lookup.find(LookupKey(section, key));
    if (found != m_lookup.end() && found->second.type == _CVN_INI_INFO::kKey &&
        !found->second.deleted) {
        _CVN_INI_INFO record = found->second;
        record.value = value;
        record.text = keyLineText(key, value, record.comment);
        Store(record);
    } else {
        if (!section.empty() && !HasSection(section)) {
            _CVN_INI_INFO header;
            header.type = _CVN_INI_INFO::kSection;
            header.section = section;
            header.text = "[" + section + "]\n";
            header.lineIndex = LineCount();
            Store(header);
            AddToSectionList(section);
        }
        _CVN_INI_INFO record;
        record.type = _CVN_INI_INFO::kKey;
        record.section = section;
        record.key = key;
        record.value = value;
        record.text = keyLineText(key, value, "");
        record.lineIndex = LineCount();
        Store(record);
    }
    m_dirty = true;
    return true;
}

bool CINIHelper::SetInt(const std::string& section, const std::string& key, int value) {
    return SetString(section, key, std::to_string(value));
}

void CINIHelper::RemoveSection(const std::string& section) {
    // Only the section's own header and keys: comment and blank lines stay, and a
    // header without a name is not this section's.
    auto matches = [&](const _CVN_INI_INFO& record) {
        return !record.deleted && record.section == section &&
               (record.type == _CVN_INI_INFO::kKey ||
                (record.type == _CVN_INI_INFO::kSection && !section.empty()));
    };
    auto erase = [](_CVN_INI_INFO& record) {
        record.section.clear();
        record.key.clear();
        record.value.clear();
        record.comment.clear();
        record.text.clear();
        record.deleted = true;
    };
    bool matched = false;
    // The lines as well as the lookup: a repeated header or a repeated key has lines
    // that the lookup no longer holds, and they must go too.
    for (auto& [index, record] : m_lines) {
        if (matches(record)) {
            erase(record);
            matched = true;
        }
    }
    for (auto& [lookupKey, record] : m_lookup) {
        if (matches(record)) {
            erase(record);
            matched = true;
        }
    }
    if (matched)
        m_dirty = true;
}

std::string CINIHelper::LookupText(const _CVN_INI_INFO& record) const {
    // An empty key shares its lookup key with the header or the comment lines: only a
    // key line may stand in for a key line.
    auto found = m_lookup.find(LookupKey(record.section, record.key));
    return found != m_lookup.end() && found->second.type == _CVN_INI_INFO::kKey ? found->second.text
                                                                                : record.text;
}

std::string CINIHelper::BuildOutput() const {
    // Key lines stay where they stand inside their section's first header region, so
    // comments between keys keep their place. Keys that do not stand there (added
    // ones, and keys under a repeated header) are written directly after the last key
    // of that region.
    std::vector<int> headers;
    std::map<std::string, int> firstHeader;
    for (const auto& [index, record] : m_lines) {
        if (record.type != _CVN_INI_INFO::kSection)
            continue;
        headers.push_back(index);
        if (!record.deleted && !record.section.empty())
            firstHeader.emplace(record.section, index);
    }
    auto regionEnd = [&](int header) {
        auto next = std::upper_bound(headers.begin(), headers.end(), header);
        return next == headers.end() ? INT_MAX : *next;
    };

    std::set<int> inPlace;
    std::map<std::string, int> lastInPlace;         // section -> last key in its region
    std::map<std::string, std::vector<int>> moved;  // section -> keys written after it
    std::vector<int> movedUnnamed;
    int lastUnnamed = -1;
    for (const auto& [index, record] : m_lines) {
        if (record.type != _CVN_INI_INFO::kKey || record.deleted)
            continue;
        if (record.section.empty()) {
            if (index < m_loadedLineCount) {
                inPlace.insert(index);
                lastUnnamed = index;
            } else {
                movedUnnamed.push_back(index);
            }
            continue;
        }
        auto header = firstHeader.find(record.section);
        if (header == firstHeader.end() ||
            (index > header->second && index < regionEnd(header->second))) {
            inPlace.insert(index);  // (without a header it has no better place)
            lastInPlace[record.section] = index;
        } else {
            moved[record.section].push_back(index);
        }
    }
    std::map<int, std::vector<int>> writeAfter;
    for (const auto& [section, keys] : moved) {
        auto last = lastInPlace.find(section);
        int anchor = last != lastInPlace.end() ? last->second : firstHeader.at(section);
        auto& list = writeAfter[anchor];
        list.insert(list.end(), keys.begin(), keys.end());
    }
    // Added keys of the unnamed section go after its last key, or else before the
    // first header, so that they read back in the unnamed section.
    int unnamedBefore = -1;
    if (!movedUnnamed.empty()) {
        if (lastUnnamed >= 0) {
            auto& list = writeAfter[lastUnnamed];
            list.insert(list.begin(), movedUnnamed.begin(), movedUnnamed.end());
        } else if (!headers.empty()) {
            unnamedBefore = headers.front();
        } else {
            inPlace.insert(movedUnnamed.begin(), movedUnnamed.end());
        }
    }

    std::string output;
    // A last line read without a line end must not run into a line written after it.
    auto emit = [&output](const std::string& text) {
        if (text.empty())
            return;
        if (!output.empty() && output.back() != '\n')
            output += '\n';
        output += text;
    };
    for (const auto& [index, record] : m_lines) {
        if (index == unnamedBefore) {
            for (int key : movedUnnamed)
                emit(LookupText(m_lines.at(key)));
        }
        switch (record.type) {
            case _CVN_INI_INFO::kSection:
                if (!record.deleted)
                    emit(record.text);
                break;
            case _CVN_INI_INFO::kKey:
                if (inPlace.count(index))
                    emit(LookupText(record));
                break;
            default:
                emit(record.text);
                break;
        }
        if (auto after = writeAfter.find(index); after != writeAfter.end()) {
            for (int key : after->second)
                emit(LookupText(m_lines.at(key)));
        }
    }
    return output;
}

std::string CINIHelper::FileBytes() const {
    std::string bytes(m_utf8ByteOrderMark ? kUtf8ByteOrderMark : "");
    for (char c : BuildOutput()) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

std::string CINIHelper::SaveRefusal() const {
    if (!m_lock.IsHeld())
        return m_lock.GetError();
    if (m_unreadable)
        return m_readError;
    // A file the user made read-only stays as it is.
    if (platform::pathExists(m_filePath) && !platform::canOpenForWriting(m_filePath))
        return "cannot save " + m_filePath + ": the file is read-only";
    return {};
}

bool CINIHelper::Save() {
    if (!m_dirty)
        return true;
    std::string why = SaveRefusal();
    if (why.empty()) {
        if (platform::replaceFileContents(m_filePath, FileBytes(), &why)) {
            m_dirty = false;
            return true;
        }
        why = "cannot save " + m_filePath + ": " + why;
    }
    lastError() = why;
    TraceError("CINIHelper::Save", __LINE__, "cannot write file : %s", why.c_str());
    return false;
}
