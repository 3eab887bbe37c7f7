#include "ModelTable.h"

#include <array>
#include <charconv>
#include <span>
#include <vector>

#include "CVNTokenizer.h"
#include "platform/Text.h"

namespace modeltable {

namespace {

// Rows: model name, a comma, one to three tabs, USB product identifier, then type code
// (tens digit: 1 label, 2 POS, 3 mobile, 4 gateway, 5 other), flag, and two numbers.
// Some rows stop after the flag. The last slot of every group stays empty.
// clang-format off
constexpr const char* kLabelPrinters[40] = {
    "Varo-L40,\t\t0101,11,0,0,203",
    "Varo-L41,\t\t0102,11,0,1,300",
    "Varo-L42,\t\t0103,11,0,2,600",
    "Varo-L44,\t\t0104,11,0,3,203",
    "Varo-L45,\t\t0105,11,0,4,300",
    "Varo-L46,\t\t0106,11,0,0,203",
    "Varo-L47,\t\t0107,11,0,1,300",
    "Varo-L48,\t\t0108,11,0,2,600",
    "Varo-L43,\t\t0109,11,0,4,300",
    "Varo-L49,\t\t010a,11,0,4,300",
    "Varo-L20,\t\t010b,12,0,0,203",
    "Varo-L21,\t\t010c,12,0,1,300",
    "Varo-L22,\t\t010d,12,0,2,203",
    "Varo-L23,\t\t010e,12,0,3,300",
    "Varo-L24,\t\t010f,12,0,4,203",
    "Varo-L25,\t\t0110,12,0,0,300",
    "Varo-L26,\t\t0111,12,0,1,203",
    "Varo-L27,\t\t0112,12,0,2,300",
    "Varo-LX410,\t\t0113,13,1,3,203",
    "Varo-LX420,\t\t0114,13,1,4,300",
    "Varo-LX430,\t\t0115,13,1,0,203",
    "Varo-LX610,\t\t0116,13,1,1,300",
    "Varo-LX620,\t\t0117,13,1,2,600",
    "Varo-LX630,\t\t0118,13,1,3,203",
    "Varo-LX810,\t\t0119,13,1,4,300",
    "Varo-LT12,\t\t011a,14,0,0,203",
    "Varo-LT14,\t\t011b,14,0,1,300",
    "Varo-LT16,\t\t011c,14,0,2,600",
    "Varo-LT22,\t\t011d,14,0,3,203",
    "Varo-LT24,\t\t011e,14,0,4,300",
    "Varo-LT26,\t\t011f,14,0",
    "Varo-LT32,\t\t0120,14,0,1,300",
    "Varo-LR40,\t\t0121,15,1,2,600",
    "Varo-LR42,\t\t0122,15,1,3,203",
    "Varo-LR60,\t\t0123,15,1,4,300",
    "Varo-LR62,\t\t0124,15,1,0,203",
    "Varo-LR80,\t\t0125,15,1,1,300",
    "Varo-LR82,\t\t0126,15,1,2,600",
    "Varo-LR84,\t\t0127,15,1,3,203",
    "",
};

constexpr const char* kPosPrinters[45] = {
    "Varo-P30,\t\t0020,21,0,3,180",
    "Varo-P31,\t\t0021,21,0,2,180",
    "Varo-P32,\t\t0022,21,0,4,180",
    "Varo-P33,\t\t0023,21,0,3,180",
    "Varo-P34,\t\t0024,21,0,1,180",
    "Varo-P36,\t\t0025,21,0,3,180",
    "Varo-P37,\t\t0026,21,0,2,180",
    "Varo-P38,\t\t0027,21,0,4,180",
    "Varo-P39,\t\t0028,21,0,3,180",
    "Varo-P40,\t\t0029,21,0,1,180",
    "Varo-P41,\t\t002a,21,0,3,180",
    "Varo-P35,\t\t002b,21,0,3,180",
    "Varo-P70,\t\t002c,22,1,4,180",
    "Varo-P71,\t\t002d,22,1,3,180",
    "Varo-P72,\t\t002e,22,1,1,180",
    "Varo-P73,\t\t002f,22,1,3,180",
    "Varo-P74,\t\t0030,22,1,2,180",
    "Varo-P75,\t\t0031,22,1,4,180",
    "Varo-P76,\t\t0032,22,1,3,180",
    "Varo-P77,\t\t0033,22,1,1,180",
    "Varo-P78,\t\t0034,22,1,3,180",
    "Varo-P79,\t\t0035,22,1,2,180",
    "Varo-PK100,\t\t0036,24,0,4,203",
    "Varo-PK110,\t\t0037,24,0,3,203",
    "Varo-PK120,\t\t0038,24,0,1,203",
    "Varo-PK130,\t\t0039,24,0,3,203",
    "Varo-PK140,\t\t003a,24,0,2,203",
    "Varo-PK150,\t\t003b,24,0,4,203",
    "Varo-PK160,\t\t003c,24,0,3,203",
    "Varo-PK170,\t\t003d,24,0,1,203",
    "Varo-PK180,\t\t003e,24,0,3,203",
    "Varo-PK190,\t\t003f,24,0,2,203",
    "Varo-P50,\t\t4010,25,0",
    "Varo-P51,\t\t4011,25,0,3,180",
    "Varo-P52,\t\t4012,25,0",
    "Varo-P53,\t\t4013,25,0,3,180",
    "Varo-P54,\t\t4014,25,0",
    "Varo-P55,\t\t4015,25,0,4,180",
    "Varo-PT200,\t\t3c00,23,1,3,180",
    "Varo-PT220,\t\t3c01,23,1,1,180",
    "Varo-PT240,\t\t3c02,23,1,3,180",
    "Varo-PT260,\t\t3c03,23,1,2,180",
    "Varo-PT280,\t\t3c04,23,1,4,180",
    "Varo-PT300,\t\t3c05,23,1,3,180",
    "",
};

constexpr const char* kMobilePrinters[14] = {
    "Varo-M10,\t0050,31,0,2,203",
    "Varo-M11,\t0051,31,0,1,203",
    "Varo-M12,\t0052,31,0,2,203",
    "Varo-M13,\t0053,31,0,3,203",
    "Varo-M14,\t0054,31,0,2,203",
    "Varo-M15,\t0055,31,0,1,203",
    "Varo-MR30,\t0056,32,1,2,203",
    "Varo-MR40,\t0057,32,1,3,203",
    "Varo-MR50,\t0058,32,1,2,203",
    "Varo-MR60,\t0059,32,1,1,203",
    "Varo-MX50,\t005a,33,0,2,203",
    "Varo-M20,\t005b,31,0,2,203",
    "Varo-MX52,\t005c,33,0,2,203",
    "",
};

constexpr const char* kGatewayDevices[7] = {
    "Varo-G20,\t0061,40,0,3,180",
    "Varo-G21,\t0062,41,1,3,180",
    "Varo-G22,\t0063,40,0,3,180",
    "Varo-G23,\t0064,41,1,3,180",
    "Varo-G24,\t0065,40,0,3,180",
    "Varo-G10,\t0066,40,0,3,180",
    "",
};

constexpr const char* kOtherDevices[4] = {
    "Varo-C11,\t0011,52,0,3,180",
    "Varo-C21,\t0012,51,0,0,0",
    "Varo-C31,\t0013,53,1,1,640",
    "",
};
// clang-format on

// Searched in this order.
constexpr std::array<std::span<const char* const>, 5> kGroups = {
    std::span<const char* const>(kLabelPrinters), std::span<const char* const>(kPosPrinters),
    std::span<const char* const>(kMobilePrinters), std::span<const char* const>(kGatewayDevices),
    std::span<const char* const>(kOtherDevices)};

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string trimBlanksAndTabs(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

// Leading blanks and tabs are skipped; a field that is no number reads as 0.
int decimal(const std::string& text) {
    std::string field = trimBlanksAndTabs(text);
    const char* first = field.data();
    const char* last = first + field.size();
    if (first != last && *first == '+')
        ++first;
    int value = 0;
    if (std::from_chars(first, last, value).ec != std::errc())
        return 0;
    return value;
}

CCVNDeviceInfo parseRow(const char* row) {
    CCVNDeviceInfo info;
    CCVNTokenizer tokens(row, ",");
    if (tokens.next())
        info.modelName = trimBlanksAndTabs(tokens.token());
    if (tokens.next())
        info.productId = trimBlanksAndTabs(tokens.token());
    if (tokens.next())
        info.typeCode = decimal(tokens.token());
    if (tokens.next())
        info.flag = decimal(tokens.token()) == 1;
    if (tokens.next())
        info.column5 = decimal(tokens.token());
    if (tokens.next())
        info.column6 = decimal(tokens.token());
    return info;
}

// The rows never change, so they are parsed once, in search order, empty slots left out.
const std::vector<CCVNDeviceInfo>& parsedRows() {
    static const std::vector<CCVNDeviceInfo> rows = [] {
        std::vector<CCVNDeviceInfo> parsed;
        for (std::span<const char* const> group : kGroups) {
            for (const char* row : group) {
                if (row[0] != '\0')
                    parsed.push_back(parseRow(row));
            }
        }
        return parsed;
    }();
    return rows;
}

const CCVNDeviceInfo* find(std::string_view query) {
    const bool byId = isProductIdQuery(query);
    for (const CCVNDeviceInfo& row : parsedRows()) {
        if (platform::equalsIgnoringAsciiCase(byId ? row.productId : row.modelName, query))
            return &row;
    }
    return nullptr;
}

}  // namespace

bool isProductIdQuery(std::string_view query) {
    if (query.size() != 4)
        return false;
    int digits = 0;
    for (char c : query) {
        if (isHexDigit(c)) {
            ++digits;
        } else if (c != ' ') {
            return false;
        }
    }
    return digits % 2 == 0;
}

std::unique_ptr<CCVNDeviceInfo> lookup(std::string_view productIdOrName) {
    const CCVNDeviceInfo* row = find(productIdOrName);
    if (!row)
        return nullptr;
    return std::make_unique<CCVNDeviceInfo>(*row);
}

std::string modelName(std::string_view productIdOrName) {
    const CCVNDeviceInfo* row = find(productIdOrName);
    return row ? row->modelName : std::string();
}

std::string productId(std::string_view productIdOrName) {
    const CCVNDeviceInfo* row = find(productIdOrName);
    return row ? row->productId : std::string();
}

int printerType(std::string_view productIdOrName) {
    const CCVNDeviceInfo* row = find(productIdOrName);
    return row ? row->typeCode / 10 : 0;
}

std::span<const char* const> groupRows(int group) {
    if (group < 0 || group >= static_cast<int>(kGroups.size()))
        return {};
    return kGroups[static_cast<size_t>(group)];
}

}  // namespace modeltable
