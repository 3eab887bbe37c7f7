// The label being built: its size and printer settings, which outlive a label, and its
// elements, each a piece of ZPL with the area it covers.
#pragma once

#include <string>
#include <vector>

// An area in dots relative to the label home. Fields whose extent the printer decides
// (device-font text, barcodes) are known by their origin only: a 1 x 1 area.
struct LabelArea {
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
};

// Printer settings; 0 leaves the printer's own setting alone.
struct LabelSettings {
    int speed = 0;
    int slewSpeed = 0;
    int backfeedSpeed = 0;
    int darkness = 0;
    int printMethod = 0;
    int afterPrint = 0;
    int orientation = 0;
    int mirror = 0;
    int labelReverse = 0;
    int reprintAfterError = 0;
    int mediaSensing = 0;
    int markOffset = 0;
    int maxLength = 0;
    int rfidTagType = 0;
    int rfidPosition = 0;
    int rfidRetries = 0;
    int rfidErrorHandling = 0;
};

class CLabelFormat {
public:
    // 4 x 6 inches at 203 dpi.
    static constexpr int kDefaultWidth = 812;
    static constexpr int kDefaultLength = 1218;
    static constexpr int kMaxDots = 32000;

    int width() const { return width_; }
    int length() const { return length_; }
    void setSize(int width, int length);
    void setHome(int x, int y);
    LabelSettings& settings() { return settings_; }

    bool fits(const LabelArea& area) const;
    // True when every element still fits (the size may have changed since).
    bool allFit() const;
    void add(std::string zpl, const LabelArea& area);
    // Raw data without a place on the label (printer commands, RFID operations).
    void addUnplaced(std::string zpl);

    bool unfinished() const { return unfinished_; }
    void markUnfinished() { unfinished_ = true; }
    // Drops the elements (and the RFID access password); settings and size stay.
    void clear();
    // Settings, size and elements back to the start.
    void reset();

    // The access password RFID lock commands use, set by the password operation.
    const std::string& rfidAccessPassword() const { return rfidAccessPassword_; }
    void setRfidAccessPassword(std::string password) { rfidAccessPassword_ = std::move(password); }

    // "^XA", the settings, the elements, "^PQ<count>^XZ".
    std::string render(long long count) const;

private:
    struct Element {
        std::string zpl;
        bool placed = false;
        LabelArea area;
    };

    std::string settingsZpl() const;

    int width_ = kDefaultWidth;
    int length_ = kDefaultLength;
    int homeX_ = 0;
    int homeY_ = 0;
    LabelSettings settings_;
    std::vector<Element> elements_;
    bool unfinished_ = false;
    std::string rfidAccessPassword_;
};
