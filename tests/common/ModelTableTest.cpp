#include "ModelTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(ModelTable, ProductIdFindsTheSameRowInEitherCase) {
    std::unique_ptr<CCVNDeviceInfo> lower = modeltable::lookup("002b");
    std::unique_ptr<CCVNDeviceInfo> upper = modeltable::lookup("002B");
    ASSERT_TRUE(lower);
    ASSERT_TRUE(upper);
    EXPECT_EQ(lower->modelName, upper->modelName);
    EXPECT_EQ("002b", upper->productId);  // the row's own spelling, not the query's
    EXPECT_EQ(21, upper->typeCode);
    EXPECT_FALSE(upper->flag);
    EXPECT_EQ(3, upper->column5);
    EXPECT_EQ(180, upper->column6);
}

TEST(ModelTable, ModelNameFindsTheRowInEitherCase) {
    std::unique_ptr<CCVNDeviceInfo> info = modeltable::lookup("vARO-l43");
    ASSERT_TRUE(info);
    EXPECT_EQ("Varo-L43", info->modelName);
    EXPECT_EQ("0109", info->productId);
    EXPECT_EQ(11, info->typeCode);
    EXPECT_EQ(4, info->column5);
    EXPECT_EQ(300, info->column6);

    EXPECT_EQ("0109", modeltable::productId("VARO-L43"));
    EXPECT_EQ("Varo-L43", modeltable::modelName("0109"));
    // Each lookup kind also answers for the other.
    EXPECT_EQ("Varo-L43", modeltable::modelName("varo-l43"));
    EXPECT_EQ("0109", modeltable::productId("0109"));
}

TEST(ModelTable, FlagIsTrueOnlyForOne) {
    std::unique_ptr<CCVNDeviceInfo> info = modeltable::lookup("3c00");
    ASSERT_TRUE(info);
    EXPECT_EQ(23, info->typeCode);
    EXPECT_TRUE(info->flag);
}

TEST(ModelTable, ShortRowLeavesTheMissingColumnsZero) {
    std::unique_ptr<CCVNDeviceInfo> info = modeltable::lookup("4010");
    ASSERT_TRUE(info);
    EXPECT_EQ(25, info->typeCode);
    EXPECT_FALSE(info->flag);
    EXPECT_EQ(0, info->column5);
    EXPECT_EQ(0, info->column6);
}

TEST(ModelTable, QueryKind) {
    EXPECT_TRUE(modeltable::isProductIdQuery("0109"));
    EXPECT_TRUE(modeltable::isProductIdQuery("3C0f"));
    EXPECT_TRUE(modeltable::isProductIdQuery("    "));
    EXPECT_TRUE(modeltable::isProductIdQuery("01  "));
    EXPECT_FALSE(modeltable::isProductIdQuery("010 "));  // odd number of digits
    EXPECT_FALSE(modeltable::isProductIdQuery("01g9"));
    EXPECT_FALSE(modeltable::isProductIdQuery("010"));
    EXPECT_FALSE(modeltable::isProductIdQuery("01090"));
    EXPECT_FALSE(modeltable::isProductIdQuery("3f1c&0202"));
    EXPECT_FALSE(modeltable::isProductIdQuery(""));
}

TEST(ModelTable, QueriesWithoutARowFindNothing) {
    for (const char* query : {"    ", "3f1c&0202", "ffff", "", "Varo-L43 ", "Varo"}) {
        SCOPED_TRACE(query);
        EXPECT_FALSE(modeltable::lookup(query));
        EXPECT_EQ("", modeltable::modelName(query));
        EXPECT_EQ("", modeltable::productId(query));
        EXPECT_EQ(0, modeltable::printerType(query));
    }
}

TEST(ModelTable, PrinterTypeIsTheTensDigit) {
    EXPECT_EQ(1, modeltable::printerType("0109"));
    EXPECT_EQ(2, modeltable::printerType("4010"));
    EXPECT_EQ(3, modeltable::printerType("005B"));
    EXPECT_EQ(4, modeltable::printerType("0066"));
    EXPECT_EQ(5, modeltable::printerType("0011"));
}

TEST(ModelTable, GroupsHaveTheirSlotsWithTheLastOneEmpty) {
    const size_t slots[] = {40, 45, 14, 7, 4};
    size_t rows = 0;
    for (int group = 0; group < modeltable::kModelGroupCount; ++group) {
        SCOPED_TRACE(group);
        std::span<const char* const> texts = modeltable::groupRows(group);
        ASSERT_EQ(slots[group], texts.size());
        EXPECT_STREQ("", texts.back());
        for (size_t i = 0; i + 1 < texts.size(); ++i) {
            EXPECT_STRNE("", texts[i]);
            ++rows;
        }
    }
    EXPECT_EQ(105u, rows);
    EXPECT_TRUE(modeltable::groupRows(5).empty());
}

// Every row is found by its own identifier and by its own name, lands in the printer
// type of its group, and keeps to the row format; together this also proves names and
// identifiers unique, since a duplicate would return an earlier row.
TEST(ModelTable, EveryRowIsReachableAndUnique) {
    std::set<std::string> names;
    std::set<std::string> ids;
    for (int group = 0; group < modeltable::kModelGroupCount; ++group) {
        for (const char* text : modeltable::groupRows(group)) {
            if (text[0] == '\0')
                continue;
            SCOPED_TRACE(text);
            std::string row = text;
            size_t comma = row.find(',');
            ASSERT_NE(std::string::npos, comma);
            size_t tabs = row.find_first_not_of('\t', comma + 1) - comma - 1;
            EXPECT_GE(tabs, 1u);
            EXPECT_LE(tabs, 3u);
            std::string id = row.substr(comma + 1 + tabs, 4);
            ASSERT_EQ(',', row[comma + 1 + tabs + 4]);
            for (char c : id)
                EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));

            std::unique_ptr<CCVNDeviceInfo> byId = modeltable::lookup(id);
            ASSERT_TRUE(byId);
            EXPECT_EQ(row.substr(0, comma), byId->modelName);
            EXPECT_EQ(group + 1, byId->typeCode / 10);
            EXPECT_GE(byId->column5, 0);
            EXPECT_LE(byId->column5, 4);
            EXPECT_GE(byId->column6, 0);
            EXPECT_LE(byId->column6, 640);
            std::unique_ptr<CCVNDeviceInfo> byName = modeltable::lookup(byId->modelName);
            ASSERT_TRUE(byName);
            EXPECT_EQ(id, byName->productId);

            EXPECT_TRUE(names.insert(byId->modelName).second);
            EXPECT_TRUE(ids.insert(id).second);
        }
    }
    EXPECT_EQ(105u, names.size());
    EXPECT_EQ(105u, ids.size());
}

TEST(ModelTable, IdentifiersTheUsbRulesNameAreInTheTable) {
    for (const char* id :
         {"0109", "002b", "4010", "005b", "0066", "0011", "3c00", "3c01", "003f"}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(modeltable::lookup(id));
    }
}

}  // namespace
