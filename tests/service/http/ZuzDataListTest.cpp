#include "ZuzDataList.h"

#include <gtest/gtest.h>

namespace {

// Counts its deletions, which also proves the queue deletes through the base class.
class CountedData : public CZuzData {
public:
    explicit CountedData(int* deleted, int requestId) : deleted_(deleted) {
        this->requestId = requestId;
    }
    ~CountedData() override { ++*deleted_; }

private:
    int* deleted_;
};

TEST(ZuzDataList, FirstInFirstOut) {
    int deleted = 0;
    CZuzDataList list;
    EXPECT_EQ(nullptr, list.takeFront());
    for (int id = 1; id <= 3; ++id)
        list.push(std::make_unique<CountedData>(&deleted, id));
    list.push(nullptr);  // nothing to queue
    ASSERT_EQ(3u, list.size());

    std::unique_ptr<CZuzData> first = list.takeFront();
    ASSERT_TRUE(first);
    EXPECT_EQ(1, first->requestId);
    list.push(std::make_unique<CountedData>(&deleted, 4));
    for (int id : {2, 3, 4}) {
        std::unique_ptr<CZuzData> next = list.takeFront();
        ASSERT_TRUE(next);
        EXPECT_EQ(id, next->requestId);
    }
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(3, deleted);  // 2, 3 and 4; 1 is still held here
}

TEST(ZuzDataList, FindsTheOldestMatch) {
    int deleted = 0;
    CZuzDataList list;
    for (int id : {5, 6, 6}) {
        auto data = std::make_unique<CountedData>(&deleted, id);
        data->responseId = "R" + std::to_string(list.size());
        list.push(std::move(data));
    }
    const CZuzData* found = list.find([](const CZuzData& d) { return d.requestId == 6; });
    ASSERT_TRUE(found);
    EXPECT_EQ("R1", found->responseId);
    EXPECT_EQ(nullptr, list.find([](const CZuzData& d) { return d.requestId == 9; }));
    EXPECT_EQ(3u, list.size());
}

TEST(ZuzDataList, OwnsWhatItHolds) {
    int deleted = 0;
    {
        CZuzDataList list;
        for (int id = 0; id < 3; ++id)
            list.push(std::make_unique<CountedData>(&deleted, id));
        list.clear();
        EXPECT_EQ(3, deleted);
        EXPECT_TRUE(list.empty());
        list.push(std::make_unique<CountedData>(&deleted, 9));
    }
    EXPECT_EQ(4, deleted);
}

}  // namespace
