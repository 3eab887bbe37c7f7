// The settings file "vembrix.ini" held in memory line by line, so that a rewrite keeps
// comments, blank lines and the order of sections; only changed lines get new text.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "INIFileLock.h"

// One line of the file.
struct _CVN_INI_INFO {
    enum Type { kOther = 0, kComment = 1, kSection = 2, kKey = 3 };

    int type = kOther;
    std::string section;  // header: its name; key line: the section it belongs to
    std::string key;
    std::string value;
    // Comment line: the whole line; header or key line: the trailing comment with the
    // blanks before it.
    std::string comment;
    int lineIndex = -1;
    std::string text;  // the line as it will be written, line end ("\n") included
    bool deleted = false;
};

class CINIHelper {
public:
    static constexpr const char* kFileName = "vembrix.ini";
    // Kept at the start of a file that has it.
    static constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

    // "vembrix.ini" in the program directory.
    static std::string DefaultFilePath();
    // Why the calling thread's last failed load or save failed, in one line naming the
    // file or its folder.
    static const std::string& LastError();

    // Takes the file's lock (waiting at most `lockWait`) and reads "vembrix.ini" in the
    // program directory. The store holds the lock until it is destroyed, so its load,
    // changes and save are one step; without the lock it reads all the same but never
    // saves.
    explicit CINIHelper(std::chrono::milliseconds lockWait = CINIFileLock::kWait);
    // Writes pending changes first.
    ~CINIHelper();
    CINIHelper(const CINIHelper&) = delete;
    CINIHelper& operator=(const CINIHelper&) = delete;

    // False when the file is missing or unreadable. A file that is there but cannot be
    // read as single-byte text leaves the store empty and unreadable.
    bool Load();
    // The file is there but could not be read (no right, UTF-16 text, not a file): the
    // store is empty and refuses to save, which would replace the file with only the
    // lines that were set.
    bool IsUnreadable() const { return m_unreadable; }
    bool GetString(const std::string& section, const std::string& key,
                   const std::string& defaultValue, std::string& value) const;
    // Only plain decimal digits count as a number; anything else keeps the default.
    bool GetInt(const std::string& section, const std::string& key, int defaultValue,
                int& value) const;
    // False (and nothing changed) when the text could not be read back as given.
    bool SetString(const std::string& section, const std::string& key, const std::string& value);
    bool SetInt(const std::string& section, const std::string& key, int value);
    void RemoveSection(const std::string& section);
    // Writes the file when something changed; false (still dirty) when it cannot.
    bool Save();

    // Section names in order of first occurrence, each followed by "|".
    const std::string& GetSectionList() const { return m_sectionList; }
    bool HasSection(const std::string& section) const;
    int GetSectionCount() const { return m_sectionCount; }
    bool IsDirty() const { return m_dirty; }
    const std::string& GetFilePath() const { return m_filePath; }
    // The text a save would write, with "\n" line ends.
    std::string BuildOutput() const;

    // Whether a value survives a write and a read unchanged in its meaning: line ends
    // would break the file apart and double quotes are dropped on reading.
    static bool IsStorableValue(const std::string& value);
    // Whether a section name can stand between the brackets of a header and be read back.
    static bool IsStorableSectionName(const std::string& section);

private:
    void Clear();
    bool RefuseToRead(const std::string& reason);
    void SplitLines(std::string_view text);
    void AddReadLine(std::string line);
    void ParseAll();
    static _CVN_INI_INFO ParseLine(const std::string& text);
    static std::string LookupKey(const std::string& section, const std::string& key);
    std::string LookupText(const _CVN_INI_INFO& record) const;
    void AddToSectionList(const std::string& section);
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    void Store(const _CVN_INI_INFO& record);
    // Why this store must not save; empty when it may.
    std::string SaveRefusal() const;
    std::string FileBytes() const;

    std::string m_filePath;
    CINIFileLock m_lock;
    std::string m_sectionList;
    int m_sectionCount = 0;
    bool m_dirty = false;
    int m_loadedLineCount = 0;
    bool m_unreadable = false;  // the file exists but could not be read
    std::string m_readError;    // why, when it could not
    bool m_utf8ByteOrderMark = false;
    std::map<int, _CVN_INI_INFO> m_lines;
    std::unordered_map<std::string, _CVN_INI_INFO> m_lookup;
};
