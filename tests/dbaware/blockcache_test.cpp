#include <gtest/gtest.h>

#include "dbaware/blockcache.h"

namespace {

dbaware::BlockCache::Block rows(std::int64_t firstRowid, int n)
{
    dbaware::BlockCache::Block b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        b[static_cast<std::size_t>(i)].mark = {firstRowid + i, {}, true};
    return b;
}

TEST(BlockCacheTest, KeepsTheBlocksUsedLastAndFindsRecordsInThem)
{
    dbaware::BlockCache cache(2);
    cache.put(0, rows(100, 4));
    cache.put(1, rows(200, 4));
    ASSERT_NE(cache.find(0), nullptr);  // now 1 is the one used longest ago
    cache.put(5, rows(500, 4));
    EXPECT_EQ(cache.peek(1), nullptr);
    EXPECT_NE(cache.peek(0), nullptr);
    cache.peek(0);  // a peek is no use
    cache.put(6, rows(600, 4));
    EXPECT_EQ(cache.peek(0), nullptr);
    cache.put(6, rows(900, 2));  // replacing drops nothing
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_NE(cache.peek(5), nullptr);

    EXPECT_EQ(cache.positionOf(502, 4), 22);
    EXPECT_EQ(cache.positionOf(901, 4), 25);
    EXPECT_EQ(cache.positionOf(601, 4), -1);
    cache.clear();
    EXPECT_EQ(cache.positionOf(502, 4), -1);
}

}  // namespace
